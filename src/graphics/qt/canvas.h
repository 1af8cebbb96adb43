// The graphics canvas: a widget showing the graphics window's display list.
// It draws the logical device (Nearest(4H/3) x H) scaled uniformly and
// centred, forwards mouse and keys to the window's logic, shows the zoom
// drag as a rubber band and keeps the window's immediate lines in an
// overlay until the next replay. A change of the list asks Qt for one
// paint (update), so a whole drawing run shows in one replay when the
// event loop next runs; Flush paints a pending picture at once. An
// animation step opens its window after the paint that shows the picture
// up to it.
#pragma once
#include <QImage>
#include <QWidget>
#include <vector>

#include "graphics/graphwin.h"
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

  // The picture as this widget shows it, at its present size.
  QImage Render();
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

  GraphWindow& window_;
  QRubberBand* band_ = nullptr;
  QPoint bandStart_;
  std::vector<std::pair<DevPoint, DevPoint>> overlay_;
  TextLayouts layouts_;
  bool pending_ = false;      // a paint has been asked for
  bool stepQueued_ = false;   // the step window is on its way or open
};

}  // namespace zeb
