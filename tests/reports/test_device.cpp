#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_hang.h"
#include "base/support_shell.h"
#include "base/viewer.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/process.h"
#include "printout_fixture.h"
#include "reports/device.h"
#include "reports/printjob.h"
#include "reports/table.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using test::ReadBytes;
using test::SplitLines;

// Pages of a screen or printer output: split at form-feed lines.
std::vector<Lines> Pages(const Lines& lines) {
  std::vector<Lines> pages(1);
  for (const std::string& l : lines) {
    if (!l.empty() && l[0] == '\f') {
      pages.emplace_back();
      continue;
    }
    pages.back().push_back(l);
  }
  if (pages.back().empty()) pages.pop_back();
  return pages;
}

bool Has(const std::string& s, const std::string& sub) { return s.find(sub) != std::string::npos; }

int CountWith(const Lines& lines, const std::string& sub) {
  int n = 0;
  for (const auto& l : lines) n += Has(l, sub) ? 1 : 0;
  return n;
}

class DeviceTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    InitOutputDevice();
    InitPrintJob();
    dir_ = *MakeUniqueFile(TempDirectory(), "device test");  // a folder with a blank, as users have them
    fs::remove(dir_);
    fs::create_directory(dir_);
    G().TempFolder = dir_;
    G().ProgramTitle = "ZEB1";
    G().ProgramVersion = "26.6";
    G().CurrentFileName = "feder";
    G().CurrentDataFolder = "/daten";
  }
  void TearDown() override {
    InitOutputDevice();
    SetTextPrinterDeviceFolder("/dev");
    fs::remove_all(dir_);
    BaseTest::TearDown();
  }

  // Writes n numbered result lines as one report.
  void Report(int target, int n, int total = 0) {
    SetReportTitles("Titel", "Zeile 1", "", "", "", total);
    OpenOutputDevice(target, "");
    ASSERT_EQ(G().AbortFlag, 0);
    WriteReportPageHead(0, 0);
    for (int i = 1; i <= n; ++i) WriteResultLine("Inhalt " + std::to_string(i));
    WritePageEnd();
    CloseOutputDevice();
  }

  // Opens target with the title "Titel" and writes the page head.
  static void OpenWithHead(int target) {
    SetReportTitles("Titel", "", "", "", "", 0);
    OpenOutputDevice(target, "");
    WriteReportPageHead(0, 0);
  }

  // Report on the screen; the lines of the viewer's copy.
  Lines ScreenReport(int n, int total = 0) {
    ui().ExpectTextViewer("ZEB1    Ausdruck");
    Report(kOutScreen, n, total);
    return SplitLines(ReadBytes(ViewerDisplayFile()));
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = dir_ + "/" + name;
    test::WriteBytes(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0700);
    return path;
  }

  std::string dir_;
};

// ---------------------------------------------------------------- pages

// Announced 2 pages; 200 lines need 4, and every head shows "/ 4".
TEST_F(DeviceTest, SixtySixLinesPerPageHoldSixtyFiveResultLinesAndTheTotalCountsHeads) {
  const auto pages = Pages(ScreenReport(200, 2));
  ASSERT_EQ(pages.size(), 4u);
  for (std::size_t p = 0; p + 1 < pages.size(); ++p) EXPECT_EQ(pages[p].size(), 65u) << "page " << p + 1;
  EXPECT_LE(pages.back().size(), 65u);
  // Every result line is indented, head lines included.
  for (const auto& page : pages)
    for (const auto& l : page) EXPECT_EQ(l.substr(0, 7), "       ") << l;
  // Page 1: head of 9 lines (frame, title, date, file, frame, line 1..3,
  // frame), then 56 lines. The 57th comes after the next head and one
  // empty line.
  EXPECT_EQ(pages[0][1].substr(7, 6), "*    T");
  EXPECT_EQ(pages[0][64], "       Inhalt 56");
  EXPECT_EQ(pages[1][9], "       ");
  EXPECT_EQ(pages[1][10], "       Inhalt 57");
  EXPECT_EQ(ReportPageCount(), 4);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const std::string& title = pages[p][1];
    ASSERT_EQ(title.size(), 77u);
    EXPECT_EQ(title.substr(7 + 59, 8), "Bl. " + std::to_string(p + 1) + "/ 4");
    EXPECT_EQ(title.back(), '*');
  }
  // The screen's output file is gone, the copy stays.
  EXPECT_EQ(Files(), (std::vector<std::string>{"outwin.txt"}));
}

