"""Runs of the table generator on copies of the CSV files: equal bytes for
one SOURCE_DATE_EPOCH, a clear message naming file and line for every kind
of malformed input with nothing written, and a table a user changed kept.
Usage: mktables_runs.py MKTABLES CSV_DIR. Exit 77 (skipped) without dbf."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import dbf
except ImportError:
    sys.exit(77)

MKTABLES, CSV_DIR = sys.argv[1], sys.argv[2]
TABLES = ["zebwst", "zebrmmin", "zebrmmax", "zebwstr", "din2076", "din2077", "t10270_1", "t10270_2",
          "t10270_3", "printout"]


class Run(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.csv = os.path.join(self.dir, "csv")
        shutil.copytree(CSV_DIR, self.csv)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_tool(self, out="dbf", epoch="1700000000"):
        env = dict(os.environ)
        env.pop("SOURCE_DATE_EPOCH", None)
        if epoch is not None:
            env["SOURCE_DATE_EPOCH"] = epoch
        return subprocess.run([MKTABLES, self.csv, os.path.join(self.dir, out), os.path.join(self.dir, out + ".work")],
                              capture_output=True, text=True, env=env)

    def edit(self, name, line, old, new):
        p = os.path.join(self.csv, name)
        with open(p, encoding="utf-8") as f:
            lines = f.read().split("\n")
        self.assertIn(old, lines[line - 1])
        lines[line - 1] = lines[line - 1].replace(old, new, 1)
        with open(p, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))

    def bytes_of(self, out, name):
        with open(os.path.join(self.dir, out, name + ".dbf"), "rb") as f:
            return f.read()

    def test_same_epoch_same_bytes(self):
        self.assertEqual(self.run_tool("a").returncode, 0)
        self.assertEqual(self.run_tool("b").returncode, 0)
        for name in TABLES:
            a = self.bytes_of("a", name)
            self.assertEqual(a, self.bytes_of("b", name), name)
            self.assertEqual(a[0], 0x03)
            self.assertEqual(tuple(a[1:4]), (123, 11, 14))  # 2023-11-14
        self.assertEqual(os.listdir(os.path.join(self.dir, "a")).__len__(), len(TABLES))

    def test_malformed_input_fails_naming_file_and_line(self):
        cases = [
            ("materials.csv", 5, "dynamisch,81500", "dynamisch,81500,1", "materials.csv:5: 29 columns"),
            ("materials.csv", 3, ",81500,", ",81.5x,", "materials.csv:3: G: \"81.5x\" is not a number"),
            ("materials.csv", 3, ",81500,", ",1e300,", "materials.csv:3: G: \"1e300\" is not a number"),
            ("materials.csv", 3, ",81500,", ",-,", "materials.csv:3: G: \"-\" is not a number"),
            ("materials.csv", 3, ",81500,", ",9999999999,", "materials.csv:3: G: 9999999999 does not fit N(9,0)"),
            ("materials.csv", 3, ",7.85,", ",7.85001,", "materials.csv:3: RHO: 7.85001 does not fit N(9,4)"),
            ("materials.csv", 3, "EN 10270-1 SM", "EN 10270-1 SM" + "x" * 40, "materials.csv:3: NAME1: "),
            ("materials.csv", 3, "EN 10270-1 SM", "EN 10270-1 SM \u20ac", "code page 850 lacks"),
            ("materials.csv", 4, "3,EN", "7,EN", "materials.csv:4: number 7 is not the row's position 3"),
            ("materials.csv", 2, "1,EN 10270-1 SL,", "1,\"EN 10270-1 SL,", "materials.csv:2: quote not closed"),
            ("din2077.csv", 10, "0.150", "0.1505", "din2077.csv:10: TOL: 0.1505 does not fit N(6,3)"),
            ("din2076.csv", 1, "TOLC", "TOLX", "din2076.csv:1: column 3 must be TOLC"),
            ("rm_ranges.csv", 4, ",2200,", ",22OO,", "rm_ranges.csv:4: min is not a number"),
            ("std_diameter_steps.csv", 3, "2,6", "2,6.5", "std_diameter_steps.csv:3: hundredths"),
        ]
        for name, line, old, new, message in cases:
            with self.subTest(message=message):
                shutil.rmtree(self.csv)
                shutil.copytree(CSV_DIR, self.csv)
                self.edit(name, line, old, new)
                r = self.run_tool()
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn("%s:%d: " % (os.path.join(self.csv, name), line), r.stderr)
                self.assertIn(message, r.stderr)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "dbf")))

    def test_missing_csv_and_bad_epoch(self):
        os.remove(os.path.join(self.csv, "din2077.csv"))
        r = self.run_tool()
        self.assertEqual(r.returncode, 1)
        self.assertIn("din2077.csv:0: cannot be read", r.stderr)
        shutil.copy(os.path.join(CSV_DIR, "din2077.csv"), self.csv)
        r = self.run_tool(epoch="yesterday")
        self.assertEqual(r.returncode, 1)
        self.assertIn("SOURCE_DATE_EPOCH", r.stderr)

    def test_changed_table_is_kept_and_others_follow_the_csv(self):
        self.assertEqual(self.run_tool().returncode, 0)
        path = os.path.join(self.dir, "dbf", "zebwst.dbf")
        t = dbf.Table(path, codepage="cp850")
        t.open(dbf.READ_WRITE)
        t.append({"name1": "Eigener Werkstoff", "g": 80000, "matnr": 21})
        t.close()
        mine = self.bytes_of("dbf", "zebwst")
        self.edit("din2077.csv", 2, "0.150", "0.160")
        self.edit("materials.csv", 3, ",81500,", ",81600,")
        r = self.run_tool()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn(path + " changed since it was generated; kept", r.stdout)
        self.assertEqual(self.bytes_of("dbf", "zebwst"), mine)
        with dbf.Table(os.path.join(self.dir, "dbf", "din2077.dbf")) as t:
            self.assertEqual(float(t[0].tol), 0.16)
        r = self.run_tool()
        self.assertEqual((r.returncode, self.bytes_of("dbf", "zebwst")), (0, mine))

    def test_untouched_table_is_replaced(self):
        self.assertEqual(self.run_tool().returncode, 0)
        self.edit("materials.csv", 3, ",81500,", ",81600,")
        r = self.run_tool()
        self.assertEqual((r.returncode, r.stdout), (0, ""))
        with dbf.Table(os.path.join(self.dir, "dbf", "zebwst.dbf"), codepage="cp850") as t:
            self.assertEqual(t[1].g, 81600)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
