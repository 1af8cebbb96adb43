// The calculation-mode input screens on a scripted online form, against
// values worked by hand for the REF spring (d 2, Dm 20, n 8.5, L0 60,
// L1 50, L2 30, G 81500 at 20 °C, so R = G d^4 / (8 Dm^3 n) =
// 1304000 / 544000 N/mm), and the form's row moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <numbers>
#include <string>

#include "base/globals.h"
#include "base/headless_ui.h"
#include "base/services.h"
#include "base/support_hang.h"
#include "mainwin/online.h"
#include "mainwin/screens.h"
#include "spring/ref_spring.h"
#include "spring/spring_reals.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"

namespace zeb {
namespace {

constexpr Real kRefRate = 1304000.0L / 544000.0L;

using Key = OnlineKey;

class ScreensTest : public test::SpringTest {
 protected:
  void SetUp() override {
    SpringTest::SetUp();
    tables_ = test::InstallRefMaterialTable();
    ResetOnlineState();
    form_ = std::make_shared<ScriptedOnlineForm>();
    SetOnlineForm(form_);
    test::MakeRefSpring();
  }
  void TearDown() override {
    SetOnlineForm(nullptr);
    SetTables(nullptr);
    G().UnitSystem = 0;
    SpringTest::TearDown();
  }
  // Labels, edits, units of run k (0-based) as one text each.
  std::string Column(std::size_t k, int what) const {
    const OnlineState& o = form_->shown.at(k).state;
    std::string out;
    for (int i = 1; i <= o.RowCount; ++i) {
      const auto r = static_cast<std::size_t>(i);
      out += (what == 0 ? o.LabelText[r] : what == 1 ? o.EditText[r] : o.UnitText[r]) + "|";
    }
    return out;
  }
  std::string Outputs(std::size_t k, int what) const {
    const OnlineState& o = form_->shown.at(k).state;
    std::string out;
    for (int j = 1; j <= o.OutCount; ++j) {
      const auto r = static_cast<std::size_t>(j);
      out += (what == 0 ? o.OutName[r] : what == 1 ? o.OutValue[r] : o.OutUnit[r]) + "|";
    }
    return out;
  }

