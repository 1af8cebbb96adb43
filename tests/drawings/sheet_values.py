#!/usr/bin/python3
"""The values a sheet writes against the spring's own, converted by hand,
and against the printout's.

    sheet_values.py WRITER

WRITER is zeb_test_spring_sheets: it draws the springs kept for the sheet
checks (among them a spring of large values in every unit system, "_u1"
the English one) and a few generated ones on every sheet; each labelled
value of each sheet ("tauk1:76182", "F1 = 27.5 kN", "Tau k1 = ...") is read
and set against the spring's value of that quantity in the sheet's unit
system. A number must stand within half a unit of its own last digit of
the true value and keep every integer digit ("76182", never "8E4" nor
"7.62E4"); a number below 1 written with an exponent keeps at least two
significant digits. The printout the writer wrote of each spring
(<stem>.txt, as "/I" writes it) is the other truth: a number shows the
printout's value of its quantity with at least as many significant digits
and within the last digit of the coarser of the two. findings(path, facts,
printout) is the check of one sheet (spring_sheets.py runs it on its
generated springs).
"""
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written beside the sources
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import ezdxf  # noqa: E402

import text_overlap  # noqa: E402

# One base unit (mm, N, N/mm², N/mm) in each unit system's display unit.
INCH, LBF, PSI, LBF_PER_IN = 1 / 25.4, 1 / 4.44822, 145.037, 5.7101492
UNITS = {
    0: {"L": 1, "F": 1, "S": 1, "R": 1},
    1: {"L": INCH, "F": LBF, "S": PSI, "R": LBF_PER_IN},
    2: {"L": 1, "F": 0.001, "S": 1, "R": 1},
    3: {"L": 1, "F": 1, "S": 1, "R": 1},
    4: {"L": 1, "F": 0.001, "S": 1, "R": 1},
}

# Labels as the sheets write them, each with the spring's value and its
# kind (L length, F force, S stress, R spring rate, T temperature, 1 none);
# "G" stands for G at 20 degrees or at the working temperature (GT).
QUANTITIES = [
    (r"L0", "L0", "L"), (r"L1", "L1", "L"), (r"L2", "L2", "L"), (r"Ln", "Ln", "L"), (r"Lc", "Lc", "L"),
    (r"s1", "s1", "L"), (r"s2", "s2", "L"), (r"sn", "sn", "L"), (r"sc", "sc", "L"), (r"sh", "sh", "L"),
    (r"d", "d", "L"), (r"De", "De", "L"), (r"Di", "Di", "L"), (r"Dm|D", "Dm", "L"),
    (r"Ddmax", "Ddmax", "L"), (r"Dhmin", "Dhmin", "L"),
    (r"F1", "F1", "F"), (r"F2", "F2", "F"), (r"Fn", "Fn", "F"), (r"Fc|Fc,th", "Fc", "F"), (r"FQ", "FQ", "F"),
    (r"tau ?k1", "tauk1", "S"), (r"tau ?k2", "tauk2", "S"), (r"tau ?kh", "taukh", "S"),
    (r"tau ?1", "tau1", "S"), (r"tau ?2", "tau2", "S"), (r"tau ?n", "taun", "S"), (r"tau ?c", "tauc", "S"),
    (r"tau ?z|tau zul\.?", "tauzul", "S"), (r"Rm", "Rm", "S"), (r"G", "G|GT", "S"), (r"E", "E", "S"),
    (r"R", "R", "R"), (r"n", "n", "1"), (r"nt", "nt", "1"), (r"D/d|Dm/d|w", "w", "1"), (r"k", "k", "1"),
    (r"nue", "nue", "1"), (r"fe", "fe", "1"), (r"T", "T", "T"),
]
NUMBER = r"[-+]?\d+(?:[.,]\d+)?(?:E[-+]?\d+)?"
# A label at the start of a text or after a gap of blanks ("Federrate   R
# = ..."), then ":" or "=", then the number. A range ("T = 20 .. 80") and a
# rate per second ("n = 12/s", the frequency), a share ("F2 = 0.9%", the
# scrap rate) and a formula ("tauz = 0.56 * Rm") are no value of the label.
# The stresses are "tauk1" on the diagrams, "Tau k1" on the production
# drawing; the other labels as they are ("d" the wire, "D" the coil).
LABELS = [(re.compile(r"^(?:%s)$" % q[0], re.IGNORECASE if q[0].startswith("tau") else 0), q[1], q[2])
          for q in QUANTITIES]
PATTERN = re.compile(r"(?:^\s*|\s{2,})(?P<label>%s)\s*[:=]\s*(?P<number>%s)(?![\d.,%%]|\s*(?:\.\.|\*|%%)|\s+[-+]\s|/s)" % (
    "|".join(("(?i:%s)" if q[0].startswith("tau") else "(?:%s)") % q[0] for q in QUANTITIES), NUMBER))


