// Configuration file: defaults against a checked-in file, positional
// reading of short and odd files, substitutions, search order, failing writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/choosers.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/support_fixture.h"
#include "base/support_golden.h"
#include "base/textfile.h"
#include "graphics/cadsettings.h"
#include "platform/real48.h"
#include "program_fixture.h"
#include "settings/config.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using test::ReadBytes;
using test::WriteBytes;

Lines SplitCrLf(const std::string& bytes) {
  Lines lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string JoinCrLf(const Lines& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

// Index of the value line `offset` lines after a label.
std::size_t At(const Lines& lines, const std::string& label, std::size_t offset = 1) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == label) return i + offset;
  ADD_FAILURE() << "no label " << label;
  return 0;
}
// Unlabelled rows 65..80 follow the 217 lines of rows 1..64 (one plot line).
std::size_t Unlabelled(int row) { return static_cast<std::size_t>(217 + row - 65); }

class ConfigTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetCadSettings();
    ResetConfigDefaults();
    SetScreenMetrics({});
    G().ProgramShortName = "zeb1";
    G().ProgramVersion = "26.6";
    dir_ = test::FreshTestFolder("zeb1-config-");
    cwd_ = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(cwd_);
    fs::remove_all(dir_);
    BaseTest::TearDown();
  }

  fs::path File() const { return dir_ / "zeb1.cfg"; }
  std::string Written() {
    G().AbortFlag = 0;
    WriteConfigFile(File().string());
    EXPECT_EQ(G().AbortFlag, 0);
    return ReadBytes(File());
  }
  Lines Defaults() {
    ResetConfigDefaults();
    return SplitCrLf(Written());
  }
  void Read(const std::string& bytes) {
    WriteBytes(File(), bytes);
    ASSERT_TRUE(ReadConfigFile(File().string()));
  }
  void Read(const Lines& lines) { Read(JoinCrLf(lines)); }

  fs::path dir_, cwd_;
};

fs::path GoldenFile() { return fs::path(__FILE__).parent_path() / "golden" / "default.cfg"; }