  std::shared_ptr<test::RefMaterialTables> tables_;
  std::shared_ptr<ScriptedOnlineForm> form_;
};

TEST_F(ScreensTest, RecalculationRowsOutputsAndNewLength) {
  form_->TypeAt(3, "70", Key::Enter).Press(Key::Esc);
  InputRecalculation();
  ASSERT_EQ(form_->shown.size(), 2u);
  const auto& first = form_->shown[0];
  EXPECT_EQ(first.state.Caption, "Nachrechnung");
  EXPECT_EQ(first.HelpBase, 6000);
  EXPECT_EQ(first.Current, 1);
  EXPECT_EQ(Column(0, 0), "d|Dm|L0|n(if)|L1|L2|T|P|");
  EXPECT_EQ(Column(0, 2), "mm|mm|mm||mm|mm|\xf8""C|mm|");  // degree sign in code page 850
  EXPECT_EQ(Outputs(0, 0), "F1|F2|Ln|Lc|tau k1|tau k2|tau kh|G 20|tau c|tau zul|R|fe|");
  EXPECT_EQ(Outputs(0, 2), "N|N|mm|mm|MPa|MPa|MPa|MPa|MPa|MPa|N/mm|Hz|");
  EXPECT_EQ(first.state.EditText[3], "60");
  EXPECT_EQ(first.state.EditText[4], "8.5");
  // After the entry the rate is unchanged, the forces follow L0.
  test::ExpectRel(kRefRate, SpringData().R);
  test::ExpectRel(kRefRate * 20.0L, SpringData().F1);
  test::ExpectRel(kRefRate * 40.0L, SpringData().F2);
  EXPECT_EQ(form_->shown[1].state.EditText[3], "70");
  EXPECT_EQ(form_->shown[1].Current, 3);
  EXPECT_EQ(G().AbortFlag, 0);         // cleared at the end
  EXPECT_EQ(G().ShowErrorsSwitch, 1);  // boxes back on
}

// A row whose value lies just below a rounding step drops its trailing
// zeros as the others do (a pitch of 9.99951 showed "10.000"); the value
// stays as it was.
TEST_F(ScreensTest, RowsDropTrailingZerosAlsoWhereTheRoundingCarries) {
  SpringData().L1 = 49.99951L;
  SpringData().L2 = 29.999L;
  form_->Press(Key::Esc);
  InputRecalculation();
  ASSERT_EQ(form_->shown.size(), 1u);
  EXPECT_EQ(form_->shown[0].state.EditText[5], "50");
  EXPECT_EQ(form_->shown[0].state.EditText[6], "30");
  EXPECT_EQ(SpringData().L1, 49.99951L);
  EXPECT_EQ(SpringData().L2, 29.999L);
}

TEST_F(ScreensTest, RecalculationInInchesAndStaticStressRows) {
  G().UnitSystem = 1;
  SpringData().LoadType = 1;
  form_->TypeAt(3, "2.5", Key::Enter).Press(Key::Esc);
  InputRecalculation();
  test::ExpectRel(63.5L, SpringData().L0);
  EXPECT_EQ(Outputs(1, 0).substr(0, 31), "F1|F2|Ln|Lc|tau 1|tau 2|tau h|G");
  EXPECT_EQ(form_->shown[1].state.UnitText[1], "in");
  EXPECT_EQ(form_->shown[1].state.OutUnit[1], "lbf");
  EXPECT_EQ(form_->shown[1].state.OutName[8], "G 68");  // 20 °C in °F
}

TEST_F(ScreensTest, PitchGivesCoilsAndZeroPitchKeepsThem) {
  // n = (L0 - (2 + 0) (d + 0.025)) / (P + 0.025): wire tolerance 0.025 at d 2.
  form_->TypeAt(8, "6", Key::Enter).Press(Key::Esc);
  InputRecalculation();
  test::ExpectRel(55.95L / 6.025L, SpringData().n, 1e-12L);

  test::MakeRefSpring();
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->TypeAt(8, "0", Key::Enter).Press(Key::Esc);
  InputRecalculation();
  test::ExpectRel(8.5L, SpringData().n);

  // A pitch entered in another row's turn does nothing to n.
  test::MakeRefSpring();
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->Add({{{8, "6"}, {3, "60"}}, Key::Enter}).Press(Key::Esc);
  InputRecalculation();
  test::ExpectRel(8.5L, SpringData().n);
}

TEST_F(ScreensTest, StandardDiameterShortcuts) {
  form_->Type("+").Type("-").Type("-").Type("#").Press(Key::Esc);
  InputRecalculation();
  ASSERT_EQ(form_->shown.size(), 5u);
  EXPECT_EQ(form_->shown[1].state.EditText[1], "2.1");
  EXPECT_EQ(form_->shown[2].state.EditText[1], "2");
  EXPECT_EQ(form_->shown[3].state.EditText[1], "1.9");
  EXPECT_EQ(form_->shown[4].state.EditText[1], "1.9");

  // Above the table d stays.
  test::MakeRefSpring();
  SpringData().d = 1000.0L;
  SpringData().Dm = 20000.0L;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->Type("#").Press(Key::Esc);
  InputRecalculation();
  EXPECT_EQ(SpringData().d, 1000.0L);

  // In the dimensioning screen the wire is row 6.
  test::MakeRefSpring();
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->TypeAt(6, "+", Key::Enter).Press(Key::Esc);
  InputDimensioning();
  EXPECT_EQ(form_->shown[1].state.EditText[6], "2.1");
}

TEST_F(ScreensTest, TwoWireLayoutsAndHelpBase) {
  SpringData().CrossSection = 4;
  SpringData().h = 1.5L;
  form_->TypeAt(2, "1.2", Key::Enter).Press(Key::Esc);
  InputRecalculation();
  EXPECT_EQ(form_->shown[0].HelpBase, 5995);
  EXPECT_EQ(Column(0, 0), "b|h|Dm|L0|n(if)|L1|L2|T|P|");
  EXPECT_EQ(SpringData().h, 1.2L);

  test::MakeRefSpring();
  SpringData().CrossSection = 7;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->TypeAt(7, "0.5", Key::Enter).Press(Key::Esc);
  InputDimensioning();
  // Rows of their own from the wire on: numbered apart from the one-wire
  // layout, whose row 7 is n and row 8 R.
  EXPECT_EQ(form_->shown[0].HelpBase, 6400);
  EXPECT_EQ(InputRowHelp(6400, 7), 6430);
  EXPECT_EQ(OutputRowHelp(6400, 11), 6490);
  EXPECT_EQ(Column(0, 0), "F1|F2|sh|L2|Dm|d|di|n(if)|R|");
  EXPECT_EQ(SpringData().di, 0.5L);
}

TEST_F(ScreensTest, DimensioningRowsAndRateRow) {
  form_->Press(Key::Esc);
  InputDimensioning();
  EXPECT_EQ(form_->shown[0].state.Caption, "Auslegung");
  EXPECT_EQ(form_->shown[0].HelpBase, 6100);
  EXPECT_EQ(Column(0, 0), "F1|F2|sh|L2|Dm|d|n(if)|R|");
  EXPECT_EQ(Column(0, 2), "N|N|mm|mm|mm|mm||N/mm|");
  EXPECT_EQ(Outputs(0, 0), "L1|L0|Ln|Lc|tau k1|tau k2|tau kh|tau n|tau c|tau zul|fe|");

  // R in row 8 with method 3: F1 := F2 - R sh.
  test::MakeRefSpring();
  SpringData().F1 = 20.0L, SpringData().F2 = 80.0L, SpringData().sh = 20.0L;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->TypeAt(8, "2.5", Key::Enter).Press(Key::Esc);
  InputDimensioning();
  test::ExpectRel(80.0L - 2.5L * 20.0L, SpringData().F1);

  // Point 1 off: row 1 hidden, labels s2, the screen opens on row 2.
  test::MakeRefSpring();
  SpringData().Point1Off = 1;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->Press(Key::Up).Press(Key::Esc);
  InputDimensioning();
  EXPECT_EQ(form_->shown[0].Current, 2);
  EXPECT_EQ(form_->shown[0].HiddenRowA, 1);
  EXPECT_EQ(form_->shown[0].state.LabelText[3], "s2");
  EXPECT_EQ(form_->shown[1].Current, 2);  // up from 2 stays below the hidden row
}

TEST_F(ScreensTest, LengthFromSolidLengthRoundedToTenths) {
  form_->TypeAt(4, "<", Key::Enter).Press(Key::Esc);
  InputDimensioning();
  const Real l2 = SpringData().L2;
  EXPECT_NEAR(static_cast<double>(l2 * 10.0L), std::round(static_cast<double>(l2 * 10.0L)), 1e-9);
  // Worked from the spring as the search left it: Ln + 1.1 TolF2 / R.
  const Real expected = std::round(static_cast<double>((SpringData().Ln + 1.1L * SpringData().TolF2 / SpringData().R) * 10.0L)) / 10.0L;
  EXPECT_NEAR(static_cast<double>(l2), static_cast<double>(expected), 0.1 + 1e-9);
}

TEST_F(ScreensTest, EverySearchEndsAfterTwentyOnePasses) {
  struct Case {
    int row;
    const char* entry;
  } cases[] = {{1, "<"}, {1, ">"}, {2, "<"}, {2, ">"}, {6, "<"}, {6, ">"}};
  for (const Case& c : cases) {
    test::MakeRefSpring();
    form_ = std::make_shared<ScriptedOnlineForm>();
    SetOnlineForm(form_);
    form_->TypeAt(c.row, c.entry, Key::Enter).Press(Key::Esc);
    InputDimensioning();
    EXPECT_EQ(LastSearchPasses(), 21) << c.row << c.entry;
    // The form shows only when the search has ended.
    EXPECT_EQ(form_->shown.size(), 2u) << c.row << c.entry;
    EXPECT_EQ(test::NonFiniteReals(), "") << c.row << c.entry;
  }
}

TEST_F(ScreensTest, SearchBoundsByHand) {
  // "<" in F1 between A = F2 = 80 and B = 0. A material that never
  // exceeds its stress: every pass takes the upper bound, F1 falls to
  // 80 / 2^21 and, below 0.01, becomes 0.
  SpringData().F1 = 20.0L, SpringData().F2 = 80.0L, SpringData().sh = 20.0L;
  SpringData().LoadType = 1;
  SpringData().MaterialSel = 11, SpringData().tauzul = 1e12L;
  form_->TypeAt(1, "<", Key::Enter).Press(Key::Esc);
  InputDimensioning();
  EXPECT_EQ(form_->shown[1].state.EditText[1], "0");

  // One that always exceeds it: every pass takes the lower bound, F1
  // climbs to 80 (1 - 2^-21), plus the final step 0.01. The screen's
  // closing calculation keeps F1.
  test::MakeRefSpring();
  SpringData().F1 = 20.0L, SpringData().F2 = 80.0L, SpringData().sh = 20.0L;
  SpringData().MaterialSel = 11, SpringData().tauzul = 1e-6L;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->TypeAt(1, "<", Key::Enter).Press(Key::Esc);
  InputDimensioning();
  EXPECT_NEAR(static_cast<double>(SpringData().F1), 80.0 * (1.0 - std::ldexp(1.0, -21)) + 0.01, 1e-9);
}

TEST_F(ScreensTest, WireEstimateEndsForAnyDiameter) {
  for (Real dm : {0.0L, -1.0L, 0.4L, 0.7L, 10.0L, 1e30L}) {
    test::MakeRefSpring();
    SpringData().Dm = dm;
    // No endless search (hang bound; the estimate takes a millisecond).
    EXPECT_TRUE(test::EndsWithinHangBound([] { EstimateWireDiameterForL2(); })) << static_cast<double>(dm);
    EXPECT_EQ(test::NonFiniteReals(), "") << static_cast<double>(dm);
    if (dm <= 0.0L) {
      EXPECT_EQ(SpringData().d, 2.0L);  // nothing changed
    }
  }
  // Dm 10: d starts at 2.5 and goes down by 0.05 while the spring is too
  // weak or too long; the estimate stays a multiple of 0.05 below 2.5.
  test::MakeRefSpring();
  SpringData().Dm = 10.0L;
  EstimateWireDiameterForL2();
  const double steps = (2.5 - static_cast<double>(SpringData().d)) / 0.05;
  EXPECT_NEAR(steps, std::round(steps), 1e-9);
  EXPECT_GT(SpringData().d, 0.0L);
}

TEST_F(ScreensTest, PreDimensioningRowsAndRate) {
  const Real rate = SpringData().R;
  ui().ExpectYesNo("Werkstoff wird", true);
  form_->Press(Key::Esc);
  InputPreDimensioning();
  ASSERT_EQ(form_->shown.size(), 1u);
  EXPECT_EQ(form_->shown[0].state.Caption, "Vorauslegung");
  EXPECT_EQ(form_->shown[0].HelpBase, 6200);
  EXPECT_EQ(Column(0, 0), "G|Dm|L0|L1|L2|F2|d|n (if)|T|");
  EXPECT_EQ(Outputs(0, 0), "R|F1|Ln|Lc|tau k1|tau k2|tau kh|tau n|tau c|tau zul|G 20|");
  // The material given by the values entered has no strength yet: the
  // calculation ends in a fatal message and the output rows show no values.
  const auto& messages = form_->shown[0].messages;
  EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& m) { return m.rfind("Fatal", 0) == 0; }));
  EXPECT_EQ(Outputs(0, 1), "-|-|-|-|-|-|-|-|-|-|-|");
  // Left without an entry: the spring and its material as they were.
  EXPECT_EQ(SpringData().MaterialSel, 0);
  EXPECT_EQ(SpringData().R, rate);

  // With an entry the material is the one entered.
  ui().ExpectYesNo("Werkstoff wird", true);
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->TypeAt(1, "80000", Key::Enter).Press(Key::Esc);
  InputPreDimensioning();
  EXPECT_EQ(SpringData().MaterialSel, 11);
  EXPECT_EQ(SpringData().G, 80000.0L);
  // F2 50 (the start value) over s2 = 30: R = 5/3, F1 = R s1 = 50/3.
  test::ExpectRel(50.0L / 30.0L, SpringData().R);
  test::ExpectRel(500.0L / 30.0L, SpringData().F1);
}

