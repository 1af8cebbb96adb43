#include "settings/config.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <numbers>
#include <vector>

#include "base/colors.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/textfile.h"
#include "graphics/cadsettings.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/real48.h"

namespace zeb {

namespace {

constexpr Real kDegree = std::numbers::pi_v<Real> / 180;

ScreenMetrics& Screen() {
  static ScreenMetrics m;
  return m;
}

std::string CurrentDirectory() {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  return ec ? std::string(".") : cwd;
}

std::string ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// A regular file that opens for reading (a folder, a device or a FIFO in
// its place counts as no file).
bool ReadableFile(const std::string& path) {
  const std::string resolved = ResolvePathCaseInsensitive(path);
  return PathIsRegularFile(resolved) && ::access(resolved.c_str(), R_OK) == 0;
}

std::uint16_t ScreenDerived(int screen, int minus) {
  return static_cast<std::uint16_t>(std::clamp(screen - minus, 1, 65534));
}

// ------------------------------------------------------------------ reader

// The line being read and the first label line that no configuration holds
// (the first line is the file's title; labels carry no control bytes); 0
// while all are. Values are not judged: a value that does not convert takes
// its substitute.
struct LineCheck {
  int line = 0, firstBad = 0;
};
LineCheck gLineCheck;

bool HasControlBytes(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7F;
  });
}

// Value lines of the work text file. Texts hold no NUL byte: a NUL reads as
// a blank, since paths and names are handed on as C strings.
struct Reader {
  static std::string Raw() {
    std::string s;
    ReadTextLine(s);
    ++gLineCheck.line;
    return s;
  }
  static void Check(bool bad) {
    if (bad && gLineCheck.firstBad == 0) gLineCheck.firstBad = gLineCheck.line;
  }
  // A line read by another reader.
  static void Counted() { ++gLineCheck.line; }
  bool Ended() { return WorkTextFile().Eof(); }
  std::string Text() {
    std::string s = Raw();
    std::replace(s.begin(), s.end(), '\0', ' ');
    return s;
  }
  void Skip() {
    const std::string s = Raw();
    if (gLineCheck.line == 1) {
      // The title names the program; an empty file ends at the first end test.
      const std::string title = UpperStr(TrimBlanks(s));
      const std::string tail = "KONFIGURATION";
      Check(!(s.empty() && Ended()) &&
            (title.size() < tail.size() || title.compare(title.size() - tail.size(), tail.size(), tail) != 0 ||
             HasControlBytes(s)));
    } else {
      Check(HasControlBytes(s));
    }
  }
  static std::int64_t Integer(std::int64_t lo, std::int64_t hi) {
    const std::string s = Raw();
    std::int64_t v = 0;
    const bool converts = TryTextToInt(s, v);
    return converts && v >= lo && v <= hi ? v : 0;
  }
  std::int32_t Int() { return static_cast<std::int32_t>(Integer(INT32_MIN, INT32_MAX)); }
  // A number outside the setting's range reads as a non-number: 0.
  template <class T>
  T IntAs() {
    const std::int32_t n = Int();
    return n < std::numeric_limits<T>::min() || n > std::numeric_limits<T>::max() ? T{0} : static_cast<T>(n);
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Integer(0, UINT16_MAX)); }
  Real Float() {
    std::string s = Raw();
    std::replace(s.begin(), s.end(), ',', '.');
    Real x = 0;
    const bool converts = TryTextToFloat(s, x);
    return converts && std::isfinite(x) ? x : 0;
  }
  Real Real48Value() {
    Real48 r{};
    if (!RealToReal48(Float(), r)) r = Real48{};
    return Real48ToReal(r);
  }
  // A switch keeps its value when the read failed.
  Byte True(Byte current) {
    const std::string s = Raw();
    return G().AbortFlag == 0 ? (UpperStr(s) == "TRUE" ? 1 : 0) : current;
  }
  Byte NotFalse(Byte current) {
    const std::string s = Raw();
    return G().AbortFlag == 0 ? (UpperStr(s) != "FALSE" ? 1 : 0) : current;
  }
};

template <class T>
void OutsideGives(T& v, T lo, T hi, T replacement) {
  if (v < lo || v > hi) v = replacement;
}

