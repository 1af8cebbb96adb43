#include "spring/resonance.h"

#include <cmath>

#include "base/mathx.h"
#include "base/messages.h"
#include "spring/spring_data.h"

namespace zeb {

void resonance(Real f, Real m, Real R, Real F2, Real F1) {
  if (R == 0) return;
  ResonanceRecord& r = ResonanceResult();
  const Real mext = SpringData().ExternalMass;
  const Real sh = (F2 - F1) / R;
  r.ExternalMass = mext;
  r.m0 = m * 0.001L;
  r.c = R * 1000;
  r.Omega = 2 * kPi * f;

  // A moving mass that is not positive has no natural frequency.
  const Real mass = r.m0 / 3 + mext;
  const Real q = (mass > 0) ? r.c / mass : -1;
  if (!(q > 0)) {
    AddErrorMessage("Fehler : Calc. Resonance");
    r.omega0 = r.f0 = r.V = r.Fz1 = r.Az = r.dy = r.dyPercent = 0;
    return;
  }
  r.omega0 = std::sqrt(q);
  r.f0 = r.omega0 * 0.15915494309189535L;
  r.Fz1 = (F2 - F1) * 0.5L;

  const Real ratio = r.Omega / r.omega0;
  const Real denominator = 1 - ratio * ratio;
  if (std::fabs(denominator) < 1e-12L) {
    // At resonance the amplification has no finite value.
    AddErrorMessage("Fehler : Resonance");
    r.V = r.Az = r.dy = r.dyPercent = 0;
    return;
  }
  r.V = 1 / denominator;
  r.Az = r.V * r.Fz1 / r.c * 1000;
  r.dy = r.Az - sh * 0.5L;
  r.dyPercent = (r.V - 1) * 100;

  if (mext > 0 && (std::fabs(r.dyPercent) > 10 || r.dyPercent < 0)) AddErrorMessage("Fehler : Resonance");
}

}  // namespace zeb
