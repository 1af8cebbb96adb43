// Dispatch of drawings by number: the CAD export of one drawing by its
// index (command-line mode "/CADi:j") and the print macro, which prints a
// chosen set of printouts and drawings in one run.
//
// The drawings and diagrams themselves are reached through the drawings'
// registry (drawings/registry.h). An entry that nothing registered gets an
// error box naming it and draws nothing.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "drawings/registry.h"
#include "reports/sections.h"

namespace zeb {

// The drawing of index j of the CAD export (1..11 diagram-menu entry j,
// 12..15 spring view j - 11, 16 production drawing, 17 3D centre line);
// none for other indices.
std::optional<DrawingRef> CadDrawingOfIndex(int j);

// CadBatchMode of the command-line export: kept in the program state and
// handed to the CAD output layer, which then writes CurrentFileName with
// the format's extension without asking.
void SetCadBatchMode(Byte mode);

// Draws index j with output code i. False, with an error box naming the
// index, when the index has no drawing or its drawing is not registered.
bool CadOutputByIndex(int i, int j);

// The print macro's dialogs: the section choice (check boxes 1..13 with
// the given captions, box 14 hidden) and the print dialog. Captions are
// UTF-8.
class PrintMacroForm {
 public:
  virtual ~PrintMacroForm() = default;
  // OK: true with choice holding the boxes; Cancel: false.
  virtual bool Execute(const std::array<std::string, kPrintoutSectionCount + 1>& captions,
                       PrintoutSectionChoice& choice) = 0;
  // The print dialog; false when cancelled.
  virtual bool ExecutePrintDialog() = 0;
};

// Answers from a script: each Execute takes the next answer (the boxes
// 1..13 checked, box 14 as loaded; or Cancel); without answers left it
// cancels. The
// print dialog answers printDialogOk. Records the captions shown.
class ScriptedPrintMacroForm : public PrintMacroForm {
 public:
  void Answer(std::vector<int> checkedBoxes);
  void Cancel();
  bool printDialogOk = true;
  int printDialogs = 0;
  std::vector<std::array<std::string, kPrintoutSectionCount + 1>> shown;
  // Boxes checked when the dialog was shown.
  std::vector<PrintoutSectionChoice> loaded;

  bool Execute(const std::array<std::string, kPrintoutSectionCount + 1>& captions,
               PrintoutSectionChoice& choice) override;
  bool ExecutePrintDialog() override;

 private:
  std::vector<std::optional<std::vector<int>>> answers_;
  std::size_t next_ = 0;
};

PrintMacroForm& PrintMacroDialogs();
// nullptr puts back a fresh ScriptedPrintMacroForm without answers.
void SetPrintMacroForm(std::shared_ptr<PrintMacroForm> form);

// The captions of check boxes 1..13 in the current menu language (UTF-8;
// entry 14 and 0 empty).
std::array<std::string, kPrintoutSectionCount + 1> PrintMacroCaptions();

// The printouts the macro runs for boxes 1 and 2 (the full and the short
// printout); PrintReport and PrintReportExtract unless replaced (tests);
// an empty function puts back its default.
struct PrintMacroPrintouts {
  std::function<void()> full;
  std::function<void()> extract;
};
void SetPrintMacroPrintouts(PrintMacroPrintouts printouts);

// File > Print Macro.
void RunPrintMacro();

}  // namespace zeb
