// Error-help form, text viewer, choosers and colours on Qt.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/colors.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"
#include "base/viewer.h"
#include "base_qt/support_qt.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"

namespace zeb::qttest {
namespace {

class QtForms : public QtTest {};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void TypeInto(QWidget* w, const QString& typed) {
  for (QChar c : typed) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

class QtErrorHelp : public QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    message = "Fehler : Drahtdurchmesser zu groß"_oem.str();
    file = scratch + "/zeb1.err";
    original = message + "\r\nUrsache alt\r\nAbhilfe alt\r\nWarnung: anderes\r\nU2\r\nA2\r\n";
    WriteBytes(file, original);
    G().ErrorMessageList.count = 1;
    G().ErrorMessageList.slot[1] = message;
  }
  std::string message, file, original;
};

TEST_F(QtErrorHelp, EditConfirmedWithYesIsWritten) {
  WhenShown("Thelperr", [](QWidget* d) {
    auto* edit = Child<QLineEdit>(d, "Edit_meldung");
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->text(), QString::fromUtf8("Fehler : Drahtdurchmesser zu groß"));
    auto* cause = Child<QPlainTextEdit>(d, "Memo_ursache");
    EXPECT_EQ(cause->toPlainText(), "Ursache alt");
    cause->moveCursor(QTextCursor::End);
    TypeInto(cause, QString::fromUtf8(" größer"));
    AnswerBox("Save Changes ?", QMessageBox::Yes);
    Child<QPushButton>(d, "Button_ok")->click();
  });
  ShowErrorHelp(1);
  EXPECT_EQ(ReadBytes(file), message + "\r\nUrsache alt " + "größer"_oem.str() +
                                 "\r\nAbhilfe alt\r\nWarnung: anderes\r\nU2\r\nA2\r\n");
}

TEST_F(QtErrorHelp, NoQuestionWithoutEditOrWhenEscaped) {
  // Unedited: OK closes without asking (a question would be left open).
  WhenShown("Thelperr", [](QWidget* d) { Child<QPushButton>(d, "Button_ok")->click(); });
  ShowErrorHelp(1);
  // Edited, then Escape: the edit is dropped.
  WhenShown("Thelperr", [](QWidget* d) {
    TypeInto(Child<QPlainTextEdit>(d, "Memo_abhilfe"), "neu");
    QTest::keyClick(d, Qt::Key_Escape);
  });
  ShowErrorHelp(1);
  EXPECT_EQ(ReadBytes(file), original);
}

TEST_F(QtForms, ViewerShowsTheFileAndReopensWhereClosed) {
  WriteBytes(scratch + "/outwin.txt", FromUtf8(CodePage::Cp1252, "Zeile 1\r\nMaß\r\n"));
  WhenShown("TForm_showtextfile", [](QWidget* d) {
    EXPECT_EQ(Child<QPlainTextEdit>(d, "Memo1")->toPlainText(), QString::fromUtf8("Zeile 1\nMaß\n"));
    EXPECT_TRUE(Child<QPlainTextEdit>(d, "Memo1")->isReadOnly());
    EXPECT_EQ(d->pos(), QPoint(10, 40));
    EXPECT_EQ(d->size(), QSize(700, 440));
    d->move(123, 77);
    d->resize(500, 300);
    Child<QAction>(d, "mi_dateiBeenden")->trigger();
  });
  ShowTextFileViewer("Standardausdruck", scratch + "/out.txt");
  WhenShown("TForm_showtextfile", [](QWidget* d) {
    EXPECT_EQ(d->pos(), QPoint(123, 77));
    EXPECT_EQ(d->size(), QSize(500, 300));
    QTest::keyClick(d, Qt::Key_Escape);
  });
  ShowTextFileViewer("Standardausdruck", scratch + "/out.txt");
}

