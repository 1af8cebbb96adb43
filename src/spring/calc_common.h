// Small helpers shared by the calculation units.
#pragma once
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/globals.h"
#include "base/messages.h"
#include "base/types.h"

namespace zeb::calc_common {

inline constexpr Real kFourByPi = 1.2732395447351628L;
inline constexpr Real kEightByPi = 2.5464790894703255L;

// The text of the last fatal stop, kept where a full message list has no
// room for it.
inline std::string& StopText() {
  static std::string text;
  return text;
}

// A fatal text: posted, and the calculation is marked failed.
inline void PostFatal(std::string_view text) {
  AddErrorMessage(text);
  StopText().assign(text);
  G().FatalErrorFlag = 1;
}

inline bool FlagSet() { return G().FatalErrorFlag != 0; }

// Sets each value to +0. Zero bytes are +0 in a long double; written as
// bytes, a row of them costs no x87 store and reload each.
inline void ClearReals(std::initializer_list<Real*> values) {
  for (Real* v : values) std::memset(v, 0, sizeof *v);
}

// a / b; 0 for b = 0, limited to +-1e300 where the quotient would not fit.
inline Real Quotient(Real a, Real b) {
  if (b == 0) return 0;
  if (std::fabs(b) < std::fabs(a) * 1e-300L) return ((a < 0) != (b < 0)) ? -1e300L : 1e300L;
  return a / b;
}

}  // namespace zeb::calc_common
