// Plain decimal texts read exactly without the C library's general parser.
#pragma once

namespace zeb {

// Value of a plain decimal text ("-1234.125") of at most 15 digits: the
// digits as a whole number, exact in a double, divided by an exact power
// of ten, which rounds once, as the full conversion does. False for any
// other text (exponents, signs other than a leading minus, a point at
// either end, more digits), which the caller reads the general way.
bool PlainDecimal(const char* b, const char* e, double& x);

}  // namespace zeb