TEST_F(ScreensTest, PreDimensioningRefusedLeavesTheDataSet) {
  const std::string before = FormatSpringFile(CurrentSpringFileRecords());
  ui().ExpectYesNo("Werkstoff wird", false);
  InputPreDimensioning();
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_TRUE(form_->shown.empty());
  EXPECT_EQ(FormatSpringFile(CurrentSpringFileRecords()), before);
}

// Refusal boxes are logged away; the pre-dimensioning question is answered
// yes.
class RefusalsAllowedUi : public BatchUi {
 public:
  explicit RefusalsAllowedUi(std::FILE* log) : BatchUi(log) {}
  DialogEnd AskYesNo(std::string_view, bool& yes, const DialogHelp&) override {
    yes = true;
    return DialogEnd::Ok;
  }
};

// Pre-dimensioning on the table material: no question, the material
// stays; the wire follows d = sqrt(8 ratio w F2 / (pi target)) with the
// static target 0.7 tau zul, Dm = w d, and L2 is rounded to tenths.
TEST_F(ScreensTest, PreDimensioningModeKeepsTheMaterial) {
  SpringData().LoadType = 1;
  const std::string material = SpringData().MaterialName;
  form_->Add({{{1, "100"}, {2, "300"}, {3, "20"}, {4, "8"}, {5, "1.2"}}, Key::Enter}).Press(Key::Esc);
  InputPreDimensioningMode();
  ASSERT_EQ(form_->shown.size(), 2u);
  EXPECT_EQ(form_->shown[0].state.Caption, "Vorauslegung");
  EXPECT_EQ(form_->shown[0].HelpBase, 6300);
  EXPECT_EQ(Column(1, 0), "F1|F2|sh|Dm/d|tz/t|T|");
  EXPECT_EQ(Column(1, 2), "N|N|mm|||\xf8""C|");
  EXPECT_EQ(Outputs(1, 0), "d|Dm|L0|L2|tau 1|tau 2|tau h|tau n|tau zul|n|Ln|Lc|");
  EXPECT_EQ(Column(1, 1).substr(0, 16), "100|300|20|8|1.2");
  const SpringDataRecord& s = SpringData();
  EXPECT_EQ(s.MaterialSel, 0);
  EXPECT_EQ(s.MaterialName, material);
  EXPECT_GT(s.tauzul, 0.0L);
  test::ExpectRel(8.0L * s.d, s.Dm, 1e-15L);
  const Real byHand = std::sqrt(8.0L * 1.2L * 8.0L * 300.0L / (std::numbers::pi_v<Real> * 0.7L * s.tauzul));
  test::ExpectRel(byHand, s.d, 1e-3L);
  test::ExpectRel(100.0L, s.F1);
  test::ExpectRel(300.0L, s.F2);
  test::ExpectRel(20.0L, s.sh);
  EXPECT_NEAR(static_cast<double>(s.L2 * 10.0L), std::round(static_cast<double>(s.L2 * 10.0L)), 1e-6);
  EXPECT_GT(s.L2, s.Lc);
  EXPECT_EQ(G().AbortFlag, 0);
}