// Every setting of the file away from its default (one plot line).
void SetNonDefaults() {
  BaseGlobals& g = G();
  CadSettingsRecord& cad = CadSettings();
  ConfigSettings& c = Config();
  for (int i = 1; i <= 5; ++i) {
    cad.CadLayerNames[i] = "L" + std::to_string(i);
    cad.CadLayerColours[i] = 6 + i;
  }
  cad.CadTextStyleName = "ISO", cad.CadTextFactor = 1.5L, cad.CadTextObliqueAngle = 15, cad.CadFolder = "/cad/";
  g.DbfFolder = "/dbf/", g.HelpLevel = 2, g.PrinterPortNumber = 2, c.PrinterType = 4, c.PrintDensity = 2;
  c.HardcopyRotated = 'N', g.DecimalsSetting = 4, c.PrintThicknessVertical = 2, c.ColourGraphics = 0;
  g.GraphicCorrectionFactorX = 1.25L, c.GraphicsMode = 3, c.GraphicsDriver = 4, c.ResolutionX = 800;
  c.ResolutionY = 600, g.TempFolder = "/tmp/zeb/", c.HardcopyPrinterPort = 3, c.EdiFolder = "/edi/";
  g.HelpFolder = "/plt/", g.ReportLineStyle = 2, g.LinesPerPage = 72, g.ZoomFactor = 1.1L, g.PanFactor = 0.05L;
  c.TalmoreProgramFolder = "/talmore/", cad.CadPlotCommandLines[0] = "plot1 a.dxf", g.BackgroundColour = 0x00FF8040;
  g.PrintColourMode = 2, cad.CadMonochromeLayers = 1, g.GraphicTextWidthFactor = 0.9L;
  g.GraphicTextFont = "DejaVu Sans";
  for (int i = 0; i < 16; ++i) cad.CadUserColours[i] = 20 + i;
  g.TextProgramPath = "gedit", c.DatabaseMode = 2, g.TableEditorPath = "dbed", g.ScreendumpOriginX = 12;
  g.ScreendumpOriginY = 34, g.ScreendumpScale = 2.5L, g.PrintBorder = 1, g.ArchiveFlag = 1, g.DateFormat = 4;
  g.TopMarginLines = 5, g.OutputTarget = 6, g.AskOutputTarget = 1, c.SmallOnlineWindow = 1;
  cad.EnterDiagramLimits = 1, cad.DecimalCommaMode = 2, c.DefaultDataFolder = "/data/";
  g.GraphicTextHeightFactor = 1.2L, g.DialogSizePercent = 120, g.HtmlBrowserPath = "firefox";
  g.PrintScaleVertical = 1.5L;
  cad.CadLayerWidths = {4, 5, 6, 7, 8, 9};
  g.GraphicPrintDialog = 0;
  g.TextWindowLeft = 1, g.TextWindowTop = 2, g.TextWindowWidth = 640, g.TextWindowHeight = 480, g.UnitSystem = 3;
  g.PageHeadMode = 2, g.TextFontPrintout = "Mono", g.TextSizePrintout = 12, g.TextStylePrintout = 1;
  g.GraphicTextStyle = 2, g.PrinterOrientation = 1, c.Edit3DAngles = 0;
  c.Default3DAngles = {0.5L, 1.5L, 2.5L};
  c.DrawingIndexStyle = 1, c.SpreadsheetDecimalMode = 1, c.ReleaseFieldText = "Frei", cad.DxfDecimals = 8;
  g.TextOutputConversion = 3;
  cad.CadUserWidths.fill(2);
  g.PlainTextMode = 1, g.DialogElementPercent = 90, c.AngleFormat = 1, cad.CadUnitFactor = 2.0L;
  g.PrintoutSectionMask = 5, c.LanguageNumber = 2, c.CurrentDrawingKind = 4;
  c.HideMakerTitle = c.HideFileName = c.HideDate = c.HideLogo = c.HideTitleBlock = 1, cad.FooterOff = 1;
  c.NotCurrentFile = 1, c.SaveMenuLanguage = 1, c.TitleBlockKind = 3;
  for (int i = 0; i <= 15; ++i) g.ColourTable[i] = 0x000100u + static_cast<unsigned>(i);
}

TEST_F(ConfigTest, DefaultsAreTheGoldenFileAndReadBackUnchanged) {
  const std::string golden = ReadBytes(GoldenFile());
  ASSERT_FALSE(golden.empty()) << GoldenFile();
  const std::string written = Written();
  test::ExpectGoldenFile(GoldenFile(), written);

  // 249 lines, each ended by CR LF; the degree sign is CP850 0xF8.
  EXPECT_EQ(SplitCrLf(written).size(), 249u);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\r'), 249);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 249);
  EXPECT_EQ(SplitCrLf(written)[40], "Hardcopy um 90\xF8 gedreht ?");

  ResetConfigDefaults();
  Read(golden);
  EXPECT_EQ(Written(), golden);
}

TEST_F(ConfigTest, EverySettingSurvivesWriteAndRead) {
  SetNonDefaults();
  CadSettings().CadPlotLineCount = 3;
  CadSettings().CadPlotCommandLines[1] = "plot2";
  CadSettings().CadPlotCommandLines[2] = "plot3";
  const std::string a = Written();
  EXPECT_EQ(SplitCrLf(a).size(), 251u);
  ResetConfigDefaults();
  Read(a);
  EXPECT_EQ(CadSettings().CadPlotLineCount, 3);
  EXPECT_EQ(CadSettings().CadPlotCommandLines[2], "plot3");
  EXPECT_EQ(Config().Default3DAngles[2], 2.5L);
  EXPECT_EQ(Written(), a);
}

TEST_F(ConfigTest, PlotCountAboveFiveKeepsLaterRowsInPlace) {
  Lines lines = Defaults();
  const std::size_t n = At(lines, "GRAVELO Command lines (n, line 2 .. line n)");
  lines[n] = "7";
  lines.insert(lines.begin() + static_cast<long>(n) + 1, {"p2", "p3", "p4", "p5", "p6", "p7"});
  lines[At(lines, "Date Code")] = "3";
  lines.back() = "255";
  Read(lines);
  const CadSettingsRecord& cad = CadSettings();
  EXPECT_EQ(cad.CadPlotLineCount, 5);
  EXPECT_EQ(cad.CadPlotCommandLines[1], "p2");
  EXPECT_EQ(cad.CadPlotCommandLines[4], "p5");
  EXPECT_EQ(G().DateFormat, 3);
  EXPECT_EQ(G().ColourTable[15], 255u);
  EXPECT_EQ(SplitCrLf(Written()).size(), 253u);
}