// Reads rows 1..81 of an open work text file; returns at an end test.
void ReadRows() {
  BaseGlobals& g = G();
  CadSettingsRecord& cad = CadSettings();
  ConfigSettings& c = Config();
  Reader r;

  g.GraphicCorrectionFactorX = 1.0L;
  r.Skip();  // 1
  r.Skip();  // 2
  for (int i = 1; i <= 5; ++i) {  // 3
    r.Skip();
    cad.CadLayerNames[i] = r.Text();
    r.Skip();
    cad.CadLayerColours[i] = r.Int();
  }
  r.Skip();  // 4
  cad.CadTextStyleName = r.Text();
  r.Skip();  // 5
  cad.CadTextFactor = r.Float();
  if (cad.CadTextFactor == 0) cad.CadTextFactor = 1.0L;
  r.Skip();  // 6
  cad.CadTextObliqueAngle = r.Float();
  r.Skip();  // 7
  cad.CadFolder = r.Text();
  r.Skip();
  g.DbfFolder = r.Text();
  r.Skip();  // 8
  g.HelpLevel = r.IntAs<std::int16_t>();
  r.Skip();  // 9
  g.PrinterPortNumber = r.IntAs<std::int16_t>();
  if (g.PrinterPortNumber == 0) g.PrinterPortNumber = 1;
  if (r.Ended()) return;
  r.Skip();  // 10
  c.PrinterType = r.Int();
  if (r.Ended()) return;
  r.Skip();
  c.PrintDensity = r.Int();
  r.Skip();  // 11
  {
    std::string s = r.Text();
    c.HardcopyRotated = s.empty() ? 'N' : s[0];
  }
  r.Skip();  // 12
  g.DecimalsSetting = r.Int();
  OutsideGives(g.DecimalsSetting, 1, 9, 3);
  r.Skip();  // 13
  c.PrintThicknessVertical = r.Int();
  OutsideGives(c.PrintThicknessVertical, 1, 4, 1);
  if (r.Ended()) return;
  r.Skip();  // 14
  c.ColourGraphics = r.True(c.ColourGraphics);
  r.Skip();  // 15
  g.GraphicCorrectionFactorX = r.Float();
  if (g.GraphicCorrectionFactorX == 0) g.GraphicCorrectionFactorX = 1.0L;
  r.Skip();  // 16
  c.GraphicsMode = r.Int();
  r.Skip();
  c.GraphicsDriver = r.Int();
  r.Skip();  // 17
  c.ResolutionX = r.Word();
  r.Skip();
  c.ResolutionY = r.Word();
  r.Skip();  // 18
  g.TempFolder = r.Text();
  r.Skip();  // 19
  c.HardcopyPrinterPort = r.Int();
  if (c.HardcopyPrinterPort == 0) c.HardcopyPrinterPort = 1;
  if (r.Ended()) return;
  r.Skip();  // 20
  c.EdiFolder = r.Text();
  r.Skip();
  g.HelpFolder = r.Text();
  r.Skip();  // 21
  g.ReportLineStyle = r.IntAs<std::int16_t>();
  if (g.ReportLineStyle == 0) g.ReportLineStyle = 1;
  r.Skip();  // 22
  g.LinesPerPage = r.Int();
  if (g.LinesPerPage < 5) g.LinesPerPage = 66;
  r.Skip();  // 23
  g.ZoomFactor = r.Float();
  if (g.ZoomFactor == 0) g.ZoomFactor = 1.02L;
  r.Skip();  // 24
  g.PanFactor = r.Float();
  if (g.PanFactor == 0) g.PanFactor = 0.01L;
  r.Skip();  // 25
  c.TalmoreProgramFolder = r.Text();
  if (r.Ended()) return;
  r.Skip();  // 26
  {
    std::string s = r.Text();
    if (!s.empty()) cad.CadPlotCommandLines[0] = s;
  }
  if (r.Ended()) return;
  r.Skip();  // 27
  g.BackgroundColour = r.Int();
  if (r.Ended()) return;
  r.Skip();  // 28
  g.PrintColourMode = r.IntAs<std::int16_t>();
  if (g.PrintColourMode == 0) g.PrintColourMode = 1;
  if (r.Ended()) return;
  r.Skip();  // 29
  cad.CadMonochromeLayers = r.True(cad.CadMonochromeLayers);
  if (r.Ended()) {
    g.GraphicTextWidthFactor = cad.CadTextFactor;
    g.GraphicTextFont = "Arial";
    return;
  }
  r.Skip();  // 30
  g.GraphicTextWidthFactor = r.Float();
  if (g.GraphicTextWidthFactor == 0) g.GraphicTextWidthFactor = 0.8L;
  r.Skip();  // 31
  g.GraphicTextFont = r.Text();
  if (r.Ended()) return;
  for (std::int32_t& colour : cad.CadUserColours) {  // 32
    r.Skip();
    colour = r.Int();
    if (colour == 0) colour = 1;
  }
  if (r.Ended()) return;
  r.Skip();  // 33
  g.TextProgramPath = r.Text();
  r.Skip();  // 34
  c.DatabaseMode = r.Int();
  r.Skip();  // 35
  g.TableEditorPath = r.Text();
  if (r.Ended()) return;
  r.Skip();  // 36
  g.ScreendumpOriginX = r.Int();
  r.Skip();
  g.ScreendumpOriginY = r.Int();
  r.Skip();  // 37
  g.ScreendumpScale = r.Real48Value();
  if (g.ScreendumpScale == 0) {
    g.ScreendumpScale = 1.0L;
    g.PrintScaleVertical = 1.0L;
  }
  r.Skip();  // 38
  g.PrintBorder = r.True(g.PrintBorder);
  cad.BorderFlag = g.PrintBorder;
  if (r.Ended()) return;
  r.Skip();  // 39
  {
    // Up to five command lines are kept; further lines are read past so
    // that the later rows stay in place.
    const std::int32_t n = r.Int();
    for (std::int32_t i = 2; i <= n && !r.Ended(); ++i) {
      if (i <= 5) {
        cad.CadPlotCommandLines[static_cast<std::size_t>(i - 1)] = r.Text();
      } else {
        r.Skip();
      }
    }
    cad.CadPlotLineCount = static_cast<std::int16_t>(std::clamp(n, 1, 5));
  }
  r.Skip();  // 40
  if (!r.Ended()) g.ArchiveFlag = r.True(g.ArchiveFlag);
  r.Skip();  // 41
  if (!r.Ended()) g.DateFormat = r.IntAs<std::int16_t>();
  OutsideGives<std::int16_t>(g.DateFormat, 1, 4, 1);
  r.Skip();  // 42
  if (!r.Ended()) g.TopMarginLines = r.Int();
  OutsideGives(g.TopMarginLines, 0, 30, 0);
  r.Skip();  // 43
  if (!r.Ended()) g.OutputTarget = r.IntAs<std::int16_t>();
  OutsideGives<std::int16_t>(g.OutputTarget, 1, 9, 1);
  r.Skip();  // 44
  if (!r.Ended()) g.AskOutputTarget = r.True(g.AskOutputTarget);
  r.Skip();
  if (!r.Ended()) c.SmallOnlineWindow = r.True(c.SmallOnlineWindow);
  r.Skip();
  if (!r.Ended()) cad.EnterDiagramLimits = r.True(cad.EnterDiagramLimits);
  r.Skip();  // 45
  cad.DecimalCommaMode = r.IntAs<std::int16_t>();
  OutsideGives<std::int16_t>(cad.DecimalCommaMode, 1, 2, 1);
  r.Skip();  // 46
  c.DefaultDataFolder = r.Text();
  if (c.DefaultDataFolder.empty()) {
    c.DefaultDataFolder = AddBackslash(g.StartFolder);
    c.FilledByReader.DefaultDataFolder = c.DefaultDataFolder;
  }
  r.Skip();  // 47
  if (!r.Ended()) g.GraphicTextHeightFactor = r.Float();
  if (g.GraphicTextHeightFactor < 0.1L) g.GraphicTextHeightFactor = 1.0L;
  r.Skip();  // 48
  if (!r.Ended()) g.DialogSizePercent = r.Int();
  OutsideGives(g.DialogSizePercent, 10, 1000, 100);
  r.Skip();  // 49
  g.HtmlBrowserPath = r.Text();
  if (r.Ended()) return;

  // Rows 50..81: a value past the end of the file keeps the setting's
  // value; each row's substitution applies in any case.
  r.Skip();  // 50
  if (!r.Ended()) g.PrintScaleVertical = r.Real48Value();
  if (g.PrintScaleVertical < 0.0001L) g.PrintScaleVertical = g.ScreendumpScale;
  r.Skip();  // 51
  for (std::int32_t& w : cad.CadLayerWidths) {
    if (!r.Ended()) w = r.Int();
    OutsideGives(w, 1, 255, 1);
  }
  r.Skip();  // 52
  if (!r.Ended()) g.GraphicPrintDialog = r.True(g.GraphicPrintDialog);
  r.Skip();  // 53
  if (!r.Ended()) {
    std::string a, b, cc, d;
    ReadTextLineFields4(a, b, cc, d);
    Reader::Counted();
    const std::int32_t width = TextToInt(cc), height = TextToInt(d);
    if (width > 0 && height > 0) {
      g.TextWindowLeft = TextToInt(a);
      g.TextWindowTop = TextToInt(b);
      g.TextWindowWidth = width;
      g.TextWindowHeight = height;
    }
  }
  r.Skip();  // 54
  if (!r.Ended()) g.UnitSystem = r.IntAs<std::int16_t>();
  r.Skip();  // 55
  if (!r.Ended()) g.PageHeadMode = r.IntAs<std::int16_t>();
  OutsideGives<std::int16_t>(g.PageHeadMode, 1, 2, 1);
  r.Skip();  // 56
  if (!r.Ended()) g.TextFontPrintout = r.Text();
  if (g.TextFontPrintout.empty()) g.TextFontPrintout = "Courier New";
  r.Skip();  // 57
  if (!r.Ended()) g.TextSizePrintout = r.Int();
  if (g.TextSizePrintout == 0) g.TextSizePrintout = 10;
  r.Skip();  // 58
  if (!r.Ended()) g.TextStylePrintout = r.Int();
  r.Skip();
  if (!r.Ended()) g.GraphicTextStyle = r.Int();
  r.Skip();  // 59
  if (!r.Ended()) g.PrinterOrientation = r.Int();
  r.Skip();  // 60
  if (!r.Ended()) c.Edit3DAngles = r.NotFalse(c.Edit3DAngles);
  r.Skip();  // 61
  for (Real& angle : c.Default3DAngles)
    if (!r.Ended()) angle = r.Float();
  if (!r.Ended()) c.DrawingIndexStyle = r.IntAs<std::int16_t>();
  if (!r.Ended()) c.SpreadsheetDecimalMode = r.IntAs<std::int16_t>();
  if (c.SpreadsheetDecimalMode == 0) c.SpreadsheetDecimalMode = 2;
  if (!r.Ended()) c.ReleaseFieldText = r.Text();
  r.Skip();  // 62
  if (!r.Ended()) cad.DxfDecimals = r.Int();
  OutsideGives(cad.DxfDecimals, 1, 32, 6);
  r.Skip();  // 63
  if (!r.Ended()) g.TextOutputConversion = r.IntAs<std::int16_t>();
  if (g.TextOutputConversion == 0) g.TextOutputConversion = 1;
  r.Skip();  // 64
  for (std::int32_t& w : cad.CadUserWidths)
    if (!r.Ended()) w = r.Int();

  // Unlabelled rows 65..81.
  if (!r.Ended()) g.PlainTextMode = r.IntAs<std::int16_t>();
  if (!r.Ended()) g.DialogElementPercent = r.Int();
  OutsideGives(g.DialogElementPercent, 10, 1000, 100);
  if (!r.Ended()) c.AngleFormat = r.IntAs<std::int16_t>();
  OutsideGives<std::int16_t>(c.AngleFormat, 1, 2, 2);
  if (!r.Ended()) cad.CadUnitFactor = r.Float();
  if (cad.CadUnitFactor == 0) cad.CadUnitFactor = 1.0L;
  if (!r.Ended()) g.PrintoutSectionMask = r.Int();
  if (!r.Ended()) c.LanguageNumber = r.Int();
  if (!r.Ended()) c.CurrentDrawingKind = r.IntAs<std::int16_t>();
  for (Byte* flag : {&c.HideMakerTitle, &c.HideFileName, &c.HideDate, &c.HideLogo, &cad.FooterOff,
                     &c.HideTitleBlock, &c.NotCurrentFile, &c.SaveMenuLanguage})
    if (!r.Ended()) *flag = r.True(*flag);
  if (c.SaveMenuLanguage == 0) c.LanguageNumber = 0;
  if (!r.Ended()) c.TitleBlockKind = r.IntAs<std::int16_t>();
  // Colours: any number from 0 (black) up to 0x00FFFFFF; other lines leave
  // the entry as it is.
  for (int i = 0; i <= 15 && !r.Ended(); ++i) {
    std::int64_t v = 0;
    if (TryTextToInt(r.Text(), v) && v >= 0 && v <= 0xFFFFFF) g.ColourTable[i] = static_cast<std::uint32_t>(v);
  }
}