// The file line names the spring file: folder, name and extension; a
// name that came with its extension (from the command line, without a
// folder) is shown as it is, not with a second extension.
TEST_F(DeviceTest, TheFileLineNamesTheSpringFileOnce) {
  G().SpringFileExtension = "zeb";
  const auto fileLine = [this](const std::string& name, const std::string& folder) {
    G().CurrentFileName = name;
    G().CurrentDataFolder = folder;
    const Lines lines = ScreenReport(1);
    return lines.size() > 3 ? lines[3].substr(0, 30) : std::string();
  };
  EXPECT_EQ(fileLine("feder", "/daten"), "       *    /daten/feder.zeb  ");
  EXPECT_EQ(fileLine("feder.zeb", ""), "       *    feder.zeb         ");
  EXPECT_EQ(fileLine("../v1.2/feder.ZEB", ""), "       *    ../v1.2/feder.ZEB ");
  EXPECT_EQ(fileLine("../v1.2/feder", "/daten"), "       *    /daten/../v1.2/fed");
}

// The text window's title names what it shows and the spring file as the
// main window's title does (none for a new spring, one extension), without
// its folder.
TEST_F(DeviceTest, SubjectsOfASpringNameItsFile) {
  G().SpringFileExtension = "zeb";
  for (const auto& [name, subject] : std::vector<std::pair<std::string, std::string>>{
           {"", "Auszug"}, {"feder", "Auszug  -  feder.zeb"}, {"../v1.2/feder.ZEB", "Auszug  -  feder.ZEB"}, {"/daten/v1.2", "Auszug  -  v1.2"}}) {
    G().CurrentFileName = name;
    EXPECT_EQ(SpringOutputSubject("Auszug"), subject);
  }
  G().CurrentFileName = "ma\xc3\x9f";  // UTF-8
  EXPECT_EQ(SpringOutputSubject("\x8enderungsprotokoll"), "\xc4nderungsprotokoll  -  ma\xdf.zeb");
}

TEST_F(DeviceTest, HeadModeTwoFramesOnlyTheFirstPage) {
  G().PageHeadMode = 2;
  const Lines lines = ScreenReport(150, 3);
  EXPECT_EQ(CountWith(lines, "Titel"), 1);
  EXPECT_EQ(CountWith(lines, "Bl."), 0);
  const auto pages = Pages(lines);
  ASSERT_EQ(pages.size(), 3u);  // 9 + 150 lines in pages of 65
  EXPECT_EQ(pages[1][0], "       Inhalt 57");
  EXPECT_EQ(pages[1].size(), 65u);
  // A page head asked for later writes only " ".
  ui().ExpectTextViewer("ZEB1    Ausdruck");
  OpenWithHead(kOutScreen);
  WriteResultLine("a");
  WritePageEnd();
  WriteReportPageHead(0, 0);
  WriteResultLine("b");
  CloseOutputDevice();
  const Lines second = SplitLines(ReadBytes(ViewerDisplayFile()));
  ASSERT_GE(second.size(), 5u);
  EXPECT_EQ(second[second.size() - 4], "\f");
  EXPECT_EQ(second[second.size() - 3], " ");
  EXPECT_EQ(second[second.size() - 2], "       b");
  // At close a form feed ends the page that has lines.
  EXPECT_EQ(second.back(), "\f");
}

