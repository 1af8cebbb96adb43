// Printouts to the printer target in the Qt program: without a printer the
// lines land in a PDF file of the temp folder, named in a box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "qt_test_support.h"
#include "base/globals.h"
#include "base/qt/qt_ui.h"
#include "mainwin/qt/qt_printer_port.h"
#include "platform/files.h"
#include "reports/device.h"
#include "reports/printjob.h"
#include "reports/qt/printsetup_form.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

using test::Capture;

TEST(QtPrinterTarget, WithoutAPrinterTheLinesGoToAPdf) {
  if (Capture("command -v pdftotext").empty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  ResetBaseGlobals();
  InitOutputDevice();
  const std::string dir = *MakeUniqueFile(TempDirectory(), "qtprint");
  fs::remove(dir);
  fs::create_directory(dir);
  G().TempFolder = dir;
  auto ui = std::make_shared<QtUi>();
  ui->SetPrintRangeAnswer(QtUi::PageRange{1, 1});
  SetUi(ui);
  auto port = MakeQtTextPrinterPort(ui);
  if (port->HasPrinter()) GTEST_SKIP() << "a default printer is installed";
  SetPrinterPort(port);

  // The box naming the PDF file is answered as it appears.
  std::string boxText;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxText = box->text().toStdString();
      box->accept();
    }
  });
  timer.start(20);

  OpenOutputDevice(kOutPrinter, "");
  ASSERT_TRUE(OutputDeviceIsOpen());
  WriteOutputLine("Federrate R 16.18 N/mm");
  WriteOutputLine("Blocklaenge Lc 57.90 mm");
  CloseOutputDevice();
  timer.stop();

  const std::string pdf = dir + "/zeb1.pdf";
  ASSERT_TRUE(fs::exists(pdf)) << boxText;
  EXPECT_NE(boxText.find("zeb1.pdf"), std::string::npos) << boxText;
  const std::string text = Capture("pdftotext -layout " + test::ShellQuote(pdf) + " -");
  EXPECT_NE(text.find("Federrate R 16.18 N/mm"), std::string::npos) << text;
  EXPECT_NE(text.find("Blocklaenge Lc 57.90 mm"), std::string::npos) << text;

  SetPrinterPort(nullptr);
  SetUi(nullptr);
  fs::remove_all(dir);
}

// Unattended as a user sees it: no page-range dialog and no overwrite
// question about the PDF file the program named itself, only the one box
// naming it.
TEST(QtPrinterTarget, TheProgramsOwnPdfIsNotQuestioned) {
  if (Capture("command -v pdftotext").empty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  ResetBaseGlobals();
  InitOutputDevice();
  const std::string dir = *MakeUniqueFile(TempDirectory(), "qtprint");
  fs::remove(dir);
  fs::create_directory(dir);
  G().TempFolder = dir;
  auto ui = std::make_shared<QtUi>();
  SetUi(ui);
  auto port = MakeQtTextPrinterPort(ui);
  if (port->HasPrinter()) GTEST_SKIP() << "a default printer is installed";
  SetPrinterPort(port);

  std::vector<std::string> seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr) return;
    seen.push_back(w->metaObject()->className());
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      seen.back() += ": " + box->text().toStdString();
      box->accept();
    } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
      dialog->reject();
    }
  });
  timer.start(20);
  OpenOutputDevice(kOutPrinter, "");
  WriteOutputLine("Federrate R 16.18 N/mm");
  CloseOutputDevice();
  timer.stop();

  std::string all;
  for (const std::string& w : seen) all += w + "; ";
  ASSERT_EQ(seen.size(), 1u) << all;
  EXPECT_EQ(seen[0], "QMessageBox: Kein Drucker vorhanden, Ausdruck in PDF-Datei " + dir + "/zeb1.pdf");
  EXPECT_NE(Capture("pdftotext -layout " + test::ShellQuote(dir + "/zeb1.pdf") + " -").find("Federrate R 16.18 N/mm"),
            std::string::npos);
  SetPrinterPort(nullptr);
  SetUi(nullptr);
  fs::remove_all(dir);
}

// The viewer of a printout on the screen: its "Drucken" without a printer
// writes a new PDF file into the temp folder, as the printer target does,
// and a box names it; nothing lands in the home folder (the print dialog's
// own choice there was ~/print.pdf, unannounced).
TEST(QtPrinterTarget, TheViewersPrintGoesToANamedPdf) {
  if (Capture("command -v pdftotext").empty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  ResetBaseGlobals();
  InitOutputDevice();
  const std::string dir = *MakeUniqueFile(TempDirectory(), "qtprint");
  fs::remove(dir);
  fs::create_directories(dir + "/home");
  const char* oldHome = std::getenv("HOME");
  const std::string keepHome = oldHome != nullptr ? oldHome : "";
  ::setenv("HOME", (dir + "/home").c_str(), 1);
  G().TempFolder = dir;
  auto ui = std::make_shared<QtUi>();
  SetUi(ui);
  auto port = MakeQtTextPrinterPort(ui);
  if (port->HasPrinter()) GTEST_SKIP() << "a default printer is installed";
  SetPrinterPort(port);

  std::vector<std::string> seen;
  int step = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr) return;
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      seen.push_back(box->text().toStdString());
      box->accept();
    } else if (w->objectName() == "TForm_showtextfile" && step == 0) {
      step = 1;
      // Queued: the box it opens is answered by this timer again.
      if (auto* print = w->findChild<QAction*>("mi_DateiDrucken"))
        QMetaObject::invokeMethod(print, &QAction::trigger, Qt::QueuedConnection);
    } else if (w->objectName() == "TForm_showtextfile" && step == 1 && !seen.empty()) {
      step = 2;
      w->close();
    } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
      seen.push_back(std::string("dialog ") + w->metaObject()->className());
      dialog->reject();
    }
  });
  timer.start(20);
  OpenOutputDevice(kOutScreen, "");
  WriteOutputLine("Federrate R 16.18 N/mm");
  CloseOutputDevice();
  timer.stop();

  EXPECT_EQ(step, 2);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "Kein Drucker vorhanden, Ausdruck in PDF-Datei " + dir + "/zeb1.pdf");
  EXPECT_NE(Capture("pdftotext -layout " + test::ShellQuote(dir + "/zeb1.pdf") + " -").find("Federrate R 16.18 N/mm"),
            std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir + "/home"));
  if (oldHome != nullptr) ::setenv("HOME", keepHome.c_str(), 1); else ::unsetenv("HOME");
  SetPrinterPort(nullptr);
  SetUi(nullptr);
  fs::remove_all(dir);
}

// "Drucker..." of the print set-up opens the print dialog also when the
// system has no printer (it offers the PDF file printer then).
TEST(QtPrintSetup, PrinterButtonOpensThePrintDialog) {
  std::string seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
      seen = dialog->objectName().toStdString();
      dialog->reject();
    }
  });
  timer.start(20);
  bool landscape = false;
  EXPECT_FALSE(QtPrinterSeams(nullptr).printDialog(landscape));  // cancelled
  timer.stop();
  EXPECT_EQ(seen, "PrintDialog1");
}

}  // namespace
}  // namespace zeb
