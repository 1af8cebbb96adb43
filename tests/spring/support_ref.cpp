#include "spring/support_ref.h"

#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"

namespace zeb::test {

MaterialRecord RefMaterialRow() {
  MaterialRecord m = DefaultMaterialRecord();
  m.Name1 = "REF-Federstahl";
  m.G = 81500;
  m.E = 206000;
  m.Density = MakeReal48(7.85L);
  m.Rm0 = 2000;
  m.DR0 = MakeReal48(1.0L);
  m.RmMax = 0;
  m.RmSlope = 400;
  m.d0 = MakeReal48(1.0L);
  m.Unpeened = FatigueGroup{1000, 150, 500, 100, MakeReal48(0.8L)};
  m.Peened = m.Unpeened;
  m.dmin = MakeReal48(0.5L);
  m.dmax = MakeReal48(10.0L);
  m.Tmax = 120;
  m.MaterialNumber = 4711;
  return m;
}

bool RefMaterialTables::LoadMaterialRow(int row) {
  RecordingTables::LoadMaterialRow(row);  // notes the call
  if (row != row_) return false;
  ZEBWST_Record() = RefMaterialRow();
  return true;
}

std::shared_ptr<RefMaterialTables> InstallRefMaterialTable(int row) {
  auto tables = std::make_shared<RefMaterialTables>(row);
  SetTables(tables);
  return tables;
}

void ResetSpringRecords() {
  ResetSpringGlobals();
  ChangeLog() = DefaultChangeLog();
  DocumentLinks() = DefaultDocumentLinks();
  ValueTable() = ValueTableRecord{};
}

void MakeRefSpring() {
  SpringDataRecord& s = SpringData();
  s = SpringDataRecord{};
  s.CalcMode = 3;
  s.RateInput = 1;
  s.CrossSection = 1;
  s.d = 2.0L;
  s.h = 2.0L;
  s.DiameterGiven = 3;
  s.Dm = 20.0L;
  s.De = 22.0L;
  s.Di = 18.0L;
  s.n = 8.5L;
  s.L0 = 60.0L;
  s.L1 = 50.0L;
  s.L2 = 30.0L;
  // Material from the table, as the material selection takes it over.
  ZEBWST_Record() = RefMaterialRow();
  MaterialSource() = kRefMaterialRow;
  s.MaterialSel = 0;
  s.MaterialStd = 0;
  s.MaterialName = ZEBWST_Record().Name1;
  s.G = 81500.0L;
  s.E = 206000.0L;
  s.rho = 7.85L;
  s.T = 20.0L;
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
}

void MakeCaseASpring() {
  MakeRefSpring();
  SpringDataRecord& s = SpringData();
  s.d = 5.0L;
  s.h = 5.0L;
  s.DiameterGiven = 1;
  s.De = 39.6L;
  s.Dm = 34.6L;
  s.Di = 29.6L;
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
