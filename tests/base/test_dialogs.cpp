#include <gtest/gtest.h>

#include <string>

#include "base/colors.h"
#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "platform/oem_literal.h"
#include "support_fixture.h"

namespace zeb {
namespace {

class DialogsTest : public test::BaseTest {};

// ---------------------------------------------------------------- boxes and questions

TEST_F(DialogsTest, BoxCaptionsByKindAndTextConverted) {
  ui().ExpectMessageBox("Fehler : ", "Schließen");
  ui().ExpectMessageBox("Hilfe", "b");
  ui().ExpectMessageBox("Meldung:", "c");
  ui().ExpectMessageBox("Meldung:", "d");
  ShowErrorBox("Fehler beim Schließen einer Datei"_oem);
  ShowMessageBox("b", 3);
  ShowMessageText("c");
  ShowMessageKind11("d");
  ASSERT_EQ(ui().shown().size(), 4u);
  EXPECT_EQ(ui().shown()[0].caption1252, "Fehler : ");
  // "ß" is 0xE1 in code page 850 and 0xDF in Windows-1252.
  EXPECT_NE(ui().shown()[0].text1252.find('\xDF'), std::string::npos);
  EXPECT_EQ(ui().shown()[2].caption, "Meldung:");
}

TEST_F(DialogsTest, ShowErrorOnlyWhileSwitchIsOn) {
  G().ShowErrorsSwitch = 0;
  ShowError("x");
  ShowArchiveModeRefusal();
  EXPECT_TRUE(ui().shown().empty());
  ui().ExpectMessageBox("Fehler : ", "y");
  ShowErrorBox("y");
  G().ShowErrorsSwitch = 1;
  ui().ExpectMessageBox("Fehler : ", "File- und User- Befehle sind im Archivierungsmodus nicht möglich.");
  ShowArchiveModeRefusal();
}

TEST_F(DialogsTest, InfoBoxAndOemMessageConvertCaptionAndText) {
  G().ProgramTitle = "ZEB1 Größe"_oem;
  ui().ExpectMessageBox("Maß", "Länge");
  ui().ExpectMessageBox("ZEB1 Größe", "Öl");
  ShowInfoBox("Maß"_oem, "Länge"_oem);
  ShowOemMessage("Öl"_oem);
}

TEST_F(DialogsTest, YesNoCancelQuestion) {
  G().ProgramTitle = "Prüfprogramm"_oem;
  ui().ExpectQuestion("Prüfprogramm", "Speichern ?", Answer::Yes);
  ui().ExpectQuestion("", "Speichern ?", Answer::No);
  ui().ExpectQuestion("", "Speichern ?", Answer::Cancel);
  EXPECT_TRUE(AskYesNoCancel("Speichern ?"));
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_FALSE(AskYesNoCancel("Speichern ?"));
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_FALSE(AskYesNoCancelB("Speichern ?"));
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ui().shown()[0].questionKind, QuestionKind::YesNoCancel);
}

TEST_F(DialogsTest, RetryCancelAskedEvenWithErrorsSwitchedOff) {
  G().ShowErrorsSwitch = 0;
  ui().ExpectQuestion("Fehler", "Schreibschutz entfernen !", Answer::Retry);
  ui().ExpectQuestion("Fehler", "Schreibschutz entfernen !", Answer::Cancel);
  EXPECT_TRUE(AskRetryCancel("Schreibschutz entfernen !"));
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_FALSE(AskRetryCancel("Schreibschutz entfernen !"));
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ui().shown()[1].questionKind, QuestionKind::RetryCancel);
}

// ---------------------------------------------------------------- range input

TEST_F(DialogsTest, FloatRangeCommaAnswerOutOfRangeAsksAgain) {
  Real x = 5;
  ui().ExpectInputText("Wert", "0,5").Value("5");
  ui().ExpectMessageBox("Fehler : ", "Gültiger Wertebereich: 1 .. 10 !");
  ui().ExpectInputText("Wert", "7").Value("0.5");
  InputFloatInRange("Wert"_oem, x, 1, 10);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ui().beeps(), 1);
  EXPECT_EQ(ui().shown()[0].maxLength, 30);
}

