// The desktop the real-window tests run on: activation and expose events
// reach the windows as on a user's desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <utility>
#include <memory>
#include <QtTest/QTest>

#include "base_qt/support_qt.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/qt/qt_tzcallback.h"

namespace {

class EventCounter : public QWidget {
 public:
  int activations = 0;
  int paints = 0;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::WindowActivate) ++activations;
    if (e->type() == QEvent::Paint) ++paints;
    return QWidget::event(e);
  }
};

using DesktopTest = zeb::qttest::QtTest;

TEST_F(DesktopTest, WindowsAreActivatedAndExposed) {
  ASSERT_EQ(QApplication::platformName(), "xcb");
  EventCounter first, second;
  first.resize(300, 200);
  second.resize(300, 200);
  first.show();
  // 20 s: a hang bound; a window is active within milliseconds.
  ASSERT_TRUE(QTest::qWaitForWindowActive(&first, 20000));
  second.show();
  second.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&second, 20000));
  first.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&first, 20000));
  EXPECT_EQ(first.activations, 2);
  EXPECT_GE(first.paints, 1);
  EXPECT_GE(second.paints, 1);
}

// The table engine's progress window leaves the activation with the window
// the user works in: no activation handler runs again when it closes.
TEST_F(DesktopTest, EngineProgressWindowTakesNoActivation) {
  auto callback = std::make_shared<zeb::xbase::QtTzCallback>();
  zeb::xbase::SetTzCallback(callback);
  EventCounter owner;
  owner.resize(400, 300);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
  const int activations = owner.activations;
  {
    zeb::xbase::TzProgress100 bar("Indexing...");
    QWidget* w = callback->Window(bar.Id());
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    for (int i = 0; i < 20; ++i) bar.Step();
    EXPECT_TRUE(owner.isActiveWindow());
  }
  // Closed: still the one activation.
  QTest::qWait(200);
  EXPECT_TRUE(owner.isActiveWindow());
  EXPECT_EQ(owner.activations, activations);
  zeb::xbase::SetTzCallback(nullptr);
}

// The frame the window manager put around a window, as it tells the X
// server (left, right, top, bottom); empty until it has framed it. Qt's
// own frameGeometry() keeps a frame read before the window manager was
// done (a zero bar on a busy machine).
QList<int> FrameExtents(const QWidget& w) {
  QProcess xprop;
  xprop.start("xprop", {"-id", QString::number(w.winId()), "_NET_FRAME_EXTENTS"});
  if (!xprop.waitForFinished(20000)) return {};
  // _NET_FRAME_EXTENTS(CARDINAL) = 1, 1, 22, 4
  const QString out = QString::fromLatin1(xprop.readAllStandardOutput());
  const qsizetype eq = out.indexOf('=');
  if (eq < 0) return {};
  QList<int> extents;
  for (const QString& part : out.mid(eq + 1).split(',')) {
    bool ok = false;
    extents.push_back(part.trimmed().toInt(&ok));
    if (!ok) return {};
  }
  return extents.size() == 4 ? extents : QList<int>{};
}

// How wide a box shown by `show` is and how wide its title needs it: the
// title in bold and four of the window manager's buttons (each about as
// wide as its bar is high).
std::pair<int, int> TitleRoom(const std::function<void()>& show, const char* shot) {
  int width = 0, need = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    const QList<int> extents = FrameExtents(*box);
    if (extents.isEmpty()) return;  // not framed yet
    const int bar = extents[2] + extents[3];
    if (bar <= 0) return;
    QFont bold = box->font();
    bold.setBold(true);
    width = box->width();
    need = QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 4 * bar;
    if (const char* folder = std::getenv("ZEB1_SCREENSHOTS"); folder != nullptr && *folder != '\0') {
      QTest::qWait(200);
      const QRect at = box->geometry().adjusted(-extents[0], -extents[2], extents[1], extents[3]);
      box->screen()
          ->grabWindow(0, at.x() - 20, at.y() - 20, at.width() + 40, at.height() + 40)
          .save(QString::fromUtf8(folder) + "/" + shot + ".png");
    }
    box->accept();
  });
  poll.start(50);
  show();
  return {width, need};
}

// A "Meldung:" box with a short text keeps its title whole on the title
// bar: the program's own and the table engine's.
TEST_F(DesktopTest, ShortMessageBoxKeepsItsTitleWhole) {
  const auto [width, need] = TitleRoom([&] { ui->MessageBox("Meldung:", "OK"); }, "message_box_title");
  EXPECT_GT(need, 0);
  EXPECT_GE(width, need);
  zeb::xbase::QtTzCallback engine;
  const auto [engineWidth, engineNeed] =
      TitleRoom([&] { engine.MessageBox("OK", "Programm angehalten.", 16); }, "engine_message_box_title");
  EXPECT_GT(engineNeed, 0);
  EXPECT_GE(engineWidth, engineNeed);
}

}  // namespace