TEST_F(QtForms, ViewerCopiesTheSelectionAndMarkAllTheWholeText) {
  WriteBytes(scratch + "/outwin.txt", "erste Zeile\r\nzweite Zeile\r\n");
  WhenShown("TForm_showtextfile", [](QWidget* d) {
    auto* memo = Child<QPlainTextEdit>(d, "Memo1");
    QTextCursor c = memo->textCursor();
    c.setPosition(6);
    c.setPosition(11, QTextCursor::KeepAnchor);
    memo->setTextCursor(c);
    QGuiApplication::clipboard()->clear();
    Child<QAction>(d, "mi_EditCopy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Zeile");
    EXPECT_EQ(memo->textCursor().selectedText(), "Zeile");
    Child<QAction>(d, "mi_EditMarkAll")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "erste Zeile\nzweite Zeile\n");
    Child<QAction>(d, "mi_dateiBeenden")->trigger();
  });
  ShowTextFileViewer("Standardausdruck", scratch + "/out.txt");
}

// Both exports of the text window hand the file to the text program.
TEST_F(QtForms, BothViewerExportsStartTheTextProgram) {
  int exports = 0;
  TextViewerRequest request;
  request.exportNotepad = [&] { ++exports; };
  TForm_showtextfile form(nullptr, request);
  Child<QAction>(&form, "mi_dateiExportNotepad")->trigger();
  Child<QAction>(&form, "ExportWordpad1")->trigger();
  EXPECT_EQ(exports, 2);
}

// A group box that keeps its frame as a picture looks like the plain one
// (to a unit of colour), also after its title, size or state changed and over a label that changed.
TEST_F(QtForms, CachedGroupBoxLooksLikeThePlainOne) {
  QWidget plainForm, cachedForm;
  auto* plain = new QGroupBox(" Ausgabefeld ", &plainForm);
  auto* cached = new CachedGroupBox(" Ausgabefeld ", &cachedForm);
  QLabel* labels[2];
  int k = 0;
  for (QGroupBox* box : {plain, static_cast<QGroupBox*>(cached)}) {
    box->parentWidget()->resize(260, 200);
    box->setGeometry(10, 5, 140, 150);
    labels[k++] = new QLabel("F1 = 280", box);
  }
  const auto same = [&](const char* what) {
    const QImage a = plainForm.grab().toImage().convertToFormat(QImage::Format_RGB32),
                 b = cachedForm.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(a.size(), b.size());
    int differ = 0, most = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) {
        const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
        if (p == q) continue;
        ++differ;
        most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
      }
    // The frame's half-transparent pixels laid over twice round once more.
    EXPECT_LE(most, 1) << what << ": " << differ << " pixels";
  };
  same("first paint");
  same("painted again from the picture");
  for (QLabel* l : labels) l->setText("F1 = 279.5");
  same("a label changed");
  plain->setTitle(" Fehlermeldungen ");
  cached->setTitle(" Fehlermeldungen ");
  same("new title");
  plain->resize(200, 180);
  cached->resize(200, 180);
  same("new size");
  plain->setEnabled(false);
  cached->setEnabled(false);
  same("disabled");
}