// ------------------------------------------------------------------ writer

// Texts never carry a line break into the file.
std::string OneLine(std::string_view s) {
  std::string t(s);
  std::replace(t.begin(), t.end(), '\n', ' ');
  return t;
}

Real Finite(Real x) { return std::isfinite(x) ? x : 0.0L; }

// Three significant digits, independent of the display preference.
std::string SigText(Real x) {
  std::int32_t& decimals = G().DecimalsSetting;
  const std::int32_t saved = decimals;
  decimals = 3;
  std::string s = FloatToStrSig(Finite(x));
  decimals = saved;
  return s;
}

long long RoundedInt(Real x) {
  x = Finite(x);
  return std::llround(std::clamp(x, Real(INT32_MIN), Real(INT32_MAX)));
}

void WriteRows() {
  const BaseGlobals& g = G();
  const CadSettingsRecord& cad = CadSettings();
  const ConfigSettings& c = Config();
  auto S = [](std::string_view s) { WriteTextLine(OneLine(s)); };
  auto I = [](long long n) { WriteTextLineInt(n); };
  auto B = [](Byte b) { WriteTextLineChar(b); };
  auto F = [](Real x) { WriteTextLineFloat(Finite(x)); };

  S(g.ProgramShortName + " Konfiguration");  // 1
  S("Version " + g.ProgramVersion);          // 2
  for (int i = 1; i <= 5; ++i) {             // 3
    S("Layer");
    S(cad.CadLayerNames[i]);
    S("Farbe");
    I(cad.CadLayerColours[i]);
  }
  S("Textstil CAD");  // 4
  S(cad.CadTextStyleName);
  S("Textbreitenfaktor CAD");  // 5
  S(SigText(cad.CadTextFactor));
  S("Textwinkel");  // 6
  S(SigText(cad.CadTextObliqueAngle));
  S("CAD Ordner");  // 7
  S(cad.CadFolder);
  S("DBF Ordner");
  S(g.DbfFolder);
  S("Hilfegrad");  // 8
  I(g.HelpLevel);
  S("Druckerschnittstelle");  // 9
  I(g.PrinterPortNumber);
  S("Druckertyp");  // 10
  I(c.PrinterType);
  S("Druckdichte");
  I(c.PrintDensity);
  S("Hardcopy um 90° gedreht ?"_oem);  // 11
  S(std::string(1, c.HardcopyRotated == '\0' || c.HardcopyRotated == '\n' ? 'N' : c.HardcopyRotated));
  S("Dezimalstellen");  // 12
  I(g.DecimalsSetting);
  S("Druckdicke vertikal");  // 13
  I(c.PrintThicknessVertical);
  S("Farbgrafik");  // 14
  B(c.ColourGraphics);
  S("GrafikKorrekturFaktor horizontal");  // 15
  S(SigText(g.GraphicCorrectionFactorX));
  S("Grafik-Mode");  // 16
  I(c.GraphicsMode);
  S("Grafik-Treiber");
  I(c.GraphicsDriver);
  S("Auflösung horizontal"_oem);  // 17
  I(c.ResolutionX == c.FilledByReader.ResolutionX ? 0 : c.ResolutionX);
  S("Auflösung vertikal"_oem);
  I(c.ResolutionY == c.FilledByReader.ResolutionY ? 0 : c.ResolutionY);
  S("Ordner für temporäre Dateien"_oem);  // 18
  S(g.TempFolder);
  S("Druckerschnittstelle Hardcopy");  // 19
  I(c.HardcopyPrinterPort);
  S("EDI Ordner");  // 20
  S(c.EdiFolder);
  S("PLT Ordner");
  S(g.HelpFolder);
  S("Mode für Textausdruck 1:* 2:-"_oem);  // 21
  I(g.ReportLineStyle);
  S("Zeilen pro Seite für Drucker"_oem);  // 22
  I(g.LinesPerPage);
  S("Zoomfaktor");  // 23
  F(g.ZoomFactor);
  S("Pan-Faktor");  // 24
  F(g.PanFactor);
  S("TALMORE-Programmverzeichnis");  // 25
  S(c.TalmoreProgramFolder);
  S("GRAVELO-Kommandozeile");  // 26
  S(cad.CadPlotCommandLines[0]);
  S("Hintergrundfarbe");  // 27
  I(g.BackgroundColour);
  S("Windows-Druckmodus (1=mono 2=color)");  // 28
  I(g.PrintColourMode);
  S("Layer Monochrom");  // 29
  B(cad.CadMonochromeLayers);
  S("Textbreitenfaktor Grafik");  // 30
  F(g.GraphicTextWidthFactor);
  S("Textstil Grafik");  // 31
  S(g.GraphicTextFont);
  for (int i = 0; i < 16; ++i) {  // 32
    S("Color Layer " + IntToText(16 + i));
    I(cad.CadUserColours[static_cast<std::size_t>(i)]);
  }
  S("Textprogramm");  // 33
  S(g.TextProgramPath);
  S("Datenbank mode");  // 34
  I(c.DatabaseMode);
  S("externe Datenbank");  // 35
  S(g.TableEditorPath);
  S("Windows Screendump Origin X");  // 36
  I(RoundedInt(g.ScreendumpOriginX));
  S("Windows Screendump Origin Y");
  I(RoundedInt(g.ScreendumpOriginY));
  S("Windows Screendump Scale");  // 37
  F(g.ScreendumpScale);
  S("Windows Screendump Border ?");  // 38
  B(g.PrintBorder);
  S("GRAVELO Command lines (n, line 2 .. line n)");  // 39
  {
    const int n = std::clamp<int>(cad.CadPlotLineCount, 1, 5);
    I(n);
    for (int i = 2; i <= n; ++i) S(cad.CadPlotCommandLines[static_cast<std::size_t>(i - 1)]);
  }
  S("Archive Flag ?");  // 40
  B(g.ArchiveFlag);
  S("Date Code");  // 41
  I(g.DateFormat);
  S("Header Space Lines");  // 42
  I(g.TopMarginLines);
  S("Text Device");  // 43
  I(g.OutputTarget);
  S("Text Device Window ?");  // 44
  B(g.AskOutputTarget);
  S("Small Online Window ?");
  B(c.SmallOnlineWindow);
  S("Enter Diagram Limits ?");
  B(cad.EnterDiagramLimits);
  S("Dot=1 Komma=2");  // 45
  I(cad.DecimalCommaMode);
  S("Default Data Directory");  // 46
  S(!c.FilledByReader.DefaultDataFolder.empty() && c.DefaultDataFolder == c.FilledByReader.DefaultDataFolder
        ? std::string()
        : c.DefaultDataFolder);
  S("Text Height Factor");  // 47
  F(g.GraphicTextHeightFactor);
  S("Input Window Scale %");  // 48
  I(g.DialogSizePercent);
  S("HTML Browser");  // 49
  S(g.HtmlBrowserPath);
  S("Print Scale Vertical");  // 50
  F(g.PrintScaleVertical);
  S("Line thickness Layer 0..5");  // 51
  for (std::int32_t w : cad.CadLayerWidths) I(w);
  S("Graphic Printout Dialog Box ?");  // 52
  B(g.GraphicPrintDialog);
  S("Text window left/top/width/height");  // 53
  WriteTextLineFields4(IntToText(g.TextWindowLeft), IntToText(g.TextWindowTop), IntToText(g.TextWindowWidth),
                       IntToText(g.TextWindowHeight));
  S("Metric Units=0,  English units=1");  // 54
  I(g.UnitSystem);
  S("printout with header=1, header page 1 only=2");  // 55
  I(g.PageHeadMode);
  S("Text Font Printout");  // 56
  S(g.TextFontPrintout);
  S("Text Size Printout");  // 57
  I(g.TextSizePrintout);
  S("Text Style Printout");  // 58
  I(g.TextStylePrintout);
  S("Text Style Graphics");
  I(g.GraphicTextStyle);
  S("Printer: Portrait=1, Landscape=2");  // 59
  I(g.PrinterOrientation);
  S("Edit 3D x,y,z ?");  // 60
  B(c.Edit3DAngles);
  S("3D - Default x,y,z");  // 61
  for (Real angle : c.Default3DAngles) F(angle);
  I(c.DrawingIndexStyle);
  I(c.SpreadsheetDecimalMode);
  S(c.ReleaseFieldText);
  S("Decimals DXF,TXT");  // 62
  I(cad.DxfDecimals);
  S("CAD Text Mode");  // 63
  I(g.TextOutputConversion);
  S("Strichstärke Layer 16..31"_oem);  // 64
  for (std::int32_t w : cad.CadUserWidths) I(w);
  I(g.PlainTextMode);  // 65
  I(g.DialogElementPercent);
  I(c.AngleFormat);
  F(cad.CadUnitFactor);
  I(g.PrintoutSectionMask);
  I(c.LanguageNumber);  // 70
  I(c.CurrentDrawingKind);
  for (Byte flag : {c.HideMakerTitle, c.HideFileName, c.HideDate, c.HideLogo, cad.FooterOff, c.HideTitleBlock,
                    c.NotCurrentFile, c.SaveMenuLanguage})
    B(flag);
  I(c.TitleBlockKind);  // 80
  for (int i = 0; i <= 15; ++i) I(g.ColourTable[i]);  // 81
}

}  // namespace

