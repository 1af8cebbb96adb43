// Configured values the CAD output layer reads (the configuration file
// fills them at start-up), with their defaults, and the plot configuration
// form that edits one plot command line.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

struct CadSettingsRecord {
  // Layers 0..5 ("Layer", "Farbe", "Line thickness Layer 0..5").
  std::array<std::string, 6> CadLayerNames{"0", "1", "2", "3", "4", "5"};
  std::array<std::int32_t, 6> CadLayerColours{1, 2, 2, 2, 3, 1};
  std::array<std::int32_t, 6> CadLayerWidths{3, 1, 1, 1, 2, 3};
  // Layers 16..31 ("Color Layer 16..31", "Strichstärke Layer 16..31").
  std::array<std::int32_t, 16> CadUserColours{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::array<std::int32_t, 16> CadUserWidths{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  Byte CadMonochromeLayers = 0;       // "Layer Monochrom"
  std::int32_t DxfDecimals = 6;       // "Decimals DXF,TXT"
  std::int16_t DecimalCommaMode = 1;  // "Dot=1 Komma=2": decimal character of TXT numbers
  Real CadUnitFactor = 1.0L;          // applied by CadSetScale; 0 reads as 1
  std::string CadTextStyleName = "TXT8";  // "Textstil CAD"
  Real CadTextFactor = 1.0L;          // "Textbreitenfaktor CAD"
  Real CadTextObliqueAngle = 0;       // "Textwinkel"
  // Plot program command lines 1..CadPlotLineCount (index 0 = line 1);
  // none until the user sets one.
  std::array<std::string, 5> CadPlotCommandLines{};
  std::int16_t CadPlotLineCount = 1;
  // Main window and start-up values.
  std::string CadFolder;              // "CAD Ordner" (initial folder of the save dialog)
  Byte BorderFlag = 0;                // "Umrandung": sheet frame for screen and plot
  Byte FooterOff = 0;                 // no footer line
  Byte EnterDiagramLimits = 0;        // "Enter Diagram Limits ?"
  Byte CommandLineExport = 0;         // set while a command-line export runs
};

CadSettingsRecord& CadSettings();
void ResetCadSettings();

// The plot configuration form: shown modally with one command line; false
// when cancelled (the line is then unchanged).
class PlotConfigForm {
 public:
  virtual ~PlotConfigForm() = default;
  virtual bool Edit(std::string& commandLine) = 0;
};

// Scripted form for tests and batch runs: each Edit takes the next answer
// (a replacement line, or nullopt for Cancel) and records the line shown.
// Without answers left it keeps the line and returns true.
class ScriptedPlotConfigForm : public PlotConfigForm {
 public:
  void Answer(std::string line) { answers_.emplace_back(std::move(line)); }
  void Cancel() { answers_.emplace_back(std::nullopt); }
  bool Edit(std::string& commandLine) override;
  const std::vector<std::string>& Shown() const { return shown_; }
  std::size_t Unused() const { return answers_.size(); }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<std::string> shown_;
};

PlotConfigForm& PlotConfig();
// nullptr puts back a fresh ScriptedPlotConfigForm.
void SetPlotConfigForm(std::shared_ptr<PlotConfigForm> form);

}  // namespace zeb
