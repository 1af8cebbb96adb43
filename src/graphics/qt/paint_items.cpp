#include "graphics/qt/paint_items.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <limits>

#include "base/qt/qt_convert.h"

namespace zeb {

namespace {

// FNV-1a over the bytes of values.
class Hash {
 public:
  template <class T>
  void Add(const T& v) {
    Bytes(reinterpret_cast<const unsigned char*>(&v), sizeof v);
  }
  void Add(std::string_view s) {
    Add(s.size());
    Bytes(reinterpret_cast<const unsigned char*>(s.data()), s.size());
  }
  std::uint64_t value() const { return h_; }

 private:
  void Bytes(const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      h_ ^= p[i];
      h_ *= 1099511628211ULL;
    }
  }
  std::uint64_t h_ = 14695981039346656037ULL;
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

}  // namespace

bool PaintItem::SameDrawing(const PaintItem& o) const {
  return kind == o.kind && style == o.style && width == o.width && pen == o.pen && brush == o.brush &&
         points == o.points && font == o.font && text == o.text;
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

QRect ItemRecorder::Reach(const std::vector<DevPoint>& points, int width) const {
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
  h.Add(item.kind);
  h.Add(item.style);
  h.Add(item.width);
  h.Add(item.pen);
  h.Add(item.brush);
  for (const DevPoint& p : item.points) {
    h.Add(p.x);
    h.Add(p.y);
  }
  if (item.kind == PaintItem::Kind::Text) {
    h.Add(std::string_view(fontKey_));
    h.Add(std::string_view(item.text));
  }
  item.hash = h.value();
}

void ItemRecorder::Line(DevPoint a, DevPoint b) {
  PaintItem& item = Add(PaintItem::Kind::Line, true);
  item.points = {a, b};
  item.box = Reach(item.points, item.width);
  Finish(item);
}

void ItemRecorder::Ellipse(DevPoint topLeft, DevPoint bottomRight) {
  PaintItem& item = Add(PaintItem::Kind::Ellipse, true);
  item.points = {topLeft, bottomRight};
  item.box = Reach(item.points, item.width);
  Finish(item);
}

void ItemRecorder::Arc(DevPoint topLeft, DevPoint bottomRight, DevPoint start, DevPoint end) {
  PaintItem& item = Add(PaintItem::Kind::Arc, true);
  item.points = {topLeft, bottomRight, start, end};
  // The whole ellipse's box holds the arc.
  item.box = Reach({topLeft, bottomRight}, item.width);
  Finish(item);
}

void ItemRecorder::Text(DevPoint p, std::string_view text1252) {
  if (fontKey_.empty()) SetFont(font_);
  PaintItem& item = Add(PaintItem::Kind::Text, false);
  item.pen = text_;
  item.font = font_;
  item.text.assign(text1252);
  item.points = {p};
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
  item.points = points;
  item.box = Reach(points, item.width);
  Finish(item);
}

void ItemRecorder::Overlay(DevPoint a, DevPoint b) {
  PaintItem& item = out_.emplace_back();
  item.kind = PaintItem::Kind::Overlay;
  item.points = {a, b};
  item.box = Reach(item.points, 1);
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
  QRegion area;
  for (const QRect& r : boxes) area += r;
  return area & all;
}

void DrawItems(QPainter& painter, const PaintItems& items, const QRegion& area, TextLayouts& layouts, int pageWidth,
               int pageHeight) {
  painter.save();
  painter.setTransform(items.toWidget);
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
        r.Line(i.points[0], i.points[1]);
        break;
      case PaintItem::Kind::Ellipse:
        usePen(i);
        r.Ellipse(i.points[0], i.points[1]);
        break;
      case PaintItem::Kind::Arc:
        usePen(i);
        r.Arc(i.points[0], i.points[1], i.points[2], i.points[3]);
        break;
      case PaintItem::Kind::Text:
        if (!textSet || i.pen != text) {
          textSet = true;
          text = i.pen;
          r.SetTextColour(text);
        }
        r.SetFont(i.font);
        r.Text(i.points[0], i.text);
        break;
      case PaintItem::Kind::Polygon:
        usePen(i);
        if (!brushSet || i.brush != brush) {
          brushSet = true;
          brush = i.brush;
          r.SetBrush(brush);
        }
        r.Polygon(i.points);
        break;
      case PaintItem::Kind::Overlay:
        painter.setPen(QPen(ColourNumberToQColor(15), 1));
        painter.drawLine(i.points[0].x, i.points[0].y, i.points[1].x, i.points[1].y);
        penSet = false;
        break;
    }
  }
  painter.restore();
}

}  // namespace zeb
