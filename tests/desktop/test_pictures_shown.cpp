// What the program draws reaches the screen by itself: the help pictures
// of the catalogue and of the online form, and the logo of the about box,
// are on the X server's screen without a resize, a click or any other
// input; and one Enter in the online form paints the graphics window once,
// only where the sheet changed.
// The screen is read back from the X server (not rendered from the display
// list), and a picture counts as shown when it equals the one a forced
// repaint puts there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/format.h"
#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/qt/qt_convert.h"
#include "base/services.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/cadsettings.h"
#include "graphics/facade.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/forms.h"
#include "graphics/sink.h"
#include "mainwin/qt/about_box.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/online_form.h"
#include "mainwin/qt/qt_program.h"
#include "mainwin/program_fixture.h"
#include "mainwin/qt_test_support.h"
#include "spring/calc.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace zeb {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

// Hang bound of every wait. A picture is on the screen some milliseconds
// after its road ends (see the bench of the main window); only one that
// never comes waits this long.
constexpr int kHangMs = 5000;

// Counts the paint events of a widget and notes when they came and what
// they painted.
class PaintCounter : public QObject {
 public:
  PaintCounter() { clock.start(); }
  int paints = 0;
  QElapsedTimer clock;
  std::vector<qint64> at;  // ns on clock
  std::vector<QRegion> regions;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      at.push_back(clock.nsecsElapsed());
      regions.push_back(static_cast<QPaintEvent*>(e)->region());
    }
    return false;
  }
};

