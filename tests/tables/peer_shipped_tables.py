"""The generated tables as other programs read them: dbfread, python3-dbf and
GDAL's ogrinfo must see the fields listed below and the figures of the CSV
files, worked out here on their own. Usage: peer_shipped_tables.py DBF_DIR
CSV_DIR. Exit 77 (skipped) when a peer is missing."""
import csv
import os
import subprocess
import sys
import unittest
from decimal import Decimal

try:
    import dbf
    import dbfread
except ImportError:
    sys.exit(77)

DBF_DIR, CSV_DIR = sys.argv[1], sys.argv[2]

# name, type, length, decimals
MATERIAL_FIELDS = [
    ("NAME1", "C", 50, 0), ("NAME2", "C", 30, 0), ("NAME3", "C", 20, 0), ("NAME4", "C", 20, 0),
    ("G", "N", 9, 0), ("E", "N", 9, 0), ("RHO", "N", 9, 4), ("RM0", "N", 6, 0), ("DR0", "N", 9, 4),
    ("RMMAX", "N", 6, 0), ("RMSLOPE", "N", 9, 0), ("D0", "N", 9, 4),
    ("TAUO0", "N", 6, 0), ("TAUOSL", "N", 9, 0), ("TAUH0", "N", 6, 0), ("TAUHSL", "N", 9, 0),
    ("GOODSL", "N", 10, 6),
    ("TAUO0P", "N", 6, 0), ("TAUOSLP", "N", 9, 0), ("TAUH0P", "N", 6, 0), ("TAUHSLP", "N", 9, 0),
    ("GOODSLP", "N", 10, 6),
    ("DMIN", "N", 9, 4), ("DMAX", "N", 9, 4), ("TMAX", "N", 5, 0), ("TEXT", "C", 80, 0), ("MATNR", "N", 9, 0)]
MATERIAL_COLUMNS = [
    "name1", "name2", "name3", "name4", "G", "E", "density", "Rm0", "DR0", "RmMax", "RmSlope", "d0",
    "tauo0", "tauoSlope", "tauh0", "tauhSlope", "GoodmanSlope",
    "tauo0_p", "tauoSlope_p", "tauh0_p", "tauhSlope_p", "GoodmanSlope_p",
    "dmin", "dmax", "Tmax", "text", "number"]
RM_FIELDS = [("MATNR", "N", 9, 0), ("NAME", "C", 30, 0)] + [("V%02d" % i, "N", 5, 0) for i in range(1, 95)]
RELAX_FIELDS = [("MATNR", "N", 9, 0), ("NAME", "C", 30, 0), ("T1", "N", 5, 0), ("T2", "N", 5, 0),
                ("D1", "N", 8, 3), ("D2", "N", 8, 3)]
for _i in range(1, 9):
    RELAX_FIELDS += [("TAU%d" % _i, "N", 6, 0), ("RX%d" % _i, "N", 7, 3)]
WIRE_FIELDS = [("D", "N", 6, 2), ("TOL", "N", 6, 3)]
PRINTOUT_FIELDS = [("NAME", "C", 25, 0), ("XSCALE", "N", 10, 4), ("YSCALE", "N", 10, 4),
                   ("XORIGIN", "N", 6, 0), ("YORIGIN", "N", 6, 0), ("LANDSCAPE", "L", 1, 0),
                   ("MONOCHROM", "L", 1, 0), ("VARIABLE", "L", 1, 0), ("BORDERLINE", "L", 1, 0)]
TABLES = {
    "zebwst": MATERIAL_FIELDS, "zebrmmin": RM_FIELDS, "zebrmmax": RM_FIELDS, "zebwstr": RELAX_FIELDS,
    "din2076": [("D", "N", 6, 2), ("TOLB", "N", 6, 3), ("TOLC", "N", 6, 3)],
    "din2077": WIRE_FIELDS, "t10270_1": WIRE_FIELDS, "t10270_2": WIRE_FIELDS, "t10270_3": WIRE_FIELDS,
    "printout": PRINTOUT_FIELDS}

