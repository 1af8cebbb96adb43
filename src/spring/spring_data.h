// The current spring: one global data set with its small companion records
// (production data, transverse load, resonance result, load spectrum,
// relaxation record, tensile-strength table) and the name tables of its
// codes. All records are plain copyable values held in one SpringGlobals
// instance; ResetSpringGlobals() restores every program-start value.
//
// Units: mm, N, N/mm, N/mm², kg/dm³, °C, g, Hz. Texts are code page 850.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "base/types.h"
#include "spring/material.h"

namespace zeb {

using Code = std::uint16_t;  // 16-bit code word

struct SpringDataRecord {
  // Geometry.
  Real d = 1.2L;                // wire diameter (width b, side of a square)
  Real h = 1.2L;                // wire height
  Real r = 0.0L;                // corner radius, cross-section 6
  Real di = 0.0L;               // inner diameter of tube wire, cross-section 7
  Code CrossSection = 1;        // 1..7
  Real Dm = 8.8L, De = 10.0L, Di = 7.6L;
  Code DiameterGiven = 1;       // 1 De, 2 Di, 3 Dm
  Real w = 0.0L;                // spring index Dm/d
  Real n = 0.0L, nt = 0.0L;     // active and total coils
  std::array<Real, 3> EndCoils{2.0L, 1.0L, 1.0L};  // [0] = [1] + [2]
  Code EndForm = 2;             // 1..3 named, 4 own solid-length addend
  std::string EndFormText;
  Real EndCoilsInput = 0.0L;    // addend c of the solid length
  Real P = 0.0L, PitchRatio = 0.0L;
  Real HelixAngle = 0.0L;       // degrees
  Real TanAlpha = 0.0L;
  Real GapL0 = 0.0L, GapL2 = 0.0L;
  Real WireLength = 0.0L;
  Real dDe = 0.0L;              // increase of De under load
  Code WindingDir = 3;          // 1..3

  // Lengths, forces and travels.
  Real L0 = 0.0L, L1 = 38.0L, L2 = 30.0L;
  Real Ln = 0.0L, Lc = 0.0L;
  Real L = 0.0L;                // length at which the views are drawn
  Real lambda = 0.0L;           // L0/Dm
  Real F1 = 10.0L, F2 = 50.0L;
  Real Fn = 0.0L, Fc = 0.0L;
  Real Fzul = 0.0L;
  Real s1 = 0.0L, s2 = 0.0L, sh = 8.0L;
  Real sn = 0.0L, sc = 0.0L, sk = 0.0L;
  Real R = 14.0L;
  Real UsableTravel = 0.0L, UsableLength = 0.0L;
  Real W12 = 0.0L, W0c = 0.0L;
  Real StrokeMaxFatigue = 0.0L;
  Real nue = 1.0L;

  // Material and stresses.
  Real E = 210000.0L, G = 80000.0L;
  Real GT = 80000.0L;
  Real rho = 7.85L;
  Real Rm = 0.0L, tauzul = 0.0L;
  Real tauhzul = 0.0L, tauoz = 0.0L;
  Real tau1 = 0.0L, tau2 = 0.0L, tauk1 = 0.0L, tauk2 = 0.0L, taukh = 0.0L;
  Real taun = 0.0L, tauc = 0.0L;
  Real k = 1.0L;
  Real S1 = 0.0L, S2 = 0.0L, Sh = 0.0L;
  Real N = 0.0L, Nmin = 0.0L, Nmax = 0.0L;
  Real FatigueTol1 = 0.0L, FatigueTol2 = 0.0L;
  Real F2Relax = 0.0L;
  Byte NoLifeMinMax = 0;
  std::string MaterialName;
  Code MaterialSel = 5;         // 0 = table material; below 11: Rm by the law
  Code MaterialStd = 3;
  Code MaterialCoiling = 1;
  Code CoilingKind = 1;         // 1 cold, 2 and 3 hot
  char ShotPeened = 'N';        // 'J' or 'N'
  Code LoadType = 2;            // 1 static, 2 dynamic
  Code LoadCase = 0;            // 0..2
  Real T = 20.0L, T1 = 0.0L, T2 = 100.0L;
  Real m = 0.0L, mActive = 0.0L;  // g
  Real fe = 0.0L;               // Hz
  Real f = 1.0L;                // load-cycle frequency, Hz
  Real ExternalMass = 0.0L;     // kg, moved by the spring (resonance)

