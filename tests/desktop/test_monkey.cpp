// A random user for a minute (ZEB1_MONKEY_SECONDS) over the main window and
// every dialog it opens: menu items, clicks, keys and typed texts, each
// when the program waits for input, as a user's would arrive. The program
// stays alive, its main window stays, and Qt warns of nothing. The seed is
// printed first and with every failure; ZEB1_MONKEY_SEED repeats a run.
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>
#include <random>
#include <sstream>

#include "desktop/desktop_program.h"

namespace zeb::desktop {
namespace {

unsigned EnvNumber(const char* name, unsigned fallback) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return fallback;
  return static_cast<unsigned>(std::strtoul(v, nullptr, 10));
}

// Whether path is root or lies below it, links resolved.
bool Inside(const fs::path& path, const fs::path& root) {
  std::error_code ec;
  const fs::path rel = fs::weakly_canonical(path, ec).lexically_relative(fs::weakly_canonical(root, ec));
  return !ec && !rel.empty() && *rel.begin() != "..";
}

// The names in each folder, for the folders a run must leave as they are.
std::vector<std::pair<fs::path, std::vector<std::string>>> Listings(const std::vector<fs::path>& folders) {
  std::vector<std::pair<fs::path, std::vector<std::string>>> out;
  for (const fs::path& folder : folders) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    out.emplace_back(folder, std::move(names));
  }
  return out;
}

class Monkey {
 public:
  Monkey(Thh& window, unsigned seed) : window_(window), rng_(seed), seed_(seed) {}

  // One action, when the program waits for input. An action that opens a
  // window returns when it closes; the next actions run inside it.
  void Act() {
    if (!ProgramWaitsForInput()) return;
    if (winding_ && Idle()) return;
    ++actions_;
    if (QWidget* popup = QApplication::activePopupWidget()) {
      Popup(popup);
    } else if (QWidget* modal = ActiveModal()) {
      Dialog(modal);
    } else {
      MainWindow();
    }
  }
  // From now on every window is closed, the innermost first.
  void WindDown() { winding_ = true; }
  bool Winding() const { return winding_; }
  static bool Idle() { return ActiveModal() == nullptr && QApplication::activePopupWidget() == nullptr; }
  int Actions() const { return actions_; }
  std::string Trail() const {
    std::ostringstream s;
    s << "seed " << seed_ << ", last actions:";
    for (const std::string& a : trail_) s << "\n  " << a;
    return s.str();
  }