class PicturesShown : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QApplication::platformName(), "xcb");
    root_ = test::FreshTestFolder("zeb1_pictures_", {"cfg", "work", "tmp", "home"});
    env_.Set("XDG_CONFIG_HOME", (root_ / "cfg").string());
    env_.Set("HOME", (root_ / "home").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "work");
    ui_ = std::make_shared<ScriptedUi>();
    ui_->OnFailure([](const std::string& m) { ADD_FAILURE() << "UI: " << m; });
    SetUi(ui_);
    InstallGraphicsFacade();
    InstallDrawings();
    std::optional<int> ended;
    window_ = StartMainWindow({"wzeb1"}, ended);
    ASSERT_FALSE(ended.has_value());
    ASSERT_NE(window_, nullptr);
    G().HelpFolder = ZEB1_HELP_FOLDER;
    G().HelpLevel = 1;
    canvas_ = qobject_cast<GraphCanvas*>(window_->centralWidget());
    ASSERT_NE(canvas_, nullptr);
    window_->setGeometry(20, 40, 800, 600);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    canvas_->installEventFilter(&counter_);
  }
  void TearDown() override {
    if (canvas_ != nullptr) canvas_->removeEventFilter(&counter_);
    test::CloseMainWindow(window_);
    EXPECT_TRUE(ui_->Verify()) << ui_->Problems();
    ui_->OnFailure(nullptr);
    SetUi(nullptr);
    SetGraphics(nullptr);
    SetScreen(nullptr);
    SetDrawings(nullptr);
    ClearDrawingRegistry();
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
  }

  // The canvas as the X server shows it now.
  QImage OnScreen() const {
    const QPoint at = canvas_->mapToGlobal(QPoint(0, 0));
    return window_->screen()
        ->grabWindow(0, at.x(), at.y(), canvas_->width(), canvas_->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  // Parts of the canvas under other windows (a dialog, its frame), which
  // the screen shows instead of the canvas. Until the window manager has
  // told Qt the frame's size, the title bar is not in frameGeometry: room
  // for it above.
  std::vector<QRect> Covered() const {
    std::vector<QRect> r;
    const QPoint at = canvas_->mapToGlobal(QPoint(0, 0));
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != window_.get() && w->isVisible())
        r.push_back(w->frameGeometry().adjusted(-8, -48, 8, 8).translated(-at));
    return r;
  }
  static bool In(const std::vector<QRect>& rects, int x, int y) {
    for (const QRect& r : rects)
      if (r.contains(x, y)) return true;
    return false;
  }
  // Pixels of the picture: not background, not under another window.
  long Ink(const QImage& img, const std::vector<QRect>& covered) const {
    const QRgb background = BackgroundQColor().rgb() | 0xFF000000u;
    long n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) | 0xFF000000u) != background && !In(covered, x, y)) ++n;
    return n;
  }
  static long Differing(const QImage& a, const QImage& b, const std::vector<QRect>& covered) {
    if (a.size() != b.size()) return -1;
    long n = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if ((a.pixel(x, y) & 0xFFFFFFu) != (b.pixel(x, y) & 0xFFFFFFu) && !In(covered, x, y)) ++n;
    return n;
  }
  // Pixels of the canvas on the screen that differ from the picture of the
  // display list (outside other windows).
  long Missing() const { return Differing(OnScreen(), canvas_->Render(), Covered()); }
  // The same once the screen has settled (a window that opens or moves
  // over the canvas uncovers parts of it again); hang bound only.
  long MissingSettled() const {
    long m = Missing();
    QElapsedTimer t;
    t.start();
    while (m != 0 && t.elapsed() < kHangMs) {
      QTest::qWait(2);
      m = Missing();
    }
    return m;
  }
  // With ZEB1_SCREENSHOTS set to a folder, the screen over the main window
  // and the windows beside it as <name>.png there.
  void Shot(const char* name) const {
    const char* folder = std::getenv("ZEB1_SCREENSHOTS");
    if (folder == nullptr || *folder == '\0') return;
    // The dialogs paint themselves too.
    QTest::qWait(300);
    QRect r = window_->frameGeometry();
    for (const QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) r |= w->frameGeometry();
    r &= window_->screen()->geometry();
    window_->screen()
        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
        .save(QString::fromUtf8(folder) + "/" + QString::fromLatin1(name) + ".png");
  }
  // The picture is on the screen, with events but without input, and it
  // is what a forced repaint shows.
  void ExpectShown(const char* road, const char* shot = nullptr) {
    // Rendered before any event runs: the paint the road asked for is
    // still pending.
    const QImage picture = canvas_->Render();
    ASSERT_GT(Ink(picture, Covered()), 1000) << road << ": nothing drawn";
    const int paintsBefore = counter_.paints;
    const qint64 start = counter_.clock.nsecsElapsed();
    QElapsedTimer t;
    t.start();
    long missing = -1;
    do {
      QTest::qWait(2);
      missing = Differing(OnScreen(), picture, Covered());
    } while (missing != 0 && t.elapsed() < kHangMs);
    const qint64 waited = t.elapsed();
    EXPECT_EQ(missing, 0) << road << ": the picture is not on the screen";
    if (shot != nullptr) Shot(shot);
    canvas_->repaint();
    // The server may show the repaint a moment later; hang bound only.
    long after = -1;
    t.restart();
    do {
      QApplication::processEvents();
      after = Differing(OnScreen(), picture, Covered());
    } while (after != 0 && t.elapsed() < kHangMs && (QTest::qWait(2), true));
    EXPECT_EQ(after, 0) << road << ": a forced repaint shows another picture";
    // The paint that put it there (none when it came before the road
    // returned, under a modal window).
    const int paints = counter_.paints - paintsBefore - 1;
    if (paints > 0)
      std::printf("%s: painted %.2f ms after the event loop ran again; on the screen when checked (%lld ms)\n", road,
                  static_cast<double>(counter_.at[static_cast<std::size_t>(paintsBefore)] - start) / 1e6,
                  static_cast<long long>(waited));
    else
      std::printf("%s: on the screen when the road returned\n", road);
  }
  // The picker lies inside the screen, clear of the main menu and of the
  // window it was called from (beside it: there is room on this screen).
  void ExpectPlacedBeside(const QWidget& picker, const QWidget& caller) const {
    const QWidget* bar = window_->menuWidget();
    const QRect menu(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    const auto placed = [&] {
      const QRect p = picker.frameGeometry();
      return picker.screen()->availableGeometry().contains(p) && !p.intersects(menu) &&
             !p.intersects(caller.frameGeometry());
    };
    EXPECT_TRUE(QTest::qWaitFor(placed, kHangMs))
        << "picker at " << picker.frameGeometry().x() << ", " << picker.frameGeometry().y() << " "
        << picker.frameGeometry().width() << " x " << picker.frameGeometry().height() << "; caller at "
        << caller.frameGeometry().x() << ", " << caller.frameGeometry().y() << " " << caller.frameGeometry().width()
        << " x " << caller.frameGeometry().height();
  }
  void LoadExample() {
    // A copy in the run's folder: the spring's folder is where its dialogs start.
    const fs::path copy = root_ / "work" / "round_dynamic.zeb";
    fs::copy_file(test::SourceDir() / "examples" / "round_dynamic.zeb", copy, fs::copy_options::overwrite_existing);
    ReadSpringFile(copy.string());
    ASSERT_EQ(G().AbortFlag, 0);
    ASSERT_EQ(G().FatalErrorFlag, 0);
  }

  fs::path root_, oldCwd_;
  test::ScopedEnv env_;
  std::shared_ptr<ScriptedUi> ui_;
  std::unique_ptr<Thh> window_;
  GraphCanvas* canvas_ = nullptr;
  PaintCounter counter_;
};

