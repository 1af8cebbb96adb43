#!/usr/bin/python3
"""Independent check of diagram curves in DXF and TXT files.

Reads a JSON case list (written by the C++ test): each case names a
diagram code, its DXF and TXT files, the spring and material values and
the unit system. The curve points are recomputed here from the diagram
formulas, the frame limits rebuilt by the axis division rule (6 divisions)
in display units and scaled back to base units, and each point inside the
frame is looked for among the LINE end points of its layer in the DXF
(within 1e-3 mm) and among the LINE end points of the TXT listing (within
half a unit of the number's last digit); a point under a text, where the
curve is broken for it, is left out. Prints one line per problem; exit 1
on any problem.
"""
import json
import math
import sys

import os

import ezdxf

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from text_overlap import box as text_box  # noqa: E402

# Display value of one base unit in the English system, as the program's
# unit system defines it (psi per N/mm² is 145.037 there).
EN = {"length": 1 / 25.4, "force": 0.2248090247334889, "stress": 145.037,
      "moment": 0.008850749005255469, "rate": 5.7101492}


def floor_ext(x):
    t = math.trunc(x)
    return t - 1 if x < 0 else t


def decade_exponent(x):
    return 0 if x == 0 else floor_ext(math.log10(abs(x)))


def nice(mn, mx, n=6):
    if abs(mn - mx) < 1e-5:
        mn -= 1
        mx += 1
    mx -= (mx - mn) * 1e-5
    raw = (mx - mn) / n
    e = decade_exponent(raw)
    r = raw / 10 ** e
    m = 1 if r < 1.5 else 2 if r < 3 else 5 if r < 8 else 10
    step = m * 10 ** e
    return floor_ext(mn / step) * step, (floor_ext(mx / step) + 1) * step


class Frame:
    """Plot rectangle and world limits in base units."""

    def __init__(self, plot, xr, yr, xunit, yunit, english):
        self.w, self.h, self.x0, self.y0 = plot
        fx = EN[xunit] if english and xunit in EN else 1
        fy = EN[yunit] if english and yunit in EN else 1
        lo, hi = nice(xr[0] * fx, xr[1] * fx)
        self.xlo, self.xhi = lo / fx, hi / fx
        lo, hi = nice(yr[0] * fy, yr[1] * fy)
        self.ylo, self.yhi = lo / fy, hi / fy

    def inside(self, x, y):
        ex = 1e-9 * (self.xhi - self.xlo)
        ey = 1e-9 * (self.yhi - self.ylo)
        return self.xlo + ex < x < self.xhi - ex and self.ylo + ey < y < self.yhi - ey

    def map(self, x, y):
        return (self.x0 + (x - self.xlo) / (self.xhi - self.xlo) * self.w,
                self.y0 + (y - self.ylo) / (self.yhi - self.ylo) * self.h)


def sample(start, end, step, inclusive=False):
    """start, start + step, ... up to the first value at or above end."""
    out = [start]
    v = start
    while len(out) < 100001:
        v += step
        out.append(v)
        if (v > end) if inclusive else (v >= end):
            break
    return out


def rm_of_d(m, d):
    rm = m["Rm0"] - m["RmSlope"] * math.log10(d / m["DR0"])
    return min(rm, m["RmMax"]) if m["RmMax"] > 1 else rm


def shear_at(G, T):
    return G * (3620 - T) / 3600


