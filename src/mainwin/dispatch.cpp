#include "mainwin/dispatch.h"

#include <utility>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/services.h"
#include "base/text.h"
#include "graphics/cadsettings.h"
#include "mainwin/captions.h"
#include "mainwin/program.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "reports/printjob.h"
#include "reports/printout_full.h"
#include "reports/printout_short.h"

namespace zeb {

// ---------------------------------------------------------------- CAD export

namespace {

// Runs a registered drawing; false when there is none.
bool RunDrawing(DrawingRef ref, int cadCode) { return RunRegisteredDrawing(ref, cadCode); }

}  // namespace

std::optional<DrawingRef> CadDrawingOfIndex(int j) {
  if (j >= 1 && j <= 11) return DrawingRef{DrawingEntry::SelectDiagram, j};
  if (j >= 12 && j <= 15) return DrawingRef{DrawingEntry::SpringView, j - 11};
  if (j == 16) return DrawingRef{DrawingEntry::ProductionDrawing, 0};
  if (j == 17) return DrawingRef{DrawingEntry::Spring3DView, 1};
  return std::nullopt;
}

void SetCadBatchMode(Byte mode) {
  PS().CadBatchMode = mode;
  CadSettings().CommandLineExport = mode;
  Graphics().SetCadBatchMode(mode);
}

bool CadOutputByIndex(int i, int j) {
  const std::optional<DrawingRef> ref = CadDrawingOfIndex(j);
  if (!ref || !RunDrawing(*ref, i)) {
    ShowErrorBox("Zeichnung Nr. "_oem + IntToText(j) + ": keine Ausgabe"_oem);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- print macro

void ScriptedPrintMacroForm::Answer(std::vector<int> checkedBoxes) { answers_.emplace_back(std::move(checkedBoxes)); }

void ScriptedPrintMacroForm::Cancel() { answers_.emplace_back(std::nullopt); }

bool ScriptedPrintMacroForm::Execute(const std::array<std::string, kPrintoutSectionCount + 1>& captions,
                                     PrintoutSectionChoice& choice) {
  shown.push_back(captions);
  loaded.push_back(choice);
  if (next_ >= answers_.size()) return false;
  const std::optional<std::vector<int>>& a = answers_[next_++];
  if (!a) return false;
  // Box 14 is hidden: it keeps its state.
  for (int n = 1; n < kPrintoutSectionCount; ++n) choice.checked[static_cast<std::size_t>(n)] = false;
  for (int n : *a)
    if (n >= 1 && n < kPrintoutSectionCount) choice.checked[static_cast<std::size_t>(n)] = true;
  return true;
}

bool ScriptedPrintMacroForm::ExecutePrintDialog() {
  ++printDialogs;
  return printDialogOk;
}

namespace {

std::shared_ptr<PrintMacroForm>& FormSlot() {
  static std::shared_ptr<PrintMacroForm> form = std::make_shared<ScriptedPrintMacroForm>();
  return form;
}

PrintMacroPrintouts DefaultPrintouts() { return {[] { PrintReport(); }, [] { PrintReportExtract(); }}; }

PrintMacroPrintouts& Printouts() {
  static PrintMacroPrintouts p = DefaultPrintouts();
  return p;
}

// What box n prints; boxes 1 and 2 are the printouts.
DrawingRef MacroDrawing(int n) {
  switch (n) {
    case 3: return {DrawingEntry::SelectDiagram, 1};
    case 4: return {DrawingEntry::SelectDiagram, 10};
    case 5: return {DrawingEntry::SpringView, 1};
    case 6: return {DrawingEntry::ProductionDrawing, 0};
    case 7: return {DrawingEntry::ProductionDrawingEN, 0};
    case 8: return {DrawingEntry::ShowDiagram, 2};
    case 9: return {DrawingEntry::ShowDiagram, 9};
    case 10: return {DrawingEntry::ShowDiagram, 21};
    case 11: return {DrawingEntry::GoodmanDiagram, 0};
    case 12: return {DrawingEntry::HaighDiagram, 0};
    default: return {DrawingEntry::SelectDiagram, 3};  // 13: buckling
  }
}

// A printout on the Windows printer, whatever the configured target.
void PrintOnPrinter(const std::function<void()>& printout) {
  BaseGlobals& g = G();
  const Byte savedAsk = g.AskOutputTarget;
  const std::int16_t savedTarget = g.OutputTarget;
  g.AskOutputTarget = 0;
  g.OutputTarget = 4;
  if (printout) printout();
  g.AskOutputTarget = savedAsk;
  g.OutputTarget = savedTarget;
}

}  // namespace

PrintMacroForm& PrintMacroDialogs() { return *FormSlot(); }

void SetPrintMacroForm(std::shared_ptr<PrintMacroForm> form) {
  if (!form) form = std::make_shared<ScriptedPrintMacroForm>();
  FormSlot() = std::move(form);
}

void SetPrintMacroPrintouts(PrintMacroPrintouts printouts) {
  const PrintMacroPrintouts defaults = DefaultPrintouts();
  if (!printouts.full) printouts.full = defaults.full;
  if (!printouts.extract) printouts.extract = defaults.extract;
  Printouts() = std::move(printouts);
}

std::array<std::string, kPrintoutSectionCount + 1> PrintMacroCaptions() {
  const std::string& charLine = Caption(Cap2::CharLine);
  const std::string& production = Caption(Cap1::ProductionDrawing);
  return {"",
          Caption(Cap1::StandardPrintout),
          Caption(Cap1::Excerpt),
          Caption(Cap1::Quick) + " 1",
          Caption(Cap1::Quick) + " 2",
          Caption(Cap1::Drawing),
          production,
          production + " DIN 2099",
          "F-s " + charLine,
          "F-s " + Caption(Cap2::CharLineTolerance),
          "F-L " + charLine,
          Caption(Cap2::Goodman),
          "Haigh-" + Caption(Cap2::Goodman),
          Caption(Cap2::Buckling),
          ""};
}

void RunPrintMacro() {
  BaseGlobals& g = G();
  if (g.FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  const std::array<std::string, kPrintoutSectionCount + 1> captions = PrintMacroCaptions();
  PrintoutSectionChoice choice;
  choice.Load();
  if (PrintMacroDialogs().Execute(captions, choice))
    choice.Ok();
  else
    PrintoutSectionChoice::Cancel();
  if (g.AbortFlag != 0) return;
  if (!PrintMacroDialogs().ExecutePrintDialog()) return;

  // Each job is an action of its own: a failed one ends only itself, and
  // the next one is drawn anew.
  BeginPdfBatch();
  std::vector<std::string> notMade;
  for (int n = 1; n <= 13; ++n) {
    if (!choice.checked[static_cast<std::size_t>(n)]) continue;
    std::string name = PrintMacroCaptions()[static_cast<std::size_t>(n)];
    std::erase(name, '&');
    name = FromUtf8(CodePage::Cp850, name);
    g.AbortFlag = 0;
    const std::size_t filesBefore = PdfBatchFileCount();
    if (n == 1) {
      PrintOnPrinter(Printouts().full);
    } else if (n == 2) {
      PrintOnPrinter(Printouts().extract);
    } else {
      // Drawn on the screen first, then the screen is replayed on the
      // printer as one job.
      if (!RunDrawing(MacroDrawing(n), 3)) {
        ShowErrorBox(name + ": keine Ausgabe"_oem);
        notMade.push_back(name);
        continue;
      }
      if (g.AbortFlag == 0) {
        PrinterBeginDoc();
        if (g.AbortFlag == 0) Graphics().FormPaint();
        PrinterEndDoc();
      }
    }
    const bool noFile = !Printer().HasPrinter() && PdfBatchFileCount() == filesBefore;
    if (g.AbortFlag != 0 || noFile) notMade.push_back(name);
  }
  g.AbortFlag = 0;
  EndPdfBatch(notMade);
}

}  // namespace zeb