// Calls act(widget, run) on every new modal widget of type T, in turn.
template <class T>
class Driver {
 public:
  explicit Driver(std::function<void(T&, int)> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
      if (w == nullptr || w == last_ || !w->isVisible()) return;
      last_ = w;
      act_(*w, runs_++);
    });
    timer_.start(10);
  }
  int runs() const { return runs_; }

 private:
  QTimer timer_;
  QPointer<T> last_;
  std::function<void(T&, int)> act_;
  int runs_ = 0;
};

// Calls act when a widget of type T is about to be shown.
template <class T>
class OnShow : public QObject {
 public:
  explicit OnShow(std::function<void()> act) : act_(std::move(act)) { qApp->installEventFilter(this); }
  ~OnShow() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && qobject_cast<T*>(o) != nullptr) act_();
    return false;
  }

 private:
  std::function<void()> act_;
};

// Hilfe > Hilfebild: the first picture comes at once, the picker opens over
// it; a step to the next picture and OK leave that picture on the screen.
TEST_F(PicturesShown, TheCatalogueShowsThePictureChosen) {
  long missingAtOpen = -1, missingUnderPicker = -1;
  std::vector<std::string> chosen;
  // Drawn before the picker opens: on the screen already.
  OnShow<TForm_hilfebild> opening([&] {
    if (missingAtOpen < 0) missingAtOpen = Missing();
  });
  Driver<TForm_hilfebild> picker([&](TForm_hilfebild& f, int run) {
    if (run == 0) {
      missingUnderPicker = MissingSettled();
      ExpectPlacedBeside(f, *window_);
      Shot("screen_help_picture_picker");
      f.spinDown->click();
    } else {
      chosen = Facade().Window().DisplayList();
      f.buttonOk->click();
    }
  });
  window_->Trigger("mi_HelpHilfebild");
  ASSERT_EQ(picker.runs(), 2);
  EXPECT_EQ(missingAtOpen, 0) << "the first picture is not on the screen when the picker opens";
  EXPECT_EQ(missingUnderPicker, 0) << "the first picture is not on the screen under the picker";
  EXPECT_EQ(Facade().Window().DisplayList(), chosen);
  ExpectShown("Hilfe > Hilfebild", "screen_help_picture");
}

// The online form's "Hilfebild" (the row's help picture) and its
// catalogue button, each while the form stays open.
TEST_F(PicturesShown, TheOnlineFormsPicturesShowWhileItIsOpen) {
  LoadExample();
  bool done = false;
  Driver<TForm_online> form([&](TForm_online& f, int) {
    Graphics().GrafClear();
    // A row being typed keeps the keys: the button takes no focus from it.
    auto* row = f.findChild<QLineEdit*>("ed_2");
    ASSERT_NE(row, nullptr);
    row->setFocus();
    row->setText("4");
    QTest::mouseClick(f.findChild<QPushButton*>("Button_hilfebild"), Qt::LeftButton);
    ExpectShown("online form: Hilfebild", "screen_online_form_row_picture");
    QTest::keyClicks(QApplication::focusWidget(), "2");
    EXPECT_EQ(row->text(), "42");
    Graphics().GrafClear();
    Driver<TForm_hilfebild> picker([&](TForm_hilfebild& p, int) {
      ExpectPlacedBeside(p, f);
      Shot("screen_online_form_picker");
      p.buttonOk->click();
    });
    f.findChild<QPushButton*>("Button_showplt")->click();
    EXPECT_EQ(picker.runs(), 1);
    ExpectShown("online form: Hilfebilder", "screen_online_form_catalogue");
    done = true;
    f.Finish(OnlineKey::Esc);
  });
  window_->Trigger("mi_EditRecalculation");
  EXPECT_TRUE(done);
  G().ModifiedFlag = 0;
}

