// The Documentation commands headless: change-log commands with scripted
// entry forms, the report as written to a file, the drawing information
// grids and the document links started as argument vectors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "base/files.h"
#include "base/globals.h"
#include "base/support_clock.h"
#include "base/support_golden.h"
#include "base/support_shell.h"
#include "base/support_hang.h"
#include "mainwin/changelog_cmd.h"
#include "settings/config.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "mainwin/program_fixture.h"
#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/ref_spring.h"
#include "mainwin/text_lines.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;


class ChangeLogCmdTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    InitOutputDevice();
    dir_ = *MakeUniqueFile(TempDirectory(), "changelogtest");
    fs::remove(dir_);
    fs::create_directory(dir_);
    G().TempFolder = dir_;
    G().ProgramTitle = "ZEB1";
    G().ProgramVersion = "26.6";
    G().AskOutputTarget = 0;
    ChangeLog() = DefaultChangeLog();
    DocumentLinks() = DefaultDocumentLinks();
    DocumentationDialogs d;
    d.changeEntry = [this](ChangeEntryForm& f, int n) {
      opened.push_back(n);
      if (!typed) return false;
      f = *typed;
      return true;
    };
    d.drawingInfo = [this](DrawingInfoForm& f) {
      if (infoAnswers.empty()) return false;
      f = infoAnswers.front();
      infoAnswers.erase(infoAnswers.begin());
      return true;
    };
    SetDocumentationDialogs(d);
  }
  void TearDown() override {
    SetDocumentationDialogs({});
    InitOutputDevice();
    fs::remove_all(dir_);
    SpringTest::TearDown();
  }
  // The report written into a chosen file, as lines.
  std::vector<std::string> FileReport() {
    const std::string chosen = dir_ + "/log.txt";
    fs::remove(chosen);
    ui().ExpectSaveFile(chosen);
    ChangeLogReport(kOutFile);
    return test::TextLines(test::ReadBytes(chosen));
  }
  void AddEntries(int n) {
    ChangeLogData& log = ChangeLog();
    log.ChangeEntryCount = static_cast<std::int16_t>(n);
    for (int i = 1; i <= n; ++i)
      log.ChangeEntries[static_cast<std::size_t>(i)] = {"Bohrung " + std::to_string(i), "01.02.2026", "MK", "neu"};
  }

  std::string dir_;
  std::vector<int> opened;
  std::optional<ChangeEntryForm> typed;
  std::vector<DrawingInfoForm> infoAnswers;
};

CLOCK_TEST_F(ChangeLogCmdTest, NewEntryCancelledIsWithdrawnAndTheTwentySixthRefused) {
  AddEntries(2);
  ChangeLogCommand(1);  // cancelled
  EXPECT_EQ(opened, std::vector<int>{3});
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 2);
  EXPECT_EQ(G().ModifiedFlag, 0);

  typed = ChangeEntryForm{"\xC4nderung 3", "07.12.2026", "ABCDEFG", "Zeile 1\r\nZeile 2"};
  ui().ExpectTextViewer("");
  ChangeLogCommand(1);
  const ChangeEntry& e = ChangeLog().ChangeEntries[3];
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 3);
  EXPECT_EQ(e.Change, "\x8Enderung 3");  // code page 850
  EXPECT_EQ(e.Editor, "ABCDE");             // at most 5
  EXPECT_EQ(e.Description, "Zeile 1\r\nZeile 2");
  EXPECT_EQ(G().ModifiedFlag, 1);
  // The form shows today's date for a new entry.
  typed.reset();
  ChangeLogCommand(1);
  EXPECT_EQ(ChangeLog().ChangeEntries[4].Date, TodayDateString());
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 3);

  AddEntries(25);
  opened.clear();
  ui().ExpectMessageBox("", "Max. \xC3\x84nderungen = 25 !");
  ChangeLogCommand(1);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 25);
}

