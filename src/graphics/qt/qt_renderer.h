// A Renderer onto a QPainter: the screen canvas, a QImage or a printer page.
#pragma once
#include <QFont>
#include <QPainter>
#include <QStaticText>
#include <string>
#include <string_view>
#include <unordered_map>

#include "graphics/renderer.h"

namespace zeb {

// Texts laid out once and kept from paint to paint: the screen draws the
// same labels at every repaint.
class TextLayouts {
 public:
  struct Font {
    QFont font;
    qreal ascent = 0;
    std::string key;  // names the font among the layouts
  };
  struct Layout {
    QStaticText text;
    // Every pixel the text may paint, its top left at (0, 0), unrotated,
    // in the font's pixels: the layout and the glyphs' ink with a margin.
    QRectF box;
  };
  // The QFont of a font, made once.
  const Font& FontOf(const RenderFont& f);
  // The layout of the text in a font of FontOf (by its key and QFont).
  const Layout& Get(std::string_view text1252, const std::string& fontKey, const QFont& font);

 private:
  std::unordered_map<std::string, Font> fonts_;
  std::unordered_map<std::string, Layout> layouts_;
  std::string scratch_;
};

class QtRenderer : public Renderer {
 public:
  // pageWidth and pageHeight: the painter's device in the renderer's pixels.
  // Texts keep their layouts in `layouts` when given.
  QtRenderer(QPainter& painter, int pageWidth, int pageHeight, TextLayouts* layouts = nullptr);
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
  TextLayouts* layouts_;
  QFont font_;
  qreal ascent_ = 0;
  std::string fontKey_;
  RenderFont lastFont_;
  bool fontSet_ = false;
  int escapement_ = 0;
  QColor text_;
};

}  // namespace zeb
