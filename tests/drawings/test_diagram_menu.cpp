// The diagram menu, its refusals, the dispatch of every code and the
// relaxation row through the table functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "diagram_fixture.h"
#include "drawings/diagram_plots.h"
#include "drawings/drawings.h"
#include "graphics/sink.h"
#include "spring/material.h"
#include "spring/strength.h"

namespace zeb::test {
namespace {

using DiagramMenuTest = DiagramTest;

// The relaxation lookup of the table functions over a table with one row
// for material 4711.
class RelaxationTables : public RefMaterialTables {
 public:
  bool open = true;
  int sought = 0;
  std::vector<std::string> row = {"", "4711", "Federstahl", "20", "80", "1,5", "4",
                                  "400", "2",  "800", "6",  "300", "1", "900", "5",
                                  "500", "3",  "1000", "9", "200", "1", "700", "4"};
  bool LoadRelaxationRow(int materialNumber) override {
    RecordingTables::LoadRelaxationRow(materialNumber);
    sought = materialNumber;
    ClearRelaxationRecord();
    if (!open) {
      SG().RelaxationTableBad = 1;
      AddErrorMessage("Fatal  : ZEBWSTR.DBF error");
      G().AbortFlag = 1;
      return false;
    }
    if (materialNumber == 4711) {
      SG().RelaxationFound = 1;
      ReadRelaxationFields([this](int n) {
        return n >= 1 && n < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(n)] : "";
      });
    }
    return true;
  }
};

TEST_F(DiagramMenuTest, MenuPreselectsAndKeepsOpenAfterMessages) {
  Ref();
  ui().ExpectChoice("Diagrammtyp", 9);  // statistics off: message, menu stays
  ui().ExpectMessageBox("", "Enable Statistics (Edit->Statistics");
  ui().ExpectChoice("Diagrammtyp", 23);
  ShowDiagramMenu();
  const auto& shown = ui().shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].index, 0);  // Quick 1
  EXPECT_EQ(shown[0].items.size(), 23u);
  EXPECT_EQ(shown[0].items[22], "zur\xC3\xBC" "ck...");
  EXPECT_TRUE(shown[0].listBox);
  EXPECT_EQ(shown[2].index, 9);  // entry 10 after entry 9
  EXPECT_EQ(G().AbortFlag, 0);
  // After entry 22 (drawn on the screen, the output the CAD-code choice
  // gives) the menu preselects "zurück...".
  ui().ExpectChoice("Diagrammtyp", 22);
  ui().ExpectChoice("CAD-Code", 3);
  ui().ExpectChoiceCancel("Diagrammtyp");
  sink().ClearCalls();
  ShowDiagramMenu();
  ASSERT_EQ(ui().shown().size(), 6u);
  EXPECT_EQ(ui().shown()[5].index, 22);
  EXPECT_FALSE(sink().Named("GrafLine").empty());
}

TEST_F(DiagramMenuTest, SubMenusPresetsAndRoundWireRefusal) {
  Ref();
  struct Case {
    int entry, preset;
  };
  for (Case c : {Case{2, 1}, Case{5, 2}, Case{11, 0}}) {
    ui().ExpectChoiceCancel("Diagrammtyp");
    SelectDiagram(c.entry, 1);
    ASSERT_FALSE(ui().shown().empty());
    EXPECT_EQ(ui().shown().back().index, c.preset) << c.entry;
    EXPECT_EQ(ui().shown().back().items.size(), 3u);
    EXPECT_EQ(G().AbortFlag, 1);
    G().AbortFlag = 0;
  }
  // Square wire is refused for entries 5, 6 and 8, without the abort flag;
  // oval wire passes.
  SpringData().CrossSection = 3;
  for (int entry : {5, 6, 8}) {
    ui().ExpectMessageBox("", "nur f\xC3\xBCr runden Drahtquerschnitt");
    SelectDiagram(entry, 1);
    EXPECT_EQ(G().AbortFlag, 0);
  }
  SpringData().CrossSection = 5;
  ui().ExpectChoiceCancel("Diagrammtyp");
  SelectDiagram(5, 1);
  G().AbortFlag = 0;
  // Transverse force 0: entries 19 and 20 refused, 21 drawn.
  TransverseLoad().FQ = 0;
  for (int entry : {19, 20}) {
    ui().ExpectMessageBox("", "Fehler : FQ = 0 !");
    SelectDiagram(entry, 1);
    EXPECT_EQ(G().AbortFlag, 1);
    G().AbortFlag = 0;
  }
  EXPECT_FALSE(Write("fq", 1, [](int c) { SelectDiagram(21, c); }).empty());
}