def true_value(facts, key, kind):
    """The spring's value of the quantity in the sheet's unit system."""
    v = facts.get(key)
    if v is None or not math.isfinite(v):
        return None
    english = facts["units"] == 1
    if kind == "T":
        return v * 9 / 5 + 32 if english else v
    if kind == "1":
        return v
    return v * UNITS[facts["units"]][kind]


def digits_unit(text):
    """The value of a number text, one unit of its last digit and its
    significant digits."""
    mantissa, _, exponent = text.replace(",", ".").upper().partition("E")
    e = int(exponent) if exponent else 0
    decimals = len(mantissa.partition(".")[2])
    significant = len(mantissa.lstrip("+-").replace(".", "").lstrip("0"))
    return float(text.replace(",", ".")), 10.0 ** (e - decimals), significant


def judge(number, truth):
    """What is wrong with a number written for a true value, or None."""
    shown, unit, significant = digits_unit(number)
    if abs(shown - truth) > 0.5 * unit * (1 + 1e-6) + 1e-9 * abs(truth):
        return "reads %s, the value is %.7g" % (number, truth)
    if abs(truth) >= 1 and unit > 1:
        return "drops integer digits of %.7g" % truth
    # Written shorter with an exponent: three significant digits, or two
    # where the value's own text has no more ("0.000049" as "4.9E-5").
    if "E" in number.upper() and significant < (3 if abs(truth) >= 1 else 2):
        return "keeps %d significant digits of %.7g" % (significant, truth)
    return None


# The printout's symbol of each quantity (its rows "label TAB symbol TAB
# unit TAB value"); "GT" is the row "G <temperature>".
PRINTOUT_SYMBOLS = {"Fc": "Fc th", "tauk1": "tau k1", "tauk2": "tau k2", "taukh": "tau kh", "tau1": "tau 1",
                    "tau2": "tau 2", "taun": "tau n", "tauc": "tau c", "tauzul": "tau z", "n": "n(if)",
                    "T": "theta"}


def printout_values(path):
    """The printout's value text of each quantity, by the key of QUANTITIES:
    the first number of the first row of its symbol ("5 ± 0.035": "5")."""
    values = {}
    with open(path, encoding="cp1252") as f:
        for line in f.read().splitlines():
            parts = line.split("\t")
            if len(parts) < 4:
                continue
            symbol, value = parts[1].strip(), parts[3].strip()
            m = re.match(NUMBER + r"(?![\w.])", value)
            if not m or not symbol:
                continue
            key = "GT" if re.fullmatch(r"G *-?\d+", symbol) else next(
                (k for k, v in PRINTOUT_SYMBOLS.items() if v == symbol), symbol)
            values.setdefault(key, m.group(0))
    return values


def judge_printout(number, printed):
    """What is wrong with a sheet's number against the printout's text of
    the same quantity, or None: fewer significant digits than the printout
    shows, or off by more than the last digit of the coarser of the two."""
    shown, unit, significant = digits_unit(number)
    value, printed_unit, printed_significant = digits_unit(printed)
    if significant < printed_significant and not (shown == 0 and value == 0):
        return "keeps %d significant digits, the printout %s" % (significant, printed)
    if abs(shown - value) > max(unit, printed_unit) * (1 + 1e-6):
        return "reads %s, the printout %s" % (number, printed)
    return None


def placed_texts(path):
    """The sheet's texts: (text, x, y, height), inserts expanded."""
    doc = ezdxf.readfile(path)
    return [(e.dxf.text, e.dxf.insert[0], e.dxf.insert[1], e.dxf.height)
            for e in text_overlap.flat_entities(doc.modelspace()) if e.dxftype() in ("TEXT", "ATTRIB")]


def texts(path):
    return [t[0] for t in placed_texts(path)]


def cell_number(text):
    t = text.strip()
    return t if re.fullmatch(NUMBER, t) else None


