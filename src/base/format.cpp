#include "base/format.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cfenv>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

// The "C" locale, for locale-free printf and strtold.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

std::string NonFiniteText(Real x) {
  if (std::isnan(x)) return "NAN";
  return x < 0 ? "-INF" : "INF";
}

// x * 10^k without overflow of the power itself; powers up to 10^27 are
// exact, so small k only multiply or divide once.
Real ScalePow10(Real x, int k) {
  if (k >= 0 && k <= 27) return x * IntPowerExt(k, 10);
  if (k < 0 && k >= -27) return x / IntPowerExt(-k, 10);
  if (k > 4000 || k < -4000) return ScalePow10(ScalePow10(x, k / 2), k - k / 2);
  return x * std::pow(10.0L, static_cast<Real>(k));
}

// The fixed-point text printf gives, worked out exactly in integers where
// that is simple: x = m * 2^e with a 64-bit m, so x * 10^decimals is
// m * 10^decimals (128 bits) shifted right by -e, rounded to nearest with
// halves to even. False where it is not simple (|x| of 2^63 and above, a
// rounding mode that is not to nearest, over 19 decimals).
bool ExactFixedText(Real x, int decimals, std::string& out) {
  if (decimals < 0 || decimals > 19 || !std::isfinite(x) || std::fegetround() != FE_TONEAREST) return false;
  __extension__ typedef unsigned __int128 U128;
  const bool negative = std::signbit(x);
  int e = 0;
  const Real f = std::frexp(std::fabs(x), &e);  // f in [0.5, 1), or 0
  const auto m = static_cast<std::uint64_t>(std::ldexp(f, 64));
  const int shift = 64 - e;  // x = m / 2^shift
  if (shift <= 0 || shift >= 128) {
    if (m != 0 && shift < 129) return false;
  }
  std::uint64_t pow10 = 1;
  for (int i = 0; i < decimals; ++i) pow10 *= 10;
  U128 q = 0;
  if (m != 0 && shift < 128) {
    const U128 scaled = static_cast<U128>(m) * pow10;
    q = scaled >> shift;
    const U128 rest = scaled & ((U128{1} << shift) - 1), half = U128{1} << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  char digits[48];
  int n = 0;
  while (q > UINT64_MAX) {
    digits[n++] = static_cast<char>('0' + static_cast<int>(q % 10));
    q /= 10;
  }
  auto low = static_cast<std::uint64_t>(q);  // 64-bit steps are much cheaper
  do {
    digits[n++] = static_cast<char>('0' + static_cast<int>(low % 10));
    low /= 10;
  } while (low != 0);
  while (n <= decimals) digits[n++] = '0';
  out.clear();
  out.reserve(static_cast<std::size_t>(n) + 2);
  if (negative) out.push_back('-');
  for (int i = n - 1; i >= 0; --i) {
    out.push_back(digits[i]);
    if (i == decimals && i > 0) out.push_back('.');
  }
  return true;
}

// Fixed-point text of a finite x, rounded to nearest (halves to even).
std::string FixedText(Real x, int decimals) {
  std::string exact;
  if (ExactFixedText(x, decimals, exact)) return exact;
  char small[128];
  const locale_t c = CLocale();
  const locale_t previous = c ? uselocale(c) : static_cast<locale_t>(nullptr);
  int len = std::snprintf(small, sizeof small, "%.*Lf", decimals, x);
  std::string s;
  if (len >= 0 && static_cast<std::size_t>(len) < sizeof small) {
    s.assign(small, static_cast<std::size_t>(len));
  } else if (len > 0) {
    s.resize(static_cast<std::size_t>(len) + 1);
    std::snprintf(s.data(), s.size(), "%.*Lf", decimals, x);
    s.resize(static_cast<std::size_t>(len));
  }
  if (c) {
    uselocale(previous);
  } else {
    // No "C" locale object (out of memory): undo the process decimal point.
    const char point = *std::localeconv()->decimal_point;
    for (char& ch : s)
      if (ch == point) ch = '.';
  }
  return s;
}

// A long double holds about 19 significant digits.
constexpr int kMaxSignificantDigits = 30;

bool IsEnglish() { return G().UnitSystem == 1; }
bool IsKiloSystem() { return G().UnitSystem == 2 || G().UnitSystem == 4; }

// Conversion of a deviation for display and its significant-digit
// reduction (k of FloatToStrSigLess).
struct DeviationUnit {
  Real factor;
  int k;
};

constexpr DeviationUnit kPlainDeviation{1, 1};

DeviationUnit LengthDeviationUnit() {
  return IsEnglish() ? DeviationUnit{kMmToInch, 0} : kPlainDeviation;
}

DeviationUnit ForceDeviationUnit() {
  if (IsEnglish()) return {kNewtonToLbf, 0};
  if (IsKiloSystem()) return {0.001L, 1};
  return kPlainDeviation;
}

std::string DeviationText(Real x, DeviationUnit u) {
  const Real v = x * u.factor;
  if (!std::isfinite(v)) return NonFiniteText(v);
  if (x > 0) return "+" + FloatToStrSigLess(u.k, v);
  if (x < 0) return FloatToStrSigLess(u.k, v);
  return {};
}

std::string TolerancePairText(Real first, Real second, DeviationUnit u) {
  if (first == 0 && second == 0) return {};
  if (std::fabs(first + second) < 0.0001L) {
    // The magnitude: a pair given minus deviation first shows no "-".
    const Real v = std::fabs(first) * u.factor;
    return PlusMinusSign() + FloatToStrSigLess(u.k, v);
  }
  // The upper deviation first, whatever order the caller holds them in.
  if (first != 0 && second != 0)
    return DeviationText(std::max(first, second), u) + "/" + DeviationText(std::min(first, second), u);
  return DeviationText(first != 0 ? first : second, u);
}

std::size_t SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  return i;
}

