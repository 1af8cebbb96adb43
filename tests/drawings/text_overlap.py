#!/usr/bin/python3
"""Finds texts that lie over one another, or over a line, in DXF files.

Each TEXT (also inside block inserts, expanded with their position, scale
and rotation) gets the box its ink covers: from its insertion point, each
character as wide as its advance in a Helvetica-metric face (the screen's
Arial stretched until an average character is height times width factor
wide, the widest ones wider), as tall as its height, turned by its
rotation. Leading blanks move the box as far as the face draws them
(as narrow as inner ones), trailing blanks add nothing. Two boxes that share more than a hair are
reported as one line "file: 'text a' (x, y) over 'text b' (x, y)".

Lines are every LINE, POLYLINE, CIRCLE and ARC (arcs as short chords) and
every filled SOLID (an arrow head), inserts expanded, grid lines and
dimension lines as well. A line that runs through the inner box of a text
(ATTRIB as well) is reported as
"file: 'text' (x, y) on line (x1, y1)-(x2, y2)" (or "on solid"); the inner
box leaves out 15 % of the height at the top and at the bottom and 7.5 % of
the width at each end, the room a glyph leaves free.

    text_overlap.py [--lines] [--frame] [--print [--fit W,H]] [--gaps] [--whole X1,Y1,X2,Y2 ...]
                    [--allow REGEX ...] FILE.dxf ...

A finding that REGEX finds (re.search on the text after "file: ") is
left out. With --lines only texts on lines are reported. With --frame
every text box and every line must also lie inside the sheet the header
names ($LIMMIN to $LIMMAX): "file: 'text' (x, y) off the sheet" or
"file: line (x1, y1)-(x2, y2) off the sheet". With --print every text
must read at print size, at least 1 high with a width factor of at least
0.5 ("file: 'text' (x, y) h 0.50 w 0.30 below print size"), and no leader
(a line from a point's circle to within a quarter text height of a text's
box) may run within 0.3 of another line for its whole length ("file:
leader (x1, y1)-(x2, y2) of 'text' along (x1, y1)-(x2, y2)"). With
--fit W,H the sheet is printed filling a page W by H (a view drawn at
the spring's own size), and those sizes count on that page. With --gaps
a gap that texts break into a line (a hole between two pieces of one
straight line, within the texts' cells widened by 0.3 height) may reach
no further than max(0.5, 0.3 height) past their ink ("file: gap
(x1, y1)-(x2, y2) of a line past 'text'"). With --whole the named
line must be drawn without a hole ("file: line (x1, y1)-(x2, y2) broken
at (x, y)"). The exit
status is 1 when any file has a finding, 2 when a file does not read.
"""
import math
import re
import sys

import ezdxf

HAIR = 0.05  # drawing units two shapes may share (rounding of the writer)
ARC_STEP = math.radians(10)  # chord step of circles and arcs
MIN_HEIGHT, MIN_WIDTH = 1.0, 0.5  # the smallest text that reads on paper
ALONG = 0.3  # a leader this near another line merges with it


# Helvetica advances (thousandths of an em) of " " to "~"; an em is 1.75
# cells of the text's style (Arial's average character), so that W, M and
# m take more than their cell; any other character a whole cell.
ADVANCE = [
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584]


def ink(s):
    """Width of the characters of s in cells."""
    return sum(ADVANCE[ord(ch) - 32] * 1.75 / 1000 if " " <= ch <= "~" else 1.0 for ch in s)


def flat_entities(layout):
    for e in layout:
        if e.dxftype() == "INSERT":
            yield from e.attribs
            yield from flat_entities(e.virtual_entities())
        else:
            yield e


