// The whole program on a real window system (run under with_desktop.sh): a
// private run (HOME, XDG folders, TMPDIR, working folder, copies of the
// shipped tables, no printer, only stand-ins of external programs on PATH),
// the program's own start-up and ports, a record of every Qt warning, and a
// user who acts only when the program waits for input.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "base/qt/qt_ui.h"
#include "base/services.h"
#include "drawings/drawings.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "mainwin/program.h"
#include "mainwin/program_fixture.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/qt_program.h"
#include "mainwin/qt_test_support.h"
#include "reports/printjob.h"
#include "settings/config.h"
#include "tables/material_form.h"
#include "tables/table_services.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"
#include "xbase/qt/qt_tzcallback.h"

namespace zeb::desktop {

namespace fs = std::filesystem;

// Everything a run writes lands in one folder of its own, made before the
// application starts (Qt reads the environment once) and removed at exit
// (with_desktop.sh makes it inside its own folder, which goes after a crash
// too).
class PrivateRun {
 public:
  static PrivateRun& Get() {
    // Never destroyed: the removal at exit still needs its paths.
    static PrivateRun* run = new PrivateRun;
    return *run;
  }
  fs::path root, work, dbf, tmp, cfg, bin;
  // The working folder the run was started in.
  fs::path launch;

 private:
  PrivateRun() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zeb1_desktop_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    root = pattern;
    launch = fs::current_path();
    work = root / "work";
    dbf = root / "dbf";
    tmp = root / "tmp";
    cfg = root / "cfg";
    bin = root / "bin";
    for (const fs::path& p : {work, dbf, tmp, cfg, bin, root / "home", root / "data", root / "cache", root / "run"})
      fs::create_directories(p);
    ::chmod((root / "run").c_str(), 0700);
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", cfg.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    // No printer: printouts become PDF files in the temporary folder.
    ::setenv("CUPS_SERVER", (root / "no-cups").c_str(), 1);
    // Every program the commands may start is a stand-in that only logs;
    // nothing else is on the path.
    for (const char* name : {"xdg-open", "lp", "lpr", "sensible-browser", "x-www-browser", "gnome-open", "kde-open"}) {
      const fs::path p = bin / name;
      zeb::test::WriteBytes(p, "#!/bin/sh\necho \"$0 $*\" >> '" + (root / "started.log").string() + "'\nexit 0\n");
      ::chmod(p.c_str(), 0755);
    }
    ::setenv("PATH", bin.c_str(), 1);
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, dbf);
    fs::current_path(work);
    std::atexit([] {
      std::error_code ec;
      fs::current_path("/", ec);
      fs::remove_all(PrivateRun::Get().root, ec);
    });
  }
};

inline const bool kPrivateRunMade = (PrivateRun::Get(), true);

// One application for the whole run, on the platform with_desktop.sh set.
class DesktopApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "zeb1_desktop";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kDesktopApplication =
    ::testing::AddGlobalTestEnvironment(new DesktopApplication);

// Every Qt message of kind warning or worse, while a test runs.
inline std::vector<std::string>& QtWarnings() {
  static std::vector<std::string> warnings;
  return warnings;
}

inline void RecordQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  std::fprintf(stderr, "Qt: %s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) std::abort();
  QtWarnings().push_back(message.toStdString());
}

// The program's events are being processed inside a command (a table open,
// a progress window): a user's input waits there, so the user does not act.
inline bool ProgramWaitsForInput() { return xbase::QtTzCallback::PumpDepth() == 0; }

inline QWidget* ActiveModal() {
  QWidget* w = QApplication::activeModalWidget();
  return w != nullptr && w->isVisible() ? w : nullptr;
}

// The modal window named name is up and has the activation.
inline QWidget* ModalUp(const char* name) {
  QWidget* w = ActiveModal();
  if (w == nullptr || (name != nullptr && w->objectName() != QLatin1String(name))) return nullptr;
  return w->isActiveWindow() ? w : nullptr;
}

template <class T>
T* Child(QWidget* w, const char* name) {
  T* c = w != nullptr ? w->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_NE(c, nullptr) << "no child " << name;
  return c;
}