// A file cut after a row: what was read takes the file's values, the rest
// keeps its defaults, except what the reader fills in at its end.
TEST_F(ConfigTest, ShortFilesReadUpToTheirEnd) {
  const Lines defaults = Defaults();
  SetNonDefaults();
  const Lines full = SplitCrLf(Written());
  ASSERT_EQ(full.size(), defaults.size());
  const std::size_t graphWidth = At(defaults, "Textbreitenfaktor Grafik");
  const std::size_t browser = At(defaults, "HTML Browser");
  const std::string start = G().StartFolder + "/";

  struct Cut {
    int row;
    std::size_t lines;
    std::vector<std::pair<std::size_t, std::string>> filled;
  };
  const std::vector<Cut> cuts = {
      {9, 36, {}},
      {24, 74, {}},
      {29, 84, {{graphWidth, "1.5000000"}}},
      {38, 134, {}},
      {41, 140, {{browser, ""}}},  // inside rows 40..44
      {43, 144, {{browser, ""}}},
      {44, 150, {{browser, ""}}},
      {49, 160, {}},
      {64, 217, {}},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE("cut after row " + std::to_string(cut.row));
    ResetConfigDefaults();
    Read(Lines(full.begin(), full.begin() + static_cast<long>(cut.lines)));
    // Filled in by the reader, written back open.
    EXPECT_EQ(Config().ResolutionX, cut.row == 9 ? 1015 : 800);
    if (cut.row > 38 && cut.row < 49) {
      EXPECT_EQ(Config().DefaultDataFolder, start);
    }
    const Lines again = SplitCrLf(Written());
    ASSERT_EQ(again.size(), defaults.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
      std::string expected = i < cut.lines ? full[i] : defaults[i];
      for (const auto& [line, text] : cut.filled)
        if (line == i) expected = text;
      EXPECT_EQ(again[i], expected) << "line " << i + 1;
    }
  }
}

TEST_F(ConfigTest, RowsFortyToFortyFourSubstituteEvenWhenNotRead) {
  SetNonDefaults();
  const Lines full = SplitCrLf(Written());
  ResetConfigDefaults();
  G().TopMarginLines = 7;
  G().OutputTarget = 12;
  G().AskOutputTarget = 1;
  Read(Lines(full.begin(), full.begin() + 140));  // ends after "Date Code"
  EXPECT_EQ(G().DateFormat, 4);
  EXPECT_EQ(G().TopMarginLines, 7);
  EXPECT_EQ(G().OutputTarget, 1);
  EXPECT_EQ(G().AskOutputTarget, 1);
}

