#!/usr/bin/env bash
# The Windows installer test (the cross-build in build-windows/): makes the NSIS installer of the
# built programs with cpack (no build) and, under Wine, installs it silently into a folder with a
# Japanese name, checks what it installed (a 64-bit installer; tamso-calc.exe, the shipped
# working-folder files, the Start-menu entries, the uninstall entry), runs the installed
# tamso-calc.exe on a copy of the installed data, then uninstalls it silently and checks that
# nothing of it is left: no file, no Start-menu entry, no registry key.
# Usage: check-installer.sh BUILD_FOLDER SOURCE_FOLDER WINE_COMMAND... (the command that runs a
# Windows program, as CMAKE_CROSSCOMPILING_EMULATOR has it, with WINEPREFIX=... among its words).
# Exit 77 (skipped) without makensis.
set -u
BUILD="$1"
SOURCE="$2"
shift 2
WINE=("$@")
PREFIX=""
for word in "${WINE[@]}"; do
    [[ "$word" == WINEPREFIX=* ]] && PREFIX="${word#WINEPREFIX=}"
done
if ! command -v makensis >/dev/null; then
    echo "SKIPPED: makensis is not installed (Debian package nsis), so the installer cannot be made here."
    exit 77
fi
[ -n "$PREFIX" ] || { echo "FAIL: no WINEPREFIX= in the Wine command: ${WINE[*]}"; exit 1; }

SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/tamso-installer-test.XXXXXX")"
trap 'rm -rf "$SCRATCH"' EXIT
FAILED=0
fail() {
    echo "FAIL: $*"
    FAILED=1
}
DRIVE="$PREFIX/drive_c"
# (without blanks: the installer takes /D= only unquoted, and Wine quotes an argument with blanks)
INSTALL_WINDOWS='C:\TAMSO-II試験'
INSTALL="$DRIVE/TAMSO-II試験"
MENU="$DRIVE/ProgramData/Microsoft/Windows/Start Menu/Programs/TAMSO-II"
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TAMSO-II'
MAKER_KEY='HKLM\Software\TAMSO-II'
CALC_LINK="tamso-calc (コマンドプロンプト).lnk"

# Everything on drive C: but Windows itself and the temporary folders (where the tests make their
# folders and the uninstaller leaves its emptied copy for the next start of Windows).
drive_listing() {
    (cd "$DRIVE" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | LC_ALL=C sort)
}
registry_has() {
    "${WINE[@]}" reg query "$1" >/dev/null 2>&1
}

# A leftover of an earlier run that was stopped goes first.
if [ -e "$INSTALL" ] || [ -e "$MENU" ]; then
    [ -x "$INSTALL/Uninstall.exe" ] && "${WINE[@]}" "$INSTALL_WINDOWS\\Uninstall.exe" /S
    sleep 3
    rm -rf "$INSTALL" "$MENU"
    "${WINE[@]}" reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1
    "${WINE[@]}" reg delete "$MAKER_KEY" /f >/dev/null 2>&1
fi

# The installer, from the programs as they are built.
if ! (cd "$BUILD" && cpack -G NSIS --config CPackConfig.cmake -B "$SCRATCH/out") >"$SCRATCH/cpack.log" 2>&1; then
    cat "$SCRATCH/cpack.log"
    echo "FAIL: cpack could not make the installer"
    exit 1
