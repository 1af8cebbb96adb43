#!/usr/bin/python3
"""Checks the labels of points and lines on diagram sheets in DXF files.

Reads a JSON list of sheets written by the C++ test; each names its DXF
file, the plot rectangle on the sheet [x0, y0, width, height] and what is
labelled there in world units:
  "points": [{"text": ..., "x": ..., "y": ...}]   a point and its label
  "lines":  [{"text": ..., "line": [[x, y], ...]}]  a line and its label
  "present": ["W02= ", ...]                       label texts' beginnings
  "regions": [{"text": ..., "region": [[x, y], ...]}]  a region (its
                                                  corners) and its label
The world range of the plot is read from its tick numbers (the numbers
below the plot give x from the first to the last tick, those left of it
y): the frame labels every tick from the lower limit through the upper.

A point label stands within 1.3 text heights of its point and no nearer
to another point of the sheet, or a leader runs from the point's mark
(the circle about it, if any) to within a quarter height of the label;
no leader from another point's mark ends at it. A line label stands
within 1.3 heights of its line or has a leader from the line. A region
label's ink lies wholly inside its region (no edge of it through the
label), or a leader runs to it from a point well inside the region. Boxes are
the cells of text_overlap.py (inserts expanded). Prints one line per finding;
exit 1 on any, 2 when a file does not read.

    point_labels.py CASES.json
"""
import json
import math
import os
import sys

import ezdxf

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from text_overlap import box as text_box, flat_entities, point_segment, separated  # noqa: E402

TOL = 0.1  # drawing units


def number(text):
    try:
        v = float(text.strip())
    except ValueError:
        return None
    return v if math.isfinite(v) else None


def aabb(corners):
    xs = [p[0] for p in corners]
    ys = [p[1] for p in corners]
    return min(xs), min(ys), max(xs), max(ys)


def point_box(px, py, b):
    return math.hypot(max(b[0] - px, 0, px - b[2]), max(b[1] - py, 0, py - b[3]))


def segment_box(a, b, bx):
    """Distance of a segment from a box (0 where it enters it)."""
    n = 32
    d = min(point_box(a[0] + (b[0] - a[0]) * k / n, a[1] + (b[1] - a[1]) * k / n, bx) for k in range(n + 1))
    corners = [(bx[0], bx[1]), (bx[2], bx[1]), (bx[2], bx[3]), (bx[0], bx[3])]
    return min([d] + [point_segment(c[0], c[1], a, b) for c in corners])


def inside(poly, x, y):
    """Whether (x, y) lies inside the polygon (even-odd)."""
    n, found = len(poly), False
    for k in range(n):
        (ax, ay), (bx, by) = poly[k], poly[(k + 1) % n]
        if (ay > y) != (by > y) and x < ax + (y - ay) / (by - ay) * (bx - ax):
            found = not found
    return found


def on_mark(p, cx, cy, r):
    """Whether p lies on the mark of radius r about (cx, cy), where a
    leader starts (at the point itself for a point without a mark)."""
    return abs(math.hypot(p[0] - cx, p[1] - cy) - r) <= (min(TOL, r / 2) if r > 0 else TOL)


class Sheet:
    def __init__(self, path):
        doc = ezdxf.readfile(path)
        self.texts, self.lines, self.circles = [], [], []
        for e in flat_entities(doc.modelspace()):
            t = e.dxftype()
            if t in ("TEXT", "ATTRIB"):
                b = text_box(e, cells=True)
                if b is not None:
                    self.texts.append((e.dxf.text, aabb(b), e.dxf.height, e.dxf.insert, text_box(e)))
            elif t == "LINE":
                s, f = e.dxf.start, e.dxf.end
                self.lines.append(((s.x, s.y), (f.x, f.y)))
            elif t == "CIRCLE":
                self.circles.append((e.dxf.center.x, e.dxf.center.y, e.dxf.radius))

    def frame(self, plot):
        """World limits of the plot read from its tick numbers, or None."""
        x0, y0, w, h = plot
        xs, ys = [], []
        for text, _, _, ins, _ in self.texts:
            v = number(text)
            if v is None:
                continue
            if x0 - 0.1 * w <= ins.x <= x0 + w and y0 - 0.12 * h <= ins.y <= y0 - 0.03 * h:
                xs.append((v, ins.x))
            elif x0 - 0.15 * w <= ins.x <= x0 - 0.05 * w and y0 - 0.05 * h <= ins.y <= y0 + h:
                ys.append((v, ins.y))
        if len(xs) < 2 or len(ys) < 2:
            return None
        lo, hi = min(v for v, _ in xs), max(v for v, _ in xs)
        ylo, yhi = min(v for v, _ in ys), max(v for v, _ in ys)
        if hi <= lo or yhi <= ylo:
            return None
        return lo, hi, ylo, yhi

    def mark_radius(self, px, py):
        r = [c[2] for c in self.circles if math.hypot(c[0] - px, c[1] - py) <= 0.05]
        return max(r) if r else 0.0

    def find(self, text, px, py):
        """The label of that text nearest to the point, or None."""
        found = [t for t in self.texts if t[0].strip() == text.strip()]
        return min(found, key=lambda t: point_box(px, py, t[1])) if found else None

    def leaders_to(self, b, h):
        """Lines with an end within a quarter height (and the tolerance) of
        the box: (that end, the other end)."""
        out = []
        for a, c in self.lines:
            for near, far in ((a, c), (c, a)):
                if point_box(near[0], near[1], b) <= 0.25 * h + TOL and math.hypot(near[0] - far[0], near[1] - far[1]) > TOL:
                    out.append((near, far))
        return out


