#include "graphics/cadsettings.h"

namespace zeb {

namespace {
CadSettingsRecord& Settings() {
  static CadSettingsRecord s;
  return s;
}
std::shared_ptr<PlotConfigForm>& FormSlot() {
  static std::shared_ptr<PlotConfigForm> f = std::make_shared<ScriptedPlotConfigForm>();
  return f;
}
}  // namespace

CadSettingsRecord& CadSettings() { return Settings(); }
void ResetCadSettings() { Settings() = CadSettingsRecord{}; }

bool ScriptedPlotConfigForm::Edit(std::string& commandLine) {
  shown_.push_back(commandLine);
  if (answers_.empty()) return true;
  auto a = std::move(answers_.front());
  answers_.pop_front();
  if (!a) return false;
  commandLine = *a;
  return true;
}

PlotConfigForm& PlotConfig() { return *FormSlot(); }
void SetPlotConfigForm(std::shared_ptr<PlotConfigForm> form) {
  FormSlot() = form ? std::move(form) : std::make_shared<ScriptedPlotConfigForm>();
}

}  // namespace zeb
