#!/usr/bin/env bash
# The Windows code paths, built and run: cross-compiles the core, tamso-calc.exe and the core tests
# with MinGW-w64 into build-windows/ (cmake/mingw-w64.cmake; Debian packages g++-mingw-w64-x86-64
# and googletest), then ctest runs there under Wine (wine64): the core tests, tamso-calc.exe
# against the Linux build's build/tamso-calc, and the NSIS installer (nsis) installed, run and
# uninstalled. test.sh runs it after the Linux build; the build takes a few minutes from scratch on
# two cores, the tests about two.
set -u
TAMSO_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${TAMSO_WINDOWS_BUILD:-$TAMSO_ROOT/build-windows}"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null && ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
    echo "The Windows cross-build needs MinGW-w64: apt-get install g++-mingw-w64-x86-64"
    exit 1
fi
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
echo "Windows cross-build (MinGW-w64): the core, tamso-calc.exe and the core tests in $BUILD"
mkdir -p "$BUILD"
cmake -S "$TAMSO_ROOT" -B "$BUILD" --toolchain "$TAMSO_ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTAMSO_BUILD_UI=OFF -DTAMSO_BUILD_TESTS=ON -DTAMSO_BUILD_BENCH=OFF -DTAMSO_BUILD_REFDATA_TOOL=OFF \
    -DTAMSO_WITH_DICOM=OFF -DTAMSO_LINUX_CALC="$TAMSO_ROOT/build/tamso-calc" "${LAUNCHER[@]}" \
    >"$BUILD/configure.log" 2>&1 || {
    cat "$BUILD/configure.log"
    echo "Windows cross-build: FAILED to configure"
    exit 1
}
if ! cmake --build "$BUILD" -j "$(nproc)" >"$BUILD/build.log" 2>&1; then
    grep -v '^\[ *[0-9]*%\]' "$BUILD/build.log" | tail -n 80
    echo "Windows cross-build: FAILED (the Windows code above does not compile; log: $BUILD/build.log)"
    exit 1
fi
grep -A3 'warning:' "$BUILD/build.log"
echo "Windows cross-build: OK ($BUILD/tamso-calc.exe, $BUILD/tamso_core_tests.exe)"

if ! grep -q '^TAMSO_WINE:FILEPATH=/' "$BUILD/CMakeCache.txt"; then
    echo "The Windows tests need Wine's 64-bit loader: apt-get install wine wine64"
    exit 1
fi
echo "Windows tests under Wine (Wine prefix: $BUILD/wineprefix)"
cd "$BUILD" && ctest --output-on-failure -j "$(nproc)" --timeout 600