  // Tolerances and statistics. Minus deviations are negative numbers.
  Code GradeDe = 2, GradeL0 = 2, GradeF1 = 2, GradeF2 = 2, GradeE1 = 2, GradeE2 = 2;
  Real TolDe = 10.0L, TolDeMinus = 10.0L;
  Real TolL0 = 0.0L, TolL0Minus = 0.0L;
  Real TolF1 = 0.0L, TolF1Minus = 0.0L;
  Real TolF2 = 0.0L, TolF2Minus = 0.0L;
  Real e1 = 0.0L, e2 = 0.0L;
  Real TolWire = 1.0L;
  Code WireStd = 7;             // 1..17
  Code Allowance = 6;           // 1..6
  Real Dhmin = 0.0L, Ddmax = 0.0L;
  char Statistics = 'N';
  Code StatisticsGrade = 1;
  Real StatisticsFactor = 2.6L;
  Real ScrapBase = 0.0L;
  Real ScrapDm = 0.0L, ScrapF1 = 0.0L, ScrapF2 = 0.0L;

  // Modes and switches.
  Code CalcMode = 2;            // 1 pre-dimensioning, 2 dimensioning, 3 recalculation
  Code RateInput = 1;           // 1..4
  Code RInputMethod = 3, SaMethod = 1, DesignMethod = 1;
  Code OptWarnings = 1;
  Code WarningsOn = 1;
  std::int32_t Point1Off = 0;
  Real PreTauRatio = 1.0L, PreW = 9.0L;
  Byte ShowLd = 1, ShowP = 1, ShowM = 1;
  Byte HideMaterialLine2 = 0, HideMaterialLine3 = 0;
  Real Line3DResolution = 2.0L;
  Byte CalcDoneFlag = 1;