TEST_F(ConfigTest, BadValuesTakeTheirSubstitutes) {
  const Lines defaults = Defaults();
  struct Case {
    std::string what;
    std::size_t line;
    std::string text;
    std::function<bool()> holds;
  };
  const BaseGlobals& g = G();
  const CadSettingsRecord& cad = CadSettings();
  const ConfigSettings& c = Config();
  auto at = [&](const char* label, std::size_t offset = 1) { return At(defaults, label, offset); };
  const std::vector<Case> cases = {
      {"decimals 0", at("Dezimalstellen"), "0", [&] { return g.DecimalsSetting == 3; }},
      {"decimals 10", at("Dezimalstellen"), "10", [&] { return g.DecimalsSetting == 3; }},
      {"decimals 9", at("Dezimalstellen"), "9", [&] { return g.DecimalsSetting == 9; }},
      {"dxf decimals 33", at("Decimals DXF,TXT"), "33", [&] { return cad.DxfDecimals == 6; }},
      {"window scale 5", at("Input Window Scale %"), "5", [&] { return g.DialogSizePercent == 100; }},
      {"header lines -1", at("Header Space Lines"), "-1", [&] { return g.TopMarginLines == 0; }},
      {"date code 4", at("Date Code"), "4", [&] { return g.DateFormat == 4; }},
      {"date code 5", at("Date Code"), "5", [&] { return g.DateFormat == 1; }},
      {"port 0", at("Druckerschnittstelle"), "0", [&] { return g.PrinterPortNumber == 1; }},
      {"hardcopy empty", at("Hardcopy um 90\xF8 gedreht ?"), "", [&] { return c.HardcopyRotated == 'N'; }},
      {"lines per page 4", at("Zeilen pro Seite f\x81r Drucker"), "4", [&] { return g.LinesPerPage == 66; }},
      {"lines per page overflow", at("Zeilen pro Seite f\x81r Drucker"), "99999999999",
       [&] { return g.LinesPerPage == 66; }},
      {"help level beyond 16 bits", at("Hilfegrad"), "70000", [&] { return g.HelpLevel == 0; }},
      {"zoom 1,5", at("Zoomfaktor"), "1,5", [&] { return g.ZoomFactor == 1.5L; }},
      {"zoom 0", at("Zoomfaktor"), "0", [&] { return g.ZoomFactor == 1.02L; }},
      {"pan 0", at("Pan-Faktor"), "0", [&] { return g.PanFactor == 0.01L; }},
      {"pan text", at("Pan-Faktor"), "abc", [&] { return g.PanFactor == 0.01L; }},
      {"cad width 0", at("Textbreitenfaktor CAD"), "0", [&] { return cad.CadTextFactor == 1.0L; }},
      {"resolution 0", at("Aufl\x94sung horizontal"), "0", [&] { return c.ResolutionX == 1015; }},
      {"resolution 65535", at("Aufl\x94sung horizontal"), "65535", [&] { return c.ResolutionX == 1015; }},
      {"resolution 70000", at("Aufl\x94sung vertikal"), "70000", [&] { return c.ResolutionY == 677; }},
      {"empty plot line", at("GRAVELO-Kommandozeile"), "",
       [&] { return cad.CadPlotCommandLines[0] == CadSettingsRecord{}.CadPlotCommandLines[0]; }},
      {"user colour 0", at("Color Layer 20"), "0", [&] { return cad.CadUserColours[4] == 1; }},
      {"screendump scale 0", at("Windows Screendump Scale"), "0",
       [&] { return g.ScreendumpScale == 1.0L && g.PrintScaleVertical == 1.0L; }},
      {"vertical scale tiny", at("Print Scale Vertical"), "0.00005", [&] { return g.PrintScaleVertical == 1.0L; }},
      {"layer width 300", at("Line thickness Layer 0..5", 3), "300", [&] { return cad.CadLayerWidths[2] == 1; }},
      {"text window from 0,0", at("Text window left/top/width/height"), "0|0|640|480|",
       [&] { return g.TextWindowLeft == 0 && g.TextWindowTop == 0 && g.TextWindowWidth == 640 && g.TextWindowHeight == 480; }},
      {"text window width 0", at("Text window left/top/width/height"), "5|5|0|480|",
       [&] { return g.TextWindowLeft == 10 && g.TextWindowWidth == 700 && g.TextWindowHeight == 440; }},
      {"page head 3", at("printout with header=1, header page 1 only=2"), "3", [&] { return g.PageHeadMode == 1; }},
      {"printout font empty", at("Text Font Printout"), "", [&] { return g.TextFontPrintout == "Courier New"; }},
      {"printout size 0", at("Text Size Printout"), "0", [&] { return g.TextSizePrintout == 10; }},
      {"edit 3D yes", at("Edit 3D x,y,z ?"), "yes", [&] { return c.Edit3DAngles == 1; }},
      {"edit 3D false", at("Edit 3D x,y,z ?"), "false", [&] { return c.Edit3DAngles == 0; }},
      {"archive true", at("Archive Flag ?"), "true", [&] { return g.ArchiveFlag == 1; }},
      {"spreadsheet 0", at("3D - Default x,y,z", 5), "0", [&] { return c.SpreadsheetDecimalMode == 2; }},
      {"text mode 0", at("CAD Text Mode"), "0", [&] { return g.TextOutputConversion == 1; }},
      {"text of NUL", at("Textstil Grafik"), std::string("A\0B", 3), [&] { return g.GraphicTextFont == "A B"; }},
      {"angle format 3", Unlabelled(67), "3", [&] { return c.AngleFormat == 2; }},
      {"dimension factor 0", Unlabelled(68), "0", [&] { return cad.CadUnitFactor == 1.0L; }},
      {"element percent 5000", Unlabelled(66), "5000", [&] { return g.DialogElementPercent == 100; }},
      {"black colour", Unlabelled(80) + 1, "0", [&] { return g.ColourTable[0] == 0; }},
      {"negative colour", Unlabelled(80) + 2, "-5", [&] { return g.ColourTable[1] != 0; }},
      {"empty colour", Unlabelled(80) + 3, "", [&] { return g.ColourTable[2] != 0; }},
      {"text colour", Unlabelled(80) + 4, "red", [&] { return g.ColourTable[3] != 0; }},
      {"white colour", Unlabelled(80) + 5, "16777215", [&] { return g.ColourTable[4] == 0xFFFFFFu; }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ResetConfigDefaults();
    G().ColourTable.fill(0x123456);
    Lines lines = defaults;
    lines[k.line] = k.text;
    Read(lines);
    EXPECT_TRUE(k.holds());
  }
}

TEST_F(ConfigTest, LanguageIsKeptOnlyWhenItsOptionIsSaved) {
  Lines lines = Defaults();
  lines[Unlabelled(70)] = "3";
  Read(lines);
  EXPECT_EQ(Config().LanguageNumber, 0);
  lines[Unlabelled(79)] = "TRUE";
  Read(lines);
  EXPECT_EQ(Config().LanguageNumber, 3);
}

TEST_F(ConfigTest, OddFilesReadWithoutHarm) {
  const std::string golden = ReadBytes(GoldenFile());
  // LF line ends read as CR LF ones.
  std::string lf;
  for (char ch : golden)
    if (ch != '\r') lf += ch;
  Read(lf);
  EXPECT_EQ(Written(), golden);

  // A 100 kB text keeps the rows after it in place; high bytes stay as they are.
  Lines lines = SplitCrLf(golden);
  const std::string huge(100000, '\xFF');
  lines[At(lines, "Ordner f\x81r tempor\x84re Dateien")] = huge;
  lines[At(lines, "Date Code")] = "2";
  Read(lines);
  EXPECT_EQ(G().TempFolder, huge);
  EXPECT_EQ(G().DateFormat, 2);

  // An empty file ends at the first end test.
  ResetConfigDefaults();
  Read(std::string());
  EXPECT_EQ(G().PrinterPortNumber, 1);
  EXPECT_EQ(Config().PrinterType, 3);
  EXPECT_EQ(Config().ResolutionX, 1015);

  // A folder or a missing file in its place is no configuration.
  fs::create_directory(dir_ / "d.cfg");
  G().AbortFlag = 0;
  EXPECT_FALSE(ReadConfigFile((dir_ / "d.cfg").string()));
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  EXPECT_FALSE(ReadConfigFile((dir_ / "none.cfg").string()));
  EXPECT_EQ(G().AbortFlag, 1);
}

class ConfigPlacesTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    fs::create_directories(dir_ / "work");
    fs::create_directories(dir_ / "tmp");
    env_.Set("XDG_CONFIG_HOME", (dir_ / "xdg").string());
    env_.Set("TMPDIR", (dir_ / "tmp").string());
    fs::current_path(dir_ / "work");
  }
  test::ScopedEnv env_;
};

