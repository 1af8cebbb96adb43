#include "graphics/qt/paint_items.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <functional>
#include <limits>

#include "base/globals.h"
#include "base/qt/qt_convert.h"
#include "graphics/graphwin.h"

namespace zeb {

namespace {

// A 64-bit mix of values (integers, texts).
class Hash {
 public:
  void Add(std::uint64_t v) {
    h_ ^= v + 0x9E3779B97F4A7C15ULL + (h_ << 6) + (h_ >> 2);
    h_ *= 0xFF51AFD7ED558CCDULL;
  }
  void Add(std::string_view s) { Add(std::hash<std::string_view>{}(s)); }
  std::uint64_t value() const { return h_; }

 private:
  std::uint64_t h_ = 0xCBF29CE484222325ULL;
};

// Widget pixels of a device rectangle: whole pixels around it and two more
// for the rounding of the scaled drawing.
QRect WidgetBox(const QTransform& toWidget, const QRectF& device) {
  return toWidget.mapRect(device).toAlignedRect().adjusted(-2, -2, 2, 2);
}

bool Same(const PaintItem& a, const PaintItem& b) { return a.hash == b.hash && a.SameDrawing(b); }

// Marks the items of a and b that a shortest edit script keeps (Myers);
// false when more than maxEdits edits would be needed.
bool Matches(const std::vector<PaintItem>& a, const std::vector<PaintItem>& b, int maxEdits,
             std::vector<char>& keptA, std::vector<char>& keptB) {
  const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
  keptA.assign(a.size(), 0);
  keptB.assign(b.size(), 0);
  const int most = std::min(n + m, maxEdits);
  // v[k + offset]: the furthest x on diagonal k; trace[d] is v before step d,
  // for the diagonals -d-1 .. d+1.
  const int offset = most + 1;
  std::vector<int> v(static_cast<std::size_t>(2 * most + 3), 0);
  std::vector<std::vector<int>> trace;
  auto at = [&](int k) -> int& { return v[static_cast<std::size_t>(k + offset)]; };
  int found = -1;
  for (int d = 0; d <= most && found < 0; ++d) {
    trace.emplace_back(v.begin() + (offset - d - 1), v.begin() + (offset + d + 2));
    for (int k = -d; k <= d; k += 2) {
      int x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      int y = x - k;
      while (x < n && y < m && Same(a[static_cast<std::size_t>(x)], b[static_cast<std::size_t>(y)])) ++x, ++y;
      at(k) = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
  }
  if (found < 0) return false;
  int x = n, y = m;
  for (int d = found; d >= 0; --d) {
    const std::vector<int>& t = trace[static_cast<std::size_t>(d)];
    auto old = [&](int k) { return t[static_cast<std::size_t>(k + d + 1)]; };
    const int k = x - y;
    int px = 0, py = 0;
    if (d > 0) {
      const int pk = (k == -d || (k != d && old(k - 1) < old(k + 1))) ? k + 1 : k - 1;
      px = old(pk);
      py = px - pk;
    }
    while (x > px && y > py) {
      --x, --y;
      keptA[static_cast<std::size_t>(x)] = 1;
      keptB[static_cast<std::size_t>(y)] = 1;
    }
    x = px;
    y = py;
  }
  return true;
}

// Beyond this many edits the search costs more than painting all.
constexpr int kMaxEdits = 1500;
// Changed boxes closer than this (widget pixels) are painted as one.
constexpr int kNear = 8;

}  // namespace

bool PaintItem::SameDrawing(const PaintItem& o) const {
  return kind == o.kind && style == o.style && width == o.width && pen == o.pen && brush == o.brush &&
         at == o.at && polygon == o.polygon && font == o.font && text == o.text;
}

ItemRecorder::ItemRecorder(int pageWidth, int pageHeight, const QTransform& toWidget, TextLayouts& layouts,
                           std::vector<PaintItem>& out)
    : w_(pageWidth), h_(pageHeight), toWidget_(toWidget), layouts_(layouts), out_(out) {}

void ItemRecorder::SetPen(std::uint32_t colour, int style, int width) {
  pen_ = colour;
  style_ = style;
  width_ = width;
}

void ItemRecorder::SetFont(const RenderFont& font) {
  if (!fontKey_.empty() && font == font_) return;
  font_ = font;
  const TextLayouts::Font& f = layouts_.FontOf(font);
  qfont_ = f.font;
  fontKey_ = f.key;
}

PaintItem& ItemRecorder::Add(PaintItem::Kind kind, bool withPen) {
  PaintItem& item = out_.emplace_back();
  item.kind = kind;
  if (withPen) {
    item.pen = pen_;
    item.style = static_cast<std::uint8_t>(std::clamp(style_, 0, 3));
    item.width = std::max(1, width_);
  }
  return item;
}

QRect ItemRecorder::Reach(std::span<const DevPoint> points, int width) const {
  int x1 = std::numeric_limits<int>::max(), y1 = x1, x2 = std::numeric_limits<int>::min(), y2 = x2;
  for (const DevPoint& p : points) {
    x1 = std::min(x1, p.x);
    y1 = std::min(y1, p.y);
    x2 = std::max(x2, p.x);
    y2 = std::max(y2, p.y);
  }
  // Half the width beside the line and a square cap of half the width
  // beyond its ends; a pixel more for the rounding.
  const double r = std::max(1, width) + 1.0;
  return WidgetBox(toWidget_, QRectF(QPointF(x1 - r, y1 - r), QPointF(x2 + r, y2 + r)));
}

void ItemRecorder::Finish(PaintItem& item) {
  Hash h;
  h.Add(static_cast<std::uint64_t>(item.kind) | static_cast<std::uint64_t>(item.style) << 8 |
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(item.width)) << 32);
  h.Add(static_cast<std::uint64_t>(item.pen) | static_cast<std::uint64_t>(item.brush) << 32);
  for (const DevPoint& p : item.at)
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) |
          static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.y)) << 32);
  for (const DevPoint& p : item.polygon)
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) |
          static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.y)) << 32);
  if (item.kind == PaintItem::Kind::Text) {
    h.Add(std::string_view(fontKey_));
    h.Add(std::string_view(item.text));
  }
  item.hash = h.value();
}

