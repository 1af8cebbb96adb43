// The print job: printer modes, page-by-page printing, no printer.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "platform/files.h"
#include "reports/device.h"
#include "reports/printjob.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class PrintJobTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    InitOutputDevice();
    InitPrintJob();
    graphics_ = std::make_shared<RecordingGraphics>();
    SetGraphics(graphics_);
    dir_ = *MakeUniqueFile(TempDirectory(), "printjobtest");
    fs::remove(dir_);
    fs::create_directory(dir_);
    G().TempFolder = dir_;
  }
  void TearDown() override {
    InitOutputDevice();
    InitPrintJob();
    SetGraphics(nullptr);
    fs::remove_all(dir_);
    BaseTest::TearDown();
  }
  void PrintReport() {
    SetReportTitles("Titel", "", "", "", "", 0);
    OpenOutputDevice(kOutPrinter, "");
    WriteReportPageHead(0, 0);
    WriteResultLine("Erste Seite");
    WritePageEnd();
    WriteReportPageHead(0, 0);
    WriteResultLine("Zweite Seite");
    CloseOutputDevice();
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    return names;
  }

  std::shared_ptr<RecordingGraphics> graphics_;
  std::string dir_;
};

// A printer that notes the printing flag when the job ends.
class FlagAtEnd : public HeadlessPrinter {
 public:
  void EndDoc() override {
    flagAtEnd = PrintingFlag();
    HeadlessPrinter::EndDoc();
  }
  int flagAtEnd = -1;
};

TEST_F(PrintJobTest, ModeTwoPrintsPortraitWithScaleOnePointEight) {
  auto printer = std::make_shared<FlagAtEnd>();
  SetPrinterPort(printer);
  G().PrinterMode = 2;
  G().PrintScaleX = 0.5L;
  G().PrintScaleY = 3.0L;
  G().PrintOriginX = 40;
  G().PrintBorder = 1;
  PrinterBeginDoc();
  EXPECT_EQ(PrintingFlag(), 1);
  EXPECT_EQ(G().PrintScaleX, 1.8L);
  EXPECT_EQ(G().PrintScaleY, 1.0L);
  EXPECT_EQ(G().PrintOriginX, 0.0L);
  EXPECT_EQ(G().PrintBorder, 0);
  EXPECT_FALSE(printer->Landscape());
  PrinterEndDoc();
  // The flag is cleared before the job ends.
  EXPECT_EQ(printer->flagAtEnd, 0);
  EXPECT_EQ(printer->Calls(), (std::vector<std::string>{"SetLandscape(0)", "BeginDoc", "EndDoc"}));
  EXPECT_EQ(graphics_->Calls(), (std::vector<std::string>{"SetPrintingFlag(1)", "SetPrintingFlag(0)"}));
}

TEST_F(PrintJobTest, ModesZeroToThreeAndOthers) {
  struct Row {
    int mode;
    bool border, landscape;
  };
  for (Row r : {Row{0, false, true}, Row{1, true, true}, Row{3, false, true}}) {
    G().PrintScaleX = 2.0L;
    G().PrintOriginY = 7;
    G().PrintBorder = r.border ? 0 : 1;
    ApplyPrinterMode(r.mode);
    EXPECT_EQ(G().PrintScaleX, 1.0L) << r.mode;
    EXPECT_EQ(G().PrintOriginY, 0.0L) << r.mode;
    EXPECT_EQ(G().PrintBorder, r.border ? 1 : 0) << r.mode;
    EXPECT_EQ(Printer().Landscape(), r.landscape) << r.mode;
  }
  // Mode 7 keeps what the set-up dialog holds.
  Printer().SetLandscape(false);
  G().PrintScaleX = 2.5L;
  G().PrintBorder = 1;
  G().PrinterMode = 7;
  PrinterBeginDoc();
  EXPECT_EQ(G().PrintScaleX, 2.5L);
  EXPECT_EQ(G().PrintBorder, 1);
  EXPECT_FALSE(Printer().Landscape());
  PrinterEndDoc();
}

TEST_F(PrintJobTest, PrinterTargetPrintsPageByPage) {
  SetPrinterPort(std::make_shared<HeadlessPrinter>(true));
  ui().ExpectPrintRange(1, 2);
  PrintReport();
  ASSERT_EQ(ui().printJobs().size(), 1u);
  const auto& pages = ui().printJobs()[0].pages;
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].back().text, "       Erste Seite");
  EXPECT_EQ(pages[1].back().text, "       Zweite Seite");
  EXPECT_TRUE(Files().empty());  // the job file is removed
}

// Prints into the PDF file it is given, as the Qt port does.
class PdfPrinter : public HeadlessPrinter {
 public:
  explicit PdfPrinter(std::string bytes = "%PDF-1.4\n%%EOF\n") : HeadlessPrinter(false, true), bytes_(std::move(bytes)) {}
  bool SetPdfOutput(std::string_view path) override {
    if (!path.empty()) std::ofstream(std::string(path)) << bytes_;
    return HeadlessPrinter::SetPdfOutput(path);
  }

 private:
  std::string bytes_;
};

TEST_F(PrintJobTest, WithoutPrinterAPdfIsNamed) {
  auto printer = std::make_shared<PdfPrinter>();
  SetPrinterPort(printer);
  ui().ExpectPrintRange(1, 2);
  ui().ExpectMessageBox("Meldung", dir_ + "/zeb1.pdf");
  PrintReport();
  EXPECT_EQ(DeliveredFileName(), dir_ + "/zeb1.pdf");
  EXPECT_EQ(printer->Calls().back(), "SetPdfOutput()");
  EXPECT_EQ(Files(), std::vector<std::string>{"zeb1.pdf"});
}

// A PDF file cut off before its end is never announced: it goes, and a box
// names it.
TEST_F(PrintJobTest, ACutOffPdfIsRemovedAndNamed) {
  SetPrinterPort(std::make_shared<PdfPrinter>(std::string(8192, ' ').insert(0, "%PDF-1.4\n")));
  ui().ExpectPrintRange(1, 2);
  ui().ExpectMessageBox("Fehler", "Datei " + dir_ + "/zeb1.pdf kann nicht geschrieben werden: Ein-/Ausgabefehler");
  PrintReport();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(DeliveredFileName(), "");
  EXPECT_TRUE(Files().empty());
}

TEST_F(PrintJobTest, HeadlessWithoutPrinterReportsItCannotPrint) {
  ui().ExpectMessageBox("", "Kein Drucker vorhanden");
  PrintReport();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(DeliveredFileName(), "");
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace zeb