// Hilfe > ZEB1: the logo is on the screen when the box opens, while it is
// up and after it.
TEST_F(PicturesShown, TheAboutBoxShowsTheLogo) {
  LoadExample();
  window_->Trigger("mi_ViewQuick1");
  ExpectShown("a sheet before");
  long missingAtOpen = -1, missingUnderBox = -1;
  std::vector<std::string> logo;
  OnShow<TAboutBox> opening([&] { missingAtOpen = Missing(); });
  Driver<TAboutBox> box([&](TAboutBox& b, int) {
    missingUnderBox = MissingSettled();
    Shot("screen_about_box");
    logo = Facade().Window().DisplayList();
    b.accept();
  });
  window_->Trigger("mi_HelpAbout");
  ASSERT_EQ(box.runs(), 1);
  EXPECT_EQ(missingAtOpen, 0) << "the logo is not on the screen when the box opens";
  EXPECT_EQ(missingUnderBox, 0) << "the logo is not on the screen under the box";
  // The logo, not the sheet: the list holds only the logo's records.
  EXPECT_LT(logo.size(), 100u);
  EXPECT_EQ(Facade().Window().DisplayList(), logo);
  ExpectShown("Hilfe > ZEB1", "screen_about_box_closed");
}

// The result sheets, diagrams and drawings of the View menu, and a zoom by
// key and back, each on the screen with no event after its command.
TEST_F(PicturesShown, DrawingsDiagramsAndZoomShowAtOnce) {
  LoadExample();
  for (const char* item : {"mi_viewquick3", "mi_viewCharLineFs", "mi_viewdauerfestgoodman", "mi_ViewBuckling",
                           "mi_viewDrawing", "mi_viewfertigungszeichnung"}) {
    const std::vector<std::string> before = Facade().Window().DisplayList();
    window_->Trigger(item);
    EXPECT_NE(Facade().Window().DisplayList(), before) << item << " drew nothing new";
    ExpectShown(item);
  }
  canvas_->setFocus();
  QTest::keyClick(canvas_, Qt::Key_Plus);
  ExpectShown("zoom in (+)", "screen_zoomed");
  QTest::keyClick(canvas_, Qt::Key_Escape);
  ExpectShown("whole sheet (Esc)");
}

// A spring whose calculation stops: its messages replace the sheet of the
// spring before it.
TEST_F(PicturesShown, AStoppedCalculationShowsItsMessages) {
  LoadExample();
  window_->Trigger("mi_viewquick3");
  ExpectShown("Quick 3");
  SpringData().G = 0;
  RunCalculation();
  ASSERT_NE(G().FatalErrorFlag, 0);
  MainWindow().RefreshMainWindow();
  ExpectShown("stopped calculation", "screen_stopped_calculation");
  bool message = false;
  for (const std::string& item : Facade().Window().DisplayList())
    message |= item.find("Fatal  : G <= 0 !") != std::string::npos;
  EXPECT_TRUE(message);
  G().ModifiedFlag = 0;
}

// Every sheet of the View menu on the screen, each taken for review as
// screen_sheet_<item>.png when ZEB1_SCREENSHOTS is set.
TEST_F(PicturesShown, EverySheetOfTheViewMenuShows) {
  LoadExample();
  for (const char* item :
       {"mi_ViewQuick1", "mi_viewquick2", "mi_viewquick3", "mi_viewDrawing", "mi_viewSchnitt", "mi_viewDraufsicht",
        "mi_viewfertigungszeichnung", "mi_viewfertigungszeichnung2", "mi_viewCharLineFs",
        "mi_viewCharLinewithtolerance", "mi_viewcharlineFl", "mi_viewkennliniefsi", "mi_viewdauerfestgoodman",
        "mi_viewdauerfesthaigh", "mi_ViewBuckling", "mi_ViewTempGT", "mi_viewtempf1t", "mi_viewtempF2t",
        "mi_viewtensiontaus", "mi_viewtensionk", "mi_viewtensiontaud", "mi_viewtensiontaudlog"}) {
    window_->Trigger(item);
    ExpectShown(item, ("screen_sheet_" + std::string(item)).c_str());
  }
  // The dimensions of the production drawing, zoomed in on the spring.
  window_->Trigger("mi_viewfertigungszeichnung");
  canvas_->setFocus();
  for (int i = 0; i < 3; ++i) QTest::keyClick(canvas_, Qt::Key_Plus);
  for (int i = 0; i < 4; ++i) QTest::keyClick(canvas_, Qt::Key_Down);
  for (int i = 0; i < 4; ++i) QTest::keyClick(canvas_, Qt::Key_Right);
  ExpectShown("production drawing zoomed", "screen_sheet_production_zoomed");
  QTest::keyClick(canvas_, Qt::Key_Escape);
}

