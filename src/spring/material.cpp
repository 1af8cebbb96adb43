#include "spring/material.h"

#include "spring/spring_data.h"

namespace zeb {

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

}  // namespace zeb