def check(case):
    found = []
    path = case["file"]
    try:
        sheet = Sheet(path)
    except (IOError, ezdxf.DXFError) as exc:
        return ["%s: does not read: %s" % (path, exc)], 2
    x0, y0, w, h = case["plot"]
    limits = None
    if case.get("points") or case.get("lines") or case.get("regions"):
        limits = sheet.frame(case["plot"])
        if limits is None:
            return ["%s: the plot's tick numbers do not read" % path], 1
        lo, hi, ylo, yhi = limits

    def to_sheet(x, y):
        return x0 + (x - lo) / (hi - lo) * w, y0 + (y - ylo) / (yhi - ylo) * h

    points = []
    for p in case.get("points", []):
        px, py = to_sheet(p["x"], p["y"])
        points.append((p["text"], px, py, sheet.mark_radius(px, py)))
    for text, px, py, r in points:
        label = sheet.find(text, px, py)
        if label is None:
            found.append("%s: %r is missing" % (path, text))
            continue
        _, b, th, *_ = label
        d = point_box(px, py, b)
        if d <= 1.3 * th + TOL:
            for other, qx, qy, _ in points:
                if other != text and (abs(qx - px) > 1e-6 or abs(qy - py) > 1e-6) and point_box(qx, qy, b) < d - 0.05:
                    found.append("%s: %r at (%.2f, %.2f) stands nearer to %r's point" % (path, text, b[0], b[1], other))
        elif not any(on_mark(far, px, py, r) for _, far in sheet.leaders_to(b, th)):
            found.append("%s: %r at (%.2f, %.2f) is %.2f from its point (%.2f, %.2f) with no leader to it"
                         % (path, text, b[0], b[1], d, px, py))
        for _, far in sheet.leaders_to(b, th):
            for other, qx, qy, qr in points:
                if other == text or qr <= 0 or math.hypot(qx - px, qy - py) <= qr + r:
                    continue
                if on_mark(far, qx, qy, qr):
                    found.append("%s: a leader from %r's point ends at %r" % (path, other, text))
    for item in case.get("lines", []):
        text = item["text"]
        pts = [to_sheet(x, y) for x, y in item["line"]]
        segs = [(pts[k], pts[k + 1]) for k in range(len(pts) - 1)] or [(pts[0], pts[0])]
        label = sheet.find(text, pts[0][0], pts[0][1])
        if label is None:
            found.append("%s: %r is missing" % (path, text))
            continue
        _, b, th, *_ = label
        d = min(segment_box(a, c, b) for a, c in segs)
        if d <= 1.3 * th + TOL:
            continue
        if not any(min(point_segment(far[0], far[1], a, c) for a, c in segs) <= TOL for _, far in sheet.leaders_to(b, th)):
            found.append("%s: %r at (%.2f, %.2f) is %.2f from its line with no leader to it" % (path, text, b[0], b[1], d))
    for item in case.get("regions", []):
        text = item["text"]
        poly = [to_sheet(x, y) for x, y in item["region"]]
        label = sheet.find(text, *poly[0])
        if label is None:
            found.append("%s: %r is missing" % (path, text))
            continue
        _, b, th, _, ink = label
        edges = [[poly[k], poly[(k + 1) % len(poly)]] for k in range(len(poly))]
        if all(inside(poly, x, y) for x, y in ink) and all(separated(ink, e) for e in edges):
            continue
        # A leader starts well inside the region (not on its edge, where
        # the lines that bound it end).
        if not any(inside(poly, *far) and min(point_segment(far[0], far[1], a, c) for a, c in edges) > 0.1
                   for _, far in sheet.leaders_to(b, th)):
            found.append("%s: %r at (%.2f, %.2f) stands outside its region" % (path, text, ink[0][0], ink[0][1]))
    for prefix in case.get("present", []):
        if not any(t[0].startswith(prefix) for t in sheet.texts):
            found.append("%s: no label %r" % (path, prefix))
    return found, 1 if found else 0


def main(args):
    with open(args[0], encoding="utf-8") as f:
        cases = json.load(f)
    status = 0
    for case in cases:
        found, s = check(case)
        for line in found:
            print(line)
        status = max(status, s)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
