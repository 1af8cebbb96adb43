// Degenerate inputs: every calculation mode with each primary input at 0,
// -1, 1e-9 and 1e30, and every code over a wide range, with floating-point
// traps on. No trap may fire and every real must stay finite.
#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "ref_spring.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring_reals.h"

namespace zeb {
namespace {

// The case running when a trap fires, for the report.
char g_case[256] = "";

extern "C" void OnTrap(int) {
  const char head[] = "floating-point trap in case: ";
  [[maybe_unused]] auto r1 = write(2, head, sizeof head - 1);
  [[maybe_unused]] auto r2 = write(2, g_case, std::strlen(g_case));
  [[maybe_unused]] auto r3 = write(2, "\n", 1);
  _exit(3);
}

struct Mode {
  const char* name;
  std::function<void()> run;
  bool single = false;  // one calculation, not a search
};

std::vector<Mode> Modes() {
  std::vector<Mode> modes = {{"calculation", CalculateSpring, true}, {"F1F2", DimensionF1F2},
                             {"F1RMin", DimensionF1RMin},         {"F2RMin", DimensionF2RMin},
                             {"F1RMax", DimensionF1RMax},         {"F2RMax", DimensionF2RMax},
                             {"pre", RunPreDimensioning}};
  for (int input = 1; input <= 4; ++input)
    modes.push_back({"recalculation", [input] {
                       SpringData().RateInput = static_cast<Code>(input);
                       RunRecalculation();
                     },
                     true});
  return modes;
}

struct Input {
  const char* name;
  std::function<void(Real)> set;
};

std::vector<Input> Inputs() {
#define ZEB_FIELD(name) {#name, [](Real v) { SpringData().name = v; }}
  std::vector<Input> inputs = {
      ZEB_FIELD(F1), ZEB_FIELD(F2), ZEB_FIELD(sh), ZEB_FIELD(L0), ZEB_FIELD(L1), ZEB_FIELD(L2), ZEB_FIELD(d),
      ZEB_FIELD(h), ZEB_FIELD(di), ZEB_FIELD(r), ZEB_FIELD(Dm), ZEB_FIELD(De), ZEB_FIELD(Di), ZEB_FIELD(n),
      ZEB_FIELD(EndCoils[1]), ZEB_FIELD(EndCoils[2]), ZEB_FIELD(EndCoilsInput), ZEB_FIELD(G), ZEB_FIELD(E),
      ZEB_FIELD(rho), ZEB_FIELD(T), ZEB_FIELD(Rm), ZEB_FIELD(tauzul), ZEB_FIELD(nue), ZEB_FIELD(f),
      ZEB_FIELD(ExternalMass), ZEB_FIELD(PreTauRatio), ZEB_FIELD(PreW), ZEB_FIELD(StatisticsFactor),
      ZEB_FIELD(TolWire), ZEB_FIELD(TolF2), ZEB_FIELD(FatigueTol1),
      {"FQ", [](Real v) { TransverseLoad().FQ = v; }},
      {"Ls", [](Real v) { ProductionData().Ls = v; }},
      {"GoodmanSlope", [](Real v) { ZEBWST_Record().Unpeened.GoodmanSlope = MakeReal48(v); }},
      {"DR0", [](Real v) { ZEBWST_Record().DR0 = MakeReal48(v); }},
      {"d0", [](Real v) { ZEBWST_Record().d0 = MakeReal48(v); }},
  };
#undef ZEB_FIELD
  return inputs;
}

struct CodeField {
  const char* name;
  Code SpringDataRecord::*member;
};

#define ZEB_CODE(name) {#name, &SpringDataRecord::name}
const CodeField kCodes[] = {
    ZEB_CODE(CrossSection), ZEB_CODE(DiameterGiven), ZEB_CODE(EndForm),     ZEB_CODE(CoilingKind),
    ZEB_CODE(LoadType),     ZEB_CODE(LoadCase),      ZEB_CODE(WireStd),     ZEB_CODE(MaterialSel),
    ZEB_CODE(MaterialStd),  ZEB_CODE(SaMethod),      ZEB_CODE(OptWarnings), ZEB_CODE(WarningsOn),
    ZEB_CODE(Allowance),
};
const CodeField kGrades[] = {
    ZEB_CODE(GradeDe), ZEB_CODE(GradeL0), ZEB_CODE(GradeF1),         ZEB_CODE(GradeF2),
    ZEB_CODE(GradeE1), ZEB_CODE(GradeE2), ZEB_CODE(StatisticsGrade),
};
#undef ZEB_CODE

class DegenerateTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ui().OnFailure(nullptr);  // "No Solution" boxes may come
    previous_ = std::signal(SIGFPE, OnTrap);
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  }
  void TearDown() override {
    fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    std::signal(SIGFPE, previous_);
    ui().Reset();
    BaseTest::TearDown();
  }

  // The reference spring with a transverse force, and the scrap shares in
  // the single calculations (they are slow for the searching modes), so
  // that every branch of the calculation has work.
  static void Base(bool statistics) {
    ResetSpringGlobals();
    ResetErrorMessages();
    G().FatalErrorFlag = 0;
    test::MakeRefSpring();
    SpringData().Statistics = statistics ? 'J' : 'N';
    TransverseLoad().FQ = 1.0L;
  }

