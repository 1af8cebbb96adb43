// The reference springs of the calculation tests.
#pragma once
#include "spring/material.h"
#include "spring/spring_data.h"

namespace zeb::test {

// Material row of the reference spring (spring steel wire, unpeened data).
inline void SetReferenceMaterial() {
  MaterialRecord& m = ZEBWST_Record();
  m = DefaultMaterialRecord();
  m.Name1 = "Testdraht";
  m.G = 81500;
  m.E = 206000;
  m.Density = MakeReal48(7.85L);
  m.Rm0 = 2000;
  m.DR0 = MakeReal48(1.0L);
  m.RmSlope = 400;
  m.RmMax = 0;
  m.d0 = MakeReal48(1.0L);
  m.Unpeened = FatigueGroup{1000, 150, 500, 100, MakeReal48(0.8L)};
  m.Peened = FatigueGroup{};
  m.dmin = MakeReal48(0.5L);
  m.dmax = MakeReal48(10.0L);
  m.Tmax = 120;
}

// REF: round wire 2 x Dm 20, n 8.5, L0 60, L1 50, L2 30, recalculation by
// rate input 1, dynamic, EN 10270-1 wire, grades 2, table material.
inline void SetReferenceSpring() {
  SpringDataRecord& s = SpringData();
  s.CrossSection = 1;
  s.d = 2.0L;
  s.h = 2.0L;
  s.Dm = 20.0L;
  s.DiameterGiven = 3;
  s.n = 8.5L;
  s.L0 = 60.0L;
  s.L1 = 50.0L;
  s.L2 = 30.0L;
  s.G = 81500.0L;
  s.E = 206000.0L;
  s.T = 20.0L;
  s.rho = 7.85L;
  s.CoilingKind = 1;
  s.EndForm = 2;
  s.EndCoils = {2.0L, 1.0L, 1.0L};
  s.LoadType = 2;
  s.ShotPeened = 'N';
  s.WireStd = 9;
  s.GradeDe = s.GradeL0 = s.GradeF1 = s.GradeF2 = s.GradeE1 = s.GradeE2 = 2;
  s.nue = 1.0L;
  s.f = 10.0L;
  s.ExternalMass = 0.05L;
  s.MaterialSel = 0;
  s.CalcMode = 3;
  s.RateInput = 1;
  SetReferenceMaterial();
}

// Case A: a published worked example on the REF settings.
inline void SetCaseA() {
  SetReferenceSpring();
  SpringDataRecord& s = SpringData();
  s.d = 5.0L;
  s.h = 5.0L;
  s.De = 39.6L;
  s.DiameterGiven = 1;
  s.n = 9.5L;
  s.L0 = 105.8L;
  s.L1 = 88.5L;
  s.L2 = 67.5L;
  s.nue = 0.5L;
  s.f = 1.0L;
  s.ExternalMass = 0.0L;
  s.MaterialSel = 11;
  s.Rm = 1460.0L;
  s.tauzul = 817.6L;
}

}  // namespace zeb::test
