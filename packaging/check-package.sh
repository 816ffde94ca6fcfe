#!/usr/bin/env bash
# The Debian package test: packs the programs of a build folder with cpack (no build), unpacks
# the package into a scratch root with dpkg-deb -x and checks what it holds and that it runs:
# tamso-calc computes the default case on a copy of the shipped working folder, and the program's
# first start creates the user's ~/tamso-data from the shipped files, keeping a file already there;
# the copyright file, the changelog and the manual pages are there, and lintian finds no error or
# warning.
# Usage: check-package.sh BUILD_FOLDER SOURCE_FOLDER. Exit 77 (skipped) without cpack or dpkg-deb.
set -u
BUILD="$1"
SOURCE="$2"

for tool in cpack dpkg-deb; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed, so the Debian package cannot be made here."
        exit 77
    fi
done

SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/tamso-package-test.XXXXXX")"
PROGRAM_PID=""
cleanup() {
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
    rm -rf "$SCRATCH"
}
trap cleanup EXIT
FAILED=0
fail() {
    echo "FAIL: $*"
    FAILED=1
}

# Pack the binaries as they are (the install rules start no build).
if ! (cd "$BUILD" && cpack -G DEB --config CPackConfig.cmake -B "$SCRATCH/out") >"$SCRATCH/cpack.log" 2>&1; then
    cat "$SCRATCH/cpack.log"
    echo "FAIL: cpack could not make the package"
    exit 1
