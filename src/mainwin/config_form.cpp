#include "mainwin/config_form.h"

#include <algorithm>
#include <cmath>

#include "base/colors.h"
#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "base/typed_number.h"
#include "graphics/cadsettings.h"
#include "mainwin/program.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "settings/config.h"

namespace zeb {

namespace {

std::string Num(std::int64_t n) { return std::to_string(n); }
int Clamp(int x, SpinRange r) { return std::clamp(x, r.min, r.max); }
int Index(int setting, int items) { return std::clamp(setting - 1, 0, items - 1); }
int Item(int setting, int items) { return std::clamp(setting, 0, items - 1); }
Real FactorOrOne(std::string_view text) {
  const Real x = TextToFloat(text);
  return x == 0 ? 1.0L : x;
}

// Layer grid row r (0..4) holds layer 5 - r.
constexpr int LayerOfRow(int row) { return 5 - row; }

}  // namespace

bool CheckConfigForm(ConfigForm& f, FieldRefusal* refusal) {
  ConfigForm shown = FillConfigForm();
  const struct {
    const char* control;
    std::string label;  // code page 850
    std::string* text;
    const std::string& kept;
  } fields[] = {{"Edit_x", "Fenstergroesse x", &f.resX, shown.resX},
                {"Edit_y", "Fenstergroesse y", &f.resY, shown.resY},
                {"Edit_textbreitenfaktor", "Textbreitenfaktor", &f.textWidthFactor, shown.textWidthFactor},
                {"Edit_texthoehenfaktor", "Texthöhenfaktor"_oem, &f.textHeightFactor, shown.textHeightFactor},
                {"Edit_zoomfaktor", "Zoomfaktor", &f.zoomFactor, shown.zoomFactor},
                {"Edit_panfaktor", "Pan-Faktor", &f.panFactor, shown.panFactor},
                {"Edit_3dx", "3D Edit x °"_oem, &f.angles3d[0], shown.angles3d[0]},
                {"Edit_3dy", "3D Edit y °"_oem, &f.angles3d[1], shown.angles3d[1]},
                {"Edit_3dz", "3D Edit z °"_oem, &f.angles3d[2], shown.angles3d[2]},
                {"Edit_cadtextbreite", "CAD Textbreitenfaktor", &f.cadTextWidth, shown.cadTextWidth},
                {"Edit_cadtextwinkel", "CAD Textwinkel", &f.cadTextAngle, shown.cadTextAngle},
                {"Edit_printscale", "Maßstab x"_oem, &f.printScale, shown.printScale},
                {"Edit_printscaley", "Maßstab y"_oem, &f.printScaleY, shown.printScaleY},
                {"Edit_printxorigin", "Ursprung x", &f.printOriginX, shown.printOriginX},
                {"Edit_printyorigin", "Ursprung y", &f.printOriginY, shown.printOriginY},
                {"Edit_left", "Textfenster links", &f.textLeft, shown.textLeft},
                {"Edit_top", "Textfenster oben", &f.textTop, shown.textTop},
                {"Edit_width", "Textfenster Breite", &f.textWidth, shown.textWidth},
                {"Edit_height", "Textfenster Höhe"_oem, &f.textHeight, shown.textHeight},
                {"Edit_massfaktorconfig", "Größenfaktor Bemaßung"_oem, &f.dimensionFactor, shown.dimensionFactor}};
  for (const auto& field : fields) {
    Real unused = 0;
    if (*field.text == field.kept || ReadTypedNumber(field.label, AnsiLineToOem(*field.text), kAnyNumberRange, unused))
      continue;
    *field.text = field.kept;
    if (refusal != nullptr) *refusal = {field.control, field.kept};
    return false;
  }
  return true;
}

std::array<std::string, 7> ConfigOutputTargetNames() {
  std::array<std::string, 7> names;
  for (int n = 1; n <= 7; ++n) names[static_cast<std::size_t>(n - 1)] = OutputTargetName(n);
  return names;
}

ConfigForm FillConfigForm() {
  const BaseGlobals& g = G();
  const ConfigSettings& c = Config();
  const auto& cad = CadSettings();
  ConfigForm f;
  f.dirDbf = g.DbfFolder;
  f.dirExe = c.TalmoreProgramFolder;
  f.dirHelp = g.HelpFolder;
  f.dirTemp = g.TempFolder;
  f.dirEdi = c.EdiFolder;
  f.dirData = c.DefaultDataFolder;
  f.dirCad = cad.CadFolder;

  f.colourGraphics = c.ColourGraphics != 0 ? 0 : 1;
  f.resX = Num(std::int64_t{c.ResolutionX} + 1);
  f.resY = Num(std::int64_t{c.ResolutionY} + 1);
  f.font = g.GraphicTextFont;
  f.fontStyle = g.GraphicTextStyle;
  f.textWidthFactor = FloatToStrSig(g.GraphicTextWidthFactor);
  f.textHeightFactor = FloatToStrSig(g.GraphicTextHeightFactor);
  f.zoomFactor = FloatToStrSig(g.ZoomFactor);
  f.panFactor = FloatToStrSig(g.PanFactor);
  f.border = g.PrintBorder != 0;
  f.dialogSize = Clamp(g.DialogSizePercent, kDialogPercentRange);
  f.dialogElements = Clamp(g.DialogElementPercent, kDialogPercentRange);
  f.edit3d = c.Edit3DAngles != 0;
  for (std::size_t i = 0; i < 3; ++i) f.angles3d[i] = FloatToStrSig(RadToDeg(c.Default3DAngles[i]));
  f.footerLine = cad.FooterOff == 0;

  for (int row = 0; row < 5; ++row) {
    const auto l = static_cast<std::size_t>(LayerOfRow(row));
    const auto r = static_cast<std::size_t>(row);
    f.layerName[r] = cad.CadLayerNames[l];
    f.layerColour[r] = Num(cad.CadLayerColours[l]);
    f.layerWidth[r] = Num(cad.CadLayerWidths[l]);
  }
  f.layerMonochrome = cad.CadMonochromeLayers != 0;
  f.cadFont = cad.CadTextStyleName;
  f.cadTextWidth = FloatToStrSig(cad.CadTextFactor);
  f.cadTextAngle = FloatToStrSig(cad.CadTextObliqueAngle);
  f.askDiagramLimits = cad.EnterDiagramLimits != 0;
  f.cadDecimals = Clamp(cad.DxfDecimals, kCadDecimalsRange);
  f.cadTextType = Index(g.TextOutputConversion, 3);
  for (std::size_t i = 0; i < 16; ++i) {
    f.colourLayerColour[i] = Num(cad.CadUserColours[i]);
    f.colourLayerWidth[i] = Num(cad.CadUserWidths[i]);
    f.panelColours[i] = g.ColourTable[i];
  }

  f.printScale = FloatToStrSig(g.ScreendumpScale);
  f.printScaleY = FloatToStrSig(g.PrintScaleVertical);
  f.printOriginX = FloatToStrSig(g.ScreendumpOriginX);
  f.printOriginY = FloatToStrSig(g.ScreendumpOriginY);
  f.printMono = Index(g.PrintColourMode, 2);
  f.orientation = Index(g.PrinterOrientation, 2);
  f.printerDialogBox = g.GraphicPrintDialog != 0;
  f.lpt = Index(g.PrinterPortNumber, 4);

  f.lineStyle = Index(g.ReportLineStyle, 4);
  f.linesPerPage = Clamp(g.LinesPerPage, kLinesPerPageRange);
  f.spaceLines = Clamp(g.TopMarginLines, kSpaceLinesRange);
  f.date = Index(g.DateFormat, 4);
  // Targets 8 and 9 are internal: the box offers 1..7.
  const int target = g.OutputTarget >= 1 && g.OutputTarget <= 7 ? g.OutputTarget : 1;
  f.outputTarget = OutputTargetName(target);
  f.askOutputTarget = g.AskOutputTarget != 0;
  f.textLeft = Num(g.TextWindowLeft);
  f.textTop = Num(g.TextWindowTop);
  f.textWidth = Num(g.TextWindowWidth);
  f.textHeight = Num(g.TextWindowHeight);
  f.pageHead = Index(g.PageHeadMode, 2);
  f.printoutFont = g.TextFontPrintout;
  f.printoutFontSize = g.TextSizePrintout;
  f.printoutFontStyle = g.TextStylePrintout;
  f.angleFormat = Index(c.AngleFormat, 2);

  f.helpLevel = Item(g.HelpLevel, 3);
  f.decimalComma = Index(cad.DecimalCommaMode, 2);
  f.spreadsheetDecimal = Index(c.SpreadsheetDecimalMode, 2);
  f.decimals = Clamp(g.DecimalsSetting, kDecimalsRange);
  f.archiveMode = g.ArchiveFlag != 0;
  f.plainText = Item(g.PlainTextMode, 2);
  f.drawingKind = Item(c.CurrentDrawingKind, 7);
  f.currentFile = c.NotCurrentFile == 0;
  f.unitSystem = Item(g.UnitSystem, 5);
  f.saveMenuLanguage = c.SaveMenuLanguage != 0;

  f.plotLines = cad.CadPlotCommandLines;
  f.textProgram = g.TextProgramPath;
  f.htmlBrowser = g.HtmlBrowserPath;

  f.indexStyle = Item(c.DrawingIndexStyle, 4);
  f.releaseField = OemToAnsiBuf(c.ReleaseFieldText);
  f.dimensionFactor = FloatToStrSig(cad.CadUnitFactor);
  f.makerTitle = c.HideMakerTitle == 0;
  f.fileName = c.HideFileName == 0;
  f.dateShown = c.HideDate == 0;
  f.logo = c.HideLogo == 0;
  f.titleBlock = c.HideTitleBlock == 0;
  f.titleBlockKind = Item(c.TitleBlockKind, 4);
  return f;
}

void ApplyConfigForm(const ConfigForm& f) {
  BaseGlobals& g = G();
  ConfigSettings& c = Config();
  auto& cad = CadSettings();
  g.DbfFolder = f.dirDbf;
  c.TalmoreProgramFolder = f.dirExe;
  g.HelpFolder = f.dirHelp;
  g.TempFolder = f.dirTemp;
  c.EdiFolder = f.dirEdi;
  c.DefaultDataFolder = f.dirData;
  cad.CadFolder = f.dirCad;

  c.ColourGraphics = f.colourGraphics == 0 ? 1 : 0;
  g.GraphicTextFont = f.font;
  g.GraphicTextStyle = f.fontStyle;
  g.GraphicTextWidthFactor = FactorOrOne(f.textWidthFactor);
  g.GraphicTextHeightFactor = FactorOrOne(f.textHeightFactor);
  // A window size of 0 takes the screen's client area.
  const ScreenMetrics& s = CurrentScreenMetrics();
  const int border = s.mainOuterHeight - s.mainClientHeight;
  int x = ClampInt(0, 5000, TextToInt(f.resX) - 1);
  int y = ClampInt(0, 5000, TextToInt(f.resY) - 1);
  if (x == 0) x = s.width;
  if (y == 0) y = std::max(s.height - border, 1);
  c.ResolutionX = static_cast<std::uint16_t>(x);
  c.ResolutionY = static_cast<std::uint16_t>(y);
  MainWindow().SetClientSize(x + 1, y + 1);

  g.PanFactor = TextToFloat(f.panFactor);
  g.ZoomFactor = FactorOrOne(f.zoomFactor);
  cad.BorderFlag = f.border ? 1 : 0;
  g.DialogSizePercent = f.dialogSize == 0 ? 100 : Clamp(f.dialogSize, kDialogPercentRange);
  g.DialogElementPercent = f.dialogElements == 0 ? 100 : Clamp(f.dialogElements, kDialogPercentRange);
  for (std::size_t i = 0; i < 3; ++i) c.Default3DAngles[i] = DegToRad(TextToFloat(f.angles3d[i]));
  c.Edit3DAngles = f.edit3d ? 1 : 0;
  c.DrawingIndexStyle = static_cast<std::int16_t>(f.indexStyle);
  cad.FooterOff = f.footerLine ? 0 : 1;

  for (int row = 0; row < 5; ++row) {
    const auto l = static_cast<std::size_t>(LayerOfRow(row));
    const auto r = static_cast<std::size_t>(row);
    cad.CadLayerNames[l] = f.layerName[r];
    cad.CadLayerColours[l] = TextToInt(f.layerColour[r]);
    cad.CadLayerWidths[l] = TextToInt(f.layerWidth[r]);
  }
  cad.CadMonochromeLayers = f.layerMonochrome ? 1 : 0;
  for (std::size_t i = 0; i < 16; ++i) {
    cad.CadUserColours[i] = TextToInt(f.colourLayerColour[i]);
    cad.CadUserWidths[i] = TextToInt(f.colourLayerWidth[i]);
  }
  for (std::size_t i = 0; i < 16; ++i) g.ColourTable[i] = f.panelColours[i] & 0xFFFFFFu;

  g.ScreendumpScale = TextToFloat(f.printScale);
  g.PrintScaleVertical = TextToFloat(f.printScaleY);
  g.ScreendumpOriginX = TextToFloat(f.printOriginX);
  g.ScreendumpOriginY = TextToFloat(f.printOriginY);
  g.PrintBorder = f.border ? 1 : 0;
  g.PrintColourMode = static_cast<std::int16_t>(f.printMono + 1);
  g.PrinterOrientation = f.orientation + 1;
  g.GraphicPrintDialog = f.printerDialogBox ? 1 : 0;
  g.PrinterPortNumber = static_cast<std::int16_t>(f.lpt + 1);
  g.DateFormat = static_cast<std::int16_t>(f.date + 1);
  g.ReportLineStyle = static_cast<std::int16_t>(f.lineStyle + 1);
  g.LinesPerPage = Clamp(f.linesPerPage, kLinesPerPageRange);
  g.TopMarginLines = Clamp(f.spaceLines, kSpaceLinesRange);
  g.AskOutputTarget = f.askOutputTarget ? 1 : 0;
  const auto names = ConfigOutputTargetNames();
  for (int n = 1; n <= 7; ++n) {
    if (names[static_cast<std::size_t>(n - 1)] == f.outputTarget) {
      g.OutputTarget = static_cast<std::int16_t>(n);
      break;
    }
  }

  // Text window: inside the screen, at least 50 high.
  int left = TextToInt(f.textLeft), top = TextToInt(f.textTop), width = TextToInt(f.textWidth);
  if (left < 0 || left > 1000) left = 10;
  if (top < 0 || top > 450) top = 40;
  if (width < 50 || width > 1000) width = 700;
  const int screenY = TextToInt(f.resY);
  int height = TextToInt(f.textHeight);
  if (screenY < height || height < 50) height = screenY - 20;
  g.TextWindowLeft = left;
  g.TextWindowTop = top;
  g.TextWindowWidth = width;
  g.TextWindowHeight = std::max(height, 50);

  g.UnitSystem = static_cast<std::int16_t>(f.unitSystem);
  g.PageHeadMode = static_cast<std::int16_t>(f.pageHead + 1);
  g.TextFontPrintout = f.printoutFont;
  g.TextSizePrintout = f.printoutFontSize;
  g.TextStylePrintout = f.printoutFontStyle;
  c.AngleFormat = static_cast<std::int16_t>(f.angleFormat + 1);
  cad.CadTextStyleName = f.cadFont;
  cad.CadTextFactor = TextToFloat(f.cadTextWidth);
  cad.CadTextObliqueAngle = TextToFloat(f.cadTextAngle);
  cad.EnterDiagramLimits = f.askDiagramLimits ? 1 : 0;
  c.ReleaseFieldText = AnsiToOemBuf(f.releaseField);
  cad.DxfDecimals = Clamp(f.cadDecimals, kCadDecimalsRange);
  g.TextOutputConversion = static_cast<std::int16_t>(f.cadTextType + 1);

  const Real factor = TextToFloat(f.dimensionFactor);
  cad.CadUnitFactor = factor < 0.01L ? 1.0L : factor;

  g.HelpLevel = static_cast<std::int16_t>(f.helpLevel);
  cad.DecimalCommaMode = static_cast<std::int16_t>(f.decimalComma + 1);
  c.SpreadsheetDecimalMode = static_cast<std::int16_t>(f.spreadsheetDecimal + 1);
  g.DecimalsSetting = Clamp(f.decimals, kDecimalsRange);
  g.ArchiveFlag = f.archiveMode ? 1 : 0;
  g.PlainTextMode = static_cast<std::int16_t>(f.plainText);
  c.CurrentDrawingKind = static_cast<std::int16_t>(f.drawingKind);
  c.NotCurrentFile = f.currentFile ? 0 : 1;
  c.SaveMenuLanguage = f.saveMenuLanguage ? 1 : 0;
  cad.CadPlotCommandLines = f.plotLines;
  g.TextProgramPath = f.textProgram;
  g.HtmlBrowserPath = f.htmlBrowser;
  c.HideMakerTitle = f.makerTitle ? 0 : 1;
  c.HideFileName = f.fileName ? 0 : 1;
  c.HideDate = f.dateShown ? 0 : 1;
  c.HideLogo = f.logo ? 0 : 1;
  c.HideTitleBlock = f.titleBlock ? 0 : 1;
  c.TitleBlockKind = static_cast<std::int16_t>(f.titleBlockKind);
}

void SaveConfigForm(const ConfigForm& f) {
  // A cancelled export or import before must not stop the save.
  G().AbortFlag = 0;
  ApplyConfigForm(f);
  WriteConfigFile();
}

void ExportConfigForm(const ConfigForm& f, std::string_view path) {
  G().AbortFlag = 0;
  ApplyConfigForm(f);
  if (path.empty()) {
    G().AbortFlag = 1;
    return;
  }
  WriteConfigFile(path);
}

bool ImportConfigForm(ConfigForm& f, std::string_view path) {
  G().AbortFlag = 0;
  if (path.empty()) {
    G().AbortFlag = 1;
    return false;
  }
  if (!ReadConfigFile(path)) {
    ShowErrorBox("Datei " + std::string(path) + " kann nicht gelesen werden");
    G().AbortFlag = 1;
    return false;
  }
  f = FillConfigForm();
  return true;
}

void DefaultTextWindow(ConfigForm& f) {
  f.textLeft = "10";
  f.textTop = "40";
  int width = TextToInt(f.resX) < 641 ? 620 : static_cast<int>(std::lround(f.printoutFontSize * 700 * 0.1));
  if (width == 0) width = 700;
  f.textWidth = Num(width);
  f.textHeight = Num(std::max(TextToInt(f.resY) - 20, 50));
}

void DefaultLayer(ConfigForm& f, int layer) {
  static constexpr std::array<std::array<int, 2>, 6> kStart{{{0, 0}, {2, 1}, {2, 1}, {2, 1}, {3, 2}, {1, 3}}};
  if (layer < 1 || layer > 5) return;
  const auto r = static_cast<std::size_t>(5 - layer);
  const auto l = static_cast<std::size_t>(layer);
  f.layerName[r] = Num(layer);
  f.layerColour[r] = Num(kStart[l][0]);
  f.layerWidth[r] = Num(kStart[l][1]);
}

int ScreenFillingWidth(int screenWidth, int clientWidth, int outerWidth) {
  return screenWidth + clientWidth - outerWidth;
}

int ScreenFillingHeight(int screenHeight, int clientHeight, int outerHeight) {
  return static_cast<int>(std::lround((clientHeight - outerHeight) * 1.65)) + screenHeight;
}

void FitWindowToScreen(ConfigForm& f) {
  const ScreenMetrics& s = CurrentScreenMetrics();
  const MainWindowGeometry m = MainWindow().Geometry();
  f.resX = Num(ScreenFillingWidth(s.width, m.clientWidth, m.outerWidth));
  f.resY = Num(ScreenFillingHeight(s.height, m.clientHeight, m.outerHeight));
  ResizeMainWindow(f);
}

void ResizeMainWindow(const ConfigForm& f) {
  const int x = TextToInt(f.resX), y = TextToInt(f.resY);
  if (x > 0 || y > 0) MainWindow().SetClientSize(std::max(x, 0), std::max(y, 0));
}

void DialogSizeFromWindow(ConfigForm& f) {
  const MainWindowGeometry m = MainWindow().Geometry();
  const int p = DialogSizePercentFor(CurrentScreenMetrics().logicalDpiY, m.outerHeight, m.clientHeight);
  if (p > 0) f.dialogSize = Clamp(p, kDialogPercentRange);
}

void DialogElementsFromWindow(ConfigForm& f) {
  const MainWindowGeometry m = MainWindow().Geometry();
  const int p =
      DialogElementPercentFor(f.dialogSize, CurrentScreenMetrics().logicalDpiX, m.outerHeight, m.clientHeight);
  if (p > 0) f.dialogElements = Clamp(p, kDialogPercentRange);
}

void SetColourLayerWidths(ConfigForm& f, int width) { f.colourLayerWidth.fill(Num(width)); }

void ResetColours(ConfigForm& f) {
  InitDefaultColors();
  f = FillConfigForm();
}

int ConfigurePlotLine(ConfigForm& f, int selected) {
  G().AbortFlag = 0;
  if (selected < 0 || selected >= 5) selected = 0;
  std::string line = f.plotLines[static_cast<std::size_t>(selected)];
  if (PlotConfig().Edit(line)) f.plotLines[static_cast<std::size_t>(selected)] = line;
  return selected;
}

void EditPlotLineText(ConfigForm& f, int selected) {
  G().AbortFlag = 0;
  if (selected < 0 || selected >= 5) return;
  std::string line = f.plotLines[static_cast<std::size_t>(selected)];
  InputText("GRAVELO Command Line", 80, line);
  if (G().AbortFlag == 0) f.plotLines[static_cast<std::size_t>(selected)] = line;
}

}  // namespace zeb