void ItemRecorder::Line(DevPoint a, DevPoint b) {
  PaintItem& item = Add(PaintItem::Kind::Line, true);
  item.at = {a, b};
  item.box = Reach({item.at.data(), 2}, item.width);
  Finish(item);
}

void ItemRecorder::Ellipse(DevPoint topLeft, DevPoint bottomRight) {
  PaintItem& item = Add(PaintItem::Kind::Ellipse, true);
  item.at = {topLeft, bottomRight};
  item.box = Reach({item.at.data(), 2}, item.width);
  Finish(item);
}

void ItemRecorder::Arc(DevPoint topLeft, DevPoint bottomRight, DevPoint start, DevPoint end) {
  PaintItem& item = Add(PaintItem::Kind::Arc, true);
  item.at = {topLeft, bottomRight, start, end};
  // The whole ellipse's box holds the arc.
  item.box = Reach({item.at.data(), 2}, item.width);
  Finish(item);
}

void ItemRecorder::Text(DevPoint p, std::string_view text1252) {
  if (fontKey_.empty()) SetFont(font_);
  PaintItem& item = Add(PaintItem::Kind::Text, false);
  item.pen = text_;
  item.font = font_;
  item.text.assign(text1252);
  item.at = {p};
  // As the renderer draws it: at p, turned by the escapement.
  QTransform local;
  local.translate(p.x, p.y);
  if (font_.escapement != 0) local.rotate(-font_.escapement / 10.0);
  item.box = WidgetBox(toWidget_, local.mapRect(layouts_.Get(text1252, fontKey_, qfont_).box));
  Finish(item);
}

void ItemRecorder::Polygon(const std::vector<DevPoint>& points) {
  PaintItem& item = Add(PaintItem::Kind::Polygon, true);
  item.brush = brush_;
  item.polygon = points;
  item.box = Reach(points, item.width);
  Finish(item);
}

void ItemRecorder::Overlay(DevPoint a, DevPoint b) {
  PaintItem& item = out_.emplace_back();
  item.kind = PaintItem::Kind::Overlay;
  item.at = {a, b};
  item.box = Reach({item.at.data(), 2}, 1);
  Finish(item);
}

