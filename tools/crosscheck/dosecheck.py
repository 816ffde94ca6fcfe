#!/usr/bin/env python3
"""Independent cross-check of tamso-calc.

The dose model in dosemodel.py is a second, deliberately separate implementation of the dose
calculation in plain Python (standard library only). This driver runs it two ways:

    dosecheck.py --calc build/tamso-calc --data data [--grid small|full] [--listings N]

runs a grid of exposure conditions through both the model and tamso-calc on the working folder
and compares every printed value and the spectrum listing "Beam_data.dat" byte for byte, and
computes the worked example of the dose's uncertainty in the folder's README.md again;

    dosecheck.py --cases tests/data

computes every test case (a folder with conditions.txt, workdir/ and expected.txt, see
tests/data/README.md) with the model alone and compares it with the case's expected results and,
where the case has one, its expected spectrum listing. Both may be given in one run.

Results are compared as the texts the program shows. The model's arithmetic may differ from the
program in the fifteenth digit of a value shown with all its integer digits (only absurd inputs
reach 10^15 and more); the grids keep clear of such inputs.

Exit status 0 when everything agrees, 1 on a difference, 2 on a usage or set-up error.
"""

import argparse
import csv
import io
import itertools
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from dosemodel import DEFAULTS, RESULT_KEYS, CalcError, calculate, load_reference

# --------------------------------------------------------------------------------------------
# Grids and comparison.
# --------------------------------------------------------------------------------------------

FULL_AXES = {
    "kv": [40, 45.5, 50, 50.3, 60, 70, 71, 80, 85],
    "mas": [0.5, 1, 5],
    "ffd": [60, 100, 130],
    "thickness": [5, 10],
    "focus-hood": [30, 60, 85],
    "field": [(25.4, 20.3), (20.3, 25.4), (10, 10), (50, 50), (0, 0)],
    "angle": [12, 90],
    "added-al": [0, 1],
    "added-cu": [0, 0.1],
    "measured-ckg": [None, 2.58e-4],
}

SMALL_AXES = {
    "kv": [40, 45.5, 50.3, 71, 80, 85],
    "mas": [1, 5],
    "ffd": [60, 130],
    "thickness": [5],
    "focus-hood": [30, 85],
    "field": [(25.4, 20.3), (20.3, 25.4), (10, 10), (50, 50), (0, 0)],
    "angle": [12],
    "added-al": [0, 1],
    "added-cu": [0.1],
    "measured-ckg": [None, 2.58e-4],
}


# Single conditions at the edges of the model, appended to every grid: soft beams without
# inherent filtration, hard beams that no 30 mm of aluminium halves, fractional voltages, odd
# target angles, the caregiver table's clamps and keys, fields cut by the rings, the closest skin
# and hood the geometry allows and the first distances beyond, and inputs the program refuses.
EDGE_CONDITIONS = [
    {"kv": 5.0, "inherent-al": 0.0, "angle": 90.0, "mas": 0.0},  # refused: no mAs
    {"kv": 8.0, "inherent-al": 0.0, "angle": 90.0, "mas": 0.0},
    {"kv": 5.0, "inherent-al": 0.0, "angle": 90.0, "measured-ckg": 1e-9},  # halved by 0.1 mm Al
    {"kv": 8.0, "inherent-al": 0.0, "angle": 90.0, "measured-ckg": 1e-9},
    {"kv": 12.0, "inherent-al": 0.0, "angle": 90.0, "measured-ckg": 1e-12},
    {"kv": 15.0, "inherent-al": 0.5},  # refused: below the tube output data
    {"kv": 15.0, "inherent-al": 0.5, "measured-ckg": 2.58e-4},
    {"kv": 30.0},
    {"kv": 30.0, "measured-ckg": 2.58e-4},
    {"kv": 52.3},
    {"kv": 65.25, "field": (10.0, 20.3)},
    {"kv": 70.5},
    {"kv": 100.0, "measured-ckg": 2.5861e-4},
    {"kv": 149.9, "added-cu": 2.0, "measured-ckg": 9.995e-5},
    {"kv": 149.9, "added-cu": 5.0, "measured-ckg": 2.58e-4},
    {"kv": 150.0, "measured-ckg": 2.58e-4},
    {"kv": 4.0},
    {"kv": 80.0, "added-al": 30.0},
    {"angle": 0.0},
    {"angle": 1.0},
    {"angle": 180.0},
    {"angle": -12.0},
    {"ffd": 70.0}, {"ffd": 69.9}, {"ffd": 105.0}, {"ffd": 120.0}, {"ffd": 150.0},
    {"ffd": 0.0}, {"ffd": 10.0}, {"ffd": 39.99, "focus-hood": 20.0}, {"ffd": 40.0, "focus-hood": 20.0},
    {"focus-hood": 89.99}, {"focus-hood": 90.0}, {"focus-hood": 0.0},
    {"thickness": -3.0},
    {"focus-hood": -100.0},
    {"focus-hood": 95.0},
    {"field": (-10.0, 5.0)},
    {"field": (20.14 * 100 / 90, 30.0)},
    {"field": (35.4, 35.4)},
    {"field": (5.0, 0.5)},
    {"mas": -5.0},
    {"kv": 55.0, "mas": 3.2},
]


