// Qt's own dialog texts follow the menu language: the words are those of
// Qt's published German, French and Spanish translations, and the program's
// own for Swedish and Romanian.
#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <set>
#include <tuple>

#include "base/qt/qt_translations.h"
#include "base_qt/support_qt.h"

namespace zeb::qttest {
namespace {

class QtTranslationTest : public QtTest {
 protected:
  void TearDown() override {
    UseQtTranslation(2);
    QtTest::TearDown();
  }
  static QString Button(QMessageBox::StandardButton b) {
    QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return box.button(b)->text();
  }
  static QString Tr(const char* context, const char* text) { return QCoreApplication::translate(context, text); }
};

TEST_F(QtTranslationTest, GermanSessionGermanButtonsAndFileDialog) {
  ASSERT_TRUE(UseQtTranslation(1));
  EXPECT_EQ(Button(QMessageBox::Yes), "&Ja");
  EXPECT_EQ(Button(QMessageBox::No), "&Nein");
  EXPECT_EQ(Button(QMessageBox::Cancel), "Abbrechen");
  EXPECT_EQ(Tr("QFileDialog", "Look in:"), "Suchen in:");
  EXPECT_TRUE(Tr("QFileDialog", "%1 already exists.\nDo you want to replace it?").contains("existiert"));
  // The language at start (0) is German too.
  ASSERT_TRUE(UseQtTranslation(0));
  EXPECT_EQ(Button(QMessageBox::Yes), "&Ja");
}

TEST_F(QtTranslationTest, EnglishSessionEnglishAndOtherLanguagesTheirOwn) {
  ASSERT_TRUE(UseQtTranslation(1));
  EXPECT_FALSE(UseQtTranslation(2));  // Qt's own language: nothing installed
  EXPECT_EQ(Button(QMessageBox::Yes), "&Yes");
  EXPECT_EQ(Tr("QFileDialog", "Look in:"), "Look in:");
  ASSERT_TRUE(UseQtTranslation(3));
  EXPECT_EQ(Button(QMessageBox::Yes), "&Oui");
  ASSERT_TRUE(UseQtTranslation(9));
  EXPECT_EQ(Button(QMessageBox::No), "&No");
  EXPECT_EQ(Button(QMessageBox::Cancel), "Cancelar");
  // Swedish and Romanian: the program's own words.
  ASSERT_TRUE(UseQtTranslation(5));
  EXPECT_EQ(Button(QMessageBox::Yes), "&Ja");
  EXPECT_EQ(Button(QMessageBox::Cancel), "Avbryt");
  EXPECT_EQ(Tr("QFileDialog", "Look in:"), "Sök i:");
  ASSERT_TRUE(UseQtTranslation(7));
  EXPECT_EQ(Button(QMessageBox::No), "&Nu");
  EXPECT_EQ(Button(QMessageBox::Cancel), QString::fromUtf8("Anulează"));
  EXPECT_EQ(Tr("QFileDialog", "File &name:"), QString::fromUtf8("&Nume fișier:"));
  EXPECT_FALSE(UseQtTranslation(2));
  EXPECT_EQ(Button(QMessageBox::Cancel), "Cancel");
}

// Notes every text Qt asks for while the dialogs the program uses are built
// and shown.
class Recorder : public QTranslator {
 public:
  mutable std::set<std::pair<QString, QString>> asked;
  QString translate(const char* context, const char* source, const char*, int) const override {
    if (context != nullptr && source != nullptr) asked.insert({context, source});
    return {};
  }
  bool isEmpty() const override { return false; }
};

void ShowAndClose(QDialog& d) {
  d.show();
  for (int k = 0; k < 10; ++k) QApplication::processEvents();
  d.close();
}

// Every dialog text a Swedish or Romanian user meets has words of its own:
// what Qt asks for is recorded in English, then looked up in both.
// Paper-size names, units, shortcut keys and font script names stay as Qt
// writes them.
TEST_F(QtTranslationTest, SwedishAndRomanianCoverEveryDialogText) {
  UseQtTranslation(2);
  Recorder recorder;
  QCoreApplication::installTranslator(&recorder);
  for (QFileDialog::AcceptMode mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
    QFileDialog f(nullptr, "", QDir::tempPath(), "Text (*.txt);;Alle (*)");
    f.setOption(QFileDialog::DontUseNativeDialog);
    f.setAcceptMode(mode);
    ShowAndClose(f);
  }
  {
    QFileDialog f(nullptr, "", QDir::tempPath());
    f.setOption(QFileDialog::DontUseNativeDialog);
    f.setFileMode(QFileDialog::Directory);
    f.setOption(QFileDialog::ShowDirsOnly);
    ShowAndClose(f);
  }
  {
    QPrinter printer;
    QPrintDialog p(&printer);
    ShowAndClose(p);
  }
  {
    QColorDialog c;
    c.setOption(QColorDialog::DontUseNativeDialog);
    ShowAndClose(c);
    QFontDialog f;
    f.setOption(QFontDialog::DontUseNativeDialog);
    ShowAndClose(f);
  }
  (void)Button(QMessageBox::Yes);
  QCoreApplication::removeTranslator(&recorder);
  const QSet<QString> asIs = {"QPageSize", "QFontDatabase", "QShortcut", "QGuiApplication"};
  const QRegularExpression notWords(R"(^(Form|\.\.\.|mm|Alt\+.*|\d+ \(\d+x\d+\)|.*\((CC|DD|P.)\))$)");
  int checked = 0;
  for (int language : {5, 7}) {
    ASSERT_TRUE(UseQtTranslation(language));
    for (const auto& [context, source] : recorder.asked) {
      if (asIs.contains(context) || notWords.match(source).hasMatch()) continue;
      const QString words = QCoreApplication::translate(context.toUtf8().constData(), source.toUtf8().constData());
      EXPECT_FALSE(words.isEmpty())
          << language << " " << context.toStdString() << ": " << source.toStdString();
      ++checked;
    }
  }
  EXPECT_GT(checked, 200);
}

// Within one dialog no two labels or buttons share an access key.
TEST_F(QtTranslationTest, AccessKeysStayUniqueInEachDialog) {
  for (int language : {5, 7}) {
    ASSERT_TRUE(UseQtTranslation(language));
    QColorDialog c;
    c.setOption(QColorDialog::DontUseNativeDialog);
    QFontDialog f;
    f.setOption(QFontDialog::DontUseNativeDialog);
    for (QDialog* d : {static_cast<QDialog*>(&c), static_cast<QDialog*>(&f)}) {
      std::set<QChar> keys;
      QStringList texts;
      for (QLabel* l : d->findChildren<QLabel*>()) texts << l->text();
      for (QAbstractButton* b : d->findChildren<QAbstractButton*>()) texts << b->text();
      for (QGroupBox* g : d->findChildren<QGroupBox*>()) texts << g->title();
      for (const QString& t : texts) {
        const int at = t.indexOf('&');
        if (at < 0 || at + 1 >= t.size() || t[at + 1] == '&') continue;
        EXPECT_TRUE(keys.insert(t[at + 1].toLower()).second)
            << language << " " << d->metaObject()->className() << ": " << t.toStdString();
      }
    }
  }
}

}  // namespace
}  // namespace zeb::qttest
