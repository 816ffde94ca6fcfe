# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DTAMSO_BUILD_UI=OFF ...
# scripts/check-windows-build.sh builds the core, tamso-calc.exe and the core tests this way. The
# POSIX-threads flavour of the compiler is taken: the standard library's threads (std::this_thread,
# std::mutex) need it with GCC 12. Programs are linked statically, so they need no MinGW DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAMSO_MINGW_TRIPLET x86_64-w64-mingw32)

find_program(CMAKE_CXX_COMPILER NAMES ${TAMSO_MINGW_TRIPLET}-g++-posix ${TAMSO_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TAMSO_MINGW_TRIPLET}-gcc-posix ${TAMSO_MINGW_TRIPLET}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${TAMSO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMSO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the Windows programs under Wine's 64-bit loader (Debian wine64, /usr/lib/wine/wine64),
# quietly and in a Wine prefix of its own inside the build folder (never the user's ~/.wine); the
# prefix is made by the first program that runs. Mono and Gecko are not wanted, so Wine does not
# offer to install them, and Wine's menu builder is off. Wine's home is the build folder, so that
# its links (Documents, Desktop) and desktop-menu folders stay there, out of the user's home.
find_program(TAMSO_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine)
if(TAMSO_WINE)
    set(TAMSO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${TAMSO_WINEPREFIX} HOME=${CMAKE_BINARY_DIR}
        WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d ${TAMSO_WINE})
endif()