// A ratio Dm/d below 1.5 and a stress ratio of 0 or less take the defaults 9 and 1.
TEST_F(ScreensTest, PreDimensioningModeDefaultsForUnusableRatios) {
  form_->Add({{{4, "1"}, {5, "-2"}}, Key::Enter}).Press(Key::Esc);
  InputPreDimensioningMode();
  ASSERT_EQ(form_->shown.size(), 2u);
  EXPECT_EQ(form_->shown[1].state.EditText[4], "9");
  EXPECT_EQ(form_->shown[1].state.EditText[5], "1");
  test::ExpectRel(9.0L * SpringData().d, SpringData().Dm, 1e-15L);
}

TEST_F(ScreensTest, BadRowTextsLeaveFiniteValues) {
  std::FILE* sink = std::fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  SetUi(std::make_shared<RefusalsAllowedUi>(sink));
  const std::string long1000(1000, '9');
  for (const std::string& text : {std::string(""), std::string("abc"), std::string("1e999"), std::string("inf"),
                                  std::string("nan"), std::string("\xe2\x88\x92" "5"), std::string("1,5"), long1000,
                                  std::string("\x84\x94\x81"), std::string("<"), std::string("*")}) {
    for (int row = 1; row <= 9; ++row) {
      for (int screen = 0; screen < 4; ++screen) {
        test::MakeRefSpring();
        form_ = std::make_shared<ScriptedOnlineForm>();
        SetOnlineForm(form_);
        form_->TypeAt(row, text, Key::Enter).Press(Key::Esc);
        if (screen == 0) InputRecalculation();
        else if (screen == 1) InputDimensioning();
        else if (screen == 3) InputPreDimensioningMode();
        else
          InputPreDimensioning();
        ASSERT_EQ(test::NonFiniteReals(), "") << screen << " row " << row << " " << text.substr(0, 10);
        for (const auto& s : form_->shown)
          for (const std::string& v : s.state.OutValue)
            ASSERT_EQ(v.find("nan"), std::string::npos);
      }
    }
  }
  SetUi(std::make_shared<BatchUi>());
  std::fclose(sink);
}

