// Reference springs of the tests and a material table that holds the
// reference material.
//
//   auto tables = zeb::test::InstallRefMaterialTable();  // row 7
//   zeb::test::MakeRefSpring();
//   zeb::RunRecalculation();
#pragma once
#include <memory>

#include "base/services.h"
#include "spring/material.h"

namespace zeb::test {

constexpr int kRefMaterialRow = 7;

// The reference material as row kRefMaterialRow of the material table
// gives it: G 81500, E 206000, density 7.85; Rm0 2000 at DR0 1, RmSlope
// 400, RmMax 0; d0 1; unpeened tauo 1000/150, tauh 500/100, Goodman slope
// 0.8 (peened the same); dmin 0.5, dmax 10, Tmax 120.
MaterialRecord RefMaterialRow();

// A recording table service whose material table has one row: `row`
// holds RefMaterialRow(); any other row is missing (false, record as it
// was).
class RefMaterialTables : public RecordingTables {
 public:
  explicit RefMaterialTables(int row = kRefMaterialRow) : row_(row) {}
  bool LoadMaterialRow(int row) override;

 private:
  int row_;
};

// Installs RefMaterialTables as Tables() and returns it.
std::shared_ptr<RefMaterialTables> InstallRefMaterialTable(int row = kRefMaterialRow);

// Resets the spring records, the change log, the document links and the
// value table to their start values.
void ResetSpringRecords();

// REF: the inputs of the reference spring for a recalculation with
// RateInput 1 (round wire d 2, Dm 20 given, n 8.5, L0 60, L1 50, L2 30,
// cold-coiled, end form 2, dynamic, WireStd 9, f 10 Hz, external mass
// 0.05 kg), with the reference material taken from the table
// (MaterialSel 0, MaterialSource kRefMaterialRow, ZEBWST_Record filled).
// Nothing is calculated.
void MakeRefSpring();

// Case A: as REF but d 5, De 39.6 given, n 9.5, L0 105.8, L1 88.5,
// L2 67.5, nue 0.5, f 1 Hz, no external mass, MaterialSel 11 with Rm 1460
// and tau zul 817.6. Nothing is calculated.
void MakeCaseASpring();

}  // namespace zeb::test
