// CAD export by drawing index and the print macro, with fake drawings,
// printouts, printer and graphics window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "graphics/cadsettings.h"
#include "mainwin/dispatch.h"
#include "mainwin/program.h"
#include "reports/device.h"
#include "reports/printjob.h"

namespace zeb {
namespace {

std::string Name(DrawingRef r) {
  static const char* names[] = {"SelectDiagram", "ShowDiagram",  "SpringView",     "ProductionDrawing",
                                "ProductionDrawingEN", "Spring3DView", "GoodmanDiagram", "HaighDiagram"};
  return std::string(names[static_cast<int>(r.entry)]) + " " + std::to_string(r.number);
}

const std::vector<DrawingRef>& AllEntries() {
  static std::vector<DrawingRef> all = [] {
    std::vector<DrawingRef> v;
    for (int k = 1; k <= 22; ++k) v.push_back({DrawingEntry::SelectDiagram, k});
    for (int c : {2, 9, 21}) v.push_back({DrawingEntry::ShowDiagram, c});
    for (int k = 1; k <= 4; ++k) v.push_back({DrawingEntry::SpringView, k});
    v.push_back({DrawingEntry::ProductionDrawing, 0});
    v.push_back({DrawingEntry::ProductionDrawingEN, 0});
    v.push_back({DrawingEntry::Spring3DView, 1});
    v.push_back({DrawingEntry::GoodmanDiagram, 0});
    v.push_back({DrawingEntry::HaighDiagram, 0});
    return v;
  }();
  return all;
}

// Graphics window that notes the replay into the shared log.
class LoggingGraphics : public RecordingGraphics {
 public:
  explicit LoggingGraphics(std::vector<std::string>& log) : log_(log) {}
  void FormPaint() override { log_.push_back("FormPaint"); }

 private:
  std::vector<std::string>& log_;
};

class LoggingPrinter : public HeadlessPrinter {
 public:
  explicit LoggingPrinter(std::vector<std::string>& log) : log_(log) {}
  void BeginDoc() override { log_.push_back("BeginDoc"); }
  void EndDoc() override { log_.push_back("EndDoc"); }

 private:
  std::vector<std::string>& log_;
};

// A printer without a device: each job writes a PDF file of the temp folder
// and announces it, as the Qt port does.
class PdfPrinter : public HeadlessPrinter {
 public:
  bool HasPrinter() override { return false; }
  void BeginDoc() override { pdf_ = CreatePrintPdfFile(); }
  void EndDoc() override {
    if (pdf_.empty()) return;
    std::FILE* f = std::fopen(pdf_.c_str(), "wb");
    if (f != nullptr) {
      std::fputs("%PDF-1.4\n%%EOF\n", f);
      std::fclose(f);
    }
    AnnouncePrintPdf(pdf_);
  }

 private:
  std::string pdf_;
};

class DispatchTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetProgramState();
    ClearDrawingRegistry();
    SetGraphics(std::make_shared<LoggingGraphics>(log_));
    SetPrinterPort(std::make_shared<LoggingPrinter>(log_));
    form_ = std::make_shared<ScriptedPrintMacroForm>();
    SetPrintMacroForm(form_);
    SetPrintMacroPrintouts({[this] { Printout("full"); }, [this] { Printout("extract"); }});
  }
  void TearDown() override {
    ClearDrawingRegistry();
    SetGraphics(nullptr);
    SetPrinterPort(nullptr);
    SetPrintMacroForm(nullptr);
    SetPrintMacroPrintouts({});
    BaseTest::TearDown();
  }
  void Printout(const char* which) {
    log_.push_back(std::string(which) + " ask " + std::to_string(G().AskOutputTarget) + " target " +
                   std::to_string(G().OutputTarget));
  }
  void RegisterAll() {
    for (DrawingRef r : AllEntries())
      RegisterDrawing(r, [this, r](int code) {
        log_.push_back(Name(r) + " code " + std::to_string(code) + " batch " +
                       std::to_string(PS().CadBatchMode));
      });
  }

