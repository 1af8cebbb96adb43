// Every menu command of the real main window, run once with the program's
// services in place while every dialog, box, chooser and menu that opens
// is dismissed: no crash, no hang, no escaped exception, and the window
// stays. Runs over a round-wire example, a flat-wire example and a fresh
// unnamed spring; external programs are stand-ins on PATH that only log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/globals.h"
#include "base/qt/qt_ui.h"
#include "base/services.h"
#include "drawings/drawings.h"
#include "drawings/qt/drawing_dialogs.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "mainwin/commands.h"
#include "mainwin/dispatch.h"
#include "mainwin/program.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/qt_printer_port.h"
#include "mainwin/qt/qt_program.h"
#include "program_fixture.h"
#include "qt_test_support.h"
#include "reports/printjob.h"
#include "settings/config.h"
#include "spring/springfile.h"
#include "tables/qt/form_zebmat.h"
#include "tables/qt/tdbf4.h"
#include "tables/table_services.h"
#include "xbase/core/engine.h"
#include "xbase/core/units.h"
#include "xbase/qt/qt_tzcallback.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

// Qt's own settings (the file dialog's history) go to a folder of the run,
// removed after the application: they are written when it ends.
class QtSettingsFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("zeb1_qtsmoke_settings_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder_.string()));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder_.string()));
  }
  void TearDown() override { fs::remove_all(folder_); }

 private:
  fs::path folder_;
};

// Set up before the application and torn down after it.
const auto* const kSettings = ::testing::AddGlobalTestEnvironment(new QtSettingsFolder);
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

// Hang bound: the slowest command takes under 0.2 s here, on two busy cores
// too.
constexpr int kCommandSeconds = 20;

// Ends the process naming the command when it runs longer than the limit;
// a command that hangs outside the event loop is caught as well.
class HangGuard {
 public:
  HangGuard()
      : thread_([this] {
          std::unique_lock<std::mutex> lock(mutex_);
          while (!stop_) {
            if (armed_) {
              if (cv_.wait_until(lock, deadline_, [this] { return stop_ || !armed_; })) continue;
              std::fprintf(stderr, "menu command %s still running after %d s: hang\n", name_.c_str(),
                           kCommandSeconds);
              std::fflush(stderr);
              std::abort();
            }
            cv_.wait(lock);
          }
        }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Arm(const std::string& name) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      name_ = name;
      armed_ = true;
      deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(kCommandSeconds);
    }
    cv_.notify_all();
  }
  void Disarm() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      armed_ = false;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::string name_;
  bool armed_ = false, stop_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};

// Dismisses whatever modal window or popup menu is up, the innermost first,
// escalating from reject to close to Esc when a window stays. The first
// `accepts` windows of each command are answered with their default button
// or Enter instead, to run the commands past their first dialog.
class Dismisser {
 public:
  explicit Dismisser(int accepts) : accepts_(accepts) {
    // Each step from a timer of its own: a step that opens a nested box
    // waits in that box's loop, where the ticks go on.
    QObject::connect(&timer_, &QTimer::timeout, [this] { QTimer::singleShot(0, &timer_, [this] { Tick(); }); });
    timer_.start(5);
  }
  // The windows dismissed since the last call, as class:objectName.
  std::vector<std::string> Take() {
    accepted_ = 0;
    return std::exchange(seen_, {});
  }

