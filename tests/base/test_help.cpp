#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/help.h"
#include "base/services.h"
#include "base/support_clock.h"
#include "platform/oem_literal.h"
#include "support_fixture.h"
#include "test_files_support.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class HelpTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().HelpFolder = dir_;
    G().ProgramShortName = "ZEB1";
    graphics_ = std::make_shared<RecordingGraphics>();
    SetGraphics(graphics_);
  }
  void TearDown() override {
    SetGraphics(nullptr);
    BaseTest::TearDown();
  }
  void Put(const std::string& name, const std::string& bytes) { test::WriteBytes(scratch_ / name, bytes); }
  std::string Get(const std::string& name) { return test::ReadBytes(scratch_ / name); }
  std::vector<std::string> Files() { return scratch_.Entries(); }
  void SetMessages(const std::vector<std::string>& messages) {
    G().ErrorMessageList.count = static_cast<std::uint16_t>(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) G().ErrorMessageList.slot[i + 1] = messages[i];
  }

  test::ScratchDir scratch_;
  const std::string dir_ = scratch_.path();
  std::shared_ptr<RecordingGraphics> graphics_;
};

// Help text of entries 1090..1095 as the lookup edge cases describe them.
const char kGappedText[] =
    "1085\r\nvorher\r\n"
    "1090:bild\r\nEins\r\n1091\r\nZwei\r\n1093\r\nVier\r\n1095\r\nnaechster\r\nschluss\r\n";

TEST_F(HelpTest, FileNamesAreLowerCaseAndSplitAt4000) {
  EXPECT_EQ(HelpFileName(3999), dir_ + "/talmore.hlp");
  EXPECT_EQ(HelpFileName(4000), dir_ + "/zeb1.hlp");
  G().HelpNumber = 4010;
  EXPECT_EQ(HelpFileName(0), dir_ + "/zeb1.hlp");
  EXPECT_EQ(ErrFileName(), dir_ + "/zeb1.err");

  Put("talmore.hlp", "3995\r\nfamilie\r\n3999\r\naus talmore\r\nende\r\n");
  Put("zeb1.hlp", "4000\r\naus zeb1\r\nende\r\n");
  EXPECT_EQ(GetHelpText(3999), "aus talmore ende   ");
  EXPECT_EQ(GetHelpText(4000), "aus zeb1 ende   ");
  // A file named in another case is found.
  fs::remove(scratch_ / "zeb1.hlp");
  Put("ZEB1.HLP", "4000\r\ngross\r\nende\r\n");
  EXPECT_EQ(GetHelpText(4000), "gross ende   ");
}

TEST_F(HelpTest, GappedEntriesFillTheirOwnLines) {
  Put("talmore.hlp", kGappedText);
  G().AbortFlag = 1;
  EXPECT_EQ(GetHelpText(1090), "Eins Zwei  Vier ");
  EXPECT_EQ(G().AbortFlag, 1) << "a text ended by the next entry leaves AbortFlag";

  ui().ExpectMessageBox("HILFETEXT Nr.1090", "").Text("Eins Zwei  Vier  ");
  ShowHelpText(1090, "", 0);
  EXPECT_EQ(ui().shown().back().text, "Eins Zwei  Vier  ");
  EXPECT_EQ(graphics_->Calls(), (std::vector<std::string>{"GrafClear()", "GrafHeader(0,0,0,160,120)",
                                                          "PlayHpglFile(" + dir_ + "/bild.plt)"}));
}

TEST_F(HelpTest, TwoLineTextAndContinuationLines) {
  Put("zeb1.hlp",
      "4000\r\nerste\r\n4001\r\nzweite\r\n4005\r\nx\r\n"
      "4010\r\nanfang\r\n 12x\r\n\r\nvier\r\nfuenf\r\nsechs\r\n");
  EXPECT_EQ(GetHelpText(4000), "erste zweite   ");
  // " 12x" and the empty line are text lines of their own.
  G().AbortFlag = 1;
  EXPECT_EQ(GetHelpText(4010), "anfang  12x  vier fuenf");
  EXPECT_EQ(G().AbortFlag, 0) << "a text ending after its fifth line clears AbortFlag";
  // "-005" is a number, a multiple of 5, and ends a text.
  Put("zeb1.hlp", "4020\r\nzwanzig\r\n-005\r\nweg\r\n4021\r\nweg\r\n");
  EXPECT_EQ(GetHelpText(4020), "zwanzig    ");
}

