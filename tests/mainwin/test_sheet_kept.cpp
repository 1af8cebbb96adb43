// The sheet behind an input screen: a pass that changes nothing (Return
// without a new value) keeps the picture as it is, and leaves every value
// and message as a drawing would; a pass with a new value, or one after
// another picture was shown, draws the sheet again. The real drawings on
// the graphics window, examples/round_dynamic.zeb in the recalculation
// screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/globals.h"
#include "base/support_clock.h"
#include "base/support_fixture.h"
#include "drawings/drawings.h"
#include "drawings/registry.h"
#include "graphics/facade.h"
#include "mainwin/online.h"
#include "mainwin/program.h"
#include "mainwin/screens.h"
#include "headless_run.h"
#include "program_fixture.h"
#include "spring/calc.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "tables/table_services.h"
#include "xbase/core/units.h"

#ifndef ZEB1_DBF_FOLDER
#error "ZEB1_DBF_FOLDER names the generated tables"
#endif

namespace zeb {
namespace {

namespace fs = std::filesystem;

// A scripted form that notes, at each run, the picture and the values the
// screen shows; `between` runs before the step of run k is taken.
class WatchingForm : public OnlineFormPort {
 public:
  struct Seen {
    std::vector<std::string> list;
    std::uint64_t changes = 0;
    std::string stamp;
    SpringGlobals spring;
    ErrorMessageListT messages;
    OnlineState online;
    std::string minute;
  };
  ScriptedOnlineForm script;
  std::function<void(std::size_t)> between;
  std::vector<Seen> seen;

  void Run(OnlineRun& run) override {
    GraphWindow& w = Facade().Window();
    seen.push_back({w.DisplayList(), w.Changes(), w.Stamp(), SG(), G().ErrorMessageList, Online(),
                    TodayDateString() + " " + CurrentTimeString()});
    if (between) between(seen.size() - 1);
    script.Run(run);
  }
  bool OneMinute() const {
    for (const Seen& s : seen)
      if (s.minute != seen.front().minute) return false;
    return true;
  }
};

class SheetKeptTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    run_.Start("zeb1_sheet_kept_");
    run_.InstallServices();
  }
  void TearDown() override {
    SetOnlineForm(nullptr);
    run_.Stop();
    BaseTest::TearDown();
  }

  // The recalculation screen on the example, run through `script`; again
  // when the footer's minute turned over during it, from the first sheet on
  // (a new minute is a new sheet).
  std::shared_ptr<WatchingForm> Run(const std::function<void(WatchingForm&)>& script) {
    std::shared_ptr<WatchingForm> form;
    for (int attempt = 0; attempt < 3; ++attempt) {
      const std::string minute = TodayDateString() + " " + CurrentTimeString();
      ReadSpringFile((test::SourceDir() / "examples" / "round_dynamic.zeb").string());
      RunCalculation();
      form = std::make_shared<WatchingForm>();
      script(*form);
      SetOnlineForm(form);
      InputRecalculation();
      if (form->OneMinute() && (form->seen.empty() || form->seen.front().minute == minute)) break;
    }
    return form;
  }

  test::HeadlessRun run_;
};

constexpr int kL1Row = 5;  // round wire: d, D, L0, n, L1

CLOCK_TEST_F(SheetKeptTest, ReturnWithoutChangeKeepsThePictureAndEveryValue) {
  auto form = Run([](WatchingForm& f) { f.script.Press(OnlineKey::Enter).Press(OnlineKey::Enter); });
  ASSERT_EQ(form->seen.size(), 3u);
  const auto& first = form->seen[0];
  ASSERT_GT(first.list.size(), 100u);
  for (std::size_t k = 1; k < 3; ++k) {
    SCOPED_TRACE(k);
    const auto& s = form->seen[k];
    EXPECT_EQ(s.changes, first.changes);  // nothing drawn
    EXPECT_EQ(s.stamp, first.stamp);
    EXPECT_EQ(s.list, first.list);
    EXPECT_TRUE(s.spring == first.spring);
    EXPECT_TRUE(s.messages == first.messages);
    EXPECT_EQ(s.online.OutValue, first.online.OutValue);
    EXPECT_EQ(s.online.EditText, first.online.EditText);
  }
}

CLOCK_TEST_F(SheetKeptTest, NewValueDrawsTheSheetAgain) {
  auto form = Run([](WatchingForm& f) {
    for (const char* L1 : {"88", "87.5", "88"}) f.script.TypeAt(kL1Row, L1, OnlineKey::Enter);
  });
  ASSERT_EQ(form->seen.size(), 4u);
  const auto& s = form->seen;
  for (std::size_t k = 1; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NE(s[k].changes, s[k - 1].changes);
    EXPECT_NE(s[k].list, s[k - 1].list);
  }
  EXPECT_EQ(s[1].spring.SpringData.L1, 88.0L);
  EXPECT_EQ(s[2].spring.SpringData.L1, 87.5L);
  // Back at 88: the picture of 88 again, drawn anew.
  EXPECT_EQ(s[3].list, s[1].list);
}

CLOCK_TEST_F(SheetKeptTest, AnotherPictureInBetweenIsReplacedByTheSheet) {
  auto form = Run([](WatchingForm& f) {
    f.script.Press(OnlineKey::Enter).Press(OnlineKey::Enter);
    // Another picture over the sheet (as the help picture is) before the
    // first Return; the window zoomed into a quarter before the second.
    f.between = [](std::size_t k) {
      GraphWindow& w = Facade().Window();
      if (k == 0) {
        w.Clear();
        w.line(0, 0, 10, 10);
      } else if (k == 1) {
        const DevRect d = w.Device();
        w.SetScale(d.x1, d.y1, (d.x1 + d.x2) / 2, (d.y1 + d.y2) / 2);
      }
    };
  });
  ASSERT_EQ(form->seen.size(), 3u);
  const auto& s = form->seen;
  EXPECT_EQ(s[1].list, s[0].list);
  EXPECT_EQ(s[2].list, s[0].list);
  EXPECT_NE(s[2].changes, s[1].changes);
}

}  // namespace
}  // namespace zeb
