// The desktop the real-window tests run on: activation and expose events
// reach the windows as on a user's desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QtTest/QTest>

#include "base_qt/support_qt.h"

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

}  // namespace
