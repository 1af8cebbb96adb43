// The picture of the graphics canvas as the primitives a replay hands to
// the canvas, each with everything that decides its pixels and the part of
// the widget it may touch. Two such pictures tell which part of the widget
// changed from one to the other; a paint draws the items that reach into
// the part it paints, in their order, and leaves the widget as a replay of
// the whole list would.
#pragma once
#include <QPen>
#include <QRect>
#include <QRegion>
#include <QTransform>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/qt/qt_renderer.h"
#include "graphics/renderer.h"

class QPainter;

namespace zeb {

struct PaintItem {
  enum class Kind : std::uint8_t { Line, Ellipse, Arc, Text, Polygon, Overlay };
  Kind kind = Kind::Line;
  std::uint8_t style = 0;             // pen style (lines, curves, outlines)
  int width = 1;                      // pen width
  std::uint32_t pen = 0, brush = 0;   // colours 0x00BBGGRR (brush: polygons)
  std::array<DevPoint, 4> at{};       // line: a, b; ellipse: box; arc: box, start, end; text: top left
  std::vector<DevPoint> polygon;      // polygons
  RenderFont font;                    // texts
  std::string text;                   // texts (Windows-1252)
  QRect box;                          // widget pixels the item may paint
  std::uint64_t hash = 0;             // of everything but the box

  bool SameDrawing(const PaintItem& o) const;
};

// Items of one picture, for one widget geometry.
struct PaintItems {
  std::vector<PaintItem> items;
  QTransform toWidget;     // device pixels to widget pixels
  QRect clip;              // the device rectangle, in widget pixels
  std::uint32_t background = 0;
};

// A Renderer that notes the items instead of drawing them.
class ItemRecorder : public Renderer {
 public:
  // pageWidth and pageHeight: the device; toWidget as the canvas's painter.
  ItemRecorder(int pageWidth, int pageHeight, const QTransform& toWidget, TextLayouts& layouts,
               std::vector<PaintItem>& out);
  int PageWidth() const override { return w_; }
  int PageHeight() const override { return h_; }
  void SetPen(std::uint32_t colour, int style, int width) override;
  void SetBrush(std::uint32_t colour) override { brush_ = colour; }
  void SetFont(const RenderFont& font) override;
  void SetTextColour(std::uint32_t colour) override { text_ = colour; }
  void Line(DevPoint a, DevPoint b) override;
  void Ellipse(DevPoint topLeft, DevPoint bottomRight) override;
  void Arc(DevPoint topLeft, DevPoint bottomRight, DevPoint start, DevPoint end) override;
  void Text(DevPoint p, std::string_view text1252) override;
  void Polygon(const std::vector<DevPoint>& points) override;
  // An immediate line over the picture (device pixels, colour 15, width 1).
  void Overlay(DevPoint a, DevPoint b);

 private:
  PaintItem& Add(PaintItem::Kind kind, bool withPen);
  // The box of the points, the pen's reach around them, in widget pixels.
  QRect Reach(std::span<const DevPoint> points, int width) const;
  void Finish(PaintItem& item);

  int w_, h_;
  QTransform toWidget_;
  TextLayouts& layouts_;
  std::vector<PaintItem>& out_;
  std::uint32_t pen_ = 0, brush_ = 0, text_ = 0;
  int style_ = 0, width_ = 1;
  RenderFont font_;
  QFont qfont_;
  std::string fontKey_;
};

// The part of the widget where a paint of `after` can differ from one of
// `before`: the boxes of the items that are not in both, in the same order
// (a shortest edit script between the two). The whole widget (`all`) when
// the geometry or background differ, or when too much changed to be worth
// the search.
QRegion ChangedArea(const PaintItems& before, const PaintItems& after, const QRect& all);

// Draws the items reaching into `area` (in widget pixels; the painter is
// clipped to it) onto a painter with the items' transform and clip.
void DrawItems(QPainter& painter, const PaintItems& items, const QRect& area, TextLayouts& layouts, int pageWidth,
               int pageHeight);

// The rectangles of a region with the bands of one rectangle joined again:
// a region cuts a rectangle where another one lies beside it, and drawing
// through a clip of one rectangle is much cheaper than through many.
std::vector<QRect> PaintRects(const QRegion& area);

// The pen of the marks drawn over a picture (a zoom frame): colour 15 as the
// screen shows it on its background.
QPen OverlayPen();

}  // namespace zeb
