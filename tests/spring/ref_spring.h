// Reference springs of the tests, the material table row they use, and the
// message list as a vector. Header-only, so other test folders can use it.
//
//   auto tables = zeb::test::InstallRefMaterialTable();  // row 7
//   zeb::test::MakeRefSpring();
//   zeb::RunRecalculation();
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/services.h"
#include "base/support_fixture.h"
#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/material.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"

namespace zeb::test {

constexpr int kRefMaterialRow = 7;

// G 81500, E 206000, density 7.85; Rm0 2000 at DR0 1, RmSlope 400, RmMax 0;
// d0 1; tauo 1000/150, tauh 500/100, Goodman slope 0.8 (peened the same);
// dmin 0.5, dmax 10, Tmax 120.
inline MaterialRecord RefMaterialRow() {
  MaterialRecord m = DefaultMaterialRecord();
  m.Name1 = "REF-Federstahl";
  m.G = 81500, m.E = 206000, m.Density = MakeReal48(7.85L);
  m.Rm0 = 2000, m.DR0 = MakeReal48(1.0L), m.RmSlope = 400;
  m.d0 = MakeReal48(1.0L);
  m.Unpeened = m.Peened = FatigueGroup{1000, 150, 500, 100, MakeReal48(0.8L)};
  m.dmin = MakeReal48(0.5L), m.dmax = MakeReal48(10.0L), m.Tmax = 120;
  m.MaterialNumber = 4711;
  return m;
}

// A second material with other strength numbers (EN 10270-2 TDC of the
// shipped table): G 79500, E 206000, density 7.85; Rm0 1781 at DR0 1,
// RmSlope 391, RmMax 1850; d0 1; tauo 889/263, tauh 375/117, Goodman slope
// 0.7683, no peened data; dmin 0.5, dmax 10.
inline MaterialRecord TdcMaterialRow() {
  MaterialRecord m = DefaultMaterialRecord();
  m.Name1 = "EN 10270-2 TDC";
  m.G = 79500, m.E = 206000, m.Density = MakeReal48(7.85L);
  m.Rm0 = 1781, m.DR0 = MakeReal48(1.0L), m.RmMax = 1850, m.RmSlope = 391;
  m.d0 = MakeReal48(1.0L);
  m.Unpeened = FatigueGroup{889, 263, 375, 117, MakeReal48(0.7683L)};
  m.Peened = FatigueGroup{};
  m.dmin = MakeReal48(0.5L), m.dmax = MakeReal48(10.0L);
  m.MaterialNumber = 7;
  return m;
}

// A recording table service whose material table holds RefMaterialRow() in
// `row`; any other row is missing (false, record unchanged).
class RefMaterialTables : public RecordingTables {
 public:
  explicit RefMaterialTables(int row = kRefMaterialRow) : row_(row) {}
  bool LoadMaterialRow(int row) override {
    RecordingTables::LoadMaterialRow(row);  // notes the call
    if (row != row_) return false;
    ZEBWST_Record() = RefMaterialRow();
    return true;
  }

 private:
  int row_;
};

inline std::shared_ptr<RefMaterialTables> InstallRefMaterialTable(int row = kRefMaterialRow) {
  auto tables = std::make_shared<RefMaterialTables>(row);
  SetTables(tables);
  return tables;
}

// Start values of the spring records, change log, documents and value table.
inline void ResetSpringRecords() {
  ResetSpringGlobals();
  ChangeLog() = DefaultChangeLog();
  DocumentLinks() = DefaultDocumentLinks();
  ValueTable() = ValueTableRecord{};
}

// Fresh globals, scripted UI and spring records.
class SpringTest : public BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetSpringRecords();
  }
};

// REF, not calculated: round wire d 2, Dm 20 given, n 8.5, L0 60, L1 50,
// L2 30, cold-coiled, end form 2, dynamic, WireStd 9, grades 2, f 10 Hz,
// external mass 0.05 kg, recalculation by rate input 1; the table material
// (MaterialSel 0, MaterialSource kRefMaterialRow, ZEBWST_Record filled).
inline void MakeRefSpring() {
  SpringDataRecord& s = SpringData();
  s = SpringDataRecord{};
  s.CalcMode = 3, s.RateInput = 1;
  s.CrossSection = 1, s.d = s.h = 2.0L;
  s.DiameterGiven = 3, s.Dm = 20.0L, s.De = 22.0L, s.Di = 18.0L;
  s.n = 8.5L, s.L0 = 60.0L, s.L1 = 50.0L, s.L2 = 30.0L;
  ZEBWST_Record() = RefMaterialRow();
  MaterialSource() = kRefMaterialRow;
  s.MaterialSel = 0, s.MaterialStd = 0, s.MaterialName = ZEBWST_Record().Name1;
  s.G = 81500.0L, s.E = 206000.0L, s.rho = 7.85L, s.T = 20.0L;
  s.CoilingKind = 1, s.EndForm = 2, s.EndCoils = {2.0L, 1.0L, 1.0L};
  s.LoadType = 2, s.ShotPeened = 'N', s.WireStd = 9;
  s.GradeDe = s.GradeL0 = s.GradeF1 = s.GradeF2 = s.GradeE1 = s.GradeE2 = 2;
  s.nue = 1.0L, s.f = 10.0L, s.ExternalMass = 0.05L;
}

// Case A, a published worked example: REF but d 5, De 39.6 given, n 9.5,
// L0 105.8, L1 88.5, L2 67.5, nue 0.5, f 1 Hz, no external mass, own
// material (MaterialSel 11) with Rm 1460 and tau zul 817.6.
inline void MakeCaseASpring() {
  MakeRefSpring();
  SpringDataRecord& s = SpringData();
  s.d = s.h = 5.0L;
  s.DiameterGiven = 1, s.De = 39.6L, s.Dm = 34.6L, s.Di = 29.6L;
  s.n = 9.5L, s.L0 = 105.8L, s.L1 = 88.5L, s.L2 = 67.5L;
  s.nue = 0.5L, s.f = 1.0L, s.ExternalMass = 0.0L;
  s.MaterialSel = 11, s.Rm = 1460.0L, s.tauzul = 817.6L;
}

// The message list, first entry first.
inline std::vector<std::string> Messages() {
  const auto& list = G().ErrorMessageList;
  return {list.slot.begin() + 1, list.slot.begin() + 1 + list.count};
}

inline bool HasMessage(const std::string& text) {
  for (const std::string& m : Messages())
    if (m == text) return true;
  return false;
}

inline void ExpectRel(Real expected, Real actual, Real rel = 1e-9L) {
  EXPECT_NEAR(static_cast<double>(actual), static_cast<double>(expected),
              static_cast<double>(rel * std::fabs(expected) + 1e-15L));
}

}  // namespace zeb::test