TEST(QtColours, TableColoursBecomeQColors) {
  ResetBaseGlobals();
  InitDefaultColors();
  EXPECT_EQ(ColourNumberToQColor(4), QColor(255, 0, 0));
  EXPECT_EQ(ColourNumberToQColor(16), QColor(0, 0, 0));
  EXPECT_EQ(ColourNumberToQColor(1), QColor(0, 0, 0x80));  // 0x800000 is a dark blue
  EXPECT_EQ(ColourValueToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
}

TEST(QtFilters, MasksMatchAnyCase) {
  EXPECT_EQ(FilterToNameFilters("*.zeb|*.zeb"), QStringList{"*.zeb (*.zeb *.[zZ][eE][bB])"});
  EXPECT_EQ(FilterToNameFilters("Texte|*.txt;*.prn|Alle|*"),
            (QStringList{"Texte (*.txt *.[tT][xX][tT] *.prn *.[pP][rR][nN])", "Alle (*)"}));
  EXPECT_EQ(FilterToNameFilters("*.igs|*.igs|*.*|*.*"), (QStringList{"*.igs (*.igs *.[iI][gG][sS])", "*.* (*)"}));
  EXPECT_TRUE(FilterToNameFilters("").isEmpty());
}

TEST_F(QtForms, OpenChooserListsUpperCaseFilesAndReturnsThePath) {
  WriteBytes(scratch + "/FEDER.ZEB", "x");
  WriteBytes(scratch + "/notiz.txt", "x");
  std::string path;
  WhenShown("OpenDialog", [](QWidget* d) {
    auto* dialog = qobject_cast<QFileDialog*>(d);
    auto* view = Child<QListView>(d, "listView");
    if (!dialog || !view) return d->close(), void();
    // The folder is listed in the background (hang bound: it takes
    // milliseconds).
    (void)QTest::qWaitFor([view] { return view->model()->rowCount(view->rootIndex()) > 0; }, 20000);
    ASSERT_EQ(view->model()->rowCount(view->rootIndex()), 1);
    EXPECT_EQ(view->model()->index(0, 0, view->rootIndex()).data().toString(), "FEDER.ZEB");
    // Typed as a user would.
    Child<QLineEdit>(d, "fileNameEdit")->setText("FEDER.ZEB");
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_TRUE(ui->ChooseOpenFile(scratch, "*.zeb|*.zeb", path));
  EXPECT_EQ(path, scratch + "/FEDER.ZEB");
}

// The save chooser's name filters match either case ("*.[iI][gG][sS]"); the
// extension the dialog puts on a name when a filter is chosen stays plain.
TEST_F(QtForms, SaveChooserKeepsPlainExtensions) {
  struct Case {
    const char* filter;
    const char* preset;
    std::function<void(QFileDialog&)> act;
    const char* expected;
  } cases[] = {
      {"*.igs|*.igs|*.*|*.*", "round_dynamic.igs", {}, "round_dynamic.igs"},
      // The filter's own spelling.
      {"HTML files|*.HTM;*.HTML|All files|*.*", "t10270_1.htm", {}, "t10270_1.HTM"},
      {"*.dxf|*.dxf|*.*|*.*", "", [](QFileDialog& d) {
         // Typed with another extension, then the first type chosen by key.
         auto* combo = Child<QComboBox>(&d, "fileTypeCombo");
         Child<QLineEdit>(&d, "fileNameEdit")->setText("feder.igs");
         QTest::keyClick(combo, Qt::Key_Down);
         QTest::keyClick(combo, Qt::Key_Up);
       }, "feder.dxf"},
      // "All files" keeps the typed name.
      {"*.dxf|*.dxf|*.*|*.*", "", [](QFileDialog& d) {
         Child<QLineEdit>(&d, "fileNameEdit")->setText("feder.dxf");
         QTest::keyClick(Child<QComboBox>(&d, "fileTypeCombo"), Qt::Key_Down);
       }, "feder.dxf"},
  };
  for (const Case& c : cases) {
    std::string path, shown;
    WhenShown("SaveDialog", [&](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (!dialog) return w->close(), void();
      QTest::qWait(20);
      if (c.act) c.act(*dialog);
      shown = Child<QLineEdit>(w, "fileNameEdit")->text().toStdString();
      static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(ui->ChooseSaveFile(scratch, c.filter, c.preset, path)) << c.preset;
    EXPECT_EQ(shown, c.expected) << c.filter;
    EXPECT_EQ(path, scratch + "/" + c.expected) << c.filter;
  }
}

// A typed name is the name: the dialog's reading of double quotes as marks
// around several names does not cut it.
TEST_F(QtForms, SaveChooserKeepsQuotesOfATypedName) {
  for (const char* typed : {"q\"uo te", "\"ganz\"", "a \"b\" c.zeb"}) {
    std::string path;
    WhenShown("SaveDialog", [&](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (!dialog) return w->close(), void();
      QTest::qWait(20);
      Child<QLineEdit>(w, "fileNameEdit")->setText(QString::fromUtf8(typed));
      static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(ui->ChooseSaveFile(scratch, "*.zeb|*.zeb", "", path)) << typed;
    EXPECT_EQ(path, scratch + "/" + typed);
  }
}

}  // namespace
}  // namespace zeb::qttest