TEST_F(DeviceTest, StylesWithoutRulesWriteNoRuleFrameOrSkipMarker) {
  for (int style : {0, 5}) {
    G().ReportLineStyle = static_cast<std::int16_t>(style);
    G().ErrorMessageList.count = 1;
    G().ErrorMessageList.slot[1] = "Warnung: Test";
    SetReportTitles("Titel", "Zeile 1", "", "", "", 1);
    OpenOutputDevice(kOutDosFile, "");
    WriteReportPageHead(0, 1);
    WriteResultRow("Federrate", "R", "N/mm", "16.2");
    WriteResultRow2("Lebensdauer", "tN", "h", "1", "2");
    WriteResultLine(SingleRuleLine());
    WriteResultLine(DoubleRuleLine());
    ReportTable t;
    t.ReportTableInit(16, 14, 0, 0, 0, 0, 0, "A", "B", "", "", "", "", "");
    t.ReportTableRow("1", "2");
    t.ReportTableDone();
    WriteRemarksSection();
    WritePageEnd();
    CloseOutputDevice();
    const Lines lines = SplitLines(ReadBytes(dir_ + "/OUTDOS.TXT"));
    ASSERT_GT(lines.size(), 10u);
    for (const auto& l : lines) {
      EXPECT_FALSE(Has(l, "$!$")) << style << ": " << l;
      EXPECT_FALSE(Has(l, "---") || Has(l, "===") || Has(l, "**")) << style << ": " << l;
    }
    EXPECT_EQ(CountWith(lines, "Federrate"), 1);
    EXPECT_EQ(CountWith(lines, "Warnung: Test"), 1);
    // The title stands where the frame would be, without side characters.
    EXPECT_EQ(lines[0], "       " + std::string("     Titel") + std::string(49, ' ') + "Bl. 1/ 1   ");
  }
}

TEST_F(DeviceTest, ShortPagesWithALongHeadStillEnd) {
  G().LinesPerPage = 5;
  G().TopMarginLines = 30;
  const auto pages = Pages(ScreenReport(20));
  // A page holds its head (30 margin lines + 9) and two more lines: the
  // first page two result lines, the others the empty line and one.
  ASSERT_EQ(pages.size(), 19u);
  EXPECT_EQ(pages[0].size(), 41u);
  EXPECT_EQ(pages[0][39], "       Inhalt 1");
  EXPECT_EQ(pages[0][40], "       Inhalt 2");
  for (std::size_t p = 1; p < pages.size(); ++p) {
    ASSERT_EQ(pages[p].size(), 41u);
    EXPECT_EQ(pages[p][39], "       ");
    EXPECT_EQ(pages[p][40], "       Inhalt " + std::to_string(p + 2));
  }
  EXPECT_EQ(ReportPageCount(), 19);
}

// Rows of typical values are in the golden files; here long values.
TEST_F(DeviceTest, ResultRowColumns) {
  SetReportTitles("", "", "", "", "", 0);
  OpenOutputDevice(kOutDosFile, "");
  WriteResultRow("Federrate", "R", "N/mm", "16.2");
  WriteResultRow("Lang", "x", "", "12345678901234567890");
  WriteResultRow("Blanks", "y", "", "   123456789012345   ");
  WriteResultRow2("Zwei", "N", "Mio", "0.8", "2.4");
  CloseOutputDevice();
  const Lines l = SplitLines(ReadBytes(dir_ + "/OUTDOS.TXT"));
  ASSERT_EQ(l.size(), 8u);
  // 20 characters end at column 69.
  EXPECT_EQ(l[2].substr(7 + 49, 21), "12345678901234567890 ");
  EXPECT_EQ(l[2].size(), 77u);
  // Trimmed first, then 15 characters still end at 69.
  EXPECT_EQ(l[4].substr(7 + 54, 16), "123456789012345 ");
  EXPECT_EQ(l[6], "       Zwei" + std::string(30, ' ') + "N" + std::string(8, ' ') + "Mio" + std::string(4, ' ') +
                      "0.8" + std::string(8, ' ') + "2.4" + std::string(7, ' '));
}

// ---------------------------------------------------------------- failures

