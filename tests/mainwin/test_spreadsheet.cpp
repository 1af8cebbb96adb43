// Spreadsheet hand-over with a fake table editor that records its
// arguments and copies the document: the save request, a missing program,
// the spring file as rows (read back by python3's csv), the export after
// an edit and the printout split at tabs.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <cstdlib>
#include <thread>

#include "base/globals.h"
#include "base/support_hang.h"
#include "base/support_shell.h"
#include "mainwin/commands.h"
#include "mainwin/spreadsheet.h"
#include "reports/printout_fixture.h"
#include "spring/springfile.h"
#include "mainwin/text_lines.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;


// The round dynamic example.
void RoundDynamic() {
  ResetSpringGlobals();
  G().AbortFlag = 0;
  ReadSpringFile((test::kExampleDir / "round_dynamic.zeb").string());
  ASSERT_EQ(G().AbortFlag, 0);
}

class SpreadsheetTest : public test::PrintoutTest {
 protected:
  void SetUp() override {
    PrintoutTest::SetUp();
    SpreadsheetStarted() = false;
    editor_ = tmp_ / "editor";
    test::WriteBytes(editor_, "#!/bin/sh\nn=$(ls \"" + tmp_.string() + "\" | grep -c '^args')\nprintf '%s\\n' \"$@\" > \"" +
                                  tmp_.string() + "/tmp.args\"\ncp \"$1\" \"" + tmp_.string() +
                                  "/copy$n.csv\"\nmv \"" + tmp_.string() + "/tmp.args\" \"" + tmp_.string() +
                                  "/args$n\"\n");
    fs::permissions(editor_, fs::perms::owner_all);
    G().TableEditorPath = test::SettingWord(editor_.string());
    data_ = tmp_ / "daten";
    fs::create_directory(data_);
    G().CurrentDataFolder = data_.string() + "/";
  }
  // Waits for the n-th start of the editor; its arguments.
  std::vector<std::string> Started(int n) {
    const fs::path args = tmp_ / ("args" + std::to_string(n));
    test::WaitUntil([&] { return fs::exists(args); });
    return test::TextLines(test::ReadBytes(args));
  }
  // The rows python3's csv module reads from the n-th copy, one line each,
  // cells joined by "|".
  std::vector<std::string> PythonRows(int n) {
    const std::string cmd = "python3 -c \"import csv,sys\nfor r in csv.reader(open(sys.argv[1], newline='', "
                            "encoding='utf-8')): print('|'.join(r))\" " +
                            test::ShellQuote((tmp_ / ("copy" + std::to_string(n) + ".csv")).string());
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      char buf[4096];
      std::size_t k;
      while ((k = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, k);
      ::pclose(p);
    }
    return test::TextLines(out);
  }
  fs::path editor_, data_;
};

// The tab-separated cells of a line.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  for (char c : line) {
    if (c == '\t')
      cells.emplace_back();
    else
      cells.back() += c;
  }
  return cells;
}

// What a cell must look like in the document: a formula-like start gets a
// "'" (the signs only when no number follows: "-12.5" stays, "-x", "-2+3",
// "--" do not).
std::string AsText(const std::string& cell) {
  static const std::regex number(R"( *[+-]?([0-9]+([.,][0-9]*)?|[.,][0-9]+)([eE][+-]?[0-9]+)? *)");
  if (cell.empty()) return cell;
  const char c = cell[0];
  if (c == '=' || c == '@' || ((c == '+' || c == '-') && !std::regex_match(cell, number))) return "'" + cell;
  return cell;
}

