#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"

namespace zeb {
namespace {

// Every case runs under the C locale and again under de_DE.UTF-8, whose
// decimal comma must change no result.
class FormatTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ResetBaseGlobals();
    if (std::setlocale(LC_ALL, GetParam()) == nullptr) GTEST_SKIP() << "locale " << GetParam() << " missing";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, std::string(GetParam()) == "C" ? "1.5" : "1,5");  // really in force
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

INSTANTIATE_TEST_SUITE_P(Locale, FormatTest, ::testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& info) { return std::string(info.index == 0 ? "C" : "German"); });

constexpr Real kInf = std::numeric_limits<Real>::infinity();
constexpr Real kNan = std::numeric_limits<Real>::quiet_NaN();

// |a - b| within 1e-15 relative (at least 1e-15 absolute), in long double.
::testing::AssertionResult Near(Real a, Real b) {
  const Real scale = std::fabs(b) > 1 ? std::fabs(b) : 1;
  if (std::fabs(a - b) <= 1e-15L * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << static_cast<double>(a) << " != " << static_cast<double>(b);
}

// ---- Core texts -----------------------------------------------------------

TEST_P(FormatTest, SignificantDigitSplit) {
  struct Case { Real x; int intDigits, decimals; };
  const Case cases[] = {
      {12.34L, 2, 2}, {1.234L, 1, 3}, {0.01234L, 0, 4}, {12.0L, 2, 0}, {0.5L, 0, 1},
      {1.5L, 1, 1},   {1234.6L, 4, 0}, {100, 3, 0},      {0, 0, 1},     {-12.34L, 2, 2}};
  for (const Case& c : cases) {
    int i = -9, d = -9;
    SignificantDigitSplit(3, c.x, i, d);
    EXPECT_EQ(i, c.intDigits) << static_cast<double>(c.x);
    EXPECT_EQ(d, c.decimals) << static_cast<double>(c.x);
  }
}

TEST_P(FormatTest, FloatToStrSig) {
  const std::pair<Real, const char*> cases[] = {
      {0, "0"},          {0.000009L, "0"},   {-0.000009L, "0"}, {0.00002L, "0.00002"}, {999.96L, "1000"},
      {1234.6L, "1235"}, {12.34L, "12.34"},  {-12.34L, "-12.34"}, {0.5L, "0.5"},       {0.01234L, "0.0123"},
      {100, "100"},      {0.01L, "0.01"},    {123456789, "123456789"}};
  for (auto [x, text] : cases) EXPECT_EQ(FloatToStrSig(x), text) << static_cast<double>(x);
  // Trailing zeros are dropped from the text as written, also where the
  // rounding carries into them: as the neighbours just above show them.
  const std::pair<Real, const char*> carried[] = {
      {9.99951L, "10"},     {10.0001L, "10"},    {88.4951L, "88.5"},  {88.5001L, "88.5"},  {12.3951L, "12.4"},
      {0.0999999L, "0.1"},  {-9.99951L, "-10"},  {1.99999L, "2"},     {12.3449L, "12.34"}, {99.9951L, "100"}};
  for (auto [x, text] : carried) EXPECT_EQ(FloatToStrSig(x), text) << static_cast<double>(x);
  const std::tuple<int, Real, const char*> less[] = {{-1, 12.345678L, "12.346"}, {1, 12.345678L, "12.3"},
                                                     {2, 12.345678L, "12"},      {7, 12.345678L, "12"},
                                                     {1, 0.0123L, "0.012"},      {1, 0.000001L, "0"}};
  for (auto [k, x, text] : less) EXPECT_EQ(FloatToStrSigLess(k, x), text) << k << " " << static_cast<double>(x);
}

TEST_P(FormatTest, DecimalsSetting) {
  struct Case { int setting; const char* sig; const char* field; const char* dec; };
  // FloatToStrSig(12.34); FormatFloatField(4, 2, 3.14159); FloatToStrDec(1, 2.75).
  const Case cases[] = {{3, "12.34", "   3.14", "2.8"},
                        {5, "12.3400", "   3.1416", "2.750"},
                        {0, "12", "   3", "3"},
                        {20, "12.3400000000", "   3.1415900000", "2.7500000000"}};
  for (const Case& c : cases) {
    G().DecimalsSetting = c.setting;
    EXPECT_EQ(FloatToStrSig(12.34L), c.sig) << c.setting;
    EXPECT_EQ(FormatFloatField(4, 2, 3.14159L), c.field) << c.setting;
    EXPECT_EQ(FloatToStrDec(1, 2.75L), c.dec) << c.setting;
  }
}

TEST_P(FormatTest, FormatFloatFieldAutoAndEngineering) {
  // Nearest, the half to even; a longer text kept whole; below 1e-8 counts as 0.
  const std::tuple<int, int, Real, const char*> fields[] = {
      {5, 2, 1.5L, "    1.50"},  {5, 0, -1.5L, "   -2"}, {2, 3, 12345.5L, "12345.500"}, {3, 2, 0.000000001L, "  0.00"},
      {3, 2, -0.0L, "  0.00"},     {3, 1, 0.25L, "  0.2"},  {3, 1, 0.75L, "  0.8"},       {0, -2, 7.0L, "7"}};
  for (auto [i, d, x, text] : fields) EXPECT_EQ(FormatFloatField(i, d, x), text) << static_cast<double>(x);
  const std::pair<Real, const char*> autos[] = {{45000, "45E3"}, {0.00005L, "0.05E-3"}, {0.000002L, "2E-6"},
                                                {0, "0"},        {1e-13L, "0"},         {12.34L, "12.34"},
                                                {9999, "9999"}};
  for (auto [x, text] : autos) EXPECT_EQ(FloatToStrAuto(x), text) << static_cast<double>(x);
  const std::pair<Real, const char*> engs[] = {{12500000, "12.5E6"}, {45000, "45E3"},       {0.0015L, "1.5E-3"},
                                               {0.00015L, "0.15E-3"}, {-0.0015L, "-1.5E-3"}, {1234, "1234"},
                                               {2e-3000L, "2E-3000"}};
  for (auto [x, text] : engs) EXPECT_EQ(FloatToStrEng(x), text) << static_cast<double>(x);
}

TEST_P(FormatTest, NonFiniteAndHugeValues) {
  for (auto f : {FloatToStrSig, FloatToStrAuto, FloatToStrEng}) {
    EXPECT_EQ(f(kInf), "INF");
    EXPECT_EQ(f(-kInf), "-INF");
    EXPECT_EQ(f(kNan), "NAN");
  }
  EXPECT_EQ(FloatToStrSigLess(1, -kInf), "-INF");
  EXPECT_EQ(FloatToStrDec(2, kNan), "NAN");
  EXPECT_EQ(FormatFloatField(3, 2, kInf), "   INF");
  EXPECT_EQ(FormatSignedDeviation(kNan), "NAN");
  G().UnitSystem = 1;
  EXPECT_EQ(FormatLength(-kInf), "-INF");

  // 1e3000 is held as the nearest 64-bit mantissa value, just below 10^3000:
  // 3000 digits, "99999999999999999998630365205..." (python3 fractions).
  const std::string big = FloatToStrSig(1e3000L);
  ASSERT_EQ(big.size(), 3000u);
  EXPECT_EQ(big.substr(0, 30), "999999999999999999986303652052");
  EXPECT_EQ(big.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(FloatToStrSig(-1e3000L).size(), 3001u);
}

TEST_P(FormatTest, Integers) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(IntToText(std::numeric_limits<long long>::min()), "-9223372036854775808");
  EXPECT_EQ(IntToTextZeroPad(-5, 4), "00-5");
  EXPECT_EQ(IntToTextZeroPad(7, 3), "007");
  EXPECT_EQ(IntToTextZeroPad(12345, 3), "12345");
  EXPECT_EQ(IntToTextBlankPad(-5, 4), "  -5");
  EXPECT_EQ(IntToTextBlankPad(5, 0), "5");
}

TEST_P(FormatTest, FormatDate) {
  const struct { int format; const char* text; } cases[] = {
      {1, "07.03.2024"}, {2, "03/07/2024"}, {3, "2024/03/07"}, {4, "07/03/2024"}, {9, "2024/03/07"}};
  for (const auto& c : cases) {
    G().DateFormat = static_cast<std::int16_t>(c.format);
    EXPECT_EQ(FormatDate(2024, 3, 7), c.text) << c.format;
  }
  G().DateFormat = 1;
  EXPECT_EQ(FormatDate(999, 12, 31), "31.12.999");
}

// ---- Deviations ---------------------------------------------------------

TEST_P(FormatTest, DeviationsAndTolerancePairs) {
  EXPECT_EQ(FormatSignedDeviation(0.123L), "+0.12");
  EXPECT_EQ(FormatSignedDeviation(-0.1L), "-0.1");
  EXPECT_EQ(FormatSignedDeviation(0), "");
  EXPECT_EQ(FormatTolerancePair(0.1L, -0.1L), PlusMinusSign() + "0.1");
  EXPECT_EQ(FormatTolerancePair(-0.1L, 0.1L), PlusMinusSign() + "0.1");
  EXPECT_EQ(FormatTolerancePair(0.2L, -0.1L), "+0.2/-0.1");
  // The upper deviation stands first in whatever order the caller holds them.
  EXPECT_EQ(FormatTolerancePair(-0.5L, 0.7L), "+0.7/-0.5");
  EXPECT_EQ(FormatTolerancePair(-0.5L, -0.2L), "-0.2/-0.5");
  EXPECT_EQ(FormatTolerancePair(0, -0.1L), "-0.1");
  EXPECT_EQ(FormatTolerancePair(0.3L, 0), "+0.3");
  EXPECT_EQ(FormatTolerancePair(0, 0), "");

  // English: inches and lbf with 3 significant digits.
  G().UnitSystem = 1;
  EXPECT_EQ(FormatSignedLengthDeviation(0.254L), "+0.01");
  EXPECT_EQ(FormatSignedLengthDeviation(-1.27L), "-0.05");
  EXPECT_EQ(FormatLengthTolerancePair(0.3175L, -0.3175L), PlusMinusSign() + "0.0125");
  EXPECT_EQ(FormatSignedForceDeviation(-44.4822L), "-10");
  EXPECT_EQ(FormatForceTolerancePair(20, -10), "+4.496/-2.248");
  // kN systems: x 0.001 with 2 significant digits.
  for (int system : {2, 4}) {
    G().UnitSystem = static_cast<std::int16_t>(system);
    EXPECT_EQ(FormatSignedForceDeviation(1234), "+1.23");  // 1 and more: n + 1 digits
    EXPECT_EQ(FormatForceTolerancePair(1500, -1500), PlusMinusSign() + "1.5");
    EXPECT_EQ(FormatSignedLengthDeviation(0.123L), "+0.12");
  }
  for (int system : {0, 3}) {
    G().UnitSystem = static_cast<std::int16_t>(system);
    EXPECT_EQ(FormatSignedForceDeviation(1234), "+1234");  // integer digits kept
    EXPECT_EQ(FormatLengthTolerancePair(0.05L, -0.02L), "+0.05/-0.02");
  }
}

// ---- Unit layer ---------------------------------------------------------

// Every label and every conversion per unit system, values worked by hand:
// length 25.4 mm = 1 in; force 1500 N = 337.2135 lbf = 1.5 kN;
// stress 1000 N/mm² = 145037 psi; moment 10000 Nmm = 88.5075 lbfin = 10 Nm;
// 100 °C = 212 °F; rate 10 N/mm = 57.101492 lbf/in; 1 kg = 2.2046 lb;
// 100 g = 0.22046 lb.
struct UnitRow {
  int system;
  const char *length, *force, *stress, *moment, *temperature, *rate, *mass, *smallMass;
  const char *fLength, *fForce, *fStress, *fMoment, *fTemperature, *fRate, *fMass, *fSmallMass;
  const char *fLengthDec2, *fLengthField62, *fForceField61, *fStressDec3, *fStressField62;
  const char *fRateField52, *fTempDec1, *fTempField41;
};

const UnitRow kUnitRows[] = {
    {0, "mm", "N", "MPa", "Nmm", "\xF8" "C", "N/mm", "kg", "g",
     "25.4", "1500", "1000", "10000", "100", "10", "1", "100",
     "25.40", "    25.40", "  1500.0", "1000.000", "  1000.00", "   10.00", "100.0", " 100.0"},
    {1, "in", "lbf", "psi", "lbfin", " F", "lbf/in", "lb", "lb",
     "1.0000", "337.2", "145037", "88.5", "212", "57.1", "2.205", "0.22",
     "1.000", "    1.000", "  337.21", "145037.0", "  145037", "   57.10", "212.0", " 212.0"},
    {2, "mm", "kN", "MPa", "Nm", "\xF8" "C", "N/mm", "kg", "g",
     "25.4", "1.5", "1000", "10", "100", "10", "1", "100",
     "25.40", "    25.40", "    1.50", "1000.000", "  1000.00", "   10.00", "100.0", " 100.0"},
    {3, "mm", "N", "N/mm\xFD", "Nmm", "\xF8" "C", "N/mm", "kg", "g",
     "25.4", "1500", "1000", "10000", "100", "10", "1", "100",
     "25.40", "    25.40", "  1500.0", "1000.000", "  1000.00", "   10.00", "100.0", " 100.0"},
    {4, "mm", "kN", "N/mm\xFD", "Nm", "\xF8" "C", "N/mm", "kg", "g",
     "25.4", "1.5", "1000", "10", "100", "10", "1", "100",
     "25.40", "    25.40", "    1.50", "1000.000", "  1000.00", "   10.00", "100.0", " 100.0"},
};

TEST_P(FormatTest, UnitTablePerSystem) {
  for (const UnitRow& r : kUnitRows) {
    G().UnitSystem = static_cast<std::int16_t>(r.system);
    SCOPED_TRACE(r.system);
    EXPECT_EQ(LengthUnitName(), r.length);
    EXPECT_EQ(ForceUnitName(), r.force);
    EXPECT_EQ(StressUnitName(), r.stress);
    EXPECT_EQ(MomentUnitName(), r.moment);
    EXPECT_EQ(TemperatureUnitName(), r.temperature);
    EXPECT_EQ(SpringRateUnitName(), r.rate);
    EXPECT_EQ(MassUnitName(), r.mass);
    EXPECT_EQ(SmallMassUnitName(), r.smallMass);

    EXPECT_EQ(FormatLength(25.4L), r.fLength);
    EXPECT_EQ(FormatForce(1500), r.fForce);
    EXPECT_EQ(FormatStress(1000), r.fStress);
    EXPECT_EQ(FormatMoment(10000), r.fMoment);
    EXPECT_EQ(FormatTemperature(100), r.fTemperature);
    EXPECT_EQ(FormatSpringRate(10), r.fRate);
    EXPECT_EQ(FormatMass(1), r.fMass);
    EXPECT_EQ(FormatSmallMass(100), r.fSmallMass);

    EXPECT_EQ(FormatLengthDec(2, 25.4L), r.fLengthDec2);
    EXPECT_EQ(FormatLengthField(6, 2, 25.4L), r.fLengthField62);
    EXPECT_EQ(FormatForceField(6, 1, 1500), r.fForceField61);
    EXPECT_EQ(FormatStressDec(3, 1000), r.fStressDec3);
    EXPECT_EQ(FormatStressField(6, 2, 1000), r.fStressField62);
    EXPECT_EQ(FormatSpringRateField(5, 2, 10), r.fRateField52);
    EXPECT_EQ(FormatTemperatureDec(1, 100), r.fTempDec1);
    EXPECT_EQ(FormatTemperatureField(4, 1, 100), r.fTempField41);
  }
  // Plain text mode: no degree sign.
  G().PlainTextMode = 1;
  G().UnitSystem = 0;
  EXPECT_EQ(TemperatureUnitName(), " C");
}

TEST_P(FormatTest, DisplayUnitsAndParsingPerSystem) {
  for (int system = 0; system <= 4; ++system) {
    G().UnitSystem = static_cast<std::int16_t>(system);
    SCOPED_TRACE(system);
    const bool english = system == 1, kilo = system == 2 || system == 4;
    EXPECT_TRUE(Near(LengthToDisplayUnit(25.4L), english ? 1 : 25.4L));
    EXPECT_TRUE(Near(ForceToDisplayUnit(4448.22L), english ? 1000 : kilo ? 4.44822L : 4448.22L));
    EXPECT_TRUE(Near(StressToDisplayUnit(2), english ? 290.074L : 2));
    EXPECT_TRUE(Near(SpringRateToDisplayUnit(2), english ? 11.4202984L : 2));
    EXPECT_TRUE(Near(MomentToDisplayUnit(112.984788L), english ? 1 : kilo ? 0.112984788L : 112.984788L));

    EXPECT_TRUE(Near(ParseLength("1"), english ? 25.4L : 1));
    EXPECT_TRUE(Near(ParseForce("1,5"), english ? 6.67233L : kilo ? 1500 : 1.5L));
    EXPECT_TRUE(Near(ParseStress("145037"), english ? 1000 : 145037));
    EXPECT_TRUE(Near(ParseSpringRate("5.7101492"), english ? 1 : 5.7101492L));
    EXPECT_TRUE(Near(ParseTemperature("212"), english ? 100 : 212));
    EXPECT_EQ(ParseLength("abc"), 0);
  }
}

// ---- Parsing ------------------------------------------------------------

TEST_P(FormatTest, Parsing) {
  struct Case { const char* text; bool ok; Real value; };
  const Case cases[] = {
      {"2,5", true, 2.5L},       {" 12.5", true, 12.5L},   {"-1.5e3", true, -1500},
      {"+.5", true, 0.5L},        {"5.", true, 5},          {"1,5E-2", true, 0.015L},
      {"007", true, 7},           {"1e-99999", true, 0},    {"1,234,5", false, 0},
      {"12.5 ", false, 0},        {"", false, 0},           {"   ", false, 0},
      {"abc", false, 0},          {"inf", false, 0},        {"-INF", false, 0},
      {"nan", false, 0},          {"0x10", false, 0},       {"1e99999", false, 0},
      {"1e5000", false, 0},       {".", false, 0},          {"1e", false, 0},
      {"e5", false, 0},           {"1.2.3", false, 0},      {"--1", false, 0},
      {"\t1", false, 0},          {"1 000", false, 0},      {"12a", false, 0}};
  for (const Case& c : cases) {
    Real v = -1;
    EXPECT_EQ(TryTextToFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
    EXPECT_EQ(TextToFloat(c.text), c.value) << c.text;
    EXPECT_EQ(TextToFloatB(c.text), c.value) << c.text;
  }
  // Not NUL-terminated views and embedded NULs.
  EXPECT_EQ(TextToFloat(std::string_view("2.75xyz", 4)), 2.75L);
  EXPECT_EQ(TextToFloat(std::string_view("1\0", 2)), 0);
  // Long texts convert whole.
  EXPECT_EQ(TextToFloat(std::string(300, '0') + "1.5"), 1.5L);

  struct IntCase { const char* text; std::int32_t value; };
  const IntCase ints[] = {{"42", 42},         {" -7", -7},          {"+3", 3},
                          {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
                          {"2147483648", 0},  {"99999999999999999999", 0}, {"12.0", 0},
                          {"0x10", 0},        {"", 0},              {"+", 0},
                          {"1 ", 0},          {"2,5", 0},           {"1e3", 0}};
  for (const IntCase& c : ints) {
    EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
    EXPECT_EQ(TextToIntB(c.text), c.value) << c.text;
    EXPECT_EQ(TextToIntC(c.text), c.value) << c.text;
  }
  std::int64_t i = 0;
  EXPECT_TRUE(TryTextToInt("9223372036854775807", i));
  EXPECT_EQ(i, std::numeric_limits<std::int64_t>::max());
  EXPECT_TRUE(TryTextToInt("-9223372036854775808", i));
  EXPECT_EQ(i, std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(TryTextToInt("9223372036854775808", i));
  EXPECT_EQ(i, 0);
  EXPECT_TRUE(TryTextToInt(" 3000000000", i));
  EXPECT_EQ(i, 3000000000LL);
}

// Decimal texts come out as the C library reads them, to the last bit:
// short and long mantissas, many decimals, leading zeros, signs, commas.
TEST(FormatParsing, DecimalsAsTheCLibraryReadsThem) {
  const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  ASSERT_NE(c, nullptr);
  auto expectSame = [&](const std::string& text) {
    std::string dotted = text;
    for (char& ch : dotted)
      if (ch == ',') ch = '.';
    const Real want = strtold_l(dotted.c_str(), nullptr, c);
    Real got = 0;
    ASSERT_TRUE(TryTextToFloat(text, got)) << text;
    EXPECT_EQ(got, want) << text;
    EXPECT_EQ(std::signbit(got), std::signbit(want)) << text;
  };
  for (const char* t : {"0", "-0", "-0.000", "+0,5", "0.1", "0.3", "1.1", "2.675", "88.4954", "105.8", "-42.9311676",
                        "9999999999999999999", "18446744073709551615", "99999999999999999999.5",
                        "1234567890.123456789", "0.000000000000000000000000001", "0.0000000000000000000000000001",
                        "123456789012345678.9", "0000000000000000000000000012.5", "1.", ".5", "4503599627370497.5"})
    expectSame(t);
  std::mt19937_64 random(20240531);
  for (int k = 0; k < 20000; ++k) {
    std::string text = random() % 4 == 0 ? "-" : "";
    const int whole = static_cast<int>(random() % 22), decimals = static_cast<int>(random() % 30);
    for (int j = 0; j < whole; ++j) text += static_cast<char>('0' + random() % 10);
    if (decimals > 0 || whole == 0) {
      text += random() % 3 == 0 ? ',' : '.';
      for (int j = 0; j < std::max(1, decimals); ++j) text += static_cast<char>('0' + random() % 10);
    }
    expectSame(text);
  }
  freelocale(c);
}


// Fixed decimals come out as the C library prints them, digit for digit:
// halves to even on exact binary halves, the neighbours of every decimal
// half, signs, values beyond 2^63, tiny values and up to 20 decimals.
TEST(FormatPrinting, FixedDecimalsAsTheCLibraryPrintsThem) {
  ResetBaseGlobals();
  G().DecimalsSetting = 3;  // the decimals asked for are the decimals given
  const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  ASSERT_NE(c, nullptr);
  const locale_t previous = uselocale(c);
  auto expectSame = [&](Real x, int decimals) {
    if (std::fabs(x) < 1e-8L) return;  // written as 0
    char want[160];
    std::snprintf(want, sizeof want, "%.*Lf", decimals, x);
    EXPECT_EQ(FormatFloatField(0, decimals, x), want) << decimals << " " << static_cast<double>(x);
  };
  std::mt19937_64 random(20261209);
  for (int d = 0; d <= 20; ++d) {
    for (Real x : {0.5L, 1.5L, 2.5L, -2.5L, 0.125L, 0.375L, 1.0L / 1024, 88.4951L, 9.99951L, 1e15L, -1e15L,
                   9223372036854775807.0L, 9223372036854775808.0L, 1e25L, -1e40L,
                   std::numeric_limits<Real>::denorm_min() * 1e9L})
      expectSame(x, d);
    for (int k = 0; k < 2000; ++k) {
      // A binary fraction: many are exact decimal halves.
      const Real half = std::ldexp(static_cast<Real>(random() % 100000), -static_cast<int>(random() % 24));
      expectSame(random() % 2 ? half : -half, d);
      // A random mantissa over 1e-9 .. 1e21.
      const Real r = std::ldexp(static_cast<Real>(random() >> 1) / 9223372036854775808.0L,
                                static_cast<int>(random() % 100) - 30);
      expectSame(random() % 2 ? r : -r, d);
      // The neighbours of a decimal half at d places.
      const Real mid = (static_cast<Real>(random() % 1000000) + 0.5L) / std::pow(10.0L, static_cast<Real>(d));
      expectSame(mid, d);
      expectSame(std::nextafter(mid, 0.0L), d);
      expectSame(std::nextafter(mid, 1e30L), d);
    }
  }
  uselocale(previous);
  freelocale(c);
}

}  // namespace
}  // namespace zeb
