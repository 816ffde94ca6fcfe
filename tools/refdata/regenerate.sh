#!/bin/sh
# Regenerates the working-folder data (data/) bit for bit: builds the generator and runs it with
# the fixed seed, 64 random streams and the standard numbers of histories. Takes several minutes
# of CPU time on two cores; run it niced on a shared machine.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build-refdata}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAMSO_BUILD_UI=OFF -DTAMSO_BUILD_BENCH=OFF
cmake --build "$build" -j2 --target tamso-refdata
nice "$build/tamso-refdata" --out "$root/data" --histories 2500000 --spr-histories 1000000 \
    --seed 20240601 --threads 2 "$@"
# The organ-dose table of the newborn phantom (about 25 minutes on two free cores).
nice "$build/tamso-refdata" --organ-tables --out "$root/data" --organ-histories 15000000 --seed 20240601 --threads 2