# The standard wire diameters of DIN 2076 and DIN 2077, as the standards list them.
DIN2076 = [Decimal(x) for x in (
    "0.07 0.08 0.09 0.1 0.11 0.12 0.14 0.16 0.18 0.2 0.22 0.25 0.28 0.3 0.32 0.34 0.36 0.38 0.4 0.43 "
    "0.45 0.48 0.5 0.53 0.56 0.6 0.63 0.65 0.7 0.75 0.8 0.85 0.9 0.95 1.0 1.05 1.1 1.2 1.25 1.3 1.4 "
    "1.5 1.6 1.7 1.8 1.9 2.0 2.1 2.25 2.4 2.5 2.6 2.8 3.0 3.2 3.4 3.6 3.8 4.0 4.25 4.5 4.75 5.0 5.3 "
    "5.6 6.0 6.3 6.5 7.0 7.5 8.0 8.5 9.0 9.5 10.0 10.5 11.0 12.0 12.5 13.0 14.0 15.0 16.0 17.0 18.0 "
    "19.0 20.0").split()]
DIN2077 = ([Decimal(70 + 5 * i) / 10 for i in range(47)] + [Decimal(x) for x in range(31, 41)]
           + [Decimal(x) for x in range(42, 61, 2)] + [Decimal(x) for x in (65, 70, 75, 80)])


def path(name):
    return os.path.join(DBF_DIR, name + ".dbf")