// Formula-like cells are read back as text with a leading "'"; numbers,
// blanks before a formula and plain text are unchanged.
TEST_F(SpreadsheetTest, FormulaLikeCellsBecomeText) {
  const std::vector<std::vector<std::string>> rows = {
      {"=HYPERLINK(\"http://evil/\";\"Klick\")", "@SUM(A1)", "+cmd|' /C calc'!A0", "-Feder"},
      {"-2+3+cmd|' /C calc'!A0", "--", "+", "-"},
      {"-12.5", "+7", "-1,25", "3.5E+0002", "-.5", " -4 "},
      {"Feder = 3", " =1+2", "a@b", "x-y", ""},
  };
  const std::string path = WriteCsvDocument(rows);
  ASSERT_FALSE(path.empty());
  fs::copy_file(path, tmp_ / "copy7.csv");
  fs::remove(path);
  const std::vector<std::string> got = PythonRows(7);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], "'=HYPERLINK(\"http://evil/\";\"Klick\")|'@SUM(A1)|'+cmd|' /C calc'!A0|'-Feder");
  EXPECT_EQ(got[1], "'-2+3+cmd|' /C calc'!A0|'--|'+|'-");
  EXPECT_EQ(got[2], "-12.5|+7|-1,25|3.5E+0002|-.5| -4 ");
  EXPECT_EQ(got[3], "Feder = 3| =1+2|a@b|x-y|");

  // Through Start Excel: a drawing number that is a formula.
  RoundDynamic();
  SpringData().DrawingNo = "=HYPERLINK(\"http://evil/\")";
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = data_.string() + "/";
  WriteSpringFile(CurrentSpringFilePath());
  ASSERT_EQ(G().AbortFlag, 0);
  RunCommand("mi_OleStartExcel");
  ASSERT_EQ(Started(0).size(), 1u);
  bool found = false;
  for (const std::string& row : PythonRows(0)) {
    EXPECT_NE(row.front(), '=');
    found |= row == "'=HYPERLINK(\"http://evil/\")";
  }
  EXPECT_TRUE(found);
}

TEST_F(SpreadsheetTest, UnnamedSpringAndMissingProgram) {
  G().CurrentFileName.clear();
  ui().ExpectMessageBox("Meldung", "Zuerst m\xC3\xBCssen Sie Ihre Eingabedaten speichern (Men\xC3\xBC \"Datei->Speichern\")");
  StartSpreadsheet();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(SpreadsheetStarted());

  RoundDynamic();
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = data_.string() + "/";
  WriteSpringFile(CurrentSpringFilePath());
  G().TableEditorPath = "/nonexistent/tabelle";
  ui().ExpectMessageBox("", "Excel kann nicht gestartet werden");
  StartSpreadsheet();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(SpreadsheetStarted());
  EXPECT_FALSE(fs::exists(tmp_ / "args0"));
}

// The documents in the temporary folder.
std::vector<std::string> Documents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().extension() == ".csv") names.push_back(e.path().filename().string());
  return names;
}

// Start Excel hands on the spring the file dialog opened, also after a
// command-line start (which once kept its bare name) and for a name with a
// dot of its own.
TEST_F(SpreadsheetTest, StartExcelAfterOpeningByTheDialog) {
  RoundDynamic();
  WriteSpringFile((data_ / "feder.v2.zeb").string());
  ASSERT_EQ(G().AbortFlag, 0);
  const std::string saved = test::ReadBytes(data_ / "feder.v2.zeb");
  ASSERT_FALSE(saved.empty());
  // A command-line start with another spring, then Datei > Öffnen.
  G().CommandLineFileLoaded = 1;
  G().CurrentFileName = (test::kExampleDir / "round_static.zeb").string();
  G().CurrentDataFolder.clear();
  ReadSpringFile(G().CurrentFileName);
  ASSERT_EQ(G().AbortFlag, 0);
  G().ModifiedFlag = 0;
  ui().ExpectOpenFile((data_ / "feder.v2.zeb").string());
  RunCommand("mi_fileOpen");
  ASSERT_EQ(G().AbortFlag, 0);
  RunCommand("mi_OleStartExcel");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_TRUE(SpreadsheetStarted());
  ASSERT_EQ(Started(0).size(), 1u);
  // Every line of the file a row, in order.
  const std::vector<std::string> lines = test::TextLines(saved);
  const std::vector<std::string> rows = PythonRows(0);
  ASSERT_EQ(rows.size(), lines.size());
  EXPECT_EQ(rows.front(), AsText(lines.front()));
  EXPECT_EQ(rows.back(), AsText(lines.back()));
}