std::string PadLeft(std::string s, long long width, char fill) {
  if (width > static_cast<long long>(s.size()))
    s.insert(0, static_cast<std::size_t>(width) - s.size(), fill);
  return s;
}

std::string TwoDigits(int v) { return IntToTextZeroPad(v, 2); }

}  // namespace

// ---- Core number texts --------------------------------------------------

void SignificantDigitSplit(int n, Real x, int& intDigits, int& decimals) {
  n = ClampInt(1, kMaxSignificantDigits, n);
  if (x == 0) x = 0.5L;
  x = std::fabs(x);
  const int e = DecadeExponent(x);
  if (e >= n) {
    intDigits = e + 1;
    decimals = 0;
    return;
  }
  if (e >= 0) {
    intDigits = e + 1;
    decimals = n - e;
  } else {
    intDigits = 0;
    decimals = n - e - 1;
  }
  // Drop trailing zeros of the value rounded to decimals + 1 places.
  Real m = std::rint(ScalePow10(x, decimals + 1));
  if (m < 1e19L) {
    for (std::uint64_t i = static_cast<std::uint64_t>(m) / 10; i != 0 && i % 10 == 0; i /= 10)
      --decimals;
  } else {
    for (;;) {
      m = std::trunc(m / 10);
      if (m == 0 || !std::isfinite(m) || std::fmod(m, 10.0L) != 0) break;
      --decimals;
    }
  }
  if (decimals < 0) decimals = 0;
  // Where the rounding to those places carries into zeros (9.99951 would
  // be written "10.000", 88.4951 "88.50"), they go as well.
  const Real r = std::rint(ScalePow10(x, decimals));
  if (r < 1e19L)
    for (std::uint64_t i = static_cast<std::uint64_t>(r); decimals > 0 && i != 0 && i % 10 == 0; i /= 10) --decimals;
}

std::string FormatFloatField(int intDigits, int decimals, Real x) {
  if (std::fabs(x) < 1e-8L) x = 0;
  const long long setting = G().DecimalsSetting;
  if (setting != 3) {
    const long long d = setting + decimals - 3;
    decimals = d < 0 ? 0 : d > 10 ? 10 : static_cast<int>(d);
  }
  if (decimals < 0) decimals = 0;
  std::string s = std::isfinite(x) ? FixedText(x, decimals) : NonFiniteText(x);
  return PadLeft(std::move(s), static_cast<long long>(intDigits) + decimals + (decimals > 0 ? 1 : 0),
                 ' ');
}