  // Title texts.
  std::string DrawingName = "Feder";
  std::string DrawingName2;
  std::string DrawingNo;
  bool operator==(const SpringDataRecord&) const = default;
};

struct ProductionDataRecord {
  Code Deburr = 4;
  Code Preset = 3;
  Code Picture = 4;
  Real Ls = 0.0L;               // set length
  Byte ShowSetLength = 0;
  Byte SetLengthIsLc = 0;
  std::string Surface;
  std::string Extra1, Extra2;
  Code SurfaceCode = 0;
  // Not filed: the set length as given before a calculation put it at Lc,
  // and the Lc it put there; the next calculation starts from the given one
  // while Ls still holds that Lc.
  Real LsGiven = 0.0L, LsPut = 0.0L;
  Byte LsReplaced = 0;
  bool operator==(const ProductionDataRecord&) const = default;
};

// FQ and, at the points 0, s1, s2, sn, sc (index 0..4): displacement y,
// ratio of transverse to axial rate, transverse rate Rq and transverse
// natural frequency.
struct TransverseLoadRecord {
  Real FQ = 0.0L;
  std::array<Real, 5> y{};
  std::array<Real, 5> RateRatio{};
  std::array<Real, 5> Rq{};
  std::array<Real, 5> fq{};
  bool operator==(const TransverseLoadRecord&) const = default;
};

// The 11 values of the spring-mass response, in their order.
struct ResonanceRecord {
  Real omega0 = 0.0L;           // 1/s
  Real Omega = 0.0L;            // 1/s
  Real ExternalMass = 0.0L;     // kg
  Real m0 = 0.0L;               // kg
  Real c = 0.0L;                // N/m
  Real Fz1 = 0.0L;              // N
  Real Az = 0.0L;               // mm
  Real V = 0.0L;
  Real f0 = 0.0L;               // Hz
  Real dy = 0.0L;               // mm
  Real dyPercent = 0.0L;        // %
  bool operator==(const ResonanceRecord&) const = default;
};

struct LoadLevel {
  Real L1 = 0.0L, L2 = 0.0L;    // lengths of the level
  Real ni = 0.0L;               // strokes per period
  Real Nni = 0.0L, tNi = 0.0L;  // cycles and hours to fracture of this level alone
  // Worked out by the calculation, not stored in the spring file:
  Real Damage = 0.0L;  // ni / Nni of a level that does damage, else 0
  Byte Refused = 0;    // 1: outside the spring's travel, reversed or negative ni
  bool operator==(const LoadLevel&) const = default;
};

inline constexpr int kMaxLoadLevels = 20;

struct LoadSpectrumRecord {
  std::int16_t Count = 0;                          // levels in use
  std::array<LoadLevel, kMaxLoadLevels + 1> Levels{};  // 1..20
  Real Tp = 1.0L;               // period
  Real tN = 0.0L;               // life in hours
  Real np = 0.0L;               // strokes per period
  Real Np = 0.0L;               // periods to fracture
  Real Nn = 0.0L;               // strokes to fracture
  Byte FatigueProof = 0;
  bool operator==(const LoadSpectrumRecord&) const = default;
};

// One row of the relaxation table. Curve points in field order:
// (T1, d1) 1st, 2nd; (T1, d2) 1st, 2nd; (T2, d1) ...; (T2, d2) ...
struct RelaxationRecordT {
  std::int32_t Number = 0;
  std::string Name;
  std::int32_t T1 = 0, T2 = 0;  // temperature limits, °C
  Real48 d1{}, d2{};
  std::array<std::int32_t, 8> Tau{};
  std::array<Real48, 8> Rx{};
  bool operator==(const RelaxationRecordT&) const = default;
};

inline constexpr int kRmTableSize = 94;

// The wire diameter of each slot of the tensile-strength limit tables in
// hundredths of a millimetre: the EN 10270-1 / DIN 2076 series from 0.05 to
// 20 mm with five DIN 2077 half steps. data/tables/std_diameter_steps.csv
// holds the same.
inline constexpr std::array<std::int32_t, kRmTableSize> kStandardDiameterSteps{
    5,   6,   7,   8,   9,   10,  11,  12,  14,  16,  18,  20,  22,  25,  28,  30,
    32,  34,  36,  38,  40,  43,  45,  48,  50,  53,  56,  60,  63,  65,  70,  75,
    80,  85,  90,  95,  100, 105, 110, 120, 125, 130, 140, 150, 160, 170, 180, 190,
    200, 210, 225, 240, 250, 260, 280, 300, 320, 340, 360, 380, 400, 425, 450, 475,
    500, 530, 560, 600, 630, 650, 700, 750, 800, 850, 900, 950, 1000, 1050, 1100, 1150,
    1200, 1250, 1300, 1350, 1400, 1450, 1500, 1550, 1600, 1650, 1700, 1800, 1900, 2000};
static_assert(kStandardDiameterSteps[0] == 5 && kStandardDiameterSteps[93] == 2000);

struct RmTableT {
  std::int32_t MaterialNumber = 0;
  std::string Name;
  std::array<std::int32_t, kRmTableSize> Min{};
  std::array<std::int32_t, kRmTableSize> Max{};
  bool operator==(const RmTableT&) const = default;
};

struct SpringGlobals {
  SpringDataRecord SpringData;
  MaterialRecord ZEBWST_Record;
  std::uint16_t MaterialSource = 3;  // row of the material table, 0 = none
  ProductionDataRecord ProductionData;
  TransverseLoadRecord TransverseLoad;
  ResonanceRecord ResonanceResult;
  LoadSpectrumRecord LoadSpectrum;
  RelaxationRecordT RelaxationRecord;
  Byte RelaxationFound = 0;
  Byte RelaxationTableBad = 0;  // zebwstr.dbf could not be read for the material
  RmTableT RmTable;
  Byte RmTableLoaded = 0;
  Byte RmTableBad = 0;  // 1 zebrmmin.dbf, 2 zebrmmax.dbf could not be read
  std::string SpringDbName = "zeb";
  bool operator==(const SpringGlobals&) const = default;
};

// Program-start values of every spring record (the default material
// record, MaterialSource 3).
SpringGlobals SpringStartValues();
// The one instance, made on first use.
inline SpringGlobals& SG() {
  static SpringGlobals g = SpringStartValues();
  return g;
}
inline SpringDataRecord& SpringData() { return SG().SpringData; }
inline MaterialRecord& ZEBWST_Record() { return SG().ZEBWST_Record; }
inline std::uint16_t& MaterialSource() { return SG().MaterialSource; }
inline ProductionDataRecord& ProductionData() { return SG().ProductionData; }
inline TransverseLoadRecord& TransverseLoad() { return SG().TransverseLoad; }
inline ResonanceRecord& ResonanceResult() { return SG().ResonanceResult; }
inline LoadSpectrumRecord& LoadSpectrum() { return SG().LoadSpectrum; }
inline RelaxationRecordT& RelaxationRecord() { return SG().RelaxationRecord; }
inline RmTableT& RmTable() { return SG().RmTable; }

// Program-start values of every spring record (material record included,
// so MaterialSource becomes 3). Tests call it after ResetBaseGlobals().
void ResetSpringGlobals();
// Program-start values of the data set alone.
void ResetSpringData();
void ResetProductionData();
void ResetTransverseLoad();
void ResetResonanceResult();
void ResetLoadSpectrum();
void ClearRelaxationRecord();  // record, RelaxationFound and RelaxationTableBad
void ClearRmTable();           // table, RmTableLoaded and RmTableBad

// Name tables (code page 850). Each gives "" for an index outside it.
const std::string& CrossSectionNames(int code);     // 1..7
const std::string& LoadCaseNames(int loadCase);     // 0..2
const std::string& WireStdNames(int code);          // 1..17
const std::string& HotRolledSteelNames(int i);      // 1..7
const std::string& WindingDirNames(int code);       // 1..3
const std::string& SurfaceNames(int i);             // 1..4
const std::string& EndFormNames(int code);          // 1..3
const std::string& CoilingKindNames(int code);      // 1..3
const std::string& LoadTypeNames(int code);         // 1..2
const std::string& OilTemperedWireNames(int i);     // 1..6
const std::string& MaterialFamilyNames(int i);      // 1..10
const std::string& AllowanceNames(int code);        // 1..6
const std::string& GradeNames(int grade);           // 1..4
const std::string& GradeNamesLong(int grade);       // 1..4

}  // namespace zeb
