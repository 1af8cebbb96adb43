#include "graphics/qt/qt_print.h"

#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <unistd.h>

#include "base/globals.h"
#include "base/qt/qt_printer.h"
#include "base/qt/qt_convert.h"
#include "graphics/facade.h"
#include "graphics/qt/qt_renderer.h"
#include "reports/device.h"

namespace zeb {

QtGraphicsPrinterPort::QtGraphicsPrinterPort(std::shared_ptr<PrinterPort> text) : text_(std::move(text)) {
  if (!text_) text_ = std::make_shared<HeadlessPrinter>();
}

QtGraphicsPrinterPort::~QtGraphicsPrinterPort() {
  if (painter_) EndDoc();
}

void QtGraphicsPrinterPort::BeginDoc() {
  if (painter_) EndDoc();
  const QPageLayout::Orientation orientation = Landscape() ? QPageLayout::Landscape : QPageLayout::Portrait;
  pdf_.clear();
  pdfBytes_.reset();
  if (forcedPdf_.empty() && HasPrinter()) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPageOrientation(orientation);
    device_ = std::move(printer);
  } else {
    pdf_ = forcedPdf_.empty() ? CreatePrintPdfFile() : forcedPdf_;
    if (pdf_.empty()) return;
    // Made in memory, written whole at the end.
    pdfBytes_ = std::make_unique<PdfInMemory>();
    QPdfWriter& writer = pdfBytes_->Writer();
    writer.setResolution(600);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(orientation);
  }
  painter_ = std::make_unique<QPainter>();
  QPaintDevice* device = pdfBytes_ ? static_cast<QPaintDevice*>(&pdfBytes_->Writer()) : device_.get();
  if (!painter_->begin(device)) {
    painter_.reset();
    device_.reset();
    pdfBytes_.reset();
    if (!pdf_.empty() && forcedPdf_.empty()) ::unlink(pdf_.c_str());
    pdf_.clear();
    G().AbortFlag = 1;
    return;
  }
  const QRect page = painter_->viewport();
  renderer_ = std::make_unique<QtRenderer>(*painter_, page.width(), page.height());
  Facade().SetPrinterCanvas(renderer_.get());
}

void QtGraphicsPrinterPort::EndDoc() {
  Facade().SetPrinterCanvas(nullptr);
  if (!painter_) return;
  const bool painted = painter_->end();
  renderer_.reset();
  painter_.reset();
  device_.reset();
  if (pdfBytes_) {
    pdfBytes_->Store(pdf_, painted);
    pdfBytes_.reset();
    if (forcedPdf_.empty()) AnnouncePrintPdf(pdf_);
  }
}

}  // namespace zeb
