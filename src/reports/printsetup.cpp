#include "reports/printsetup.h"

#include <filesystem>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/services.h"
#include "base/text.h"
#include "platform/codepage.h"
#include "platform/real48.h"
#include "reports/printjob.h"

namespace zeb {

namespace {

// Opens "printout.dbf" by its path when it is there, else by name (the
// table layer reports a missing table); false when it failed.
bool OpenPresetTable() {
  G().AbortFlag = 0;
  std::string folder = G().DbfFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string path = folder + "printout.dbf";
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec))
    Tables().TableOpenFile(path);
  else
    Tables().TableOpen("printout");
  return G().AbortFlag == 0;
}

std::string IntText(Real x) { return IntToText(static_cast<long long>(x)); }

// A value as the 6-byte real it is stored in (0 when out of its range).
Real48 AsReal48(Real x) {
  Real48 r{};
  if (!RealToReal48(x, r)) RealToReal48(0.0L, r);
  return r;
}

}  // namespace

int& LastPresetRecord() {
  static int record = 0;
  return record;
}

PrintSetupForm StartPrintSetup() {
  BaseGlobals& g = G();
  if (g.PrinterMode == 2) {
    g.PrintScaleX = 1.8L;
    g.PrintScaleY = 1.0L;
    g.PrintOriginX = g.PrintOriginY = 0;
    g.PrintBorder = 0;
    Printer().SetLandscape(false);
  } else {
    g.PrintScaleX = g.ScreendumpScale;
    g.PrintScaleY = g.PrintScaleVertical;
    g.PrintOriginX = g.ScreendumpOriginX;
    g.PrintOriginY = g.ScreendumpOriginY;
    Printer().SetLandscape(g.PrinterOrientation != 1);
  }
  PrintSetupForm f;
  f.scaleX = FloatToStrSig(g.PrintScaleX);
  f.scaleY = FloatToStrSig(g.PrintScaleY);
  f.originX = IntText(g.PrintOriginX);
  f.originY = IntText(g.PrintOriginY);
  f.border = g.PrintBorder != 0;
  f.colour = g.PrintColourMode == 2 ? 1 : 0;
  f.orientation = Printer().Landscape() ? 1 : 0;
  return f;
}

std::string PrinterLabel(std::string_view name) { return PadLeftStr(LeftStr(name, 40), 40); }

void TakeOverPrintSetup(const PrintSetupForm& f) {
  BaseGlobals& g = G();
  g.PrintScaleX = Real48ToReal(AsReal48(TextToFloat(f.scaleX)));
  g.PrintScaleY = Real48ToReal(AsReal48(TextToFloat(f.scaleY)));
  g.PrintOriginX = TextToInt(f.originX);
  g.PrintOriginY = TextToInt(f.originY);
  g.PrintBorder = f.border ? 1 : 0;
  g.PrintColourMode = static_cast<std::int16_t>(f.colour + 1);
  Printer().SetLandscape(f.orientation == 1);
}

void PrintSetupOk(const PrintSetupForm& f, bool setupMode, const std::function<void()>& showPrinterInfo) {
  G().AbortFlag = 0;
  TakeOverPrintSetup(f);
  if (setupMode) {
    // The printer has taken the choice already; an empty job would print a
    // blank sheet.
    if (showPrinterInfo) showPrinterInfo();
    return;
  }
  GraphicsServices& w = Graphics();
  if (f.fit) {
    w.RestoreLimit();
    w.ResetZoom();
    w.ReSetWindow();
    w.ClearViewPort();
  }
  w.FormPaint();
  PrinterBeginDoc();
  w.FormPaint();
  PrinterEndDoc();
}

bool LoadPrintPreset(PrintSetupForm& f) {
  if (!OpenPresetTable()) return false;
  TableServices& t = Tables();
  t.TableSetTitles("Printout", "");
  if (LastPresetRecord() > 0) t.TableGo(LastPresetRecord());
  SetHelpTextNumber(1040);
  t.TableBrowse("", 0);
  const bool picked = G().AbortFlag == 0;
  if (picked) {
    LastPresetRecord() = t.TableRecNo();
    f.scaleX = TrimBlanks(t.TableGetField(2));
    f.scaleY = TrimBlanks(t.TableGetField(3));
    f.originX = TrimBlanks(t.TableGetField(4));
    f.originY = TrimBlanks(t.TableGetField(5));
    f.orientation = t.TableGetBoolByName("landscape") ? 1 : 0;
    f.colour = t.TableGetBoolByName("monochrom") ? 0 : 1;
    f.fit = t.TableGetBoolByName("variable");
    f.border = t.TableGetBoolByName("borderline");
  }
  t.TableClose();
  G().AbortFlag = 0;
  return picked;
}

void AppendPrintPreset(const PrintSetupForm& f) {
  if (!OpenPresetTable()) return;
  TableServices& t = Tables();
  std::string name;
  InputText("Name", 25, name);
  // The new record first: the writers fill the current record, which
  // before the append is a preset already stored.
  if (G().AbortFlag == 0 && t.TableAppend() != 0) {
    // The table functions take field texts as the engine does (Windows-1252).
    t.TablePutStrByName("name", Cp850To1252(name));
    t.TablePutFloatByName("xscale", AsReal48(TextToFloat(f.scaleX)));
    t.TablePutFloatByName("yscale", AsReal48(TextToFloat(f.scaleY)));
    t.TablePutIntByName("xorigin", TextToInt(f.originX));
    t.TablePutIntByName("yorigin", TextToInt(f.originY));
    t.TablePutBoolByName("landscape", f.orientation == 1);
    t.TablePutBoolByName("monochrom", f.colour == 0);
    t.TablePutBoolByName("variable", f.fit);
    t.TablePutBoolByName("borderline", f.border);
  }
  t.TableClose();
}

std::string PrinterTechnologyText(int technology) {
  static const char* const kNames[7] = {"Plotter", "Rasterbildschirm", "Rasterdrucker", "?",
                                        "Zeichendrucker", "Metafile", "?"};
  return technology >= 0 && technology < 7 ? kNames[technology] : "?";
}

std::vector<std::pair<std::string, std::string>> PrinterInfoRows(const PrinterFacts& p) {
  const auto n = [](int v) { return std::to_string(v); };
  // Brushes, pens and markers are counts of the Windows graphics interface;
  // no printer system here reports them, so they stay unknown.
  std::vector<std::pair<std::string, std::string>> rows{
      {"Name", p.name},
      {"Treiberversion", p.driver.empty() ? "?" : p.driver},
      {"Technologie", PrinterTechnologyText(p.technology)},
      {"Druckbreite (mm)", n(p.widthMm)},
      {"Druckhöhe (mm)", n(p.heightMm)},
      {"Breite (Pixel)", n(p.widthPx)},
      {"Höhe (Pixel)", n(p.heightPx)},
      {"Linker Seitenoffset (Pixel)", n(p.offsetXPx)},
      {"Oberer Seitenoffset (Pixel)", n(p.offsetYPx)},
      {"DPI (horizontal)", n(p.dpiX)},
      {"DPI (vertikal)", n(p.dpiY)},
      {"Pinsel", "?"},
      {"Stifte", "?"},
      {"Markierer", "?"},
      {"Farben", p.colours > 0 ? std::to_string(p.colours) : "?"},
      {"Schriften", n(static_cast<int>(p.fonts.size()))}};
  for (const std::string& font : p.fonts) rows.emplace_back("", font);
  while (rows.size() < 20) rows.emplace_back("", "");
  return rows;
}

}  // namespace zeb
