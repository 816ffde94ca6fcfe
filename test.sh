#!/usr/bin/env bash
# Installs what is missing, builds, runs every test with ctest, and builds and runs the Windows code
# paths: the MinGW-w64 cross-build of the core, tamso-calc.exe and the core tests, run under Wine
# together with the Windows installer.
set -u
TAMSO_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$TAMSO_ROOT/scripts/packages.sh"
tamso_install_packages $TAMSO_TEST_PACKAGES
tamso_build
(cd "$TAMSO_ROOT/build" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
tests=$?
# The Windows code paths, built with MinGW-w64 and run under Wine (tamso-calc.exe is compared with
# the Linux build's tamso-calc, so this comes after the Linux build).
"$TAMSO_ROOT/scripts/check-windows-build.sh"
windows=$?
[ "$tests" -eq 0 ] || echo "Tests of the Linux build failed (see above)."
[ "$windows" -eq 0 ] || echo "The Windows cross-build or its tests under Wine failed (see above)."
[ "$tests" -eq 0 ] && [ "$windows" -eq 0 ]