TEST_F(DeviceTest, FailedWriteLeavesFileClosedAndDeliversNothing) {
  // A chosen file that exists: it keeps its content.
  const std::string chosen = dir_ + "/bericht.txt";
  test::WriteBytes(chosen, "alt\r\n");
  ui().ExpectSaveFile(chosen);
  ui().ExpectQuestion("", "bericht.txt existiert bereits", Answer::Yes);
  ui().ExpectMessageBox("", "Diskette/Platte voll");
  OpenWithHead(kOutFile);
  ASSERT_TRUE(OutputDeviceIsOpen());
  for (int i = 0; i < 200; ++i) WriteResultLine(std::string(60, 'x'));
  // Writes beyond 2000 bytes fail as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 2000;
  ::setrlimit(RLIMIT_FSIZE, &small);
  CloseOutputDevice();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(OutputDeviceIsOpen());
  EXPECT_EQ(DeliveredFileName(), "");
  EXPECT_EQ(ReadBytes(chosen), "alt\r\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"bericht.txt"}));  // no copy, no temporary
}

TEST_F(DeviceTest, AbortBeforeCloseStartsNothingAndRemovesTemporaries) {
  G().CurrentFileName = dir_ + "/t";
  for (int target : {kOutScreen, kOutPrinter, kOutTextProgram, kOutTxt, kOutCommandLine}) {
    G().AbortFlag = 0;
    OpenWithHead(target);
    ASSERT_TRUE(OutputDeviceIsOpen()) << target;
    WriteResultLine("halb");
    G().AbortFlag = 1;  // e.g. a cancelled question
    {
      OutputDeviceGuard guard;  // closes on leaving
    }
    EXPECT_FALSE(OutputDeviceIsOpen());
    EXPECT_EQ(DeliveredFileName(), "");
    EXPECT_TRUE(Files().empty()) << target << ": " << (Files().empty() ? "" : Files()[0]);
  }
  EXPECT_FALSE(fs::exists("t.txt"));
}

TEST_F(DeviceTest, OpeningWithoutOutput) {
  // A cancelled target choice opens nothing.
  G().AskOutputTarget = 1;
  G().OutputTarget = 6;
  ui().ExpectChoiceCancel("Ausgabe auf").Value("6");
  OpenOutputDevice(kOutInternal, "");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(OutputDeviceIsOpen());
  // 90 only refills the target names.
  G().AbortFlag = 0;
  const int before = GetOutputTarget();
  OpenOutputDevice(kOutNamesOnly, "bericht");
  EXPECT_EQ(G().LineTable[7], "HTML Datei");
  EXPECT_EQ(GetOutputTarget(), before);
  // Codes above 9 open nothing but keep the completed name.
  OpenOutputDevice(12, "bericht");
  EXPECT_EQ(OutputFileName(), "bericht.txt");
  OpenOutputDevice(12, "");
  EXPECT_EQ(OutputFileName(), "feder.txt");
  EXPECT_FALSE(OutputDeviceIsOpen());
  EXPECT_TRUE(Files().empty());
}

TEST_F(DeviceTest, EmptyMessageListReportShowsSuccessOnly) {
  ui().ExpectMessageBox("", "Berechnung erfolgreich ohne Fehlermeldungen");
  ShowErrorMessageReport();
  EXPECT_TRUE(Files().empty());
}

// ---------------------------------------------------------------- TXT

TEST_F(DeviceTest, TxtTargetsUseFreshNumbersAndWindowsCopies) {
  test::WriteBytes(dir_ + "/$$$1.txt", "fremd");
  G().CurrentFileName = "feder";
  OpenWithHead(kOutTxt);
  WriteResultLine("Federlänge"_oem);
  WriteResultLine(SingleRuleLine());
  WriteResultRow("Federrate", "R", "N/mm", "16.2");
  WriteReportPageHead(0, 0);  // later heads write nothing
  CloseOutputDevice();
  EXPECT_EQ(ReadBytes(dir_ + "/$$$1.txt"), "fremd");
  EXPECT_EQ(G().TxtFileCounter, 2);
  const Lines oem = SplitLines(ReadBytes(dir_ + "/$$$2.txt"));
  ASSERT_EQ(oem.size(), 8u);
  EXPECT_EQ(oem[0].substr(0, 9), "ZEB1 V26.");
  EXPECT_EQ(oem[1], dir_ + "/$$$2.txt");
  EXPECT_EQ(oem[5], " ");
  EXPECT_EQ(oem[6], "Federl\x84nge");
  EXPECT_EQ(oem[7], "Federrate\tR\tN/mm\t16.2");
  EXPECT_EQ(DeliveredFileName(), dir_ + "/$$$2.txt");
  const Lines ansi = SplitLines(ReadBytes(dir_ + "/$$2.txt"));
  ASSERT_EQ(ansi.size(), 8u);
  EXPECT_EQ(ansi[6], "Federl\xe4nge");

  // Target 9 (the same layout, the copy under the bare name in the working
  // directory) is checked on the golden files and by the black-box tests.
}

// ---------------------------------------------------------------- programs

TEST_F(DeviceTest, TextPrinterGetsCodePage850BytesThroughLpRaw) {
  const std::string bin = dir_ + "/bin";
  fs::create_directory(bin);
  test::WriteBytes(bin + "/lp",
      "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + dir_ + "/lp.args\"\n"
      "eval last=\\${$#}\ncat \"$last\" > \"" + dir_ + "/lp.data\"\n");
  ::chmod((bin + "/lp").c_str(), 0700);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  SetTextPrinterDeviceFolder(dir_ + "/nodev");
  G().ReportLineStyle = 2;

  ui().ExpectQuestion("", "Pause nach jeder Seite", Answer::No);
  SetReportTitles("Titel", "", "", "", "", 0);
  OpenOutputDevice(kOutTextPrinter, "");
  WriteResultLine("Federlänge ½"_oem);
  WriteResultLine(DoubleRuleLine());
  CloseOutputDevice();
  ::setenv("PATH", oldPath.c_str(), 1);

  const Lines args = [&] {
    Lines a;
    std::ifstream in(dir_ + "/lp.args");
    for (std::string s; std::getline(in, s);) a.push_back(s);
    return a;
  }();
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0], "-o");
  EXPECT_EQ(args[1], "raw");
  EXPECT_EQ(args[2].substr(0, dir_.size() + 5), dir_ + "/$OUT");
  EXPECT_FALSE(fs::exists(args[2]));  // the job file is removed
  // The bytes decode as code page 850 to the texts written.
  const std::string data = ReadBytes(dir_ + "/lp.data");
  EXPECT_EQ(data, "       Federl\x84nge \xab\r\n       " + std::string(70, '\xcd') + "\r\n");
  const std::string check = dir_ + "/check.py";
  test::WriteBytes(check,
      "import sys\n"
      "t = open(sys.argv[1], 'rb').read().decode('cp850')\n"
      "sys.exit(0 if t == '       Federl\\u00e4nge \\u00bd\\r\\n       ' + '\\u2550' * 70 + '\\r\\n' else 1)\n");
  EXPECT_EQ(StartProgram({"/usr/bin/python3", check, dir_ + "/lp.data"}, true).exitCode, 0);
  EXPECT_EQ(DeliveredFileName(), "lp");
}

