// The configuration dialog's model: an unchanged dialog leaves the written
// file byte for byte, the corrections of apply, the clamped spin values,
// import and export through files, the window-size formulas, the colour
// buttons and the plot command lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/colors.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/support_fixture.h"
#include "graphics/cadsettings.h"
#include "mainwin/config_form.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/program.h"
#include "program_fixture.h"
#include "reports/device.h"
#include "settings/config.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

class ConfigFormTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetCadSettings();
    ResetConfigDefaults();
    InitOutputDevice();
    SetScreenMetrics({});
    G().ProgramShortName = "zeb1";
    G().ProgramVersion = "26.6";
    dir_ = test::FreshTestFolder("zeb1-configform-");
    G().ProgramFolder = dir_.string() + "/";
  }
  void TearDown() override {
    fs::remove_all(dir_);
    BaseTest::TearDown();
  }
  std::string Written(const std::string& name) {
    G().AbortFlag = 0;
    WriteConfigFile((dir_ / name).string());
    EXPECT_EQ(G().AbortFlag, 0);
    return test::ReadBytes(dir_ / name);
  }
  fs::path dir_;
};

TEST_F(ConfigFormTest, UnchangedDialogKeepsEveryWrittenByte) {
  BaseGlobals& g = G();
  ConfigSettings& c = Config();
  CadSettingsRecord& cad = CadSettings();
  for (int i = 1; i <= 5; ++i) cad.CadLayerNames[static_cast<std::size_t>(i)] = "L" + std::to_string(i);
  cad.CadLayerColours = {1, 7, 8, 9, 10, 11};
  cad.CadLayerWidths = {4, 5, 6, 7, 8, 9};
  for (int i = 0; i < 16; ++i) cad.CadUserColours[static_cast<std::size_t>(i)] = 20 + i;
  cad.CadTextStyleName = "ISO", cad.CadTextFactor = 1.5L, cad.CadTextObliqueAngle = 15, cad.CadFolder = "/cad/";
  cad.CadMonochromeLayers = 1, cad.EnterDiagramLimits = 1, cad.DecimalCommaMode = 2, cad.DxfDecimals = 8;
  cad.CadUnitFactor = 2.5L, cad.FooterOff = 1, cad.BorderFlag = 1;
  cad.CadPlotCommandLines[0] = "plot1 a.dxf";
  g.DbfFolder = "/dbf/", g.HelpLevel = 2, g.PrinterPortNumber = 2, g.DecimalsSetting = 4, g.TempFolder = "/t/";
  g.HelpFolder = "/plt/", g.ReportLineStyle = 2, g.LinesPerPage = 72, g.ZoomFactor = 1.1L, g.PanFactor = 0.05L;
  g.PrintColourMode = 2, g.GraphicTextWidthFactor = 0.9L, g.GraphicTextFont = "DejaVu Sans";
  g.TextProgramPath = "gedit", g.ScreendumpOriginX = 12, g.ScreendumpOriginY = 34, g.ScreendumpScale = 2.5L;
  g.PrintBorder = 1, g.ArchiveFlag = 1, g.DateFormat = 3, g.TopMarginLines = 5, g.OutputTarget = 6;
  g.AskOutputTarget = 1, g.GraphicTextHeightFactor = 1.2L, g.DialogSizePercent = 120, g.HtmlBrowserPath = "ff";
  g.PrintScaleVertical = 1.5L, g.GraphicPrintDialog = 0, g.TextOutputConversion = 3, g.PageHeadMode = 2;
  g.TextWindowLeft = 20, g.TextWindowTop = 30, g.TextWindowWidth = 600, g.TextWindowHeight = 400;
  g.UnitSystem = 2, g.PlainTextMode = 1, g.PrinterOrientation = 1, g.DialogElementPercent = 90;
  c.ColourGraphics = 0, c.ResolutionX = 800, c.ResolutionY = 600, c.EdiFolder = "/edi/";
  c.TalmoreProgramFolder = "/talmore/", c.DefaultDataFolder = "/data/", c.Edit3DAngles = 0;
  c.DrawingIndexStyle = 2, c.SpreadsheetDecimalMode = 1, c.ReleaseFieldText = "Gepr\x81" "ft";
  c.AngleFormat = 1, c.CurrentDrawingKind = 6, c.HideLogo = 1, c.HideDate = 1, c.NotCurrentFile = 1;
  c.SaveMenuLanguage = 1, c.TitleBlockKind = 3;
  const std::string before = Written("a.cfg");
  const ConfigForm f = FillConfigForm();
  EXPECT_EQ(f.resX, "801");
  EXPECT_EQ(f.releaseField, "Gepr\xFC" "ft");  // shown in 1252
  EXPECT_EQ(f.layerName[0], "L5");            // first row is layer 5
  EXPECT_FALSE(f.logo);
  ApplyConfigForm(f);
  EXPECT_EQ(Written("b.cfg"), before);
  EXPECT_EQ(Config().CurrentDrawingKind, 6);  // "Quick 4"
}

