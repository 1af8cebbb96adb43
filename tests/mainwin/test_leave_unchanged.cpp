// A spring that is only looked at does not change: every input screen and
// every spring dialog of the real window, opened on every example and left
// with Esc (or Cancel, or OK without typing), leaves the file the program
// would save byte for byte as it was and asks no save question; a refused
// entry leaves every value as it was before the Enter. Values shown rounded
// in a row are never read back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/globals.h"
#include "base/support_fixture.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/facade.h"
#include "mainwin/commands.h"
#include "mainwin/program.h"
#include "mainwin/qt/main_window.h"
#include "mainwin/qt/qt_program.h"
#include "headless_run.h"
#include "program_fixture.h"
#include "qt_test_support.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "tables/qt/form_zebmat.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

#ifndef ZEB1_DBF_FOLDER
#error "ZEB1_DBF_FOLDER names the generated tables"
#endif

namespace zeb {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment);

// Leaves every modal window that opens: Esc, or with `ok` the OK button of
// a dialog (the online form has none: Esc). Notes the windows' names.
class Leaver {
 public:
  explicit Leaver(bool ok) {
    QObject::connect(&timer_, &QTimer::timeout, [this, ok] {
      QWidget* w = QApplication::activeModalWidget();
      if (w == nullptr || !w->isVisible()) return;
      const std::string name = w->objectName().toStdString();
      if (seen.empty() || seen.back() != name || w != last_) seen.push_back(name);
      last_ = w;
      auto* button = w->findChild<QPushButton*>("Button_ok");
      if (ok && button != nullptr && button->isVisible()) {
        button->click();
        return;
      }
      QWidget* target = QApplication::focusWidget();
      if (target == nullptr || target->window() != w) target = w;
      QTest::keyClick(target, Qt::Key_Escape);
    });
    timer_.start(5);
  }
  std::vector<std::string> seen;

 private:
  QTimer timer_;
  QWidget* last_ = nullptr;
};

class LeaveUnchangedTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    run_.Start("zeb1_unchanged_");
    root_ = run_.root;
    env_.Set("XDG_CONFIG_HOME", (root_ / "tmp").string());
    env_.Set("HOME", (root_ / "tmp").string());
    env_.Set("TMPDIR", (root_ / "tmp").string());
    for (const auto& e : fs::directory_iterator(test::SourceDir() / "examples"))
      if (e.path().extension() == ".zeb") examples_.push_back(e.path().filename().string());
    std::sort(examples_.begin(), examples_.end());
    InstallQtMaterialForm();
  }
  void TearDown() override {
    test::CloseMainWindow(window_);
    run_.Stop();
    BaseTest::TearDown();
  }

  // The real main window over copies of the tables, the example opened
  // through File > Open; the bytes a save would write.
  std::string Open(const std::string& example) {
    test::CloseMainWindow(window_);
    ResetProgramState();
    InstallGraphicsFacade();
    InstallTableServices();
    InstallDrawings();
    std::optional<int> ended;
    window_ = StartMainWindow({"wzeb1"}, ended);
    EXPECT_FALSE(ended.has_value());
    if (window_ == nullptr) return {};
    run_.UseOwnFolders();
    ui().ExpectOpenFile((test::SourceDir() / "examples" / example).string());
    window_->Trigger("mi_fileOpen");
    EXPECT_EQ(G().AbortFlag, 0) << example;
    EXPECT_EQ(G().ModifiedFlag, 0) << example;
    return Saved();
  }
  static std::string Saved() { return FormatSpringFile(CurrentSpringFileRecords()); }

  // A menu item with every window it opens left; the windows seen.
  std::vector<std::string> Leave(const std::string& item, bool ok) {
    Leaver leaver(ok);
    window_->Trigger(item);
    return leaver.seen;
  }

  test::HeadlessRun run_;
  fs::path root_;
  std::vector<std::string> examples_;
  std::unique_ptr<Thh> window_;
  test::ScopedEnv env_;
};

bool Has(const std::vector<std::string>& seen, const std::string& name) {
  return std::find(seen.begin(), seen.end(), name) != seen.end();
}

