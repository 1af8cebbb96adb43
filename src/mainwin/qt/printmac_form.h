// The print macro's section choice (14 check boxes bound to the bits of
// the section mask, the last one hidden) and its print dialog.
#pragma once
#include <QDialog>
#include <array>

#include "mainwin/dispatch.h"

class QCheckBox;
class QPushButton;

namespace zeb {

class TForm_printmac : public QDialog {
  Q_OBJECT
 public:
  TForm_printmac(QWidget* parent, const std::array<std::string, kPrintoutSectionCount + 1>& captions,
                 const PrintoutSectionChoice& choice);
  // The boxes as checked (1..14).
  PrintoutSectionChoice Choice() const;

  std::array<QCheckBox*, 15> CheckBox{};  // 1..14
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;

 private:
  PrintoutSectionChoice loaded_;
};

// The main window's dialogs of the print macro. Without a printer the
// print dialog is not shown: the jobs go to PDF files.
class QtPrintMacroForm : public PrintMacroForm {
 public:
  explicit QtPrintMacroForm(QWidget* owner) : owner_(owner) {}
  bool Execute(const std::array<std::string, kPrintoutSectionCount + 1>& captions,
               PrintoutSectionChoice& choice) override;
  bool ExecutePrintDialog() override;

 private:
  QWidget* owner_;
};

}  // namespace zeb