std::string FloatToStrSigLess(int k, Real x) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  if (std::fabs(x) < 1e-5L) return "0";
  int intDigits = 0, decimals = 0;
  const long long n = 3LL - k;
  SignificantDigitSplit(n > kMaxSignificantDigits ? kMaxSignificantDigits : static_cast<int>(n), x,
                        intDigits, decimals);
  return FormatFloatField(intDigits, decimals, x);
}

std::string FloatToStrSig(Real x) { return FloatToStrSigLess(0, x); }

std::string FloatToStrDec(int decimals, Real x) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  int intDigits = 0, unused = 0;
  SignificantDigitSplit(3, x, intDigits, unused);
  return FormatFloatField(intDigits, decimals, x);
}

std::string FloatToStrEng(Real x) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  const int e = DecadeExponent(x);
  if (e >= -2 && e < 4) return FloatToStrSig(x);
  const int q = e / 3;
  return FloatToStrSig(ScalePow10(x, -3 * q)) + "E" + IntToText(3LL * q);
}

std::string FloatToStrAuto(Real x) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  const Real a = std::fabs(x);
  if (a < 1e-12L) return "0";
  if (a < 0.0001L || a >= 10000) return FloatToStrEng(x);
  return FloatToStrSig(x);
}

std::string IntToText(long long i) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, i);
  return std::string(buf, r.ptr);
}

std::string IntToTextZeroPad(long long i, int width) { return PadLeft(IntToText(i), width, '0'); }

std::string IntToTextBlankPad(long long i, int width) { return PadLeft(IntToText(i), width, ' '); }

std::string FormatDate(int year, int month, int day) {
  const std::string y = IntToText(year), m = TwoDigits(month), d = TwoDigits(day);
  switch (G().DateFormat) {
    case 1: return d + "." + m + "." + y;
    case 2: return m + "/" + d + "/" + y;
    case 4: return d + "/" + m + "/" + y;
    default: return y + "/" + m + "/" + d;
  }
}

// ---- Deviations ---------------------------------------------------------

std::string FormatSignedDeviation(Real x) { return DeviationText(x, kPlainDeviation); }
std::string FormatSignedLengthDeviation(Real x) { return DeviationText(x, LengthDeviationUnit()); }
std::string FormatSignedForceDeviation(Real x) { return DeviationText(x, ForceDeviationUnit()); }

std::string FormatTolerancePair(Real first, Real second) {
  return TolerancePairText(first, second, kPlainDeviation);
}
std::string FormatLengthTolerancePair(Real first, Real second) {
  return TolerancePairText(first, second, LengthDeviationUnit());
}
std::string FormatForceTolerancePair(Real first, Real second) {
  return TolerancePairText(first, second, ForceDeviationUnit());
}

// ---- Unit layer ---------------------------------------------------------

Real LengthToDisplayUnit(Real x) { return IsEnglish() ? MmToInch(x) : x; }
std::string FormatLength(Real x) {
  return IsEnglish() ? FloatToStrDec(4, MmToInch(x)) : FloatToStrSig(x);
}
std::string FormatLengthDec(int n, Real x) {
  return IsEnglish() ? FloatToStrDec(n + 1, MmToInch(x)) : FloatToStrDec(n, x);
}
std::string FormatLengthField(int intDigits, int decimals, Real x) {
  if (IsEnglish()) return FormatFloatField(MaxInteger(intDigits - 1, 1), decimals + 1, MmToInch(x));
  return FormatFloatField(intDigits, decimals, x);
}
std::string MoreDigits(std::string text, std::string other) {
  auto digits = [](const std::string& t) {
    int n = 0;
    for (const char c : t.substr(0, t.find_first_of("Ee")))
      if (c >= '0' && c <= '9' && (n > 0 || c != '0')) ++n;
    return n;
  };
  return digits(other) > digits(text) ? std::move(other) : std::move(text);
}
std::string FormatTravel(Real x) { return MoreDigits(FormatLength(x), TrimBlanks(FormatLengthField(5, 2, x))); }
std::string FormatCorrectionFactor(Real k) { return MoreDigits(FloatToStrSig(k), TrimBlanks(FormatFloatField(2, 3, k))); }
Real ParseLength(std::string_view text) {
  const Real v = TextToFloat(text);
  return IsEnglish() ? InchToMm(v) : v;
}
std::string LengthUnitName() { return IsEnglish() ? "in" : "mm"; }