def curves(c):
    """(frame, [(layer, [(x, y), ...]), ...]) of one case."""
    s, m, en = c["spring"], c.get("material", {}), c["english"]
    code = c["code"]
    travel = (95, 95, 12, 10)
    if code in (2, 9, 22):
        f = Frame(travel, (0, s["sc"]), (0, s["Fc"]), "length", "force", en)
        return f, [("5", [(0, 0), (s["sc"], s["Fc"])])]
    if code == 21:
        f = Frame(travel, (0, s["L0"]), (0, s["Fc"]), "length", "force", en)
        return f, [("5", [(s["L0"], 0), (s["Lc"], s["Fc"])])]
    if code == 3:
        g = s["G"] / s["E"]
        A = 0.5 / (1 - g)
        B = math.pi ** 2 * (1 - g) / (0.5 + g)
        x0 = math.sqrt(B)
        pts = [(x0, 1.0)] + [(x, A * (1 - math.sqrt(max(0.0, 1 - B / x ** 2)))) for x in sample(x0, 10, 0.03)]
        f = Frame(travel, (0, max(10, s["nue"] * s["L0"] / s["Dm"])), (0, 1), "", "", False)
        return f, [("5", pts)]
    if code == 4:
        k = lambda x: 1 + 1.25 / x + 0.875 / x ** 2 + 1 / x ** 3
        f = Frame(travel, (0, max(18, s["w"])), (1.0, 1.6), "", "", False)
        return f, [("5", [(x, k(x)) for x in sample(2.5, 20, 1 / 15)])]
    temp = (95, 90, 12, 15)
    if code in (5, 7, 8):
        if code == 5:
            val = lambda T: shear_at(s["G"], T)
            unit = "stress"
        else:
            sv = s["s1"] if code == 7 else s["s2"]
            val = lambda T: shear_at(s["G"], T) * s["d"] ** 4 / (8 * s["Dm"] ** 3 * s["n"]) * sv
            unit = "force"
        lo = min(s["T1"], -50)
        f = Frame(temp, (lo, 250), (val(max(s["T2"], 250)), val(lo)), "", unit, en)
        return f, [("5", [(T, val(T)) for T in sample(-50, 250, 1)])]
    if code == 6:
        dmax = m["dmax"]
        q = (20 * dmax) ** 0.01
        ds = [0.1]
        while ds[-1] < dmax:
            ds.append(ds[-1] * q)
        f = Frame(temp, (0.05, 1.1 * dmax), (0, 3500), "length", "stress", en)
        return f, [("5", [(d, 0.56 * rm_of_d(m, d)) for d in ds] + [(d, rm_of_d(m, d)) for d in ds])]
    if code == 10:
        fz, f0 = s["f"], s["f0"]

        def y(fr):
            if f0 == 0:
                return 0
            if fr == f0:
                return 1e32
            return abs(1 / (1 - (fr / f0) ** 2))
        f = Frame((125, 90, 18, 10), (0.2 * fz, 5 * fz), (0, 5), "", "", False)
        return f, [("21", [(fr, y(fr)) for fr in sample(0, f.xhi, 5 * fz / 300)])]
    relax = (100, 90, 15, 10)
    if code == 18:
        tau, rx = c["relax"]["tau"], c["relax"]["rx"]
        f = Frame(relax, (0, max(tau[1], 1200)), (0, max(rx[1], 20)), "stress", "", en)
        out = []
        for k, layer in enumerate(("18", "19", "20", "21")):
            x0, y0, x1, y1 = tau[2 * k], rx[2 * k], tau[2 * k + 1], rx[2 * k + 1]
            if min(x0, y0, x1, y1) <= 0 or x0 == x1:
                continue
            e = math.log(y1 / y0) / math.log(x1 / x0)
            K = y0 / x0 ** e
            out.append((layer, [(x, K * x ** e) for x in sample(x0, x1, 0.01 * (x1 - x0))]))
        return f, out
    if code == 19:
        f = Frame(relax, (0, 60), (0, 100), "", "", False)
        return f, [("18", [(t, 100 * (1 - (t + 1) ** -0.55)) for t in sample(0, 60, 0.25, True)])]
    if code == 20:
        F2, Rx = s["F2"], s["F2Relax"]
        f = Frame(relax, (0, 60), (0, F2), "", "force", en)
        pts = [(t, F2 * (1 - (1 - (t + 1) ** -0.55) * Rx / 88)) for t in sample(0, 60, 0.1, True)]
        return f, [("18", pts)]
    # The work and stress diagrams leave a twentieth of their range above
    # their highest point for its label.
    if code == 25:
        f = Frame(travel, (0, s["sc"]), (0, 1.05 * s["W0c"]), "length", "moment", en)
        # The last step may pass sc in one precision and not in the other.
        return f, [("5", [(x, s["R"] * x * x / 2) for x in sample(0, s["sc"], s["sc"] / 300)
                          if x <= s["sc"] * (1 + 1e-9)])]
    if code == 29:
        f = Frame(travel, (0, s["sc"]), (0, 1.05 * max(s["tauzul"], s["tauk2"], s["tauc"])), "length", "stress", en)
        pts = [(0, 0), (s["s1"], s["tau1"]), (s["s1"], s["tauk1"]), (s["s2"], s["tauk2"]),
               (s["s2"], s["tau2"]), (s["sc"], s["tauc"])]
        return f, [("5", pts)]
    if code in ("goodman", "haigh"):
        L = math.log10(s["d"] / m["d0"])
        oz = m["tauo0"] - L * m["tauoSlope"]
        o0 = m["tauh0"] - L * m["tauhSlope"]
        sl = m["slope"]
        uK = (oz - o0) / sl
        t6 = min(oz, 1.25 * o0)
        u6 = (oz - t6) / sl
        t5 = min(oz, 1.5 * o0)
        u5 = (oz - t5) / sl
        S = max(oz, 1200)
        f = Frame((90, 85, 15, 20), (0, S), (0, S), "stress", "stress", en)
        Y = (lambda x, y: y - x) if code == "haigh" else (lambda x, y: y)
        return f, [("18", [(0, o0), (uK, Y(uK, oz))] + ([(oz, Y(oz, oz))] if code == "goodman" else [])),
                   ("21", [(0, t6), (u6, Y(u6, oz))]), ("29", [(0, t5), (u5, Y(u5, oz))])]
    raise SystemExit("unknown code %r" % code)