TEST_F(ConfigFormTest, ApplyCorrectsSizesAndFactors) {
  ConfigForm f = FillConfigForm();
  f.resX = "1";     // 0: the screen's width
  f.resY = "9999";  // limited to 5000
  f.textWidth = "40";
  f.textLeft = "1200";
  f.textTop = "451";
  f.textHeight = "12000";  // above the window height: window height - 20
  f.dimensionFactor = "0.005";
  f.zoomFactor = "0";
  f.textWidthFactor = "abc";
  ApplyConfigForm(f);
  const BaseGlobals& g = G();
  EXPECT_EQ(Config().ResolutionX, 1024);
  EXPECT_EQ(Config().ResolutionY, 5000);
  EXPECT_EQ(g.TextWindowWidth, 700);
  EXPECT_EQ(g.TextWindowLeft, 10);
  EXPECT_EQ(g.TextWindowTop, 40);
  EXPECT_EQ(g.TextWindowHeight, 9979);
  EXPECT_EQ(CadSettings().CadUnitFactor, 1.0L);
  EXPECT_EQ(g.ZoomFactor, 1.0L);
  EXPECT_EQ(g.GraphicTextWidthFactor, 1.0L);

  // A small window never gives a text window below 50 pixels.
  f.resY = "30";
  f.textHeight = "40";
  f.dimensionFactor = "0.01";
  ApplyConfigForm(f);
  EXPECT_EQ(G().TextWindowHeight, 50);
  EXPECT_EQ(CadSettings().CadUnitFactor, 0.01L);
  f.resY = "600";
  f.textHeight = "580";
  ApplyConfigForm(f);
  EXPECT_EQ(G().TextWindowHeight, 580);
}

TEST_F(ConfigFormTest, SpinValuesAndOutputTargetWithinTheDialogsChoice) {
  BaseGlobals& g = G();
  g.DecimalsSetting = 8;  // the file allows 1..9, the dialog 3..6
  g.LinesPerPage = 5000;
  g.DialogSizePercent = 10;
  CadSettings().DxfDecimals = 32;
  g.OutputTarget = 8;  // internal target
  ConfigForm f = FillConfigForm();
  EXPECT_EQ(f.decimals, 6);
  EXPECT_EQ(f.linesPerPage, 999);
  EXPECT_EQ(f.dialogSize, 30);
  EXPECT_EQ(f.cadDecimals, 16);
  EXPECT_EQ(f.outputTarget, "Bildschirm");

  // Cancel keeps every setting.
  FormRunners cancel;
  cancel.configuration = [](ConfigForm&) { return false; };
  EXPECT_FALSE(FormCommandDialogs(cancel).Configuration());
  EXPECT_EQ(g.AbortFlag, 1);
  EXPECT_EQ(g.DecimalsSetting, 8);
  EXPECT_EQ(g.OutputTarget, 8);

  FormRunners ok;
  ok.configuration = [](ConfigForm&) { return true; };
  EXPECT_TRUE(FormCommandDialogs(ok).Configuration());
  EXPECT_EQ(g.AbortFlag, 0);
  EXPECT_EQ(g.DecimalsSetting, 6);
  EXPECT_EQ(g.LinesPerPage, 999);
  EXPECT_EQ(g.DialogSizePercent, 30);
  EXPECT_EQ(CadSettings().DxfDecimals, 16);
  EXPECT_EQ(g.OutputTarget, 1);

  // A name that is none of the seven leaves the target.
  g.OutputTarget = 5;
  f = FillConfigForm();
  EXPECT_EQ(f.outputTarget, "externes Textprogramm");
  f.outputTarget = "Plotter";
  ApplyConfigForm(f);
  EXPECT_EQ(g.OutputTarget, 5);
  f.outputTarget = "HTML Datei";
  ApplyConfigForm(f);
  EXPECT_EQ(g.OutputTarget, 7);
}