TEST_F(HelpTest, MissingFileEntryAndLastLineEntry) {
  G().AbortFlag = 1;
  EXPECT_EQ(GetHelpText(4000), "Datei " + dir_ + "/zeb1.hlp nicht gefunden !");
  EXPECT_EQ(G().AbortFlag, 0);

  // The text line of 4005 is the last line: not found.
  Put("zeb1.hlp", "4000\r\nnull\r\n4005\r\nletzte Zeile\r\n");
  G().AbortFlag = 1;
  EXPECT_EQ(GetHelpText(4005), "Hilfetext Nr 4005: keine Hilfe vorhanden.");
  EXPECT_EQ(G().AbortFlag, 0);
  Put("zeb1.hlp", "4000\r\nnull\r\n4005\r\nletzte Zeile");
  EXPECT_EQ(GetHelpText(4005), "Hilfetext Nr 4005: keine Hilfe vorhanden.");
  EXPECT_EQ(GetHelpText(4000), "null    ");
}

TEST_F(HelpTest, LongLinesNulAndNoLineEnds) {
  const std::string big(1 << 20, 'x');
  Put("zeb1.hlp", "4000\r\n" + big + "\r\n" + std::string("\0\0", 2) + "\r\n4005");
  EXPECT_EQ(GetHelpText(4000), big + " " + std::string("\0\0", 2) + "   ");
  ui().ExpectMessageBox("HILFETEXT Nr.4000", "");
  ShowHelpText(4000, "", 1);
  EXPECT_EQ(ui().shown().back().text1252, std::string(1000, 'x'));

  Put("zeb1.hlp", "4000" + big);
  EXPECT_EQ(GetHelpText(4000), "Hilfetext Nr 4000: keine Hilfe vorhanden.");
}

TEST_F(HelpTest, PicturesOfHelpTexts) {
  // Modes 0 and 2 clear the window, then play the entry's picture (the name
  // not trimmed) or, for a missing text, "null.plt". A text without a
  // picture leaves the window as it is and says so.
  Put("zeb1.hlp", "4000:pic\r\nmit Bild\r\n4005\r\nohne Bild\r\n4010: leer\r\nx\r\nende\r\n");
  for (auto [n, picture] : {std::pair<int, std::string>{4000, "pic"}, {4005, ""}, {4010, " leer"}, {4020, "null"}}) {
    graphics_->ClearCalls();
    if (picture.empty()) ui().ExpectMessageBox("Hilfebild", "kein Hilfebild");
    ShowHelpText(n, "", 2);
    std::vector<std::string> want;
    if (!picture.empty())
      want = {"GrafClear()", "GrafHeader(0,0,0,160,120)", "PlayHpglFile(" + dir_ + "/" + picture + ".plt)"};
    EXPECT_EQ(graphics_->Calls(), want) << n;
  }
  graphics_->ClearCalls();
  ui().ExpectMessageBox("HILFETEXT Nr.4020", "keine Hilfe vorhanden");
  ShowHelpText(4020, "", 1);
  EXPECT_TRUE(graphics_->Calls().empty());
}

TEST_F(HelpTest, ErrorCauseAndRemedyMatchOn14Characters) {
  Put("zeb1.err",
      "Fehler : Windungen zu gross\r\nzu viele Windungen\r\nweniger Windungen\r\n"
      "Warnung: Knickung moeglich\r\nFeder knickt\r\nfuehren\r\n"
      "Warnung: letzte\r\n");
  SetMessages({"Warnung: Knickung!", "Fehler : unbekannt", "Warnung: letzte"});
  // Cause and remedy of message k, each starting from "alt".
  auto both = [](int k) {
    std::string cause = "alt", remedy = "alt";
    GetErrorCause(k, cause);
    GetErrorRemedy(k, remedy);
    return cause + "|" + remedy;
  };
  const std::string none = "keine Beschreibung dieser Fehlermeldung vorhanden.";
  EXPECT_EQ(both(1), "Feder knickt|fuehren");
  EXPECT_EQ(both(2), none + "|alt");
  EXPECT_EQ(both(3), none + "|alt");  // matches the very last line only
  G().AbortFlag = 1;  // no cause looked up
  EXPECT_EQ(both(1).rfind("alt|", 0), 0u);
  G().AbortFlag = 0;
  fs::remove(scratch_ / "zeb1.err");
  EXPECT_EQ(both(1), "alt|alt");
}