 private:
  void Tick() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      Note(popup);
      popup->close();
      return;
    }
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || !w->isVisible()) return;
    // Marked on the window: a new dialog may take an old one's address.
    const int step = w->property("smokeTries").toInt();
    w->setProperty("smokeTries", step + 1);
    if (step == 0) Note(w);
    if (step == 0 && accepted_ < accepts_) {
      ++accepted_;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        QAbstractButton* b = box->defaultButton();
        for (QAbstractButton* each : box->buttons()) {
          const QMessageBox::ButtonRole role = box->buttonRole(each);
          if (b == nullptr && (role == QMessageBox::AcceptRole || role == QMessageBox::YesRole)) b = each;
        }
        if (b != nullptr) {
          b->click();
          return;
        }
      } else if (qobject_cast<QDialog*>(w) != nullptr) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w->focusWidget() != nullptr ? w->focusWidget() : w, &enter);
        return;
      }
    }
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && step == 0) {
      QAbstractButton* b = box->escapeButton();
      if (b == nullptr)
        for (QAbstractButton* each : box->buttons()) {
          const QMessageBox::ButtonRole role = box->buttonRole(each);
          if (role == QMessageBox::RejectRole || role == QMessageBox::NoRole) b = each;
        }
      if (b == nullptr && !box->buttons().isEmpty()) b = box->buttons().front();
      if (b != nullptr) {
        b->click();
        return;
      }
    }
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && step % 3 == 0) {
      dialog->reject();
    } else if (step % 3 == 1) {
      w->close();
    } else {
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(w->focusWidget() != nullptr ? w->focusWidget() : w, &esc);
    }
  }
  void Note(QWidget* w) {
    seen_.push_back(std::string(w->metaObject()->className()) + ":" + w->objectName().toStdString());
  }

  QTimer timer_;
  const int accepts_;
  int accepted_ = 0;
  std::vector<std::string> seen_;
};

// The Qt printer port without a printer, so printouts become PDF files in
// the temp folder and nothing reaches a real printer.
class NoPrinter : public PrinterPort {
 public:
  explicit NoPrinter(std::shared_ptr<PrinterPort> inner) : inner_(std::move(inner)) {}
  bool HasPrinter() override { return false; }
  bool SetPdfOutput(std::string_view path) override { return inner_->SetPdfOutput(path); }
  void SetLandscape(bool landscape) override { inner_->SetLandscape(landscape); }
  bool Landscape() const override { return inner_->Landscape(); }
  void BeginDoc() override { inner_->BeginDoc(); }
  void EndDoc() override { inner_->EndDoc(); }

 private:
  std::shared_ptr<PrinterPort> inner_;
};

std::vector<std::string>& QtMessages() {
  static std::vector<std::string> messages;
  return messages;
}

void CollectMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (message.startsWith("This plugin does not support")) return;
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "Qt fatal: %s\n", message.toLocal8Bit().constData());
    std::abort();
  }
  QtMessages().push_back(message.toStdString());
}

class QtMenuSmokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = test::FreshTestFolder("zeb1_qtsmoke_", {"cfg", "work", "tmp", "home", "dbf", "bin"});
    env_.Set("XDG_CONFIG_HOME", (root_ / "cfg").string());
    env_.Set("HOME", (root_ / "home").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    env_.Set("TEMP", (root_ / "tmp").string());
    ::chmod((root_ / "tmp").c_str(), 0700);
    env_.Set("XDG_RUNTIME_DIR", (root_ / "tmp").string());
    env_.Set("CUPS_SERVER", (root_ / "no-cups").string());
    // Stand-ins for every program a command may start: they log and end.
    for (const char* name : {"xdg-open", "lp", "lpr", "sensible-browser", "x-www-browser"}) {
      const fs::path p = root_ / "bin" / name;
      test::WriteBytes(p, "#!/bin/sh\necho \"$0 $*\" >> '" + (root_ / "started.log").string() + "'\nexit 0\n");
      ::chmod(p.c_str(), 0755);
    }
    const char* path = std::getenv("PATH");
    env_.Set("PATH", (root_ / "bin").string() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
    zeb::test::CopyShippedTables(ZEB1_DBF_FOLDER, root_ / "dbf");
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    oldHandler_ = qInstallMessageHandler(CollectMessages);
    QtMessages().clear();

    ui_ = std::make_shared<QtUi>();
    SetUi(ui_);
    xbase::SetTzCallback(std::make_shared<xbase::QtTzCallback>());
    printer_ = std::make_shared<NoPrinter>(MakeQtTextPrinterPort(ui_));
    SetPrinterPort(printer_);
    InstallGraphicsFacade();
    xbase::InitTableEngineUnits();
    InstallTableServices();
    InstallDrawings();
    InstallQtDrawingDialogs();
    InstallQtTableBrowser();
    InstallQtMaterialForm();
    WriteConfigWithTempFolders();
  }

  void TearDown() override {
    test::CloseMainWindow(window_);
    SetUi(nullptr);
    SetPrinterPort(nullptr);
    SetGraphics(nullptr);
    SetDrawings(nullptr);
    SetTables(nullptr);
    SetScreen(nullptr);
    ClearDrawingRegistry();
    xbase::SetTzCallback(nullptr);
    qInstallMessageHandler(oldHandler_);
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
  }

  // A first start writes the configuration naming the test's own table,
  // temp, data and CAD folders; the starts of the passes read it.
  void WriteConfigWithTempFolders() {
    std::optional<int> ended;
    std::unique_ptr<Thh> first = StartMainWindow({"wzeb1"}, ended, printer_);
    ASSERT_NE(first, nullptr);
    BaseGlobals& g = G();
    g.DbfFolder = (root_ / "dbf").string() + "/";
    g.TempFolder = (root_ / "tmp").string() + "/";
    Config().DefaultDataFolder = (root_ / "work").string() + "/";
    Config().EdiFolder = (root_ / "work").string() + "/";
    CadSettings().CadFolder = (root_ / "work").string() + "/";
    g.AbortFlag = 0;
    WriteConfigFile();
    ASSERT_EQ(g.AbortFlag, 0);
    ASSERT_TRUE(fs::exists(root_ / "cfg" / "zeb1" / "zeb1.cfg"));
    g.ModifiedFlag = 0;
    first->close();
    first.reset();
    SetMainWindow(nullptr);
  }

  void Start(const std::vector<std::string>& args) {
    std::optional<int> ended;
    window_ = StartMainWindow(args, ended, printer_);
    ASSERT_FALSE(ended.has_value());
    ASSERT_NE(window_, nullptr);
    window_->show();
    ASSERT_EQ(fs::path(G().DbfFolder), fs::path((root_ / "dbf").string() + "/"));
  }

  // Runs every enabled, visible item but Exit once; `reload` restores the
  // example before each; `accepts` as the dismisser's.
  void RunEveryCommand(const std::function<void()>& reload, int accepts = 0) {
    Dismisser dismisser(accepts);
    HangGuard guard;
    int run = 0;
    for (const Command& c : CommandTable()) {
      if (c.isMenu || c.name == "mi_fileexit") continue;
      if (reload) reload();
      G().AbortFlag = 0;
      window_->UpdateEnabled();
      QAction* a = window_->Action(c.name);
      ASSERT_NE(a, nullptr) << c.name;
      if (!a->isEnabled() || !a->isVisible()) continue;
      ++run;
      QtMessages().clear();
      const auto start = std::chrono::steady_clock::now();
      guard.Arm(c.name);
      try {
        a->trigger();
      } catch (const std::exception& e) {
        ADD_FAILURE() << c.name << ": exception " << e.what();
      } catch (...) {
        ADD_FAILURE() << c.name << ": exception";
      }
      guard.Disarm();
      const auto ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      // Nothing left open, and the window still there.
      for (int i = 0; i < 50 && (QApplication::activeModalWidget() || QApplication::activePopupWidget()); ++i)
        QApplication::processEvents();
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.name;
      ASSERT_FALSE(window_->Destroyed()) << c.name;
      EXPECT_TRUE(window_->isVisible()) << c.name;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w != window_.get() && w->isVisible() && w->isWindow() && !qobject_cast<QMenu*>(w)) w->close();
      for (const std::string& m : QtMessages())
        if (m.find("QPainter") != std::string::npos || m.find("ASSERT") != std::string::npos)
          ADD_FAILURE() << c.name << ": Qt says " << m;
      const std::vector<std::string> dismissed = dismisser.Take();
      if (std::getenv("ZEB1_SMOKE_VERBOSE") != nullptr) {
        std::string list;
        for (const std::string& d : dismissed) list += " " + d;
        std::printf("%-30s %5lld ms abort=%d%s\n", c.name.c_str(), static_cast<long long>(ms), G().AbortFlag,
                    list.c_str());
        for (const std::string& m : QtMessages()) std::printf("    qt: %s\n", m.c_str());
      }
      G().AbortFlag = 0;
    }
    EXPECT_GT(run, 60);
    if (std::getenv("ZEB1_SMOKE_VERBOSE") != nullptr)
      std::printf("started:\n%s", test::ReadBytes(root_ / "started.log").c_str());
  }

  // File > Exit closes the window.
  void ExitCloses() {
    G().ModifiedFlag = 0;
    window_->UpdateEnabled();
    ASSERT_TRUE(window_->Action("mi_fileexit")->isEnabled());
    window_->Action("mi_fileexit")->trigger();
    EXPECT_TRUE(window_->Destroyed());
    EXPECT_FALSE(window_->isVisible());
  }

  // A pass over a copy of an example spring, reloaded before each command.
  void ExamplePass(const std::string& example, int accepts = 0) {
    const fs::path file = root_ / "work" / example;
    fs::copy_file(test::SourceDir() / "examples" / example, file);
    Start({"wzeb1", file.string()});
    ASSERT_EQ(G().CurrentFileName.empty(), false);
    ASSERT_NE(window_->windowTitle().toStdString().find(example), std::string::npos)
        << window_->windowTitle().toStdString();
    const std::string bytes = test::ReadBytes(file);
    const std::string name = G().CurrentFileName, folder = G().CurrentDataFolder;
    RunEveryCommand([&] {
      // Saves went into the copy; the example comes back as shipped.
      test::WriteBytes(file, bytes);
      G().ModifiedFlag = 0;
      G().AbortFlag = 0;
      ReadSpringFile(file.string());
      ASSERT_EQ(G().AbortFlag, 0);
      G().CurrentFileName = name;
      G().CurrentDataFolder = folder;
      MainWindow().RefreshMainWindow();
    }, accepts);
    ExitCloses();
  }

  fs::path root_, oldCwd_;
  test::ScopedEnv env_;
  std::shared_ptr<QtUi> ui_;
  std::shared_ptr<PrinterPort> printer_;
  std::unique_ptr<Thh> window_;
  QtMessageHandler oldHandler_ = nullptr;
};