TEST_F(ConfigFormTest, ExportImportAndSave) {
  BaseGlobals& g = G();
  const std::string folder = g.ProgramFolder;
  ConfigForm f = FillConfigForm();
  f.decimals = 5;
  f.logo = false;
  fs::create_directories(dir_ / "other");
  const fs::path exported = dir_ / "other" / "mine.cfg";
  ExportConfigForm(f, exported.string());
  EXPECT_EQ(g.AbortFlag, 0);
  ASSERT_TRUE(fs::exists(exported));
  EXPECT_FALSE(fs::exists(dir_ / "zeb1.cfg"));
  EXPECT_EQ(g.ProgramFolder, folder);
  EXPECT_EQ(g.DecimalsSetting, 5);
  EXPECT_EQ(Config().HideLogo, 1);

  // A cancelled export writes nothing.
  ExportConfigForm(f, "");
  EXPECT_EQ(g.AbortFlag, 1);

  // The next save writes the usual file, also after the cancel.
  SaveConfigForm(f);
  EXPECT_EQ(g.AbortFlag, 0);
  EXPECT_TRUE(fs::exists(dir_ / "zeb1.cfg"));

  // Import of an unreadable file: a box naming it, nothing changes.
  g.DecimalsSetting = 3;
  Config().HideLogo = 0;
  ConfigForm shown = FillConfigForm();
  const std::string missing = (dir_ / "none.cfg").string();
  ui().ExpectMessageBox("", missing);
  EXPECT_FALSE(ImportConfigForm(shown, missing));
  EXPECT_EQ(g.AbortFlag, 1);
  EXPECT_EQ(g.DecimalsSetting, 3);
  EXPECT_TRUE(shown.logo);

  // The chosen file alone is read, and the form shows it.
  EXPECT_TRUE(ImportConfigForm(shown, exported.string()));
  EXPECT_EQ(g.AbortFlag, 0);
  EXPECT_EQ(g.DecimalsSetting, 5);
  EXPECT_EQ(shown.decimals, 5);
  EXPECT_FALSE(shown.logo);
  EXPECT_EQ(g.ProgramFolder, folder);
}

TEST_F(ConfigFormTest, DefaultButtons) {
  ConfigForm f = FillConfigForm();
  for (int layer = 1; layer <= 5; ++layer) DefaultLayer(f, layer);
  EXPECT_EQ(f.layerName, (std::array<std::string, 5>{"5", "4", "3", "2", "1"}));
  EXPECT_EQ(f.layerColour, (std::array<std::string, 5>{"1", "3", "2", "2", "2"}));
  EXPECT_EQ(f.layerWidth, (std::array<std::string, 5>{"3", "2", "1", "1", "1"}));
  f.resX = "640";
  f.resY = "480";
  DefaultTextWindow(f);
  EXPECT_EQ(f.textLeft, "10");
  EXPECT_EQ(f.textTop, "40");
  EXPECT_EQ(f.textWidth, "620");
  EXPECT_EQ(f.textHeight, "460");
  f.resX = "1024";
  f.printoutFontSize = 12;
  DefaultTextWindow(f);
  EXPECT_EQ(f.textWidth, "840");
}

