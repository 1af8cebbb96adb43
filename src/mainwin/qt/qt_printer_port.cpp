#include "mainwin/qt/qt_printer_port.h"

#include <QPrinterInfo>
#include <string>
#include <utility>

#include "base/qt/qt_ui.h"

namespace zeb {

namespace {

class QtTextPrinterPort : public HeadlessPrinter {
 public:
  explicit QtTextPrinterPort(std::shared_ptr<QtUi> ui) : ui_(std::move(ui)) {}
  bool HasPrinter() override { return !QPrinterInfo::defaultPrinter().isNull(); }
  bool SetPdfOutput(std::string_view path) override {
    ui_->SetPdfOutput(std::string(path));
    return true;
  }
  std::optional<std::vector<std::string>> SystemPrinters() override {
    std::vector<std::string> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames()) names.push_back(name.toStdString());
    return names;
  }

 private:
  std::shared_ptr<QtUi> ui_;
};

}  // namespace

std::vector<std::string> TextPrinterChoices() {
  std::vector<std::string> choices;
  for (const QString& name : QPrinterInfo::availablePrinterNames()) {
    if (choices.size() == kListedTextPrinters) break;
    choices.push_back(name.toStdString());
  }
  choices.push_back("PDF-Datei");
  return choices;
}

std::shared_ptr<PrinterPort> MakeQtTextPrinterPort(std::shared_ptr<QtUi> ui) {
  return std::make_shared<QtTextPrinterPort>(std::move(ui));
}

}  // namespace zeb
