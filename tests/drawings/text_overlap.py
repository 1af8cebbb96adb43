#!/usr/bin/python3
"""Finds texts that lie over one another in DXF files.

Each TEXT (also inside block inserts, expanded with their position, scale
and rotation) gets the box a text of its style covers: from its insertion
point, as wide as its visible characters times height times width factor,
as tall as its height, turned by its rotation. Leading blanks move the box,
trailing blanks add nothing. Two boxes that share more than a hair are
reported as one line "file: 'text a' (x, y) over 'text b' (x, y)"; the exit
status is 1 when any file has such a pair, 2 when a file does not read.

    text_overlap.py FILE.dxf ...
"""
import math
import sys

import ezdxf

HAIR = 0.05  # drawing units two boxes may share (rounding of the writer)


def text_entities(layout):
    for e in layout:
        t = e.dxftype()
        if t == "TEXT":
            yield e
        elif t == "INSERT":
            yield from text_entities(e.virtual_entities())


def box(e):
    """Corners of the text's box, or None for a text with nothing visible."""
    s = e.dxf.text
    lead = len(s) - len(s.lstrip(" "))
    visible = len(s.strip(" "))
    if visible == 0:
        return None
    h = e.dxf.height
    wf = e.dxf.get("width", 1.0) or 1.0
    cw = h * wf
    x0, y0 = e.dxf.insert.x, e.dxf.insert.y
    halign = e.dxf.get("halign", 0)
    full = len(s.rstrip(" ")) * cw
    if halign in (1, 2, 4) and e.dxf.hasattr("align_point"):
        ax = e.dxf.align_point.x
        x0 = ax - (full / 2 if halign in (1, 4) else full)
        y0 = e.dxf.align_point.y
    a = math.radians(e.dxf.get("rotation", 0.0))
    c, sn = math.cos(a), math.sin(a)
    u0, u1 = lead * cw, lead * cw + visible * cw
    pts = [(u0, 0.0), (u1, 0.0), (u1, h), (u0, h)]
    return [(x0 + u * c - v * sn, y0 + u * sn + v * c) for u, v in pts]


def separated(p, q):
    """Separating-axis test of two convex quadrilaterals, shrunk by HAIR."""
    for poly in (p, q):
        for i in range(4):
            (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % 4]
            nx, ny = y1 - y2, x2 - x1
            n = math.hypot(nx, ny)
            if n == 0:
                continue
            nx, ny = nx / n, ny / n
            pa = [x * nx + y * ny for x, y in p]
            qa = [x * nx + y * ny for x, y in q]
            if min(pa) >= max(qa) - HAIR or min(qa) >= max(pa) - HAIR:
                return True
    return False


def overlaps(path):
    doc = ezdxf.readfile(path)
    items = []
    for e in text_entities(doc.modelspace()):
        b = box(e)
        if b is not None:
            items.append((e.dxf.text.strip(), b))
    found = []
    for i in range(len(items)):
        for j in range(i + 1, len(items)):
            (ta, pa), (tb, pb) = items[i], items[j]
            if not separated(pa, pb):
                found.append("%s: %r (%.2f, %.2f) over %r (%.2f, %.2f)" % (
                    path, ta, pa[0][0], pa[0][1], tb, pb[0][0], pb[0][1]))
    return found


def main(paths):
    status = 0
    for p in paths:
        try:
            found = overlaps(p)
        except (IOError, ezdxf.DXFError) as exc:
            print("%s: does not read: %s" % (p, exc))
            return 2
        for line in found:
            print(line)
        if found:
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
