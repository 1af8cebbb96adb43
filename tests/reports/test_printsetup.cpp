// The print set-up form's model: start values by printer mode, the print
// in the graphics window's order, presets loaded from and appended to a
// preset table fake, and the printer information rows.
#include <gtest/gtest.h>

#include <map>

#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "reports/printjob.h"
#include "reports/printsetup.h"

namespace zeb {
namespace {

// A preset table with one record; the browser may be cancelled, the table
// may be missing.
class PresetTable : public RecordingTables {
 public:
  bool missing = false, cancel = false, lockFails = false;
  std::map<int, std::string> fields{{2, "  0.5000"}, {3, "  2.0000"}, {4, "    10"}, {5, "   -20"}};
  std::map<std::string, bool> bools{{"landscape", true}, {"monochrom", false}, {"variable", true}, {"borderline", false}};
  void TableOpen(std::string_view name) override {
    RecordingTables::TableOpen(name);
    if (missing) G().AbortFlag = 1;
  }
  void TableBrowse(std::string_view command, int mode) override {
    RecordingTables::TableBrowse(command, mode);
    if (cancel) G().AbortFlag = 1;
  }
  int TableAppend() override {
    RecordingTables::TableAppend();
    return lockFails ? 0 : 1;
  }
  std::int32_t TableRecNo() override {
    RecordingTables::TableRecNo();
    return 3;
  }
  std::string TableGetField(int n) override {
    RecordingTables::TableGetField(n);
    return fields[n];
  }
  bool TableGetBoolByName(std::string_view name) override {
    RecordingTables::TableGetBoolByName(name);
    return bools[std::string(name)];
  }
};

class PrintSetupTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    InitPrintJob();
    printer_ = std::make_shared<HeadlessPrinter>(true);
    SetPrinterPort(printer_);
    graphics_ = std::make_shared<RecordingGraphics>();
    SetGraphics(graphics_);
    table_ = std::make_shared<PresetTable>();
    SetTables(table_);
    G().DbfFolder = "/nonexistent-dbf/";
    LastPresetRecord() = 0;
  }
  void TearDown() override {
    SetPrinterPort(nullptr);
    SetGraphics(nullptr);
    SetTables(nullptr);
    BaseTest::TearDown();
  }
  std::shared_ptr<HeadlessPrinter> printer_;
  std::shared_ptr<RecordingGraphics> graphics_;
  std::shared_ptr<PresetTable> table_;
};

TEST_F(PrintSetupTest, StartValuesByPrinterMode) {
  G().ScreendumpScale = 2.5L;
  G().PrintScaleVertical = 0.75L;
  G().ScreendumpOriginX = 12;
  G().ScreendumpOriginY = -3;
  G().PrintBorder = 1;
  G().PrinterOrientation = 1;
  G().PrintColourMode = 2;
  G().PrinterMode = 2;
  PrintSetupForm f = StartPrintSetup();
  EXPECT_EQ(f.scaleX, "1.8");
  EXPECT_EQ(f.scaleY, "1");
  EXPECT_EQ(f.originX, "0");
  EXPECT_EQ(f.originY, "0");
  EXPECT_FALSE(f.border);
  EXPECT_EQ(f.orientation, 0);
  EXPECT_EQ(f.colour, 1);

  for (int mode : {0, 4}) {
    G().PrinterMode = mode;
    G().PrintBorder = 1;
    f = StartPrintSetup();
    EXPECT_EQ(f.scaleX, "2.5") << mode;
    EXPECT_EQ(f.scaleY, "0.75");
    EXPECT_EQ(f.originX, "12");
    EXPECT_EQ(f.originY, "-3");
    EXPECT_TRUE(f.border);
    EXPECT_EQ(f.orientation, 0);  // configured portrait
  }
  G().PrinterOrientation = 2;
  EXPECT_EQ(StartPrintSetup().orientation, 1);
  EXPECT_EQ(PrinterLabel("PDF"), std::string(37, ' ') + "PDF");
  EXPECT_EQ(PrinterLabel(std::string(45, 'x')), std::string(40, 'x'));
}

TEST_F(PrintSetupTest, PrintModePaintsAroundTheJobAndSetUpSendsNone) {
  G().PrinterMode = 4;
  PrintSetupForm f = StartPrintSetup();
  f.scaleX = "abc";
  f.originX = "15";
  f.fit = true;
  f.orientation = 1;
  f.colour = 0;
  bool info = false;
  PrintSetupOk(f, false, [&] { info = true; });
  EXPECT_FALSE(info);
  EXPECT_EQ(G().PrintScaleX, 0.0L);
  EXPECT_EQ(G().PrintOriginX, 15.0L);
  EXPECT_EQ(G().PrintColourMode, 1);
  EXPECT_EQ(graphics_->Calls(), (std::vector<std::string>{"RestoreLimit()", "ResetZoom()", "ReSetWindow()",
                                                          "ClearViewPort()", "FormPaint()", "SetPrintingFlag(1)",
                                                          "FormPaint()", "SetPrintingFlag(0)"}));
  EXPECT_EQ(printer_->Calls().back(), "EndDoc");

  graphics_->ClearCalls();
  const std::size_t printerCalls = printer_->Calls().size();
  PrintSetupOk(f, true, [&] { info = true; });
  EXPECT_TRUE(info);
  EXPECT_TRUE(graphics_->Calls().empty());
  for (std::size_t i = printerCalls; i < printer_->Calls().size(); ++i)
    EXPECT_NE(printer_->Calls()[i], "BeginDoc");
  EXPECT_TRUE(printer_->Landscape());
}

