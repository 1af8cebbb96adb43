// Degenerate inputs: every calculation mode with each primary input at 0,
// -1, 1e-9 and 1e30, and every code over a wide range, with floating-point
// traps on. No trap may fire and every real must stay finite.
#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
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
  std::vector<Mode> modes;
  for (int input = 1; input <= 4; ++input)
    modes.push_back({"recalculation", [input] {
                       SpringData().RateInput = static_cast<Code>(input);
                       RunRecalculation();
                     },
                     true});
  modes.push_back({"calculation", CalculateSpring, true});
  modes.push_back({"F1F2", DimensionF1F2});
  modes.push_back({"F1RMin", DimensionF1RMin});
  modes.push_back({"F2RMin", DimensionF2RMin});
  modes.push_back({"F1RMax", DimensionF1RMax});
  modes.push_back({"F2RMax", DimensionF2RMax});
  modes.push_back({"pre", RunPreDimensioning});
  return modes;
}

struct Input {
  const char* name;
  std::function<void(Real)> set;
};

std::vector<Input> Inputs() {
  auto field = [](Real SpringDataRecord::*member) {
    return [member](Real v) { SpringData().*member = v; };
  };
  return {
      {"F1", field(&SpringDataRecord::F1)},
      {"F2", field(&SpringDataRecord::F2)},
      {"sh", field(&SpringDataRecord::sh)},
      {"L0", field(&SpringDataRecord::L0)},
      {"L1", field(&SpringDataRecord::L1)},
      {"L2", field(&SpringDataRecord::L2)},
      {"d", field(&SpringDataRecord::d)},
      {"h", field(&SpringDataRecord::h)},
      {"di", field(&SpringDataRecord::di)},
      {"r", field(&SpringDataRecord::r)},
      {"Dm", field(&SpringDataRecord::Dm)},
      {"De", field(&SpringDataRecord::De)},
      {"Di", field(&SpringDataRecord::Di)},
      {"n", field(&SpringDataRecord::n)},
      {"EndCoils1", [](Real v) { SpringData().EndCoils[1] = v; }},
      {"EndCoils2", [](Real v) { SpringData().EndCoils[2] = v; }},
      {"EndCoilsInput", field(&SpringDataRecord::EndCoilsInput)},
      {"G", field(&SpringDataRecord::G)},
      {"E", field(&SpringDataRecord::E)},
      {"rho", field(&SpringDataRecord::rho)},
      {"T", field(&SpringDataRecord::T)},
      {"Rm", field(&SpringDataRecord::Rm)},
      {"tauzul", field(&SpringDataRecord::tauzul)},
      {"nue", field(&SpringDataRecord::nue)},
      {"f", field(&SpringDataRecord::f)},
      {"ExternalMass", field(&SpringDataRecord::ExternalMass)},
      {"FQ", [](Real v) { TransverseLoad().FQ = v; }},
      {"PreTauRatio", field(&SpringDataRecord::PreTauRatio)},
      {"PreW", field(&SpringDataRecord::PreW)},
      {"StatisticsFactor", field(&SpringDataRecord::StatisticsFactor)},
      {"TolWire", field(&SpringDataRecord::TolWire)},
      {"TolF2", field(&SpringDataRecord::TolF2)},
      {"FatigueTol1", field(&SpringDataRecord::FatigueTol1)},
      {"Ls", [](Real v) { ProductionData().Ls = v; }},
      {"GoodmanSlope", [](Real v) { ZEBWST_Record().Unpeened.GoodmanSlope = MakeReal48(v); }},
      {"DR0", [](Real v) { ZEBWST_Record().DR0 = MakeReal48(v); }},
      {"d0", [](Real v) { ZEBWST_Record().d0 = MakeReal48(v); }},
  };
}

struct CodeField {
  const char* name;
  Code SpringDataRecord::*member;
};

const CodeField kCodes[] = {
    {"CrossSection", &SpringDataRecord::CrossSection}, {"DiameterGiven", &SpringDataRecord::DiameterGiven},
    {"EndForm", &SpringDataRecord::EndForm},           {"CoilingKind", &SpringDataRecord::CoilingKind},
    {"LoadType", &SpringDataRecord::LoadType},         {"LoadCase", &SpringDataRecord::LoadCase},
    {"WireStd", &SpringDataRecord::WireStd},           {"MaterialSel", &SpringDataRecord::MaterialSel},
    {"MaterialStd", &SpringDataRecord::MaterialStd},   {"SaMethod", &SpringDataRecord::SaMethod},
    {"OptWarnings", &SpringDataRecord::OptWarnings},   {"WarningsOn", &SpringDataRecord::WarningsOn},
    {"Allowance", &SpringDataRecord::Allowance},
};

const CodeField kGrades[] = {
    {"GradeDe", &SpringDataRecord::GradeDe}, {"GradeL0", &SpringDataRecord::GradeL0},
    {"GradeF1", &SpringDataRecord::GradeF1}, {"GradeF2", &SpringDataRecord::GradeF2},
    {"GradeE1", &SpringDataRecord::GradeE1}, {"GradeE2", &SpringDataRecord::GradeE2},
    {"StatisticsGrade", &SpringDataRecord::StatisticsGrade},
};

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
    test::SetReferenceSpring();
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
    Run("peened, hot", mode, [] {
      SpringData().ShotPeened = 'J';
      SpringData().CoilingKind = 2;
    });
  }
}

}  // namespace
}  // namespace zeb
