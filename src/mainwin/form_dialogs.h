// The dialogs of the menu handlers built from the form models: each dialog
// fills its form, lets a runner show it (a Qt window, or a script in
// tests), and applies it on OK. A runner returns true for OK and edits the
// form in place, calling the form's click rules as the user clicks.
#pragma once
#include <functional>

#include "mainwin/commands.h"
#include "mainwin/config_form.h"
#include "mainwin/input_forms.h"

namespace zeb {

struct FormRunners {
  std::function<bool(DimensionsForm&)> dimensions;
  std::function<bool(ToleranceForm&)> tolerance;
  std::function<bool(ApplicationForm&)> application;
  std::function<bool(CalculationMethodForm&)> calculationMethod;
  std::function<bool(ProductionForm&)> production;
  std::function<bool(ProductionDrawingForm&)> productionDrawing;
  std::function<bool(TitleBlockForm&)> titleBlock;
  std::function<bool(ValueTableForm&)> valueTable;
  std::function<bool(ConfigForm&)> configuration;
};

// A missing runner counts as Cancel. Every dialog leaves AbortFlag 0 on OK
// and 1 on Cancel, except the title block: its OK keeps the caller's flag,
// and a flag set on entry stores nothing.
class FormCommandDialogs : public CommandDialogs {
 public:
  explicit FormCommandDialogs(FormRunners runners) : runners_(std::move(runners)) {}
  bool Dimensions() override;
  bool Tolerance() override;
  bool Application() override;
  bool CalculationMethod() override;
  bool Production() override;
  bool ProductionDrawingData() override;
  bool TitleBlockTexts() override;
  bool ValueTable() override;
  bool Configuration() override;

 private:
  FormRunners runners_;
};

}  // namespace zeb