Real ForceToDisplayUnit(Real x) {
  if (IsEnglish()) return NewtonToLbf(x);
  if (IsKiloSystem()) return x * 0.001L;
  return x;
}
std::string FormatForce(Real x) { return FloatToStrSig(ForceToDisplayUnit(x)); }
std::string FormatForceField(int intDigits, int decimals, Real x) {
  if (IsEnglish() || IsKiloSystem())
    return FormatFloatField(MaxInteger(intDigits - 1, 1), decimals + 1, ForceToDisplayUnit(x));
  return FormatFloatField(intDigits, decimals, x);
}
Real ParseForce(std::string_view text) {
  const Real v = TextToFloat(text);
  if (IsEnglish()) return LbfToNewton(v);
  if (IsKiloSystem()) return v * 1000;
  return v;
}
std::string ForceUnitName() {
  if (IsEnglish()) return "lbf";
  return IsKiloSystem() ? "kN" : "N";
}

Real StressToDisplayUnit(Real x) { return IsEnglish() ? MpaToPsi(x) : x; }
std::string KnownStress(Real x, std::string text, std::string unknown) { return x > 0 ? text : unknown; }

std::string FormatStress(Real x) { return FloatToStrSig(StressToDisplayUnit(x)); }
std::string FormatStressDec(int n, Real x) {
  return IsEnglish() ? FloatToStrDec(MaxInteger(n - 2, 0), MpaToPsi(x)) : FloatToStrDec(n, x);
}
std::string FormatStressField(int intDigits, int decimals, Real x) {
  if (IsEnglish()) return FormatFloatField(intDigits + 2, MaxInteger(decimals - 2, 0), MpaToPsi(x));
  return FormatFloatField(intDigits, decimals, x);
}
Real ParseStress(std::string_view text) {
  const Real v = TextToFloat(text);
  return IsEnglish() ? PsiToMpa(v) : v;
}
std::string StressUnitName() {
  if (IsEnglish()) return "psi";
  if (G().UnitSystem == 3 || G().UnitSystem == 4) return "N/mm²"_oem;
  return "MPa";
}

Real SpringRateToDisplayUnit(Real x) { return IsEnglish() ? NPerMmToLbfPerIn(x) : x; }
std::string FormatSpringRate(Real x) { return FloatToStrSig(SpringRateToDisplayUnit(x)); }
std::string FormatSpringRateField(int intDigits, int decimals, Real x) {
  return FormatFloatField(intDigits, decimals, SpringRateToDisplayUnit(x));
}
Real ParseSpringRate(std::string_view text) {
  const Real v = TextToFloat(text);
  return IsEnglish() ? LbfPerInToNPerMm(v) : v;
}
std::string SpringRateUnitName() { return IsEnglish() ? "lbf/in" : "N/mm"; }

Real MomentToDisplayUnit(Real x) {
  if (IsEnglish()) return NmmToLbfIn(x);
  if (IsKiloSystem()) return x * 0.001L;
  return x;
}
std::string FormatMoment(Real x) { return FloatToStrSig(MomentToDisplayUnit(x)); }
std::string MomentUnitName() {
  if (IsEnglish()) return "lbfin";
  return IsKiloSystem() ? "Nm" : "Nmm";
}

namespace {
Real TemperatureToDisplay(Real x) { return IsEnglish() ? CelsiusToFahrenheit(x) : x; }
}  // namespace
std::string FormatTemperature(Real x) { return FloatToStrSig(TemperatureToDisplay(x)); }
std::string FormatTemperatureDec(int n, Real x) { return FloatToStrDec(n, TemperatureToDisplay(x)); }
std::string FormatTemperatureField(int intDigits, int decimals, Real x) {
  return FormatFloatField(intDigits, decimals, TemperatureToDisplay(x));
}
Real ParseTemperature(std::string_view text) {
  const Real v = TextToFloat(text);
  return IsEnglish() ? FahrenheitToCelsius(v) : v;
}
std::string TemperatureUnitName() {
  if (IsEnglish()) return " F";
  if (G().PlainTextMode != 0) return " C";
  return "°C"_oem;
}

std::string FormatMass(Real x) { return FloatToStrSig(IsEnglish() ? KgToLb(x) : x); }
std::string MassUnitName() { return IsEnglish() ? "lb" : "kg"; }

