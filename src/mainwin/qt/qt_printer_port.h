// The printer behind the text printouts in the Qt program.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "reports/printjob.h"

namespace zeb {

class QtUi;

// The default printer, or PDF files through the Qt port when there is none.
// The graphics print job stays with the headless printer until the main
// window paints it.
std::shared_ptr<PrinterPort> MakeQtTextPrinterPort(std::shared_ptr<QtUi> ui);
// The text printers to choose from (UTF-8): the first system printers,
// then the PDF file; entry n is printer number n.
std::vector<std::string> TextPrinterChoices();

}  // namespace zeb