fi
DEBS=("$SCRATCH"/out/*.deb)
if [ "${#DEBS[@]}" -ne 1 ] || [ ! -f "${DEBS[0]}" ]; then
    echo "FAIL: expected one package in $SCRATCH/out, found: ${DEBS[*]}"
    exit 1
fi
DEB="${DEBS[0]}"
echo "package: $(basename "$DEB")"

# The control fields: the libraries found by dpkg-shlibdeps and the fonts.
DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
echo "Depends: $DEPENDS"
for dependency in fonts-ipaexfont libqt6widgets6 libqt6svg6 libqt6printsupport6 libc6; do
    [[ ", $DEPENDS," == *", $dependency "* || ", $DEPENDS," == *", $dependency,"* ]] ||
        fail "Depends lacks $dependency"
done
[ "$(dpkg-deb -f "$DEB" Package)" = "tamso" ] || fail "the package is not called tamso"

ROOT="$SCRATCH/root"
dpkg-deb -x "$DEB" "$ROOT" || { echo "FAIL: dpkg-deb -x"; exit 1; }

# The programs, the desktop entry with its icon, the node's service, and the shipped working folder.
for program in tamso tamso-calc tamso-node; do
    [ -x "$ROOT/usr/bin/$program" ] || fail "/usr/bin/$program is missing or not executable"
done
DESKTOP="$ROOT/usr/share/applications/tamso.desktop"
if [ -f "$DESKTOP" ]; then
    for line in "[Desktop Entry]" "Type=Application" "Exec=tamso" "Icon=tamso" "Terminal=false"; do
        grep -qxF "$line" "$DESKTOP" || fail "the desktop entry lacks the line $line"
    done
    grep -q '^Name=.' "$DESKTOP" || fail "the desktop entry has no name"
else
    fail "the desktop entry /usr/share/applications/tamso.desktop is missing"
fi
UNIT="$ROOT/usr/lib/systemd/system/tamso-node.service"
if [ -f "$UNIT" ]; then
    for line in "ExecStart=/usr/bin/tamso-node --workdir /var/lib/tamso" "User=tamso" "KillSignal=SIGTERM" \
        "WantedBy=multi-user.target"; do
        grep -qxF "$line" "$UNIT" || fail "the node's unit lacks the line $line"
    done
else
    fail "the node's unit /usr/lib/systemd/system/tamso-node.service is missing"
fi
dpkg-deb -I "$DEB" postinst 2>/dev/null | grep -q "useradd --system" || fail "the postinst makes no account for the node"
dpkg-deb -I "$DEB" postinst 2>/dev/null | grep -q "systemctl.*enable" && fail "the postinst enables the node's service"
"$ROOT/usr/bin/tamso-node" --help >"$SCRATCH/node.out" 2>&1 && grep -q -- "--allow" "$SCRATCH/node.out" ||
    fail "tamso-node --help did not run: $(cat "$SCRATCH/node.out")"
ICON="$ROOT/usr/share/icons/hicolor/scalable/apps/tamso.svg"
grep -q "<svg" "$ICON" 2>/dev/null || fail "the icon $ICON is missing"
DATA="$ROOT/usr/share/tamso/data"
for shipped in "$SOURCE"/data/*; do
    name="$(basename "$shipped")"
    if [ "$name" = "README.md" ]; then
        [ ! -e "$DATA/$name" ] || fail "the data README is installed as a working-folder file"
    elif ! cmp -s "$shipped" "$DATA/$name"; then
        fail "/usr/share/tamso/data/$name is missing or differs from data/$name"
    elif [ "$(stat -c %a "$DATA/$name")" != "644" ]; then
        fail "/usr/share/tamso/data/$name is not read-only for users (mode $(stat -c %a "$DATA/$name"))"
    fi
done

# Debian's documentation: the copyright file, the changelog of this version and a manual page for
# each program, compressed without a name or time inside (gzip -9n: the same bytes at every build).
DOC="$ROOT/usr/share/doc/tamso"
[ -f "$DOC/copyright" ] && grep -q '^Copyright: ' "$DOC/copyright" || fail "/usr/share/doc/tamso/copyright is missing"
VERSION="$(dpkg-deb -f "$DEB" Version)"
[[ "$(zcat "$DOC/changelog.gz" 2>/dev/null | head -n 1)" == "tamso ($VERSION) "* ]] ||
    fail "the changelog does not start with version $VERSION: $(zcat "$DOC/changelog.gz" 2>/dev/null | head -n 1)"
for program in "$ROOT"/usr/bin/*; do
    page="$ROOT/usr/share/man/man1/$(basename "$program").1.gz"
    if [ ! -f "$page" ]; then
        fail "$(basename "$program") has no manual page"
    elif [ "$(od -An -tx1 -j3 -N5 "$page" | tr -d ' ')" != "0000000000" ]; then
        fail "$(basename "$page") carries a name or a time (not gzip -9n)"
    fi
done

# lintian: no error and no warning. Informational tags are left where they cannot be mended in
# the package itself: the hardening flags (hardening-no-bindnow, hardening-no-fortify-functions)
# belong to how the whole program is compiled, binary-has-unneeded-section .comment to CPack's
# stripping, and package-contains-documentation-outside-usr-share-doc takes the working folder's
# lists (撮影部位.txt, DICOM撮影部位.txt) for documentation. No error or warning is accepted.
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning --no-tag-display-limit "$DEB" >"$SCRATCH/lintian.log" 2>&1 ||
        fail "lintian finds errors or warnings in the package:
$(grep -E '^[EW]: ' "$SCRATCH/lintian.log")"
else
    fail "lintian is not installed (apt-get install lintian), so the package cannot be checked"
fi

# tamso-calc of the package on a copy of the shipped working folder: the default case.
WORK="$SCRATCH/work"
cp -r "$DATA" "$WORK"
if "$ROOT/usr/bin/tamso-calc" --workdir "$WORK" >"$SCRATCH/calc.out" 2>&1; then
    grep -qxF "entrance_surface_dose_mgy 0.203" "$SCRATCH/calc.out" ||
        fail "tamso-calc did not print entrance_surface_dose_mgy 0.203: $(cat "$SCRATCH/calc.out")"
else
    fail "tamso-calc failed: $(cat "$SCRATCH/calc.out")"
fi

# The program's first start: it creates ~/tamso-data from the shipped files, keeps what the user
# has there, and works in it. It is ended once it works there.
HOME_FOLDER="$SCRATCH/home"
USER_WORK="$HOME_FOLDER/tamso-data"
mkdir -p "$USER_WORK"
printf 'measured here\r\n' >"$USER_WORK/kaijo_dose.dat"
HOME="$HOME_FOLDER" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$SCRATCH" "$ROOT/usr/bin/tamso" \
    >"$SCRATCH/tamso.log" 2>&1 &
PROGRAM_PID=$!
WORKS_THERE=0
for _ in $(seq 1 200); do
    if [ "$(readlink "/proc/$PROGRAM_PID/cwd" 2>/dev/null)" = "$USER_WORK" ]; then
        WORKS_THERE=1
        break
    fi
    kill -0 "$PROGRAM_PID" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    kill "$PROGRAM_PID"
    wait "$PROGRAM_PID" 2>/dev/null
else
    wait "$PROGRAM_PID" 2>/dev/null
    fail "the installed tamso ended on its own (exit status $?): $(cat "$SCRATCH/tamso.log")"
fi
PROGRAM_PID=""
[ "$WORKS_THERE" = 1 ] || fail "the installed tamso does not work in $USER_WORK"
for shipped in "$DATA"/*; do
    name="$(basename "$shipped")"
    if [ "$name" = "kaijo_dose.dat" ]; then
        [ "$(cat "$USER_WORK/$name")" = $'measured here\r' ] || fail "the user's own $name was replaced"
    else
        cmp -s "$shipped" "$USER_WORK/$name" || fail "$name was not copied into ~/tamso-data"
        [ -w "$USER_WORK/$name" ] && [ -O "$USER_WORK/$name" ] || fail "the copy of $name is not the user's to change"
    fi
done

if [ "$FAILED" -ne 0 ]; then
    exit 1
fi
echo "The package installs tamso, tamso-calc and tamso-node with its service, the desktop entry, the icon, the working-folder files, the manual pages and the copyright and changelog, passes lintian, and runs."
