// The material table and the tensile-strength tables on the generated
// tables, checked against materials.csv and the published ranges.
#include <cmath>

#include "base/support_decimal.h"
#include "base/format.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "spring/material.h"
#include "support_tables.h"
#include "tables/material_entry.h"
#include "tables/material_table.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"
#include "xbase/lock_holder.h"

namespace zeb {
namespace {

using test::MaterialRows;
using test::ReadFileBytes;
using test::TablesTest;
namespace fs = std::filesystem;

class MaterialTable : public TablesTest {};

long double Num(const std::string& text) { return text.empty() ? 0 : zeb::test::DecimalValue(text); }

// Every member of the record against the CSV row (d0 1 when empty).
void ExpectRow(const MaterialRecord& m, const std::map<std::string, std::string>& row) {
  SCOPED_TRACE(row.at("name1"));
  EXPECT_EQ(m.Name1, FromUtf8(CodePage::Cp850, row.at("name1")));
  EXPECT_EQ(m.Name2, FromUtf8(CodePage::Cp850, row.at("name2")));
  EXPECT_EQ(m.Name3, FromUtf8(CodePage::Cp850, row.at("name3")));
  EXPECT_EQ(m.Name4, FromUtf8(CodePage::Cp850, row.at("name4")));
  EXPECT_EQ(m.G, Num(row.at("G")));
  EXPECT_EQ(m.E, Num(row.at("E")));
  EXPECT_NEAR(MaterialReal(m.Density), Num(row.at("density")), 1e-9);
  EXPECT_EQ(m.Rm0, Num(row.at("Rm0")));
  EXPECT_NEAR(MaterialReal(m.DR0), Num(row.at("DR0")), 1e-9);
  EXPECT_EQ(m.RmMax, Num(row.at("RmMax")));
  EXPECT_EQ(m.RmSlope, Num(row.at("RmSlope")));
  EXPECT_NEAR(MaterialReal(m.d0), row.at("d0").empty() ? 1.0L : Num(row.at("d0")), 1e-9);
  EXPECT_EQ(m.Unpeened.tauo0, Num(row.at("tauo0")));
  EXPECT_EQ(m.Unpeened.tauoSlope, Num(row.at("tauoSlope")));
  EXPECT_EQ(m.Unpeened.tauh0, Num(row.at("tauh0")));
  EXPECT_EQ(m.Unpeened.tauhSlope, Num(row.at("tauhSlope")));
  EXPECT_NEAR(MaterialReal(m.Unpeened.GoodmanSlope), Num(row.at("GoodmanSlope")), 1e-9);
  EXPECT_EQ(m.Peened.tauo0, Num(row.at("tauo0_p")));
  EXPECT_NEAR(MaterialReal(m.Peened.GoodmanSlope), Num(row.at("GoodmanSlope_p")), 1e-9);
  EXPECT_NEAR(MaterialReal(m.dmin), Num(row.at("dmin")), 1e-9);
  EXPECT_NEAR(MaterialReal(m.dmax), Num(row.at("dmax")), 1e-9);
  EXPECT_EQ(m.Tmax, Num(row.at("Tmax")));
  EXPECT_EQ(m.Text, row.at("text"));
  EXPECT_EQ(m.MaterialNumber, Num(row.at("number")));
}

TEST_F(MaterialTable, LoadByNumberTakesTheCsvRowIntoRecordAndSpring) {
  EXPECT_EQ(MaterialKey(7), "        7");
  const auto rows = MaterialRows();
  ASSERT_EQ(rows.size(), 20u);
  for (std::uint16_t n : {7, 1, 15, 20}) {
    ASSERT_TRUE(MaterialLoadByNumber(n)) << n;
    ExpectRow(ZEBWST_Record(), rows[n - 1]);
  }
  ASSERT_TRUE(MaterialLoadByNumber(7));
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(s.MaterialName, "EN 10270-2 TDC");
  EXPECT_EQ(s.G, 79500);
  EXPECT_EQ(s.E, 206000);
  EXPECT_NEAR(s.rho, 7.85L, 1e-9L);
  EXPECT_EQ(s.MaterialSel, 0);
  EXPECT_EQ(ZEBWST_Record().Name3, std::string("ölschlussvergütet"_oem));
  EXPECT_FALSE(TheTableWindow().IsOpen());

  // A number not in the table: false, record unchanged, no message.
  EXPECT_FALSE(MaterialLoadByNumber(99));
  EXPECT_EQ(ZEBWST_Record().MaterialNumber, 7);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(MaterialTable, MarkedMaterialsAreFoundAfterABrowseThatHidThem) {
  TableOpen("zebwst");
  TableBrowse(1);
  EXPECT_EQ(browser().Seen().back().substr(0, 14), "mode 1 hide 1 ");
  EXPECT_EQ(G().AbortFlag, 1);
  // Material 16 carries the mark (no strength law).
  EXPECT_TRUE(MaterialLoadByNumber(16));
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10089 51CrV4");
  EXPECT_TRUE(LoadMaterialRow(1));
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10270-1 SL");
}

// The reader's lookups find what a seek in the number index finds, marked
// rows too, and make no index file and no semaphore file. A number two
// rows hold is named with both rows, in the material table and in the
// strength tables.
TEST_F(MaterialTable, ReaderLookupsFindWhatTheIndexFinds) {
  const std::string zebwst = test::ReadBytes(dbf() / "zebwst.dbf");
  TableOpen("zebwst");
  const std::int32_t twinRow = TableRecCount() + 1;
  TableGo(3);
  MaterialReadRecord();
  MaterialRecord twin = ZEBWST_Record();
  twin.Name1 = "TWIN OF 3";
  ASSERT_TRUE(TableAppend());
  ZEBWST_Record() = twin;
  MaterialWriteRecord();
  TableClose();
  ui().ExpectMessageBox("Fehler", "Tabelle " + (dbf() / "zebwst.dbf").string() + " beschädigt: Satz 3 und Satz " +
                                      std::to_string(twinRow) + ", Feld MATNR: Werkstoffnummer 3 doppelt");
  EXPECT_FALSE(LoadMaterialRow(16));
  test::WriteBytes(dbf() / "zebwst.dbf", zebwst);
  G().AbortFlag = 0;
  // Rows 6 of both strength tables renumbered 3: behind the real row 3.
  for (const char* t : {"zebrmmin", "zebrmmax"}) {
    const std::string intact = test::ReadBytes(dbf() / (std::string(t) + ".dbf"));
    TableOpen(t);
    TableGo(6);
    TablePutIntByName("MATNR", 3);
    TableClose();
    ui().ExpectMessageBox("Fehler", "Tabelle " + (dbf() / (std::string(t) + ".dbf")).string() +
                                        " beschädigt: Satz 3 und Satz 6, Feld MATNR: Werkstoffnummer 3 doppelt");
    ResetErrorMessages();
    LoadRmTables(3);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Fatal  : " + std::string(t) + " dbf error"});
    test::WriteBytes(dbf() / (std::string(t) + ".dbf"), intact);
    G().AbortFlag = 0;
  }
  ResetErrorMessages();
  G().AbortFlag = 0;
  ASSERT_TRUE(MaterialLoadByNumber(3));  // through the index
  const std::string byIndex = ZEBWST_Record().Name1;
  ResetMaterialRecord();
  ASSERT_TRUE(LoadMaterialRow(3));
  EXPECT_EQ(ZEBWST_Record().Name1, byIndex);
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10270-1 SH");
  ASSERT_TRUE(LoadMaterialRow(16));  // marked
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10089 51CrV4");
  ASSERT_TRUE(LoadRmTables(3));
  const RmTableT byScan = RmTable();
  EXPECT_EQ(byScan.Name, "EN 10270-1 SH");
  for (int k = 1; k <= 2; ++k) {
    TableOpen(k == 1 ? "zebrmmin" : "zebrmmax");
    TableMakeIndex(TableFieldName(1), "check");
    TableSeek(MaterialKey(3));
    ASSERT_TRUE(TableFound());
    EXPECT_EQ(TextToInt(TableGetField(40)), (k == 1 ? byScan.Min : byScan.Max)[37]) << k;
    TableClose();
  }
  fs::remove(temp() / "check.ndx");
  fs::remove(temp() / "zebwst.ndx");
  ResetErrorMessages();
  ASSERT_TRUE(LoadMaterialRow(5));
  ASSERT_TRUE(LoadRmTables(5));
  EXPECT_TRUE(fs::is_empty(temp()));
  for (const auto& e : fs::directory_iterator(dbf())) EXPECT_NE(e.path().extension(), ".@S@") << e.path();
}

TEST_F(MaterialTable, LoadMaterialRowForTheReader) {
  ResetSpringData();
  EXPECT_TRUE(LoadMaterialRow(3));
  ExpectRow(ZEBWST_Record(), MaterialRows()[2]);
  // The spring data is left to the reader.
  EXPECT_EQ(SpringData().MaterialName, "");
  for (int n : {0, -1}) EXPECT_FALSE(LoadMaterialRow(n)) << n;
  // A number in no row is named: the reader would calculate without it.
  for (int n : {21, 65535}) {
    ui().ExpectMessageBox("", "Werkstoffnummer " + std::to_string(n) + " steht in keinem Satz der Tabelle " +
                                  (dbf() / "zebwst.dbf").string());
    EXPECT_FALSE(LoadMaterialRow(n)) << n;
    EXPECT_EQ(G().AbortFlag, 1);
  }
  EXPECT_EQ(ZEBWST_Record().MaterialNumber, 3);

  // A missing table: false, with the abort flag set for the reader.
  fs::remove(dbf() / "zebwst.dbf");
  G().ShowErrorsSwitch = 0;
  ui().ExpectMessageBox("", "zebwst.dbf nicht gefunden oder kein Zugriffsrecht !");
  EXPECT_FALSE(LoadMaterialRow(3));
  EXPECT_EQ(G().ShowErrorsSwitch, 0);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Fatal  : ZEBWST DBF error"});
}

TEST_F(MaterialTable, SelectTakesTheChosenMaterialOrNothing) {
  // OK on record 5 (DH).
  browser().Answer({true, 5, 3, 2});
  MaterialSelect(2);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(MaterialSource(), 5);
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10270-1 DH");
  EXPECT_EQ(SpringData().MaterialName, "EN 10270-1 DH");
  EXPECT_EQ(SpringData().G, 81500);
  EXPECT_EQ(SpringData().MaterialSel, 0);
  EXPECT_EQ(TableGlobals().TableLastRecNo, 5);
  EXPECT_EQ(TableGlobals().LastKeyCode, 13);
  // Its strength limits come with it: DH at 0.05 mm and at 4 mm.
  EXPECT_EQ(SG().RmTableLoaded, 1);
  EXPECT_EQ(RmTable().Min[0], 2800);
  EXPECT_EQ(RmTable().Max[61 - 1], 1930);
  EXPECT_EQ(browser().Seen().back(), "mode 0 hide 0 titles |Material");
  EXPECT_FALSE(TheTableWindow().IsOpen());

  // Mode 3 starts on the current material; Cancel changes nothing.
  MaterialSource() = 12;
  std::int32_t shown = 0;
  browser().During([&](TableWindow& w) { shown = w.RecNo(); });
  const MaterialRecord before = ZEBWST_Record();
  MaterialSelect(3);
  EXPECT_EQ(shown, 12);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(TableGlobals().LastKeyCode, 27);
  EXPECT_EQ(MaterialSource(), 12);
  EXPECT_EQ(ZEBWST_Record().Name1, before.Name1);
  EXPECT_EQ(SpringData().MaterialName, "EN 10270-1 DH");

  EXPECT_EQ(RmTable().MaterialNumber, 5);  // Cancel keeps the limits too

  // Mode 0 first asks for a new material.
  ui().ExpectYesNo("Neuen Werkstoff eintragen ?", false);
  browser().Answer({true, 2, 0, 0});
  MaterialSelect(0);
  EXPECT_EQ(MaterialSource(), 2);
  EXPECT_EQ(RmTable().MaterialNumber, 2);
  EXPECT_EQ(RmTable().Min[15], 2370);  // SM at 0.30 mm
}

// The reader's load of a spring's table material brings its strength
// limits; a material without published ranges leaves none.
TEST_F(MaterialTable, RowOfASpringFileBringsItsStrengthLimits) {
  ASSERT_TRUE(LoadMaterialRow(6));  // EN 10270-2 FDC: 0.5 to 0.7 mm
  EXPECT_EQ(SG().RmTableLoaded, 1);
  for (std::size_t i = 0; i < kRmTableSize; ++i) {
    const Real d = kStandardDiameterSteps[i] / 100.0L;
    EXPECT_EQ(RmTable().Min[i], d >= 0.5L && d <= 0.7L ? 1900 : 0) << i;
    EXPECT_EQ(RmTable().Max[i], d >= 0.5L && d <= 0.7L ? 2100 : 0) << i;
  }
  ASSERT_TRUE(LoadMaterialRow(1));  // EN 10270-1 SL: a row of blanks
  EXPECT_EQ(RmTable().MaterialNumber, 1);
  EXPECT_EQ(RmTable().Min, (std::array<std::int32_t, kRmTableSize>{}));
  ui().ExpectMessageBox("", "Werkstoffnummer 99 steht in keinem Satz der Tabelle");
  EXPECT_FALSE(LoadMaterialRow(99));
  EXPECT_EQ(SG().RmTableLoaded, 0);
}

TEST_F(MaterialTable, FoldersWithBlanksAndUmlauts) {
  const fs::path odd = dbf().parent_path() / "dbf dir \xc3\xa4";
  fs::create_directories(odd);
  fs::copy_file(dbf() / "zebwst.dbf", odd / "zebwst.dbf");
  fs::create_directories(temp() / "temp \xc3\xa4");
  G().DbfFolder = odd.string();
  G().TempFolder = (temp() / "temp \xc3\xa4").string();
  ASSERT_TRUE(MaterialLoadByNumber(6));
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10270-2 FDC");
  EXPECT_TRUE(fs::exists(temp() / "temp \xc3\xa4" / "zebwst.ndx"));
}

TEST_F(MaterialTable, StrengthTablesFillRmTable) {
  ASSERT_TRUE(LoadRmTables(2));  // EN 10270-1 SM
  const RmTableT& t = RmTable();
  EXPECT_EQ(SG().RmTableLoaded, 1);
  EXPECT_EQ(t.MaterialNumber, 2);
  EXPECT_EQ(t.Name, "EN 10270-1 SM");
  // By hand from the published ranges (the first range of the grade that
  // holds the slot's diameter); wire thinner than 0.30 mm lies below SM's
  // dmin, every slot from 0.30 to 20 mm has a value.
  struct Slot {
    int index;  // 0-based
    Real d;
    std::int32_t min, max;
  };
  for (const Slot& e : {Slot{15, 0.30L, 2370, 2650}, Slot{16, 0.32L, 2270, 2550}, Slot{36, 1.00L, 1980, 2250},
                        Slot{50, 2.25L, 1700, 1910}, Slot{61, 4.25L, 1500, 1680}, Slot{85, 14.50L, 1160, 1260},
                        Slot{93, 20.00L, 1020, 1150}}) {
    SCOPED_TRACE(e.index);
    EXPECT_EQ(kStandardDiameterSteps[static_cast<std::size_t>(e.index)], std::lround(e.d * 100));
    EXPECT_EQ(t.Min[static_cast<std::size_t>(e.index)], e.min);
    EXPECT_EQ(t.Max[static_cast<std::size_t>(e.index)], e.max);
  }
  for (std::size_t i = 0; i < kRmTableSize; ++i) {
    EXPECT_EQ(t.Min[i] > 0, i >= 15) << i;
    EXPECT_EQ(t.Max[i] > 0, i >= 15) << i;
    if (i > 15) {
      EXPECT_LE(t.Min[i], t.Min[i - 1] + 30) << i;  // only the 14 - 15 mm row rises (by 30)
    }
  }

  // Not in either table: false and an empty block.
  EXPECT_FALSE(LoadRmTables(77));
  EXPECT_EQ(SG().RmTableLoaded, 0);
  EXPECT_EQ(RmTable().Min, (std::array<std::int32_t, kRmTableSize>{}));
  EXPECT_EQ(RmTable().MaterialNumber, 0);
}

TEST_F(MaterialTable, StrengthTableOfOneKindOnly) {
  // Material 5 renumbered in zebrmmax: found in zebrmmin only.
  TableOpen("zebrmmax");
  TableGo(5);
  TablePutIntByName("MATNR", 99);
  TableClose();
  ASSERT_TRUE(LoadRmTables(5));
  EXPECT_EQ(SG().RmTableLoaded, 1);
  EXPECT_EQ(RmTable().Min[0], 2800);  // DH at 0.05 mm
  EXPECT_EQ(RmTable().Max, (std::array<std::int32_t, kRmTableSize>{}));

  // zebrmmax missing: the minimum stays loaded.
  fs::remove(dbf() / "zebrmmax.dbf");
  ui().ExpectMessageBox("", "zebrmmax.dbf nicht gefunden");
  EXPECT_TRUE(LoadRmTables(5));
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(RmTable().Min[0], 2800);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Fatal  : zebrmmax dbf error"});
}

TEST_F(MaterialTable, DamagedOrShortTablesGiveZerosAndMessagesNotCrashes) {
  {
    std::ofstream out(dbf() / "zebwst.dbf", std::ios::binary | std::ios::trunc);
    out << std::string("\x03\x7b\x0b\x0e", 4) << std::string(40, '\x7f');
  }
  ui().ExpectMessageBox("Fehler", "Tabelle " + (dbf() / "zebwst.dbf").string() +
                                      " besch\u00e4digt: Kopfl\u00e4nge 32639 ung\u00fcltig");
  EXPECT_FALSE(MaterialLoadByNumber(3));
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Fatal  : ZEBWST DBF error"});

  // A material table of two fields: no key field, no material, no throw.
  fs::remove(dbf() / "zebwst.dbf");
  fs::copy_file(dbf() / "din2077.dbf", dbf() / "zebwst.dbf");
  ResetErrorMessages();
  ui().ExpectMessageBox("Fehler", "Fehler : DBF Error 254\n");
  EXPECT_FALSE(MaterialLoadByNumber(3));
  ui().ExpectMessageBox("Fehler", "Fehler : DBF Error 254\n");
  EXPECT_FALSE(LoadMaterialRow(3));

  // A strength table of another kind: its first field holds diameters, no
  // material numbers, and is named.
  fs::remove(dbf() / "zebrmmin.dbf");
  fs::copy_file(dbf() / "din2076.dbf", dbf() / "zebrmmin.dbf");
  ResetErrorMessages();
  ui().ExpectMessageBox("Fehler", "Tabelle " + (dbf() / "zebrmmin.dbf").string() +
                                      " besch\u00e4digt: Satz 1, Feld D: keine Werkstoffnummer (\"0.07\")");
  EXPECT_FALSE(LoadRmTables(3));
  EXPECT_EQ(RmTable().Min, (std::array<std::int32_t, kRmTableSize>{}));
  // Two number fields where the material table has its names: named, not read.
  G().AbortFlag = 0;
  TableOpen("din2077");
  ResetSpringGlobals();
  TableGo(3);
  ZEBWST_Record().Name1 = "before";
  ui().ExpectMessageBox("Fehler", "Tabelle " + (dbf() / "din2077.dbf").string() +
                                      " besch\u00e4digt: Feld D ist kein Textfeld");
  MaterialReadRecord();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ZEBWST_Record().Name1, "before");
}

TEST_F(MaterialTable, FieldTextsThatDoNotFitReadAsZero) {
  // Stored texts a user or another program may leave: too large (9
  // characters stay) read as numbers; no number (an exponent, a lone sign)
  // makes the row a damage, named, and not read.
  xbase::SetTzRaiseMode(true);
  xbase::Select(25);
  xbase::USE((dbf() / "zebwst.dbf").string() + " EXCLUSIVE");
  xbase::Poke("9999999999", 5, 3);      // G
  xbase::Poke("999999999", 27, 3);      // MATNR
  xbase::CloseArea();
  TableOpen("zebwst");
  TableGo(3);
  MaterialReadRecord();
  TableClose();
  const MaterialRecord& m = ZEBWST_Record();
  EXPECT_EQ(m.G, 999999999);
  EXPECT_EQ(m.MaterialNumber, 999999999);
  // An exponent: the row is named damaged and not read.
  xbase::Select(25);
  xbase::USE((dbf() / "zebwst.dbf").string() + " EXCLUSIVE");
  xbase::Poke("    1e300", 7, 3);  // RHO
  xbase::CloseArea();
  TableOpen("zebwst");
  TableGo(3);
  ui().ExpectMessageBox("Fehler", "Tabelle " + (dbf() / "zebwst.dbf").string() +
                                      " besch\u00e4digt: Satz 3, Feld RHO: Exponent in einem Zahlenfeld (\"1e300\")");
  MaterialReadRecord();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(m.MaterialNumber, 999999999);  // the record as it was
}

// ----------------------------------------------------------- new material

class NewMaterial : public TablesTest {
 protected:
  // The questions of a new material up to the Goodman question, answered.
  void ExpectProperties(const char* dx) {
    ui().ExpectInputText("Werkstoff", "Eigener Draht");
    ui().ExpectInputText("Elastizitätsmodul E  [N/mm²]", "200000");
    ui().ExpectInputText("Schubmodul G  [N/mm²]", "78000");
    ui().ExpectInputText("Dichte rho  [kg/dm^3]", "7.9");
    ui().ExpectInputText("Name 2", "Zweitname");
    ui().ExpectInputText("Name 3", "Prüfung");
    ui().ExpectInputText("Name 4", TextAnswer::Keep());
    ui().ExpectInputText("Drahtdurchmesser d0", "1");
    ui().ExpectInputText("Zugfestigkeit Rm0 bei d= 1 mm  [N/mm²]", "2000");
    ui().ExpectInputText("Drahtdurchmesser dx", dx).Value("10");
    if (std::string(dx) == "1") ui().ExpectInputText("Drahtdurchmesser dx", "10");
    ui().ExpectInputText("Zugfestigkeit Rmx bei d= 10 mm  [N/mm²]", "1300").Value("500");
    ui().ExpectInputText("Max. Zugfestigkeit Rm max (bei d=0.1mm) [N/mm²]", "2600");
    ui().ExpectInputText("Drahtdurchmesser dmin [mm]", "0.5");
    ui().ExpectInputText("Drahtdurchmesser dmax [mm]", "12");
    ui().ExpectInputText("Max. Betriebstemperatur Tmax [°C]", "150");
  }
};

TEST_F(NewMaterial, AskedInOrderAndAppendedWithTheNextNumber) {
  ResetMaterialRecord();
  SpringData().MaterialName = "";
  ExpectProperties("1");  // dx equal to d0 is asked again
  ui().ExpectYesNo("Goodman-Diagramm ?", true);
  ui().ExpectInputText("zul. Schubspannung tauo0 bei d = 1 mm  [N/mm²]", "1000").Value("1120");
  ui().ExpectInputText("Drahtdurchmesser dx", "10").Value("10");
  ui().ExpectInputText("zul. Schubspannung tauo bei d = 10 mm  [N/mm²]", "600").Value("728");
  ui().ExpectInputText("zulässige Hubspannung tauh0 bei d=1, tau u=0  [N/mm²]", "500").Value("600");
  ui().ExpectInputText("zulässige Hubspannung tauhx bei d = 10 mm  [N/mm²]", "300").Value("390");
  ui().ExpectInputText("zul. Schubspannung tau u lim. bei d = 1 mm  [N/mm²]", "625").Value("666.7");
  MaterialNewEntry();
  ASSERT_EQ(G().AbortFlag, 0);

  TableOpen("zebwst");
  EXPECT_EQ(TableRecCount(), 21);
  TableGo(21);
  MaterialReadRecord();
  const MaterialRecord& m = ZEBWST_Record();
  EXPECT_EQ(m.Name1, "Eigener Draht");
  EXPECT_EQ(m.Name3, std::string("Prüfung"_oem));
  EXPECT_EQ(m.E, 200000);
  EXPECT_EQ(m.G, 78000);
  EXPECT_NEAR(MaterialReal(m.Density), 7.9L, 1e-9L);
  EXPECT_EQ(m.Rm0, 2000);
  EXPECT_EQ(m.RmSlope, 700);  // (2000 - 1300) / log10(10 / 1)
  EXPECT_EQ(m.RmMax, 2600);
  EXPECT_EQ(m.Unpeened.tauo0, 1000);
  EXPECT_EQ(m.Unpeened.tauoSlope, 400);
  EXPECT_EQ(m.Unpeened.tauh0, 500);
  EXPECT_EQ(m.Unpeened.tauhSlope, 200);
  EXPECT_NEAR(MaterialReal(m.Unpeened.GoodmanSlope), 0.8L, 1e-9L);  // (1000 - 500) / 625
  EXPECT_NEAR(MaterialReal(m.dmax), 12, 1e-9);
  EXPECT_EQ(m.Tmax, 150);
  EXPECT_EQ(m.MaterialNumber, 21);
}

TEST_F(NewMaterial, WithoutGoodmanValuesAfterAPackNumbersStayUnique) {
  // The pack removes the five marked materials (1, 15, 16, 17, 20): 15
  // records, numbers 2..14, 18, 19.
  TableOpen("zebwst");
  ASSERT_TRUE(TheTableWindow().Pack());
  EXPECT_EQ(TableRecCount(), 15);
  TableClose();
  ResetMaterialRecord();
  ExpectProperties("10");
  ui().ExpectYesNo("Goodman-Diagramm ?", false);
  MaterialNewEntry();
  TableOpen("zebwst");
  EXPECT_EQ(TableRecCount(), 16);
  TableGo(16);
  MaterialReadRecord();
  EXPECT_EQ(ZEBWST_Record().MaterialNumber, 20);  // above 19, the highest left
  EXPECT_EQ(ZEBWST_Record().Unpeened.tauo0, 0);
  EXPECT_EQ(ZEBWST_Record().Unpeened.tauhSlope, 0);
  EXPECT_NEAR(MaterialReal(ZEBWST_Record().d0), 1.0L, 1e-9L);
  EXPECT_NEAR(MaterialReal(ZEBWST_Record().Unpeened.GoodmanSlope), 0, 1e-9);
}

TEST_F(NewMaterial, ACancelAnywhereLeavesTheTable) {
  const std::string before = ReadFileBytes(dbf() / "zebwst.dbf");
  ui().ExpectInputText("Werkstoff", "X");
  ui().ExpectInputText("Elastizitätsmodul", "200000");
  ui().ExpectInputText("Schubmodul", TextAnswer::Cancel());
  MaterialNewEntry();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ReadFileBytes(dbf() / "zebwst.dbf"), before);

