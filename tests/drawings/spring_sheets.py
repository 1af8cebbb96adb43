#!/usr/bin/python3
"""Every sheet of generated springs, judged by the sheet checks.

    spring_sheets.py WRITER [COUNT]

WRITER is zeb_test_spring_sheets: it makes COUNT springs (default 200, or
$ZEB1_SHEET_SPRINGS) of a seed over the ranges the input screens take and
writes every sheet of each as DXF and as the screen shows it. The seed is
printed first; ZEB1_SHEET_SEED=SEED repeats a run, ZEB1_SHEET_JOBS sets the
number of processes (default: the cores), ZEB1_SHEET_KEEP=DIR keeps the
files in DIR (else a private temporary folder, each few springs' files
removed when checked), ZEB1_SHEET_FOUND=DIR copies the spring files of
findings to DIR.

Each sheet is judged by
- dxfcheck.py of the shared tools (the file as other programs read it);
- text_overlap.py: no text over another, none crossed by a line, nothing
  off the sheet, every text readable at print size (the views fitted to an
  A4 page either way round), gaps at the ink;
- the values a sheet marks (working points, the stress correction of its
  index, the operating points, the levels of a spectrum ...), worked out
  from the spring's values: each lies in its plot, as the plot's tick
  numbers read, or is marked on the frame with its value; the labels of
  points stand by them (point_labels.py);
- every labelled value ("tauk1:76182", "F1 = 27.5 kN") stands for the
  spring's value in the sheet's unit system, every integer digit kept,
  and shows the printout's value of the quantity with at least the
  printout's significant digits (sheet_values.py);
- the buckling sheet's region labels each wholly in its region, the
  tau-d sheets' curve labels within their plots, the tolerance bands'
  legend over none of the bands;
- no text of a sheet is cut short ("...");
- the screen: it shows the texts the file holds, each whole in the window
  and in a colour of 3:1 contrast or more to the background, and draws no
  line below 3:1;
- a view's sheet hugs its drawing: its limits reach past the drawing by at
  most a tenth of the drawing's larger side.
A sheet over 16 MB (a spring of a thousand coils drawn one by one) is
named, not read. Findings of the classes in ALLOWED are counted and listed
apart; any other finding fails the run (exit 1).
"""
import json
import math
import multiprocessing
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import ezdxf  # noqa: E402

import point_labels  # noqa: E402
import sheet_values  # noqa: E402
import text_overlap  # noqa: E402

# Findings of classes still open (class name, pattern): counted and listed
# apart, not failing the run. The label engine places each label as it
# comes: where points crowd (the buckling sheet's, all on one abscissa;
# two stresses a hair apart), a leader may run along a drop line, a line
# of a dense logarithmic grid or another point's label, and a leader may be
# cut away by a curve's label placed after it, leaving its label apart from
# its point. The springs of earlier findings (sheet_springs/) are held to
# all but the Haigh sheet's life-line labels.
ALLOWED = [
    ("leaders of crowded points",
     re.compile(r"^s\d+_(?!cad4:)\w+: (leader \(.*\) of '.*' along [('\"]"
                r"|'.*' at \(.*\) is .* from its point .* with no leader)")),
    # The Haigh sheet's life-line labels come after the operating points'
    # leaders and keep clear of them by their ink only.
    ("leaders along a life-line label",
     re.compile(r"_haigh: leader \(.*\) of '.*' along '.*Mio\.Lastsp\.'")),
]


def tools_dir():
    if os.environ.get("ZEB1_TOOLS_DIR"):
        return os.environ["ZEB1_TOOLS_DIR"]
    if os.environ.get("ZEB1_SOURCE_DIR"):
        return os.path.join(os.environ["ZEB1_SOURCE_DIR"], "..", "shared", "tools")
    return os.path.normpath(os.path.join(HERE, "..", "..", "..", "shared", "tools"))


