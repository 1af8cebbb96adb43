#include "reports/printjob.h"

#include "base/globals.h"
#include "base/services.h"

namespace zeb {

namespace {

struct PrintJobState {
  std::shared_ptr<PrinterPort> port = std::make_shared<HeadlessPrinter>();
  Byte printing = 0;
};

PrintJobState& Job() {
  static PrintJobState state;
  return state;
}

}  // namespace

bool HeadlessPrinter::HasPrinter() {
  calls_.push_back("HasPrinter");
  return hasPrinter_;
}

bool HeadlessPrinter::SetPdfOutput(std::string_view path) {
  calls_.push_back("SetPdfOutput(" + std::string(path) + ")");
  if (!canWritePdf_) return false;
  pdf_ = std::string(path);
  return true;
}

void HeadlessPrinter::SetLandscape(bool landscape) {
  calls_.push_back(landscape ? "SetLandscape(1)" : "SetLandscape(0)");
  landscape_ = landscape;
}

void HeadlessPrinter::BeginDoc() { calls_.push_back("BeginDoc"); }
void HeadlessPrinter::EndDoc() { calls_.push_back("EndDoc"); }

PrinterPort& Printer() { return *Job().port; }

void SetPrinterPort(std::shared_ptr<PrinterPort> port) {
  Job().port = port ? std::move(port) : std::make_shared<HeadlessPrinter>();
}

void ApplyPrinterMode(int mode) {
  if (mode < 0 || mode > 3) return;
  BaseGlobals& g = G();
  g.PrintScaleX = mode == 2 ? 1.8L : 1.0L;
  g.PrintScaleY = 1.0L;
  g.PrintOriginX = 0;
  g.PrintOriginY = 0;
  g.PrintBorder = mode == 1 ? 1 : 0;
  Printer().SetLandscape(mode != 2);
}

void PrinterBeginDoc() {
  ApplyPrinterMode(G().PrinterMode);
  Job().printing = 1;
  Graphics().SetPrintingFlag(1);
  Printer().BeginDoc();
}

void PrinterEndDoc() {
  Job().printing = 0;
  Graphics().SetPrintingFlag(0);
  Printer().EndDoc();
}

Byte PrintingFlag() { return Job().printing; }

void InitPrintJob() { Job() = PrintJobState{}; }

}  // namespace zeb