// ---------------------------------------------------------------- row moves

class OnlineMovesTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetOnlineState();
    form_ = std::make_shared<ScriptedOnlineForm>();
    SetOnlineForm(form_);
  }
  void TearDown() override {
    SetOnlineForm(nullptr);
    BaseTest::TearDown();
  }
  std::shared_ptr<ScriptedOnlineForm> form_;
};

// The row the form moved to is where the next run opens; a move beyond the
// ends leaves the row.
TEST_F(OnlineMovesTest, MovesAndUndoMovesAgree) {
  for (int count = 1; count <= 12; ++count) {
    for (int start = 1; start <= count; ++start) {
      for (Key key : {Key::Up, Key::Down}) {
        ResetOnlineState();
        Online().RowCount = count;
        form_ = std::make_shared<ScriptedOnlineForm>();
        SetOnlineForm(form_);
        form_->Press(key).Press(Key::Enter);
        int row = start;
        bool changed = false;
        RunOnlineInput(row, 6000, changed);
        EXPECT_EQ(row, start);  // the row that was edited
        RunOnlineInput(row, 6000, changed);
        const int expected = key == Key::Up ? (start > 1 ? start - 1 : 1) : (start < count ? start + 1 : count);
        ASSERT_EQ(form_->shown.size(), 2u);
        EXPECT_EQ(form_->shown[1].Current, expected) << count << " " << start;
        EXPECT_TRUE(changed);
      }
    }
  }
}

