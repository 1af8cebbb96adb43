// The configuration window: binds the widgets of the configuration form
// model (objectNames as the controls are named) and runs its buttons.
#pragma once
#include <QWidget>
#include <functional>

#include "mainwin/config_form.h"

namespace zeb {

// The runner of the configuration dialog: shows it modally over owner.
std::function<bool(ConfigForm&)> QtConfigRunner(QWidget* owner);

}  // namespace zeb