// Where a key goes: the keyboard's widget, unless a modal window blocks its
// window. The window system drops a user's key there (a new dialog may not
// have the focus yet on a busy machine), while a key sent to the widget
// itself would reach it.
inline QWidget* KeyTarget() {
  QWidget* target = QApplication::focusWidget();
  QWidget* modal = ActiveModal();
  if (target != nullptr && modal != nullptr && target->window() != modal &&
      QApplication::activePopupWidget() == nullptr)
    return nullptr;
  if (target == nullptr) target = modal;
  if (target == nullptr) target = QApplication::activeWindow();
  return target;
}

inline void Key(Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
  if (QWidget* target = KeyTarget()) QTest::keyClick(target, key, m);
}

inline void Type(const QString& text) {
  for (QChar c : text) {
    if (QWidget* target = KeyTarget()) QTest::keyClick(target, c.toLatin1());
  }
}

// A click where a user clicks: a radio button or check box on its mark.
inline void Click(QWidget* w) {
  if (w == nullptr) return;
  const bool mark = w->inherits("QRadioButton") || w->inherits("QCheckBox");
  QTest::mouseClick(w, Qt::LeftButton, {}, mark ? QPoint(std::min(8, w->width() / 2), w->height() / 2) : w->rect().center());
}

// With ZEB1_SCREENSHOTS set to a folder: the screen over a window, its
// frame and the windows in front of it (a list that dropped down, a box)
// as <name>.png there.
inline void Shot(QWidget* window, const std::string& name) {
  const char* folder = std::getenv("ZEB1_SCREENSHOTS");
  if (folder == nullptr || *folder == '\0' || window == nullptr) return;
  // Painted now, without an event loop: an act that takes the picture goes
  // on with the windows as they are.
  QRect r = window->frameGeometry();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && (w == window || (!w->inherits("QMainWindow") && w->frameGeometry().intersects(r)))) {
      w->repaint();
      r |= w->frameGeometry();
    }
  r = r.adjusted(-10, -10, 10, 10) & window->screen()->geometry();
  window->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(QString::fromUtf8(folder) + "/" +
                                                                           QString::fromStdString(name) + ".png");
}

// A user's actions, each when its window is up and the program waits for
// input; an action that opens a modal window returns only when that window
// closes, and the next actions run inside it, as a user's would. A step
// that is not ready within the bound fails the test and closes every
// modal window, so that the script ends.
class UserScript {
 public:
  using Ready = std::function<bool()>;
  using Act = std::function<void()>;
  // Each road step takes well under two seconds; a step waits up to a
  // minute (thirty times that) before it counts as hung.
  static constexpr int kStepBoundMs = 60000;

  UserScript& Then(std::string what, Ready ready, Act act) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act), {}});
    return *this;
  }
  // Repeats act on every ready tick until done() holds.
  UserScript& Until(std::string what, Ready ready, Act act, Ready done) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act), std::move(done)});
    return *this;
  }
  // Runs the steps from the event loop; true when all ran.
  bool Run() {
    next_ = 0;
    failed_ = false;
    clock_.start();
    // Each act from a timer of its own: Qt does not fire a timer again
    // while its slot runs, and an act that opens a window runs until it
    // closes.
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [this, &timer] { QTimer::singleShot(0, &timer, [this] { Tick(); }); });
    timer.start(10);
    while (next_ < steps_.size() && !failed_) QTest::qWait(10);
    // The last action's windows are closed.
    while (ActiveModal() != nullptr) QTest::qWait(10);
    return !failed_;
  }

 private:
  struct Step {
    std::string what;
    Ready ready;
    Act act;
    Ready done;
  };

  void Tick() {
    if (!ProgramWaitsForInput()) return;
    // After a failure every window that still comes up is closed, so that
    // the actions waiting in them return.
    if (failed_) {
      if (QWidget* modal = ActiveModal()) modal->close();
      return;
    }
    if (next_ >= steps_.size()) return;
    Step& s = steps_[next_];
    if (s.done && s.done()) {
      clock_.restart();
      ++next_;
      return;
    }
    if (!s.ready()) {
      if (clock_.elapsed() > kStepBoundMs) Fail(s);
      // The window manager gave no window the focus after a window closed:
      // the user clicks the window on top.
      QWidget* top = ActiveModal();
      for (QWidget* w : QApplication::topLevelWidgets())
        if (top == nullptr && w->inherits("QMainWindow") && w->isVisible()) top = w;
      if (QApplication::activeWindow() == nullptr && top != nullptr) {
        if (!unfocused_.isValid()) unfocused_.start();
        if (unfocused_.elapsed() > 500) {
          top->activateWindow();
          unfocused_.invalidate();
        }
      } else {
        unfocused_.invalidate();
      }
      return;
    }
    clock_.restart();
    if (!s.done) ++next_;
    s.act();
  }

  void Fail(const Step& s) {
    failed_ = true;
    QWidget* modal = ActiveModal();
    QWidget* active = QApplication::activeWindow();
    ADD_FAILURE() << "step \"" << s.what << "\" never ready; modal: "
                  << (modal != nullptr ? modal->objectName().toStdString() : std::string("none"))
                  << ", active window: " << (active != nullptr ? active->objectName().toStdString() : std::string("none"))
                  << ", popup: " << (QApplication::activePopupWidget() != nullptr ? "yes" : "no");
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  bool failed_ = false;
  QElapsedTimer clock_;
  QElapsedTimer unfocused_;
};