// ---------------------------------------------------------------- settings

ConfigSettings::ConfigSettings() : Default3DAngles{-15 * kDegree, 90 * kDegree, 210 * kDegree} {}

ConfigSettings& Config() {
  static ConfigSettings c;
  return c;
}

void SetScreenMetrics(const ScreenMetrics& m) { Screen() = m; }
const ScreenMetrics& CurrentScreenMetrics() { return Screen(); }

namespace {
// H / (C + 46) + 0.009; 0 when the window gives no ratio.
double WindowRatio(int outerHeight, int clientHeight) {
  const double client = clientHeight + 46.0;
  if (client <= 0 || outerHeight <= 0) return 0;
  return outerHeight / client + 0.009;
}
int Percent(double p) { return p > 0 && p < 1e6 ? static_cast<int>(std::lround(p)) : 0; }
}  // namespace

int DialogSizePercentFor(int dpiY, int outerHeight, int clientHeight) {
  if (dpiY <= 0) return 0;
  return Percent(dpiY / 96.0 * WindowRatio(outerHeight, clientHeight) * 100);
}

int DialogElementPercentFor(int dialogSize, int dpiX, int outerHeight, int clientHeight) {
  const double x = WindowRatio(outerHeight, clientHeight) * dpiX / 96.0 * 100;
  if (x <= 0) return 0;
  return Percent(dialogSize / x * 100);
}

