// Text printing on a QPrinter (a printer) or into a PDF file.
#pragma once
#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <memory>
#include <string>

#include "base/ui_port.h"

class QPrinter;
class QPagedPaintDevice;

namespace zeb {

// A PDF document made in memory, then written as its file whole or not at
// all: a full disk or a write error never leaves a cut-off file.
class PdfInMemory {
 public:
  PdfInMemory();
  QPdfWriter& Writer() { return writer_; }
  // After the painter's end (painted: it ended without error): writes the
  // document as path (UTF-8). A failure is shown (file and cause) and sets
  // AbortFlag; path is then as it was. 0 or an errno value.
  int Store(const std::string& path, bool painted);

 private:
  QBuffer bytes_;
  QPdfWriter writer_;
};

class QtTextPrinter : public TextPrinter {
 public:
  // On the printer.
  explicit QtTextPrinter(std::shared_ptr<QPrinter> printer);
  // Into the PDF file pdfPath (UTF-8), written at End, in the page layout
  // of layout.
  QtTextPrinter(std::string pdfPath, const QPrinter& layout);
  ~QtTextPrinter() override;

  // jobTitle and fontName are Windows-1252.
  bool Begin(std::string_view jobTitle, bool portrait, std::string_view fontName, int fontSize,
             int fontStyle) override;
  int PageHeight() const override;
  void NewPage() override;
  // y is the top of the text line.
  void TextOut(int x, int y, std::string_view text1252) override;
  void End() override;

 private:
  QPagedPaintDevice& Device() const;

  std::shared_ptr<QPrinter> printer_;
  std::string pdfPath_;
  std::unique_ptr<PdfInMemory> pdf_;
  QPainter painter_;
};

}  // namespace zeb
