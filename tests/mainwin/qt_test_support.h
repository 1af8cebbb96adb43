// Shared pieces of the Qt tests of the program: one QApplication for the
// whole test run, closing a main window, and a command's standard output.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "base/globals.h"
#include "base/support_shell.h"
#include "mainwin/program.h"
#include "mainwin/qt/main_window.h"

namespace zeb::test {

// Closes a test's main window without the save question and forgets it.
inline void CloseMainWindow(std::unique_ptr<Thh>& window) {
  if (window && !window->Destroyed()) {
    G().ModifiedFlag = 0;
    window->close();
  }
  window.reset();
  SetMainWindow(nullptr);
}

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "zeb1_qt_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

inline std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// Runs act on the modal dialog named name as soon as it is open.
class ModalDriver {
 public:
  ModalDriver(const char* name, std::function<void(QWidget&)> act) : name_(name), act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* w = QApplication::activeModalWidget();
      if (done_ || w == nullptr || w->objectName() != name_) return;
      done_ = true;
      act_(*w);
    });
    timer_.start(5);
  }
  ~ModalDriver() { EXPECT_TRUE(done_) << name_.toStdString() << " never opened"; }

 private:
  QString name_;
  std::function<void(QWidget&)> act_;
  QTimer timer_;
  bool done_ = false;
};

}  // namespace zeb::test