  G().AbortFlag = 0;
  ExpectProperties("10");
  ui().ExpectYesNo("Goodman-Diagramm ?", true);
  ui().ExpectInputText("zul. Schubspannung tauo0", TextAnswer::Cancel());
  MaterialNewEntry();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ReadFileBytes(dbf() / "zebwst.dbf"), before);
}

// Database > Werkstoff > Ja while another program holds the table's append
// lock: the retry question; Retry asks again, Cancel ends the command with
// the table untouched, and the next entry offers every value typed.
TEST_F(NewMaterial, LockedTableOffersRetryAndKeepsTheTypedValues) {
  const fs::path table = dbf() / "zebwst.dbf";
  const std::string before = ReadFileBytes(table);
  ResetMaterialRecord();
  SpringData().MaterialName = "";
  {
    xbase::test::LockHolder other(table.string(), true);
    ASSERT_TRUE(other.locked);
    ui().ExpectYesNo("Neuen Werkstoff eintragen ?", true);
    ExpectProperties("10");
    ui().ExpectYesNo("Goodman-Diagramm ?", true);
    ui().ExpectInputText("zul. Schubspannung tauo0 bei d = 1 mm  [N/mm²]", "1000");
    ui().ExpectInputText("Drahtdurchmesser dx", "10");
    ui().ExpectInputText("zul. Schubspannung tauo bei d = 10 mm  [N/mm²]", "600");
    ui().ExpectInputText("zulässige Hubspannung tauh0 bei d=1, tau u=0  [N/mm²]", "500");
    ui().ExpectInputText("zulässige Hubspannung tauhx bei d = 10 mm  [N/mm²]", "300");
    ui().ExpectInputText("zul. Schubspannung tau u lim. bei d = 1 mm  [N/mm²]", "625");
    ui().ExpectQuestion("", "von einem anderen Programm gesperrt; der neue Datensatz", Answer::Retry);
    ui().ExpectQuestion("", "von einem anderen Programm gesperrt; der neue Datensatz", Answer::Cancel);
    MaterialSelect(0);  // no table browser after the cancel
    EXPECT_EQ(G().AbortFlag, 1);
    EXPECT_EQ(ReadFileBytes(table), before);
  }
  // Something else in between: another material chosen.
  SpringData().MaterialName = "anders";
  SpringData().E = 1;
  ResetMaterialRecord();

  G().AbortFlag = 0;
  const std::vector<std::pair<const char*, const char*>> shown = {
      {"Werkstoff", "Eigener Draht"},
      {"Elastizitätsmodul E  [N/mm²]", "200000"},
      {"Schubmodul G  [N/mm²]", "78000"},
      {"Dichte rho  [kg/dm^3]", "7.9"},
      {"Name 2", "Zweitname"},
      {"Name 3", "Prüfung"},
      {"Drahtdurchmesser d0", "1"},
      {"Zugfestigkeit Rm0 bei d= 1 mm  [N/mm²]", "2000"},
      {"Drahtdurchmesser dx", "10"},
      {"Zugfestigkeit Rmx bei d= 10 mm  [N/mm²]", "1300"},
      {"Max. Zugfestigkeit Rm max (bei d=0.1mm) [N/mm²]", "2600"},
      {"Drahtdurchmesser dmin [mm]", "0.5"},
      {"Drahtdurchmesser dmax [mm]", "12"},
      {"Max. Betriebstemperatur Tmax [°C]", "150"},
  };
  for (const auto& [prompt, value] : shown) {
    if (std::string(prompt) == "Drahtdurchmesser d0") ui().ExpectInputText("Name 4", TextAnswer::Keep());
    ui().ExpectInputText(prompt, TextAnswer::Keep()).Value(value);
  }
  ui().ExpectYesNo("Goodman-Diagramm ?", true).Value("J");
  ui().ExpectInputText("zul. Schubspannung tauo0", TextAnswer::Keep()).Value("1000");
  ui().ExpectInputText("Drahtdurchmesser dx", TextAnswer::Keep()).Value("10");
  ui().ExpectInputText("zul. Schubspannung tauo bei", TextAnswer::Keep()).Value("600");
  ui().ExpectInputText("zulässige Hubspannung tauh0", TextAnswer::Keep()).Value("500");
  ui().ExpectInputText("zulässige Hubspannung tauhx", TextAnswer::Keep()).Value("300");
  ui().ExpectInputText("zul. Schubspannung tau u lim.", TextAnswer::Keep()).Value("625");
  MaterialNewEntry();
  ASSERT_EQ(G().AbortFlag, 0);
  TableOpen("zebwst");
  EXPECT_EQ(TableRecCount(), 21);
  TableGo(21);
  MaterialReadRecord();
  const MaterialRecord& m = ZEBWST_Record();
  EXPECT_EQ(m.Name1, "Eigener Draht");
  EXPECT_EQ(m.Name3, std::string("Prüfung"_oem));
  EXPECT_EQ(m.E, 200000);
  EXPECT_EQ(m.RmSlope, 700);
  EXPECT_EQ(m.Unpeened.tauoSlope, 400);
  EXPECT_NEAR(MaterialReal(m.Unpeened.GoodmanSlope), 0.8L, 1e-9L);
  EXPECT_EQ(m.Tmax, 150);
  EXPECT_EQ(m.MaterialNumber, 21);
}

}  // namespace
}  // namespace zeb
