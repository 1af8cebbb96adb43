// The Qt windows of the input and documentation dialogs: each binds the
// widgets of one form model (objectNames as the controls are named) and
// calls the model's rules as the user clicks.
#pragma once
#include <QDialog>
#include <memory>

#include "mainwin/changelog_cmd.h"
#include "mainwin/form_dialogs.h"
#include "mainwin/plot_form.h"

namespace zeb {

// Runners that show each input form modally over owner.
FormRunners QtFormRunners(QWidget* owner);
DocumentationDialogs QtDocumentationDialogs(QWidget* owner);

// Installs the dialogs of the menu handlers (the production-data form also
// as the production drawing's dialog), the documentation windows and the
// plot-program form; Uninstall puts the stand-ins back.
void InstallQtInputDialogs(QWidget* owner);
void UninstallQtInputDialogs();

// The colour picker: the new colour number (decision of the model).
int PickColour(QWidget* owner, int colour);

}  // namespace zeb