// A printout asks for every remark's cause and remedy; the file is read
// again whenever it changed, also in place with the same size at once.
CLOCK_TEST_F(HelpTest, ErrorCausesFollowChangesOfTheFile) {
  SetMessages({"Meldung A ganz lang"});
  const auto cause = [] {
    std::string c = "alt";
    GetErrorCause(1, c);
    return c;
  };
  const auto inPlace = [this](const std::string& text) {
    std::FILE* f = std::fopen((scratch_ / "zeb1.err").c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fputs(("Meldung A ganz lang\r\n" + text + "\r\nAbhilfe\r\n").c_str(), f);
    std::fclose(f);
  };
  Put("zeb1.err", "Meldung A ganz lang\r\nUrsache 1\r\nAbhilfe\r\n");
  EXPECT_EQ(cause(), "Ursache 1");
  inPlace("Ursache 2");
  EXPECT_EQ(cause(), "Ursache 2");
  // An hour old: kept, until it changes.
  const timespec old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (scratch_ / "zeb1.err").c_str(), old, 0), 0);
  EXPECT_EQ(cause(), "Ursache 2");
  inPlace("Ursache 3");
  EXPECT_EQ(cause(), "Ursache 3");
  Put("zeb1.err", "Meldung A ganz lang\r\nUrsache 4\r\nAbhilfe\r\n");
  EXPECT_EQ(cause(), "Ursache 4");
}

// A cause or remedy reaches a printout whole, as the form shows it.
TEST_F(HelpTest, CauseAndRemedyReachAPrintoutWhole) {
  const std::string cause(10000, 'u'), remedy = std::string(300, 'a') + "ende";
  Put("zeb1.err", "Meldung A ganz lang\r\n" + cause + "\r\n" + remedy + "\r\n");
  SetMessages({"Meldung A ganz lang"});
  std::string c, r;
  GetErrorCause(1, c);
  GetErrorRemedy(1, r);
  EXPECT_EQ(c, cause);
  EXPECT_EQ(r, remedy);
  EXPECT_EQ(ErrorCauseHint(1), cause);
  ui().ExpectErrorHelpForm("Meldung A");
  ShowErrorHelp(1);
  EXPECT_EQ(ui().shown().back().errorHelp.cause, cause);
  EXPECT_EQ(ui().shown().back().errorHelp.remedy, remedy);
}