void ResetConfigDefaults() {
  Config() = ConfigSettings{};

  const CadSettingsRecord d{};
  CadSettingsRecord& cad = CadSettings();
  cad.CadLayerNames = d.CadLayerNames;
  cad.CadLayerColours = d.CadLayerColours;
  cad.CadLayerWidths = d.CadLayerWidths;
  cad.CadUserColours = d.CadUserColours;
  cad.CadUserWidths = d.CadUserWidths;
  cad.CadMonochromeLayers = d.CadMonochromeLayers;
  cad.DxfDecimals = d.DxfDecimals;
  cad.DecimalCommaMode = d.DecimalCommaMode;
  cad.CadUnitFactor = d.CadUnitFactor;
  cad.CadTextStyleName = d.CadTextStyleName;
  cad.CadTextFactor = d.CadTextFactor;
  cad.CadTextObliqueAngle = d.CadTextObliqueAngle;
  cad.CadPlotCommandLines = d.CadPlotCommandLines;
  cad.CadPlotLineCount = d.CadPlotLineCount;
  cad.CadFolder = d.CadFolder;
  cad.BorderFlag = d.BorderFlag;
  cad.FooterOff = d.FooterOff;
  cad.EnterDiagramLimits = d.EnterDiagramLimits;

  const BaseGlobals b{};
  BaseGlobals& g = G();
  g.DbfFolder.clear();
  g.HelpFolder.clear();
  g.TempFolder.clear();
  g.HelpLevel = b.HelpLevel;
  g.DecimalsSetting = b.DecimalsSetting;
  g.ReportLineStyle = b.ReportLineStyle;
  g.LinesPerPage = b.LinesPerPage;
  g.PrinterPortNumber = b.PrinterPortNumber;
  g.PrintoutSectionMask = b.PrintoutSectionMask;
  g.PrintColourMode = b.PrintColourMode;
  g.UnitSystem = b.UnitSystem;
  g.PlainTextMode = b.PlainTextMode;
  g.TextOutputConversion = b.TextOutputConversion;
  g.DateFormat = b.DateFormat;
  g.OutputTarget = b.OutputTarget;
  g.AskOutputTarget = b.AskOutputTarget;
  g.PageHeadMode = b.PageHeadMode;
  g.TopMarginLines = b.TopMarginLines;
  g.DialogSizePercent = b.DialogSizePercent;
  g.DialogElementPercent = b.DialogElementPercent;
  g.TableEditorPath = b.TableEditorPath;
  g.TextProgramPath = b.TextProgramPath;
  g.HtmlBrowserPath = b.HtmlBrowserPath;
  g.ArchiveFlag = b.ArchiveFlag;
  g.ZoomFactor = b.ZoomFactor;
  g.PanFactor = b.PanFactor;
  g.GraphicCorrectionFactorX = b.GraphicCorrectionFactorX;
  g.BackgroundColour = b.BackgroundColour;
  g.GraphicTextFont = b.GraphicTextFont;
  g.GraphicTextWidthFactor = b.GraphicTextWidthFactor;
  g.GraphicTextHeightFactor = b.GraphicTextHeightFactor;
  g.GraphicTextStyle = b.GraphicTextStyle;
  g.PrintBorder = b.PrintBorder;
  g.GraphicPrintDialog = b.GraphicPrintDialog;
  g.TextWindowLeft = b.TextWindowLeft;
  g.TextWindowTop = b.TextWindowTop;
  g.TextWindowWidth = b.TextWindowWidth;
  g.TextWindowHeight = b.TextWindowHeight;
  g.TextFontPrintout = b.TextFontPrintout;
  g.TextSizePrintout = b.TextSizePrintout;
  g.TextStylePrintout = b.TextStylePrintout;
  g.ScreendumpScale = b.ScreendumpScale;
  g.PrintScaleVertical = b.PrintScaleVertical;
  g.ScreendumpOriginX = b.ScreendumpOriginX;
  g.ScreendumpOriginY = b.ScreendumpOriginY;
  g.PrinterOrientation = b.PrinterOrientation;
  InitDefaultColors();
}

