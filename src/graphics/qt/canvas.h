// The graphics canvas: a widget showing the graphics window's display list.
// It draws the logical device (Nearest(4H/3) x H) scaled uniformly and
// centred, forwards mouse and keys to the window's logic, shows the zoom
// drag as a rubber band and keeps the window's immediate lines in an
// overlay until the next replay. A change of the list asks for one paint
// when the event loop next runs, so a whole drawing run shows at once; the
// paint covers only the part of the widget where the new picture differs
// from the one on the screen (the items of the two pictures compared) and
// draws only what reaches into it. Flush paints a pending picture at once.
// While an animation steps or pauses, every paint replays the whole list;
// an animation step opens its window after the paint that shows the
// picture up to it.
#pragma once
#include <QImage>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <vector>

#include "graphics/graphwin.h"
#include "graphics/qt/paint_items.h"
#include "graphics/qt/qt_renderer.h"

class QRubberBand;

namespace zeb {

class GraphCanvas : public QWidget, public GraphicsHost {
  Q_OBJECT
 public:
  explicit GraphCanvas(GraphWindow& window, QWidget* parent = nullptr);
  ~GraphCanvas() override;

  // GraphicsHost.
  void Invalidate() override;
  void Repaint() override;
  void Flush() override;
  void SetWaitCursor(bool wait) override;
  void OverlayLine(DevPoint a, DevPoint b) override;
  bool ShowAniStep() override;

  // The picture as this widget shows it, at its present size: the whole
  // list replayed.
  QImage Render();
  // The part of the widget that differs between the picture last asked
  // to be shown and the present one, which it now counts as shown (the
  // whole widget when that is not known).
  QRegion Changed();
  // Paints the part of the widget (its pixels) from the present picture.
  void PaintPart(QPainter& painter, const QRegion& area);
  // Client pixel to logical device pixel and back.
  QPoint ToDevice(QPoint client) const;
  QPoint ToClient(QPoint device) const;
  // The Windows key code of a Qt key (0: none for the window).
  static int KeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PaintOn(QPainter& painter, QSize size);
  void NextStep();
  double Scale(QSize size) const;
  QPointF Offset(QSize size) const;
  // Device pixels to widget pixels, as a paint maps them.
  QTransform ToWidget() const;
  // Paints that replay the whole list: an animation steps or pauses.
  bool WholeReplays() const;
  // The items of the present picture at the present size.
  std::shared_ptr<const PaintItems> Measure();
  const PaintItems& Present();
  void UpdateChanged();

  GraphWindow& window_;
  QRubberBand* band_ = nullptr;
  QPoint bandStart_;
  std::vector<std::pair<DevPoint, DevPoint>> overlay_;
  TextLayouts layouts_;
  std::shared_ptr<const PaintItems> present_;  // of the list as it is (null: changed since)
  std::shared_ptr<const PaintItems> shown_;    // as last asked to be shown (null: not known)
  QRegion stale_;             // painted from a list newer than shown_
  bool pending_ = false;      // the list changed; the paint is not asked for yet
  bool stepQueued_ = false;   // the step window is on its way or open
};

}  // namespace zeb