TEST_F(ChangeLogCmdTest, ChangeAndDeleteWorkOnTheLastEntry) {
  ChangeLogCommand(2);  // empty log: nothing
  EXPECT_TRUE(opened.empty());
  ui().ExpectTextViewer("");
  ChangeLogCommand(3);  // empty log: shown only
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 0);

  AddEntries(3);
  typed = ChangeEntryForm{"x", "y", "z", "w"};
  ui().ExpectTextViewer("");
  ChangeLogCommand(2);
  EXPECT_EQ(opened, std::vector<int>{3});
  EXPECT_EQ(ChangeLog().ChangeEntries[3].Change, "x");
  ui().ExpectTextViewer("");
  ChangeLogCommand(3);
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 2);
  EXPECT_EQ(ChangeLog().ChangeEntries[2].Change, "Bohrung 2");

  // Asked first: the choice "zurück...." ends without action.
  ui().ExpectChoice("\xC3\x84nderungen", 7);
  ChangeLogCommand(0);
  EXPECT_EQ(G().LineTable[2], "\x84ndern");
  ui().ExpectChoice("\xC3\x84nderungen", 3);
  ui().ExpectTextViewer("");
  ChangeLogCommand(0);
  EXPECT_EQ(ChangeLog().ChangeEntryCount, 1);
}

TEST_F(ChangeLogCmdTest, ReportLinesAndIndexStyles) {
  AddEntries(3);
  ChangeLogData& log = ChangeLog();
  log.CreatedDate = "01.01.2026";
  log.CreatedBy = "Max";
  log.ReplacesDrawing = "Z-100";
  log.ChangeEntries[3] = {"Drahtdurchmesser", "03.03.2026", "Bearbeiter", "Gr\x94\xE1" "e"};
  Config().DrawingIndexStyle = 0;
  std::vector<std::string> lines = FileReport();
  auto has = [&](const std::string& want) {
    for (const std::string& l : lines)
      if (l == want) return true;
    return false;
  };
  // Result lines are indented by seven blanks.
  const std::string in(7, ' ');
  EXPECT_TRUE(has(in + "Erstellungsdatum: 01.01.2026     Erstellt von: Max"));
  EXPECT_TRUE(has(in + "Ersatz f\x81r: Z-100          "));
  EXPECT_TRUE(has(in + "Index   Datum        Bearb.   \x8E" "nderung            "));
  EXPECT_TRUE(has(in + "  c     03.03.2026   Bearbe   Drahtdurchmesser    "));
  EXPECT_TRUE(has(in + " Gr\x94\xE1" "e"));
  EXPECT_TRUE(has(in + "  a     01.02.2026   MK       Bohrung 1           "));
  for (const std::string& l : lines) EXPECT_EQ(l.find("Ersetzt durch"), std::string::npos);

  Config().DrawingIndexStyle = 1;
  lines = FileReport();
  EXPECT_TRUE(has(in + "  3     03.03.2026   Bearbe   Drahtdurchmesser    "));
}

TEST_F(ChangeLogCmdTest, DrawingInfoReadsTextRowsUpToTheFirstGap) {
  DrawingInfoForm f = FillDrawingInfoForm();
  EXPECT_EQ(DrawingInfoRoleLabels()[0], "Bearb.");
  // An empty grid stores row 1 with zero values.
  infoAnswers.push_back(f);
  EditDrawingInfo();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ChangeLog().DrawingTextCount, 1);
  EXPECT_EQ(ChangeLog().DrawingTexts[1].x, 0.0L);
  EXPECT_EQ(G().ModifiedFlag, 1);

  f.texts[0] = {"10", "20,5", "3.5", "abc", "Erste"};
  f.texts[1] = {"1", "2", "3", "90", "Zweite"};
  f.texts[2] = {"9", "9", "9", "9", "   "};
  f.texts[3] = {"9", "9", "9", "9", "Vierte"};
  f.roles[1] = {"02.02.2026", "Pr\xFC" "fer"};
  // Dates and names longer than their rows hold are cut to 10 and 30.
  f.roles[2] = {"03.03.2026 nachmittags", "Dipl.-Ing. Hans-Peter Mustermann-Schmidt"};
  f.replaces = "Z-1234567890123456";
  infoAnswers = {f};
  EditDrawingInfo();
  const ChangeLogData& log = ChangeLog();
  EXPECT_EQ(log.DrawingTextCount, 2);
  EXPECT_EQ(log.DrawingTexts[1].y, 20.5L);
  EXPECT_EQ(log.DrawingTexts[1].phi, 0.0L);
  EXPECT_EQ(log.DrawingTexts[2].Text, "Zweite");
  EXPECT_EQ(log.CheckedBy, "Pr\x81" "fer");
  EXPECT_EQ(log.StandardsDate, "03.03.2026");
  EXPECT_EQ(log.StandardsBy, "Dipl.-Ing. Hans-Peter Musterma");
  EXPECT_EQ(log.ReplacesDrawing, "Z-1234567890123");
  EXPECT_EQ(FillDrawingInfoForm().texts[0][1], "20.5");

  // A "|" in a role name is refused; the form stays open, then Cancel.
  DrawingInfoForm bad = f;
  bad.roles[3][1] = "A|B";
  infoAnswers = {bad};
  ui().ExpectMessageBox("", "|");
  EditDrawingInfo();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(ChangeLog().ReleasedBy, "");
}