def box(e, inner=False, widen=0.0, cells=False):
    """Corners of the text's box (its inner box), or None for a text with
    nothing visible."""
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
    width = (lambda t: max(len(t), ink(t))) if cells else ink
    start = ink(" " * lead)
    full = (start + width(s.strip(" "))) * cw
    if halign in (1, 2, 4) and e.dxf.hasattr("align_point"):
        ax = e.dxf.align_point.x
        x0 = ax - (full / 2 if halign in (1, 4) else full)
        y0 = e.dxf.align_point.y
    a = math.radians(e.dxf.get("rotation", 0.0))
    c, sn = math.cos(a), math.sin(a)
    u0, u1, v0, v1 = start * cw, full, 0.0, h
    if widen:
        u0, u1, v0, v1 = u0 - widen, u1 + widen, v0 - widen, v1 + widen
    if inner:
        u0, u1 = u0 + 0.075 * (u1 - u0), u1 - 0.075 * (u1 - u0)
        v0, v1 = 0.15 * h, 0.85 * h
    pts = [(u0, v0), (u1, v0), (u1, v1), (u0, v1)]
    return [(x0 + u * c - v * sn, y0 + u * sn + v * c) for u, v in pts]


def arc_points(cx, cy, r, start, end):
    """Points along an arc from start to end (degrees, counter-clockwise)."""
    a0 = math.radians(start)
    a1 = math.radians(end)
    while a1 <= a0:
        a1 += 2 * math.pi
    n = max(1, int(math.ceil((a1 - a0) / ARC_STEP)))
    return [(cx + r * math.cos(a0 + (a1 - a0) * k / n), cy + r * math.sin(a0 + (a1 - a0) * k / n))
            for k in range(n + 1)]


def shapes_of(e):
    """The segments (2 points) and filled polygons of a drawing entity."""
    t = e.dxftype()
    if t == "LINE":
        s, f = e.dxf.start, e.dxf.end
        return [[(s.x, s.y), (f.x, f.y)]]
    if t == "CIRCLE":
        p = arc_points(e.dxf.center.x, e.dxf.center.y, e.dxf.radius, 0.0, 360.0)
        return [[p[k], p[k + 1]] for k in range(len(p) - 1)]
    if t == "ARC":
        p = arc_points(e.dxf.center.x, e.dxf.center.y, e.dxf.radius, e.dxf.start_angle, e.dxf.end_angle)
        return [[p[k], p[k + 1]] for k in range(len(p) - 1)]
    if t in ("POLYLINE", "LWPOLYLINE"):
        out = []
        for part in e.virtual_entities():
            out.extend(shapes_of(part))
        return out
    if t == "SOLID":
        v = [e.dxf.vtx0, e.dxf.vtx1, e.dxf.vtx3 if e.dxf.hasattr("vtx3") else e.dxf.vtx2, e.dxf.vtx2]
        poly = []
        for p in v:
            if not poly or (abs(poly[-1][0] - p.x) > 1e-9 or abs(poly[-1][1] - p.y) > 1e-9):
                poly.append((p.x, p.y))
        if len(poly) > 1 and abs(poly[0][0] - poly[-1][0]) < 1e-9 and abs(poly[0][1] - poly[-1][1]) < 1e-9:
            poly.pop()
        return [poly]
    return []