TEST_F(ConfigPlacesTest, WorkingDirectoryThenUserFolder) {
  const std::string user = (dir_ / "xdg" / "zeb1").string() + "/";
  EXPECT_EQ(UserConfigFolder(), user);
  EXPECT_EQ(FindConfigFile(), "");
  EXPECT_EQ(ConfigFileWritePath(), user + "zeb1.cfg");

  fs::create_directories(user);
  WriteBytes(user + "zeb1.cfg", ReadBytes(GoldenFile()));
  EXPECT_EQ(FindConfigFile(), user + "zeb1.cfg");
  // A folder of that name in the working directory is not a configuration.
  fs::create_directory(dir_ / "work" / "zeb1.cfg");
  EXPECT_EQ(FindConfigFile(), user + "zeb1.cfg");
  fs::remove(dir_ / "work" / "zeb1.cfg");
  WriteBytes(dir_ / "work" / "zeb1.cfg", ReadBytes(GoldenFile()));
  EXPECT_EQ(FindConfigFile(), (dir_ / "work" / "zeb1.cfg").string());

  EXPECT_TRUE(ReadConfigFile());
  EXPECT_EQ(G().ProgramFolder, (dir_ / "work").string() + "/");
}

// Nothing set up: the shipped folders serve as program and table folders,
// the working folder holds the data, the folder check finds nothing to
// report, and saving creates the user folder.
TEST_F(ConfigPlacesTest, WithoutConfigurationTheShippedFoldersServe) {
  G().StartFolder = (dir_ / "work").string();
  G().AbortFlag = 0;
  EXPECT_FALSE(ReadConfigFile());
  EXPECT_EQ(G().AbortFlag, 1);
  const std::string user = (dir_ / "xdg" / "zeb1").string() + "/";
  EXPECT_EQ(G().ProgramFolder, user);
  EXPECT_EQ(Config().ResolutionX, 1015);
  EXPECT_EQ(Config().ResolutionY, 677);
  EXPECT_EQ(G().TextWindowHeight, 688);
  EXPECT_EQ(G().DialogSizePercent, 101);
  // The tables the build generated.
  EXPECT_TRUE(fs::is_regular_file(fs::path(G().DbfFolder) / "zebwst.dbf"));
  // The help the build delivers; edits of it go to the user's copies.
  EXPECT_TRUE(fs::is_regular_file(fs::path(G().HelpFolder) / "zeb1.hlp"));
  EXPECT_TRUE(fs::is_regular_file(fs::path(G().HelpFolder) / "start.plt"));
  EXPECT_EQ(G().HelpFolder, G().ShippedHelpFolder);

  G().AbortFlag = 0;
  CheckConfigFolders();  // no box expected
  EXPECT_EQ(Config().DefaultDataFolder, (dir_ / "work").string() + "/");
  EXPECT_EQ(Config().EdiFolder, (dir_ / "work").string() + "/");
  EXPECT_EQ(G().TempFolder, (dir_ / "tmp").string());

  WriteConfigFile();
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(FindConfigFile(), user + "zeb1.cfg");
}