// The program as wzeb1 starts it, on a fresh main window per test.
class DesktopProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QApplication::platformName(), "xcb");
    QtWarnings().clear();
    oldHandler_ = qInstallMessageHandler(RecordQtMessage);
    const PrivateRun& run = PrivateRun::Get();
    fs::current_path(run.work);
    // Each test on fresh copies of the tables.
    fs::remove_all(run.dbf);
    fs::create_directories(run.dbf);
    test::CopyShippedTables(ZEB1_DBF_FOLDER, run.dbf);
    // As the executable's main, then the Qt side as its Qt module.
    InstallGraphicsFacade();
    xbase::InitTableEngineUnits();
    InstallTableServices();
    InstallDrawings();
    ui_ = std::make_shared<QtUi>();
    printer_ = InstallQtProgramPorts(ui_);
    WriteConfigOnce();
  }

  void TearDown() override {
    test::CloseMainWindow(window_);
    SetUi(nullptr);
    SetPrinterPort(nullptr);
    SetGraphics(nullptr);
    SetDrawings(nullptr);
    SetTables(nullptr);
    SetScreen(nullptr);
    xbase::SetTzCallback(nullptr);
    qInstallMessageHandler(oldHandler_);
    for (const std::string& w : QtWarnings()) ADD_FAILURE() << "Qt warning: " << w;
  }

  // The configuration names the run's table copies and folders.
  void WriteConfigOnce() {
    static bool written = false;
    if (written) return;
    written = true;
    const PrivateRun& run = PrivateRun::Get();
    std::optional<int> ended;
    std::unique_ptr<Thh> first = StartMainWindow({"wzeb1"}, ended, printer_);
    ASSERT_NE(first, nullptr);
    BaseGlobals& g = G();
    g.DbfFolder = run.dbf.string() + "/";
    g.TempFolder = run.tmp.string() + "/";
    Config().DefaultDataFolder = run.work.string() + "/";
    Config().EdiFolder = run.work.string() + "/";
    CadSettings().CadFolder = run.work.string() + "/";
    g.AbortFlag = 0;
    WriteConfigFile();
    ASSERT_EQ(g.AbortFlag, 0);
    g.ModifiedFlag = 0;
    first->close();
    first.reset();
    SetMainWindow(nullptr);
  }

  // Starts the main window with a copy of an example spring (none: the
  // template) and waits until it has the activation.
  void Start(const std::string& example = {}) {
    std::vector<std::string> args{"wzeb1"};
    if (!example.empty()) {
      const fs::path file = PrivateRun::Get().work / example;
      std::error_code ec;
      fs::remove(file, ec);
      fs::copy_file(test::SourceDir() / "examples" / example, file);
      args.push_back(file.string());
    }
    StartWith(args);
  }

  // Starts the main window with this command line and waits until it has
  // the activation.
  void StartWith(const std::vector<std::string>& args) {
    std::optional<int> ended;
    window_ = StartMainWindow(args, ended, printer_);
    ASSERT_FALSE(ended.has_value());
    ASSERT_NE(window_, nullptr);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    ASSERT_EQ(fs::path(G().DbfFolder), fs::path(PrivateRun::Get().dbf.string() + "/"));
  }

  bool MainWindowWaits() const {
    return window_ != nullptr && ActiveModal() == nullptr && QApplication::activePopupWidget() == nullptr &&
           window_->isActiveWindow();
  }

  std::unique_ptr<Thh> window_;
  std::shared_ptr<QtUi> ui_;
  std::shared_ptr<PrinterPort> printer_;
  QtMessageHandler oldHandler_ = nullptr;
};

}  // namespace zeb::desktop
