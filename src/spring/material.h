// The current material: one row of the material table held in memory.
// Integer fields are 32-bit; the others are 6-byte reals as the table
// stores them (read them with MaterialReal). The instance lives in
// SpringGlobals (spring_data.h): ZEBWST_Record(), MaterialSource().
#pragma once
#include <cstdint>
#include <string>

#include "base/types.h"
#include "platform/real48.h"

namespace zeb {

// Fatigue laws of one surface state.
struct FatigueGroup {
  std::int32_t tauo0 = 0;
  std::int32_t tauoSlope = 0;
  std::int32_t tauh0 = 0;
  std::int32_t tauhSlope = 0;
  Real48 GoodmanSlope{};
  bool operator==(const FatigueGroup&) const = default;
};

// Members in table-field order (field numbers in the comments).
struct MaterialRecord {
  Byte Flag = 0;
  std::string Name1;               // 1 material name
  std::string Name2;               // 2
  std::string Name3;               // 3 standard or remark
  std::string Name4;               // 4
  std::int32_t G = 0;              // 5 shear modulus at 20 °C
  std::int32_t E = 0;              // 6
  Real48 Density{};                // 7 kg/dm³
  std::int32_t Rm0 = 0;            // 8 strength at DR0
  Real48 DR0{};                    // 9
  std::int32_t RmMax = 0;          // 10 not used when not above 1
  std::int32_t RmSlope = 0;        // 11 decrease per decade of d
  Real48 d0{};                     // 12 reference diameter of the fatigue laws
  FatigueGroup Unpeened;           // 13-17
  FatigueGroup Peened;             // 18-22
  Real48 dmin{};                   // 23
  Real48 dmax{};                   // 24
  std::int32_t Tmax = 0;           // 25 °C
  std::string Text;                // 26
  std::int32_t MaterialNumber = 0; // 27 key field
  bool operator==(const MaterialRecord&) const = default;
};

// 6-byte real field as extended; exact, the same value as Real48ToReal.
Real MaterialReal(const Real48& r);
// Extended as a 6-byte real field; a value it cannot hold gives 0.
Real48 MakeReal48(Real x);

// The record as ResetMaterialRecord leaves it.
MaterialRecord DefaultMaterialRecord();
// Empty names and text, integers 0, Density 7.8, DR0 1.0, d0 1.0, the
// Goodman slopes, dmin and dmax 0; MaterialSource := 3.
void ResetMaterialRecord();

// The material as captions name it: the table record's name with its
// designation in brackets (no brackets when it has none); the spring's own
// material name when the material is not from the table or the record has
// no name.
std::string MaterialCaption();
// Whether the material record holds a tensile-strength law Rm(d).
bool MaterialHasRmLaw();

}  // namespace zeb
