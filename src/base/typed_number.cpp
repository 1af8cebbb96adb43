#include "base/typed_number.h"

#include <string>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

// From the display unit to the base unit.
Real ToBase(NumberKind kind, std::string_view text) {
  switch (kind) {
    case NumberKind::kLength: return ParseLength(text);
    case NumberKind::kForce: return ParseForce(text);
    case NumberKind::kStress: return ParseStress(text);
    case NumberKind::kSpringRate: return ParseSpringRate(text);
    case NumberKind::kTemperature: return ParseTemperature(text);
    case NumberKind::kPlain: break;
  }
  return TextToFloat(text);
}

// A bound in the display unit, to five significant digits (-273.15).
std::string Shown(NumberKind kind, Real x) {
  Real v = x;
  switch (kind) {
    case NumberKind::kLength: v = LengthToDisplayUnit(x); break;
    case NumberKind::kForce: v = ForceToDisplayUnit(x); break;
    case NumberKind::kStress: v = StressToDisplayUnit(x); break;
    case NumberKind::kSpringRate: v = SpringRateToDisplayUnit(x); break;
    case NumberKind::kTemperature: v = G().UnitSystem == 1 ? CelsiusToFahrenheit(x) : x; break;
    case NumberKind::kPlain: break;
  }
  return FloatToStrSigLess(-2, v);
}

constexpr std::size_t kEchoLength = 60;

enum class Verdict { kTaken, kNotANumber, kOutOfRange };

Verdict Judge(std::string_view text, const NumberRange& range, Real& v) {
  Real raw = 0;
  if (!TryTextToFloat(text, raw)) return Verdict::kNotANumber;
  v = ToBase(range.kind, text);
  // Written so that a NaN is never in range.
  if (!(v >= range.min && v <= range.max)) return Verdict::kOutOfRange;
  return Verdict::kTaken;
}

}  // namespace

bool ReadTypedNumber(std::string_view field, std::string_view text, const NumberRange& range, Real& x) {
  const std::string named = field.empty() ? std::string() : std::string(field) + ": ";
  Real v = 0;
  switch (Judge(text, range, v)) {
    case Verdict::kTaken:
      x = v;
      return true;
    case Verdict::kNotANumber: {
      Ui().Beep();
      // A long text is cut so that the box stays readable.
      const std::string echo =
          text.size() > kEchoLength ? std::string(text.substr(0, kEchoLength - 3)) + "..." : std::string(text);
      ShowErrorBox(named + "Ungültige Eingabe \""_oem + echo + "\" !");
      return false;
    }
    case Verdict::kOutOfRange:
      Ui().Beep();
      ShowErrorBox(named + "Gültiger Wertebereich: "_oem + Shown(range.kind, range.min) + " .. " +
                   Shown(range.kind, range.max) + " !");
      return false;
  }
  return false;
}

bool TypedNumberFits(std::string_view text, const NumberRange& range) {
  Real v = 0;
  return Judge(text, range, v) == Verdict::kTaken;
}

}  // namespace zeb