fi
INSTALLERS=("$SCRATCH"/out/*.exe)
if [ "${#INSTALLERS[@]}" -ne 1 ] || [ ! -f "${INSTALLERS[0]}" ]; then
    echo "FAIL: expected one installer in $SCRATCH/out, found: ${INSTALLERS[*]}"
    exit 1
fi
INSTALLER="${INSTALLERS[0]}"
echo "installer: $(basename "$INSTALLER")"
[[ "$(file -b "$INSTALLER")" == PE32+*x86-64* ]] || fail "the installer is no 64-bit program: $(file -b "$INSTALLER")"

BEFORE="$(drive_listing)"
"${WINE[@]}" "$INSTALLER" /S "/D=$INSTALL_WINDOWS" || fail "the silent installation ended with status $?"

# What it installed: the calculator, the shipped working folder (without the data README), the
# uninstaller, the Start-menu folder with its entries and the uninstall entry of the system.
[ -f "$INSTALL/bin/tamso-calc.exe" ] || fail "bin\\tamso-calc.exe is not installed"
[ -f "$INSTALL/Uninstall.exe" ] || fail "the uninstaller is not installed"
DATA="$INSTALL/share/tamso/data"
for shipped in "$SOURCE"/data/*; do
    name="$(basename "$shipped")"
    if [ "$name" = "README.md" ]; then
        [ ! -e "$DATA/$name" ] || fail "the data README is installed as a working-folder file"
    else
        cmp -s "$shipped" "$DATA/$name" || fail "share\\tamso\\data\\$name is missing or differs from data/$name"
    fi
done
[ -f "$MENU/Uninstall.lnk" ] || fail "the Start menu has no Uninstall entry"
if [ -f "$MENU/$CALC_LINK" ]; then
    strings -el "$MENU/$CALC_LINK" | grep -q 'tamso-calc --help' ||
        fail "the Start-menu entry $CALC_LINK does not open tamso-calc: $(strings -el "$MENU/$CALC_LINK")"
else
    fail "the Start menu has no entry $CALC_LINK"
fi
"${WINE[@]}" reg query "$UNINSTALL_KEY" /v UninstallString 2>/dev/null | grep -q 'Uninstall\.exe' ||
    fail "the system has no uninstall entry $UNINSTALL_KEY"

# The installed calculator on a copy of the installed working-folder files prints what the built one
# prints on the shipped files.
mkdir -p "$SCRATCH/installed" "$SCRATCH/built"
cp -r "$DATA"/. "$SCRATCH/installed"
cp -r "$SOURCE"/data/. "$SCRATCH/built"
"${WINE[@]}" "$INSTALL_WINDOWS\\bin\\tamso-calc.exe" --workdir "Z:$SCRATCH/installed" >"$SCRATCH/installed.out" 2>&1 ||
    fail "the installed tamso-calc.exe failed: $(cat "$SCRATCH/installed.out")"
"${WINE[@]}" "$BUILD/tamso-calc.exe" --workdir "Z:$SCRATCH/built" >"$SCRATCH/built.out" 2>&1
grep -q "^entrance_surface_dose_mgy 0.203" "$SCRATCH/installed.out" ||
    fail "the installed tamso-calc.exe did not print entrance_surface_dose_mgy 0.203: $(cat "$SCRATCH/installed.out")"
cmp -s "$SCRATCH/installed.out" "$SCRATCH/built.out" ||
    fail "the installed tamso-calc.exe printed other results than the built one"

# Uninstalled silently: the uninstaller runs on from a copy of itself, so its end is awaited by
# everything it removes going (the registry is looked at only once the files are gone).
"${WINE[@]}" "$INSTALL_WINDOWS\\Uninstall.exe" /S || fail "the silent uninstallation ended with status $?"
for _ in $(seq 1 150); do
    [ ! -e "$INSTALL" ] && [ ! -e "$MENU" ] && ! registry_has "$UNINSTALL_KEY" && ! registry_has "$MAKER_KEY" && break
    sleep 0.2
done
[ ! -e "$INSTALL" ] || fail "the installation folder is left: $(cd "$INSTALL" && find . | head -n 20)"
[ ! -e "$MENU" ] || fail "the Start-menu folder TAMSO-II is left"
registry_has "$UNINSTALL_KEY" && fail "the uninstall entry $UNINSTALL_KEY is left"
registry_has "$MAKER_KEY" && fail "the registry key $MAKER_KEY is left"
AFTER="$(drive_listing)"
[ "$BEFORE" = "$AFTER" ] || fail "drive C: differs from before the installation:
$(diff <(echo "$BEFORE") <(echo "$AFTER") | head -n 20)"

if [ "$FAILED" -ne 0 ]; then
    exit 1
fi
echo "The installer installs tamso-calc.exe, the working-folder files and the Start-menu entries, runs, and uninstalls without a trace."
