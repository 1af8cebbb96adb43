// The help-picture catalogue: reading, the loop's passes, and the rewrites
// of extend, insert, change and delete.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/globals.h"
#include "graph_support.h"
#include "graphics/cad.h"
#include "graphics/helpcat.h"
#include "graphics/hpgl.h"

namespace zeb::test {
namespace {

namespace fs = std::filesystem;
using Press = ScriptedHelpPictureDialog::Press;

std::string Read(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void Write(const std::string& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

class CatalogueTest : public GraphTest {
 protected:
  void SetUp() override {
    GraphTest::SetUp();
    ResetHpglState();
    dir_ = ::testing::TempDir() + "helpcat_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_ + "/tmp");
    G().HelpFolder = dir_;
    G().TempFolder = dir_ + "/tmp";
    G().ProgramShortName = "ZEB1";
    G().ProductName = "ZEB1";
    dialog_ = std::make_shared<ScriptedHelpPictureDialog>();
    SetHelpPictureDialog(dialog_);
    // Pictures: each draws one line ending at its number (in mm).
    for (int i = 1; i <= 4; ++i) Picture("p" + std::to_string(i), i);
  }
  void TearDown() override {
    SetHelpPictureDialog(nullptr);
    fs::remove_all(dir_);
    GraphTest::TearDown();
  }
  void Picture(const std::string& stem, int n) {
    Write(dir_ + "/" + stem + ".plt", "SP1;PU0,0;PD" + std::to_string(40 * n) + ",0;");
  }
  std::string Cat() const { return dir_ + "/zeb1.dbh"; }
  // The x end of the last line drawn: which picture shows.
  int Shown() {
    const auto lines = Records("4;");
    if (lines.empty()) return 0;
    return std::stoi(lines.back().substr(lines.back().rfind(';', lines.back().size() - 3) + 1));
  }
  ScriptedHelpPictureDialog& dialog() { return *dialog_; }
  std::string dir_;
  std::shared_ptr<ScriptedHelpPictureDialog> dialog_;
};

TEST_F(CatalogueTest, ParsesFieldsLinesAndLimits) {
  Catalogue c = ParseCatalogue("\"abc\",\"Test\"\r\n\r\n\"x\",\"y\" junk\r\"lone\",\"cr\"\nnoquote,\"d\"\n\"cut");
  ASSERT_EQ(c.entries.size(), 5u);
  EXPECT_EQ(c.entries[0].stem, "abc");
  EXPECT_EQ(c.entries[0].description, "Test");
  EXPECT_EQ(c.entries[1].line, 2);  // the empty line holds no entry
  EXPECT_EQ(c.entries[2].description, "cr");
  EXPECT_EQ(c.entries[3].stem, "noquote,");
  EXPECT_EQ(c.entries[4].stem, "cut");
  EXPECT_TRUE(c.badField);
  EXPECT_EQ(c.lines.size(), 6u);
  std::string many;
  for (int i = 0; i < 140; ++i) many += CatalogueLine("s" + std::to_string(i), "d");
  c = ParseCatalogue(many);
  EXPECT_EQ(c.entries.size(), 130u);
  EXPECT_EQ(c.lines.size(), 140u);
  EXPECT_FALSE(c.badField);
  EXPECT_TRUE(UsableStem("abc"));
  EXPECT_FALSE(UsableStem("../x"));
  EXPECT_FALSE(UsableStem("a\x01"));
  EXPECT_FALSE(UsableStem(".."));
}

TEST_F(CatalogueTest, FirstPassShowsPictureOneThenTheDialogPicks) {
  Write(Cat(), CatalogueLine("p1", "Test") + CatalogueLine("p2", "Zwei") + CatalogueLine("p3", "Drei"));
  dialog().Add(Press::Pick, 2);  // the third
  dialog().Add(Press::Up);       // the second
  dialog().Add(Press::Down);     // the third again
  f().HelpPictureCatalog();      // then OK ends it
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(Shown(), 3);
  ASSERT_EQ(dialog().Seen().size(), 4u);
  EXPECT_EQ(G().LineTable[1], "p1      : Test");
  EXPECT_EQ(dialog().Seen()[0].caption, "ZEB1 Hilfebilder");
  EXPECT_EQ(dialog().Seen()[0].items, (std::vector<std::string>{"p1      : Test", "p2      : Zwei", "p3      : Drei"}));
  // After a picture the dialog preselects it.
  EXPECT_EQ(dialog().Seen()[0].current, 1);
  EXPECT_EQ(dialog().Seen()[1].current, 3);
  EXPECT_EQ(dialog().Seen()[2].current, 2);
  EXPECT_EQ(dialog().Seen()[3].current, 3);
}

TEST_F(CatalogueTest, OnlyTheFirst130LinesAreListedAndABadFileGivesOneBox) {
  std::string text;
  for (int i = 0; i < 140; ++i) text += "p1,\"bad\"\r\n";
  Write(Cat(), text);
  // Named with the catalogue and its first bad line, once.
  ui().ExpectMessageBox("", "Bilderkatalog " + Cat() + " besch\u00e4digt: Zeile 1 ung\u00fcltig");
  // The stems read "p1,": listed, and shown as missing, which ends the loop.
  ui().ExpectMessageBox("", "p1,.plt nicht gefunden !");
  f().HelpPictureCatalog();
  EXPECT_EQ(G().LineTable[130], "p1,     : bad");
  EXPECT_EQ(G().LineTable[131], "-----  Erweitern  -----");
  EXPECT_EQ(G().AbortFlag, 0);
}

// A damaged line among good ones is named once, not before every pick.
TEST_F(CatalogueTest, ADamagedLineIsNamedOncePerCatalogue) {
  Write(Cat(), CatalogueLine("p1", "Eins") + "p9,\"kaputt\"\r\n" + CatalogueLine("p2", "Zwei") +
                   CatalogueLine("p3", "Drei"));
  ui().ExpectMessageBox("", "Bilderkatalog " + Cat() + " besch\u00e4digt: Zeile 2 ung\u00fcltig");
  dialog().Add(Press::Pick, 2);  // p2
  dialog().Add(Press::Down);     // p3
  f().HelpPictureCatalog();      // then OK ends it
  EXPECT_EQ(Shown(), 3);
  EXPECT_EQ(dialog().Seen().size(), 3u);
}

// The first line whose field does not begin with a quote is the one named.
TEST_F(CatalogueTest, TheFirstBadLineIsCounted) {
  const Catalogue c = ParseCatalogue("\"a\",\"b\"\r\n\r\nbad,\"x\"\n\"c\",worse\n");
  EXPECT_TRUE(c.badField);
  EXPECT_EQ(c.badLine, 3);
  EXPECT_EQ(ParseCatalogue("\"a\",\"b\"\r\n").badLine, 0);
}

// A catalogue beyond the limit is named and not read: no list, no picture.
TEST_F(CatalogueTest, CatalogueBeyondTheLimitIsNamedNotRead) {
  Write(Cat(), "\"p1\",\"eins\"\r\n");
  fs::resize_file(Cat(), 5u << 20);  // sparse: 5 MB of nothing after the line
  ui().ExpectMessageBox("", "Datei " + Cat() + " ist zu gro\u00df (\u00fcber 4 MB) !");
  f().HelpPictureCatalog();
  EXPECT_TRUE(dialog().Seen().empty());
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(G().AbortFlag, 0);
}

// A user's copy that is no catalogue (random bytes, empty, no quoted line)
// gives way to the shipped one, and is named once a session.
TEST_F(CatalogueTest, UnusableUserCopyGivesWayToTheShippedCatalogue) {
  G().ShippedHelpFolder = dir_;
  Write(Cat(), CatalogueLine("p2", "Zwei"));
  const std::string data = dir_ + "/data";
  fs::create_directories(data + "/zeb1");
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string kept = old != nullptr ? old : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  const std::string copy = data + "/zeb1/zeb1.dbh";
  std::string noise;
  unsigned v = 7;
  for (int i = 0; i < 3000; ++i) noise.push_back(static_cast<char>((v = v * 1103515245u + 12345u) >> 16));
  Write(copy, noise);
  ui().ExpectMessageBox("", "Eigene Hilfedatei " + copy + " unbrauchbar (kein Text), es gilt " + Cat());
  f().HelpPictureCatalog();
  EXPECT_EQ(Shown(), 2);  // p2, from the shipped catalogue
  for (const std::string& other : {std::string(), std::string("\r\n \r\n"), std::string("p3 Drei\r\nweiter\r\n")}) {
    Write(copy, other);
    f().HelpPictureCatalog();  // named once only
    EXPECT_EQ(Shown(), 2);
  }
  // A usable copy is read again.
  Write(copy, CatalogueLine("p3", "Drei"));
  f().HelpPictureCatalog();
  EXPECT_EQ(Shown(), 3);
  if (old != nullptr)
    ::setenv("XDG_DATA_HOME", kept.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(CatalogueTest, EmptyCatalogueExtendsFirst) {
  Write(Cat(), "");
  ui().ExpectOpenFile(dir_ + "/p2.plt");
  ui().ExpectInputText("Information zum Hilfebild", "Neu");
  f().HelpPictureCatalog();  // then shows the new entry's dialog; OK ends
  EXPECT_EQ(Read(Cat()), CatalogueLine("p2", "Neu"));
  ASSERT_EQ(dialog().Seen().size(), 1u);
  EXPECT_EQ(dialog().Seen()[0].items.size(), 1u);
}

TEST_F(CatalogueTest, DeleteChangeInsertKeepTheOtherLines) {
  const std::string l1 = CatalogueLine("p1", "Eins"), l2 = CatalogueLine("p2", "Zwei"), l3 = CatalogueLine("p3", "Drei");
  Write(Cat(), l1 + l2 + l3);
  dialog().Add(Press::Pick, 1);  // show p2: selects it
  dialog().Add(Press::Delete);   // the selected line, confirmed
  ui().ExpectQuestion("", "Löschen ?", Answer::Yes);
  f().HelpPictureCatalog();
  EXPECT_EQ(Read(Cat()), l1 + l3);
  EXPECT_TRUE(fs::exists(CadTempFolder() + "/$$$.dbh"));

  // Change line 2 (p3, shown and so selected): the stem prompt takes at
  // most 8 characters.
  Picture("elevench", 4);
  dialog().Add(Press::Pick, 1);
  dialog().Add(Press::Change);
  ui().ExpectInputText("Dateiname (ohne Endung .plt)", "elevenchars");
  ui().ExpectInputText("Information zum Hilfebild", TextAnswer::Keep());
  f().HelpPictureCatalog();
  const auto& asked = ui().shown();
  bool stemPrompt = false;
  for (const UiShown& s : asked)
    if (s.text.find("ohne Endung") != std::string::npos) {
      EXPECT_EQ(s.maxLength, 8);
      stemPrompt = true;
    }
  EXPECT_TRUE(stemPrompt);
  const std::string l3b = CatalogueLine("elevench", "Drei");
  EXPECT_EQ(Read(Cat()), l1 + l3b);

  dialog().Add(Press::Pick, 1);
  f().HelpPictureCatalog();
  EXPECT_EQ(Shown(), 4);
  EXPECT_EQ(dialog().Seen().back().items[1], "elevench: Drei");

  // Insert before line 1 (picture 1 shown first, so selected).
  dialog().Add(Press::Insert);
  ui().ExpectOpenFile(dir_ + "/p4.plt");
  ui().ExpectInputText("Information zum Hilfebild", "Vier");
  f().HelpPictureCatalog();
  EXPECT_EQ(Read(Cat()), CatalogueLine("p4", "Vier") + l1 + l3b);

  // No leaves the catalogue as it is.
  dialog().Add(Press::Pick, 2);
  dialog().Add(Press::Delete);
  ui().ExpectQuestion("", "Löschen ?", Answer::No);
  f().HelpPictureCatalog();
  EXPECT_EQ(Read(Cat()), CatalogueLine("p4", "Vier") + l1 + l3b);
  EXPECT_EQ(G().AbortFlag, 0);
}

// The shipped catalogue is never written: the first change makes the user's
// copy, which is read from then on; the shipped file keeps its bytes.
TEST_F(CatalogueTest, ChangesOfTheShippedCatalogueGoToTheUserCopy) {
  const std::string l1 = CatalogueLine("p1", "Eins"), l2 = CatalogueLine("p2", "Zwei");
  Write(Cat(), l1 + l2);
  G().ShippedHelpFolder = dir_;
  const std::string data = dir_ + "/data";
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  dialog().Add(Press::Pick, 1);
  dialog().Add(Press::Delete);
  ui().ExpectQuestion("", "Löschen ?", Answer::Yes);
  f().HelpPictureCatalog();
  EXPECT_EQ(Read(Cat()), l1 + l2);
  EXPECT_EQ(Read(data + "/zeb1/zeb1.dbh"), l1);
  // Read back from the copy: only p1 is listed.
  dialog().Add(Press::Ok);
  f().HelpPictureCatalog();
  EXPECT_EQ(dialog().Seen().back().items.size(), 1u);
  if (old)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(CatalogueTest, LinesPast130SurviveARewriteAndAFailedCopyLeavesTheFile) {
  std::string text;
  for (int i = 0; i < 135; ++i) text += CatalogueLine("p1", "n" + std::to_string(i));
  Write(Cat(), text);
  dialog().Add(Press::Delete);
  ui().ExpectQuestion("", "Löschen ?", Answer::Yes);
  f().HelpPictureCatalog();
  const std::string after = Read(Cat());
  EXPECT_EQ(after, text.substr(CatalogueLine("p1", "n0").size()));

  // A file-size limit below the catalogue's size: the rewrite fails whole.
  dialog().Add(Press::Insert);
  ui().ExpectOpenFile(dir_ + "/p4.plt");
  ui().ExpectInputText("Information zum Hilfebild", "Vier");
  ui().ExpectMessageBox("", "$$$.dbh kann nicht geschrieben werden");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  f().HelpPictureCatalog();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(Read(Cat()), after);
  EXPECT_EQ(G().AbortFlag, 1);
}

// A stem is named as it stands, blanks and all.
TEST_F(CatalogueTest, StemsOutsideTheHelpFolderAreListedNeverOpened) {
  fs::create_directories(dir_ + "/s b");
  Picture("s b/p9", 9);
  Write(Cat(), CatalogueLine("s b/p9", "Pfad") + CatalogueLine("p1", "Eins"));
  ui().ExpectMessageBox("", "s b/p9.plt nicht gefunden !");
  f().HelpPictureCatalog();
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(G().LineTable[1], "s b/p9  : Pfad");
}

TEST_F(CatalogueTest, NoCatalogueAsksForAFileEveryPass) {
  Write(dir_ + "/ABC.PLT", "SP1;PU0,0;PD400,0;");
  ui().ExpectOpenFile(dir_ + "/ABC.PLT");
  ui().ExpectOpenFile(std::nullopt);
  f().HelpPictureCatalog();
  EXPECT_EQ(Shown(), 10);  // "ABC.PLT" found for the stem abc
  EXPECT_EQ(G().AbortFlag, 1);
}

}  // namespace
}  // namespace zeb::test
