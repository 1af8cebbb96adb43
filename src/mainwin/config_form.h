// The configuration dialog as a model without widgets: the controls' state
// (texts in Windows code page 1252, selections 0-based), the fill step from
// the settings, the apply step back into them and the "<" button rules.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "mainwin/input_forms.h"

namespace zeb {

struct ConfigForm {
  // Directories (UTF-8 paths as stored).
  std::string dirDbf, dirExe, dirHelp, dirTemp, dirEdi, dirData, dirCad;
  // Grafik.
  int colourGraphics = 0;  // 0 color, 1 monochrom
  std::string resX, resY;  // setting + 1
  std::string font;
  int fontStyle = 0;
  std::string textWidthFactor, textHeightFactor, zoomFactor, panFactor;
  bool border = false;
  int dialogSize = 100, dialogElements = 100;
  bool edit3d = false;
  std::array<std::string, 3> angles3d;  // degrees
  bool footerLine = true;
  // CAD: layer grid rows 0..4 are layers 5..1.
  std::array<std::string, 5> layerName, layerColour, layerWidth;
  bool layerMonochrome = false;
  std::string cadFont, cadTextWidth, cadTextAngle;
  bool askDiagramLimits = false;
  int cadDecimals = 6;
  int cadTextType = 0;
  // Farbe: colour grid rows for layers 16..31; the colour panels hold
  // ColourTable[0..15] (0x00BBGGRR).
  std::array<std::string, 16> colourLayerColour, colourLayerWidth;
  std::array<std::uint32_t, 16> panelColours{};
  // Drucker.
  std::string printScale, printScaleY, printOriginX, printOriginY;
  int printMono = 0, orientation = 0;
  bool printerDialogBox = false;
  int lpt = 0;
  // Ausdruck.
  int lineStyle = 0;
  int linesPerPage = 66, spaceLines = 0;
  int date = 0;
  std::string outputTarget;  // the target's name
  bool askOutputTarget = false;
  std::string textLeft, textTop, textWidth, textHeight;
  int pageHead = 0;
  std::string printoutFont;
  int printoutFontSize = 10, printoutFontStyle = 0;
  int angleFormat = 0;
  // Einstellungen.
  int helpLevel = 1, decimalComma = 0, spreadsheetDecimal = 0;
  int decimals = 3;
  bool archiveMode = false;
  int plainText = 0, drawingKind = 0;
  bool currentFile = true;
  int unitSystem = 0;
  bool saveMenuLanguage = false;
  // Extern.
  std::array<std::string, 5> plotLines;
  std::string textProgram, htmlBrowser;
  // Zeichnung.
  int indexStyle = 0;
  std::string releaseField;  // 1252
  std::string dimensionFactor;
  bool makerTitle = true, fileName = true, dateShown = true, logo = true, titleBlock = true;
  int titleBlockKind = 0;
};

// Ranges of the spin edits: minimum, maximum.
struct SpinRange {
  int min, max;
};
inline constexpr SpinRange kLinesPerPageRange{1, 999};
inline constexpr SpinRange kSpaceLinesRange{0, 30};
inline constexpr SpinRange kDialogPercentRange{30, 300};
inline constexpr SpinRange kCadDecimalsRange{3, 16};
inline constexpr SpinRange kDecimalsRange{3, 6};

// Every control from the settings; spin values held within their ranges,
// an internal output target (8, 9) shown as target 1.
ConfigForm FillConfigForm();
// OK, "&Speichern" and "Export" first: every number field whose text was
// typed (differs from the setting's) must be a number. The first that is
// not is refused with a message naming its label, gets the setting's text
// back, is named in *refusal, and the check gives false.
bool CheckConfigForm(ConfigForm& f, FieldRefusal* refusal);
// Every control back into its setting with the corrections of the
// dialog (factors 0 become 1, window size from the screen, text window
// inside the screen, dimension factor at least 0.01).
void ApplyConfigForm(const ConfigForm& f);
// The names of output targets 1..7 offered by the combo box.
std::array<std::string, 7> ConfigOutputTargetNames();

// "&Speichern": apply and write the configuration file.
void SaveConfigForm(const ConfigForm& f);
// "Export": apply and write the settings to path (empty: cancelled,
// AbortFlag := 1, nothing written).
void ExportConfigForm(const ConfigForm& f, std::string_view path);
// "Import": reads only path and fills the form again. An unreadable file
// gives an error box naming it and changes nothing; an empty path is a
// cancel (AbortFlag := 1).
bool ImportConfigForm(ConfigForm& f, std::string_view path);

// "<" buttons.
void DefaultTextWindow(ConfigForm& f);  // Button_Textwindow
void DefaultLayer(ConfigForm& f, int layer);  // Button_layer1..5

// Button_aufloesung: the window size that fills the screen, from the
// screen size and the main window's client and outer size.
int ScreenFillingWidth(int screenWidth, int clientWidth, int outerWidth);
int ScreenFillingHeight(int screenHeight, int clientHeight, int outerHeight);
// Puts that size into Edit_x and Edit_y and resizes the main window.
void FitWindowToScreen(ConfigForm& f);
// Leaving Edit_x or Edit_y: the main window's client area takes each
// positive value.
void ResizeMainWindow(const ConfigForm& f);
// Button_dialogsize and Button_dialogelemente: the sizes that suit the
// main window at the screen's resolution (within the spin range).
void DialogSizeFromWindow(ConfigForm& f);
void DialogElementsFromWindow(ConfigForm& f);

// Button_dick1..3: every width of the colour grid.
void SetColourLayerWidths(ConfigForm& f, int width);
// Button_resetcolor: ColourTable back to its start values at once, then
// the whole form filled again from the settings.
void ResetColours(ConfigForm& f);

// Button_confgravelo: the plot-program dialog edits line selected (0..4;
// any other value takes line 0); OK replaces it. Returns the line edited.
int ConfigurePlotLine(ConfigForm& f, int selected);
// Button_editgravelocommandline: the text input edits line selected
// (nothing without a selected line); Cancel leaves it.
void EditPlotLineText(ConfigForm& f, int selected);
// The browse pattern of the text program and the HTML browser.
inline constexpr const char* kProgramPattern = "*";

}  // namespace zeb