// The top menu an item lies under.
std::string TopMenu(const Command& c) {
  const Command* at = &c;
  while (!at->parent.empty()) {
    const Command* up = FindCommand(at->parent);
    if (up == nullptr) break;
    at = up;
  }
  return at->name;
}

// Every item of View, CAD and Edit can be chosen for a round-wire spring.
// The one item that follows the data: the message report is there only
// while the last calculation left messages.
TEST_F(QtMenuSmokeTest, ViewCadAndEditItemsAreLiveForARoundWireSpring) {
  const fs::path file = root_ / "work" / "round_dynamic.zeb";
  fs::copy_file(test::SourceDir() / "examples" / "round_dynamic.zeb", file);
  Start({"wzeb1", file.string()});
  MainWindow().RefreshMainWindow();
  window_->UpdateEnabled();
  int checked = 0;
  for (const Command& c : CommandTable()) {
    if (c.isMenu) continue;
    const std::string top = TopMenu(c);
    if (top != "mi_View" && top != "mi_CAD" && top != "mi_Edit") continue;
    QAction* a = window_->Action(c.name);
    ASSERT_NE(a, nullptr) << c.name;
    ++checked;
    if (c.name == "mi_viewErrorMessages") {
      EXPECT_EQ(a->isEnabled(), G().ErrorMessageList.count > 0) << c.name;
      continue;
    }
    EXPECT_TRUE(a->isEnabled()) << c.name << " is greyed out";
    EXPECT_TRUE(a->isVisible()) << c.name;
  }
  // Edit 13, View 28, CAD 8 items.
  EXPECT_EQ(checked, 49);
  ExitCloses();
}

TEST_F(QtMenuSmokeTest, EveryCommandOnTheRoundWireExample) { ExamplePass("round_dynamic.zeb"); }

TEST_F(QtMenuSmokeTest, EveryCommandOnTheFlatWireExample) { ExamplePass("rectangular.zeb"); }

// The same with the first three windows of each command answered with
// their default: the save, the CAD files, the printouts and the table
// windows run to their end in the test's folders.
TEST_F(QtMenuSmokeTest, EveryCommandPastItsFirstDialogsOnTheRoundWireExample) { ExamplePass("round_dynamic.zeb", 3); }

TEST_F(QtMenuSmokeTest, EveryCommandPastItsFirstDialogsOnTheFlatWireExample) { ExamplePass("rectangular.zeb", 3); }

TEST_F(QtMenuSmokeTest, EveryCommandOnAFreshSpring) {
  Start({"wzeb1"});
  RunEveryCommand({});
  ExitCloses();
}

}  // namespace
}  // namespace zeb