// Enters in the online form, with new values and without: an Enter that
// changes the sheet paints the graphics window once, and only the part
// that changed; one that changes nothing on the sheet paints nothing. After
// every Enter the screen shows what a replay of the whole list shows, and
// so it does after the form has closed over the sheet.
TEST_F(PicturesShown, AnEnterPaintsWhatChangedOnce) {
  LoadExample();
  // No clock on the sheet: an Enter without a new value changes nothing.
  const Byte footerOff = CadSettings().FooterOff;
  CadSettings().FooterOff = 1;
  const Real L1 = SpringData().L1;
  // L1 (row 5) typed before each Enter; empty: Enter alone.
  const std::vector<std::string> typed = {"", FloatToStrSig(L1 - 1), FloatToStrSig(L1 - 2), "",
                                          FloatToStrSig(L1 - 0.5L), FloatToStrSig(L1)};
  std::vector<int> paints;
  std::vector<double> shares;  // of the canvas painted
  std::vector<long> missing;
  std::vector<bool> drawn;  // the program changed the picture
  std::vector<std::string> listBefore;
  int before = 0;
  std::size_t next = 0;
  QTimer timer;
  int lastRun = -1;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* f = qobject_cast<TForm_online*>(QApplication::activeModalWidget());
    if (f == nullptr || !f->isVisible() || f->RunCount() == lastRun) return;
    if (lastRun < 0) {
      // The form in front (its opening repaints the rest of the screen),
      // the sheet painted.
      (void)QTest::qWaitForWindowActive(f, kHangMs);
      (void)QTest::qWaitFor([&] { return MissingSettled() == 0; }, kHangMs);
      // Until the window manager has placed the form: no paint for 300 ms
      // (hang bound only).
      int seen = -1;
      (void)QTest::qWaitFor(
          [&] {
            if (seen == counter_.paints) return true;
            seen = counter_.paints;
            QTest::qWait(300);
            return false;
          },
          kHangMs);
    } else {
      // The paint of the last Enter, when one is coming (hang bound only),
      // then whatever else was pending.
      const bool changes = !typed[next - 1].empty();
      if (changes) (void)QTest::qWaitFor([&] { return counter_.paints > before; }, kHangMs);
      QTest::qWait(50);
      paints.push_back(counter_.paints - before);
      long area = 0;
      for (std::size_t k = static_cast<std::size_t>(before); k < counter_.regions.size(); ++k)
        for (const QRect& r : counter_.regions[k]) area += static_cast<long>(r.width()) * r.height();
      shares.push_back(static_cast<double>(area) / (canvas_->width() * canvas_->height()));
      missing.push_back(MissingSettled());
      drawn.push_back(Facade().Window().DisplayList() != listBefore);
    }
    lastRun = f->RunCount();
    auto* e = f->findChild<QLineEdit*>("ed_5");
    if (next == typed.size()) {
      QTest::keyClick(e, Qt::Key_Escape);
      return;
    }
    QApplication::processEvents();
    before = counter_.paints;
    listBefore = Facade().Window().DisplayList();
    if (!typed[next].empty()) {
      e->selectAll();
      QTest::keyClicks(e, QString::fromStdString(typed[next]));
    }
    ++next;
    QTest::keyClick(e, Qt::Key_Return);
  });
  timer.start(10);
  window_->Trigger("mi_EditRecalculation");
  timer.stop();
  ASSERT_EQ(paints.size(), typed.size());
  for (std::size_t k = 0; k < typed.size(); ++k) {
    const bool changes = !typed[k].empty();
    // The program draws for a new value only, and its paints come as one;
    // an expose of the window system may add one under load.
    EXPECT_EQ(drawn[k], changes) << "Enter " << k << " (" << typed[k] << ")";
    EXPECT_GE(paints[k], changes ? 1 : 0) << "Enter " << k << " (" << typed[k] << ")";
    EXPECT_LE(paints[k], changes ? 2 : 1) << "Enter " << k << " (" << typed[k] << ")";
    // A new L1 moves some values, a spring picture and points of the
    // diagrams: a part of the sheet.
    if (changes) {
      EXPECT_GT(shares[k], 0.001) << "Enter " << k;
      EXPECT_LT(shares[k], 0.5) << "Enter " << k;
    }
    EXPECT_EQ(missing[k], 0) << "Enter " << k << ": the screen is not what a whole replay shows";
  }
  ExpectShown("the sheet after the Enters, the form closed", "screen_sheet_after_enters");
  CadSettings().FooterOff = footerOff;
  G().ModifiedFlag = 0;
}

}  // namespace
}  // namespace zeb
