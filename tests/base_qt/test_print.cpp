// Text printing into a PDF file, checked with poppler's pdfinfo and pdftotext.
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <fstream>

#include "base/globals.h"
#include "base/viewer.h"
#include "base_qt/support_qt.h"
#include "platform/oem_literal.h"

namespace zeb::qttest {
namespace {

class QtPrint : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    pdf = scratch + "/druck.pdf";
    ui->SetPdfOutput(pdf);
  }

  // Writes a code page 850 text file; "\f" starts a form-feed line.
  std::string WriteText(const std::string& bytes) {
    const std::string path = scratch + "/liste.txt";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
      ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
      return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
  }

  int Pages() {
    const QString info = Run("pdfinfo", {QString::fromStdString(pdf)});
    for (const QString& line : info.split('\n')) {
      if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    }
    return -1;
  }

  QString Text() { return Run("pdftotext", {"-layout", QString::fromStdString(pdf), "-"}); }

  std::string pdf;
};

const std::string kThreePages =
    "Seite eins\r\n\fKopf\r\nSeite zwei Maß\r\n\f\r\nSeite drei\r\n\f\r\n"_oem.str();

TEST_F(QtPrint, RangesPrintTheirPagesAndText) {
  ui->SetPrintRangeAnswer(QtUi::PageRange{1, 3});
  PrintTextFile(WriteText(kThreePages));
  EXPECT_EQ(Pages(), 3);
  QString text = Text();
  EXPECT_TRUE(text.contains("Seite eins")) << text.toStdString();
  EXPECT_FALSE(text.contains("Kopf")) << "the rest of a form-feed line is not printed";

  // Pages 2 to 3: page 2 on the first sheet, page 3 on the second.
  ui->SetPrintRangeAnswer(QtUi::PageRange{2, 3});
  PrintTextFile(WriteText(kThreePages));
  EXPECT_EQ(Pages(), 2);
  text = Text();
  EXPECT_FALSE(text.contains("Seite eins")) << text.toStdString();
  const QStringList sheets = text.split('\f');
  ASSERT_GE(sheets.size(), 2);
  EXPECT_TRUE(sheets[0].contains(QString::fromUtf8("Seite zwei Maß"))) << text.toStdString();
  EXPECT_TRUE(sheets[1].contains("Seite drei")) << text.toStdString();

  // No form feed: one page.
  ui->SetPrintRangeAnswer(QtUi::PageRange{1, 1});
  PrintTextFile(WriteText("erste Zeile\r\nzweite Zeile\r\n"));
  EXPECT_EQ(Pages(), 1);
  EXPECT_TRUE(Text().contains("zweite Zeile"));
}

TEST_F(QtPrint, PrintDialogOffersThePresetRange) {
  ui->SetPdfOutput({});
  int first = 1, last = 3;
  WhenShown("PrintDialog", [](QWidget* d) {
    auto* dialog = qobject_cast<QPrintDialog*>(d);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->printRange(), QAbstractPrintDialog::PageRange);
    EXPECT_EQ(dialog->minPage(), 1);
    EXPECT_EQ(dialog->maxPage(), 3);
    EXPECT_EQ(dialog->fromPage(), 1);
    EXPECT_EQ(dialog->toPage(), 3);
    dialog->reject();
  });
  EXPECT_FALSE(ui->PrintRange(first, last, 1, 3));
}

}  // namespace
}  // namespace zeb::qttest