// Every screen and dialog, left with Esc: the file as saved, no save
// question (modified flag 0), on every example.
TEST_F(LeaveUnchangedTest, EveryScreenAndDialogLeftWithEscChangesNothing) {
  struct Road {
    const char* item;
    const char* window;  // the window that must have opened
  };
  const Road roads[] = {
      {"mi_EditRecalculation", "TForm_online"},     {"mi_EditDimensioning", "TForm_online"},
      {"mi_EditPreDimensioning", "TForm_online"},   {"mi_editauslegungwstgmodul", "TForm_online"},
      {"mi_EditQuick", nullptr},                    {"mi_EditText", "TEingabetext1"},
      {"mi_EditMaterial", "Form_zebmat"},           {"mi_EditProduction", "TForm_herstellung"},
      {"mi_EditTolerance", "TForm_toleranz"},       {"mi_EditApplication", "TEingabeEinsatzfall"},
      {"mi_editproductionDrawing", "TForm_zebFert"}, {"mi_EditCalculationMethod", "TForm_zeb1conf"},
  };
  ASSERT_GE(examples_.size(), 6u);
  for (const std::string& example : examples_) {
    const std::string saved = Open(example);
    ASSERT_FALSE(saved.empty()) << example;
    for (const Road& r : roads) {
      SCOPED_TRACE(example + " " + r.item);
      const std::string item = r.item;
      const bool round = SpringData().CrossSection == 1;
      // The G-module screen asks first whether the material may change;
      // Quick asks another wire than a round one for the mode (here the
      // recalculation); the production drawing is for round wire only.
      if (item == "mi_editauslegungwstgmodul") ui().ExpectYesNo("Werkstoff wird", true);
      if (item == "mi_EditQuick" && !round) ui().ExpectChoice("", 2);
      if (item == "mi_editproductionDrawing" && !round) ui().ExpectMessageBox("Fehler", "nur f\u00fcr runden");
      const std::vector<std::string> seen = Leave(r.item, false);
      if (r.window != nullptr) {
        EXPECT_TRUE(Has(seen, r.window));
      } else {
        // Quick: the dimensions dialog of a round wire, the mode question
        // and a screen of another one.
        EXPECT_TRUE(Has(seen, "TForm_Zebgeometrie") || Has(seen, "TForm_online")) << seen.size();
      }
      EXPECT_EQ(Saved(), saved);
      EXPECT_EQ(G().ModifiedFlag, 0);
      EXPECT_EQ(ui().Unused(), "");
    }
  }
}

// The dialogs left with OK and nothing typed change nothing either: no
// field shown rounded is read back.
TEST_F(LeaveUnchangedTest, DialogsLeftWithOkAndNothingTypedChangeNothing) {
  const std::pair<const char*, const char*> roads[] = {
      {"mi_EditText", "TEingabetext1"},       {"mi_EditMaterial", "Form_zebmat"},
      {"mi_EditProduction", "TForm_herstellung"}, {"mi_EditTolerance", "TForm_toleranz"},
      {"mi_EditApplication", "TEingabeEinsatzfall"}, {"mi_editproductionDrawing", "TForm_zebFert"},
  };
  for (const std::string& example : examples_) {
    const std::string saved = Open(example);
    ASSERT_FALSE(saved.empty()) << example;
    for (const auto& [item, window] : roads) {
      SCOPED_TRACE(example + " " + item);
      // After the material the mode is asked: the recalculation.
      if (std::string(item) == "mi_EditMaterial") ui().ExpectChoice("", 2);
      if (std::string(item) == "mi_editproductionDrawing" && SpringData().CrossSection != 1)
        ui().ExpectMessageBox("Fehler", "nur f\u00fcr runden");
      EXPECT_TRUE(Has(Leave(item, true), window));
      EXPECT_EQ(Saved(), saved);
      EXPECT_EQ(G().ModifiedFlag, 0);
    }
  }
}

// The case as found: round_dynamic.zeb, Quick 3 shows F1 280; Nachrechnung
// and Esc keeps F1 280 and asks no save question; Auslegung keeps n 8.5 and
// L0 60. On round_static.zeb an n of -3 in Auslegung is refused and F1, F2
// stay 24 N and 72 N exactly.
TEST_F(LeaveUnchangedTest, TheCasesAsFound) {
  const std::string saved = Open("round_dynamic.zeb");
  const Real F1 = SpringData().F1, n = SpringData().n, L0 = SpringData().L0;
  EXPECT_EQ(FormatForce(F1), "280");
  Leave("mi_EditRecalculation", false);
  EXPECT_EQ(SpringData().F1, F1);
  Leave("mi_EditDimensioning", false);
  EXPECT_EQ(SpringData().n, n);
  EXPECT_EQ(SpringData().L0, L0);
  EXPECT_EQ(Saved(), saved);
  EXPECT_EQ(G().ModifiedFlag, 0);

  const std::string staticSaved = Open("round_static.zeb");
  const Real f1 = SpringData().F1, f2 = SpringData().F2;
  EXPECT_EQ(FormatForce(f1), "24");
  EXPECT_EQ(FormatForce(f2), "72");
  ui().ExpectMessageBox("Fehler", "G\u00fcltiger Wertebereich: 0 .. 1000000 !");
  int step = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* form = QApplication::activeModalWidget();
    if (form == nullptr || form->objectName() != "TForm_online") return;
    // Round wire: row 7 is n(if).
    auto* e = form->findChild<QLineEdit*>("ed_7");
    if (e == nullptr) return;
    if (step == 0) {
      e->setFocus();
      e->setText("-3");
      QTest::keyClick(e, Qt::Key_Return);
      step = 1;
    } else if (step == 1 && ui().Unused().empty() && e->text() != "-3") {
      QTest::keyClick(e, Qt::Key_Escape);
      step = 2;
    }
  });
  timer.start(5);
  window_->Trigger("mi_EditDimensioning");
  EXPECT_EQ(step, 2);
  EXPECT_EQ(SpringData().F1, f1);
  EXPECT_EQ(SpringData().F2, f2);
  EXPECT_EQ(Saved(), staticSaved);
  EXPECT_EQ(G().ModifiedFlag, 0);
}

}  // namespace
}  // namespace zeb
