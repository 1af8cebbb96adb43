// Pure formulas of the compression spring: moduli, correction factor,
// rates, gaps, solid length, diameter increase, buckling, frequency and the
// section values of the seven wire cross-sections. They do not touch the
// data set; a fatal input posts its text, sets FatalErrorFlag and gives 0.
#pragma once
#include "base/types.h"

namespace zeb {

enum class RectangleRow { kAlpha, kBeta };

Real RectangleCoefficient(RectangleRow row, Real x);
Real RectangleTorsionConstant(Real a, Real b);
Real RectangleTorsionModulus(Real a, Real b);
Real EllipseTorsionConstant(Real a, Real b);
Real EllipseTorsionModulus(Real a, Real b);
Real TubePolarMoment(Real D, Real di);
Real TubeTorsionModulus(Real D, Real di);
Real CrossSectionArea(int code, Real d, Real h, Real r, Real di);
Real ShearModulusAtTemp(Real G, Real T);
Real StressCorrectionFactor(Real w);
Real SpringRateFactor(int code, Real Dm, Real d, Real di, Real h, Real n, Real G);
Real SpringRate(int code, Real Dm, Real d, Real di, Real h, Real n, Real G, Real factor);
Real MinimumGapSum(int kind, int loadType, Real n, Real d, Real Dm);
Real EndFormConstant(int endForm, int kind);
Real SolidLengthOfCoils(int kind, int endForm, Real Dm, Real d, Real nt, Real tolerance);
Real OuterDiameterIncrease(Real Dm, Real d, Real P);
Real BucklingTravel(Real L0, Real nue, Real Dm, Real E, Real G);
Real NaturalFrequency(Real m, Real R);

}  // namespace zeb
