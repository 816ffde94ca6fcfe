#!/usr/bin/env bash
# Installs what is missing, builds the programs and makes the Debian package
# build/tamso_<version>_<architecture>.deb (install it with: sudo apt install ./build/tamso_*.deb).
set -u
TAMSO_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$TAMSO_ROOT/scripts/packages.sh"
tamso_install_packages
tamso_build --target tamso tamso-calc
cd "$TAMSO_ROOT/build" && cpack -G DEB
