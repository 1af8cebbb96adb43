#include "mainwin/form_dialogs.h"

#include "base/dialogs.h"
#include "base/globals.h"

namespace zeb {

namespace {

// Fill, run, apply on OK; AbortFlag as the dialogs leave it.
template <typename Form>
bool Run(const std::function<bool(Form&)>& runner, Form (*fill)(), void (*apply)(const Form&), int helpNumber) {
  if (helpNumber != 0) SetCurrentHelpNumber(helpNumber);
  Form f = fill();
  if (!runner || !runner(f)) {
    G().AbortFlag = 1;
    return false;
  }
  G().AbortFlag = 0;
  apply(f);
  return true;
}

}  // namespace

bool FormCommandDialogs::Dimensions() {
  return Run(runners_.dimensions, &FillDimensionsForm, &ApplyDimensionsForm, 9100);
}
bool FormCommandDialogs::Tolerance() {
  return Run(runners_.tolerance, &FillToleranceForm, &ApplyToleranceForm, 9050);
}
bool FormCommandDialogs::Application() {
  return Run(runners_.application, &FillApplicationForm, &ApplyApplicationForm, 9020);
}
bool FormCommandDialogs::CalculationMethod() {
  return Run(runners_.calculationMethod, &FillCalculationMethodForm, &ApplyCalculationMethodForm, 1000);
}
bool FormCommandDialogs::Production() {
  return Run(runners_.production, &FillProductionForm, &ApplyProductionForm, 9040);
}
bool FormCommandDialogs::ProductionDrawingData() {
  return Run(runners_.productionDrawing, &FillProductionDrawingForm, &ApplyProductionDrawingForm, 9010);
}
bool FormCommandDialogs::ValueTable() {
  return Run(runners_.valueTable, &FillValueTableForm, &ApplyValueTableForm, 0);
}

bool FormCommandDialogs::Configuration() {
  return Run(runners_.configuration, &FillConfigForm, &ApplyConfigForm, 0);
}

bool FormCommandDialogs::TitleBlockTexts() {
  TitleBlockForm f = FillTitleBlockForm();
  if (!runners_.titleBlock || !runners_.titleBlock(f)) G().AbortFlag = 1;
  if (G().AbortFlag != 0) return false;
  ApplyTitleBlockForm(f);
  return true;
}

}  // namespace zeb
