#include "mainwin/qt/printmac_form.h"

#include <QCheckBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

#include "base/globals.h"
#include "base/qt/forms.h"
#include "base/qt/qt_convert.h"

namespace zeb {

TForm_printmac::TForm_printmac(QWidget* parent, const std::array<std::string, kPrintoutSectionCount + 1>& captions,
                               const PrintoutSectionChoice& choice)
    : QDialog(parent), loaded_(choice) {
  setObjectName("TForm_printmac");
  setWindowTitle(AnsiToQString(G().ProductName));
  for (int n = 1; n <= kPrintoutSectionCount; ++n) {
    auto* box = new QCheckBox(QString::fromUtf8(captions[static_cast<std::size_t>(n)].c_str()), this);
    box->setObjectName(QString("CheckBox%1").arg(n));
    box->setGeometry(24, 20 + 24 * (n - 1), 300, 17);
    box->setChecked(choice.checked[static_cast<std::size_t>(n)]);
    CheckBox[static_cast<std::size_t>(n)] = box;
  }
  CheckBox[14]->hide();
  const auto button = [this](const char* name, const QString& text, int left) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 376, 75, 25);
    return b;
  };
  Button_ok = button("Button_ok", "OK", 36);
  Button_ok->setDefault(true);
  Button_cancel = button("Button_cancel", "Abbrechen", 124);
  Button_help = button("Button_help", "&Hilfetext", 212);
  connect(Button_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button_cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button_help, &QPushButton::clicked, this, [] { PrintoutSectionChoice::Help(); });
  PlaceDialog(this, {0, 0, 346, 442});
}

PrintoutSectionChoice TForm_printmac::Choice() const {
  PrintoutSectionChoice c = loaded_;
  for (int n = 1; n <= kPrintoutSectionCount; ++n)
    c.checked[static_cast<std::size_t>(n)] = CheckBox[static_cast<std::size_t>(n)]->isChecked();
  return c;
}

bool QtPrintMacroForm::Execute(const std::array<std::string, kPrintoutSectionCount + 1>& captions,
                               PrintoutSectionChoice& choice) {
  TForm_printmac form(owner_, captions, choice);
  if (form.exec() != QDialog::Accepted) return false;
  choice = form.Choice();
  return true;
}

bool QtPrintMacroForm::ExecutePrintDialog() {
  if (QPrinterInfo::availablePrinterNames().isEmpty()) return true;
  QPrinter printer;
  QPrintDialog dialog(&printer, owner_);
  dialog.setObjectName("PrintDialog1");
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace zeb