TEST_F(DiagramMenuTest, BatchModeTakesThePresets) {
  Ref();
  Graphics().SetCadBatchMode(1);
  SG().RelaxationFound = 1;
  RelaxationRecord().Rx[0] = MakeReal48(2);
  RelaxationRecord().Tau[0] = 400, RelaxationRecord().Tau[1] = 800;
  RelaxationRecord().Rx[1] = MakeReal48(6);
  const std::pair<int, std::string> expect[] = {{2, "Federkennlinie"}, {5, "F2-T-Diagramm"}, {11, "Relaxation"}};
  for (const auto& [entry, title] : expect) {
    const auto es = ReadDxfEntities(Write("batch" + std::to_string(entry), 1, [entry](int c) { SelectDiagram(entry, c); }));
    EXPECT_NE(FindText(es, title), nullptr) << entry;
  }
  // Entry 2's preset is the band: its legends are there.
  EXPECT_NE(FindText(ReadDxfEntities(dir() + "/batch2.dxf"), "- EN 15800 G\xFCtegrad 2"), nullptr);
  EXPECT_TRUE(ui().shown().empty());
}

TEST_F(DiagramMenuTest, FatalFlagDrawsNoCodeAndShowsTheMessagesOnce) {
  Ref();
  ClearErrorMessages();
  G().FatalErrorFlag = 1;
  for (int code = 0; code <= 29; ++code) {
    ui().ExpectMessageBox("", "Berechnung erfolgreich");
    EXPECT_TRUE(WriteCode("fatal", 1, code).empty()) << code;
  }
  ui().ExpectMessageBox("", "Berechnung erfolgreich");
  EXPECT_TRUE(Write("fatal", 1, [](int c) { GoodmanOutput(c); }).empty());
}

// The time of every code: bench_drawings_cli.
TEST_F(DiagramMenuTest, EveryCodeWritesAndEmptyCodesGiveEmptySheets) {
  Ref();
  SG().RelaxationFound = 1;
  RelaxationRecord().Rx[0] = MakeReal48(2);
  TransverseLoad().FQ = 10;
  RunRecalculation();
  for (int code = 0; code <= 29; ++code) {
    const std::string path = WriteCode("code" + std::to_string(code), 1, code);
    EXPECT_FALSE(path.empty()) << code;
    // No number field is "nan" or "inf" (the peer checkers test the rest).
    EXPECT_FALSE(std::regex_search(ReadFileBytes(path), std::regex("\\r\\n-?(nan|inf)", std::regex::icase))) << code;
  }
  for (int code : {0, 11, 16}) {
    const auto es = ReadDxfEntities(dir() + "/code" + std::to_string(code) + ".dxf");
    EXPECT_TRUE(es.empty()) << code;
  }
}

