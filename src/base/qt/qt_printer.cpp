#include "base/qt/qt_printer.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPrinter>
#include <cerrno>

#include "base/files.h"
#include "base/qt/qt_convert.h"
#include "platform/files.h"

namespace zeb {

PdfInMemory::PdfInMemory() : writer_(&bytes_) { bytes_.open(QIODevice::WriteOnly); }

int PdfInMemory::Store(const std::string& path, bool painted) {
  bytes_.close();
  if (!painted) {
    ShowFileWriteError(path, EIO);
    return EIO;
  }
  const QByteArray& data = bytes_.data();
  const int err = WriteWholeFile(path, std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  if (err != 0) ShowFileWriteError(path, err);
  return err;
}

QtTextPrinter::QtTextPrinter(std::shared_ptr<QPrinter> printer) : printer_(std::move(printer)) {}

QtTextPrinter::QtTextPrinter(std::string pdfPath, const QPrinter& layout)
    : pdfPath_(std::move(pdfPath)), pdf_(std::make_unique<PdfInMemory>()) {
  pdf_->Writer().setResolution(layout.resolution());
  pdf_->Writer().setPageLayout(layout.pageLayout());
}

QtTextPrinter::~QtTextPrinter() {
  if (painter_.isActive()) painter_.end();
}

QPagedPaintDevice& QtTextPrinter::Device() const {
  if (pdf_) return pdf_->Writer();
  return *printer_;
}

bool QtTextPrinter::Begin(std::string_view jobTitle, bool portrait, std::string_view fontName, int fontSize,
                          int fontStyle) {
  if (painter_.isActive()) painter_.end();
  if (pdf_)
    pdf_->Writer().setTitle(AnsiToQString(jobTitle));
  else
    printer_->setDocName(AnsiToQString(jobTitle));
  Device().setPageOrientation(portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  if (!painter_.begin(&Device())) return false;
  painter_.setFont(TextFont(fontName, fontSize, fontStyle));
  painter_.setPen(Qt::black);
  return true;
}

int QtTextPrinter::PageHeight() const { return Device().height(); }

void QtTextPrinter::NewPage() {
  if (painter_.isActive()) Device().newPage();
}

void QtTextPrinter::TextOut(int x, int y, std::string_view text1252) {
  if (!painter_.isActive()) return;
  painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), AnsiToQString(text1252));
}

void QtTextPrinter::End() {
  if (!painter_.isActive()) return;
  const bool painted = painter_.end();
  if (pdf_) pdf_->Store(pdfPath_, painted);
}

}  // namespace zeb