// ----------------------------------------------------------------- places

std::string ConfigFileName() { return LowerStr(G().ProgramShortName) + ".cfg"; }

std::string UserConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = WithSlash(home != nullptr && home[0] != '\0' ? home : "/") + ".config";
  }
  return WithSlash(base) + "zeb1/";
}

std::string FindConfigFile() {
  const std::string name = ConfigFileName();
  std::vector<std::string> folders{CurrentDirectory(), UserConfigFolder()};
  const std::string exe = ExecutableFolder();
  if (!exe.empty()) folders.push_back(exe);
  for (const std::string& folder : folders) {
    const std::string path = ResolvePathCaseInsensitive(WithSlash(folder) + name);
    if (PathExists(path) && ReadableFile(path)) return path;
  }
  return {};
}

std::string ConfigFileWritePath() {
  const std::string found = FindConfigFile();
  return found.empty() ? UserConfigFolder() + ConfigFileName() : found;
}

std::string ShippedDataFolder() {
  std::filesystem::path dir = ExecutableFolder();
  for (int up = 0; up <= 4 && !dir.empty(); ++up) {
    if (PathIsDirectory((dir / "examples").string())) return WithSlash(dir.string());
    if (dir == dir.parent_path()) break;
    dir = dir.parent_path();
  }
  return {};
}

