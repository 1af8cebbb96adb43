// Response of spring and external mass to the load frequency. Expected
// values worked out by hand: omega0 = sqrt(1000 R / (m/3000 + m_ext)),
// V = 1 / (1 - (2 pi f / omega0)^2).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "spring/resonance.h"
#include "spring/spring_data.h"
#include "ref_spring.h"

namespace zeb {
namespace {

using test::ExpectRel;
using test::Messages;

bool AllFinite(const ResonanceRecord& r) {
  for (Real x : {r.omega0, r.Omega, r.ExternalMass, r.m0, r.c, r.Fz1, r.Az, r.V, r.f0, r.dy, r.dyPercent}) {
    if (!std::isfinite(x)) return false;
  }
  return true;
}

using ResonanceTest = test::SpringTest;

constexpr Real kRefR = 2.3970588235294117L;

TEST_F(ResonanceTest, ReferenceSpringWithExternalMass) {
  SpringData().ExternalMass = 0.05L;
  resonance(10, 16.343146L, kRefR, 30 * kRefR, 10 * kRefR);
  const ResonanceRecord& r = ResonanceResult();
  ExpectRel(207.92059904595956L, r.omega0);
  ExpectRel(62.83185307179586L, r.Omega);
  ExpectRel(0.05L, r.ExternalMass);
  ExpectRel(0.016343146L, r.m0);
  ExpectRel(2397.0588235294117L, r.c);
  ExpectRel(23.970588235294116L, r.Fz1);
  ExpectRel(11.004971188358322L, r.Az);
  ExpectRel(1.1004971188358323L, r.V);
  ExpectRel(33.091591108792485L, r.f0);
  ExpectRel(1.004971188358322L, r.dy);
  ExpectRel(10.049711883583235L, r.dyPercent);
  EXPECT_EQ(std::vector<std::string>{"Fehler : Resonance"}, Messages());
  EXPECT_EQ(0, G().FatalErrorFlag);
}

TEST_F(ResonanceTest, NoExternalMassNoMessage) {
  resonance(100, 16.343146L, kRefR, 30 * kRefR, 10 * kRefR);
  EXPECT_GT(ResonanceResult().dyPercent, 10);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ResonanceTest, TenPercentIsTheLimit) {
  // R 1, spring mass 0, m_ext 1 kg: omega0 = sqrt(1000).
  SpringData().ExternalMass = 1;
  resonance(1.5167928568122813L, 0, 1, 20, 10);  // V 1.0999
  ExpectRel(9.99L, ResonanceResult().dyPercent, 1e-6L);
  EXPECT_TRUE(Messages().empty());
  resonance(1.518172386878943L, 0, 1, 20, 10);  // V 1.1001
  ExpectRel(10.01L, ResonanceResult().dyPercent, 1e-6L);
  EXPECT_EQ(std::vector<std::string>{"Fehler : Resonance"}, Messages());
  // Above resonance the amplitude changes sign.
  ResetErrorMessages();
  resonance(10, 0, 1, 20, 10);
  EXPECT_LT(ResonanceResult().dyPercent, 0);
  EXPECT_EQ(std::vector<std::string>{"Fehler : Resonance"}, Messages());
}

TEST_F(ResonanceTest, StandingStillIsTheStaticHalfStroke) {
  SpringData().ExternalMass = 0.05L;
  resonance(0, 16.343146L, kRefR, 30 * kRefR, 10 * kRefR);
  const ResonanceRecord& r = ResonanceResult();
  EXPECT_EQ(1, r.V);
  ExpectRel(10, r.Az);  // sh / 2 = 20 / 2
  EXPECT_NEAR(0.0, static_cast<double>(r.dy), 1e-12);
  EXPECT_EQ(0, r.dyPercent);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ResonanceTest, NoPositiveMassOrRateHasNoFrequency) {
  // A zero rate does nothing at all.
  ResonanceResult().omega0 = 5;
  resonance(10, 16, 0, 50, 10);
  EXPECT_EQ(5, ResonanceResult().omega0);
  EXPECT_TRUE(Messages().empty());

  struct Case {
    Real m, R, mext;
  };
  for (const Case& c : {Case{0, 2, 0}, Case{-3, 2, 0}, Case{3, 2, -1}, Case{16, -2, 0.05L}}) {
    ResetErrorMessages();
    ResonanceResult() = ResonanceRecord{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    SpringData().ExternalMass = c.mext;
    resonance(10, c.m, c.R, 50, 10);
    const ResonanceRecord& r = ResonanceResult();
    EXPECT_EQ(std::vector<std::string>{"Fehler : Calc. Resonance"}, Messages());
    for (Real x : {r.omega0, r.f0, r.V, r.Fz1, r.Az, r.dy, r.dyPercent}) EXPECT_EQ(0, x);
    EXPECT_TRUE(AllFinite(r));
    EXPECT_EQ(0, G().FatalErrorFlag);
  }
}

TEST_F(ResonanceTest, ExactResonanceGivesZerosAndTheMessage) {
  for (Real mext : {Real{1}, Real{0}}) {
    ResetErrorMessages();
    SpringData().ExternalMass = mext;
    // R 1 and 3 g of spring: omega0 = sqrt(1000) with 1 kg, sqrt(1e6) without.
    const Real m = (mext > 0) ? 0 : 3;
    const Real omega0 = (mext > 0) ? std::sqrt(Real{1000}) : Real{1000};
    resonance(omega0 / (2 * 3.14159265358979323846L), m, 1, 20, 10);
    const ResonanceRecord& r = ResonanceResult();
    EXPECT_EQ(std::vector<std::string>{"Fehler : Resonance"}, Messages());
    for (Real x : {r.V, r.Az, r.dy, r.dyPercent}) EXPECT_EQ(0, x);
    ExpectRel(omega0, r.omega0);
    EXPECT_TRUE(AllFinite(r));
  }
}

}  // namespace
}  // namespace zeb