TEST_F(OnlineMovesTest, HiddenRowsAreSkipped) {
  for (int count = 3; count <= 12; ++count) {
    for (int hidden = 1; hidden <= count; ++hidden) {
      for (int start = 1; start <= count; ++start) {
        if (start == hidden) continue;
        for (Key key : {Key::Up, Key::Down}) {
          ResetOnlineState();
          Online().RowCount = count;
          form_ = std::make_shared<ScriptedOnlineForm>();
          SetOnlineForm(form_);
          form_->Press(key).Press(Key::Enter);
          int row = start;
          bool changed = false;
          RunOnlineInputHiding(row, 6000, changed, 0, hidden);
          RunOnlineInputHiding(row, 6000, changed, 0, hidden);
          const int opened = form_->shown[1].Current;
          EXPECT_NE(opened, hidden) << count << " h" << hidden << " s" << start;
          EXPECT_GE(opened, 1);
          EXPECT_LE(opened, count);
          // A move never jumps over more than the hidden row.
          EXPECT_LE(std::abs(opened - start), 2) << count << " h" << hidden << " s" << start;
        }
      }
    }
  }
  // Row 1 hidden: up from row 2 stays on row 2.
  ResetOnlineState();
  Online().RowCount = 8;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->Press(Key::Up).Press(Key::Enter);
  int row = 2;
  bool changed = false;
  RunOnlineInputHiding(row, 6100, changed, 0, 1);
  RunOnlineInputHiding(row, 6100, changed, 0, 1);
  EXPECT_EQ(form_->shown[1].Current, 2);
  // Last row hidden: down from the second-last row stays there.
  ResetOnlineState();
  Online().RowCount = 8;
  form_ = std::make_shared<ScriptedOnlineForm>();
  SetOnlineForm(form_);
  form_->Press(Key::Down).Press(Key::Enter);
  row = 7;
  RunOnlineInputHiding(row, 6000, changed, 0, 8);
  RunOnlineInputHiding(row, 6000, changed, 0, 8);
  EXPECT_EQ(form_->shown[1].Current, 7);
}

