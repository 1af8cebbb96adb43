#!/usr/bin/python3
"""Checks the tensile-strength staircases (layer 22) of a tau-d sheet or of
the Rm-d Quick sheet, read with ezdxf, against the published ranges.

    staircase_check.py SHEET.dxf CSV_FOLDER MATERIAL_NUMBER tau-d|rm-d
    staircase_check.py SHEET.dxf --entities    (one line per entity: type, layer, text)

The minimum and maximum of each standard diameter slot are worked out from
rm_ranges.csv (the first range of the material's grade that holds the
diameter, inside the material's dmin..dmax); each table is drawn as a
staircase: for neighbouring slots i, i+1 with values a horizontal line from
(D_i, v_i+1) to (D_i+1, v_i+1) and, where the value changes, a vertical line
at D_i. The sheet must hold exactly those lines in that order, placed by one
linear map per axis (logarithmic in d on the Rm-d Quick sheet's lower plot):
a wrong value, a missing or extra step, or a step at a wrong diameter leaves
a residual. Prints the span of diameters drawn; exit 1 on a problem.
"""
import csv
import math
import os
import sys
from decimal import Decimal

import ezdxf


def read_csv(folder, name):
    with open(os.path.join(folder, name), encoding="utf-8") as f:
        return list(csv.DictReader(f))


def tables(folder, number):
    material = next(m for m in read_csv(folder, "materials.csv") if int(m["number"]) == number)
    grade = material["name1"].split()[-1]
    lo = Decimal(material["dmin"]) if material["dmin"] else None
    hi = Decimal(material["dmax"]) if material["dmax"] else None
    steps = [Decimal(r["hundredths"]) / 100 for r in read_csv(folder, "std_diameter_steps.csv")]
    ranges = [r for r in read_csv(folder, "rm_ranges.csv") if grade in r["grade"].split("+")]
    out = {"min": [], "max": []}
    for d in steps:
        found = None
        if (lo is None or d >= lo) and (hi is None or d <= hi):
            found = next((r for r in ranges if (r["over"] == "" or d > Decimal(r["over"])) and d <= Decimal(r["upto"])),
                         None)
        for kind in out:
            out[kind].append(int(found[kind]) if found and found[kind] else 0)
    return steps, out


def expected_segments(steps, values):
    segs = []
    for i in range(93):
        v, vn = values[i], values[i + 1]
        if v > 0 and vn > 0:
            segs.append(((steps[i], vn), (steps[i + 1], vn)))
            if v != vn:
                segs.append(((steps[i], v), (steps[i], vn)))
    return segs


def fit(pairs):
    """Least-squares line sheet = a + b * world; returns (a, b, largest residual)."""
    n = len(pairs)
    sx = sum(w for w, _ in pairs)
    sy = sum(s for _, s in pairs)
    sxx = sum(w * w for w, _ in pairs)
    sxy = sum(w * s for w, s in pairs)
    b = (n * sxy - sx * sy) / (n * sxx - sx * sx)
    a = (sy - b * sx) / n
    return a, b, max(abs(a + b * w - s) for w, s in pairs)


def check_plot(name, lines, segs, logx):
    problems = []
    if len(lines) != len(segs):
        return ["%s: %d staircase lines, %d expected" % (name, len(lines), len(segs))]
    xs, ys = [], []
    for line, (p, q) in zip(lines, segs):
        for sheet, world in ((line[0], p), (line[1], q)):
            wx = math.log10(float(world[0])) if logx else float(world[0])
            xs.append((wx, sheet[0]))
            ys.append((float(world[1]), sheet[1]))
    for axis, pairs in (("d", xs), ("Rm", ys)):
        a, b, worst = fit(pairs)
        if not b > 0:
            problems.append("%s: %s axis does not rise" % (name, axis))
        if worst > 0.01:
            problems.append("%s: %s of a step off by %.4f mm on the sheet" % (name, axis, worst))
    return problems


def main():
    if len(sys.argv) == 3 and sys.argv[2] == "--entities":
        for e in ezdxf.readfile(sys.argv[1]).modelspace():
            text = e.dxf.text if e.dxftype() == "TEXT" else ""
            sys.stdout.buffer.write(("%s\t%s\t%s\n" % (e.dxftype(), e.dxf.layer, text)).encode("utf-8"))
        return 0
    path, folder, number, mode = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    steps, values = tables(folder, number)
    segs = expected_segments(steps, values["min"]) + expected_segments(steps, values["max"])
    if not segs:
        print("no published range for material %d" % number)
        return 1
    lines = [((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y))
             for e in ezdxf.readfile(path).modelspace() if e.dxftype() == "LINE" and e.dxf.layer == "22"]
    if mode == "tau-d":
        plots = [("tau-d", lines, False)]
    else:  # the linear plot above y 57 mm, the logarithmic one below
        plots = [("Rm-d linear", [l for l in lines if l[0][1] > 57], False),
                 ("Rm-d log", [l for l in lines if l[0][1] <= 57], True)]
    problems = []
    for name, plot_lines, logx in plots:
        problems += check_plot(name, plot_lines, segs, logx)
    drawn = [d for d, v in zip(steps, values["min"]) if v > 0]
    print("staircase %s .. %s mm, %d lines per plot" % (drawn[0], drawn[-1], len(segs)))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