def under_texts(doc):
    """A test whether a sheet point lies under a text, where the program
    breaks the lines that cross it: the text's box widened by a third of
    its height."""
    boxes = []
    for e in doc.modelspace().query("TEXT"):
        b = text_box(e, cells=True)
        if b is not None:
            boxes.append((b, e.dxf.height / 3))

    def under(x, y):
        for (p0, p1, _, p3), g in boxes:
            ux, uy, vx, vy = p1[0] - p0[0], p1[1] - p0[1], p3[0] - p0[0], p3[1] - p0[1]
            lu, lv = math.hypot(ux, uy), math.hypot(vx, vy)
            u = ((x - p0[0]) * ux + (y - p0[1]) * uy) / lu
            v = ((x - p0[0]) * vx + (y - p0[1]) * vy) / lv
            if -g <= u <= lu + g and -g <= v <= lv + g:
                return True
        return False
    return under


def dxf_points(path, layer5):
    doc = ezdxf.readfile(path)
    pts = {}
    for e in doc.modelspace().query("LINE"):
        name = e.dxf.layer
        key = "5" if name == layer5 else name
        pts.setdefault(key, []).extend([(e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y)])
    return pts, under_texts(doc)


def txt_points(path):
    """LINE end points with the tolerance of their written digits."""
    out = []
    with open(path, encoding="latin-1") as fh:
        for line in fh:
            f = line.rstrip("\r\n").split("\t")
            if f[0] != "LINE" or len(f) < 5:
                continue
            vals = []
            for t in f[1:5]:
                t = t.replace(",", ".")
                dec = len(t.split(".")[1]) if "." in t else 0
                vals.append((float(t), 0.5 * 10 ** -dec + 1e-9))
            out += [(vals[0], vals[1]), (vals[2], vals[3])]
    return out


def check(c, problems):
    frame, groups = curves(c)
    dxf, under = dxf_points(c["dxf"], c["layer5"])
    txt = txt_points(c["txt"]) if c.get("txt") else None
    found = 0
    for layer, pts in groups:
        have = dxf.get(layer, [])
        for x, y in pts:
            if not frame.inside(x, y):
                continue
            px, py = frame.map(x, y)
            if under(px, py):
                continue  # the curve is broken for a text there
            if not any(abs(px - a) <= 1e-3 and abs(py - b) <= 1e-3 for a, b in have):
                problems.append("%s: no vertex on layer %s at (%.4f, %.4f) for (%g, %g)" %
                                (c["name"], layer, px, py, x, y))
                continue
            found += 1
            if txt is not None and not any(abs(px - a[0]) <= a[1] and abs(py - b[0]) <= b[1] for a, b in txt):
                problems.append("%s: TXT lacks (%.4f, %.4f)" % (c["name"], px, py))
    need = c.get("min", 5)
    if found < need:
        problems.append("%s: %d curve vertices found, %d wanted" % (c["name"], found, need))
    return found


def main():
    cases = json.load(open(sys.argv[1]))
    problems = []
    for c in cases:
        n = check(c, problems)
        print("%s: %d vertices" % (c["name"], n))
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