TEST_F(DialogsTest, FloatRangeInvalidAnswerShowsItAndAsksWithPreviousValue) {
  Real x = 2.5L;
  ui().ExpectInputText("", "abc");
  ui().ExpectMessageBox("Fehler : ", "Ungültige Eingabe \"abc\" !");
  ui().ExpectInputText("", "20").Value("2.5");
  ui().ExpectMessageBox("", "Gültiger Wertebereich: 1 .. 10 !");
  ui().ExpectInputText("", "").Value("20");
  ui().ExpectMessageBox("", "Ungültige Eingabe \"\" !");
  ui().ExpectInputText("", TextAnswer::Keep()).Value("2.5");
  InputFloatInRange("Wert", x, 1, 10);
  EXPECT_EQ(x, 2.5L);
  EXPECT_EQ(ui().beeps(), 3);
}

TEST_F(DialogsTest, FloatRangeAcceptsBoundsAndKeepsAnUnchangedText) {
  Real x = 5;
  ui().ExpectInputText("", "1");
  ui().ExpectInputText("", "10");
  InputFloatInRange("Wert", x, 1, 10);
  EXPECT_EQ(x, 1);
  InputFloatInRange("Wert", x, 1, 10);
  EXPECT_EQ(x, 10);
  x = 12.3456L;
  ui().ExpectInputText("", TextAnswer::Keep()).Value(FloatToStrSig(12.3456L));
  InputFloatInRange("Wert", x, 1, 100);
  EXPECT_EQ(x, 12.3456L);  // not the shown 12.35
}