def read_csv(name):
    with open(os.path.join(CSV_DIR, name), encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


def number(text):
    return None if text == "" else Decimal(text)


def records(name):
    """Every record in file order as dbfread reads it, marked ones included."""
    t = dbfread.DBF(path(name), encoding="cp850", char_decode_errors="strict")
    live, dead = iter(list(t)), iter(list(t.deleted))
    return [next(dead) if m else next(live) for m in marks(name)]


def marks(name):
    with dbf.Table(path(name), codepage="cp850") as t:
        return [dbf.is_deleted(r) for r in t]


class Layouts(unittest.TestCase):
    def test_fields_as_three_peers_see_them(self):
        for name, fields in TABLES.items():
            with self.subTest(table=name):
                t = dbfread.DBF(path(name), encoding="cp850", load=False)
                with open(path(name), "rb") as f:
                    self.assertEqual(f.read(1), b"\x03")
                got = [(f.name, f.type, f.length, f.decimal_count) for f in t.fields]
                self.assertEqual(got, fields)
                with dbf.Table(path(name), codepage="cp850") as dt:
                    self.assertEqual([n.upper() for n in dt.field_names], [f[0] for f in fields])
                out = subprocess.run(["ogrinfo", "-ro", "-so", "-oo", "ENCODING=CP850", path(name), name],
                                     capture_output=True, text=True, check=True).stdout
                for fname, ftype, length, dec in fields:
                    kind = {"C": "String", "N": "Integer" if dec == 0 else "Real", "L": "String"}[ftype]
                    # GDAL widens integers of 10 and more digits.
                    self.assertRegex(out, r"(?m)^%s: (%s|Integer64|Real) \(%d\.%d\)$" % (fname, kind, length, dec))


class Materials(unittest.TestCase):
    def test_rows_equal_the_csv(self):
        rows = read_csv("materials.csv")
        recs = records("zebwst")
        self.assertEqual(len(recs), len(rows))
        for i, (row, rec) in enumerate(zip(rows, recs), 1):
            for (fname, ftype, _, _), column in zip(MATERIAL_FIELDS, MATERIAL_COLUMNS):
                with self.subTest(row=i, field=fname):
                    want = row[column]
                    if column == "d0" and want == "":
                        want = "1.0"  # the reset record's reference diameter
                    if ftype == "C":
                        self.assertEqual(rec[fname], want)
                    else:
                        got = rec[fname]
                        self.assertEqual(None if got is None else Decimal(str(got)), number(want))
            self.assertEqual(rec["MATNR"], i)
        with dbf.Table(path("zebwst"), codepage="cp850") as t:
            for row, rec in zip(rows, t):
                self.assertEqual(rec.name3.rstrip(), row["name3"])
                self.assertEqual(rec.g, None if row["G"] == "" else int(row["G"]))
                self.assertEqual(rec.tmax, None if row["Tmax"] == "" else int(row["Tmax"]))

    def test_incomplete_materials_are_marked(self):
        rows = read_csv("materials.csv")
        want = [any(r[c] == "" for c in ("G", "E", "density", "Rm0")) for r in rows]
        self.assertEqual(marks("zebwst"), want)
        self.assertEqual(want.index(False), 1)  # SM; SL (row 1) has no strength law
        self.assertFalse(want[2])
        self.assertEqual(records("zebwst")[2]["NAME1"], "EN 10270-1 SH")

    def test_umlauts_in_code_page_850(self):
        with open(path("zebwst"), "rb") as f:
            raw = f.read()
        self.assertIn("ölschlussvergütet".encode("cp850"), raw)
        out = subprocess.run(["ogrinfo", "-ro", "-oo", "ENCODING=CP850", "-where", "MATNR = 6",
                              path("zebwst"), "zebwst"], capture_output=True, text=True, check=True).stdout
        self.assertIn("NAME3 (String) = ölschlussvergütet", out)
        self.assertIn("NAME1 (String) = EN 10270-2 FDC", out)


def slot_values(kind):
    """zebrmmin/zebrmmax rows worked out from the published ranges."""
    steps = [Decimal(r["hundredths"]) / 100 for r in read_csv("std_diameter_steps.csv")]
    ranges = read_csv("rm_ranges.csv")
    out = []
    for m in read_csv("materials.csv"):
        grade = m["name1"].split()[-1]
        lo, hi = number(m["dmin"]), number(m["dmax"])
        values = []
        for d in steps:
            v = None
            if d > 0 and (lo is None or d >= lo) and (hi is None or d <= hi):
                for r in ranges:
                    if grade in r["grade"].split("+") and (r["over"] == "" or d > Decimal(r["over"])) \
                            and d <= Decimal(r["upto"]):
                        v = number(r[kind])
                        break
            values.append(v)
        out.append((int(m["number"]), m["name1"], values))
    return out


class StrengthLimits(unittest.TestCase):
    def test_slots_filled_where_known(self):
        for table, kind in (("zebrmmin", "min"), ("zebrmmax", "max")):
            recs = records(table)
            want = slot_values(kind)
            self.assertEqual(len(recs), 20)
            for rec, (nr, name, values) in zip(recs, want):
                with self.subTest(table=table, material=nr):
                    self.assertEqual(rec["MATNR"], nr)
                    self.assertEqual(rec["NAME"], name)
                    got = [rec["V%02d" % i] for i in range(1, 95)]
                    self.assertEqual(got, [None if v is None else int(v) for v in values])
            self.assertFalse(any(marks(table)))

    def test_published_points(self):
        lo, hi = records("zebrmmin"), records("zebrmmax")
        sm = 1  # EN 10270-1 SM
        self.assertEqual((lo[sm]["V16"], hi[sm]["V16"]), (2370, 2650))  # 0.30 mm
        self.assertEqual((lo[sm]["V94"], hi[sm]["V94"]), (1020, 1150))  # 20 mm
        self.assertIsNone(lo[sm]["V15"])  # 0.28 mm lies below SM's dmin
        self.assertEqual((lo[sm]["V50"], hi[sm]["V50"]), (1740, 1960))  # 2.10 mm
        self.assertEqual((lo[4]["V51"], hi[4]["V51"]), (1940, 2150))  # DH 2.25 mm, a half step
        self.assertEqual((lo[12]["V62"], hi[12]["V62"]), (1500, 1600))  # 1.4310 4.25 mm, a half step
        self.assertIsNone(lo[4]["V63"])  # DH 4.50 mm: no published value above 4 mm
        dh = 4
        self.assertEqual((lo[dh]["V01"], hi[dh]["V01"]), (2800, 3110))  # 0.05 mm
        self.assertIsNone(lo[2]["V94"])  # SH: no published value above 4 mm
        self.assertIsNone(hi[13]["V01"])  # 1.4401: no published maximum
        self.assertEqual(lo[13]["V01"], 1725)


class WireTables(unittest.TestCase):
    def diameters(self, name):
        return [Decimal(str(r["D"])) for r in records(name)]

    def test_standard_diameters(self):
        self.assertEqual(len(DIN2076), 87)
        self.assertEqual(len(DIN2077), 71)
        self.assertEqual(self.diameters("din2076"), DIN2076)
        self.assertEqual(self.diameters("din2077"), DIN2077)

    def test_material_standard_tables_span_their_rows(self):
        mats = read_csv("materials.csv")
        for table, std in (("t10270_1", "EN 10270-1"), ("t10270_2", "EN 10270-2"), ("t10270_3", "EN 10270-3")):
            rows = [m for m in mats if m["name1"].startswith(std + " ")]
            lows = [Decimal(m["dmin"]) for m in rows if m["dmin"]]
            lo = min(lows) if len(lows) == len(rows) else DIN2076[0]
            hi = max(Decimal(m["dmax"]) for m in rows if m["dmax"])
            with self.subTest(table=table):
                self.assertEqual(self.diameters(table), [d for d in DIN2076 if lo <= d <= hi])

    def test_empty_tables(self):
        for name in ("zebwstr", "printout"):
            self.assertEqual(records(name), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
