#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -u
TAMSO_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$TAMSO_ROOT/scripts/packages.sh"
tamso_install_packages
tamso_build
cd "$TAMSO_ROOT/build" && ctest --output-on-failure -j "$(nproc)" --timeout 600
