# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DTAMSO_BUILD_UI=OFF ...
# scripts/check-windows-build.sh builds the core and tamso-calc.exe this way. The POSIX-threads
# flavour of the compiler is taken: the standard library's threads (std::this_thread, std::mutex)
# need it with GCC 12. Programs are linked statically, so tamso-calc.exe needs no MinGW DLLs.
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