TEST_F(ConfigPlacesTest, FolderCheckReportsInOrderAndAsksForTheTempFolder) {
  BaseGlobals& g = G();
  g.StartFolder = (dir_ / "work").string();
  g.DbfFolder = "/nonexistent/dbf";
  g.HelpFolder = "/nonexistent/plt";
  g.TempFolder = "/nonexistent/tmp";
  Config().DefaultDataFolder = "   ";
  ui().ExpectMessageBox("", "ung\u00fcltiger DBF Ordner");
  ui().ExpectMessageBox("", "ung\u00fcltiger PLT Ordner");
  ui().ExpectMessageBox("", "tempor\u00e4re Dateien konfiguriert");
  ui().ExpectInputText("Ordner f\u00fcr tempor\u00e4re Dateien", "/tmp");
  CheckConfigFolders();
  EXPECT_EQ(g.TempFolder, "/tmp");
  EXPECT_EQ(Config().DefaultDataFolder, g.StartFolder + "/");
  EXPECT_EQ(g.AbortFlag, 0);

  // A blank temp folder takes TEMP (TMPDIR); cancelling the question keeps the value.
  g.TempFolder = " ";
  g.DbfFolder = g.HelpFolder = "";
  CheckConfigFolders();
  EXPECT_EQ(g.TempFolder, (dir_ / "tmp").string());
  g.TempFolder = "/nonexistent/tmp";
  ui().ExpectMessageBox("", "tempor\u00e4re Dateien");
  ui().ExpectInputText("", TextAnswer::Cancel());
  CheckConfigFolders();
  EXPECT_EQ(g.TempFolder, "/nonexistent/tmp");
  EXPECT_EQ(g.AbortFlag, 0);
}