def edge_conditions():
    for extra in EDGE_CONDITIONS:
        cond = dict(DEFAULTS)
        cond.update(extra)
        yield cond


def grid(axes):
    names = list(axes)
    for values in itertools.product(*(axes[n] for n in names)):
        yield dict(zip(names, (float(v) if isinstance(v, int) else v for v in values)))


def number_text(v):
    return repr(float(v)).rstrip("0").rstrip(".") if float(v) != int(v) else str(int(v))


def cond_cells(cond):
    cells = {}
    for name in ("kv", "mas", "ffd", "thickness", "focus-hood", "angle", "inherent-al",
                 "added-al", "added-cu"):
        if name in cond:
            cells[name] = number_text(cond[name])
    cells["field"] = "%sx%s" % (number_text(cond["field"][0]), number_text(cond["field"][1]))
    cells["measured-ckg"] = "" if cond["measured-ckg"] is None else repr(cond["measured-ckg"])
    return cells


def cond_args(cond):
    args = []
    for name, text in cond_cells(cond).items():
        if text != "":
            args.append("--%s=%s" % (name, text))
    return args


def run_batch(calc, workdir, conds):
    columns = ["kv", "mas", "ffd", "thickness", "focus-hood", "field", "angle", "inherent-al",
               "added-al", "added-cu", "measured-ckg"]
    buf = io.StringIO()
    w = csv.writer(buf, lineterminator="\n")
    w.writerow(columns)
    for c in conds:
        cells = cond_cells(c)
        w.writerow([cells.get(n, "") for n in columns])
    path = os.path.join(workdir, "grid.csv")
    with open(path, "w", encoding="utf-8") as f:
        f.write(buf.getvalue())
    proc = subprocess.run([calc, "--workdir", workdir, "--csv", path], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    text = proc.stdout.decode("utf-8")
    rows = list(csv.DictReader(io.StringIO(text)))
    if len(rows) != len(conds):
        raise SystemExit("tamso-calc returned %d rows for %d conditions (rc %d): %s"
                         % (len(rows), len(conds), proc.returncode,
                            proc.stderr.decode("utf-8", "replace")[:500]))
    return rows


def describe(cond):
    return " ".join(cond_args(cond))


def check_grid(args, differences):
    """The grid against tamso-calc on a copy of the working folder; returns a summary line."""
    tmp = tempfile.mkdtemp(prefix="tamso-crosscheck-")
    try:
        workdir = os.path.join(tmp, "work")
        shutil.copytree(args.data, workdir)
        for stale in ("Beam_data.dat",):
            p = os.path.join(workdir, stale)
            if os.path.exists(p):
                os.remove(p)
        ref = load_reference(workdir)
        conds = list(grid(FULL_AXES if args.grid == "full" else SMALL_AXES))
        conds += list(edge_conditions())
        cache = {}

        errors_both = 0
        rows = run_batch(args.calc, workdir, conds)
        if os.path.exists(os.path.join(workdir, "Beam_data.dat")):
            differences.append("the CSV batch wrote Beam_data.dat (a batch writes no listing)")
        for cond, row in zip(conds, rows):
            try:
                mine, _ = calculate(ref, cond, cache)
            except CalcError as e:
                mine = None
                mine_err = str(e)
            if mine is None:
                if row.get("error", "") == "":
                    differences.append("%s: tamso-calc computed, this script refuses (%s)"
                                       % (describe(cond), mine_err))
                else:
                    errors_both += 1
                continue
            if row.get("error", "") != "":
                differences.append("%s: tamso-calc refuses: %s" % (describe(cond), row["error"]))
                continue
            for key in RESULT_KEYS:
                if row[key] != mine[key]:
                    differences.append("%s: %s tamso-calc %s, script %s"
                                       % (describe(cond), key, row[key], mine[key]))

        # Spectrum listings, for one condition per distinct beam and geometry (a sample of them
        # unless --listings 0) and for every edge condition, each written by a run of tamso-calc
        # for that one exposure (a batch writes none; that bins above the voltage which an earlier
        # run filled read as 0 is checked by the engine's own tests).
        picked = []
        seen = set()
        grid_conds = conds[:len(conds) - len(EDGE_CONDITIONS)]
        for cond in grid_conds:
            k = (cond["kv"], cond.get("angle"), cond["added-al"], cond["added-cu"],
                 cond["ffd"], cond["thickness"], cond["field"])
            if k in seen:
                continue
            seen.add(k)
            picked.append(cond)
        if args.listings > 0 and len(picked) > args.listings:
            stride = len(picked) / args.listings
            picked = [picked[int(i * stride)] for i in range(args.listings)]
        picked += conds[len(grid_conds):]
        listing_count = 0
        listing = os.path.join(workdir, "Beam_data.dat")
        for cond in picked:
            try:
                _, mine_listing = calculate(ref, cond, cache)
            except CalcError:
                continue
            if os.path.exists(listing):
                os.remove(listing)
            proc = subprocess.run([args.calc, "--workdir", workdir] + cond_args(cond),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            ok = proc.returncode == 0
            how = "single run"
            if not ok or not os.path.exists(listing):
                differences.append("%s: %s failed" % (describe(cond), how))
                continue
            with open(listing, "rb") as f:
                theirs = f.read()
            listing_count += 1
            if theirs != mine_listing:
                a = theirs.split(b"\r\n")
                b = mine_listing.split(b"\r\n")
                for n, (x, y) in enumerate(zip(a, b), 1):
                    if x != y:
                        differences.append("%s (%s): Beam_data.dat line %d tamso-calc %r, "
                                           "script %r" % (describe(cond), how, n, x, y))
                        break
                else:
                    differences.append("%s (%s): Beam_data.dat has %d lines, script %d"
                                       % (describe(cond), how, len(a), len(b)))

        return ("conditions compared: %d (%d refused by both), listings compared: %d"
                % (len(conds), errors_both, listing_count))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


# --------------------------------------------------------------------------------------------
# Test cases: tests/data/<case>/ with conditions.txt, workdir/, expected.txt and Beam_data.dat.
# --------------------------------------------------------------------------------------------

CONDITION_NAMES = ("kv", "mas", "ffd", "thickness", "focus-hood", "field", "angle", "inherent-al",
                   "added-al", "added-cu", "measured-ckg")


def read_case_conditions(path):
    """The conditions of a case: one tamso-calc option without dashes and its value per line."""
    cond = dict(DEFAULTS)
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            parts = line.split(None, 1)
            if len(parts) != 2 or parts[0] not in CONDITION_NAMES:
                raise SystemExit("%s line %d: expected 'name value' with a tamso-calc condition "
                                 "option as name: %r" % (path, number, line))
            name, value = parts
            if name == "field":
                sep = next((c for c in "xX*" if c in value), None)
                if sep is None:
                    raise SystemExit("%s line %d: a field is LONGxSHORT: %r" % (path, number, value))
                long_side, short_side = value.split(sep, 1)
                cond[name] = (float(long_side), float(short_side))
            else:
                cond[name] = float(value)
    return cond


def read_case_expected(path):
    """('refused', message) or ('computed', [(key, value), ...]) from a case's expected.txt."""
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if lines and lines[0].startswith("exit "):
        return "refused", "\n".join(lines[1:])
    pairs = []
    for line in lines:
        key, _, value = line.partition(" ")
        pairs.append((key, value))
    return "computed", pairs


def case_folders(root):
    return sorted(os.path.join(root, name) for name in os.listdir(root)
                  if os.path.isfile(os.path.join(root, name, "conditions.txt")))


def check_cases(root, differences):
    """Every case computed by the model alone; returns a summary line."""
    folders = case_folders(root)
    if not folders:
        raise SystemExit("no test case (a folder with conditions.txt) in %s" % root)
    listings = 0
    for folder in folders:
        name = os.path.basename(folder)
        cond = read_case_conditions(os.path.join(folder, "conditions.txt"))
        kind, expected = read_case_expected(os.path.join(folder, "expected.txt"))
        ref = load_reference(os.path.join(folder, "workdir"))
        try:
            mine, mine_listing = calculate(ref, cond)
        except CalcError as e:
            if kind != "refused":
                differences.append("%s: expected results, the model refuses (%s)" % (name, e))
            continue
        if kind == "refused":
            differences.append("%s: expected a refusal, the model computes %s"
                               % (name, " ".join(mine[k] for k in RESULT_KEYS)))
            continue
        if [k for k, _ in expected] != list(RESULT_KEYS):
            differences.append("%s: expected.txt names %s, tamso-calc prints %s"
                               % (name, [k for k, _ in expected], list(RESULT_KEYS)))
            continue
        for key, value in expected:
            if mine[key] != value:
                differences.append("%s: %s expected %s, model %s" % (name, key, value, mine[key]))
        listing = os.path.join(folder, "Beam_data.dat")
        if os.path.exists(listing):
            listings += 1
            with open(listing, "rb") as f:
                if f.read() != mine_listing:
                    differences.append("%s: Beam_data.dat differs from the model's listing" % name)
    return "test cases compared: %d, listings compared: %d" % (len(folders), listings)


# --------------------------------------------------------------------------------------------
# The worked example of the dose's uncertainty in the working folder's README.md.
# --------------------------------------------------------------------------------------------

def check_uncertainty_example(folder, differences):
    """The table "| mAs | combined … | expanded … | shown |" of README.md in the data folder,
    computed again from the model's own budget for the default exposure at each mAs."""
    readme = os.path.join(folder, "README.md")
    if not os.path.exists(readme):
        return "no README.md in %s: uncertainty example not compared" % folder
    with open(readme, encoding="utf-8") as f:
        lines = f.read().split("\n")
    start = next((i for i, line in enumerate(lines)
                  if line.startswith("| mAs | combined standard uncertainty")), None)
    if start is None:
        differences.append("%s: the worked example of the uncertainty (a table headed "
                           "'| mAs | combined standard uncertainty') is missing" % readme)
        return "uncertainty example: missing"
    ref = load_reference(folder)
    rows = 0
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        cells = [c.strip() for c in line.strip("|").split("|")]
        cond = dict(DEFAULTS)
        cond["mas"] = float(cells[0])
        out, _ = calculate(ref, cond)
        mine = ["%.1f %%" % (100 * out["_combined_relative"]),
                "%.1f %%" % (200 * out["_combined_relative"]), out["_dose_with_uncertainty"]]
        if cells[1:4] != mine:
            differences.append("%s: uncertainty example at %s mAs says %s, the model gives %s"
                               % (readme, cells[0], cells[1:4], mine))
        rows += 1
    if rows == 0:
        differences.append("%s: the worked example of the uncertainty has no rows" % readme)
    return "uncertainty example rows compared: %d" % rows


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--calc", help="path of tamso-calc (with --data)")
    ap.add_argument("--data", help="working folder with the reference files (with --calc)")
    ap.add_argument("--cases", help="folder of test cases, each with conditions.txt, workdir/ "
                                    "and expected.txt")
    ap.add_argument("--grid", choices=("small", "full"), default="small")
    ap.add_argument("--listings", type=int, default=12,
                    help="how many conditions also get their Beam_data.dat compared (0 = all "
                         "distinct beams)")
    ap.add_argument("--max-report", type=int, default=20)
    args = ap.parse_args()
    if (args.calc is None) != (args.data is None) or (args.calc is None and args.cases is None):
        ap.print_usage()
        print("give --calc and --data, or --cases, or all three")
        return 2
    if args.calc is not None and not os.path.isfile(args.calc):
        print("no tamso-calc at %s" % args.calc)
        return 2
    if args.cases is not None and not os.path.isdir(args.cases):
        print("no folder %s" % args.cases)
        return 2

    differences = []
    if args.calc is not None:
        print(check_grid(args, differences))
        print(check_uncertainty_example(args.data, differences))
    if args.cases is not None:
        print(check_cases(args.cases, differences))
    if differences:
        print("%d difference(s):" % len(differences))
        for d in differences[:args.max_report]:
            print("  " + d)
        return 1
    print("every printed value and listing agrees")
    return 0


if __name__ == "__main__":
    sys.exit(main())
