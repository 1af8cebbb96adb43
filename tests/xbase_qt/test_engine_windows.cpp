// The table engine's message and progress windows on Qt: a window without
// caption is borderless and yellow, one with a caption gets a border; both
// are centred over the window that was active when they were made and grow
// with their text but never shrink.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"
#include "xbase/qt/qt_tzcallback.h"

namespace zeb::xbase {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_engine_windows";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class EngineWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    qt = std::make_shared<QtTzCallback>();
    SetTzCallback(qt);
    owner.setGeometry(100, 80, 600, 400);
    owner.show();
    owner.activateWindow();
    // 20 s: a hang bound; a window is active within milliseconds.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner, 20000));
  }
  void TearDown() override { SetTzCallback(nullptr); }
  struct AppFirst {
    AppFirst() { App(); }
  } app_;
  std::shared_ptr<QtTzCallback> qt;
  QWidget owner;
};

QPoint CentreOf(const QRect& r) { return {r.x() + r.width() / 2, r.y() + r.height() / 2}; }

TEST_F(EngineWindows, MessageWithoutCaptionIsBorderlessYellowAndNeverShrinks) {
  TzMsg msg;
  msg.ShowText("Kurz");
  QWidget* w = qt->Window(msg.Id());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(w->palette().color(QPalette::Window), QColor(255, 255, 0));
  auto* text = w->findChild<QLabel*>("TzMsgText");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), "Kurz");
  const QFontMetrics m(text->font());
  EXPECT_GE(w->width(), m.horizontalAdvance("Kurz") + 30);
  EXPECT_GE(w->height(), m.height() + 30);
  // Centred over the owner (integer halves may differ by one pixel).
  EXPECT_LE((CentreOf(w->geometry()) - CentreOf(owner.frameGeometry())).manhattanLength(), 2);

  const QString longText = "Indexing zebwst.ndx: a text much longer than the first one";
  msg.ShowText(longText.toStdString());
  const QSize grown = w->size();
  EXPECT_GE(grown.width(), m.horizontalAdvance(longText) + 30);
  EXPECT_LE((CentreOf(w->geometry()) - CentreOf(owner.frameGeometry())).manhattanLength(), 2);
  if (const char* folder = std::getenv("ZEB1_SCREENSHOTS"); folder && *folder)
    w->grab().save(QString::fromUtf8(folder) + "/engine_message.png");
  msg.ShowText("x");
  EXPECT_EQ(w->size(), grown);
  // An empty text keeps the current one.
  msg.ShowText("");
  EXPECT_EQ(text->text(), "x");
}

TEST_F(EngineWindows, ProgressWithCaptionHasABorderAndRoomForTheCaption) {
  TzProgress100 bar("Appending...");
  QWidget* w = qt->Window(bar.Id());
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w->windowTitle(), "Appending...");
  auto* text = w->findChild<QLabel*>("TzMsgText");
  EXPECT_EQ(text->text(), QString(100, QLatin1Char('|')));
  const QSize first = w->size();
  for (int i = 0; i < 60; ++i) bar.Step();
  EXPECT_EQ(text->text(), QString(40, QLatin1Char('|')));
  EXPECT_EQ(w->size(), first);  // the shorter bar does not shrink it
}

// The end of the program asked for while a command processes events (its
// pump) waits until the command is out of it; dialogs go first.
TEST_F(EngineWindows, TerminateWaitsUntilNoCommandProcessesEvents) {
  QWidget other;
  other.show();
  qt->RequestTerminate();
  qt->Pump();
  qt->Pump();
  EXPECT_EQ(QtTzCallback::PumpDepth(), 0);
  EXPECT_TRUE(owner.isVisible());
  EXPECT_TRUE(other.isVisible());
  // Back in the event loop the windows close (a bound, not a timing).
  EXPECT_TRUE(QTest::qWaitFor([&] { return !owner.isVisible() && !other.isVisible(); }, 10000));
}

TEST_F(EngineWindows, TerminateClosesAnOpenDialogFirst) {
  QDialog dialog(&owner);
  QTimer::singleShot(0, &dialog, [this] { qt->RequestTerminate(); });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);  // closed as by the user
  EXPECT_TRUE(QTest::qWaitFor([&] { return !owner.isVisible(); }, 10000));
}

}  // namespace
}  // namespace zeb::xbase