TEST_F(ConfigFormTest, WindowAndDialogSizesFromTheMainWindow) {
  // round(dpiY / 96 x (H / (C + 46) + 0.009) x 100), worked by hand:
  // 767 / 767 = 1 -> 100.9; x 1.25 -> 126.1; 800 / 746 = 1.07239 -> 108.14.
  EXPECT_EQ(DialogSizePercentFor(96, 767, 721), 101);
  EXPECT_EQ(DialogSizePercentFor(120, 767, 721), 126);
  EXPECT_EQ(DialogSizePercentFor(96, 800, 700), 108);
  // round(S / X x 100), X = (H / (C + 46) + 0.009) x dpiX / 96 x 100:
  // 101 / 100.9 -> 100.1; 108 / 162.21 -> 66.6.
  EXPECT_EQ(DialogElementPercentFor(101, 96, 767, 721), 100);
  EXPECT_EQ(DialogElementPercentFor(108, 144, 800, 700), 67);
  // Numbers without a ratio give none (no division by zero).
  EXPECT_EQ(DialogSizePercentFor(0, 767, 721), 0);
  EXPECT_EQ(DialogSizePercentFor(96, 767, -46), 0);
  EXPECT_EQ(DialogElementPercentFor(100, 0, 767, 721), 0);
  // Screen 1024 x 768, window 46 taller than its client area:
  // 768 + round(-46 x 1.65) = 768 - 76.
  EXPECT_EQ(ScreenFillingWidth(1280, 1264, 1280), 1264);
  EXPECT_EQ(ScreenFillingHeight(768, 721, 767), 692);

  auto window = std::make_shared<RecordingMainWindow>();
  SetMainWindow(window);
  ScreenMetrics m;
  m.logicalDpiX = 144, m.logicalDpiY = 120, m.mainOuterHeight = 800, m.mainClientHeight = 700;
  SetScreenMetrics(m);
  ConfigForm f = FillConfigForm();
  DialogSizeFromWindow(f);
  EXPECT_EQ(f.dialogSize, 135);  // 1.25 x 108.14 = 135.2
  DialogElementsFromWindow(f);
  EXPECT_EQ(f.dialogElements, 83);  // 135 / 162.21 = 0.832
  FitWindowToScreen(f);
  EXPECT_EQ(f.resX, "1024");
  EXPECT_EQ(f.resY, "603");  // 768 + round(-100 x 1.65)
  f.resX = "0";
  ResizeMainWindow(f);  // only the height
  f.resX = "800", f.resY = "600";
  ApplyConfigForm(f);
  EXPECT_EQ(window->Calls(), (std::vector<std::string>{"SetClientSize(1024,603)", "SetClientSize(0,603)",
                                                       "SetClientSize(800,600)"}));
  SetMainWindow(nullptr);
}

TEST_F(ConfigFormTest, ColourPanelsAndReset) {
  InitDefaultColors();
  BaseGlobals& g = G();
  ConfigForm f = FillConfigForm();
  EXPECT_EQ(f.panelColours[9], 0xFF0000u);
  f.panelColours[9] = 0x123456;
  f.panelColours[15] = 0x0000FF;
  SetColourLayerWidths(f, 3);
  ApplyConfigForm(f);
  EXPECT_EQ(g.ColourTable[9], 0x123456u);
  EXPECT_EQ(g.ColourTable[15], 0x0000FFu);
  EXPECT_EQ(CadSettings().CadUserWidths[15], 3);
  EXPECT_NE(Written("colours.cfg").find("1193046"), std::string::npos);  // 0x123456

  // Reset: the table at once, and every control from the settings again.
  f.decimals = 5;
  ResetColours(f);
  EXPECT_EQ(g.ColourTable[9], 0xFF0000u);
  EXPECT_EQ(g.ColourTable[15], 0xFFFFFFu);
  EXPECT_EQ(f.panelColours[9], 0xFF0000u);
  EXPECT_EQ(f.decimals, g.DecimalsSetting);
}

TEST_F(ConfigFormTest, PlotCommandLines) {
  auto plot = std::make_shared<ScriptedPlotConfigForm>();
  SetPlotConfigForm(plot);
  ConfigForm f = FillConfigForm();
  f.plotLines = {"a", "b", "c", "d", "e"};
  plot->Answer("gravelo /CPS");
  plot->Cancel();
  plot->Answer("x");
  G().AbortFlag = 1;
  EXPECT_EQ(ConfigurePlotLine(f, -1), 0);  // none selected: line 1
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(ConfigurePlotLine(f, 3), 3);  // cancelled
  EXPECT_EQ(ConfigurePlotLine(f, 5), 0);
  EXPECT_EQ(plot->Shown(), (std::vector<std::string>{"a", "d", "gravelo /CPS"}));
  EXPECT_EQ(f.plotLines, (std::array<std::string, 5>{"x", "b", "c", "d", "e"}));

  // The text input: nothing without a line, at most 80 characters, Cancel keeps.
  EditPlotLineText(f, -1);
  ui().ExpectInputText("GRAVELO Command Line", std::string(100, 'z')).Value("b");
  EditPlotLineText(f, 1);
  ui().ExpectInputText("GRAVELO Command Line", TextAnswer::Cancel());
  EditPlotLineText(f, 2);
  EXPECT_EQ(f.plotLines[1], std::string(80, 'z'));
  EXPECT_EQ(f.plotLines[2], "c");
  ApplyConfigForm(f);
  EXPECT_EQ(CadSettings().CadPlotCommandLines[1], std::string(80, 'z'));
  SetPlotConfigForm(nullptr);
}

}  // namespace
}  // namespace zeb
