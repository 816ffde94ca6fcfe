#!/usr/bin/env bash
# tamso-calc.exe under Wine against the Linux build's tamso-calc, to the last digit: the shipped
# working folder with the screen's defaults and a batch of exposures across the tables, and every
# case of tests/data. Each run gets a fresh copy of its working folder; both programs must give the
# same exit status, standard output and error (a Windows program ends its printed lines with CR LF,
# which is all that may differ) and the same spectrum listing byte for byte.
# Usage: calc-matches-linux.sh LINUX_CALC WINDOWS_CALC SOURCE_FOLDER WINE_COMMAND...
# Exit 77 (skipped) when the Linux build has no tamso-calc.
set -u
LINUX_CALC="$1"
WINDOWS_CALC="$2"
SOURCE="$3"
shift 3
WINE=("$@")

if [ ! -x "$LINUX_CALC" ]; then
    echo "SKIPPED: the Linux build's tamso-calc ($LINUX_CALC) is not built, so there is nothing to compare with."
    exit 77
fi
SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/tamso-calc-windows.XXXXXX")"
trap 'rm -rf "$SCRATCH"' EXIT
FAILED=0
RUNS=0

# compare NAME WORKDIR [OPTIONS...]: runs both programs on copies of WORKDIR and compares. Each
# runs in a folder of its own that also holds a copy of the batch (options name it as batch.csv).
compare() {
    local name="$1" workdir="$2"
    shift 2
    local linux="$SCRATCH/runs/$name-linux" windows="$SCRATCH/runs/$name-windows"
    mkdir -p "$linux/work" "$windows/work"
    cp -r "$workdir"/. "$linux/work"
    cp -r "$workdir"/. "$windows/work"
    cp "$SCRATCH/batch.csv" "$linux"
    cp "$SCRATCH/batch.csv" "$windows"
    (cd "$linux" && "$LINUX_CALC" --workdir "$linux/work" "$@" >out 2>err)
    echo "exit $?" >>"$linux/out"
    (cd "$windows" && "${WINE[@]}" "$WINDOWS_CALC" --workdir "Z:$windows/work" "$@" >out 2>err)
    echo "exit $?" >>"$windows/out"
    for stream in out err; do
        if ! cmp -s "$linux/$stream" <(tr -d '\r' <"$windows/$stream"); then
            echo "FAIL: $name: the standard $stream differs (Linux, then Windows):"
            diff "$linux/$stream" <(tr -d '\r' <"$windows/$stream") | head -n 20
            FAILED=1
        fi
    done
    if [ -f "$linux/work/Beam_data.dat" ] || [ -f "$windows/work/Beam_data.dat" ]; then
        cmp -s "$linux/work/Beam_data.dat" "$windows/work/Beam_data.dat" ||
            { echo "FAIL: $name: Beam_data.dat differs"; FAILED=1; }
    fi
    RUNS=$((RUNS + 1))
}

# A batch across the tube voltages, filters, distances, fields and a measured exposure.
{
    echo "kv,mas,ffd,thickness,focus-hood,field,added-al,added-cu,measured-ckg"
    for kv in 40 45 50 55 60 65 70 75 80; do
        echo "$kv,3.2,100,8,60,25.4x20.3,,,"
        echo "$kv,1.25,90,12.5,55,12x18,1,0.1,"
        echo "$kv,10,120,6,70,30x24,0.5,,"
    done
    echo "60,2,100,10,60,25.4x20.3,,,2.5861e-4"
    echo "85,5,100,10,60,25.4x20.3,,,"
} >"$SCRATCH/batch.csv"
compare shipped-default "$SOURCE/data"
compare shipped-batch "$SOURCE/data" --csv batch.csv
for case in "$SOURCE"/tests/data/*/; do
    [ -f "$case/conditions.txt" ] || continue
    options=()
    while read -r name value; do
        [ -n "$name" ] && [ "${name:0:1}" != "#" ] && options+=("--$name=$value")
    done <"$case/conditions.txt"
    compare "case-$(basename "$case")" "$case/workdir" "${options[@]}"
done

[ "$FAILED" -eq 0 ] || exit 1
echo "tamso-calc.exe under Wine printed and wrote exactly what the Linux tamso-calc did in $RUNS runs."
