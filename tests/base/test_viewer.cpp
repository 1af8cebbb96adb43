#include <filesystem>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_hang.h"
#include "base/support_shell.h"
#include "base/viewer.h"
#include "platform/oem_literal.h"
#include "support_fixture.h"
#include "test_files_support.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class ViewerTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().TempFolder = dir_;
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    test::WriteBytes(scratch_ / name, bytes);
    return scratch_ / name;
  }
  // Texts of each printed sheet.
  std::vector<std::vector<std::string>> Sheets() {
    std::vector<std::vector<std::string>> sheets;
    for (const auto& page : ui().printJobs().at(0).pages) {
      sheets.emplace_back();
      for (const auto& t : page) sheets.back().push_back(t.text);
    }
    return sheets;
  }
  const UiShown& Last() { return ui().shown().back(); }

  test::ScratchDir scratch_;
  const std::string dir_ = scratch_.path();
};

using Sheet = std::vector<std::string>;

TEST_F(ViewerTest, PagesAreFormFeedLinesPlusTrailingText) {
  // Three pages, each ended by a form feed.
  const std::string three = Put("three.txt", "a1\r\na2\r\n\fx\r\nb1\r\nb2\r\n\f\r\nc1\r\n\f\r\n");
  ui().ExpectPrintRange(2, 3);
  PrintTextFile(three);
  EXPECT_EQ(Last().minPage, 1);
  EXPECT_EQ(Last().maxPage, 3);
  EXPECT_EQ(Last().first, 1);
  EXPECT_EQ(Last().last, 3);
  EXPECT_EQ(Sheets(), (std::vector<Sheet>{{"b1", "b2"}, {"c1"}}));
  const auto& job = ui().printJobs()[0];
  EXPECT_TRUE(job.ended);
  EXPECT_TRUE(job.portrait);
  EXPECT_EQ(job.fontName, "Courier New");
  EXPECT_EQ(job.pages[0][1].y, 3300 / 66);
  EXPECT_EQ(job.pages[1][0].y, 0);

  // Two form feeds and text after the last: three pages as well.
  ui().ExpectPrintRange(1, 3);
  PrintTextFile(Put("open.txt", "a\r\n\f\r\nb\r\n\f\r\nc"));
  EXPECT_EQ(Last().maxPage, 3);
}

TEST_F(ViewerTest, FileWithoutFormFeedIsOnePage) {
  const std::string plain = Put("plain.txt", "eins\r\nzwei ä\r\n"_oem);
  G().LinesPerPage = 0;  // counts as 66
  ui().SetPrinter(true, 660);
  ui().ExpectPrintRange(1, 1);
  PrintTextFile(plain);
  EXPECT_EQ(Last().maxPage, 1);
  EXPECT_EQ(Sheets(), (std::vector<Sheet>{{"eins", "zwei ä"}}));
  EXPECT_EQ(ui().printJobs()[0].pages[0][1].y, 10);

  ui().ExpectPrintRange(1, 1);
  PrintTextFile(Put("empty.txt", ""));
  EXPECT_EQ(Last().maxPage, 1);
}

TEST_F(ViewerTest, NothingPrintedWhenAbortedCancelledOrMissing) {
  const std::string plain = Put("plain.txt", "x\r\n");
  G().AbortFlag = 1;
  PrintTextFile(plain);
  G().AbortFlag = 0;
  ui().ExpectPrintRangeCancel();
  PrintTextFile(plain);
  ui().ExpectMessageBox("", "/fehlt.txt not found !");
  PrintTextFile(dir_ + "/fehlt.txt");
  EXPECT_TRUE(ui().printJobs().empty());
}

TEST_F(ViewerTest, ViewerOpensWhereTheLastWasClosed) {
  const std::string display = Put("outwin.txt", "text\r\n");
  G().TextStylePrintout = 5;
  ui().ExpectTextViewer("ZEB1    Auszug  -  feder.zeb").Returns({30, 50, 600, 400});
  ShowTextFileViewer("Auszug  -  feder.zeb", dir_ + "/druck.txt");
  const TextViewerRequest& first = Last().viewer;
  EXPECT_EQ(first.displayFile, display);
  EXPECT_EQ(first.fontName, "Courier New");
  EXPECT_EQ(first.fontSize, 10);
  EXPECT_EQ(first.fontStyle, 5);
  EXPECT_EQ(first.left, 10);
  EXPECT_EQ(first.width, 700);
  EXPECT_EQ(G().TextWindowLeft, 30);
  EXPECT_EQ(G().TextWindowHeight, 400);

  ui().ExpectTextViewer("Auszug");
  ShowTextFileViewer("Auszug  -  feder.zeb", dir_ + "/druck.txt");
  EXPECT_EQ(Last().viewer.left, 30);
  EXPECT_EQ(Last().viewer.top, 50);
  EXPECT_EQ(Last().viewer.width, 600);

  fs::remove(display);
  ui().ExpectMessageBox("", "outwin.txt not found !");
  ShowTextFileViewer("Auszug  -  feder.zeb", dir_ + "/druck.txt");
}