TEST_F(OnlineMovesTest, KeysReadTextsAndAbort) {
  Online().RowCount = 3;
  Online().EditText[2] = "old";
  struct Case {
    Key key;
    bool read;
    int abort;
  } cases[] = {{Key::Enter, true, 0}, {Key::Ok, true, 0},           {Key::Up, true, 0}, {Key::Down, true, 0},
               {Key::Esc, false, 1},  {Key::Close, true, 1}, {Key::WindowClose, true, 1}};
  for (const Case& c : cases) {
    Online().EditText[2] = "old";
    OnlineRun run = MakeOnlineRun(2, 6000, 0, 0);
    run.Edits[2] = "new";
    ApplyOnlineKey(run, c.key);
    EXPECT_EQ(Online().EditText[2], c.read ? "new" : "old") << static_cast<int>(c.key);
    EXPECT_EQ(G().AbortFlag, c.abort) << static_cast<int>(c.key);
    EXPECT_TRUE(run.Closed);
  }
  // Up in row 1 and down in the last row: no move remembered.
  OnlineRun top = MakeOnlineRun(1, 0, 0, 0);
  ApplyOnlineKey(top, Key::Up);
  EXPECT_EQ(top.Current, 1);
  EXPECT_EQ(Online().LastKey, 0);
  OnlineRun bottom = MakeOnlineRun(3, 0, 0, 0);
  ApplyOnlineKey(bottom, Key::Down);
  EXPECT_EQ(bottom.Current, 3);
  EXPECT_EQ(Online().LastKey, 0);
  // Help numbers of the hints.
  EXPECT_EQ(InputRowHelp(6000, 3), 6010);
  EXPECT_EQ(OutputRowHelp(6000, 2), 6072);
  EXPECT_EQ(OutputRowHelp(5995, 1), 6070);
}

}  // namespace
}  // namespace zeb