TEST_F(DialogsTest, FloatRangeCancelLeavesValue) {
  Real x = 3.14159L;
  ui().ExpectInputText("", "50");
  ui().ExpectMessageBox("", "Wertebereich");
  ui().ExpectInputText("", TextAnswer::Cancel());
  InputFloatInRange("Wert", x, 1, 10);
  EXPECT_EQ(x, 3.14159L);
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(DialogsTest, FloatRangeStartingBelowMinShowsRangeAfterInvalidAnswer) {
  // The working value falls back to the old value, which is still below min.
  Real x = 0;
  ui().ExpectInputText("", "x");
  ui().ExpectMessageBox("", "Ungültige Eingabe \"x\" !");
  ui().ExpectMessageBox("", "Gültiger Wertebereich: 1 .. 10 !");
  ui().ExpectInputText("", "inf");
  ui().ExpectMessageBox("", "Ungültige Eingabe \"inf\" !");
  ui().ExpectMessageBox("", "Gültiger Wertebereich");
  ui().ExpectInputText("", "3");
  InputFloatInRange("Wert", x, 1, 10);
  EXPECT_EQ(x, 3);
}

TEST_F(DialogsTest, Real48RangeKeepsBytesAndRefusesWhatItCannotHold) {
  Real48 x{0x83, 0x33, 0x33, 0x33, 0x33, 0x7b};  // 7.85
  const Real48 before = x;
  ui().ExpectInputText("", TextAnswer::Keep());
  InputReal48InRange("Wert", x, 0, 1e40L);
  EXPECT_EQ(x, before);
  ui().ExpectInputText("", "1e39");
  ui().ExpectMessageBox("", "Ungültige Eingabe \"1e39\" !");
  ui().ExpectInputText("", "-1,5");
  InputReal48InRange("Wert", x, -1e40L, 1e40L);
  EXPECT_EQ(x, (Real48{0x81, 0, 0, 0, 0, 0xc0}));
}

TEST_F(DialogsTest, IntRangeSwapsBounds) {
  std::int32_t n = 5;
  ui().ExpectInputText("", "11").Value("5");
  ui().ExpectMessageBox("", "Gültiger Wertebereich: 1 .. 10 !");
  ui().ExpectInputText("", "1").Value("11");
  InputIntInRange("Anzahl", n, 10, 1);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(ui().shown()[0].maxLength, 12);
  ui().ExpectInputText("", "10");
  InputIntInRangeLong("Anzahl", n, 10, 1);
  EXPECT_EQ(n, 10);
}

TEST_F(DialogsTest, IntRangeRejectsFractionsAndValuesBeyond32Bits) {
  std::int32_t n = 3;
  ui().ExpectInputText("", "2.5");
  ui().ExpectMessageBox("", "Ungültige Eingabe \"2.5\" !");
  ui().ExpectInputText("", "4294967297").Value("3");
  ui().ExpectMessageBox("", "Ungültige Eingabe \"4294967297\" !");
  ui().ExpectInputText("", "-4");
  InputIntInRange("Anzahl", n, -2147483647 - 1, 2147483647);
  EXPECT_EQ(n, -4);
}

TEST_F(DialogsTest, WordRangeHeldTo16Bits) {
  std::uint16_t w = 7;
  ui().ExpectInputText("", "70000");
  ui().ExpectMessageBox("", "Gültiger Wertebereich: 0 .. 65535 !");
  ui().ExpectInputText("", "65535");
  InputIntInRangeWord("Anzahl", w, 100000, -5);
  EXPECT_EQ(w, 65535);
}

// ---------------------------------------------------------------- small dialogs

TEST_F(DialogsTest, InputTextReturnsCodePage850AndKeepsTextOnCancel) {
  std::string text = "Maß"_oem;
  ui().ExpectInputText("Größe", "Bär").Value("Maß");
  InputText("Größe"_oem, 20, text);
  EXPECT_EQ(text, "B\x84r");  // a-umlaut is 0x84 in code page 850
  ui().ExpectInputText("", TextAnswer::Cancel());
  RunTextDialog("x", 20, text);
  EXPECT_EQ(text, "Bär"_oem.str());
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(DialogsTest, OnlyHelpButtonsAndTheListsEnterClearAStaleAbortFlag) {
  // Callers clear AbortFlag first; OK leaves it, so nothing is taken.
  G().AbortFlag = 1;
  std::string text = "alt";
  ui().ExpectInputText("", "neu");
  InputText("x", 20, text);
  EXPECT_EQ(text, "alt");
  EXPECT_EQ(G().AbortFlag, 1);
  // A help button clears it and leaves the dialog open.
  ui().ExpectInputText("", "neu").PressHelpPicture();
  InputText("x", 20, text);
  EXPECT_EQ(text, "neu");
  EXPECT_EQ(G().AbortFlag, 0);
  G().AbortFlag = 1;
  std::int16_t choice = 1;
  ui().ExpectChoice("", 9).ByEnter();
  AskChoice("Wahl", 10, choice);
  EXPECT_EQ(choice, 9);
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(DialogsTest, ChoiceRadioUpToSevenListFromEight) {
  for (int i = 1; i <= 8; ++i) G().LineTable[i] = "Größe "_oem + std::to_string(i);
  std::int16_t choice = 2;
  ui().ExpectChoice("Wahl", 5).ListBox(false).Value("2");
  AskChoice("Wahl", 7, choice);
  EXPECT_EQ(choice, 5);
  EXPECT_EQ(ui().shown()[0].items.size(), 7u);
  ui().ExpectChoice("Wahl", 8).ListBox(true);
  AskChoice("Wahl", 8, choice);
  EXPECT_EQ(choice, 8);
  EXPECT_EQ(ui().shown()[1].items[7], "Größe 8");
}

TEST_F(DialogsTest, ChoiceOutsideRangePreselectsFirst) {
  std::int16_t choice = 0;
  ui().ExpectChoiceCancel("").Value("1");
  AskChoice("Wahl", 3, choice);
  EXPECT_EQ(choice, 1);
  EXPECT_EQ(G().AbortFlag, 1);
  choice = 4;
  G().AbortFlag = 0;
  ui().ExpectChoice("", 2).Value("1");
  AskChoice("Wahl", 3, choice);
  EXPECT_EQ(choice, 2);
}

TEST_F(DialogsTest, YesNoCharPreselectionAndAnswer) {
  char a = 'n';
  ui().ExpectYesNo("Weiter", true).Value("N");
  AskYesNoChar("Weiter ?", a);
  EXPECT_EQ(a, 'J');
  a = 'x';
  ui().ExpectYesNo("", false).Value("J");
  AskYesNoChar("Weiter ?", a);
  EXPECT_EQ(a, 'N');
  bool flag = true;
  ui().ExpectYesNoCancel("").Value("J");
  AskYesNo("Weiter ?", flag);
  EXPECT_TRUE(flag);
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(DialogsTest, ScreenShowsTwentyTwoConvertedLines) {
  G().ProductName = "ZEB1";
  G().LineTable[1] = "Übersicht"_oem;
  G().LineTable[23] = "nicht gezeigt";
  ui().ExpectScreen("Übersicht").Caption("ZEB1");
  ShowScreenDialog();
  ASSERT_EQ(ui().shown()[0].items.size(), 22u);
  EXPECT_EQ(ui().shown()[0].items[0], "Übersicht");
}

TEST_F(DialogsTest, ApplicationTitle) {
  G().ProgramTitle = "ZEB1 Druckfeder";
  EXPECT_EQ(BuildApplicationTitle(), "ZEB1 Druckfeder");
  G().CurrentFileName = "/home/u/dir.v2/feder";
  EXPECT_EQ(BuildApplicationTitle(), "ZEB1 Druckfeder  -  /home/u/dir.v2/feder.zeb");
  G().CurrentFileName = "/home/u/liste.txt";
  EXPECT_EQ(BuildApplicationTitle(), "ZEB1 Druckfeder  -  /home/u/liste.txt");
  ASSERT_EQ(ui().titles().size(), 3u);
  EXPECT_EQ(ui().titles()[2], "ZEB1 Druckfeder  -  /home/u/liste.txt");
  EXPECT_EQ(ui().cursors().back(), CursorKind::Arrow);
  SetHourglassCursor();
  EXPECT_EQ(ui().cursors().back(), CursorKind::Hourglass);
  RestoreArrowCursor();
  EXPECT_EQ(ui().cursors().back(), CursorKind::Arrow);
}

// ---------------------------------------------------------------- tool window placement

TEST(ToolWindowPlacement, BesideItsCallerInsideTheScreenClearOfMenuAndRow) {
  const DialogGeometry screen{0, 0, 1280, 1024}, menu{0, 20, 1280, 24};
  const DialogGeometry picker{1, 1, 480, 130};  // the start value of the saved place: over the menu
  // A form at the top left: right of it, level with its top.
  const DialogGeometry form{0, 44, 640, 490}, row{0, 100, 640, 26};
  DialogGeometry g = PlaceBesideCaller(picker, form, screen, {menu, row});
  EXPECT_EQ(g.left, 640);
  EXPECT_EQ(g.top, 44);
  // A wide form leaves no room right or left: below it.
  const DialogGeometry wide{0, 44, 900, 490};
  g = PlaceBesideCaller(picker, wide, screen, {menu, row});
  EXPECT_EQ(g.left, 0);
  EXPECT_EQ(g.top, 534);
  // A place the user chose stays while it is clear.
  g = PlaceBesideCaller({700, 600, 480, 130}, form, screen, {menu, row});
  EXPECT_EQ(g.left, 700);
  EXPECT_EQ(g.top, 600);
  // The main window fills the screen: a corner clear of the menu, bottom right.
  g = PlaceBesideCaller(picker, screen, screen, {menu});
  EXPECT_EQ(g.left, 800);
  EXPECT_EQ(g.top, 894);
  // A form as large as the screen on a small one: anywhere but over the menu and the row.
  const DialogGeometry small{0, 0, 800, 600}, full = small, lowRow{0, 480, 800, 26};
  g = PlaceBesideCaller(picker, full, small, {menu, lowRow});
  EXPECT_EQ(g.left, 320);
  EXPECT_EQ(g.top, 44);
}

}  // namespace
}  // namespace zeb
