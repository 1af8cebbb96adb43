// Numbers typed into the fields of the input screens and dialogs: read in
// the display unit, refused with a message when the text is not a number
// or the value lies outside the range of its field.
#pragma once
#include <string_view>

#include "base/types.h"

namespace zeb {

// What a field holds: how its text is read and its bounds are shown.
enum class NumberKind { kPlain, kLength, kForce, kStress, kSpringRate, kTemperature };

// Bounds in base units (mm, N, N/mm², N/mm, °C), inclusive.
struct NumberRange {
  NumberKind kind = NumberKind::kPlain;
  Real min = 0, max = 0;
};

// The ranges of the spring's fields: lengths and coil counts are not
// negative, a temperature is not below absolute zero, and no value goes
// beyond what the calculation is made for.
inline constexpr NumberRange kLengthRange{NumberKind::kLength, 0.0L, 1e6L};
inline constexpr NumberRange kSignedLengthRange{NumberKind::kLength, -1e6L, 1e6L};
inline constexpr NumberRange kCoilRange{NumberKind::kPlain, 0.0L, 1e6L};
inline constexpr NumberRange kForceRange{NumberKind::kForce, -1e7L, 1e7L};
inline constexpr NumberRange kModulusRange{NumberKind::kStress, 0.0L, 1e7L};
inline constexpr NumberRange kSpringRateRange{NumberKind::kSpringRate, -1e7L, 1e7L};
inline constexpr NumberRange kTemperatureRange{NumberKind::kTemperature, -273.15L, 1e4L};
inline constexpr NumberRange kNotNegativeRange{NumberKind::kPlain, 0.0L, 1e9L};
inline constexpr NumberRange kAnyNumberRange{NumberKind::kPlain, -1e9L, 1e9L};
// What a calculation puts in place of an input and the spring file holds
// (forces of a recalculation, deviations, wire tolerance, set length): far
// beyond any spring the fields describe. The diameters of mandrel and
// sleeve grow with the square of the pitch: up to a text of 40 characters.
inline constexpr NumberRange kResultRange{NumberKind::kPlain, -1e15L, 1e15L};
inline constexpr NumberRange kMandrelSleeveRange{NumberKind::kLength, -1e30L, 1e30L};

// Reads text (code page 850) as a number of the range's kind in the
// display unit. The value in base units goes to x when the text converts
// and lies in the range; otherwise beep and "Ungültige Eingabe "…" !" or
// "Gültiger Wertebereich: a .. b !" (bounds in the display unit) after the
// label of the field (code page 850) and ": ", x stays and the result is
// false.
bool ReadTypedNumber(std::string_view field, std::string_view text, const NumberRange& range, Real& x);

// The same without a message: true when ReadTypedNumber would take it.
bool TypedNumberFits(std::string_view text, const NumberRange& range);

}  // namespace zeb