std::string FormatSmallMass(Real x) { return FloatToStrSig(IsEnglish() ? GramToLb(x) : x); }
std::string SmallMassUnitName() { return IsEnglish() ? "lb" : "g"; }

// ---- Parsing ------------------------------------------------------------

namespace {

// 10^k is an exact long double up to k = 27 (5^27 < 2^64).
constexpr int kMaxExactDecimals = 27;

Real ExactPowerOfTen(int k) {
  static const auto powers = [] {
    std::array<Real, kMaxExactDecimals + 1> p{};
    p[0] = 1;
    for (std::size_t j = 1; j < p.size(); ++j) p[j] = p[j - 1] * 10;
    return p;
  }();
  return powers[static_cast<std::size_t>(k)];
}

}  // namespace

bool TryTextToFloat(std::string_view text, Real& out) {
  out = 0;
  text.remove_prefix(SkipBlanks(text));
  const std::size_t n = text.size();
  const char* s = text.data();
  char small[128];
  std::string large;
  char* buf = small;
  if (n + 1 > sizeof small) {
    large.resize(n + 1);
    buf = large.data();
  }
  // Copy and check in one pass: [+-] digits [. digits] [(e|E) [+-] digits]
  // with at least one mantissa digit. A "," can only be valid as the first
  // "," standing for the point; any other "," (or a "," turned "."
  // elsewhere) breaks the grammar.
  // The digits also go into an integer while they fit (19 significant
  // digits), and the decimals are counted.
  std::size_t i = 0;
  std::uint64_t digits = 0;
  int significant = 0, decimals = 0;
  bool inDecimals = false;
  auto isDigit = [&] { return i < n && s[i] >= '0' && s[i] <= '9'; };
  auto copyDigits = [&] {
    const std::size_t start = i;
    for (; isDigit(); ++i) {
      buf[i] = s[i];
      if (significant > 0 || s[i] != '0') {
        ++significant;
        if (significant <= 19) digits = digits * 10 + static_cast<std::uint64_t>(s[i] - '0');
      }
      if (inDecimals) ++decimals;
    }
    return i - start;
  };
  const bool negative = i < n && s[i] == '-';
  if (i < n && (s[i] == '+' || s[i] == '-')) buf[i] = s[i], ++i;
  std::size_t mantissaDigits = copyDigits();
  if (i < n && (s[i] == '.' || s[i] == ',')) {
    buf[i++] = '.';
    inDecimals = true;
    mantissaDigits += copyDigits();
  }
  if (mantissaDigits == 0) return false;
  bool exponent = false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    exponent = true;
    buf[i] = s[i], ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) buf[i] = s[i], ++i;
    if (copyDigits() == 0) return false;
  }
  if (i != n) return false;
  // Plain decimals of up to 19 significant digits: the integer and the
  // power of ten are exact reals, so their quotient is the correctly
  // rounded value strtold gives.
  if (!exponent && significant <= 19 && decimals <= kMaxExactDecimals) {
    const Real v = static_cast<Real>(digits) / ExactPowerOfTen(decimals);
    out = negative ? -v : v;
    return true;
  }
  buf[n] = '\0';
  const locale_t c = CLocale();
  char* end = nullptr;
  Real v = 0;
  if (c) {
    v = strtold_l(buf, &end, c);
  } else {
    // No "C" locale object (out of memory): use the process decimal point.
    const char point = *std::localeconv()->decimal_point;
    for (std::size_t k = 0; k < n; ++k)
      if (buf[k] == '.') buf[k] = point;
    v = std::strtold(buf, &end);
  }
  if (end != buf + n || !std::isfinite(v)) return false;
  out = v;
  return true;
}

Real TextToFloat(std::string_view text) {
  Real v = 0;
  TryTextToFloat(text, v);
  return v;
}

Real TextToFloatB(std::string_view text) { return TextToFloat(text); }

bool TryTextToInt(std::string_view text, std::int64_t& out) {
  out = 0;
  std::size_t i = SkipBlanks(text);
  const std::size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == n) return false;
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  std::uint64_t v = 0;
  for (; i < n; ++i) {
    const char ch = text[i];
    if (ch < '0' || ch > '9') return false;
    const unsigned digit = static_cast<unsigned>(ch - '0');
    if (v > (limit - digit) / 10) return false;
    v = v * 10 + digit;
  }
  out = negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
  return true;
}

