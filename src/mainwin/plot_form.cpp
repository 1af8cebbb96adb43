#include "mainwin/plot_form.h"

#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "platform/oem_literal.h"
#include "platform/process.h"

namespace zeb {

namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

PlotCommandForm StartPlotCommandForm(std::string_view given) {
  PlotCommandForm f;
  // The folder the plot file goes to; never the run's own, which is gone
  // when the line is used in a later session.
  f.outputFolder = PlotFolderForCommandLines();
  f.given = std::string(given);
  return f;
}

std::string BuildPlotCommandLine(const PlotCommandForm& f) {
  static const char* const kFormats[] = {"HPL", "PS", "PLT", "PL2", "ART"};
  // The plot file's path is one word of the line, blanks and all.
  const std::string plotFile = CommandWord(WithSlash(f.outputFolder) + "gravelo");
  std::string line = f.programPath + " " + plotFile;
  if (f.format >= 0 && f.format < 5) line += std::string(" /C") + kFormats[f.format];
  if (f.interface != 1) line += " /D" + IntToText(f.interface + 1);
  if (f.interface == 0 || f.interface == 1) {
    const std::int32_t port = TextToInt(f.interface == 0 ? f.com : f.lpt);
    if (port != 1) line += " /P" + IntToText(static_cast<long long>(port) + 1);
  } else if (f.interface == 2 && !WithoutBlanks(f.outputFolder).empty()) {
    line += " /F" + plotFile;
  }
  const Real scale = TextToFloat(f.scale);
  if (scale != 1.0L) line += scale != 0.0L ? " /M" + f.scale : std::string(" /M*");
  if (TextToFloat(f.xShift) != 0.0L) line += " /X" + f.xShift;
  if (TextToFloat(f.yShift) != 0.0L) line += " /Y" + f.yShift;
  if (TextToFloat(f.textWidth) != 1.0L) line += " /B" + f.textWidth;
  if (f.rotate) line += " /R";
  if (f.format == 1) line += " /T" + f.psFont;
  return line;
}

std::string PlotCommandResult(const PlotCommandForm& f) { return f.changed ? BuildPlotCommandLine(f) : f.given; }

void PlotControlChanged(PlotCommandForm& f) { f.changed = true; }

void SetFitScale(PlotCommandForm& f, bool on) {
  f.fitScale = on;
  if (on) f.scale = "0";
  f.changed = true;
}

std::array<bool, 3> PlotInterfaceFields(const PlotCommandForm& f) {
  return {f.interface == 0, f.interface == 1, f.interface == 2};
}

bool PlotFontEnabled(const PlotCommandForm& f) { return f.format == 1; }

const std::vector<std::string>& PostScriptFontNames() {
  static const std::vector<std::string> kNames{
      "Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic", "Helvetica", "Helvetica-Oblique",
      "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Narrow", "Helvetica-Narrow-Oblique",
      "Helvetica-Narrow-Bold", "Helvetica-Narrow-BoldOblique", "Courier", "Courier-Oblique", "Courier-Bold",
      "Courier-BoldOblique", "Palatino-Roman", "Palatino-Italic", "Palatino-Bold", "Palatino-BoldItalic",
      "AvantGarde-Book", "AvantGarde-Demi", "AvantGarde-BookOblique", "AvantGarde-DemiOblique", "Bookman-Light",
      "Bookman-Demi", "Bookman-LightItalic", "Bookman-DemiItalic", "NewCenturySchlbk-Roman",
      "NewCenturySchlbk-Bold", "NewCenturySchlbk-Italic", "NewCenturySchlbk-BoldItalic",
      "ZapfChancery-MediumItalic", "Symbol", "other fonts"};
  return kNames;
}

void FillColourNames() {
  static const std::string kNames[16] = {
      "rot"_oem,         "gelb"_oem,        "grün"_oem,       "cyan"_oem,          "blau"_oem,  "magenta"_oem,
      "weiß"_oem,        "dunkel blau"_oem, "dunkel grün"_oem, "dunkel cyan"_oem,  "dunkel rot"_oem,
      "dunkel magenta"_oem, "braun"_oem,    "hell grau"_oem,  "dunkel grau"_oem,   "schwarz"_oem};
  if (G().LineTable.size() < 17) G().LineTable.resize(17);
  for (int n = 1; n <= 16; ++n) G().LineTable[static_cast<std::size_t>(n)] = kNames[n - 1];
}

std::vector<std::string> ColourPickerLines() {
  std::vector<std::string> lines;
  for (int n = 1; n <= 16; ++n) {
    const std::string name =
        static_cast<std::size_t>(n) < G().LineTable.size() ? G().LineTable[static_cast<std::size_t>(n)] : "";
    lines.push_back(IntToText(n) + " (" + OemToAnsiStr(name) + ")");
  }
  return lines;
}

int ColourPickerIndex(int colour) { return colour >= 1 && colour <= 16 ? colour - 1 : -1; }

int ColourPickerResult(int oldColour, bool ok, int selectedIndex) {
  G().AbortFlag = 0;
  if (!ok || selectedIndex < 0 || selectedIndex > 15) return oldColour;
  return selectedIndex + 1;
}

}  // namespace zeb
