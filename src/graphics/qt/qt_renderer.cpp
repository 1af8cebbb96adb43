#include "graphics/qt/qt_renderer.h"

#include <QFontMetrics>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "base/qt/qt_convert.h"

namespace zeb {

namespace {

std::string FontKey(const RenderFont& f) {
  std::string key = f.face;
  for (int v : {f.height, f.width, f.escapement, f.bold ? 1 : 0, f.italic ? 1 : 0, f.underline ? 1 : 0,
                f.strikeOut ? 1 : 0}) {
    key += ';';
    key += std::to_string(v);
  }
  return key;
}

QFont MakeFont(const RenderFont& f) {
  QFont font(QString::fromUtf8(f.face.c_str()));
  font.setPixelSize(std::max(1, f.height));
  // The height is the text's cell, its baseline three quarters of it below
  // the top, where the window puts a text's top left: the face is sized by
  // its ascent, so a text stands on its baseline as in the CAD files.
  if (const qreal ascent = QFontMetricsF(font).ascent(); ascent > 0)
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(0.75 * f.height * f.height / ascent))));
  font.setWeight(f.bold ? QFont::Bold : QFont::Normal);
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeOut);
  // The width asks for an average character width: stretch the face to it.
  if (f.width > 0) {
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0) font.setStretch(std::clamp(static_cast<int>(std::lround(100.0 * f.width / average)), 1, 4000));
  }
  return font;
}

// The texts and fonts of a few pictures; new values at every repaint must
// not make the tables grow without end.
constexpr std::size_t kMaxLayouts = 20000;

}  // namespace

const TextLayouts::Font& TextLayouts::FontOf(const RenderFont& f) {
  std::string key = FontKey(f);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  if (fonts_.size() >= kMaxLayouts) {
    fonts_.clear();
    layouts_.clear();
  }
  QFont font = MakeFont(f);
  const qreal ascent = QFontMetricsF(font).ascent();
  return fonts_.emplace(key, Font{std::move(font), ascent, key}).first->second;
}

const TextLayouts::Layout& TextLayouts::Get(std::string_view text1252, const std::string& fontKey, const QFont& font) {
  scratch_.assign(text1252);
  scratch_ += '\0';
  scratch_ += fontKey;
  auto it = layouts_.find(scratch_);
  if (it != layouts_.end()) return it->second;
  if (layouts_.size() >= kMaxLayouts) layouts_.clear();
  const QString text = AnsiToQString(text1252);
  Layout layout;
  layout.text.setText(text);
  layout.text.setTextFormat(Qt::PlainText);
  layout.text.prepare(QTransform(), font);
  // The glyphs may reach out of the layout (italics, bearings): their ink
  // too, and a pixel more all round for the hinting at another scale.
  const QFontMetricsF metrics(font);
  const QRectF ink = metrics.boundingRect(text).translated(0, metrics.ascent());
  layout.box = QRectF(QPointF(0, 0), layout.text.size()).united(ink).adjusted(-1, -1, 1, 1);
  return layouts_.emplace(scratch_, std::move(layout)).first->second;
}

QtRenderer::QtRenderer(QPainter& painter, int pageWidth, int pageHeight, TextLayouts* layouts)
    : p_(painter), w_(pageWidth), h_(pageHeight), layouts_(layouts) {
  p_.setRenderHint(QPainter::Antialiasing, false);
  p_.setBackgroundMode(Qt::TransparentMode);
}

void QtRenderer::SetPen(std::uint32_t colour, int style, int width) {
  QPen pen(ColourValueToQColor(colour));
  pen.setWidth(std::max(1, width));
  switch (style) {
    case 1: pen.setStyle(Qt::DotLine); break;
    case 2: pen.setStyle(Qt::DashDotLine); break;
    case 3: pen.setStyle(Qt::DashLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
  }
  p_.setPen(pen);
}

void QtRenderer::SetBrush(std::uint32_t colour) { p_.setBrush(QBrush(ColourValueToQColor(colour))); }

void QtRenderer::SetFont(const RenderFont& f) {
  if (fontSet_ && f == lastFont_) return;
  fontSet_ = true;
  lastFont_ = f;
  if (layouts_ != nullptr) {
    const TextLayouts::Font& cached = layouts_->FontOf(f);
    font_ = cached.font;
    ascent_ = cached.ascent;
    fontKey_ = cached.key;
  } else {
    font_ = MakeFont(f);
    ascent_ = QFontMetricsF(font_).ascent();
  }
  escapement_ = f.escapement;
}

void QtRenderer::SetTextColour(std::uint32_t colour) { text_ = ColourValueToQColor(colour); }

void QtRenderer::Line(DevPoint a, DevPoint b) { p_.drawLine(a.x, a.y, b.x, b.y); }

void QtRenderer::Ellipse(DevPoint a, DevPoint b) {
  const QBrush brush = p_.brush();
  p_.setBrush(Qt::NoBrush);
  p_.drawEllipse(QRectF(a.x, a.y, b.x - a.x, b.y - a.y));
  p_.setBrush(brush);
}

void QtRenderer::Arc(DevPoint a, DevPoint b, DevPoint s, DevPoint e) {
  const double cx = (a.x + b.x) / 2.0, cy = (a.y + b.y) / 2.0;
  const double rx = std::max(0.5, (b.x - a.x) / 2.0), ry = std::max(0.5, (b.y - a.y) / 2.0);
  const double as = std::atan2(-(s.y - cy) / ry, (s.x - cx) / rx) * 180 / M_PI;
  const double ae = std::atan2(-(e.y - cy) / ry, (e.x - cx) / rx) * 180 / M_PI;
  double span = ae - as;
  if (span <= 0) span += 360;
  p_.drawArc(QRectF(a.x, a.y, b.x - a.x, b.y - a.y), static_cast<int>(std::lround(as * 16)),
             static_cast<int>(std::lround(span * 16)));
}

void QtRenderer::Text(DevPoint p, std::string_view text1252) {
  p_.save();
  p_.setFont(font_);
  p_.setPen(text_);
  p_.translate(p.x, p.y);
  if (escapement_ != 0) p_.rotate(-escapement_ / 10.0);
  if (layouts_ != nullptr)
    p_.drawStaticText(QPointF(0, 0), layouts_->Get(text1252, fontKey_, font_).text);
  else
    p_.drawText(QPointF(0, ascent_), AnsiToQString(text1252));
  p_.restore();
}

void QtRenderer::Polygon(const std::vector<DevPoint>& points) {
  QPolygon poly;
  for (const DevPoint& d : points) poly << QPoint(d.x, d.y);
  p_.drawPolygon(poly);
}

}  // namespace zeb