  std::vector<std::string> log_;
  std::shared_ptr<ScriptedPrintMacroForm> form_;
};

// Indices 1..17 reach their drawing with the code passed through; CadBatchMode
// is the caller's and is seen by the drawing.
TEST_F(DispatchTest, CadOutputByIndexDispatches) {
  RegisterAll();
  SetCadBatchMode(1);
  EXPECT_EQ(CadSettings().CommandLineExport, 1);
  EXPECT_EQ(Graphics().CadBatchMode(), 1);
  for (int j = 1; j <= 17; ++j) EXPECT_TRUE(CadOutputByIndex(j == 5 ? 2 : 1, j)) << j;
  SetCadBatchMode(0);
  EXPECT_EQ(PS().CadBatchMode, 0);
  EXPECT_EQ(CadSettings().CommandLineExport, 0);
  EXPECT_EQ(Graphics().CadBatchMode(), 0);
  const std::vector<std::string> expected = {
      "SelectDiagram 1 code 1 batch 1",  "SelectDiagram 2 code 1 batch 1",  "SelectDiagram 3 code 1 batch 1",
      "SelectDiagram 4 code 1 batch 1",  "SelectDiagram 5 code 2 batch 1",  "SelectDiagram 6 code 1 batch 1",
      "SelectDiagram 7 code 1 batch 1",  "SelectDiagram 8 code 1 batch 1",  "SelectDiagram 9 code 1 batch 1",
      "SelectDiagram 10 code 1 batch 1", "SelectDiagram 11 code 1 batch 1", "SpringView 1 code 1 batch 1",
      "SpringView 2 code 1 batch 1",     "SpringView 3 code 1 batch 1",     "SpringView 4 code 1 batch 1",
      "ProductionDrawing 0 code 1 batch 1", "Spring3DView 1 code 1 batch 1"};
  EXPECT_EQ(log_, expected);
}

// Nothing registered, or no drawing for the index: an error box naming the
// index, nothing drawn.
TEST_F(DispatchTest, CadOutputByIndexWithoutDrawing) {
  ui().ExpectMessageBox("Fehler", "Zeichnung Nr. 9: keine Ausgabe");
  EXPECT_FALSE(CadOutputByIndex(1, 9));
  RegisterAll();
  for (int j : {0, 18, 99, -3}) {
    ui().ExpectMessageBox("Fehler", "Zeichnung Nr. " + std::to_string(j) + ": keine Ausgabe");
    EXPECT_FALSE(CadOutputByIndex(1, j));
  }
  EXPECT_TRUE(log_.empty());
  RegisterDrawing({DrawingEntry::SelectDiagram, 9}, nullptr);
  ui().ExpectMessageBox("Fehler", "Zeichnung Nr. 9");
  EXPECT_FALSE(CadOutputByIndex(1, 9));
}

// A fatal calculation shows the message list instead; no dialog, no print.
TEST_F(DispatchTest, PrintMacroFatal) {
  RegisterAll();
  G().FatalErrorFlag = 1;
  AddErrorMessage("Fatal  : d = 0 !");
  ui().ExpectChoiceCancel("Berechnungsmodul meldet");
  RunPrintMacro();
  EXPECT_TRUE(form_->shown.empty());
  EXPECT_TRUE(log_.empty());
}