std::int32_t TextToInt(std::string_view text) {
  std::int64_t v = 0;
  if (!TryTextToInt(text, v)) return 0;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return 0;
  return static_cast<std::int32_t>(v);
}

std::int32_t TextToIntB(std::string_view text) { return TextToInt(text); }
std::int32_t TextToIntC(std::string_view text) { return TextToInt(text); }

namespace {

// x rounded to n significant digits, as "[-]d.ddde(+|-)xx".
std::string SignificantDigitsText(Real x, int n) {
  char buf[64];
  const locale_t c = CLocale();
  const locale_t previous = c ? uselocale(c) : static_cast<locale_t>(nullptr);
  std::snprintf(buf, sizeof buf, "%.*Le", n - 1, x);
  if (c) uselocale(previous);
  return buf;
}

// Whether a text of n significant digits reads back to x (exponent its
// DecadeExponent). Up to 19 the
// text's digits are an integer that, divided by an exact power of ten, is
// the value the reader gives; x times that power, rounded, is within one of
// it. Otherwise by printf and the reader.
bool ReadsBackWithDigits(Real x, int n, int exponent) {
  const Real a = std::fabs(x);
  int p = n - 1 - exponent;
  if (a * ExactPowerOfTen(std::clamp(p, 0, kMaxExactDecimals)) >= ExactPowerOfTen(n)) --p;
  if (n <= 19 && p >= 0 && p <= kMaxExactDecimals) {
    const Real scale = ExactPowerOfTen(p), limit = ExactPowerOfTen(n);
    const Real d = std::nearbyint(a * scale);
    for (const Real c : {d - 1, d, d + 1})
      if (c >= 0 && c < limit && c / scale == a) return true;
    return false;
  }
  Real back = 0;
  return TryTextToFloat(SignificantDigitsText(x, n), back) && back == x;
}

}  // namespace

std::string FloatToExactText(Real x) {
  if (!std::isfinite(x)) return NonFiniteText(x);
  if (x == 0) return "0";
  // The fewest significant digits that read back to x: more digits never
  // read back farther, so the count is found by halving. 21 always do.
  int lo = 1, hi = 21;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (ReadsBackWithDigits(x, mid, DecadeExponent(x)))
      hi = mid;
    else
      lo = mid + 1;
  }
  const std::string sci = SignificantDigitsText(x, lo);
  // sci is [-]d[.ddd]e(+|-)xx: the digits and the decimal exponent.
  const std::size_t e = sci.find('e');
  const bool negative = sci[0] == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < e; ++i)
    if (sci[i] != '.') digits.push_back(sci[i]);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int exponent = std::atoi(sci.c_str() + e + 1);
  const int n = static_cast<int>(digits.size());
  std::string fixed = negative ? "-" : "";
  if (exponent < 0) {
    fixed += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    fixed += digits.substr(0, static_cast<std::size_t>(std::min(n, exponent + 1)));
    if (n <= exponent) fixed += std::string(static_cast<std::size_t>(exponent + 1 - n), '0');
    if (n > exponent + 1) fixed += "." + digits.substr(static_cast<std::size_t>(exponent + 1));
  }
  if (fixed.size() <= 40) return fixed;
  std::string text = negative ? "-" : "";
  text += digits.substr(0, 1);
  if (n > 1) text += "." + digits.substr(1);
  return text + "e" + std::to_string(exponent);
}

bool ReadsBackAsHeld(Real back, Real x) {
  if (back == x) return true;
  if (!std::isfinite(x) || !std::isfinite(back)) return false;
  const int e = DecadeExponent(x);
  if (std::fabs(back - x) > 0.5L * ScalePow10(1.0L, e - 7)) return false;
  // A value of up to 15 significant digits (as many as a double holds) may
  // have been typed so; a calculation's results take up to 21.
  return !ReadsBackWithDigits(x, 15, e);
}

std::string ExactWhereNeeded(std::string text, Real x) {
  Real back = 0;
  if (TryTextToFloat(text, back) && ReadsBackAsHeld(back, x)) return text;
  return FloatToExactText(x);
}

}  // namespace zeb
