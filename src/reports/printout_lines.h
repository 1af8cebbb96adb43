// Line groups of the calculation printouts: fatigue-life rows, the buckling
// value, the material lines and the wire cross-section rows; and the
// number texts the printouts share, which are empty for a value that is
// not finite (a zero divisor never shows as "INF" or "NAN").
#pragma once
#include <string>

#include "base/types.h"

namespace zeb {

// Rows on cycles to fracture, fatigue-strength tolerance and life of a
// dynamic spring; nothing unless LoadType 2, tauhzul > 0 and NoLifeMinMax 0.
void WriteLifeLines();
// "knicksicher" for the sentinel 9999; otherwise FormatLength (intDigits 0)
// or FormatLengthField.
std::string WriteBucklingValue(int intDigits, int decimals, Real x);

// Material name lines and, for a dynamic spring with load case 1 or 2, the
// Goodman line.
void WriteMaterialLines();
// The material name lines alone (also used by the short printout).
void WriteMaterialNameLines();
// Cross-section and wire dimension rows.
void WriteWireRows();

// Number texts of the printouts.
namespace printout {

// a / b; NaN when b is 0 or the quotient is not finite.
Real SafeQuotient(Real a, Real b);
// The formatter's text of x, or "" when x is not finite.
std::string LengthText(Real x);
std::string LengthFieldText(int intDigits, int decimals, Real x);
std::string LengthDecText(int decimals, Real x);
std::string ForceText(Real x);
std::string ForceFieldText(int intDigits, int decimals, Real x);
std::string StressText(Real x);
std::string StressFieldText(int intDigits, int decimals, Real x);
std::string StressDecText(int decimals, Real x);
// A strength or permissible stress as a field without decimals: "-" in the
// field's width when it is not known (not above 0).
std::string KnownStressText(int intDigits, Real x);
std::string RateText(Real x);
std::string RateFieldText(int intDigits, int decimals, Real x);
std::string SigText(Real x);
std::string SigLessText(int k, Real x);
std::string FieldText(int intDigits, int decimals, Real x);
std::string MomentText(Real x);
std::string SmallMassText(Real x);

}  // namespace printout
}  // namespace zeb