def separated(p, q):
    """Separating-axis test of two convex polygons (a segment is one with
    two corners), shrunk by HAIR."""
    for poly in (p, q):
        n = len(poly)
        for i in range(n if n > 2 else 1):
            (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
            nx, ny = y1 - y2, x2 - x1
            d = math.hypot(nx, ny)
            if d == 0:
                continue
            nx, ny = nx / d, ny / d
            pa = [x * nx + y * ny for x, y in p]
            qa = [x * nx + y * ny for x, y in q]
            if min(pa) >= max(qa) - HAIR or min(qa) >= max(pa) - HAIR:
                return True
    return False


def bounds(points):
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return min(xs), min(ys), max(xs), max(ys)


class Grid:
    """Bounds (x0, y0, x1, y1) by the cells of CELL units they reach, so
    that a sheet of many lines asks only the few boxes near each."""
    CELL = 5.0

    def __init__(self, boxes):
        self.cells = {}
        for k, b in enumerate(boxes):
            for key in self.keys(b):
                self.cells.setdefault(key, []).append(k)

    def keys(self, b):
        c = self.CELL
        i0, i1 = int(math.floor(b[0] / c)), int(math.floor(b[2] / c))
        j0, j1 = int(math.floor(b[1] / c)), int(math.floor(b[3] / c))
        if (i1 - i0 + 1) * (j1 - j0 + 1) > 4096:  # a box beyond any sheet's size
            return [("all",)]
        return [(i, j) for i in range(i0, i1 + 1) for j in range(j0, j1 + 1)]

    def near(self, b):
        """The indices of the boxes that may reach into b, ascending."""
        found = set(self.cells.get(("all",), ()))
        for key in self.keys(b):
            found.update(self.cells.get(key, ()))
        return sorted(found)


def apart(a, b):
    """Whether two bounds lie apart by more than the hair shrinks them."""
    return a[0] >= b[2] - HAIR or b[0] >= a[2] - HAIR or a[1] >= b[3] - HAIR or b[1] >= a[3] - HAIR


def sheet(doc):
    """The sheet the header names, or None."""
    lo, hi = doc.header.get("$LIMMIN"), doc.header.get("$LIMMAX")
    if lo is None or hi is None:
        return None
    return (lo[0] - HAIR, lo[1] - HAIR, hi[0] + HAIR, hi[1] + HAIR)


def off_sheet(points, frame):
    x0, y0, x1, y1 = frame
    return any(not (x0 <= x <= x1 and y0 <= y <= y1) for x, y in points)


def point_segment(px, py, a, b):
    dx, dy = b[0] - a[0], b[1] - a[1]
    l2 = dx * dx + dy * dy
    t = 0 if l2 == 0 else max(0, min(1, ((px - a[0]) * dx + (py - a[1]) * dy) / l2))
    return math.hypot(a[0] + t * dx - px, a[1] + t * dy - py)


def point_box(px, py, b):
    xs, ys = [p[0] for p in b], [p[1] for p in b]
    return math.hypot(max(min(xs) - px, 0, px - max(xs)), max(min(ys) - py, 0, py - max(ys)))


def print_size(texts, leaders, segments, circles, scale=1.0):
    """Texts too small to read and leaders that run along another line or
    text, on paper where a drawing unit prints as scale."""
    found = []
    for t, b, _, h, wf, *_ in texts:
        if h * scale < MIN_HEIGHT - 0.005 or wf < MIN_WIDTH - 0.005:
            found.append("%r (%.2f, %.2f) h %.2f w %.2f below print size" % (t, b[0][0], b[0][1], h * scale, wf))
    # A leader ends by a text (within a quarter height) and starts on a
    # point's circle: only the lines with an end near a text are tried.
    reach = [bounds(b) for _, b, *_ in texts]
    grid = Grid([(x0 - 0.25 * t[3] - 0.1, y0 - 0.25 * t[3] - 0.1, x1 + 0.25 * t[3] + 0.1, y1 + 0.25 * t[3] + 0.1)
                 for (x0, y0, x1, y1), t in zip(reach, texts)])
    text_grid = Grid(reach)
    rings = Grid([(cx - r - 0.1, cy - r - 0.1, cx + r + 0.1, cy + r + 0.1) for cx, cy, r in circles])
    # A line that joins another at both ends is a piece of a curve.
    joins = {}
    for (ax, ay), (bx, by) in leaders:
        for p in ((round(ax, 2), round(ay, 2)), (round(bx, 2), round(by, 2))):
            joins[p] = joins.get(p, 0) + 1
    for seg in leaders:
        (ax, ay), (bx, by) = seg
        by_text = set(grid.near((ax, ay, ax, ay))) | set(grid.near((bx, by, bx, by)))
        if not by_text:
            continue
        if joins[(round(ax, 2), round(ay, 2))] > 1 and joins[(round(bx, 2), round(by, 2))] > 1:
            continue
        length = math.hypot(bx - ax, by - ay)
        owner = None
        # Only a line from a point's circle leads to a label.
        ends = [(near, far) for near, far in ((seg[0], seg[1]), (seg[1], seg[0]))
                if any(abs(math.hypot(far[0] - cx, far[1] - cy) - r) <= min(0.1, r / 2)
                       for cx, cy, r in (circles[i] for i in rings.near((far[0], far[1], far[0], far[1]))))]
        for i in sorted(by_text) if ends else ():
            t, b, _, h, *_ = texts[i]
            for (nx, ny), (fx, fy) in ends:
                if point_box(nx, ny, b) <= 0.25 * h + 0.1 and point_box(fx, fy, b) > 0.5 * h:
                    owner, mine = t, i
        if owner is None or length * scale < 0.5:
            continue
        n = max(2, int(length * scale / 0.1))
        pts = [(ax + (bx - ax) * k / n, ay + (by - ay) * k / n) for k in range(n + 1)]
        # Along another text: half its height of the leader or more within
        # a tenth of its height of the text's box (on its baseline, over
        # its ink).
        sb = bounds(seg)
        for i in text_grid.near((sb[0] - 1, sb[1] - 1, sb[2] + 1, sb[3] + 1)):
            t, b, _, h, *_ = texts[i]
            if i == mine or apart(reach[i], (sb[0] - 0.1 * h, sb[1] - 0.1 * h, sb[2] + 0.1 * h, sb[3] + 0.1 * h)):
                continue
            close = sum(1 for px, py in pts if point_box(px, py, b) <= 0.1 * h)
            if close * length / n >= 0.5 * h:
                found.append("leader (%.2f, %.2f)-(%.2f, %.2f) of %r along %r (%.2f, %.2f)" % (
                    ax, ay, bx, by, owner, t, b[0][0], b[0][1]))
                break
        for other in segments:
            if len(other) != 2 or other == seg or other == [seg[1], seg[0]]:
                continue
            if all(point_segment(px, py, other[0], other[1]) * scale <= ALONG for px, py in pts):
                found.append("leader (%.2f, %.2f)-(%.2f, %.2f) of %r along (%.2f, %.2f)-(%.2f, %.2f)" % (
                    ax, ay, bx, by, owner, other[0][0], other[0][1], other[1][0], other[1][1]))
                break
    return found


def straight_runs(segments, layer_of=None):
    """The pieces of each straight line, as (origin, direction, [(t0, t1)])
    with the pieces merged and sorted along it; with layer_of (id of a
    segment: its layer), the pieces of each layer apart: a line broken at a
    text keeps its layer, lines of two layers that meet on one straight are
    two lines."""
    runs = {}
    for seg in segments:
        if len(seg) != 2:
            continue
        (ax, ay), (bx, by) = seg
        length = math.hypot(bx - ax, by - ay)
        if length < 1e-6:
            continue
        dx, dy = (bx - ax) / length, (by - ay) / length
        if dx < -1e-9 or (abs(dx) <= 1e-9 and dy < 0):
            dx, dy = -dx, -dy
        offset = ax * -dy + ay * dx
        key = (layer_of.get(id(seg)) if layer_of else None, round(math.atan2(dy, dx), 4), round(offset, 2))
        ta, tb = ax * dx + ay * dy, bx * dx + by * dy
        runs.setdefault(key, (dx, dy, offset, []))[3].append((min(ta, tb), max(ta, tb)))
    out = []
    for dx, dy, offset, parts in runs.values():
        parts.sort()
        merged = [list(parts[0])]
        for t0, t1 in parts[1:]:
            if t0 <= merged[-1][1] + 0.01:  # a hole too small to see: the writer's rounding
                merged[-1][1] = max(merged[-1][1], t1)
            else:
                merged.append([t0, t1])
        out.append(((-dy * offset, dx * offset), (dx, dy), merged))
    return out


def holes(segments, layer_of=None):
    """The holes between the pieces of each straight line, as segments."""
    for (ox, oy), (dx, dy), merged in straight_runs(segments, layer_of):
        for (_, a), (b, _) in zip(merged, merged[1:]):
            yield [(ox + a * dx, oy + a * dy), (ox + b * dx, oy + b * dy)]


def corner(end, hole, drawn, lines):
    """Whether a drawn segment across the hole's direction ends at the end."""
    (ax, ay), (bx, by) = hole
    hl = math.hypot(bx - ax, by - ay)
    x, y = end
    for i in lines.near((x - 0.01, y - 0.01, x + 0.01, y + 0.01)):
        (cx, cy), (dx, dy) = drawn[i]
        sl = math.hypot(dx - cx, dy - cy)
        if sl < 1e-6 or abs((bx - ax) * (dy - cy) - (by - ay) * (dx - cx)) < 0.1 * hl * sl:
            continue
        if min(math.hypot(cx - x, cy - y), math.hypot(dx - x, dy - y)) < 0.01:
            return True
    return False


def gaps_past_ink(texts, segments, layer_of=None):
    """Holes that texts break into lines (every point of the hole within a
    text's cell box and its gap) that reach further past their ink than a
    text's gap; a stretch between two texts may go as well when shorter
    than 0.8 text heights (too short a piece to keep)."""
    found = []
    cells = [bounds(t[7]) for t in texts]
    grid = Grid(cells)
    drawn = [s for s in segments if len(s) == 2]
    lines = Grid([bounds(s) for s in drawn])
    for hole in holes(segments, layer_of):
        hb = bounds(hole)
        # A hole that a segment draws after all (the chords of a flat curve
        # taken for one straight line a hair apart) is none.
        mx, my = (hole[0][0] + hole[1][0]) / 2, (hole[0][1] + hole[1][1]) / 2
        if any(point_segment(mx, my, drawn[i][0], drawn[i][1]) < 0.02 for i in lines.near((mx, my, mx, my))):
            continue
        # A hole whose two ends are corners, where lines across it end (the
        # steps of two stairs one above the other), is where lines turn.
        if all(corner(end, hole, drawn, lines) for end in hole):
            continue
        near = [texts[i] for i in grid.near(hb) if not apart(cells[i], hb) and not separated(texts[i][7], hole)]
        if not near:
            continue
        (ax, ay), (bx, by) = hole
        length = math.hypot(bx - ax, by - ay)
        n = max(1, int(length / 0.05))
        pts = [(ax + (bx - ax) * k / n, ay + (by - ay) * k / n) for k in range(n + 1)]
        if any(all(separated(t[7], [p, p]) for t in near) for p in pts):
            continue  # two lines drawn apart, not a text's gap
        inked = [any(not separated(t[6], [p, p]) for t in near) for p in pts]
        shortest = 0.8 * max(t[3] for t in near) + 0.1
        k = 0
        while k <= n:
            if inked[k]:
                k += 1
                continue
            run = k
            while k <= n and not inked[k]:
                k += 1
            if run == 0 or k > n or (k - run) * length / n > shortest:
                found.append("gap (%.2f, %.2f)-(%.2f, %.2f) of a line past %s" % (
                    ax, ay, bx, by, " / ".join(repr(t[0]) for t in near)))
                break
    return found


def broken(line, segments):
    """Where the line (x1, y1, x2, y2) has a hole, or None when whole."""
    x1, y1, x2, y2 = line
    length = math.hypot(x2 - x1, y2 - y1)
    dx, dy = (x2 - x1) / length, (y2 - y1) / length
    parts = []
    for seg in segments:
        if len(seg) != 2 or any(abs((px - x1) * -dy + (py - y1) * dx) > 0.01 for px, py in seg):
            continue
        ta, tb = [(px - x1) * dx + (py - y1) * dy for px, py in seg]
        parts.append((min(ta, tb), max(ta, tb)))
    at = 0.0
    for t0, t1 in sorted(parts):
        if t0 > at + 0.01:
            break
        at = max(at, t1)
    return None if at >= length - 0.01 else (x1 + at * dx, y1 + at * dy)


def fit_scale(limits, page):
    """How large a drawing unit prints when the sheet fills the page."""
    x0, y0, x1, y1 = limits
    return min(page[0] / (x1 - x0), page[1] / (y1 - y0)) if x1 > x0 and y1 > y0 else 1.0


def findings(path, lines_only=False, frame=False, printed=False, gaps=False, whole=(), page=None):
    doc = ezdxf.readfile(path)
    texts, segments, leaders, circles, rings, layer_of = [], [], [], [], set(), {}
    for e in flat_entities(doc.modelspace()):
        if e.dxftype() in ("TEXT", "ATTRIB"):
            b = box(e)
            if b is not None:
                h = e.dxf.height
                # The ink widened by what a gap may reach past it (and the
                # hair the separation test takes off).
                texts.append((e.dxf.text.strip(), b, box(e, True), h, e.dxf.get("width", 1.0) or 1.0,
                              None, box(e, widen=max(0.5, 0.3 * h) + HAIR), box(e, widen=0.3 * h + 0.1, cells=True)))
        else:
            shapes = shapes_of(e)
            segments.extend(shapes)
            layer_of.update((id(s), e.dxf.layer) for s in shapes)
            if e.dxftype() == "LINE":
                leaders.extend(shapes)
            elif e.dxftype() == "CIRCLE":
                circles.append((e.dxf.center.x, e.dxf.center.y, e.dxf.radius))
                rings.update(id(s) for s in shapes)
    found = []
    spans = [bounds(t[1]) for t in texts]
    for i in range(len(texts) if not lines_only else 0):
        for j in range(i + 1, len(texts)):
            (ta, pa, *_), (tb, pb, *_) = texts[i], texts[j]
            if not apart(spans[i], spans[j]) and not separated(pa, pb):
                found.append("%r (%.2f, %.2f) over %r (%.2f, %.2f)" % (
                    ta, pa[0][0], pa[0][1], tb, pb[0][0], pb[0][1]))
    # The first line (in the file's order) through each text: only the
    # texts near a line are tried, apart by their bounds is apart.
    inner_bounds = [bounds(inner) for _, _, inner, *_ in texts]
    grid, first = Grid(inner_bounds), {}
    for k, s in enumerate(segments):
        sb = bounds(s)
        for i in grid.near(sb):
            if i not in first and not apart(inner_bounds[i], sb) and not separated(texts[i][2], s):
                first[i] = k
    for i, (t, b, *_) in enumerate(texts):
        if i not in first:
            continue
        s = segments[first[i]]
        if len(s) == 2:
            found.append("%r (%.2f, %.2f) on line (%.2f, %.2f)-(%.2f, %.2f)" % (
                t, b[0][0], b[0][1], s[0][0], s[0][1], s[1][0], s[1][1]))
        else:
            found.append("%r (%.2f, %.2f) on solid (%.2f, %.2f)" % (t, b[0][0], b[0][1], s[0][0], s[0][1]))
    limits = sheet(doc) if frame else None
    if limits is not None:
        for t, b, *_ in texts:
            if off_sheet(b, limits):
                found.append("%r (%.2f, %.2f) off the sheet" % (t, b[0][0], b[0][1]))
        for s in segments:
            if off_sheet(s, limits):
                found.append("line (%.2f, %.2f)-(%.2f, %.2f) off the sheet" % (s[0][0], s[0][1], s[1][0], s[1][1]))
                break  # the first one names the file
    if printed:
        scale = 1.0
        if page is not None:
            limits = sheet(doc)
            if limits is None:
                raise IOError("no sheet limits to fit")
            scale = fit_scale([v + d for v, d in zip(limits, (HAIR, HAIR, -HAIR, -HAIR))], page)
        found.extend(print_size(texts, leaders, segments, circles, scale))
    if gaps:
        # A whole circle has no gap: its chords left out, lest two circles
        # close together (the marks of two points) seem one broken line.
        found.extend(gaps_past_ink(texts, [s for s in segments if id(s) not in rings], layer_of))
    for line in whole:
        at = broken(line, segments)
        if at is not None:
            found.append("line (%.2f, %.2f)-(%.2f, %.2f) broken at (%.2f, %.2f)" % (line + at))
    return found


def main(args):
    allow, paths, lines_only, frame, printed, gaps, whole, page = [], [], False, False, False, False, [], None
    it = iter(args)
    for a in it:
        if a == "--lines":
            lines_only = True
        elif a == "--frame":
            frame = True
        elif a == "--print":
            printed = True
        elif a == "--fit":
            page = tuple(float(v) for v in next(it).split(","))
        elif a == "--gaps":
            gaps = True
        elif a == "--whole":
            whole.append(tuple(float(v) for v in next(it).split(",")))
        elif a == "--allow":
            allow.append(re.compile(next(it)))
        else:
            paths.append(a)
    status = 0
    for p in paths:
        try:
            found = findings(p, lines_only, frame, printed, gaps, whole, page)
        except (IOError, ezdxf.DXFError) as exc:
            print("%s: does not read: %s" % (p, exc))
            return 2
        found = [f for f in found if not any(r.search(f) for r in allow)]
        for line in found:
            print("%s: %s" % (p, line))
        if found:
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