// The boxes show the mask; Cancel keeps it and prints nothing; OK with no
// box clears bits 1..13 and prints nothing; a cancelled print dialog
// prints nothing.
TEST_F(DispatchTest, PrintMacroChoice) {
  RegisterAll();
  G().PrintoutSectionMask = 5 | (1 << 13) | (1 << 20);
  form_->Cancel();
  RunPrintMacro();
  ASSERT_EQ(form_->loaded.size(), 1u);
  EXPECT_TRUE(form_->loaded[0].checked[1]);
  EXPECT_FALSE(form_->loaded[0].checked[2]);
  EXPECT_TRUE(form_->loaded[0].checked[3]);
  EXPECT_TRUE(form_->loaded[0].checked[14]);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(G().PrintoutSectionMask, 5 | (1 << 13) | (1 << 20));
  EXPECT_EQ(form_->printDialogs, 0);

  EXPECT_EQ(form_->shown[0][1], "&Standardausdruck");
  EXPECT_EQ(form_->shown[0][14], "");  // 13 boxes

  form_->Answer({});
  RunPrintMacro();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().PrintoutSectionMask, (1 << 13) | (1 << 20));
  EXPECT_EQ(form_->printDialogs, 1);
  EXPECT_TRUE(log_.empty());

  form_->Answer({1, 3});
  form_->printDialogOk = false;
  RunPrintMacro();
  EXPECT_EQ(G().PrintoutSectionMask, 5 | (1 << 13) | (1 << 20));
  EXPECT_TRUE(log_.empty());
}

// Printouts go to the Windows printer whatever is configured, and the
// configuration is back afterwards; each drawing is drawn on the screen
// and printed as one job, in the order of the boxes.
TEST_F(DispatchTest, PrintMacroPrints) {
  RegisterAll();
  G().AskOutputTarget = 1;
  G().OutputTarget = 7;
  std::vector<int> all;
  for (int n = 13; n >= 1; --n) all.push_back(n);
  form_->Answer(all);
  RunPrintMacro();
  EXPECT_EQ(G().AskOutputTarget, 1);
  EXPECT_EQ(G().OutputTarget, 7);
  std::vector<std::string> expected = {"full ask 0 target 4", "extract ask 0 target 4"};
  for (const char* d : {"SelectDiagram 1", "SelectDiagram 10", "SpringView 1", "ProductionDrawing 0",
                        "ProductionDrawingEN 0", "ShowDiagram 2", "ShowDiagram 9", "ShowDiagram 21",
                        "GoodmanDiagram 0", "HaighDiagram 0", "SelectDiagram 3"}) {
    expected.push_back(std::string(d) + " code 3 batch 0");
    expected.insert(expected.end(), {"BeginDoc", "FormPaint", "EndDoc"});
  }
  EXPECT_EQ(log_, expected);
  EXPECT_EQ(PrintingFlag(), 0);
}

// A drawing that nothing registered: an error box, no print job; the
// others still print.
TEST_F(DispatchTest, PrintMacroUnregisteredDrawing) {
  RegisterDrawing({DrawingEntry::SelectDiagram, 3}, [this](int code) { log_.push_back("buckling " + std::to_string(code)); });
  form_->Answer({3, 13});
  ui().ExpectMessageBox("Fehler", "Quick 1: keine Ausgabe");
  RunPrintMacro();
  EXPECT_EQ(log_, (std::vector<std::string>{"buckling 3", "BeginDoc", "FormPaint", "EndDoc"}));
}

// Without a printer two drawings give two PDF files, named together in
// one box at the end; nothing asks about a file the program named.
TEST_F(DispatchTest, PrintMacroNamesItsPdfFilesInOneBox) {
  RegisterAll();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("zeb1_macro_pdf_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  G().TempFolder = dir.string() + "/";
  SetPrinterPort(std::make_shared<PdfPrinter>());
  form_->Answer({3, 13});
  ui().ExpectMessageBox("Meldung", "Kein Drucker vorhanden, Ausdruck in PDF-Dateien:\n" + dir.string() +
                                       "/zeb1.pdf\n" + dir.string() + "/zeb1-2.pdf");
  RunPrintMacro();
  EXPECT_TRUE(std::filesystem::exists(dir / "zeb1.pdf"));
  EXPECT_TRUE(std::filesystem::exists(dir / "zeb1-2.pdf"));
  // One drawing alone: the single file's own box, as outside the macro.
  form_->Answer({13});
  ui().ExpectMessageBox("Meldung", "Kein Drucker vorhanden, Ausdruck in PDF-Datei " + dir.string() + "/zeb1-3.pdf");
  RunPrintMacro();
  // Nothing printed: no box.
  form_->Answer({});
  RunPrintMacro();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zeb
