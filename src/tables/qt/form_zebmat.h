// The material form on the screen over MaterialForm: control names are the
// form's own (objectName).
#pragma once
#include <QDialog>

#include "tables/material_form.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace zeb {

class DeferredWork;

class TForm_zebmat : public QDialog {
  Q_OBJECT
 public:
  explicit TForm_zebmat(QWidget* parent = nullptr);
  MaterialForm& Logic() { return form_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void changeEvent(QEvent* e) override;
  // Cancel, also by the Escape key: the material shown first comes back.
  void reject() override;

 private:
  void Refresh();  // controls from the logic
  void Collect();  // typed texts into the logic
  void Ok();

  MaterialForm form_;
  DeferredWork* refill_ = nullptr;  // the list refilled on activation
  bool refreshing_ = false;
  bool shown_ = false;
  QButtonGroup* source_ = nullptr;
  QButtonGroup* surface_ = nullptr;
  QComboBox* combo_ = nullptr;
  QComboBox* tolList_ = nullptr;
  QGroupBox* own_ = nullptr;
  QLineEdit *name_ = nullptr, *emodul_ = nullptr, *gmodul_ = nullptr, *dichte_ = nullptr, *rm_ = nullptr,
            *tauz_ = nullptr, *dd_ = nullptr, *toldd_ = nullptr, *tolMin_ = nullptr, *tolMax_ = nullptr;
  QPushButton* zebwst_ = nullptr;
};

// Installs the Qt material form as the table services' material form.
void InstallQtMaterialForm();

}  // namespace zeb