// A platform that lists its printers: number n is listed printer n through
// the spooler, the number after the listed ones the PDF file.
class ListingPrinter : public HeadlessPrinter {
 public:
  ListingPrinter() : HeadlessPrinter(false, true) {}
  std::optional<std::vector<std::string>> SystemPrinters() override {
    return std::vector<std::string>{"Laser A", "Tinte", "Drei", "Vier"};
  }
};

TEST_F(DeviceTest, TextPrinterByNameOrIntoAPdfFile) {
  const std::string bin = dir_ + "/bin";
  fs::create_directory(bin);
  test::WriteBytes(bin + "/lp", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + dir_ +
                                    "/lp.args\"\n");
  ::chmod((bin + "/lp").c_str(), 0700);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  auto printer = std::make_shared<ListingPrinter>();
  SetPrinterPort(printer);
  // Even with a device file there: the listed printer is taken.
  fs::create_directories(dir_ + "/dev");
  test::WriteBytes(dir_ + "/dev/lp1", "");
  SetTextPrinterDeviceFolder(dir_ + "/dev");
  G().PrinterPortNumber = 2;
  ui().ExpectQuestion("", "Pause nach jeder Seite", Answer::No);
  OpenOutputDevice(kOutTextPrinter, "");
  WriteResultLine("x");
  CloseOutputDevice();
  ::setenv("PATH", oldPath.c_str(), 1);
  Lines args;
  std::ifstream in(dir_ + "/lp.args");
  for (std::string a; std::getline(in, a);) args.push_back(a);
  ASSERT_EQ(args.size(), 5u);
  EXPECT_EQ(args[0] + " " + args[1] + " " + args[2] + " " + args[3], "-d Tinte -o raw");
  EXPECT_EQ(DeliveredFileName(), "Tinte");
  EXPECT_EQ(ReadBytes(dir_ + "/dev/lp1"), "");
  // Three are listed, so number 4 is the PDF file, whatever the fourth is.
  G().PrinterPortNumber = 4;
  ui().ExpectQuestion("", "Pause nach jeder Seite", Answer::No);
  ui().ExpectPrintRange(1, 1);
  OpenOutputDevice(kOutTextPrinter, "");
  WriteResultLine("y");
  CloseOutputDevice();
  EXPECT_EQ(printer->Calls().front(), "SetPdfOutput(" + dir_ + "/zeb1.pdf)");
  SetPrinterPort(nullptr);
}

