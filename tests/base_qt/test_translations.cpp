// Qt's own dialog texts follow the menu language: the words are those of
// Qt's published German, French and Spanish translations.
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>

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
  // Swedish and Romanian: Qt ships no translation; English stays, nothing German.
  EXPECT_FALSE(UseQtTranslation(5));
  EXPECT_EQ(Button(QMessageBox::Yes), "&Yes");
  EXPECT_FALSE(UseQtTranslation(7));
  EXPECT_EQ(Button(QMessageBox::Cancel), "Cancel");
}

}  // namespace
}  // namespace zeb::qttest