def table_findings(placed, facts):
    """The material tables' cells: the tau-d table's Rm and tau z at its
    six diameters (0.56 Rm), the Rm-d table's published minimum and maximum
    of each diameter slot, in their rows from the top."""
    found = []
    stress = UNITS[facts["units"]]["S"]
    for text, x0, y0, h in placed:
        head = re.fullmatch(r"(Rm|tauz) (MPa|psi|N/mm.)", text.strip())
        if not head or not facts.get("rm_law"):
            continue
        share = 1 if head.group(1) == "Rm" else 0.56
        row = sorted((x, t) for t, x, y, _ in placed if x > x0 + 1e-6 and abs(y - y0) < 0.3 * h and cell_number(t))
        if len(row) != 6:
            found.append("the %r row holds %d numbers, not 6" % (text.strip(), len(row)))
            continue
        for (_, t), rm in zip(row, facts["rm_d"]):
            wrong = judge(cell_number(t), rm * share * stress)
            if wrong:
                found.append("%r cell %r: %s" % (text.strip(), t.strip(), wrong))
    columns = {t.strip(): (x, y) for t, x, y, _ in placed if t.strip() in ("Rm min", "Rm max")}
    if "Rm min" in columns:
        xm, ym = columns["Rm min"]
        rows = sorted(((y, t) for t, x, y, _ in placed if abs(x - xm) < 1e-3 and y < ym - 1e-6 and cell_number(t)),
                      reverse=True)
        slots = facts.get("rm_slots", [])
        if len(rows) != len(slots):
            found.append("the Rm-d table has %d rows for %d slots" % (len(rows), len(slots)))
        for (y, t), (low, high) in zip(rows, slots):
            wrong = judge(cell_number(t), low * stress)
            if wrong:
                found.append("Rm min %r: %s" % (t.strip(), wrong))
            if "Rm max" not in columns or high <= 0:
                continue
            xx = columns["Rm max"][0]
            cell = [u for u, x, v, _ in placed if abs(x - xx) < 1e-3 and abs(v - y) < 1e-6 and cell_number(u)]
            wrong = judge(cell_number(cell[0]), high * stress) if cell else "missing"
            if wrong:
                found.append("Rm max %r: %s" % (cell[0].strip() if cell else "", wrong))
    return found


def findings(path, facts, printout=None):
    """Each labelled value of the sheet that does not stand for the
    spring's value ("'tauk1:8E4': drops integer digits of 76182") or, given
    the printout's values (printout_values), that shows fewer digits than
    the printout or another value; and each cell of the material tables."""
    placed = placed_texts(path)
    found = table_findings(placed, facts)
    for text, *_ in placed:
        for m in PATTERN.finditer(text):
            label = m.group("label")
            quantity = next(((key, kind) for rx, key, kind in LABELS if rx.match(label)), None)
            if quantity is None:
                continue
            keys, kind = quantity
            truths = [t for t in (true_value(facts, key, kind) for key in keys.split("|")) if t is not None]
            wrong = [judge(m.group("number"), t) for t in truths]
            if truths and all(wrong):
                found.append("%r: %s %s" % (text.strip(), keys, wrong[0]))
            printed = [printout[k] for k in keys.split("|") if printout and k in printout]
            wrong = [judge_printout(m.group("number"), p) for p in printed]
            if printed and all(wrong):
                found.append("%r: %s %s" % (text.strip(), keys, wrong[0]))
    return found


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip())
        return 2
    root = tempfile.mkdtemp(prefix="sheet-values-")
    try:
        env = dict(os.environ)
        env.update({"XDG_CONFIG_HOME": os.path.join(root, "xdg"), "TMPDIR": os.path.join(root, "tmp"),
                    "QT_QPA_PLATFORM": "offscreen"})
        os.makedirs(env["XDG_CONFIG_HOME"])
        os.makedirs(env["TMPDIR"])
        out = os.path.join(root, "out")
        # The kept springs (spring 0's shard) and eight generated ones.
        with open(os.path.join(root, "writer.log"), "w") as log:
            rc = subprocess.run([os.path.abspath(argv[1]), out, "20261210", "0", "8"], stdout=log,
                                stderr=subprocess.STDOUT, env=env).returncode
        if rc != 0:
            print("the writer ended with %d" % rc)
            return 1
        with open(os.path.join(out, "springs.jsonl")) as f:
            springs = [json.loads(line) for line in f if line.strip()]
        found, sheets, values, systems = [], 0, 0, set()
        for facts in springs:
            if facts.get("refused"):
                continue
            systems.add(facts["units"])
            stem = facts["stem"]
            printout = printout_values(os.path.join(out, stem + ".txt"))
            if not printout:
                found.append("%s: no printout" % stem)
            for name in sorted(os.listdir(out)):
                if not (name.startswith(stem + "_") and name.endswith(".dxf")):
                    continue
                path = os.path.join(out, name)
                sheets += 1
                values += sum(len(list(PATTERN.finditer(t))) for t in texts(path))
                found += ["%s: %s" % (name[:-4], f) for f in findings(path, facts, printout)]
        print("%d sheets, %d labelled values, unit systems %s" % (sheets, values, sorted(systems)))
        for f in found:
            print(f)
        # Every unit system drawn, and the large spring's sheets among them.
        if systems != set(UNITS) or not any(s["stem"].startswith("big_") for s in springs):
            print("not every unit system drawn")
            return 1
        return 1 if found or not values else 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
