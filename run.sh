#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on a working folder
# (default ~/tamso-data, or the folder given as argument), filled from data/ on first use.
set -u
TAMSO_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$TAMSO_ROOT/scripts/packages.sh"
tamso_install_packages
tamso_build

WORKDIR="${1:-$HOME/tamso-data}"
mkdir -p "$WORKDIR" || { echo "Cannot create the working folder $WORKDIR"; exit 1; }
# The shipped defaults; a file the user already has is never overwritten.
for f in "$TAMSO_ROOT"/data/*; do
    name="$(basename "$f")"
    [ "$name" = "README.md" ] && continue
    [ -e "$WORKDIR/$name" ] || cp "$f" "$WORKDIR/$name"
done
cd "$WORKDIR" || exit 1

if [ -x "$TAMSO_ROOT/build/tamso" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$TAMSO_ROOT/build/tamso"
fi
if [ -x "$TAMSO_ROOT/build/tamso" ]; then
    echo "No display is available: running the command-line calculator on the default case instead."
fi
exec "$TAMSO_ROOT/build/tamso-calc" --workdir "$WORKDIR"