std::string ShippedHelpFolder() {
  std::filesystem::path dir = ExecutableFolder();
  for (int up = 0; up <= 4 && !dir.empty(); ++up) {
    if (PathIsRegularFile((dir / "help" / "zeb1.hlp").string())) return WithSlash((dir / "help").string());
    if (PathIsRegularFile((dir / "data" / "help" / "zeb1.hlp").string()))
      return WithSlash((dir / "data" / "help").string());
    if (dir == dir.parent_path()) break;
    dir = dir.parent_path();
  }
  return {};
}

std::string GeneratedTablesFolder() {
  std::filesystem::path dir = ExecutableFolder();
  for (int up = 0; up <= 4 && !dir.empty(); ++up) {
    if (PathIsRegularFile((dir / "dbf" / "zebwst.dbf").string())) return WithSlash((dir / "dbf").string());
    if (dir == dir.parent_path()) break;
    dir = dir.parent_path();
  }
  return {};
}

// ----------------------------------------------------------------- reading

namespace {
// Window size from the screen where the configuration leaves it open.
void ResolutionFromScreen() {
  ConfigSettings& c = Config();
  const ScreenMetrics& s = Screen();
  if (c.ResolutionX == 0 || c.ResolutionX == 65535) {
    c.ResolutionX = ScreenDerived(s.width, 9);
    c.FilledByReader.ResolutionX = c.ResolutionX;
  }
  if (c.ResolutionY == 0 || c.ResolutionY == 65535) {
    c.ResolutionY = ScreenDerived(s.height, 91);
    c.FilledByReader.ResolutionY = c.ResolutionY;
  }
}
}  // namespace

void CloseConfigWithScreenDefaults() {
  ResolutionFromScreen();
  TextFile& f = WorkTextFile();
  if (f.IsOpen() && !f.IsWriting()) f.Close();
}

void ApplyNoConfigDefaults() {
  ConfigSettings& c = Config();
  BaseGlobals& g = G();
  const ScreenMetrics& s = Screen();
  ResolutionFromScreen();
  g.TextWindowHeight = std::max(s.height - 80, 50);
  const int p = DialogSizePercentFor(s.logicalDpiY, s.mainOuterHeight, s.mainClientHeight);
  if (p >= 10 && p <= 1000) g.DialogSizePercent = p;
  // The shipped folders stand in for the program and table folders a
  // configuration names; data and EDI files stay in the working folder, so
  // a run never writes into the installation.
  const std::string root = ShippedDataFolder();
  if (!root.empty()) {
    c.TalmoreProgramFolder = root;
    g.DbfFolder = root;
    g.HelpFolder = root;
  }
  const std::string tables = GeneratedTablesFolder();
  if (!tables.empty()) g.DbfFolder = tables;
  if (!g.ShippedHelpFolder.empty()) g.HelpFolder = g.ShippedHelpFolder;
}

bool ReadConfigFile(std::string_view path) {
  const std::string p(path);
  TextFile& f = WorkTextFile();
  if (!ReadableFile(p) || f.IsOpen()) {
    G().AbortFlag = 1;
    return false;
  }
  if (FileLargerThan(p)) {
    ShowError("Konfigurationsdatei "_oem + FromUtf8(CodePage::Cp850, p) + " ist zu groß (über "_oem +
              std::to_string(kReadWholeLimit >> 20) + " MB), Voreinstellungen gelten"_oem);
    G().AbortFlag = 1;
    return false;
  }
  f.Assign(p);
  if (f.Reset() != 0) {
    G().AbortFlag = 1;
    return false;
  }
  G().AbortFlag = 0;
  // A file that is not a configuration (random bytes, another text) is
  // named with its first bad line, and none of it is taken.
  const BaseGlobals savedGlobals = G();
  const CadSettingsRecord savedCad = CadSettings();
  const ConfigSettings savedConfig = Config();
  gLineCheck = LineCheck{};
  ReadRows();
  const int bad = gLineCheck.firstBad;
  if (bad != 0) {
    f.Close();
    G() = savedGlobals;
    CadSettings() = savedCad;
    Config() = savedConfig;
    CloseConfigWithScreenDefaults();
    ShowError("Konfigurationsdatei "_oem + FromUtf8(CodePage::Cp850, p) + " beschädigt: Zeile "_oem +
              std::to_string(bad) + " ungültig, Voreinstellungen gelten"_oem);
    G().AbortFlag = 1;
    return false;
  }
  CloseConfigWithScreenDefaults();
  return true;
}

