// The print set-up dialog and the printer information on Qt.
#pragma once
#include <QDialog>
#include <functional>

#include "reports/printsetup.h"

namespace zeb {

// The pieces of the platform's printer the dialogs use; tests put fakes in.
struct PrinterSeams {
  // The printer's print dialog; false when cancelled. landscape in and out.
  std::function<bool(bool& landscape)> printDialog;
  std::function<PrinterFacts()> facts;
};
// Seams on the default printer (QPrinterInfo, QPrintDialog); without a
// printer the name is "PDF".
PrinterSeams QtPrinterSeams(QWidget* owner);

// File > Print (setupMode false) and File > Printer set-up (true); false
// when cancelled (AbortFlag 1).
bool RunPrintSetup(QWidget* owner, bool setupMode, const PrinterSeams& seams);
// The printer information window (modal).
void ShowPrinterInfo(QWidget* owner, const PrinterFacts& facts);

}  // namespace zeb