// Folders left open are the working folder's and are not checked: a
// read-only working folder without a configuration raises no folder box
// (a save there names the write protection). Folders a configuration
// names are checked as before.
TEST_F(ConfigPlacesTest, OnlyConfiguredFoldersAreChecked) {
  BaseGlobals& g = G();
  const fs::path shut = dir_ / "shut";
  fs::create_directory(shut);
  struct Unmount {
    std::string dir;
    ~Unmount() {
      if (!dir.empty()) (void)std::system(("umount '" + dir + "'").c_str());
    }
  } unmount;
  if (::geteuid() == 0) {
    // Root writes into any folder by its mode: a read-only file system.
    if (std::system(("mount -t tmpfs -o ro,size=64k tmpfs '" + shut.string() + "' 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "cannot mount a read-only file system here";
    unmount.dir = shut.string();
  } else {
    fs::permissions(shut, fs::perms::owner_read | fs::perms::owner_exec);
  }
  g.StartFolder = shut.string();
  g.DbfFolder = g.HelpFolder = dir_.string();
  g.TempFolder.clear();
  CheckConfigFolders();  // no box expected
  EXPECT_EQ(Config().DefaultDataFolder, shut.string() + "/");
  EXPECT_EQ(Config().EdiFolder, shut.string() + "/");
  // Saving there names the folder's write protection.
  G().CurrentDataFolder = Config().DefaultDataFolder;
  ui().ExpectMessageBox("", "Datei " + shut.string() + "/feder.zeb kann nicht geschrieben werden: Ordner schreibgesch\u00fctzt");
  AskSaveFileName("feder");
  EXPECT_EQ(G().AbortFlag, 1);
  G().AbortFlag = 0;
  // Named by a configuration: each is named.
  CadSettings().CadFolder = shut.string();
  Config().EdiFolder = shut.string();
  Config().DefaultDataFolder = shut.string();
  ui().ExpectMessageBox("", "ung\u00fcltiger CAD Ordner konfiguriert");
  ui().ExpectMessageBox("", "ung\u00fcltiger EDI Ordner konfiguriert");
  ui().ExpectMessageBox("", "ung\u00fcltiger Data Ordner konfiguriert");
  CheckConfigFolders();
  if (::geteuid() != 0) fs::permissions(shut, fs::perms::owner_all);
}

// A configuration file beyond 4 MB is named and not read: the defaults
// apply.
TEST_F(ConfigTest, ConfigurationBeyondTheLimitIsNamedNotRead) {
  const std::string written = Written();
  WriteBytes(File(), written);
  fs::resize_file(File(), 5u << 20);
  ui().ExpectMessageBox("", "Konfigurationsdatei " + File().string() +
                                " ist zu gro\u00df (\u00fcber 4 MB), Voreinstellungen gelten");
  EXPECT_FALSE(ReadConfigFile(File().string()));
  EXPECT_EQ(G().AbortFlag, 1);
}

TEST_F(ConfigTest, FailingWritesKeepTheOldFile) {
  // A missing folder: the creation is refused, a box names the file.
  ui().ExpectQuestion("", "I/O-Error", Answer::Cancel);
  ui().ExpectMessageBox("", "missing/zeb1.cfg");
  WriteConfigFile((dir_ / "missing" / "zeb1.cfg").string());
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));

  // Nothing is written while AbortFlag is set.
  WriteBytes(File(), "old\r\n");
  WriteConfigFile(File().string());
  EXPECT_EQ(ReadBytes(File()), "old\r\n");

  // The file size limit stops the write half-way (in a child process).
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{2000, 2000};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    auto child = std::make_shared<ScriptedUi>();
    child->ExpectMessageBox("", "zeb1.cfg");
    SetUi(child);
    G().AbortFlag = 0;
    WriteConfigFile(File().string());
    ::_exit(G().AbortFlag == 1 && child->Verify() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadBytes(File()), "old\r\n");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary left
}

}  // namespace
}  // namespace zeb