TEST_F(DiagramMenuTest, RelaxationRowThroughTheTableFunctions) {
  Ref();
  auto tables = std::make_shared<RelaxationTables>();
  SetTables(tables);
  SpringData().MaterialSel = 0;
  ZEBWST_Record().MaterialNumber = 4711;
  SG().RelaxationFound = 0;
  // Index 11 in batch mode: the row is loaded first, then code 18 drawn.
  Graphics().SetCadBatchMode(1);
  EXPECT_FALSE(Write("rx", 1, [](int c) { SelectDiagram(11, c); }).empty());
  EXPECT_EQ(tables->sought, 4711);
  EXPECT_EQ(SG().RelaxationFound, 1);
  EXPECT_EQ(RelaxationRecord().T2, 80);
  EXPECT_EQ(MaterialReal(RelaxationRecord().d1), 1.5L);
  EXPECT_EQ(RelaxationRecord().Tau[7], 700);
  // Material 7 has no row.
  OpenRelaxationTable(7);
  EXPECT_EQ(tables->sought, 7);
  EXPECT_EQ(SG().RelaxationFound, 0);
  EXPECT_EQ(RelaxationRecord().Tau[0], 0);
  // A missing table: the fatal text, the record cleared.
  tables->open = false;
  ClearErrorMessages();
  OpenRelaxationTable(4711);
  EXPECT_TRUE(HasMessage("Fatal  : ZEBWSTR.DBF error"));
  EXPECT_EQ(G().FatalErrorFlag, 0);
  EXPECT_EQ(SG().RelaxationFound, 0);
  // Field 8 = 0 aborts with a message and without a file.
  tables->open = true;
  tables->row[8] = "abc";
  G().AbortFlag = 0;
  ui().ExpectMessageBox("", "Keine Relaxationsdaten f\xC3\xBCr diesen Werkstoff");
  EXPECT_TRUE(Write("rx0", 1, [](int c) { SelectDiagram(11, c); }).empty());
  EXPECT_EQ(G().AbortFlag, 1);
  // Rows that make no power law (negative, equal, huge) draw no curve.
  tables->row = {"", "4711", "X", "20", "80", "1", "4", "-400", "2", "-800", "6", "300", "1", "300", "5",
                 "500", "3", "1000", "1e4000", "200", "1", "700", "4"};
  G().AbortFlag = 0;
  SG().RelaxationFound = 0;
  EXPECT_FALSE(Write("rxbad", 1, [](int c) { SelectDiagram(11, c); }).empty());
}

// The progress and force curves over time rest on the relaxation record as
// the curves over stress do: without data (field 8 = 0) each of the three
// says so and writes nothing, on the screen as in a batch run; with data
// each draws.
TEST_F(DiagramMenuTest, EveryRelaxationDiagramNeedsData) {
  Ref();
  auto tables = std::make_shared<RelaxationTables>();
  SetTables(tables);
  SpringData().MaterialSel = 0;
  ZEBWST_Record().MaterialNumber = 4711;
  tables->row[8] = "0";
  for (int batch : {0, 1}) {
    Graphics().SetCadBatchMode(static_cast<Byte>(batch));
    for (int code : {18, 19, 20}) {
      SCOPED_TRACE(std::to_string(code) + (batch ? " batch" : ""));
      SG().RelaxationFound = 0;
      G().AbortFlag = 0;
      ui().ExpectMessageBox("", "Keine Relaxationsdaten f\xC3\xBCr diesen Werkstoff");
      EXPECT_TRUE(WriteCode("norx" + std::to_string(code), 1, code).empty());
      EXPECT_EQ(G().AbortFlag, 1);
      EXPECT_EQ(tables->sought, 4711);  // the row was looked for
    }
  }
  Graphics().SetCadBatchMode(0);
  tables->row[8] = "2";
  for (int code : {18, 19, 20}) {
    SCOPED_TRACE(code);
    SG().RelaxationFound = 0;
    G().AbortFlag = 0;
    EXPECT_FALSE(WriteCode("rx" + std::to_string(code), 1, code).empty());
  }
}

