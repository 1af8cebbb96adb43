// Number texts, the unit systems and the parsing of typed numbers.
// Output uses "." and no grouping; nothing depends on the process locale.
// Infinity and NaN are shown as "INF", "-INF" and "NAN".
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/types.h"

namespace zeb {

// Core number texts. Decimals shift with G().DecimalsSetting (3 = as given).
std::string FloatToStrSig(Real x);                  // 3 significant digits
std::string FloatToStrSigLess(int k, Real x);       // 3 - k significant digits, at least 1
std::string FloatToStrDec(int decimals, Real x);
std::string FormatFloatField(int intDigits, int decimals, Real x);
std::string FloatToStrAuto(Real x);
std::string FloatToStrEng(Real x);
// The shortest text that TryTextToFloat reads back to x itself: fixed
// point where that takes at most 40 characters, else with an exponent
// ("1.25e-45"). "0" for zero; NAN and INF as above.
std::string FloatToExactText(Real x);
// Whether back, read from a number text, holds x: x itself, or, for a
// computed x (one whose exact text takes more than the 15 significant
// digits a typed number is given with), x to eight significant digits.
bool ReadsBackAsHeld(Real back, Real x);
// text where it holds x (ReadsBackAsHeld), else FloatToExactText (x): a
// typed value keeps every digit typed.
std::string ExactWhereNeeded(std::string text, Real x);
// Integer digits and decimals for n significant digits (n within 1..30).
void SignificantDigitSplit(int n, Real x, int& intDigits, int& decimals);

std::string IntToText(long long i);
std::string IntToTextZeroPad(long long i, int width);
std::string IntToTextBlankPad(long long i, int width);
// Layout by G().DateFormat.
std::string FormatDate(int year, int month, int day);

// Deviations and tolerance pairs.
std::string FormatSignedDeviation(Real x);
std::string FormatSignedLengthDeviation(Real x);
std::string FormatSignedForceDeviation(Real x);
std::string FormatTolerancePair(Real first, Real second);
std::string FormatLengthTolerancePair(Real first, Real second);
std::string FormatForceTolerancePair(Real first, Real second);

// Unit layer by G().UnitSystem: 0 mm N MPa Nmm, 1 English, 2 mm kN MPa Nm,
// 3 mm N N/mm² Nmm, 4 mm kN N/mm² Nm. Values in base units (mm, N, N/mm²,
// Nmm, °C, N/mm, kg, g). Unit labels are code page 850.
std::string FormatLength(Real x);
std::string FormatLengthDec(int n, Real x);
std::string FormatLengthField(int intDigits, int decimals, Real x);
Real ParseLength(std::string_view text);
std::string LengthUnitName();
Real LengthToDisplayUnit(Real x);

// Of two texts of one number, the one that shows more significant digits
// (the first where they tie): a value on a sheet as the printout writes it
// where that holds more.
std::string MoreDigits(std::string text, std::string other);
// A spring travel with the printout's digits (two decimals) or more.
std::string FormatTravel(Real x);
// The stress correction factor k with the printout's three decimals or more.
std::string FormatCorrectionFactor(Real k);

std::string FormatForce(Real x);
std::string FormatForceField(int intDigits, int decimals, Real x);
Real ParseForce(std::string_view text);
std::string ForceUnitName();
Real ForceToDisplayUnit(Real x);

std::string FormatStress(Real x);
std::string FormatStressDec(int n, Real x);
std::string FormatStressField(int intDigits, int decimals, Real x);
// A strength or permissible stress: `unknown` ("-" by default) when it is
// not known (not above 0), else text.
std::string KnownStress(Real x, std::string text, std::string unknown = "-");
Real ParseStress(std::string_view text);
std::string StressUnitName();
Real StressToDisplayUnit(Real x);

std::string FormatSpringRate(Real x);
std::string FormatSpringRateField(int intDigits, int decimals, Real x);
Real ParseSpringRate(std::string_view text);
std::string SpringRateUnitName();
Real SpringRateToDisplayUnit(Real x);

std::string FormatMoment(Real x);
std::string MomentUnitName();
Real MomentToDisplayUnit(Real x);

std::string FormatTemperature(Real x);
std::string FormatTemperatureDec(int n, Real x);
std::string FormatTemperatureField(int intDigits, int decimals, Real x);
Real ParseTemperature(std::string_view text);
std::string TemperatureUnitName();

std::string FormatMass(Real x);  // kg
std::string MassUnitName();

std::string FormatSmallMass(Real x);  // g
std::string SmallMassUnitName();

// Parsing. Leading blanks, optional sign, digits, optional point and
// decimals, optional exponent, nothing else; the first "," counts as ".".
// Texts that do not convert (also infinity, NaN, hexadecimal, out of
// range) give 0.
Real TextToFloat(std::string_view text);
Real TextToFloatB(std::string_view text);
bool TryTextToFloat(std::string_view text, Real& out);
// Leading blanks, optional sign, digits; 32 bits, else 0.
std::int32_t TextToInt(std::string_view text);
std::int32_t TextToIntB(std::string_view text);
std::int32_t TextToIntC(std::string_view text);
// As TextToInt within 64 bits; false when the text does not convert.
bool TryTextToInt(std::string_view text, std::int64_t& out);

}  // namespace zeb
