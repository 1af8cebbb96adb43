#include "base/qt/qt_printer.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPrinter>

#include "base/qt/qt_convert.h"

namespace zeb {

QtTextPrinter::QtTextPrinter(std::shared_ptr<QPrinter> printer) : printer_(std::move(printer)) {}

QtTextPrinter::~QtTextPrinter() {
  if (painter_.isActive()) painter_.end();
}

bool QtTextPrinter::Begin(std::string_view jobTitle, bool portrait, std::string_view fontName, int fontSize,
                          int fontStyle) {
  if (painter_.isActive()) painter_.end();
  printer_->setDocName(AnsiToQString(jobTitle));
  printer_->setPageOrientation(portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  if (!painter_.begin(printer_.get())) return false;
  painter_.setFont(TextFont(fontName, fontSize, fontStyle));
  painter_.setPen(Qt::black);
  return true;
}

int QtTextPrinter::PageHeight() const { return printer_->height(); }

void QtTextPrinter::NewPage() {
  if (painter_.isActive()) printer_->newPage();
}

void QtTextPrinter::TextOut(int x, int y, std::string_view text1252) {
  if (!painter_.isActive()) return;
  painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), AnsiToQString(text1252));
}

void QtTextPrinter::End() {
  if (painter_.isActive()) painter_.end();
}

}  // namespace zeb