 private:
  int Pick(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  void Note(const std::string& what) {
    if (std::getenv("ZEB1_MONKEY_VERBOSE") != nullptr) std::printf("monkey: %s\n", what.c_str());
    trail_.push_back(what);
    if (trail_.size() > 40) trail_.pop_front();
  }
  static std::string Name(QObject* o) {
    return std::string(o->metaObject()->className()) + ":" + o->objectName().toStdString();
  }

  // Texts a user types: digits, separators and a few letters; never a
  // slash, so no typed path leaves the run's folders.
  QString RandomText() {
    static const char kChars[] = "0123456789.,-eE abcXYZ";
    const int n = 1 + Pick(8);
    QString t;
    for (int i = 0; i < n; ++i) t += QLatin1Char(kChars[Pick(static_cast<int>(sizeof kChars) - 1)]);
    return t;
  }

  // A file dialog shows a folder outside the run's own (it started in a
  // shipped folder, or the previous act went up or through the history):
  // the user goes back into the run before anything else, so that no
  // spring, picture or new folder lands in the source or build tree.
  void KeepInsideTheRun(QFileDialog& files) {
    const fs::path shown = fs::path(files.directory().absolutePath().toStdString());
    if (Inside(shown, PrivateRun::Get().root)) return;
    Note("file dialog in " + shown.string() + ", back into the run");
    files.setDirectory(QString::fromStdString(PrivateRun::Get().work.string()));
  }

  void MainWindow() {
    window_.activateWindow();
    if (Chance(0.8)) {
      std::vector<QAction*> items;
      for (const Command& c : CommandTable()) {
        if (c.isMenu || c.name == "mi_fileexit") continue;
        QAction* a = window_.Action(c.name);
        if (a != nullptr && a->isEnabled() && a->isVisible()) items.push_back(a);
      }
      if (items.empty()) return;
      QAction* a = items[static_cast<std::size_t>(Pick(static_cast<int>(items.size())))];
      Note("menu " + a->objectName().toStdString());
      a->trigger();
      return;
    }
    QWidget* canvas = window_.centralWidget();
    if (canvas == nullptr) return;
    if (Chance(0.5)) {
      const QPoint at(Pick(std::max(1, canvas->width())), Pick(std::max(1, canvas->height())));
      Note("canvas click");
      QTest::mouseClick(canvas, Chance(0.8) ? Qt::LeftButton : Qt::RightButton, {}, at);
    } else {
      static const Qt::Key keys[] = {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                                     Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Escape, Qt::Key_F5};
      const Qt::Key k = keys[Pick(static_cast<int>(std::size(keys)))];
      Note("canvas key " + std::to_string(k));
      canvas->setFocus();
      QTest::keyClick(canvas, k);
    }
  }

  void Popup(QWidget* popup) {
    if (auto* menu = qobject_cast<QMenu*>(popup); menu != nullptr && Chance(0.5)) {
      std::vector<QAction*> items;
      for (QAction* a : menu->actions())
        if (a->isEnabled() && a->isVisible() && !a->isSeparator() && a->menu() == nullptr) items.push_back(a);
      if (!items.empty()) {
        QAction* a = items[static_cast<std::size_t>(Pick(static_cast<int>(items.size())))];
        Note("popup item " + a->text().toStdString());
        menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
        return;
      }
    }
    Note("popup " + Name(popup) + " Escape");
    if (Chance(0.5)) {
      QTest::keyClick(popup, Qt::Key_Escape);
    } else {
      Key(Chance(0.5) ? Qt::Key_Down : Qt::Key_Return);
    }
  }

  void Dialog(QWidget* modal) {
    // The longer a window stays, the likelier it is closed.
    const int step = modal->property("monkeySteps").toInt();
    modal->setProperty("monkeySteps", step + 1);
    const QString kind = QString::fromLatin1(modal->metaObject()->className());
    if (auto* files = qobject_cast<QFileDialog*>(modal)) KeepInsideTheRun(*files);
    const bool chooser = qobject_cast<QFileDialog*>(modal) != nullptr || qobject_cast<QPrintDialog*>(modal) != nullptr ||
                         kind.contains("Color") || kind.contains("Font");
    const double close = winding_ ? 1.0 : chooser ? 0.7 : std::min(0.9, 0.06 + step * 0.03);
    if (Chance(close)) {
      if (step > 40 || (winding_ && step > 3)) {
        Note(Name(modal) + " close");
        modal->close();
      } else {
        Note(Name(modal) + " Escape");
        Key(Qt::Key_Escape);
      }
      return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      const QList<QAbstractButton*> buttons = box->buttons();
      if (!buttons.isEmpty()) {
        QAbstractButton* b = buttons[Pick(static_cast<int>(buttons.size()))];
        Note("box " + box->text().left(40).toStdString() + " -> " + b->text().toStdString());
        Click(b);
        return;
      }
    }
    std::vector<QWidget*> targets;
    for (QWidget* w : modal->findChildren<QWidget*>()) {
      if (!w->isVisible() || !w->isEnabled() || w->window() != modal) continue;
      if (qobject_cast<QAbstractButton*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr ||
          qobject_cast<QAbstractItemView*>(w) != nullptr || qobject_cast<QAbstractSpinBox*>(w) != nullptr ||
          qobject_cast<QPlainTextEdit*>(w) != nullptr || qobject_cast<QTextEdit*>(w) != nullptr ||
          qobject_cast<QScrollBar*>(w) != nullptr || qobject_cast<QTabBar*>(w) != nullptr ||
          qobject_cast<QMenuBar*>(w) != nullptr)
        targets.push_back(w);
      else if (auto* e = qobject_cast<QLineEdit*>(w); e != nullptr && !e->isReadOnly() &&
                                                     qobject_cast<QComboBox*>(w->parentWidget()) == nullptr)
        targets.push_back(w);
    }
    if (targets.empty() || Chance(0.1)) {
      static const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Up, Qt::Key_Down, Qt::Key_Space};
      const Qt::Key k = keys[Pick(static_cast<int>(std::size(keys)))];
      Note(Name(modal) + " key " + std::to_string(k));
      Key(k);
      return;
    }
    QWidget* w = targets[static_cast<std::size_t>(Pick(static_cast<int>(targets.size())))];
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      const QString text = RandomText();
      Note(Name(w) + " type \"" + text.toStdString() + "\"");
      edit->setFocus(Qt::OtherFocusReason);
      edit->selectAll();
      Type(text);
      if (Chance(0.5)) Key(Qt::Key_Return);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      Note(Name(w) + " choose");
      combo->setFocus(Qt::OtherFocusReason);
      const int n = 1 + Pick(4);
      for (int i = 0; i < n; ++i) Key(Chance(0.7) ? Qt::Key_Down : Qt::Key_Up);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
      QAbstractItemModel* m = view->model();
      if (m == nullptr || m->rowCount() == 0 || m->columnCount() == 0) {
        Note(Name(w) + " click");
        Click(view->viewport());
        return;
      }
      const QModelIndex at = m->index(Pick(std::min(m->rowCount(), 30)), Pick(m->columnCount()));
      view->scrollTo(at);
      const QRect r = view->visualRect(at);
      view->setFocus(Qt::OtherFocusReason);
      if (Chance(0.5) && r.isValid()) {
        Note(Name(w) + " cell click");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
      } else if (Chance(0.5)) {
        const QString text = RandomText();
        Note(Name(w) + " cell type \"" + text.toStdString() + "\"");
        view->setCurrentIndex(at);
        Type(text);
        Key(Chance(0.7) ? Qt::Key_Return : Qt::Key_Tab);
      } else {
        static const Qt::Key keys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Tab, Qt::Key_Space, Qt::Key_Home,
                                       Qt::Key_End, Qt::Key_PageDown, Qt::Key_F2};
        const Qt::Key k = keys[Pick(static_cast<int>(std::size(keys)))];
        Note(Name(w) + " key " + std::to_string(k));
        Key(k);
      }
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
      Note(Name(w) + " spin");
      spin->setFocus(Qt::OtherFocusReason);
      Key(Chance(0.5) ? Qt::Key_Up : Qt::Key_Down);
    } else if (qobject_cast<QPlainTextEdit*>(w) != nullptr || qobject_cast<QTextEdit*>(w) != nullptr) {
      Note(Name(w) + " text");
      w->setFocus(Qt::OtherFocusReason);
      Type(RandomText());
    } else if (auto* bar = qobject_cast<QScrollBar*>(w)) {
      Note(Name(w) + " scroll");
      bar->setValue(bar->minimum() + Pick(std::max(1, bar->maximum() - bar->minimum() + 1)));
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
      Note(Name(w) + " tab");
      tabs->setCurrentIndex(Pick(tabs->count()));
    } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
      const QList<QAction*> menus = bar->actions();
      if (menus.isEmpty()) return;
      QAction* m = menus[Pick(static_cast<int>(menus.size()))];
      if (m->menu() == nullptr || !m->isVisible()) return;
      std::vector<QAction*> items;
      for (QAction* a : m->menu()->actions())
        if (a->isEnabled() && a->isVisible() && !a->isSeparator() && a->menu() == nullptr) items.push_back(a);
      if (items.empty()) return;
      QAction* a = items[static_cast<std::size_t>(Pick(static_cast<int>(items.size())))];
      Note(Name(modal) + " menu " + a->objectName().toStdString());
      a->trigger();
    } else {
      Note("click " + Name(w));
      Click(w);
    }
  }

  Thh& window_;
  std::mt19937 rng_;
  unsigned seed_;
  bool winding_ = false;
  int actions_ = 0;
  std::deque<std::string> trail_;
};