// The text editor export hands the display file to the text program of the
// settings; one that cannot start is named with that setting.
TEST_F(ViewerTest, EditorExportUsesTheTextProgram) {
  const std::string display = Put("outwin.txt", "text\r\n");
  G().TextProgramPath = test::SettingWord(dir_ + "/fehlt/editor") + " --neu";
  ui().ExpectTextViewer("Auszug");
  ShowTextFileViewer("Auszug  -  feder.zeb", dir_ + "/druck.txt");
  const TextViewerRequest request = Last().viewer;
  ASSERT_TRUE(static_cast<bool>(request.exportNotepad));
  ui().ExpectMessageBox("Fehler", "file not found: " + dir_ +
                                      "/fehlt/editor\nEinstellung: Datei > Einstellungen > Extern > Textprogramm");
  request.exportNotepad();
  const std::string editor = dir_ + "/editor";
  test::WriteBytes(editor, "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + dir_ + "/args.tmp\"\nmv \"" + dir_ + "/args.tmp\" \"" +
                               dir_ + "/args\"\n");
  fs::permissions(editor, fs::perms::owner_all);
  G().TextProgramPath = test::SettingWord(editor) + " --neu";
  request.exportNotepad();
  test::WaitUntil([&] { return fs::exists(dir_ + "/args"); });
  EXPECT_EQ(test::ReadBytes(dir_ + "/args"), "--neu|" + display + "|");
}

TEST_F(ViewerTest, ConvertToWindowsText) {
  const std::string source = Put("oem.txt", "Größe ±\r\nzweite"_oem);
  ConvertTextFileOemToAnsi(source, dir_ + "/ansi.txt");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(test::ReadBytes(dir_ + "/ansi.txt"), "Gr\xf6\xdf" "e \xb1\r\nzweite\r\n");

  const std::string kept = Put("kept.txt", "alt");
  ConvertTextFileOemToAnsi(dir_ + "/fehlt.txt", kept);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(test::ReadBytes(kept), "alt");
}

// Text held in memory comes out as the same bytes as its file copy, for
// every way a text may end its lines; a target that is a folder is refused.
TEST_F(ViewerTest, ConvertTextInMemoryLikeTheFileCopy) {
  const std::string texts[] = {"",           "\r\n",          "a",           "a\r\n",        "a\n",
                               "a\r",        "a\r\r\n",       "\n\n",        "a\r\nb",       "a\rb\r\nc\r",
                               "\x0c\r\nx", "Größe ±\r\n"_oem, "\r\n\r\n\r\n"};
  int k = 0;
  for (const std::string& text : texts) {
    const std::string source = Put("in" + std::to_string(k) + ".txt", text);
    const std::string byFile = dir_ + "/file" + std::to_string(k) + ".txt";
    const std::string byText = dir_ + "/text" + std::to_string(k) + ".txt";
    ConvertTextFileOemToAnsi(source, byFile);
    ConvertTextOemToAnsi(text, byText);
    EXPECT_EQ(G().AbortFlag, 0);
    EXPECT_EQ(test::ReadBytes(byText), test::ReadBytes(byFile)) << k;
    ++k;
  }
  fs::create_directory(dir_ + "/folder");
  ConvertTextOemToAnsi("x", dir_ + "/folder");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_TRUE(fs::is_directory(dir_ + "/folder"));
}

TEST_F(ViewerTest, FontStyleNumbers) {
  const FontStyleSet five = BitsToFontStyle(5, {});
  EXPECT_EQ(five, (FontStyleSet{FontStyle::Bold, FontStyle::Underline}));
  const FontStyleSet fallback{FontStyle::Italic};
  EXPECT_EQ(BitsToFontStyle(16, fallback), fallback);
  EXPECT_EQ(BitsToFontStyle(-1, fallback), fallback);
  EXPECT_EQ(FontStyleToBits({FontStyle::Italic, FontStyle::StrikeOut}), 10);
  for (int n = 0; n <= 15; ++n) EXPECT_EQ(FontStyleToBits(BitsToFontStyle(n, fallback)), n);
}

TEST_F(ViewerTest, ExportWritesQuotedUtf8Csv) {
  const std::string text = Put("bericht.txt", "Feder \"A\";1,5 ä\r\n  eingerückt\r\n"_oem);
  fs::create_directory(dir_ + "/kopie");
  G().TableEditorPath = "cp -t \"" + dir_ + "/kopie\"";
  ExportTextFileToExcel(text);
  const std::string expected = "\"Feder \"\"A\"\";1,5 ä\"\r\n\"  eingerückt\"\r\n";
  EXPECT_EQ(test::ReadBytes(dir_ + "/bericht.csv"), expected);
  // The program got the file as one more argument.
  const std::string copy = dir_ + "/kopie/bericht.csv";
  // The program runs on its own: its copy exists before it is written.
  test::WaitUntil([&] { return test::ReadBytes(copy) == expected; });
  EXPECT_EQ(test::ReadBytes(copy), expected);

  ui().ExpectMessageBox("", "File not found. Use \"File->Save\"");
  ExportTextFileToExcel("");
  EXPECT_EQ(G().AbortFlag, 1);

  G().AbortFlag = 0;
  G().TableEditorPath = test::SettingWord(dir_ + "/kein-programm");
  // The program and the written file are named.
  ui().ExpectMessageBox("", "Excel kann nicht gestartet werden: Programm " + dir_ +
                                "/kein-programm nicht gefunden; die Daten stehen in " + dir_ + "/bericht-2.csv");
  ExportTextFileToExcel(text);
  // The first export stays as it was (a spreadsheet may have it open); a
  // link in the way is passed over, its target untouched.
  EXPECT_EQ(test::ReadBytes(dir_ + "/bericht.csv"), expected);
  EXPECT_EQ(test::ReadBytes(dir_ + "/bericht-2.csv"), expected);
  const std::string victim = Put("victim.txt", "thesis");
  fs::create_symlink(victim, dir_ + "/bericht-3.csv");
  ui().ExpectMessageBox("", "bericht-4.csv");
  ExportTextFileToExcel(text);
  EXPECT_EQ(test::ReadBytes(victim), "thesis");
  EXPECT_EQ(test::ReadBytes(dir_ + "/bericht-4.csv"), expected);
}

}  // namespace
}  // namespace zeb