TEST_F(PrintSetupTest, PresetLoadedCancelledOrMissing) {
  PrintSetupForm f = StartPrintSetup();
  const PrintSetupForm before = f;
  EXPECT_TRUE(LoadPrintPreset(f));
  EXPECT_EQ(f.scaleX, "0.5000");
  EXPECT_EQ(f.originY, "-20");
  EXPECT_EQ(f.orientation, 1);
  EXPECT_EQ(f.colour, 1);  // "monochrom" false: the second item
  EXPECT_TRUE(f.fit);
  EXPECT_FALSE(f.border);
  EXPECT_EQ(LastPresetRecord(), 3);
  EXPECT_EQ(table_->Calls().front(), "TableOpen(printout)");
  // The presets are browsed editable: a stored preset can be corrected there.
  bool editable = false;
  for (const std::string& c : table_->Calls()) editable |= c == "TableBrowse(,0)";
  EXPECT_TRUE(editable);
  EXPECT_EQ(table_->Calls().back(), "TableClose()");

  // The next use starts on that record; a cancelled pick changes nothing.
  table_->ClearCalls();
  table_->cancel = true;
  PrintSetupForm g = before;
  EXPECT_FALSE(LoadPrintPreset(g));
  EXPECT_EQ(g.scaleX, before.scaleX);
  EXPECT_EQ(G().AbortFlag, 0);
  bool went = false;
  for (const std::string& c : table_->Calls()) went |= c == "TableGo(3)";
  EXPECT_TRUE(went);

  table_->missing = true;
  EXPECT_FALSE(LoadPrintPreset(g));
  EXPECT_EQ(g.scaleX, before.scaleX);
}

TEST_F(PrintSetupTest, PresetAppendedUnderAName) {
  const PrintSetupForm f{.scaleX = "0,5", .scaleY = "0.5", .originX = "10", .originY = "x", .border = true,
                         .orientation = 1};
  ui().ExpectInputText("Name", TextAnswer("\xC3\x9C" "bersicht 1:2"));
  AppendPrintPreset(f);
  // The new record first, then its fields.
  const std::vector<std::string> want{"TableOpen(printout)",
                                      "TableAppend()",
                                      "TablePutStrByName(name,\xDC" "bersicht 1:2)",  // Windows-1252
                                      "TablePutFloatByName(xscale,0.5)",
                                      "TablePutFloatByName(yscale,0.5)",
                                      "TablePutIntByName(xorigin,10)",
                                      "TablePutIntByName(yorigin,0)",
                                      "TablePutBoolByName(landscape,1)",
                                      "TablePutBoolByName(monochrom,1)",
                                      "TablePutBoolByName(variable,0)",
                                      "TablePutBoolByName(borderline,1)",
                                      "TableClose()"};
  EXPECT_EQ(table_->Calls(), want);

  // A cancelled name appends nothing; the table is closed.
  table_->ClearCalls();
  ui().ExpectInputText("Name", TextAnswer::Cancel());
  AppendPrintPreset(f);
  EXPECT_EQ(table_->Calls(), (std::vector<std::string>{"TableOpen(printout)", "TableClose()"}));

  // A refused append lock: no field is written (they would land in the
  // current record).
  table_->ClearCalls();
  table_->lockFails = true;
  ui().ExpectInputText("Name", TextAnswer("A4"));
  AppendPrintPreset(f);
  EXPECT_EQ(table_->Calls(), (std::vector<std::string>{"TableOpen(printout)", "TableAppend()", "TableClose()"}));
}

TEST_F(PrintSetupTest, PrinterInformationRows) {
  PrinterFacts p;
  p.name = "PDF";
  p.widthMm = 200, p.heightMm = 287, p.widthPx = 4724, p.heightPx = 6780, p.offsetXPx = 118, p.offsetYPx = 118;
  p.dpiX = p.dpiY = 600;
  auto rows = PrinterInfoRows(p);
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows[0], (std::pair<std::string, std::string>{"Name", "PDF"}));
  EXPECT_EQ(rows[1].second, "?");
  EXPECT_EQ(rows[4], (std::pair<std::string, std::string>{"Druckhöhe (mm)", "287"}));
  EXPECT_EQ(rows[8].second, "118");
  EXPECT_EQ(rows[10].second, "600");
  EXPECT_EQ(rows[2].second, "?");   // technology not reported
  EXPECT_EQ(rows[11].second, "?");  // brushes, pens, markers: never known here
  EXPECT_EQ(rows[13].second, "?");
  EXPECT_EQ(rows[14].second, "?");
  EXPECT_EQ(rows[15].second, "0");
  PrinterFacts q = p;
  q.driver = "HP LaserJet 4250 Postscript";
  q.technology = 2;
  q.colours = 2;
  auto known = PrinterInfoRows(q);
  EXPECT_EQ(known[1].second, "HP LaserJet 4250 Postscript");
  EXPECT_EQ(known[2].second, "Rasterdrucker");
  EXPECT_EQ(known[14].second, "2");
  for (int t : {3, 6, 7, -1}) EXPECT_EQ(PrinterTechnologyText(t), "?") << t;
  EXPECT_EQ(PrinterTechnologyText(0), "Plotter");
  EXPECT_EQ(PrinterTechnologyText(5), "Metafile");
  EXPECT_EQ(rows[19], (std::pair<std::string, std::string>{"", ""}));
  p.fonts = {"A", "B", "C", "D", "E", "F"};
  rows = PrinterInfoRows(p);
  ASSERT_EQ(rows.size(), 22u);
  EXPECT_EQ(rows[15].second, "6");
  EXPECT_EQ(rows[16].second, "A");
  EXPECT_EQ(rows[21].second, "F");
}

}  // namespace
}  // namespace zeb
