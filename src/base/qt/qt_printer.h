// Text printing on a QPrinter (a printer or a PDF file).
#pragma once
#include <QPainter>
#include <memory>

#include "base/ui_port.h"

class QPrinter;

namespace zeb {

class QtTextPrinter : public TextPrinter {
 public:
  explicit QtTextPrinter(std::shared_ptr<QPrinter> printer);
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
  std::shared_ptr<QPrinter> printer_;
  QPainter painter_;
};

}  // namespace zeb
