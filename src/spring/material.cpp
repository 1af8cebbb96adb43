#include "spring/material.h"

#include <array>
#include <cstdint>

#include "base/text.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

// 2^(e - 129) for the exponent bytes e = 1..255: exact powers of two.
constexpr std::array<Real, 256> kReal48Scale = [] {
  std::array<Real, 256> t{};
  Real p = 1;
  for (int e = 129; e <= 255; ++e, p *= 2) t[e] = p;
  p = 1;
  for (int e = 129; e >= 1; --e, p /= 2) t[e] = p;
  return t;
}();

}  // namespace

// The calculation reads the record's fields many times: scaling by a table
// instead of the library's ldexp. 1.f has 40 bits and the scale is a power
// of two, so every step is exact.
Real MaterialReal(const Real48& r) {
  if (r[0] == 0) return 0;
  std::uint64_t f = r[5] & 0x7F;
  for (int k = 4; k >= 1; --k) f = (f << 8) | r[k];
  const Real v = (1 + static_cast<Real>(f) * 0x1p-39L) * kReal48Scale[r[0]];
  return (r[5] & 0x80) ? -v : v;
}

Real48 MakeReal48(Real x) {
  Real48 r{};
  if (!RealToReal48(x, r)) r = Real48{};
  return r;
}

MaterialRecord DefaultMaterialRecord() {
  MaterialRecord m;
  m.Density = MakeReal48(7.8L);
  m.DR0 = MakeReal48(1.0L);
  m.d0 = MakeReal48(1.0L);
  return m;
}

void ResetMaterialRecord() {
  ZEBWST_Record() = DefaultMaterialRecord();
  MaterialSource() = 3;
}

std::string MaterialCaption() {
  const MaterialRecord& m = ZEBWST_Record();
  const std::string name = TrimBlanks(m.Name1);
  if (SpringData().MaterialSel != 0 || name.empty()) return TrimBlanks(SpringData().MaterialName);
  const std::string designation = TrimBlanks(m.Name3);
  return designation.empty() ? name : name + " (" + designation + ")";
}

bool MaterialHasRmLaw() {
  const MaterialRecord& m = ZEBWST_Record();
  return m.Rm0 > 0 && MaterialReal(m.DR0) > 0;
}

}  // namespace zeb
