#!/usr/bin/env python3
"""Fits the tensile-strength laws of materials.csv to the published ranges of
rm_ranges.csv as lower envelopes, and prints each law with its largest
shortfall.

The law is Rm(d) = Rm0 - RmSlope * log10(d / DR0), capped at RmMax, with
DR0 = 1 mm and whole N/mm2. A published minimum holds for its whole band
"a < d <= b", so the law must not exceed it anywhere in the band: as the law
falls with d, that is min(RmMax, law(lo)) <= min, lo being the band's lower
edge (or the grade's dmin where that lies above it). Every published band
counts, fitted or not. Within these bounds the slope is chosen so that the
largest shortfall, min - Rm at the band's upper edge over the fitted bands
(the rows without "not fitted"), is smallest, then their sum; Rm0 is the
largest whole value the bounds allow and RmMax the minimum of the grade's
first band. A band that holds a single diameter of the grade (SM's "d <= 0.3"
with dmin 0.3) is left out of that choice: the next band's bound fixes the
law there whatever the slope. The printed shortfall covers every fitted band.

Usage: rmlaws.py [CSV_FOLDER]   (default: data/tables beside this tool)"""
import csv
import math
import os
import sys

# materials.csv grade -> rm_ranges.csv grade key, for the grades fitted here.
# The EN 10270-2 rows keep their published log-laws (checked at thin wire).
GRADES = {"SM": "SM", "DM": "DM", "SH": "SH", "DH": "DH", "1.4310": "1.4310", "1.4401": "1.4401",
          "1.4568": "1.4568"}


def read(folder, name):
    with open(os.path.join(folder, name), encoding="utf-8") as f:
        return list(csv.DictReader(f))


def bands(ranges, grade, dmin, dmax):
    """(lo, lo inclusive?, upto, min, fitted) of the grade's bands inside dmin..dmax."""
    out = []
    for r in ranges:
        if grade not in r["grade"].split("+"):
            continue
        over = float(r["over"]) if r["over"] else None
        upto = float(r["upto"])
        if dmin is not None and upto < dmin:
            continue
        if dmax is not None and over is not None and over >= dmax:
            continue
        lo, inclusive = over, False
        if dmin is not None and (over is None or dmin > over):
            lo, inclusive = dmin, True
        out.append((lo, inclusive, min(upto, dmax) if dmax else upto, int(r["min"]),
                    "not fitted" not in r["note"]))
    return out


def law(rm0, slope, cap, d):
    rm = rm0 - math.log10(d) * slope
    return min(rm, cap) if cap > 1 else rm


def fit(bs):
    firsts = [b for b in bs if b[0] is None or b[1]]
    cap = min(b[3] for b in firsts) if firsts else max(b[3] for b in bs)
    best = None
    for slope in range(0, 3001):
        # Largest Rm0 with min(cap, law(lo)) <= min for every band.
        rm0 = None
        for lo, _, _, m, _ in bs:
            if lo is None or cap <= m:
                continue
            bound = math.floor(m + math.log10(lo) * slope + 1e-9)
            rm0 = bound if rm0 is None else min(rm0, bound)
        if rm0 is None:
            continue
        short = [m - law(rm0, slope, cap, b) for lo, _, b, m, fitted in bs if fitted and lo != b]
        key = (round(max(short), 6), sum(short))
        if best is None or key < best[0]:
            best = (key, rm0, slope, cap)
    return best[1], best[2], best[3]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data", "tables")
    materials = read(folder, "materials.csv")
    ranges = read(folder, "rm_ranges.csv")
    print("no.,grade,Rm0,RmSlope,RmMax,largest shortfall,in band,at a single diameter,largest excess")
    for row in materials:
        grade = row["name1"].split()[-1]
        if grade not in GRADES:
            continue
        dmin = float(row["dmin"]) if row["dmin"] else None
        dmax = float(row["dmax"]) if row["dmax"] else None
        bs = bands(ranges, GRADES[grade], dmin, dmax)
        rm0, slope, cap = fit(bs)
        worst = max((m - law(rm0, slope, cap, b), lo, b) for lo, _, b, m, fitted in bs if fitted and lo != b)
        single = [f"{m - law(rm0, slope, cap, b):.1f} at {b:g}" for lo, _, b, m, fitted in bs if fitted and lo == b]
        excess = max(law(rm0, slope, cap, lo if lo else 1e-3) - m for lo, _, _, m, _ in bs)
        band = f"{'' if worst[1] is None else f'{worst[1]:g}'}-{worst[2]:g}"
        print(f"{row['number']},{grade},{rm0},{slope},{cap},{worst[0]:.1f},{band},{' '.join(single)},{excess:.2f}")

if __name__ == "__main__":
    main()
