// The small input dialogs on Qt, driven through the base routines.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>

#include "base/dialogs.h"
#include "base/globals.h"
#include "base/qt/qt_translations.h"
#include "base_qt/support_qt.h"
#include "platform/oem_literal.h"

namespace zeb::qttest {
namespace {

class QtDialogs : public QtTest {};

void TypeAndPress(QWidget* dialog, const QString& typed, Qt::Key key) {
  auto* edit = Child<QLineEdit>(dialog, "EditEinText");
  if (!edit) return;
  edit->selectAll();
  // Key events that carry the text, as a keyboard layout would send them.
  for (QChar c : typed) QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
  QTest::keyClick(edit, key);
}

TEST_F(QtDialogs, TextDialogReturnsTypedTextInCp850AndEscapeKeepsTheText) {
  std::string text = "alt";
  WhenShown("Tin_textdialog", [](QWidget* d) {
    EXPECT_EQ(Child<QLabel>(d, "Label1")->text(), QString::fromUtf8("Größe ändern"));
    EXPECT_EQ(Child<QLineEdit>(d, "EditEinText")->text(), "alt");
    EXPECT_EQ(Child<QLineEdit>(d, "EditEinText")->maxLength(), 20);
    TypeAndPress(d, QString::fromUtf8("ä"), Qt::Key_Return);
  });
  InputText("Größe ändern"_oem, 20, text);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(text, std::string(1, static_cast<char>(0x84)));
  WhenShown("Tin_textdialog", [](QWidget* d) { TypeAndPress(d, "neu", Qt::Key_Escape); });
  InputText("Name", 20, text);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(text, "\x84");
}

TEST_F(QtDialogs, HelpButtonRunsHelpAndKeepsDialogOpen) {
  std::string text = "x";
  int helpCalls = 0;
  DialogHelp help;
  help.text = [&] { ++helpCalls; };
  WhenShown("Tin_textdialog", [&](QWidget* d) {
    Child<QPushButton>(d, "Button_hilfetext")->click();
    EXPECT_EQ(helpCalls, 1);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(Child<QPushButton>(d, "Button_hilfebild")->isEnabled());  // no picture help given
    Child<QPushButton>(d, "Button_ok")->click();
  });
  EXPECT_EQ(ui->InputText("p", 10, text, help), DialogEnd::Ok);
  EXPECT_EQ(helpCalls, 1);
}

TEST_F(QtDialogs, RangeInputAsksAgainUntilTheValueFits) {
  Real x = 12.3456L;
  WhenShown("Tin_textdialog", [](QWidget* d) {
    AnswerBox("Gültiger Wertebereich: 1 .. 10 !", QMessageBox::Ok);
    WhenShown("Tin_textdialog", [](QWidget* again) {
      EXPECT_EQ(Child<QLineEdit>(again, "EditEinText")->text(), "0.5");
      TypeAndPress(again, "7,25", Qt::Key_Return);
    });
    TypeAndPress(d, "0,5", Qt::Key_Return);
  });
  InputFloatInRange("Wert", x, 1, 10);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(x, 7.25L);
}

TEST_F(QtDialogs, YesNoDialogPreselectsAndReturnsTheAnswer) {
  bool flag = true;
  WhenShown("Tin_janeindialog", [](QWidget* d) {
    const auto radios = Child<QGroupBox>(d, "RadioGroup_janein")->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_TRUE(radios[0]->isChecked());  // "&Ja"
    radios[1]->click();
    Child<QPushButton>(d, "Button_ok")->click();
  });
  AskYesNo("Weiter ?", flag);
  EXPECT_FALSE(flag);
  EXPECT_EQ(G().AbortFlag, 0);
}

// Enter answers a question with its default: Yes, but No where Yes throws
// work away. The German question has German buttons in a French session.
TEST_F(QtDialogs, EnterInAQuestionTakesItsDefault) {
  UseQtTranslation(3);
  for (const bool discard : {false, true}) {
    G().AbortFlag = 0;
    WhenShown("QMessageBox", [](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->button(QMessageBox::Yes)->text(), "&Ja");
      EXPECT_EQ(box->button(QMessageBox::No)->text(), "&Nein");
      EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), "Abbrechen");
      QTest::keyClick(box, Qt::Key_Return);
    });
    const bool yes = discard ? AskYesNoCancelNoDefault("Bisherige Eingaben verwerfen ?")
                             : AskYesNoCancel("Datei speichern ?");
    EXPECT_EQ(yes, !discard) << discard;
    EXPECT_EQ(G().AbortFlag, 0) << discard;
  }
  UseQtTranslation(2);
}

void FillLineTable(int n) {
  for (int i = 1; i <= n; ++i) G().LineTable[static_cast<std::size_t>(i)] = "Wahl " + std::to_string(i);
}

TEST_F(QtDialogs, SevenChoicesShowRadioButtons) {
  FillLineTable(7);
  std::int16_t choice = 9;  // out of range: the first is preselected
  WhenShown("Tin_radiodialog", [](QWidget* d) {
    EXPECT_EQ(d->findChild<QListWidget*>("ListBox1"), nullptr);
    const auto radios = Child<QGroupBox>(d, "RadioGroup1")->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 7);
    EXPECT_TRUE(radios[0]->isChecked());
    EXPECT_EQ(radios[6]->text(), "Wahl 7");
    radios[4]->click();
    QTest::keyClick(d, Qt::Key_Return);
  });
  AskChoice("Welche ?", 7, choice);
  EXPECT_EQ(choice, 5);
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(QtDialogs, EightChoicesShowAListAndEnterInTheListAccepts) {
  FillLineTable(8);
  std::int16_t choice = 2;
  G().AbortFlag = 1;  // the list's Enter clears it
  WhenShown("Tin_codedialog", [](QWidget* d) {
    EXPECT_EQ(d->findChild<QGroupBox*>("RadioGroup1"), nullptr);
    auto* list = Child<QListWidget>(d, "ListBox1");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 8);
    EXPECT_EQ(list->currentRow(), 1);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
  });
  AskChoice("Welche ?", 8, choice);
  EXPECT_EQ(choice, 3);
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(QtDialogs, ScreenShowsTwentyTwoLines) {
  for (int i = 1; i <= 22; ++i) G().LineTable[static_cast<std::size_t>(i)] = "Zeile " + std::to_string(i);
  G().LineTable[3] = "Maß"_oem;
  WhenShown("TShowScreen", [](QWidget* d) {
    auto* memo = Child<QPlainTextEdit>(d, "Memo1");
    EXPECT_EQ(memo->blockCount(), 22);
    EXPECT_EQ(memo->document()->findBlockByNumber(2).text(), QString::fromUtf8("Maß"));
    Child<QPushButton>(d, "Button_ok")->click();
  });
  ShowScreenDialog();
}

TEST_F(QtDialogs, DialogIsCentredTwentyPixelsLowOverTheMainWindow) {
  QMainWindow main;
  main.setGeometry(100, 100, 800, 600);
  main.show();
  main.activateWindow();
  G().DialogSizePercent = 100;
  bool yes = true;
  WhenShown("Tin_janeindialog", [](QWidget* d) {
    // Designed 300 x 200.
    EXPECT_EQ(d->pos(), QPoint(100 + (800 - 300) / 2, 100 + (600 - 200) / 2 + 20));
    QTest::keyClick(d, Qt::Key_Escape);
  });
  ui->AskYesNo("?", yes, {});
}

}  // namespace
}  // namespace zeb::qttest