TEST_F(DeviceTest, TextPrinterDeviceFileIsPreferred) {
  fs::create_directories(dir_ + "/dev/usb");
  test::WriteBytes(dir_ + "/dev/lp1", "");
  SetTextPrinterDeviceFolder(dir_ + "/dev");
  G().PrinterPortNumber = 2;
  ui().ExpectQuestion("", "Pause nach jeder Seite", Answer::No);
  OpenOutputDevice(kOutTextPrinter, "");
  WriteResultLine("x");
  WritePageEnd();
  CloseOutputDevice();
  EXPECT_EQ(ReadBytes(dir_ + "/dev/lp1"), "       x\r\n\f");
  EXPECT_EQ(DeliveredFileName(), dir_ + "/dev/lp1");
  // usb/lp1 first when it exists.
  test::WriteBytes(dir_ + "/dev/usb/lp1", "");
  ui().ExpectQuestion("", "Pause nach jeder Seite", Answer::No);
  OpenOutputDevice(kOutTextPrinter, "");
  WriteResultLine("y");
  CloseOutputDevice();
  EXPECT_EQ(ReadBytes(dir_ + "/dev/usb/lp1"), "       y\r\n");
}

TEST_F(DeviceTest, ProgramsGetThePathWithBlanksAsOneArgument) {
  const std::string blanks = dir_ + "/mit Leer zeichen";
  fs::create_directory(blanks);
  G().TempFolder = blanks;
  const std::string record = dir_ + "/prog.out";
  G().TextProgramPath = test::SettingWord(Script("prog", "printf '%s|%s|%s' \"$#\" \"$1\" \"$2\" > \"" + record + ".tmp\"; mv \"" +
                                           record + ".tmp\" \"" + record + "\"\n")) +
                        " --flag";
  auto waitFor = [&](const std::string& path) {
    test::WaitUntil([&] { return fs::exists(path); });
    return ReadBytes(path);
  };
  OpenOutputDevice(kOutTextProgram, "");
  WriteResultLine("x");
  CloseOutputDevice();
  EXPECT_EQ(waitFor(record), "2|--flag|" + blanks + "/outwin.txt");
  EXPECT_EQ(ReadBytes(blanks + "/outwin.txt"), "       x\r\n");

  // The browser on the HTML file; a file of that name is never overwritten.
  fs::remove(record);
  G().HtmlBrowserPath = G().TextProgramPath;
  test::WriteBytes(blanks + "/zeb1.htm", "alt");
  OpenOutputDevice(kOutHtml, "");
  WriteResultLine("x");
  CloseOutputDevice();
  EXPECT_EQ(waitFor(record), "2|--flag|" + blanks + "/zeb1-2.htm");
  EXPECT_EQ(ReadBytes(blanks + "/zeb1.htm"), "alt");

  // A missing program is named.
  G().TextProgramPath = test::SettingWord(dir_ + "/fehlt/prog");
  ui().ExpectMessageBox("Fehler", "file not found: " + dir_ + "/fehlt/prog\nEinstellung: Datei > Einstellungen > Extern > Textprogramm");
  OpenOutputDevice(kOutTextProgram, "");
  WriteResultLine("x");
  CloseOutputDevice();
}

// ---------------------------------------------------------------- HTML