// A table program that starts but fails at once (as xdg-open without a
// program for CSV files): named with its code and the document, which
// stays; what it says on its error stream goes nowhere near the user's
// terminal.
TEST_F(SpreadsheetTest, ProgramThatFailsAtOnceIsNamed) {
  RoundDynamic();
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = data_.string() + "/";
  WriteSpringFile(CurrentSpringFilePath());
  ASSERT_EQ(G().AbortFlag, 0);
  const fs::path failing = tmp_ / "xdg-open";
  test::WriteBytes(failing, "#!/bin/sh\nreadlink /proc/$$/fd/2 > \"" + tmp_.string() +
                                "/stderr.tmp\"\nmv \"" + tmp_.string() + "/stderr.tmp\" \"" + tmp_.string() +
                                "/stderr\"\ni=0; while [ $i -lt 23 ]; do echo \"xdg-open: no method $i\" >&2; "
                                "i=$((i+1)); done\nexit 3\n");
  fs::permissions(failing, fs::perms::owner_all);
  G().TableEditorPath = test::SettingWord(failing.string());
  ui().ExpectMessageBox("", "Excel kann nicht gestartet werden: Programm " + failing.string() +
                                " meldet Fehler (Code 3); die Daten stehen in " + tmp_.string() + "/zeb1_");
  RunCommand("mi_OleStartExcel");
  EXPECT_FALSE(SpreadsheetStarted());
  EXPECT_EQ(Documents(tmp_).size(), 1u);
  EXPECT_EQ(test::ReadBytes(tmp_ / "stderr"), "/dev/null\n");

  // The printout export says the same.
  ui().ExpectMessageBox("", "meldet Fehler (Code 3); die Daten stehen in " + tmp_.string() + "/zeb1_");
  RunCommand("mi_olePrintoutExcel");
  EXPECT_EQ(Documents(tmp_).size(), 2u);
}

// The command returns while the table program runs: one that fails only
// then is named once the program's event loop has no command running, and
// the export item is off again.
TEST_F(SpreadsheetTest, AProgramFailingAfterTheCommandReturnedIsNamedThen) {
  RoundDynamic();
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = data_.string() + "/";
  WriteSpringFile(CurrentSpringFilePath());
  ASSERT_EQ(G().AbortFlag, 0);
  // Fails once the test says so, which it does only after the command.
  const fs::path go = tmp_ / "go", failing = tmp_ / "late-failing";
  test::WriteBytes(failing, "#!/bin/sh\ni=0\nwhile [ ! -e \"" + go.string() +
                                "\" ] && [ $i -lt 6000 ]; do sleep 0.01; i=$((i+1)); done\nexit 4\n");
  fs::permissions(failing, fs::perms::owner_all);
  G().TableEditorPath = test::SettingWord(failing.string());
  ui().HoldPolls(true);
  RunCommand("mi_OleStartExcel");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_TRUE(SpreadsheetStarted());
  EXPECT_TRUE(CommandEnabled(*FindCommand("mi_oleExportExcel")));
  test::WriteBytes(go, "");
  ui().ExpectMessageBox("", "Programm " + failing.string() + " meldet Fehler (Code 4); die Daten stehen in " +
                                tmp_.string() + "/zeb1_");
  // The program ends within a few milliseconds of the go; a minute bounds
  // a hang.
  for (int i = 0; i < 3000 && ui().RunPollsOnce(true); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ui().RunPollsOnce(true));
  EXPECT_FALSE(SpreadsheetStarted());
  EXPECT_FALSE(CommandEnabled(*FindCommand("mi_oleExportExcel")));
  EXPECT_EQ(Documents(tmp_).size(), 1u);
}

