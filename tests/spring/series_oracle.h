// The design tests' oracle: the spring of the data set recalculated at the
// wires of its series.
#pragma once

#include <algorithm>

#include "base/support_fixture.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/spring_data.h"
#include "spring/wirestd.h"

namespace zeb::test {

// judge() of the spring of the data set recalculated at wire d; the data set stays.
template <class Judge>
auto RecalculatedAt(Real d, Judge judge) {
  const SpringGlobals saved = SG();
  SpringData().d = d;
  DeriveDiameters(SpringData().DiameterGiven);
  RunCalculation();
  const auto verdict = judge();
  SG() = saved;
  return verdict;
}

// Place of d in the wire series of the data set, -1 when d is none of its values.
inline int SeriesIndex(Real d) {
  const auto series = StandardWireDiameters(SpringData().WireStd);
  const auto at = std::find(series.begin(), series.end(), d);
  return at == series.end() ? -1 : static_cast<int>(at - series.begin());
}

// A design test: "No Solution" boxes are counted, not scripted.
class DesignTest : public BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ui().OnFailure(nullptr);
  }
  void TearDown() override {
    ui().Reset();
    BaseTest::TearDown();
  }
};

}  // namespace zeb::test