TEST_F(DiagramMenuTest, RegisteredIndexesAndPrintMacro) {
  Ref();
  ClearDrawingRegistry();
  RegisterDiagramDrawings();
  for (int j = 1; j <= 11; ++j) EXPECT_EQ(DrawingRegistered(*CadDrawingOfIndex(j)), j != 9) << j;
  // Index 11 through the table functions, as the command line runs it.
  auto tables = std::make_shared<RelaxationTables>();
  SetTables(tables);
  ZEBWST_Record().MaterialNumber = 4711;
  SpringData().MaterialSel = 0;
  SetCadBatchMode(1);
  G().CurrentFileName = dir() + "/idx11";
  EXPECT_TRUE(CadOutputByIndex(1, 11));
  SetCadBatchMode(0);
  CadSettings().CommandLineExport = 1;
  const auto es = ReadDxfEntities(dir() + "/idx11.dxf");
  EXPECT_NE(FindText(es, "dF/F %"), nullptr);  // code 18's y axis
  // The print macro: boxes 3, 4 and 8 to 13 each draw on the screen.
  auto form = std::make_shared<ScriptedPrintMacroForm>();
  SetPrintMacroForm(form);
  SetPrintMacroPrintouts({[] {}, [] {}});
  form->Answer({3, 4, 8, 9, 10, 11, 12, 13});
  sink().ClearCalls();
  RunPrintMacro();
  EXPECT_EQ(sink().Named("GrafClear").size(), 8u);
  EXPECT_GT(sink().Named("GrafLine").size(), 400u);
  SetPrintMacroForm(nullptr);
  ClearDrawingRegistry();
}

TEST_F(DiagramMenuTest, FrequencyResponseRefusalsAndResonance) {
  Ref();
  for (Real f : {Real(0), Real(-5), Real(std::nan(""))}) {
    SpringData().f = f;
    ui().ExpectMessageBox("", "Fehler : f = 0 !");
    EXPECT_TRUE(WriteCode("freq", 1, 10).empty());
    EXPECT_EQ(G().AbortFlag, 1);
    G().AbortFlag = 0;
  }
  // fz = f0: the factor line shows 1e32; the operating point is marked on
  // the frame's top edge (plot origin y 10 + height 90 mm), above fz.
  ResonanceResult().ExternalMass = 0;
  SpringData().f = SpringData().fe;
  G().ErrorMessageList.count = 0;
  const std::string path = WriteCode("res", 1, 10);
  const auto es = ReadDxfEntities(path);
  int circles = 0;
  for (const DxfEntity& e : es)
    if (e.type == "CIRCLE" && e.layer == "24") {
      ++circles;
      EXPECT_NEAR(e.Get(20), 100, 1e-6);
    }
  EXPECT_EQ(circles, 1);
  EXPECT_EQ(G().ErrorMessageList.count, 0);  // nothing dropped
  EXPECT_NE(ReadFileBytes(path).find("y(fz) = 100000000000000000000"), std::string::npos);
}

TEST_F(DiagramMenuTest, EnglishLogAxisPlacesOneMillimetre) {
  Ref();
  G().UnitSystem = 1;
  ZEBWST_Record().dmax = MakeReal48(20);
  SpringData().d = 1;
  const auto es = ReadDxfEntities(WriteCode("log_en", 1, 23));
  // The frame divides log10 of 0.05 .. 22 mm in inches; d = 1 mm is
  // log10(1 / 25.4) on that axis.
  Real lo = 0, hi = 0, step = 0;
  NiceLogAxisScale(lo, hi, step, std::log10(0.05L / 25.4L), std::log10(22 / 25.4L), 5);
  const double expected = static_cast<double>(12 + (std::log10(1 / 25.4L) - lo) / (hi - lo) * 95);
  int found = 0;
  for (const DxfEntity& e : es)
    if (e.type == "LINE" && e.layer == "19" && e.Get(10) == e.Get(11)) {
      EXPECT_NEAR(e.Get(10), expected, 1e-3);
      ++found;
    }
  EXPECT_EQ(found, 1);
  EXPECT_EQ(DiagramState().DiagramAxisMode, 0);
}

}  // namespace
}  // namespace zeb::test
