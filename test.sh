#!/usr/bin/env bash
# Installs what is missing, builds, checks that the Windows code compiles (MinGW-w64 cross-build)
# and runs every test with ctest.
set -u
TAMSO_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$TAMSO_ROOT/scripts/packages.sh"
tamso_install_packages $TAMSO_TEST_PACKAGES
tamso_build
# The Windows code paths must keep compiling: a MinGW-w64 cross-build of the core and tamso-calc.
"$TAMSO_ROOT/scripts/check-windows-build.sh"
windows=$?
cd "$TAMSO_ROOT/build" && ctest --output-on-failure -j "$(nproc)" --timeout 600
tests=$?
[ "$windows" -eq 0 ] || echo "The Windows cross-build failed (see above)."
[ "$tests" -eq 0 ] && [ "$windows" -eq 0 ]