TEST_F(SpreadsheetTest, DefaultEditorMissingFromThePath) {
  RoundDynamic();
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = data_.string() + "/";
  WriteSpringFile(CurrentSpringFilePath());
  ASSERT_EQ(G().AbortFlag, 0);
  // A recording xdg-open in a folder that is not on the search path.
  const fs::path bin = tmp_ / "bin", empty = tmp_ / "empty";
  fs::create_directory(bin);
  fs::create_directory(empty);
  test::WriteBytes(bin / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + tmp_.string() + "/opened.tmp\"\nmv \"" +
                                         tmp_.string() + "/opened.tmp\" \"" + tmp_.string() + "/opened\"\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  G().TableEditorPath = "xdg-open";
  ::setenv("PATH", empty.c_str(), 1);
  // The message names the program and the document, which stays.
  ui().ExpectMessageBox("", "Excel kann nicht gestartet werden: Programm xdg-open nicht gefunden; die Daten stehen in " +
                                tmp_.string() + "/zeb1_");
  RunCommand("mi_OleStartExcel");
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(SpreadsheetStarted());
  EXPECT_FALSE(CommandEnabled(*FindCommand("mi_oleExportExcel")));
  const std::vector<std::string> kept = Documents(tmp_);
  ASSERT_EQ(kept.size(), 1u);
  fs::remove(tmp_ / kept[0]);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(tmp_ / "opened"));

  // The same name found on the path is started with the document.
  ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
  RunCommand("mi_OleStartExcel");
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_TRUE(CommandEnabled(*FindCommand("mi_oleExportExcel")));
  test::WaitUntil([&] { return fs::exists(tmp_ / "opened"); });
  const std::vector<std::string> args = test::TextLines(test::ReadBytes(tmp_ / "opened"));
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(Documents(tmp_), std::vector<std::string>{fs::path(args[0]).filename().string()});
}

TEST_F(SpreadsheetTest, StartAndExportWriteNewDocuments) {
  RoundDynamic();
  G().CurrentFileName = "feder";
  G().CurrentDataFolder = data_.string() + "/";
  WriteSpringFile(CurrentSpringFilePath());
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_FALSE(CommandEnabled(*FindCommand("mi_oleExportExcel")));
  RunCommand("mi_OleStartExcel");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_TRUE(SpreadsheetStarted());
  EXPECT_TRUE(CommandEnabled(*FindCommand("mi_oleExportExcel")));
  const std::vector<std::string> args = Started(0);
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0].front(), '/');
  EXPECT_EQ(fs::path(args[0]).extension(), ".csv");
  // One row per line of the saved file, decoded from code page 850.
  const std::vector<std::string> lines = test::TextLines(test::ReadBytes(data_ / "feder.zeb"));
  std::vector<std::string> want;
  for (const std::string& l : lines) want.push_back(AsText(ToUtf8(CodePage::Cp850, l)));
  EXPECT_EQ(PythonRows(0), want);

  // After an edit: saved first, still modified, the new value, a new name.
  SpringData().DrawingNo = "X-4711-NEU";
  G().ModifiedFlag = 1;
  ExportInputDataToSpreadsheet();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(G().ModifiedFlag, 1);
  const std::vector<std::string> second = Started(1);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(second[0], args[0]);
  const std::string saved = test::ReadBytes(data_ / "feder.zeb");
  EXPECT_NE(saved.find("X-4711-NEU"), std::string::npos);
  bool found = false;
  for (const std::string& row : PythonRows(1)) found |= row.find("X-4711-NEU") != std::string::npos;
  EXPECT_TRUE(found);
}

TEST_F(SpreadsheetTest, PrintoutRowsAreTheTabSeparatedCopy) {
  RoundDynamic();
  G().AskOutputTarget = 1;
  G().OutputTarget = 3;
  PrintoutToSpreadsheet();
  EXPECT_EQ(G().AskOutputTarget, 1);
  EXPECT_EQ(G().OutputTarget, 3);
  ASSERT_EQ(Started(0).size(), 1u);
  // The Windows-text copy beside the output, split at tabs.
  const fs::path out = DeliveredFileName();
  const std::string copy = test::ReadBytes(out.parent_path() / out.filename().string().substr(1));
  ASSERT_FALSE(copy.empty());
  std::vector<std::string> want;
  for (const std::string& line : test::TextLines(copy)) {
    std::string joined;
    const std::vector<std::string> cells = Cells(ToUtf8(CodePage::Cp1252, line));
    for (std::size_t i = 0; i < cells.size(); ++i) joined += (i > 0 ? "|" : "") + AsText(cells[i]);
    want.push_back(joined);
  }
  EXPECT_EQ(PythonRows(0), want);
  EXPECT_GT(want.size(), 20u);

  // A fatal spring starts nothing.
  G().FatalErrorFlag = 1;
  ui().ExpectChoiceCancel("Berechnungsmodul");
  PrintoutToSpreadsheet();
  EXPECT_FALSE(fs::exists(tmp_ / "args1"));
}

}  // namespace
}  // namespace zeb