// Help files beyond 4 MB are named, not read: the help box says so, a tool
// tip stays empty; a message help that large is named once however many
// causes a printout asks for, its causes stay as they were, and its form
// and its edit name it as well.
TEST_F(HelpTest, HelpFilesBeyondTheLimitAreNamedNotRead) {
  Put("talmore.hlp", "1040\r\nText\r\n1045\r\nweiter\r\n");
  fs::resize_file(scratch_ / "talmore.hlp", 5u << 20);
  const std::string tooLarge = "Datei " + dir_ + "/talmore.hlp ist zu gro\u00df (\u00fcber 4 MB) !";
  ui().ExpectMessageBox("HILFETEXT Nr.1040", tooLarge);
  ShowHelpText(1040, "", 1);
  EXPECT_EQ(HelpHintText(1040), "");

  Put("zeb1.err", "Meldung A ganz lang\r\nUrsache\r\nAbhilfe\r\n");
  fs::resize_file(scratch_ / "zeb1.err", 5u << 20);
  SetMessages({"Meldung A ganz lang"});
  const std::string errTooLarge = "Datei " + dir_ + "/zeb1.err ist zu gro\u00df (\u00fcber 4 MB) !";
  ui().ExpectMessageBox("Fehler", errTooLarge);
  for (int k = 0; k < 3; ++k) {
    std::string c = "alt", r = "alt";
    GetErrorCause(1, c);
    GetErrorRemedy(1, r);
    EXPECT_EQ(c + "|" + r, "alt|alt");
  }
  ui().ExpectMessageBox("Fehler", errTooLarge);
  ShowErrorHelp(1);
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  ui().ExpectMessageBox("Fehler", errTooLarge);
  WriteErrEntry("Meldung A ganz lang", "neu", "neu");
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(HelpTest, ShowErrorHelpEditSavesInPlaceOfUpperCaseFile) {
  Put("ZEB1.ERR", "Meldung A ganz lang\r\nUrsache A\r\nAbhilfe A\r\nMeldung B\r\nUrsache B\r\nAbhilfe B\r\n");
  SetMessages({"Meldung A ganz lang, anders"});
  ui().ExpectErrorHelpFormEdit("Meldung A", "Ursache ä neu", "Abhilfe neu");
  ui().ExpectQuestion("", "Save Changes ?", Answer::Yes);
  ShowErrorHelp(1);
  EXPECT_EQ(ui().shown()[0].items[1], "Ursache A");
  const std::string saved =
      "Meldung A ganz lang\r\nUrsache ä neu\r\nAbhilfe neu\r\nMeldung B\r\nUrsache B\r\nAbhilfe B\r\n"_oem;
  EXPECT_EQ(Get("ZEB1.ERR"), saved);
  EXPECT_EQ(static_cast<unsigned char>(saved[29]), 0x84);  // "ä" in code page 850
  EXPECT_EQ(Files(), std::vector<std::string>{"ZEB1.ERR"});

  // No keeps the file.
  ui().ExpectErrorHelpFormEdit("Meldung A", "anders", "anders");
  ui().ExpectQuestion("", "Save Changes ?", Answer::No);
  ShowErrorHelp(1);
  EXPECT_EQ(Get("ZEB1.ERR"), saved);
}

TEST_F(HelpTest, ShowErrorHelpMissingEntryAndFile) {
  Put("zeb1.err", "Meldung A\r\nUrsache A\r\nAbhilfe A\r\nMeldung B");
  SetMessages({"Meldung C", "Meldung B"});
  ui().ExpectMessageBox("Meldung", "keine Beschreibung dieser Fehlermeldung vorhanden.");
  ShowErrorHelp(1);
  ui().ExpectMessageBox("Meldung", "keine Beschreibung dieser Fehlermeldung vorhanden.");
  ShowErrorHelp(2);  // matched on the last line
  EXPECT_EQ(G().AbortFlag, 0);

  fs::remove(scratch_ / "zeb1.err");
  ui().ExpectMessageBox("", "nicht gefunden oder kein Zugriffsrecht");
  ShowErrorHelp(1);
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(HelpTest, WriteErrEntryAtTheEndLeavesOneEmptyLine) {
  Put("zeb1.err", "Meldung A\r\nUrsache A\r\nAbhilfe A\r\nMeldung B\r\nUrsache B\r\nAbhilfe B");
  G().TempFolder = G().HelpFolder;  // equal folders still save
  WriteErrEntry("Meldung B", "neu\r\nzweizeilig", "besser");
  const std::string saved =
      "Meldung A\r\nUrsache A\r\nAbhilfe A\r\nMeldung B\r\nneu zweizeilig\r\nbesser\r\n\r\n";
  EXPECT_EQ(Get("zeb1.err"), saved);

  ui().ExpectMessageBox("", "Meldung X not found.");
  WriteErrEntry("Meldung X", "c", "r");
  EXPECT_EQ(Files(), std::vector<std::string>{"zeb1.err"});
  EXPECT_EQ(Get("zeb1.err"), saved);
}

TEST_F(HelpTest, FailedRewriteKeepsTheOldFile) {
  const std::string old = "Meldung A\r\nUrsache A\r\nAbhilfe A\r\n";
  Put("zeb1.err", old);
  EXPECT_EQ(test::RunWithFileSizeLimit(100,
                                       [] {
                                         SetUi(std::make_shared<BatchUi>(nullptr));
                                         WriteErrEntry("Meldung A", std::string(300, 'u'), "neu");
                                         return G().AbortFlag == 1 ? 0 : 1;
                                       }),
            0);
  EXPECT_EQ(Get("zeb1.err"), old);
  EXPECT_EQ(Files(), std::vector<std::string>{"zeb1.err"});
}

TEST_F(HelpTest, ShowCalcMessagesWalksThroughTheList) {
  ui().ExpectMessageBox("", "Berechnung erfolgreich ohne Fehlermeldungen");
  ShowCalcMessages();

  Put("zeb1.err", "M1\r\nU1\r\nA1\r\nM2\r\nU2\r\nA2\r\nM3\r\nU3\r\nA3\r\n");
  SetMessages({"M1", "M2", "M3"});
  G().HelpLevel = 2;
  ui().ExpectChoice("Berechnungsmodul meldet", 1).Value("1");
  ui().ExpectErrorHelpForm("M1");
  ui().ExpectChoice("Berechnungsmodul meldet", 3).Value("2");
  ui().ExpectErrorHelpForm("M3");
  ShowCalcMessages();
  EXPECT_EQ(ui().shown()[1].items.back(), "Weiter/zurück...");
  EXPECT_EQ(G().HelpNumber, 1210);

  G().HelpLevel = 1;
  ui().ExpectChoice("", 4).Value("4");
  ShowCalcMessages();

  G().CommandLineArgs = {"/nogui"};
  ShowCalcMessages();
}

}  // namespace
}  // namespace zeb