bool ReadConfigFile() {
  G().ShippedHelpFolder = ShippedHelpFolder();
  const std::string found = FindConfigFile();
  if (!found.empty()) {
    G().ProgramFolder = ExtractFolderPart(found);
    if (ReadConfigFile(found)) return true;
    // A damaged file stays where it is found, so that saving replaces it.
    if (PathIsRegularFile(found)) {
      ApplyNoConfigDefaults();
      G().AbortFlag = 1;
      return false;
    }
  }
  G().ProgramFolder = UserConfigFolder();
  ApplyNoConfigDefaults();
  G().AbortFlag = 1;
  return false;
}

// ----------------------------------------------------------------- writing

bool WriteSettingsFile(std::string_view path, const std::function<void()>& rows) {
  BaseGlobals& g = G();
  const std::string p(path);
  // A refused write is named with its cause; the file stays as it was.
  auto fail = [&](int code = 0) {
    g.AbortFlag = 1;
    ShowErrorBox("Datei nicht geschrieben: "_oem + FromUtf8(CodePage::Cp850, p) +
                 (code != 0 ? " (" + IoResultText(code) + ")" : std::string()));
    return false;
  };
  TextFile& f = WorkTextFile();
  if (f.IsOpen()) return fail();
  f.Assign(p);
  RewriteWithRetry(f);
  if (g.AbortFlag != 0) return fail();
  rows();
  if (g.AbortFlag != 0) {
    const int code = f.Write("");  // the write error that stopped the rows
    f.Discard();
    return fail(code);
  }
  if (const int code = f.Close(); code != 0) return fail(code);
  return true;
}

void EnsureUserConfigFolder(std::string_view folder) {
  const std::string user = UserConfigFolder();
  if (WithSlash(std::string(folder)) != user || PathIsDirectory(user)) return;
  std::error_code ec;
  std::filesystem::create_directories(user, ec);
}

void WriteConfigFile(std::string_view path) {
  if (G().AbortFlag != 0) return;
  WriteSettingsFile(path, WriteRows);
}

void WriteConfigFile() {
  if (G().AbortFlag != 0) return;
  EnsureUserConfigFolder(G().ProgramFolder);
  WriteConfigFile(AddBackslash(G().ProgramFolder) + ConfigFileName());
}

// ----------------------------------------------------------- folder check

namespace {
bool BlankOnly(std::string_view s) { return WithoutBlanks(s).empty(); }
}  // namespace

void CheckConfigFolders() {
  BaseGlobals& g = G();
  ConfigSettings& c = Config();
  // Only folders a configuration names are checked: a folder left open
  // takes the working folder (or the system's temporary folder), and a
  // read-only working folder is named when something is saved there.
  const bool tempConfigured = !BlankOnly(g.TempFolder);
  const bool ediConfigured = !BlankOnly(c.EdiFolder);
  const bool dataConfigured = !BlankOnly(c.DefaultDataFolder) &&
                              (c.FilledByReader.DefaultDataFolder.empty() ||
                               c.DefaultDataFolder != c.FilledByReader.DefaultDataFolder);
  if (!tempConfigured) {
    g.TempFolder = GetEnvVar("TEMP");
    if (g.TempFolder.empty()) g.TempFolder = AddBackslash(g.StartFolder);
  }
  if (BlankOnly(g.DbfFolder)) g.DbfFolder = AddBackslash(c.TalmoreProgramFolder);
  if (BlankOnly(g.HelpFolder)) g.HelpFolder = AddBackslash(c.TalmoreProgramFolder);
  if (!ediConfigured) c.EdiFolder = AddBackslash(g.StartFolder);
  if (BlankOnly(c.DefaultDataFolder)) c.DefaultDataFolder = AddBackslash(g.StartFolder);

  if (!BlankOnly(CadSettings().CadFolder) && !IsFolderWritable(CadSettings().CadFolder))
    ShowError("ungültiger CAD Ordner konfiguriert"_oem);
  if (!FolderExistsByFind(g.DbfFolder)) ShowError("ungültiger DBF Ordner konfiguriert"_oem);
  if (!FolderExistsByFind(g.HelpFolder)) ShowError("ungültiger PLT Ordner konfiguriert"_oem);
  if (tempConfigured && !IsFolderWritable(g.TempFolder)) {
    ShowError("ungültiger Ordner für temporäre Dateien konfiguriert"_oem);
    // The folder is a file-system path; the dialog shows code page 850.
    // Cancelling keeps the folder and aborts nothing else.
    const Byte abort = g.AbortFlag;
    g.AbortFlag = 0;
    const std::string shown = FromUtf8(CodePage::Cp850, g.TempFolder);
    std::string text = shown;
    InputText("Ordner für temporäre Dateien"_oem, 60, text);
    if (g.AbortFlag == 0 && text != shown) g.TempFolder = ToUtf8(CodePage::Cp850, text);
    g.AbortFlag = abort;
  }
  if (ediConfigured && !IsFolderWritable(c.EdiFolder)) ShowError("ungültiger EDI Ordner konfiguriert"_oem);
  if (dataConfigured && !IsFolderWritable(c.DefaultDataFolder))
    ShowError("ungültiger Data Ordner konfiguriert"_oem);
}

}  // namespace zeb
