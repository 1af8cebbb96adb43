// The material form's steps on the generated tables: the lists, Rm and
// tau zul following d, the wire-table buttons, OK and Cancel.
#include <cmath>
#include <fstream>

#include "base/format.h"
#include "platform/oem_literal.h"
#include "spring/material.h"
#include "spring/springfile.h"
#include "support_tables.h"
#include "tables/material_form.h"
#include "tables/material_table.h"

namespace zeb {
namespace {

using test::TablesTest;
using test::ReadFileBytes;
namespace fs = std::filesystem;

class MaterialFormTest : public TablesTest {
 protected:
  void SetUp() override {
    TablesTest::SetUp();
    SpringData().MaterialSel = 0;
    MaterialSource() = 3;
    SpringData().d = 2;
    SpringData().WireStd = 1;
  }
  MaterialForm form;
};

TEST_F(MaterialFormTest, PreferredAndAllMaterials) {
  form.Show();
  ASSERT_EQ(form.items.size(), 15u);  // rows 1, 15, 16, 17, 20 lack a figure
  EXPECT_EQ(form.items[0], "        2: EN 10270-1 SM  patentiert gezogen");
  EXPECT_EQ(form.items[5], "        7: EN 10270-2 TDC  " + std::string("ölschlussvergütet"_oem));
  EXPECT_EQ(form.comboText, "        3: EN 10270-1 SH  patentiert gezogen");
  form.SetSource(MaterialForm::kAll);
  ASSERT_EQ(form.items.size(), 20u);
  EXPECT_EQ(form.items[0], "        1: EN 10270-1 SL  patentiert gezogen");
  EXPECT_FALSE(form.ownEnabled);
  form.SetSource(MaterialForm::kOwn);
  EXPECT_TRUE(form.ownEnabled);
}

TEST_F(MaterialFormTest, RmAndTauZulFollowTheDiameter) {
  form.Show();
  form.ChooseItem(1);  // material 3, SH: Rm = 2154 - 819 log10(d)
  EXPECT_EQ(MaterialSource(), 3);
  form.SetDiameterText("2");
  const long double rm = 2154 - 819 * std::log10(2.0L);
  EXPECT_NEAR(SpringData().Rm, rm, 1e-9L);
  EXPECT_EQ(form.rm, FormatStress(rm));
  EXPECT_EQ(form.tauz, FormatStress(0.56L * rm));
  // The wire standard of the material chosen: EN 10270-1, its tolerance
  // that of T4 of EN 10218-2 from 1.78 mm.
  EXPECT_EQ(form.tolIndex, 8);
  EXPECT_EQ(form.tolText, FormatLength(0.025L));
  // Hot-coiled: tau zul = 840 - 250 log10(0.05 d).
  SpringData().CoilingKind = 2;
  form.SetDiameterText("20");
  EXPECT_NEAR(SpringData().tauzul, 840.0L, 1e-9L);
  form.SetDiameterText("40");
  EXPECT_NEAR(SpringData().tauzul, 840 - 250 * std::log10(2.0L), 1e-9L);
  // A diameter of 0.001 mm or less is taken as 0.05 mm.
  form.SetDiameterText("0.001");
  EXPECT_EQ(SpringData().d, 0.05L);
}

TEST_F(MaterialFormTest, OkTakesTheChoiceCancelRestores) {
  ASSERT_TRUE(MaterialLoadByNumber(5));  // the spring's material, DH
  MaterialSource() = 5;
  form.Show();
  form.ChooseItem(5);  // material 7, TDC
  EXPECT_EQ(SpringData().MaterialName, "EN 10270-2 TDC");
  form.Cancel();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(MaterialSource(), 5);
  EXPECT_EQ(ZEBWST_Record().Name1, "EN 10270-1 DH");
  EXPECT_EQ(SpringData().MaterialName, "EN 10270-1 DH");

  form.Show();
  form.ChooseItem(0);  // SM
  form.surface = 2;
  form.SetToleranceIndex(15);  // typed tolerance
  EXPECT_TRUE(form.tolEnabled);
  form.SetToleranceText("0.02");
  form.tolMin = "10";
  form.tolMax = "-5";
  form.Ok();
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(s.MaterialSel, 0);
  EXPECT_EQ(s.MaterialCoiling, 3);
  EXPECT_EQ(s.WireStd, 16);
  EXPECT_EQ(s.TolWire, 0.02L);
  EXPECT_EQ(s.FatigueTol1, -5);
  EXPECT_EQ(s.FatigueTol2, 10);
  EXPECT_EQ(SG().RmTableLoaded, 1);
  EXPECT_EQ(RmTable().Min[15], 2370);

  // A material of one's own.
  form.Show();
  form.SetSource(MaterialForm::kOwn);
  form.name = "Eigener";
  form.emodul = "200000";
  form.rm = "1500";
  form.Ok();
  EXPECT_EQ(s.MaterialSel, 11);
  EXPECT_EQ(s.MaterialName, "Eigener");
  EXPECT_EQ(s.E, 200000);
  EXPECT_EQ(s.Rm, 1500);
  EXPECT_EQ(SG().RmTableLoaded, 0);
  // Nothing of the table material shown before stays in the record.
  EXPECT_EQ(ZEBWST_Record().Name1, "");
  EXPECT_EQ(ZEBWST_Record().Rm0, 0);
}

// Every numeric field refuses a text that is not a number with the message
// of the typed-number check: OK gives false, the field shows its value
// again, nothing is stored; a field left as shown keeps its exact value.
TEST_F(MaterialFormTest, TextsThatAreNotNumbersAreRefused) {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11, s.MaterialName = "Eigener", s.E = 206000, s.G = 81500.4L, s.rho = 7.85L;
  s.Rm = 1880.25L, s.tauzul = 1052.9L, s.d = 2.0004L, s.WireStd = 16, s.TolWire = 0.0251L;
  s.FatigueTol1 = -5.01L, s.FatigueTol2 = 4.999L;
  const SpringDataRecord before = s;
  std::string MaterialForm::*const fields[] = {&MaterialForm::emodul, &MaterialForm::gmodul, &MaterialForm::dichte,
                                               &MaterialForm::rm,     &MaterialForm::tauz,   &MaterialForm::dd,
                                               &MaterialForm::tolText, &MaterialForm::tolMin, &MaterialForm::tolMax};
  for (auto field : fields) {
    for (const char* text : {"abc", "1,2,3", ""}) {
      form.Show();
      ASSERT_EQ(form.source, MaterialForm::kOwn);
      ASSERT_TRUE(form.tolEnabled);
      const std::string shown = form.*field;
      if (field == &MaterialForm::dd)
        form.SetDiameterText(text);  // while typing d stays
      else
        form.*field = text;
      ui().ExpectMessageBox("Fehler", "Ung\u00fcltige Eingabe \"" + std::string(text) + "\" !");
      EXPECT_FALSE(form.Ok()) << shown;
      EXPECT_EQ(form.*field, shown);
      EXPECT_EQ(FormatSpringFile(CurrentSpringFileRecords()), FormatSpringFile([&] {
                  SpringFileRecords r = CurrentSpringFileRecords();
                  r.SpringData = before;
                  return r;
                }()));
      EXPECT_EQ(s.G, before.G);
      EXPECT_EQ(s.d, before.d);
      form.Cancel();
    }
  }
  // A negative modulus is out of its range.
  form.Show();
  form.gmodul = "-81500";
  ui().ExpectMessageBox("Fehler", "G\u00fcltiger Wertebereich: 0 .. 10000000 !");
  EXPECT_FALSE(form.Ok());
  form.Cancel();
  // OK with nothing typed: every value exact as it was (shown rounded:
  // 81500, 1880, 1053, 2, 0.025, -5.01, 5).
  form.Show();
  EXPECT_EQ(form.gmodul, "81500");
  EXPECT_TRUE(form.Ok());
  EXPECT_EQ(s.G, before.G);
  EXPECT_EQ(s.Rm, before.Rm);
  EXPECT_EQ(s.tauzul, before.tauzul);
  EXPECT_EQ(s.d, before.d);
  EXPECT_EQ(s.TolWire, before.TolWire);
  EXPECT_EQ(s.FatigueTol1, before.FatigueTol1);
  EXPECT_EQ(s.FatigueTol2, before.FatigueTol2);
  // Typed numbers are taken.
  form.Show();
  form.gmodul = "80000";
  form.SetDiameterText("2,5");
  EXPECT_TRUE(form.Ok());
  EXPECT_EQ(s.G, 80000);
  EXPECT_EQ(s.d, 2.5L);
}

// Cancel on a spring with its own material values leaves it so, although
// the form showed table materials meanwhile.
TEST_F(MaterialFormTest, CancelKeepsASpringOfItsOwnMaterial) {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11, s.MaterialName = "Eigener", s.E = 200000, s.G = 78000, s.rho = 7.9L, s.Rm = 1500;
  ZEBWST_Record() = DefaultMaterialRecord();
  MaterialSource() = 5;
  const SpringDataRecord before = s;
  form.Show();
  form.SetSource(MaterialForm::kPreferred);
  form.ChooseItem(1);  // SH shown
  EXPECT_EQ(s.MaterialSel, 0);
  form.Cancel();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(s.MaterialSel, 11);
  EXPECT_EQ(s.MaterialName, "Eigener");
  EXPECT_EQ(s.E, before.E);
  EXPECT_EQ(s.G, before.G);
  EXPECT_EQ(s.rho, before.rho);
  EXPECT_EQ(s.Rm, before.Rm);
  EXPECT_EQ(s.tauzul, before.tauzul);
  EXPECT_EQ(MaterialSource(), 5);
  EXPECT_EQ(ZEBWST_Record().Name1, "");
}

// A table source with no table material shown (the spring's number is in
// no row): OK is refused with a message and nothing of the spring changes;
// once a material is shown, OK takes it.
TEST_F(MaterialFormTest, TableSourceWithoutAMaterialRefusesOk) {
  SpringDataRecord& s = SpringData();
  s.MaterialSel = 11, s.MaterialName = "Eigener", s.E = 206000, s.Rm = 1460, s.tauzul = 817.6L;
  MaterialSource() = 0;
  const SpringDataRecord before = s;
  form.Show();
  for (int source : {MaterialForm::kPreferred, MaterialForm::kAll}) {
    form.SetSource(source);
    EXPECT_EQ(form.comboText, "");
    ui().ExpectMessageBox("", "Kein Werkstoff gew\u00e4hlt: bitte einen Werkstoff aus der Liste w\u00e4hlen.");
    EXPECT_FALSE(form.Ok());
    EXPECT_EQ(s.MaterialSel, 11);
    EXPECT_EQ(s.MaterialName, before.MaterialName);
    EXPECT_EQ(s.Rm, before.Rm);
    EXPECT_EQ(s.tauzul, before.tauzul);
    EXPECT_EQ(MaterialSource(), 0);
  }
  // The database button left with Cancel chooses nothing either.
  browser().Answer({false, 0, 0, 0});
  form.DatabaseButton();
  ui().ExpectMessageBox("", "Kein Werkstoff");
  EXPECT_FALSE(form.Ok());
  form.ChooseItem(1);
  EXPECT_TRUE(form.Ok());
  EXPECT_EQ(s.MaterialSel, 0);
  EXPECT_GT(s.Rm, 0);
  EXPECT_EQ(MaterialSource(), ZEBWST_Record().MaterialNumber);
}

// A table row without a figure the calculation needs (the CSV the tables
// are made from leaves G and density of 1.4568 empty) says so in the list
// and is never taken: not from the list, not through the database button,
// not by OK on a spring that has it, not by Database > Material. The
// material shown stays.
TEST_F(MaterialFormTest, AMaterialWithoutAFigureTheCalculationNeedsIsNotTaken) {
  std::vector<int> lacking;
  for (const auto& row : test::MaterialRows())
    if (row.at("G").empty() || row.at("E").empty() || row.at("density").empty())
      lacking.push_back(std::stoi(row.at("number")));
  ASSERT_EQ(lacking, std::vector<int>{15});
  const std::string refusal =
      "Werkstoff EN 10270-3 1.4568: Schubmodul und Dichte fehlen in der Tabelle, nicht w\u00e4hlbar.";
  SpringDataRecord& s = SpringData();
  ASSERT_TRUE(MaterialLoadByNumber(3));
  form.Show();
  form.SetSource(MaterialForm::kAll);
  const std::string shown = form.comboText;
  std::vector<int> marked;
  for (const std::string& item : form.items)
    if (item.find("(ohne") != std::string::npos) marked.push_back(std::stoi(item.substr(0, 9)));
  EXPECT_EQ(marked, lacking);
  EXPECT_EQ(form.items[14], "       15: EN 10270-3 1.4568 X7CrNiAl17-7 nichtrostend  (ohne Schubmodul und Dichte)");
  ui().ExpectMessageBox("", refusal);
  form.ChooseItem(14);
  browser().Answer({true, 15, 0, 0});
  ui().ExpectMessageBox("", refusal);
  form.DatabaseButton();
  EXPECT_EQ(form.comboText, shown);
  EXPECT_EQ(MaterialSource(), 3);
  EXPECT_EQ(s.G, 81500);
  EXPECT_TRUE(form.Ok());
  EXPECT_EQ(s.MaterialName, "EN 10270-1 SH");
  EXPECT_NEAR(s.rho, 7.85L, 1e-9L);

  // A spring that has it keeps OK from taking it; Cancel leaves it as it was.
  ASSERT_TRUE(MaterialLoadByNumber(15));
  MaterialSource() = 15;
  form.Show();
  ui().ExpectMessageBox("", refusal);
  EXPECT_FALSE(form.Ok());
  form.Cancel();
  EXPECT_EQ(MaterialSource(), 15);

  // Database > Material: OK on its row takes nothing.
  ASSERT_TRUE(MaterialLoadByNumber(3));
  MaterialSource() = 3;
  const MaterialRecord before = ZEBWST_Record();
  browser().Answer({true, 15, 0, 0});
  ui().ExpectMessageBox("", refusal);
  MaterialSelect(2);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(MaterialSource(), 3);
  EXPECT_EQ(ZEBWST_Record(), before);
  EXPECT_EQ(s.MaterialName, "EN 10270-1 SH");
}

TEST_F(MaterialFormTest, WireTableButtonTakesTheDiameter) {
  form.Show();
  browser().Answer({true, 40, 0, 0});  // DIN 2076 record 40: 1.3 mm
  form.Din2076Button();
  EXPECT_EQ(browser().Seen().back(), "mode 1 hide 1 titles d DIN 2076|");
  EXPECT_NEAR(SpringData().d, 1.3L, 1e-12L);
  EXPECT_EQ(form.tolText, FormatLength(0.025L));
  form.SetToleranceIndex(2);
  browser().Answer({true, 3, 0, 0});  // DIN 2077 record 3: 8 mm
  form.Din2076Button();
  EXPECT_EQ(browser().Seen().back(), "mode 1 hide 1 titles d DIN 2077|");
  EXPECT_NEAR(SpringData().d, 8.0L, 1e-12L);
  EXPECT_EQ(G().AbortFlag, 0);
}

// Bytes of field n (1-based) of record r of a table file.
std::size_t FieldOffset(const std::string& dbf, std::int32_t r, int n) {
  const auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(static_cast<unsigned char>(dbf[at]) |
                                                                       static_cast<unsigned char>(dbf[at + 1]) << 8); };
  std::size_t at = u16(8) + static_cast<std::size_t>(r - 1) * u16(10) + 1;
  for (int k = 1; k < n; ++k) at += static_cast<unsigned char>(dbf[32 * static_cast<std::size_t>(k) + 16]);
  return at;
}

// A tab or NUL in a material's name is a blank in the form's list too, as
// in the printout.
TEST_F(MaterialFormTest, ControlCharactersOfTheNamesAreBlanksInTheList) {
  const fs::path table = dbf() / "zebwst.dbf";
  std::string bytes = ReadFileBytes(table);
  const std::size_t name1 = FieldOffset(bytes, 2, 1);  // material 2: "EN 10270-1"
  bytes[name1 + 2] = '\t';
  bytes[name1 + 5] = '\0';
  std::ofstream(table, std::ios::binary) << bytes;
  form.Show();
  ASSERT_FALSE(form.items.empty());
  EXPECT_EQ(form.items[0], "        2: EN 10 70-1 SM  patentiert gezogen");
}

// The database button on a row whose material cannot be shown leaves the
// wire standard the spring has: only a material the form shows gives it.
TEST_F(MaterialFormTest, AMaterialNotShownLeavesTheWireStandard) {
  const fs::path table = dbf() / "zebwst.dbf";
  std::string bytes = ReadFileBytes(table);
  const std::size_t number = FieldOffset(bytes, 5, 27);  // MATNR of record 5
  bytes.replace(number, 9, "    70000");  // beyond the numbers a spring holds
  std::ofstream(table, std::ios::binary) << bytes;
  form.Show();
  SpringData().WireStd = 1;  // chosen by the user: DIN 2076 B
  form.SetToleranceIndex(0);
  browser().Answer({true, 5, 0, 0});
  form.DatabaseButton();
  EXPECT_EQ(MaterialSource(), 0) << form.comboText;
  EXPECT_EQ(SpringData().WireStd, 1);
  EXPECT_EQ(form.tolIndex, 0);
}

TEST_F(MaterialFormTest, DatabaseButtonGoesByNumberAfterAPack) {
  TableOpen("zebwst");
  ASSERT_TRUE(TheTableWindow().Pack());
  TableClose();
  MaterialSource() = 7;  // now record 6
  form.Show();
  std::string shown;
  browser().During([&](TableWindow& w) { shown = w.GetField(27); });
  browser().Answer({true, 0, 0, 0});
  form.DatabaseButton();
  EXPECT_EQ(shown, "        7");
  EXPECT_EQ(MaterialSource(), 7);
  EXPECT_EQ(form.comboText.substr(0, 11), "        7: ");
  EXPECT_EQ(SpringData().WireStd, 10);  // EN 10270-2
  EXPECT_EQ(form.tolIndex, 9);
}

}  // namespace
}  // namespace zeb