TEST_F(DeviceTest, HtmlIsBalancedEscapedAndKeepsLongTexts) {
  G().HtmlBrowserPath = "true";
  const std::string longMessage = "Warnung: " + std::string(291, 'm');
  G().ErrorMessageList.count = 2;
  G().ErrorMessageList.slot[1] = longMessage;
  G().ErrorMessageList.slot[2] = "Fehler : L2<Ln & \"Lc\"";
  SetReportTitles("<&> Titel", "Zeile <&>", "", "", "", 0);
  OpenOutputDevice(kOutHtml, "");
  WriteReportPageHead(0, 0);
  WriteResultLine("Federlänge <&>"_oem);
  WriteResultRow("Federrate", "R", "N/mm", "16.2");
  WriteResultRow2("Lebensdauer", "tN", "h", "1", "<2>");
  WriteResultText("Zul. Abweichung: ");
  WriteOutputLine("± 0.1"_oem);
  ReportTable t;
  t.ReportTableInit(4, 15, 0, 0, 0, 0, 0, "Nr.", "L'", "", "", "", "", "");
  t.ReportTableRow("1", "<5>");
  t.ReportTableDone();
  WriteTableCellRow("Zelle");
  WriteMessagesSection();
  CloseOutputDevice();
  const std::string file = DeliveredFileName();
  ASSERT_EQ(file, dir_ + "/zeb1.htm");
  const std::string html = ReadBytes(file);
  EXPECT_EQ(html.substr(0, 5 + file.size()), "<!-- " + file);
  EXPECT_TRUE(Has(html, "<TABLE BORDER = \"2\" WIDTH= \"100%\">"));
  EXPECT_TRUE(Has(html, "<TABLE BORDER = \"1\" WIDTH= \"100%\">"));
  EXPECT_TRUE(Has(html, "<br>Federl\xe4nge &lt;&amp;&gt;\r\n"));
  EXPECT_TRUE(Has(html, "<br>Zul. Abweichung: \xb1 0.1\r\n"));
  EXPECT_TRUE(Has(html, "</BODY>\r\n</HTML>\r\n"));

  EXPECT_EQ(test::HtmlProblems({file}, {"Zeile <&>", "Federl\u00e4nge <&>", "<2>", "<5>", "L2<Ln & \"Lc\"", longMessage}),
            "");
}

// A run whose own folder cannot be made, and a use of the printout without
// the start-up or a configured folder, write no scratch file under a fixed
// name into a folder others share: the screen, TXT and DOS-file targets
// name the want of a folder and write nothing; the temporary folder and
// $TMPDIR (here folders of the test's own standing in for /tmp) stay empty.
TEST_F(DeviceTest, NoScratchFileWithoutAFolderOfTheRunsOwn) {
  const auto printEach = [this] {
    for (const int target : {kOutScreen, kOutTxt, kOutDosFile}) {
      ui().ExpectMessageBox("", "Fehler beim Anlegen einer Datei: kein Ordner f\xC3\xBCr tempor\xC3\xA4re Dateien");
      OpenOutputDevice(target, "");
      EXPECT_EQ(G().AbortFlag, 1) << target;
      G().AbortFlag = 0;
    }
  };
  const std::string gone = dir_ + "/gone";
  ASSERT_TRUE(fs::create_directory(gone));
  ASSERT_EQ(PlanRunFolder(gone), 0);
  fs::remove(gone);  // the start-up found it; the run's folder cannot be made in it now
  printEach();
  EXPECT_EQ(RunFolder(), "");
  EXPECT_EQ(Files(), std::vector<std::string>{});
  RemoveRunFolder();

  const std::string shared = dir_ + "/shared";
  ASSERT_TRUE(fs::create_directory(shared));
  const char* old = std::getenv("TMPDIR");
  const std::optional<std::string> oldTmp = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TMPDIR", shared.c_str(), 1);
  G().TempFolder.clear();
  printEach();
  if (oldTmp)
    ::setenv("TMPDIR", oldTmp->c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  EXPECT_TRUE(fs::is_empty(shared));
  EXPECT_EQ(Files(), std::vector<std::string>{"shared"});
}

}  // namespace
}  // namespace zeb