using MonkeyTest = DesktopProgram;

TEST_F(MonkeyTest, OneMinuteOverTheMainWindowAndItsDialogs) {
  const unsigned seed = EnvNumber("ZEB1_MONKEY_SEED", std::random_device{}());
  const unsigned seconds = EnvNumber("ZEB1_MONKEY_SECONDS", 60);
  std::printf("monkey seed %u (ZEB1_MONKEY_SEED=%u repeats this run)\n", seed, seed);
  std::fflush(stdout);
  RecordProperty("seed", static_cast<int>(seed));
  // Folders outside the run that a file dialog may show: the source tree,
  // the shipped help pictures and the build folder above them, the folder
  // the run was started in. The monkey saves, makes folders and picks
  // files in its dialogs; none of it may land there.
  const fs::path help = fs::absolute(ZEB1_HELP_FOLDER);
  const std::vector<fs::path> outside{test::SourceDir(), test::SourceDir() / "examples", help, help.parent_path(),
                                      PrivateRun::Get().launch};
  const auto before = Listings(outside);
  Start("table_material.zeb");
  Monkey monkey(*window_, seed);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  std::atomic<long long> lastTick{0};
  const auto now = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(); };
  // A single command runs some seconds here at most; two minutes without
  // the event loop coming round counts as a hang: the run ends naming the
  // seed.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (now() - lastTick > 120000) {
        std::fprintf(stderr, "monkey seed %u: the program took no events for two minutes\n", seed);
        std::fflush(stderr);
        std::abort();
      }
    }
  });
  QTimer timer;
  // Each act from a timer of its own: Qt does not fire a timer again while
  // its slot runs, and an act that opens a window runs until it closes.
  QObject::connect(&timer, &QTimer::timeout, [&] {
    lastTick = now();
    QTimer::singleShot(0, &timer, [&] {
      if (now() > seconds * 1000LL || !QtWarnings().empty() || window_->Destroyed()) monkey.WindDown();
      monkey.Act();
    });
  });
  timer.start(15);
  while (!(monkey.Winding() && Monkey::Idle())) QTest::qWait(50);
  timer.stop();
  done = true;
  watchdog.join();
  EXPECT_TRUE(QtWarnings().empty()) << monkey.Trail();
  ASSERT_FALSE(window_->Destroyed()) << monkey.Trail();
  EXPECT_TRUE(window_->isVisible()) << monkey.Trail();
  EXPECT_GT(monkey.Actions(), 100) << monkey.Trail();
  const auto after = Listings(outside);
  for (std::size_t i = 0; i < outside.size(); ++i)
    EXPECT_EQ(after[i].second, before[i].second) << "written into " << outside[i] << "\n" << monkey.Trail();
  std::printf("monkey: %d actions\n", monkey.Actions());
}

}  // namespace
}  // namespace zeb::desktop
