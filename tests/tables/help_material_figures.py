"""Material figures quoted in the help texts against the shipped material
table as dbfread reads it: a modulus (N/mm²) after a material or a group of
materials is its G or E, a density after one in the "Dichte" help is its
RHO (a range: the group's lowest to highest), a temperature limit after
named materials their TMAX. Usage: help_material_figures.py
DBF_DIR HELP_DIR. Exit 77 (skipped) when dbfread is missing."""
import os
import re
import sys
import unittest
from decimal import Decimal

try:
    import dbfread
except ImportError:
    sys.exit(77)

DBF_DIR, HELP_DIR = sys.argv[1], sys.argv[2]

# The words the help texts name materials by, and the table rows they mean.
GROUPS = {
    "Federstahl": lambda r: r["NAME3"] == "patentiert gezogen",
    "ölschlussvergütet": lambda r: r["NAME3"] == "ölschlussvergütet",
    "nichtrostend 1.4310": lambda r: "1.4310" in r["NAME1"],
    "nichtrostend": lambda r: r["NAME3"] == "nichtrostend",
    "Stahl": lambda r: r["NAME3"] in ("patentiert gezogen", "ölschlussvergütet", "warmgewalzt"),
    "Kupferlegierungen": lambda r: r["NAME3"] == "Kupferlegierung",
}
NUMBER = r"(\d+(?:,\d+)?)"
QUOTE = re.compile("(" + "|".join(sorted(map(re.escape, GROUPS), key=len, reverse=True)) + ") " + NUMBER +
                   r"(?: - " + NUMBER + ")?")


def rows():
    name = next(f for f in os.listdir(DBF_DIR) if f.lower() == "zebwst.dbf")
    return list(dbfread.DBF(os.path.join(DBF_DIR, name), encoding="cp850"))


def help_lines():
    for name in sorted(os.listdir(HELP_DIR)):
        if name.lower().endswith((".hlp", ".err")):
            with open(os.path.join(HELP_DIR, name), "rb") as f:
                for n, line in enumerate(f.read().decode("cp850").split("\r\n"), 1):
                    yield "%s:%d" % (name, n), line


def number(text):
    return Decimal(text.replace(",", "."))


class HelpMaterialFigures(unittest.TestCase):
    def test_every_quoted_figure_is_the_tables(self):
        table = rows()
        quotes = 0
        for where, line in help_lines():
            for m in QUOTE.finditer(line):
                group = [r for r in table if GROUPS[m.group(1)](r)]
                self.assertTrue(group, m.group(1))
                low, high = number(m.group(2)), number(m.group(3) or m.group(2))
                quotes += 1
                with self.subTest(where=where, quote=m.group(0)):
                    if low >= 1000:
                        # A modulus: every row of the group has it as G or as E.
                        self.assertEqual(low, high)
                        for r in group:
                            self.assertIn(low, (Decimal(r["G"] or 0), Decimal(r["E"] or 0)), r["NAME1"])
                    else:
                        densities = [Decimal(str(r["RHO"])) for r in group if r["RHO"]]
                        self.assertEqual((low, high), (min(densities), max(densities)))
        # G and E of spring steel, oil tempered and 1.4310, the densities, the
        # moduli of the error help: none goes unchecked unseen.
        self.assertGreaterEqual(quotes, 12)

    def test_named_materials_have_the_temperature_quoted(self):
        table = rows()
        quotes = 0
        for where, line in help_lines():
            for m in re.finditer(r"([\w.]+) oder ([\w.]+), Tmax (\d+) °C", line):
                for name in m.group(1, 2):
                    named = [r for r in table if r["NAME1"].split()[-1] == name]
                    quotes += 1
                    with self.subTest(where=where, material=name):
                        self.assertEqual(len(named), 1)
                        self.assertEqual(named[0]["TMAX"], int(m.group(3)))
        self.assertGreaterEqual(quotes, 2)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