  void Run(const std::string& name, const Mode& mode, const std::function<void()>& change) {
    std::snprintf(g_case, sizeof g_case, "%s %s", mode.name, name.c_str());
    Base(mode.single);
    change();
    mode.run();
    ui().Reset();
    EXPECT_EQ(test::NonFiniteReals(), "") << g_case;
  }

 private:
  void (*previous_)(int) = nullptr;
};

TEST_F(DegenerateTest, PrimaryInputsAtTheirLimits) {
  for (const Mode& mode : Modes())
    for (const Input& input : Inputs())
      for (Real v : {0.0L, -1.0L, 1e-9L, 1e30L})
        Run(std::string(input.name) + "=" + std::to_string(static_cast<double>(v)), mode,
            [&] { input.set(v); });
}

TEST_F(DegenerateTest, CodesAndGradesOverTheirRanges) {
  for (const Mode& mode : Modes()) {
    for (const CodeField& code : kCodes)
      for (int v = 0; v <= 20; ++v)
        Run(std::string(code.name) + "=" + std::to_string(v), mode,
            [&] { SpringData().*code.member = static_cast<Code>(v); });
    for (const CodeField& grade : kGrades)
      for (int v = 0; v <= 9; ++v)
        Run(std::string(grade.name) + "=" + std::to_string(v), mode,
            [&] { SpringData().*grade.member = static_cast<Code>(v); });
    Run("peened, approximated, hot", mode, [] {
      SpringData().ShotPeened = 'J';
      SpringData().CoilingKind = 2;
      ZEBWST_Record().Peened = FatigueGroup{};
    });
  }
}

// Inputs a long double holds but whose results no file reader could read
// back (beyond a double): the calculation stops with a message.
TEST(ResultRangeTest, ResultsBeyondADoubleAreFatal) {
  const std::string message = "Fatal  : Zahlenbereich \x81" "berschritten !";
  // 4: a force the spring file cannot hold (its lines end at 1e15); 5 one
  // it can.
  for (int field = 0; field <= 5; ++field) {
    ResetSpringGlobals();
    ResetErrorMessages();
    test::MakeRefSpring();
    SpringDataRecord& s = SpringData();
    if (field == 1) s.L2 = 1e4000L;
    if (field == 2) s.F2 = 1e4000L;
    if (field == 3) s.Dm = 1e300L;
    if (field >= 4) s.F2 = field == 4 ? 2e15L : 1e14L;
    CalculateSpring();
    const ErrorMessageListT& list = G().ErrorMessageList;
    bool found = false;
    for (int i = 1; i <= list.count && i <= 12; ++i) found |= list.slot[static_cast<std::size_t>(i)] == message;
    EXPECT_EQ(found, field != 0 && field != 5) << field;
    EXPECT_EQ(G().FatalErrorFlag != 0, field != 0 && field != 5) << field;
  }
}


// A calculation that stops early leaves nothing of the result before it:
// the spring edited after a sound calculation ends as the same spring
// calculated right after the start.
TEST(StoppedCalculationTest, LeavesNothingOfTheResultBefore) {
  using Values = std::vector<std::pair<std::string, Real>>;
  auto values = [] {
    Values v;
    test::ForEachSpringReal([&v](const char* name, Real x) { v.emplace_back(name, x); });
    return v;
  };
  // What the input screens take as typed (L0, L1, n, R, the travels) and
  // the length the views are drawn at.
  const std::set<std::string> kept = {"SpringData.L0", "SpringData.L1", "SpringData.n", "SpringData.R",
                                      "SpringData.s1", "SpringData.s2", "SpringData.L"};
  auto spring = [] {
    ResetSpringGlobals();
    ResetErrorMessages();
    test::MakeRefSpring();
    SpringDataRecord& s = SpringData();
    s.sh = 10.0L, s.F1 = 20.0L, s.F2 = 60.0L;
    s.Statistics = 'J';
    TransverseLoad().FQ = 2.0L;
  };
  const struct {
    const char* name;
    void (*stop)();
  } stops[] = {
      {"G 0", [] { SpringData().G = 0.0L; }},
      {"Di 0", [] { SpringData().Dm = SpringData().d; }},
      {"sh 0", [] { SpringData().sh = 0.0L; }},
      {"sc 0", [] { SpringData().d = SpringData().h = 6.0L; }},
      {"density 0", [] { SpringData().rho = 0.0L; }},
      {"E 0", [] { SpringData().E = 0.0L; }},
  };
  for (const auto& stop : stops) {
    SCOPED_TRACE(stop.name);
    spring();
    stop.stop();
    CalculateSpring();
    ASSERT_NE(G().FatalErrorFlag, 0);
    const Values fresh = values();

    spring();
    CalculateSpring();
    ASSERT_EQ(G().FatalErrorFlag, 0);
    stop.stop();
    CalculateSpring();
    ASSERT_NE(G().FatalErrorFlag, 0);
    const Values after = values();
    ASSERT_EQ(after.size(), fresh.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
      if (kept.contains(after[i].first)) continue;
      EXPECT_EQ(after[i].second, fresh[i].second) << after[i].first << " (value " << i << ")";
    }
  }
}

}  // namespace
}  // namespace zeb