def load_dxfcheck():
    path = os.path.join(tools_dir(), "dxfcheck.py")
    if not os.path.exists(path):
        return None
    import importlib.util
    spec = importlib.util.spec_from_file_location("dxfcheck", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# --------------------------------------------------------------- the values

VIEWS = ("cad12", "cad13", "cad14", "cad15")
F_S = {"cad1": (10, 50, 60, 60), "cad2": (12, 10, 95, 95), "m2": (12, 10, 95, 95), "cad10": (10, 50, 60, 60),
       "quick3": (8, 8, 50, 50)}
PLOT = (12, 10, 95, 95)
TEMPERATURE_PLOT = (12, 15, 95, 90)
FATIGUE_PLOT = (15, 20, 90, 85)
QUICK3_GOODMAN = (70 + 15 * 0.58, 20 * 0.58, 90 * 0.58, 85 * 0.58)
NO_BUCKLING = 9999


def k_factor(w):
    return 1 + 1.25 / w + 0.875 / w ** 2 + 1 / w ** 3


def response(f, f0):
    if f0 == 0:
        return 0.0
    if f == f0:
        return 1e32
    r = f / f0
    return abs(1 / (1 - r * r))


def cases(s):
    """What each sheet of the spring marks: {sheet: [case]}, a case a dict
    with the plot on the sheet, whether x is logarithmic, the points
    ("text", x, y, labelled) in the axes' units, and the beginnings of
    texts that mark a point beyond the frame ("marks")."""
    L, F, S, M = s["length"], s["force"], s["stress"], s["moment"]
    dyn = s["load"] != 1
    out = {}

    def case(sheet, plot, points, xlog=False, marks=()):
        out.setdefault(sheet, []).append({"plot": plot, "points": points, "xlog": xlog, "marks": list(marks)})

    fs = [("Fc", s["sc"] * L, s["Fc"] * F, False), ("Fn", s["sn"] * L, s["Fn"] * F, False),
          ("F2", s["s2"] * L, s["F2"] * F, False), ("F1", s["s1"] * L, s["F1"] * F, False)]
    if 0 < s["sk"] < s["sc"]:
        fs.append(("Fk", s["sk"] * L, s["sk"] * s["R"] * F, False))
    for sheet, plot in F_S.items():
        case(sheet, plot, fs)
    case("m21", PLOT, [("Fc", s["Lc"] * L, s["Fc"] * F, False), ("Fn", s["Ln"] * L, s["Fn"] * F, False),
                       ("F2", s["L2"] * L, s["F2"] * F, False), ("F1", s["L1"] * L, s["F1"] * F, False)])
    vt = [("F%d'" % (i + 1), (s["L0"] - v) * L, (s["L0"] - v) * s["R"] * F, False) for i, v in enumerate(s["values"])]
    case("m22", PLOT, fs[:2] + vt)
    if s["L0"] > 0 and s["Dm"] > 0:
        x = s["nue"] * s["L0"] / s["Dm"]
        case("cad3", PLOT, [(n, x, s[n] / s["L0"], True) for n in ("sc", "s2", "s1", "sn", "sk")
                            if s[n] != NO_BUCKLING])
    if s["w"] > 0:
        case("cad4", PLOT, [("k  = ", s["w"], k_factor(s["w"]), True)])

    # G falls linearly to 0 at 3620 degrees; G is given at 20, the forces
    # at the spring's temperature.
    for sheet, value, unit, at in (("m5", s["G"], S, 20), ("m7", s["F1"], F, s["T"]), ("cad5", s["F2"], F, s["T"])):
        case(sheet, TEMPERATURE_PLOT, [(n, s[n], value * (3620 - s[n]) / (3620 - at) * unit, False)
                                       for n in ("T1", "T", "T2")])
    t1, t2 = ("tauk1", "tauk2") if dyn else ("tau1", "tau2")
    tau_d = [(t1, s["d"] * L, s[t1] * S, True), (t2, s["d"] * L, s[t2] * S, True)]
    case("cad6", TEMPERATURE_PLOT, tau_d)
    case("m23", TEMPERATURE_PLOT, tau_d, xlog=True)
    case("m24", (80, 63, 60, 45), [(n, x, y, False) for n, x, y, _ in tau_d])
    case("m24", (80, 6, 60, 45), [(n, x, y, False) for n, x, y, _ in tau_d], xlog=True)
    k1, k2 = s["tauk1"] * S, s["tauk2"] * S
    case("cad7", FATIGUE_PLOT, [("tau k1", k1, k1, True), ("tau k2", k1, k2, True)])
    case("haigh", FATIGUE_PLOT, [("tau k1", k1, 0, True), ("tau kh", k1, k2 - k1, True)])
    if dyn:
        case("quick3", QUICK3_GOODMAN, [("tau k1", k1, k1, True), ("tau k2", k1, k2, True)])
    f0 = s["f0"] if s["mass"] > 1e-6 else s["fe"]
    if s["f"] > 0:
        case("cad8", (18, 10, 125, 90), [("fz", s["f"], response(s["f"], f0), False)], marks=["y = "])
    travels = [(1, "s1"), (2, "s2"), (3, "sn"), (4, "sc")]
    marked = {1: s["s1"] > 0.09 * s["sc"], 2: True, 3: s["sn"] > 1.05 * s["s2"], 4: True}
    work = [("W0" + n[1], s[n] * L, s["R"] * s[n] ** 2 / 2 * M, False) for k, n in travels if k != 1 or marked[1]]
    case("m25", PLOT, work)
    for sheet, key, unit in (("m26", "sq", L), ("m27", "Rq", s["rate"]), ("m28", "fq", 1)):
        case(sheet, PLOT, [(key + n[1], s[n] * L, s[key][k] * unit, False) for k, n in travels
                           if marked[k] and s[key][k] > 0])
    stress = [("tau1", s["s1"] * L, s["tau1"] * S, False), ("tau2", s["s2"] * L, s["tau2"] * S, False),
              ("taun", s["sn"] * L, s["taun"] * S, False), ("tauc", s["sc"] * L, s["tauc"] * S, False)]
    if dyn:
        stress += [("tauk1", s["s1"] * L, s["tauk1"] * S, False), ("tauk2", s["s2"] * L, s["tauk2"] * S, False)]
    case("m29", PLOT, stress)
    levels = s["levels"]
    if 0 < len(levels) < 6:
        pts, start = [], 0.0
        for i, (l1, l2, ni) in enumerate(levels):
            end = start + max(ni, 0)
            pts += [("level %d" % (i + 1), start, (s["L0"] - l1) * L, False),
                    ("level %d" % (i + 1), end, (s["L0"] - l2) * L, False)]
            start = end
        case("spectrum", (12, 10, 70, 50), pts)
    return out


def tick_range(sheet, plot, xlog):
    """The plot's world range (x lo, x hi, y lo, y hi) as its tick numbers
    read, or None. A linear axis labels its ends; on a logarithmic one the
    range follows from where its labels stand, each 3 % of the span left of
    its tick."""
    x0, y0, w, h = plot
    xs, ys = [], []
    for text, _, _, ins, *_ in sheet.texts:
        v = point_labels.number(text)
        if v is None:
            continue
        if x0 - 0.1 * w <= ins.x <= x0 + w and y0 - 0.12 * h <= ins.y <= y0 - 0.03 * h:
            if xlog:
                if v <= 0:
                    continue
                v = math.log10(v)
            xs.append((v, ins.x))
        elif x0 - 0.15 * w <= ins.x <= x0 - 0.05 * w and y0 - 0.05 * h <= ins.y <= y0 + h:
            ys.append(v)
    if len(xs) < 2 or len(ys) < 2 or max(v for v, _ in xs) <= min(v for v, _ in xs) or max(ys) <= min(ys):
        return None
    lo, hi = min(v for v, _ in xs), max(v for v, _ in xs)
    if xlog:
        n = len(xs)
        mv, mx = sum(v for v, _ in xs) / n, sum(x for _, x in xs) / n
        slope = sum((v - mv) * (x - mx) for v, x in xs) / sum((v - mv) ** 2 for v, _ in xs)
        span = w / slope
        lo = mv + (x0 - 0.03 * w - mx) / slope
        hi = lo + span
    return lo, hi, min(ys), max(ys)


def value_findings(path, sheet_cases):
    """Points off their plots, labels away from their points."""
    found = []
    sheet = point_labels.Sheet(path)
    for c in sheet_cases:
        x0, y0, w, h = c["plot"]
        r = tick_range(sheet, c["plot"], c["xlog"])
        if r is None:
            found.append("the plot at (%g, %g)'s tick numbers do not read" % (x0, y0))
            continue
        lo, hi, ylo, yhi = r
        labelled = []
        for text, x, y, label in c["points"]:
            if not (math.isfinite(x) and math.isfinite(y)):
                continue
            if c["xlog"]:
                if x <= 0:
                    found.append("value %r (%g, %g) off the plot" % (text, x, y))
                    continue
                x = math.log10(x)
            sx, sy = x0 + (x - lo) / (hi - lo) * w, y0 + (y - ylo) / (yhi - ylo) * h
            inside = x0 - 0.05 <= sx <= x0 + w + 0.05 and y0 - 0.05 <= sy <= y0 + h + 0.05
            if not inside:
                # Marked on the frame: a text with its value by the point
                # where it leaves the plot.
                cx, cy = min(max(sx, x0), x0 + w), min(max(sy, y0), y0 + h)
                r = sheet.mark_radius(cx, cy)
                marked = any(t.startswith(m) and point_labels.point_box(cx, cy, b) <= r + 1.3 * th + 0.1
                             for t, b, th, *_ in sheet.texts for m in c["marks"])
                if not marked:
                    found.append("value %r (%.4g, %.4g) off the plot at (%.2f, %.2f)" % (text, x, y, sx, sy))
                continue
            if label:
                labelled.append((text, sx, sy))
        for text, sx, sy in labelled:
            found += label_findings(sheet, text, sx, sy, labelled)
    return found


# The plots of the tau-d sheets, whose curves ("Rm", "tau z") are labelled
# within them.
CURVE_PLOTS = {"cad6": [TEMPERATURE_PLOT], "m23": [TEMPERATURE_PLOT], "m24": [(80, 63, 60, 45), (80, 6, 60, 45)]}


def curve_label_findings(path, plots):
    """A curve's label on a tau-d sheet stands wholly within its plot (by
    the curve's last point there), not on or past the frame."""
    found = []
    doc = ezdxf.readfile(path)
    for e in text_overlap.flat_entities(doc.modelspace()):
        if e.dxftype() != "TEXT" or e.dxf.text.strip() not in ("Rm", "tau z"):
            continue
        xs, ys = zip(*text_overlap.box(e))
        mine = [p for p in plots if p[0] - 1 <= e.dxf.insert.x <= p[0] + p[2] + 10 and
                p[1] - 5 <= e.dxf.insert.y <= p[1] + p[3] + 5]
        if mine and not any(x0 - 0.05 <= min(xs) and max(xs) <= x0 + w + 0.05 and
                            y0 - 0.05 <= min(ys) and max(ys) <= y0 + h + 0.05 for x0, y0, w, h in mine):
            found.append("curve label %r at (%.2f, %.2f) not within its plot" % (
                e.dxf.text.strip(), e.dxf.insert.x, e.dxf.insert.y))
    return found


def legend_findings(path):
    """The legend of the tolerance bands ("- EN 15800 Gütegrad 1" ...)
    hides none of its bands: no line of the bands' layers is broken at its
    texts."""
    doc = ezdxf.readfile(path)
    boxes, segments = [], []
    for e in text_overlap.flat_entities(doc.modelspace()):
        if e.dxftype() == "TEXT" and e.dxf.text.startswith("- EN 15800 G"):
            xs, ys = zip(*text_overlap.box(e, widen=0.3 * e.dxf.height))
            boxes.append((e.dxf.text, min(xs), min(ys), max(xs), max(ys)))
        elif e.dxftype() == "LINE" and e.dxf.layer in ("18", "19", "21"):
            segments += text_overlap.shapes_of(e)
    found = []
    for (ax, ay), (bx, by) in text_overlap.holes(segments):
        mx, my = (ax + bx) / 2, (ay + by) / 2
        hit = next((b for b in boxes if b[1] < mx < b[3] and b[2] < my < b[4]), None)
        if hit:
            found.append("a band line broken (%.2f, %.2f)-(%.2f, %.2f) under the legend %r" % (ax, ay, bx, by, hit[0]))
    return found


def region_findings(path, facts):
    """The buckling sheet's region labels each wholly in its region:
    "Knicksicherheit" left of the limit curve's start or below the curve,
    "Knickgefahr" above it (its box, a hair inside, as the tick numbers
    read the plot)."""
    G, E = facts.get("G", 0), facts.get("E", 0)
    if not (E > 0 and 0 <= G / E < 1):
        return []
    g = G / E
    A, B = 0.5 / (1 - g), math.pi ** 2 * (1 - g) / (0.5 + g)
    x0 = math.sqrt(B)
    sheet = point_labels.Sheet(path)
    r = tick_range(sheet, PLOT, False)
    if r is None:
        return []
    lo, hi, ylo, yhi = r
    px, py, pw, ph = PLOT
    # A strip left of the curve narrower than a label turned upright at the
    # print minimum (a spring hundreds of times as long as wide): its label
    # stands apart with a leader.
    narrow = (x0 - lo) / (hi - lo) * pw < 1.6

    def safe(x, y):
        return x <= x0 or y <= A * (1 - math.sqrt(max(0.0, 1 - B / (x * x))))

    found = []
    doc = ezdxf.readfile(path)
    for e in text_overlap.flat_entities(doc.modelspace()):
        if e.dxftype() != "TEXT" or e.dxf.text.strip() not in ("Knicksicherheit", "Knickgefahr"):
            continue
        corners = text_overlap.box(e)
        cx, cy = sum(p[0] for p in corners) / 4, sum(p[1] for p in corners) / 4
        want = e.dxf.text.strip() == "Knicksicherheit"
        if want and narrow:
            continue
        for k in range(4):
            (ax, ay), (bx, by) = corners[k], corners[(k + 1) % 4]
            for t in (0, 0.25, 0.5, 0.75):
                qx, qy = ax + (bx - ax) * t, ay + (by - ay) * t
                d = math.hypot(cx - qx, cy - qy)
                qx, qy = qx + (cx - qx) * min(1, 0.3 / d), qy + (cy - qy) * min(1, 0.3 / d)
                wx, wy = lo + (qx - px) / pw * (hi - lo), ylo + (qy - py) / ph * (yhi - ylo)
                if safe(wx, wy) != want or not (px <= qx <= px + pw and py <= qy <= py + ph):
                    found.append("%r at (%.2f, %.2f) reaches out of its region at (%.2f, %.2f)" % (
                        e.dxf.text.strip(), e.dxf.insert.x, e.dxf.insert.y, qx, qy))
                    break
            else:
                continue
            break
    return found


def label_findings(sheet, text, px, py, points):
    """The label of a point (a text beginning with text) stands within 1.3
    heights of its mark (the circle about it, if any) and no nearer to
    another point, or has a leader from the mark."""
    labels = [t for t in sheet.texts if t[0].strip().startswith(text.strip())]
    if not labels:
        return ["%r is missing" % text]
    _, b, th, *_ = min(labels, key=lambda t: point_labels.point_box(px, py, t[1]))
    d = point_labels.point_box(px, py, b)
    r = sheet.mark_radius(px, py)
    if d <= r + 1.3 * th + point_labels.TOL:
        # Nearer to a point that stands apart from this one (a point within
        # a label's reach of it cannot have a label of its own).
        # A leader from its own point's mark tells it apart as well.
        nearer = [o for o, qx, qy in points if o != text and point_labels.point_box(qx, qy, b) < d - 0.05
                  and math.hypot(qx - px, qy - py) > r + 1.3 * th]
        if nearer and not any(point_labels.on_mark(far, px, py, r) for _, far in sheet.leaders_to(b, th)):
            return ["%r stands nearer to %r's point" % (text, nearer[0])]
        return []
    if any(point_labels.on_mark(far, px, py, r) for _, far in sheet.leaders_to(b, th)):
        return []
    return ["%r at (%.2f, %.2f) is %.2f from its point (%.2f, %.2f) with no leader to it" % (
        text, b[0], b[1], d, px, py)]


# --------------------------------------------------------------- the screen

def luminance(c):
    """Relative luminance of a colour 0xBBGGRR (sRGB)."""
    def linear(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    return 0.2126 * linear(c & 255) + 0.7152 * linear((c >> 8) & 255) + 0.0722 * linear((c >> 16) & 255)


def contrast(a, b):
    """The contrast ratio of two colours 0xBBGGRR, 1 to 21."""
    la, lb = luminance(a) + 0.05, luminance(b) + 0.05
    return max(la, lb) / min(la, lb)


def file_texts(path):
    doc = ezdxf.readfile(path)
    texts = []
    for e in text_overlap.flat_entities(doc.modelspace()):
        if e.dxftype() in ("TEXT", "ATTRIB") and e.dxf.text.strip(" "):
            texts.append(e.dxf.text.strip(" "))
    return texts


def screen_findings(path, scr):
    """The screen against the file: the same texts, each whole in the
    window, texts and lines in colours apart from the background."""
    found = []
    with open(scr, encoding="cp1252") as f:
        lines = f.read().split("\n")
    head = lines[0].split(" ")
    background, width, height = int(head[1], 16), int(head[2]), int(head[3])
    shown = []
    for line in lines[1:]:
        if line.startswith("P "):
            pen = int(line[2:], 16)
            if contrast(pen, background) < 3:
                found.append("screen draws lines in %06X on %06X" % (pen, background))
        elif line.startswith("T "):
            parts = line.split(" ", 7)
            colour, x, y, cw, ch, esc = int(parts[1], 16), *map(int, parts[2:7])
            text = parts[7] if len(parts) > 7 else ""
            if not text.strip(" "):
                continue
            shown.append(text.strip(" "))
            if contrast(colour, background) < 3:
                found.append("screen text %r in %06X on %06X" % (text, colour, background))
            a = math.radians(esc / 10)
            ink = text_overlap.ink(text.strip(" ")) * cw
            ex, ey = x + ink * math.cos(a), y - ink * math.sin(a)
            if min(x, ex) < -1 or max(x, ex) > width + 1 or min(y, ey) < -1 or max(y, ey) + ch * 0.75 > height + 1:
                found.append("screen text %r at (%d, %d) not whole in the window" % (text, x, y))
    ref = file_texts(path)
    for t in sorted(set(ref) | set(shown)):
        a, b = ref.count(t), shown.count(t)
        if a > b:
            found.append("screen lacks %r" % t)
        elif b > a:
            found.append("screen only %r" % t)
    return found


# --------------------------------------------------------------- the views

def a4(path):
    doc = ezdxf.readfile(path)
    lo, hi = doc.header.get("$LIMMIN"), doc.header.get("$LIMMAX")
    if lo is None or hi is None:
        return (297, 210)
    limits = (lo[0], lo[1], hi[0], hi[1])
    return min(((297, 210), (210, 297)), key=lambda page: text_overlap.fit_scale(limits, page))


def view_findings(path):
    """Limits that reach past the drawing by more than a tenth of its larger
    side."""
    doc = ezdxf.readfile(path)
    lo, hi = doc.header.get("$LIMMIN"), doc.header.get("$LIMMAX")
    xs, ys = [], []
    for e in text_overlap.flat_entities(doc.modelspace()):
        if e.dxftype() in ("TEXT", "ATTRIB"):
            pts = text_overlap.box(e, cells=True) or []
        else:
            pts = [p for shape in text_overlap.shapes_of(e) for p in shape]
        xs += [p[0] for p in pts]
        ys += [p[1] for p in pts]
    if not xs or lo is None or hi is None:
        return []
    w, h = max(xs) - min(xs), max(ys) - min(ys)
    room = 0.1 * max(w, h)
    over = [min(xs) - lo[0], min(ys) - lo[1], hi[0] - max(xs), hi[1] - max(ys)]
    if max(over) > room + 1e-6:
        return ["limits (%.1f, %.1f)-(%.1f, %.1f) around a drawing of (%.1f, %.1f)-(%.1f, %.1f)" % (
            lo[0], lo[1], hi[0], hi[1], min(xs), min(ys), max(xs), max(ys))]
    return []


# --------------------------------------------------------------- one spring

READFILE = ezdxf.readfile
FLAT = text_overlap.flat_entities
_read, _flat = {}, {}


def read_once(path, *args, **kwargs):
    """ezdxf.readfile for the checks of one sheet: the file read once (by
    the strict check first, whose audit finds what it would change)."""
    key = os.path.abspath(path)
    if key not in _read:
        _read.clear()
        _flat.clear()
        _read[key] = READFILE(path, *args, **kwargs)
    return _read[key]


def flat_once(layout):
    """The entities of a layout, inserts expanded, worked out once."""
    if not hasattr(layout, "doc"):
        return FLAT(layout)  # the entities of an insert
    key = id(layout.doc), layout.name
    if key not in _flat:
        _flat[key] = list(FLAT(layout))
    return iter(_flat[key])


ezdxf.readfile = read_once
text_overlap.flat_entities = point_labels.flat_entities = flat_once


LARGE = 16e6  # bytes of a sheet the checks read at most


def check_spring(job):
    folder, facts = job
    dxfcheck = load_dxfcheck()
    stem = facts["stem"]
    expected = cases(facts)
    found, sheets, screens = [], 0, 0
    # The printout the writer wrote beside the spring: the values the
    # sheets' numbers are judged by, as well as the spring's own.
    txt = os.path.join(folder, stem + ".txt")
    printout = sheet_values.printout_values(txt) if os.path.exists(txt) else None
    if not printout:
        found.append("%s: no printout" % stem)
    for name in sorted(os.listdir(folder)):
        if not name.startswith(stem + "_") or not name.endswith(".dxf"):
            continue
        sheet = name[len(stem) + 1:-4]
        path = os.path.join(folder, name)
        if os.path.getsize(path) > LARGE:
            # Thousands of coils drawn one by one: read whole, the file
            # would take gigabytes; only named.
            print("%s_%s: %.0f MB, not judged" % (stem, sheet, os.path.getsize(path) / 1e6), flush=True)
            continue
        sheets += 1
        here = []
        try:
            if dxfcheck is not None:
                here += dxfcheck.check_file(path)
            if sheet in VIEWS:
                # Printed on A4 either way round: the way that prints it
                # smaller. A view has no leaders (its lines from circle to
                # circle are coils).
                here += [f for f in text_overlap.findings(path, frame=True, printed=True, page=a4(path))
                         if not f.startswith("leader ")]
                here += view_findings(path)
            elif sheet == "cad17":
                here += text_overlap.findings(path, lines_only=True, frame=True)
            else:
                here += text_overlap.findings(path, frame=True, printed=True, gaps=True)
            if sheet in expected:
                here += value_findings(path, expected[sheet])
            if sheet == "cad3":
                here += region_findings(path, facts)
            if sheet in ("cad2", "m2"):
                here += legend_findings(path)
            if sheet in CURVE_PLOTS:
                here += curve_label_findings(path, CURVE_PLOTS[sheet])
            here += sheet_values.findings(path, facts, printout)
            here += ["%r cut short" % t for t in file_texts(path) if t.endswith("...")]
            scr = os.path.join(folder, name[:-4] + ".scr")
            if os.path.exists(scr):
                screens += 1
                here += screen_findings(path, scr)
        except (IOError, ezdxf.DXFError) as exc:
            here.append("does not read: %s" % exc)
        found += ["%s_%s: %s" % (stem, sheet, f) for f in dict.fromkeys(here)]
    return stem, sheets, screens, found


CHUNK = 8  # springs a writer draws at a time


def run_chunk(job):
    """Draws springs first .. first + n - 1 (and the known ones with the
    first chunk) and checks them; the files go unless kept."""
    writer, root, env, seed, first, n, keep = job
    folder = os.path.join(root, "chunk%d" % first)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "writer.log"), "w") as log:
        rc = subprocess.run([writer, folder, str(seed), str(first), str(n)], stdout=log, stderr=subprocess.STDOUT,
                            env=env).returncode
    springs = []
    if os.path.exists(os.path.join(folder, "springs.jsonl")):
        with open(os.path.join(folder, "springs.jsonl")) as f:
            springs = [json.loads(line) for line in f if line.strip()]
    drawn = [s for s in springs if not s.get("refused")]
    results = [check_spring((folder, s)) for s in drawn]
    # The spring files of judged findings, where asked for.
    found = os.environ.get("ZEB1_SHEET_FOUND")
    for stem, _, _, fs in results:
        if found and any(not any(rx.search(f) for _, rx in ALLOWED) for f in fs):
            os.makedirs(found, exist_ok=True)
            shutil.copy(os.path.join(folder, stem + ".zeb"), os.path.join(found, stem + ".zeb"))
    if not keep:
        shutil.rmtree(folder, ignore_errors=True)
    return (rc, first, n), len(drawn), len(springs) - len(drawn), results


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip())
        return 2
    writer = os.path.abspath(argv[1])
    count = int(argv[2]) if len(argv) > 2 else int(os.environ.get("ZEB1_SHEET_SPRINGS", "200"))
    seed = int(os.environ.get("ZEB1_SHEET_SEED") or random.SystemRandom().randrange(1, 2 ** 48))
    jobs = max(1, int(os.environ.get("ZEB1_SHEET_JOBS") or os.cpu_count() or 2))
    print("spring sheets: seed %d (ZEB1_SHEET_SEED=%d repeats this run), %d springs, %d jobs" % (
        seed, seed, count, jobs), flush=True)
    keep = os.environ.get("ZEB1_SHEET_KEEP")
    root = os.path.abspath(keep) if keep else tempfile.mkdtemp(prefix="spring-sheets-")
    os.makedirs(root, exist_ok=True)
    env = dict(os.environ)
    env.update({"XDG_CONFIG_HOME": os.path.join(root, "xdg"), "TMPDIR": os.path.join(root, "tmp"),
                "QT_QPA_PLATFORM": "offscreen"})
    os.makedirs(env["XDG_CONFIG_HOME"], exist_ok=True)
    os.makedirs(env["TMPDIR"], exist_ok=True)
    started = time.monotonic()
    try:
        chunks = [(writer, root, env, seed, first, min(CHUNK, count - first), keep)
                  for first in range(0, max(count, 1), CHUNK)]
        drawn = refused = sheets = screens = 0
        judged, allowed, failed = [], {}, []
        with multiprocessing.Pool(jobs) as pool:
            for (rc, first, n), n_drawn, n_refused, results in pool.imap_unordered(run_chunk, chunks):
                if rc != 0:
                    failed.append((rc, first, n))
                drawn += n_drawn
                refused += n_refused
                for _, n_sheets, n_screens, found in results:
                    sheets += n_sheets
                    screens += n_screens
                    for f in found:
                        cls = next((name for name, rx in ALLOWED if rx.search(f)), None)
                        if cls is None:
                            judged.append(f)
                        else:
                            allowed.setdefault(cls, []).append(f)
        print("%d springs drawn (%d found no spring the calculation takes), %d sheets, %d screens, in %.0f s" % (
            drawn, refused, sheets, screens, time.monotonic() - started))
        for rc, first, n in sorted(failed, key=lambda f: f[1]):
            print("a writer ended with %d drawing springs %d to %d%s (ZEB1_SHEET_SEED=%d)" % (
                rc, first, first + n - 1, " and the kept ones" if first == 0 else "", seed))
        for cls, fs in allowed.items():
            print("allowed, %s: %d findings, for example" % (cls, len(fs)))
            for f in sorted(fs)[:5]:
                print("  " + f)
        for f in sorted(judged):
            print(f)
        if judged:
            print("%d findings (seed %d; ZEB1_SHEET_KEEP=DIR keeps the springs, DIR/chunk*/s<i>.zeb)" % (
                len(judged), seed))
        return 1 if judged or refused or failed or not drawn else 0
    finally:
        if not keep:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
