// The print set-up form as a model: the print settings of the graphics
// printout, presets in the table "printout.dbf", the print itself, and the
// rows of the printer information.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zeb {

struct PrintSetupForm {
  std::string scaleX, scaleY, originX, originY;  // the four edits
  bool fit = false;     // CheckBox_anpassen
  bool border = false;  // CheckBox_umrandung
  int orientation = 0;  // RadioGroup_hochquer: 0 portrait, 1 landscape
  int colour = 0;       // RadioGroup_printmono: 0 monochrome, 1 colour
};

// Creation: the print values by printer mode (mode 2: scale x 1.8 as the
// print macro prints, y 1, origins 0, no border, portrait; other modes the
// configured values), then the form shows them.
PrintSetupForm StartPrintSetup();
// The printer's name right-justified in 40 characters.
std::string PrinterLabel(std::string_view name);
// The fields into the print settings and the printer's orientation.
void TakeOverPrintSetup(const PrintSetupForm& f);
// OK: set-up mode shows the printer information (no job is sent); print
// mode resets the view when fit is ticked and prints the graphics window.
void PrintSetupOk(const PrintSetupForm& f, bool setupMode, const std::function<void()>& showPrinterInfo);
// "Datenbank": a preset picked in the table browser into the form; false
// (form unchanged) when the table is missing or the choice cancelled.
bool LoadPrintPreset(PrintSetupForm& f);
// "Übernehmen": the form as a new preset under a name asked for; nothing
// is written when the append lock fails (the table layer's box).
void AppendPrintPreset(const PrintSetupForm& f);
// The record of the last preset loaded (0 = none); kept while the program runs.
int& LastPresetRecord();

// What the printer information lists.
struct PrinterFacts {
  std::string name;  // UTF-8
  int widthMm = 0, heightMm = 0;          // printable area
  int widthPx = 0, heightPx = 0;          // printable area in device pixels
  int offsetXPx = 0, offsetYPx = 0;       // page minus paper rectangle
  int dpiX = 0, dpiY = 0;
  std::string driver;                     // make and model, UTF-8; empty: unknown
  int technology = -1;                    // 0 plotter, 2 raster printer, 5 file of drawing commands
  long long colours = 0;                  // colours the device prints; 0: unknown
  std::vector<std::string> fonts;         // UTF-8
};
// The printer technology's name; "?" for a value outside the table.
std::string PrinterTechnologyText(int technology);
// Rows of the two-column grid (UTF-8): 16 fixed rows, then one a font; at
// least 20 rows.
std::vector<std::pair<std::string, std::string>> PrinterInfoRows(const PrinterFacts& p);

}  // namespace zeb
