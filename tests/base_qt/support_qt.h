// Test support for the Qt port: one QApplication for the whole run
// (offscreen), a fixture installing a QtUi, and helpers that act on modal
// dialogs while their exec() runs.
#pragma once
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>
#include <memory>
#include <string>

#include "base/qt/qt_ui.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zeb::qttest {

// Runs action on the active modal widget once one is shown whose object name
// or class name is name ("" takes any). Gives up after timeoutMs (a hang
// bound: a dialog shows within a tenth of a second here): the test fails and
// every modal widget is closed, so exec() returns.
void WhenShown(const QString& name, std::function<void(QWidget*)> action, int timeoutMs = 20000);
// Clicks button on the next message box, after checking its text contains
// textPart (UTF-8).
void AnswerBox(const std::string& textPart, QMessageBox::StandardButton button);

// The child named name of w, or a test failure (returns nullptr).
template <class T>
T* Child(QWidget* w, const char* name) {
  T* c = w ? w->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_NE(c, nullptr) << "no child " << name;
  return c;
}

// A scratch folder removed at the end of the test.
std::string MakeScratchFolder();

// With ZEB1_SCREENSHOTS set to a folder, saves w there as <name>.png (for the
// review under a real display); otherwise nothing.
void Screenshot(QWidget* w, const char* name);

class QtTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::shared_ptr<QtUi> ui;
  std::string scratch;  // fresh folder (UTF-8 path, no trailing "/")

 private:
  std::unique_ptr<QTimer> watchdog_;
};

}  // namespace zeb::qttest
