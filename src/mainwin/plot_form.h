// The plot-program command-line form and the colour picker as models.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

struct PlotCommandForm {
  std::string programPath = "c:\\gravelo\\wgravelo";  // Edit_graveloPath
  int format = 0;     // RadioGroup_outcode: HPL, PS, PLT, PL2, ART
  int interface = 1;  // RadioGroup_d: serial, parallel, file
  std::string com = "1", lpt = "1";
  std::string outputFolder;  // Edit_outdir (UTF-8 path)
  std::string scale = "1";
  bool fitScale = false;  // CheckBox_scale
  bool rotate = false;    // CheckBox_rotate
  std::string xShift = "0", yShift = "0", textWidth = "1";
  std::string psFont;  // ComboBox_psfont text
  // The line the caller gave; the result until a control changes.
  std::string given;
  bool changed = false;
};

// Start values with the temporary folder as output folder.
PlotCommandForm StartPlotCommandForm(std::string_view given);
std::string BuildPlotCommandLine(const PlotCommandForm& f);
// What OK returns.
std::string PlotCommandResult(const PlotCommandForm& f);
// Any control changed: from now on the built line is the result.
void PlotControlChanged(PlotCommandForm& f);
// "Maßstab anpassen ?": ticked puts "0" into the scale.
void SetFitScale(PlotCommandForm& f, bool on);
// Which of Edit_com, Edit_lpt, Edit_outdir is enabled.
std::array<bool, 3> PlotInterfaceFields(const PlotCommandForm& f);
bool PlotFontEnabled(const PlotCommandForm& f);
const std::vector<std::string>& PostScriptFontNames();

// The colour names of the numbers 1..16 into LineTable 1..16 (code page 850).
void FillColourNames();
// Lines of the picker (1252): "1 (rot)" .. "16 (schwarz)".
std::vector<std::string> ColourPickerLines();
// The list line to select for a colour number (-1 outside 1..16).
int ColourPickerIndex(int colour);
// The number after the picker: the chosen line + 1 on OK with a line
// selected; otherwise the old number. AbortFlag is 0 afterwards.
int ColourPickerResult(int oldColour, bool ok, int selectedIndex);

}  // namespace zeb