TEST_F(ChangeLogCmdTest, DocumentLinksGiveArgumentVectors) {
  DocumentLinkTable& links = DocumentLinks();
  links[1] = {"prog --flag", dir_ + "/a b.txt"};
  links[2] = {"prog", ""};
  links[3] = {"NOTEPAD.EXE", "x.txt"};
  links[4] = {"", "$(rm -rf x); y"};
  EXPECT_EQ(DocumentLinkArguments(1), (std::vector<std::string>{"prog", "--flag", dir_ + "/a b.txt"}));
  EXPECT_EQ(DocumentLinkArguments(2), (std::vector<std::string>{"prog"}));
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(DocumentLinkArguments(3), (std::vector<std::string>{"xdg-open", cwd + "/x.txt"}));
  EXPECT_EQ(DocumentLinkArguments(4), (std::vector<std::string>{"xdg-open", cwd + "/$(rm -rf x); y"}));
  EXPECT_TRUE(DocumentLinkArguments(6).empty());
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(DefaultDocumentLinks()[static_cast<std::size_t>(n)].Program, "xdg-open");

  // A program that records its arguments, one a line.
  const std::string prog = dir_ + "/prog";
  {
    std::ofstream s(prog);
    s << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " << test::ShellQuote(dir_ + "/args.tmp")
      << "\nmv " << test::ShellQuote(dir_ + "/args.tmp") << " " << test::ShellQuote(dir_ + "/args") << "\n";
  }
  fs::permissions(prog, fs::perms::owner_all);
  links[1].Program = test::SettingWord(prog) + " --flag";
  ui().ExpectYesNo("Dokument 1", true);
  OpenDocumentLink(1);
  const fs::path args = dir_ + "/args";
  test::WaitUntil([&] { return fs::exists(args); });
  EXPECT_EQ(test::ReadBytes(args), "--flag\n" + dir_ + "/a b.txt\n");

  // A program that cannot start is named with the field to change.
  links[5] = {"/nonexistent/zeb-viewer", "f"};
  ui().ExpectYesNo("Dokument 5", true);
  ui().ExpectMessageBox("Fehler", "file not found: /nonexistent/zeb-viewer\nEinstellung: Dokument > Dokument Setup > Program 5");
  OpenDocumentLink(5);
  // The default viewer with no file: no program started, the link is
  // said to be empty; a program of the user's own still starts.
  links[2] = {"xdg-open", ""};
  ui().ExpectMessageBox("", "Dokument 2: keine Datei eingetragen\nEinstellung: Dokument > Dokument Setup > File 2");
  OpenDocumentLink(2);
  links[3] = {"NOTEPAD.EXE", ""};
  ui().ExpectMessageBox("", "Dokument 3: keine Datei eingetragen");
  OpenDocumentLink(3);
  links[1] = {test::SettingWord(prog), ""};
  fs::remove(args);
  ui().ExpectYesNo("Dokument 1", true);
  OpenDocumentLink(1);
  test::WaitUntil([&] { return fs::exists(args); });
  EXPECT_EQ(test::ReadBytes(args), "");
}