QRegion ChangedArea(const PaintItems& before, const PaintItems& after, const QRect& all) {
  if (before.toWidget != after.toWidget || before.clip != after.clip || before.background != after.background)
    return all;
  std::vector<char> keptA, keptB;
  if (!Matches(before.items, after.items, kMaxEdits, keptA, keptB)) return all;
  // Boxes of the items that went and came, within the device rectangle.
  std::vector<QRect> boxes;
  auto add = [&](const std::vector<PaintItem>& items, const std::vector<char>& kept) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (kept[i]) continue;
      const QRect r = items[i].box & after.clip;
      if (!r.isEmpty()) boxes.push_back(r);
    }
  };
  add(before.items, keptA);
  add(after.items, keptB);
  // Boxes near each other become one: a few rectangles are cheaper to clip
  // to and to send to the screen than many small ones, for a few pixels
  // more. Rounds until no two are near.
  for (bool merged = true; merged;) {
    merged = false;
    std::vector<QRect> out;
    std::vector<char> taken(boxes.size(), 0);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      if (taken[i]) continue;
      QRect r = boxes[i];
      for (std::size_t j = i + 1; j < boxes.size(); ++j) {
        if (taken[j] || !r.adjusted(-kNear, -kNear, kNear, kNear).intersects(boxes[j])) continue;
        r |= boxes[j];
        taken[j] = 1;
        merged = true;
      }
      out.push_back(r);
    }
    boxes.swap(out);
  }
  QRegion area;
  for (const QRect& r : boxes) area += r;
  return area & all;
}

std::vector<QRect> PaintRects(const QRegion& area) {
  std::vector<QRect> out;
  for (const QRect& r : area) {
    auto below = std::find_if(out.begin(), out.end(), [&r](const QRect& o) {
      return o.left() == r.left() && o.right() == r.right() && o.bottom() + 1 == r.top();
    });
    if (below != out.end())
      below->setBottom(r.bottom());
    else
      out.push_back(r);
  }
  return out;
}

void DrawItems(QPainter& painter, const PaintItems& items, const QRect& area, TextLayouts& layouts, int pageWidth,
               int pageHeight) {
  painter.save();
  painter.setTransform(items.toWidget, true);
  painter.setClipRect(QRect(0, 0, pageWidth, pageHeight), Qt::IntersectClip);
  QtRenderer r(painter, pageWidth, pageHeight, &layouts);
  // The renderer's state as last set; an item sets only what differs.
  bool penSet = false, brushSet = false, textSet = false;
  std::uint32_t pen = 0, brush = 0, text = 0;
  int style = 0, width = 0;
  auto usePen = [&](const PaintItem& i) {
    if (penSet && i.pen == pen && i.style == style && i.width == width) return;
    penSet = true;
    pen = i.pen;
    style = i.style;
    width = i.width;
    r.SetPen(pen, style, width);
  };
  for (const PaintItem& i : items.items) {
    if (i.box.isEmpty() || !area.intersects(i.box)) continue;
    switch (i.kind) {
      case PaintItem::Kind::Line:
        usePen(i);
        r.Line(i.at[0], i.at[1]);
        break;
      case PaintItem::Kind::Ellipse:
        usePen(i);
        r.Ellipse(i.at[0], i.at[1]);
        break;
      case PaintItem::Kind::Arc:
        usePen(i);
        r.Arc(i.at[0], i.at[1], i.at[2], i.at[3]);
        break;
      case PaintItem::Kind::Text:
        if (!textSet || i.pen != text) {
          textSet = true;
          text = i.pen;
          r.SetTextColour(text);
        }
        r.SetFont(i.font);
        r.Text(i.at[0], i.text);
        break;
      case PaintItem::Kind::Polygon:
        usePen(i);
        if (!brushSet || i.brush != brush) {
          brushSet = true;
          brush = i.brush;
          r.SetBrush(brush);
        }
        r.Polygon(i.polygon);
        break;
      case PaintItem::Kind::Overlay:
        painter.setPen(OverlayPen());
        painter.drawLine(i.at[0].x, i.at[0].y, i.at[1].x, i.at[1].y);
        penSet = false;
        break;
    }
  }
  painter.restore();
}

QPen OverlayPen() {
  const std::uint32_t background = QColorToColourValue(BackgroundQColor());
  return QPen(ColourValueToQColor(ShownOn(G().ColourTable[15], background)), 1);
}

}  // namespace zeb
