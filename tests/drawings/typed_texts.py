#!/usr/bin/python3
"""Finds typed texts that a DXF file does not show whole.

    typed_texts.py SPEC

SPEC is a file of lines "path<TAB>x0 y0 x1 y1<TAB>text": the
text must stand whole in the DXF file at path, on one TEXT or on lines
following one another (each line below the one before, as wrapped lines
are; blanks do not count, a line may begin before the text and the last
may go on after it), none of them ending in "..."; every one of its lines
inside the box (the field it belongs in; "-" for none). Findings are
printed one a line as
"path: 'text' ..."; the exit status is 1 when there is any, 2 when a file
does not read.
"""
import math
import os
import sys

import ezdxf

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from text_overlap import HAIR, box, flat_entities  # noqa: E402


def texts_of(path):
    doc = ezdxf.readfile(path)
    out = []
    for e in flat_entities(doc.modelspace()):
        if e.dxftype() not in ("TEXT", "ATTRIB"):
            continue
        b = box(e)
        if b is None:
            continue
        raw = e.dxf.text
        out.append({"raw": raw, "flat": raw.replace(" ", ""), "box": b, "h": e.dxf.height,
                    "x": b[0][0], "y": b[0][1]})
    return out


def chains(texts, want):
    """The chains of lines that show want (blankless): lists of indexes."""
    found = []
    for i, t in enumerate(texts):
        f = t["flat"]
        at = f.find(want)
        if at >= 0:
            found.append([i])
            continue
        # A first line that ends with the beginning of the text.
        for j in range(len(f)):
            if want.startswith(f[j:]):
                follow(texts, want[len(f) - j:], [i], found)
                break
    return found


def follow(texts, rest, chain, found):
    last = texts[chain[-1]]
    step = 1.6 * last["h"]
    best = None
    for i, t in enumerate(texts):
        if i in chain:
            continue
        f = t["flat"]
        if not f or not (rest.startswith(f) or f.startswith(rest)):
            continue
        d = math.hypot(t["x"] - last["x"], t["y"] - (last["y"] - step))
        if t["y"] < last["y"] - 0.1 and d <= 2.5 * last["h"] and (best is None or d < best[0]):
            best = (d, i)
    if best is None:
        return
    i = best[1]
    f = texts[i]["flat"]
    if f.startswith(rest):
        found.append(chain + [i])
    else:
        follow(texts, rest[len(f):], chain + [i], found)


def inside(b, field):
    x0, y0, x1, y1 = field
    return all(x0 - HAIR <= x <= x1 + HAIR and y0 - HAIR <= y <= y1 + HAIR for x, y in b)


def check(path, wants):
    texts = texts_of(path)
    out = []
    for field, text in wants:
        want = text.replace(" ", "")
        found = chains(texts, want)
        if not found:
            near = [t["raw"] for t in texts if want[:8] in t["flat"]]
            out.append("%r not whole (%s)" % (text, " / ".join(repr(n) for n in near) or "missing"))
            continue
        chain = min(found, key=len)
        for i in chain:
            t = texts[i]
            if t["raw"].rstrip().endswith("..."):
                out.append("%r cut: %r" % (text, t["raw"]))
            if field is not None and not inside(t["box"], field):
                out.append("%r: line %r (%.2f, %.2f) outside its field %s" % (
                    text, t["raw"], t["x"], t["y"], field))
    return out


def main(args):
    wants = {}
    with open(args[0], encoding="latin-1") as spec:
        for line in spec:
            line = line.rstrip("\n")
            if not line:
                continue
            path, field, text = line.split("\t", 2)
            f = None if field == "-" else tuple(float(v) for v in field.split())
            wants.setdefault(path, []).append((f, text))
    status = 0
    for path, w in wants.items():
        try:
            found = check(path, w)
        except (IOError, ezdxf.DXFError) as exc:
            print("%s: does not read: %s" % (path, exc))
            return 2
        for line in found:
            print("%s: %s" % (path, line))
        if found:
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
