#include "graphics/qt/canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRubberBand>
#include <algorithm>
#include <cmath>

#include "base/globals.h"
#include "base/qt/qt_convert.h"
#include "graphics/qt/forms.h"
#include "graphics/qt/qt_renderer.h"

namespace zeb {

GraphCanvas::GraphCanvas(GraphWindow& window, QWidget* parent) : QWidget(parent), window_(window) {
  setObjectName("GraphCanvas");
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The picture does not change with the window's activation: one colour
  // group for both, so that a dialog opening over the window does not
  // replay the list.
  QPalette pal = palette();
  for (int role = 0; role < QPalette::NColorRoles; ++role) {
    const auto r = static_cast<QPalette::ColorRole>(role);
    pal.setBrush(QPalette::Inactive, r, pal.brush(QPalette::Active, r));
  }
  setPalette(pal);
  window_.SetHost(this);
}

GraphCanvas::~GraphCanvas() {
  if (&window_.Host() == this) window_.SetHost(nullptr);
}

void GraphCanvas::Invalidate() {
  present_.reset();
  // One update per paint: a drawing adds thousands of records.
  if (pending_) return;
  pending_ = true;
  QMetaObject::invokeMethod(this, &GraphCanvas::UpdateChanged, Qt::QueuedConnection);
}

void GraphCanvas::Repaint() {
  overlay_.clear();
  Invalidate();
}

void GraphCanvas::Flush() {
  if (!pending_ || !isVisible()) return;
  const QRegion area = Changed();
  if (!area.isEmpty()) repaint(area);
}

void GraphCanvas::UpdateChanged() {
  if (!pending_) return;
  if (!isVisible()) {
    // Shown again as a whole.
    pending_ = false;
    shown_.reset();
    stale_ = QRegion();
    return;
  }
  // Painted now: this runs when the loop runs again after the change.
  const QRegion area = Changed();
  if (!area.isEmpty()) repaint(area);
}

QTransform GraphCanvas::ToWidget() const {
  // As PaintOn sets the painter.
  QTransform t;
  const QPointF o = Offset(size());
  t.translate(o.x(), o.y());
  t.scale(Scale(size()), Scale(size()));
  return t;
}

bool GraphCanvas::WholeReplays() const { return window_.animationStep != 0 || window_.HasPauses(); }

std::shared_ptr<const PaintItems> GraphCanvas::Measure() {
  auto m = std::make_shared<PaintItems>();
  m->toWidget = ToWidget();
  m->clip = m->toWidget.mapRect(QRectF(0, 0, window_.DeviceWidth(), window_.DeviceHeight())).toAlignedRect();
  m->background = BackgroundQColor().rgb();
  m->items.reserve(window_.DisplayList().size() + overlay_.size());
  ItemRecorder recorder(window_.DeviceWidth(), window_.DeviceHeight(), m->toWidget, layouts_, m->items);
  window_.ReplayQuiet(recorder);
  for (const auto& [a, b] : overlay_) recorder.Overlay(a, b);
  return m;
}

const PaintItems& GraphCanvas::Present() {
  // A list changed since, or a widget of another size.
  if (!present_ || present_->toWidget != ToWidget()) present_ = Measure();
  return *present_;
}

QRegion GraphCanvas::Changed() {
  pending_ = false;
  const QRect all = rect();
  if (WholeReplays()) {
    shown_.reset();
    stale_ = QRegion();
    return all;
  }
  Present();
  QRegion area = shown_ ? ChangedArea(*shown_, *present_, all) : QRegion(all);
  area += stale_;
  stale_ = QRegion();
  shown_ = present_;
  return area & all;
}

void GraphCanvas::PaintPart(QPainter& painter, const QRegion& area) {
  const PaintItems& items = Present();
  for (const QRect& r : PaintRects(area)) {
    painter.save();
    painter.setClipRect(r);
    painter.fillRect(r, BackgroundQColor());
    DrawItems(painter, items, r, layouts_, window_.DeviceWidth(), window_.DeviceHeight());
    painter.restore();
  }
}

void GraphCanvas::SetWaitCursor(bool wait) {
  if (wait) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void GraphCanvas::OverlayLine(DevPoint a, DevPoint b) {
  overlay_.emplace_back(a, b);
  Invalidate();
}

bool GraphCanvas::ShowAniStep() {
  TForm_anistep form(this);
  form.exec();
  return form.endOfSteps;
}

double GraphCanvas::Scale(QSize size) const {
  return std::min(static_cast<double>(size.width()) / window_.DeviceWidth(),
                  static_cast<double>(size.height()) / window_.DeviceHeight());
}

QPointF GraphCanvas::Offset(QSize size) const {
  const double s = Scale(size);
  return {(size.width() - s * window_.DeviceWidth()) / 2, (size.height() - s * window_.DeviceHeight()) / 2};
}

QPoint GraphCanvas::ToDevice(QPoint c) const {
  const double s = Scale(size());
  const QPointF o = Offset(size());
  if (s <= 0) return {};
  return {static_cast<int>(std::lround((c.x() - o.x()) / s)), static_cast<int>(std::lround((c.y() - o.y()) / s))};
}

QPoint GraphCanvas::ToClient(QPoint d) const {
  const double s = Scale(size());
  const QPointF o = Offset(size());
  return {static_cast<int>(std::lround(d.x() * s + o.x())), static_cast<int>(std::lround(d.y() * s + o.y()))};
}

void GraphCanvas::PaintOn(QPainter& painter, QSize size) {
  painter.fillRect(QRect(QPoint(0, 0), size), BackgroundQColor());
  painter.save();
  const QPointF o = Offset(size);
  painter.translate(o);
  painter.scale(Scale(size), Scale(size));
  painter.setClipRect(QRect(0, 0, window_.DeviceWidth(), window_.DeviceHeight()));
  QtRenderer r(painter, window_.DeviceWidth(), window_.DeviceHeight(), &layouts_);
  window_.Replay(&r, nullptr);
  if (!overlay_.empty()) {
    painter.setPen(OverlayPen());
    for (const auto& [a, b] : overlay_) painter.drawLine(a.x, a.y, b.x, b.y);
  }
  painter.restore();
}

void GraphCanvas::paintEvent(QPaintEvent* event) {
  if (WholeReplays()) {
    // Shown as a whole once the replays end.
    shown_.reset();
    QPainter painter(this);
    PaintOn(painter, size());
  } else {
    // A part painted from a list the screen is not known to show yet is
    // compared again with the next one.
    if (pending_) stale_ += event->region();
    QPainter painter(this);
    PaintPart(painter, event->region());
  }
  // The step window after this paint has reached the screen.
  if (window_.StepWaiting() && !stepQueued_) {
    stepQueued_ = true;
    QMetaObject::invokeMethod(this, &GraphCanvas::NextStep, Qt::QueuedConnection);
  }
}

void GraphCanvas::NextStep() {
  const bool toEnd = ShowAniStep();
  stepQueued_ = false;
  window_.StepAnswered(toEnd);
}

QImage GraphCanvas::Render() {
  QImage image(size(), QImage::Format_RGB32);
  QPainter painter(&image);
  PaintOn(painter, size());
  return image;
}

void GraphCanvas::mousePressEvent(QMouseEvent* e) {
  const QPoint d = ToDevice(e->position().toPoint());
  const MouseButton b = e->button() == Qt::LeftButton    ? MouseButton::Left
                        : e->button() == Qt::RightButton ? MouseButton::Right
                                                         : MouseButton::Other;
  window_.MouseDown(b, d.x(), d.y());
  if (b == MouseButton::Left && window_.Dragging()) {
    if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, this);
    bandStart_ = e->position().toPoint();
    band_->setGeometry(QRect(bandStart_, QSize()));
    band_->show();
  }
}

void GraphCanvas::mouseMoveEvent(QMouseEvent* e) {
  if (!window_.Dragging()) return;
  const QPoint d = ToDevice(e->position().toPoint());
  window_.MouseMove(d.x(), d.y());
  if (band_) band_->setGeometry(QRect(bandStart_, e->position().toPoint()).normalized());
}

void GraphCanvas::mouseReleaseEvent(QMouseEvent* e) {
  if (band_) band_->hide();
  if (e->button() != Qt::LeftButton) return;
  const QPoint d = ToDevice(e->position().toPoint());
  window_.MouseUp(MouseButton::Left, d.x(), d.y());
}

void GraphCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    if (band_) band_->hide();
    window_.DoubleClick();
  } else {
    mousePressEvent(e);
  }
}

int GraphCanvas::KeyCode(int key, Qt::KeyboardModifiers m) {
  if (m & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return 0;
  switch (key) {
    case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Alt: case Qt::Key_Meta: case Qt::Key_AltGr:
    case Qt::Key_CapsLock: case Qt::Key_NumLock: case Qt::Key_ScrollLock: case Qt::Key_Super_L:
    case Qt::Key_Super_R: case Qt::Key_Menu:
      return 0;
    case Qt::Key_Escape: return kKeyEsc;
    case Qt::Key_F5: return kKeyF5;
    case Qt::Key_PageUp: return kKeyPageUp;
    case Qt::Key_PageDown: return kKeyPageDown;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Down: return kKeyDown;
    case Qt::Key_Plus: return kKeyAdd;
    case Qt::Key_Minus: return kKeySubtract;
    default: break;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  return 0x100;  // any other key: repeats the last step
}

void GraphCanvas::keyPressEvent(QKeyEvent* e) {
  const int code = KeyCode(e->key(), e->modifiers() & ~Qt::KeypadModifier);
  if (code == 0) {
    QWidget::keyPressEvent(e);
    return;
  }
  window_.ProcessKey(code);
}

}  // namespace zeb