// A link read from a received spring file starts nothing before the user
// has seen the whole command and said Yes; Yes holds for the rest of the
// session, No asks again next time. A file named like an option reaches the
// program as an absolute path.
TEST_F(ChangeLogCmdTest, DocumentLinksAreConfirmedOnceWithAbsoluteFiles) {
  const std::string prog = dir_ + "/rec";
  {
    std::ofstream s(prog);
    s << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " << test::ShellQuote(dir_ + "/runs.tmp")
      << "\nmv " << test::ShellQuote(dir_ + "/runs.tmp") << " " << test::ShellQuote(dir_) << "/runs$$\n";
  }
  fs::permissions(prog, fs::perms::owner_all);
  auto runs = [&] {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().rfind("runs", 0) == 0 && e.path().extension() != ".tmp")
        found.push_back(test::ReadBytes(e.path()));
    return found;
  };
  // Waits for n runs; then a little for a run that should not come.
  auto waitRuns = [&](std::size_t n) {
    test::WaitUntil([&] { return runs().size() >= n; });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return runs();
  };
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  // As a spring file gives it: no dialog involved.
  DocumentLinks()[2] = {test::SettingWord(prog) + " -q", "-rf"};
  // The command as the question shows it: a word with blanks in quotes.
  const auto word = [](const std::string& w) { return w.find(' ') == std::string::npos ? w : "\"" + w + "\""; };
  const std::string shown = word(prog) + " -q " + word(dir_ + "/-rf");

  ui().ExpectYesNo("Dokument 2 startet:\n" + shown + "\nProgramm starten ?", false);
  OpenDocumentLink(2);
  EXPECT_TRUE(waitRuns(0).empty());

  ui().ExpectYesNoCancel(shown);
  OpenDocumentLink(2);
  EXPECT_TRUE(waitRuns(0).empty());

  ui().ExpectYesNo(shown, true);
  OpenDocumentLink(2);
  EXPECT_EQ(waitRuns(1), std::vector<std::string>{"-q\n" + dir_ + "/-rf\n"});
  OpenDocumentLink(2);  // confirmed: no second question
  EXPECT_EQ(waitRuns(2).size(), 2u);

  // Another file for the same program is a new command.
  DocumentLinks()[2].File = "b c.txt";
  ui().ExpectYesNo(word(prog) + " -q \"" + dir_ + "/b c.txt\"", false);
  OpenDocumentLink(2);
  EXPECT_EQ(waitRuns(2).size(), 2u);

  // A link the user types in the document dialog starts at once.
  DocumentationDialogs d = CurrentDocumentationDialogs();
  d.documentLinks = [&](DocumentLinksForm& f) {
    f.program[2] = test::SettingWord(prog);
    f.file[2] = "typed.txt";
    return true;
  };
  SetDocumentationDialogs(d);
  EditDocumentLinks();
  OpenDocumentLink(3);
  EXPECT_EQ(waitRuns(3).size(), 3u);
  fs::current_path(old);
}

TEST_F(ChangeLogCmdTest, DocumentLinksFormCancelKeepsLinks) {
  DocumentationDialogs d = CurrentDocumentationDialogs();
  d.documentLinks = [](DocumentLinksForm& f) {
    f.program[0] = "ed";
    return false;
  };
  SetDocumentationDialogs(d);
  EditDocumentLinks();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_EQ(DocumentLinks()[1].Program, "xdg-open");
  d.documentLinks = [](DocumentLinksForm& f) {
    f.program[0] = "ed";
    f.file[4] = "/tmp/\xC3\xA4 b.txt";
    return true;
  };
  SetDocumentationDialogs(d);
  EditDocumentLinks();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(DocumentLinks()[1].Program, "ed");
  EXPECT_EQ(DocumentLinks()[5].File, "/tmp/\xC3\xA4 b.txt");
}

}  // namespace
}  // namespace zeb

namespace zeb {
namespace {

// The whole report of a file target against a copy reviewed by eye; the
// page head's date is today's and is masked.
CLOCK_TEST_F(ChangeLogCmdTest, FileReportEqualsItsGoldenFile) {
  AddEntries(3);
  ChangeLogData& log = ChangeLog();
  log.CreatedDate = "01.01.2026";
  log.CreatedBy = "Max";
  log.ReplacedByDrawing = "Z-200";
  log.ChangeEntries[2].Description = "zwei\r\nZeilen";
  G().TitleBlockLines[1] = "Feder   Zeichn.Nr.: 4711";
  G().TitleBlockLines[2] = "Pr\x81" "ffeder";
  Config().DrawingIndexStyle = 0;
  const std::string chosen = dir_ + "/log.txt";
  ui().ExpectSaveFile(chosen);
  ChangeLogReport(kOutFile);
  std::string text = test::ReadBytes(chosen);
  const std::string today = TodayDateString();
  for (std::size_t p; (p = text.find(today)) != std::string::npos;) text.replace(p, today.size(), "TT.MM.JJJJ");
  text = std::regex_replace(text, std::regex(" +TT\\.MM\\.JJJJ +[0-9]+:[0-9]+ +\\*"), " [Datum Zeit] *");
  const fs::path golden = test::SourceDir() / "tests" / "mainwin" / "golden" / "changelog_t3.txt";
  test::ExpectGoldenFile(golden, text);
}

}  // namespace
}  // namespace zeb
