// A Renderer onto a QPainter: the screen canvas, a QImage or a printer page.
#pragma once
#include <QFont>
#include <QPainter>

#include "graphics/renderer.h"

namespace zeb {

class QtRenderer : public Renderer {
 public:
  // pageWidth and pageHeight: the painter's device in the renderer's pixels.
  QtRenderer(QPainter& painter, int pageWidth, int pageHeight);
  int PageWidth() const override { return w_; }
  int PageHeight() const override { return h_; }
  void SetPen(std::uint32_t colour, int style, int width) override;
  void SetBrush(std::uint32_t colour) override;
  void SetFont(const RenderFont& font) override;
  void SetTextColour(std::uint32_t colour) override;
  void Line(DevPoint a, DevPoint b) override;
  void Ellipse(DevPoint topLeft, DevPoint bottomRight) override;
  void Arc(DevPoint topLeft, DevPoint bottomRight, DevPoint start, DevPoint end) override;
  void Text(DevPoint p, std::string_view text1252) override;
  void Polygon(const std::vector<DevPoint>& points) override;

 private:
  QPainter& p_;
  int w_, h_;
  QFont font_;
  RenderFont lastFont_;
  bool fontSet_ = false;
  int escapement_ = 0;
  QColor text_;
};

}  // namespace zeb
