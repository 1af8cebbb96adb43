// The graphics print job on Qt: between BeginDoc and EndDoc the facade's
// printer canvas is a page of the default printer or, without one, of a PDF
// file in the temporary folder (named in a "Meldung:" box afterwards).
// Text jobs and the rest go to the wrapped port.
#pragma once
#include <memory>
#include <string>

#include "reports/printjob.h"

class QPagedPaintDevice;
class QPainter;

namespace zeb {

class PdfInMemory;
class QtRenderer;

class QtGraphicsPrinterPort : public PrinterPort {
 public:
  explicit QtGraphicsPrinterPort(std::shared_ptr<PrinterPort> text);
  ~QtGraphicsPrinterPort() override;
  bool HasPrinter() override { return text_->HasPrinter(); }
  bool SetPdfOutput(std::string_view path) override { return text_->SetPdfOutput(path); }
  void SetLandscape(bool landscape) override { text_->SetLandscape(landscape); }
  bool Landscape() const override { return text_->Landscape(); }
  void BeginDoc() override;
  void EndDoc() override;
  std::optional<std::vector<std::string>> SystemPrinters() override { return text_->SystemPrinters(); }
  // Prints into this PDF file instead of the printer (tests).
  void ForcePdf(std::string path) { forcedPdf_ = std::move(path); }

 private:
  std::shared_ptr<PrinterPort> text_;
  std::unique_ptr<QPagedPaintDevice> device_;  // the printer
  std::unique_ptr<PdfInMemory> pdfBytes_;     // the PDF file's pages
  std::unique_ptr<QPainter> painter_;
  std::unique_ptr<QtRenderer> renderer_;
  std::string pdf_, forcedPdf_;
};

}  // namespace zeb
