// Printer set-up and the print job around the graphics printout, and the
// platform printer behind them and behind the text printer target.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

// The platform's printer. The Qt program installs one on the default
// printer; the headless one has no printer unless told otherwise.
class PrinterPort {
 public:
  virtual ~PrinterPort() = default;
  // A printer to print on exists.
  virtual bool HasPrinter() = 0;
  // Text print jobs (PrintTextFile) go into this PDF file (UTF-8 path)
  // until called with ""; false when PDF output is not possible here.
  virtual bool SetPdfOutput(std::string_view path) = 0;
  virtual void SetLandscape(bool landscape) = 0;
  virtual bool Landscape() const = 0;
  // The graphics print job.
  virtual void BeginDoc() = 0;
  virtual void EndDoc() = 0;
  // The system's printers by name (UTF-8); nullopt where they are not
  // listed. The text printer's number n picks listed printer n of the
  // first kListedTextPrinters, the number after them the PDF file.
  virtual std::optional<std::vector<std::string>> SystemPrinters() { return std::nullopt; }
};
inline constexpr std::size_t kListedTextPrinters = 3;

// Records its calls ("HasPrinter", "SetPdfOutput(path)", "SetLandscape(1)",
// "BeginDoc", "EndDoc"); no printer and no PDF unless given.
class HeadlessPrinter : public PrinterPort {
 public:
  explicit HeadlessPrinter(bool hasPrinter = false, bool canWritePdf = false)
      : hasPrinter_(hasPrinter), canWritePdf_(canWritePdf) {}
  bool HasPrinter() override;
  bool SetPdfOutput(std::string_view path) override;
  void SetLandscape(bool landscape) override;
  bool Landscape() const override { return landscape_; }
  void BeginDoc() override;
  void EndDoc() override;

  const std::vector<std::string>& Calls() const { return calls_; }
  const std::string& PdfOutput() const { return pdf_; }

 private:
  bool hasPrinter_, canWritePdf_;
  bool landscape_ = true;
  std::string pdf_;
  std::vector<std::string> calls_;
};

PrinterPort& Printer();
// nullptr puts back a fresh headless printer.
void SetPrinterPort(std::shared_ptr<PrinterPort> port);

// Mode 0..3 set scale, origin, border and orientation for the graphics
// printout (PrintScaleX, PrintScaleY, PrintOriginX, PrintOriginY,
// PrintBorder, the printer's orientation); other modes change nothing.
void ApplyPrinterMode(int mode);
// ApplyPrinterMode(PrinterMode), printing flag := 1, the printer's BeginDoc.
void PrinterBeginDoc();
// Printing flag := 0 first, then the printer's EndDoc.
void PrinterEndDoc();
// 1 while a print job is open (also passed to Graphics().SetPrintingFlag).
Byte PrintingFlag();
// Start state: flag 0, headless printer.
void InitPrintJob();

}  // namespace zeb
