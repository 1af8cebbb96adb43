#include "spring/spring_data.h"

#include "platform/oem_literal.h"

namespace zeb {

namespace {

const std::string kNoName;

template <std::size_t N>
const std::string& Entry(const std::string (&table)[N], int i, int first) {
  int k = i - first;
  if (k < 0 || k >= static_cast<int>(N)) return kNoName;
  return table[k];
}

const std::string kCrossSections[] = {
    "rund"_oem, "elliptisch"_oem, "quadratisch"_oem, "rechteckig"_oem,
    "oval"_oem, "rechteckig + r"_oem, "rund, hohl"_oem};
const std::string kLoadCases[] = {
    "tauoz=tauo (Goodman Diagram)"_oem, "tauoz = tauz = 0.56 Rm"_oem, "tauoz = 0.6 Rm"_oem};
const std::string kWireStds[] = {
    "DIN 2076 B"_oem,       "DIN 2076 C"_oem,       "DIN 2077"_oem,         "T1 - EN10218-2"_oem,
    "T2 - EN10218-2"_oem,   "T3 - EN10218-2"_oem,   "T4 - EN10218-2"_oem,   "T5 - EN10218-2"_oem,
    "EN 10270-1"_oem,       "EN 10270-2"_oem,       "EN 10270-3:2001"_oem,  "T12 - EN 10270-3"_oem,
    "T13 - EN 10270-3"_oem, "T14 - EN 10270-3"_oem, "T15 - EN 10270-3"_oem, "..."_oem,
    "EN 12166-A"_oem};
const std::string kHotRolled[] = {
    "38 Si 7"_oem, "51 Si 7"_oem, "60 Si Cr 7"_oem, "55 Cr 3"_oem,
    "50 Cr V 4"_oem, "51 Cr Mo V4"_oem, "54 Si Cr 6"_oem};
const std::string kWindingDirs[] = {"rechts"_oem, "links"_oem, "frei"_oem};
const std::string kSurfaces[] = {"gezogen"_oem, "gewalzt"_oem, "geschliffen"_oem, "geschält"_oem};
const std::string kEndForms[] = {
    "angelegt"_oem, "angelegt und geschliffen"_oem, "angelegt, geschmiedet und geschliffen"_oem};
const std::string kCoilingKinds[] = {
    "kaltgeformt"_oem, "warmgeformt, gewalzte Oberfläche"_oem, "warmgeformt, bearbeitete Oberfläche"_oem};
const std::string kLoadTypes[] = {"statisch"_oem, "dynamisch"_oem};
const std::string kOilTempered[] = {
    "Vergüteter Federstahldraht FD"_oem, "Verg.Vent.fed.dr. VD (Oteva 31)"_oem,
    "FD - CrV"_oem, "FD - SiCr"_oem, "VD - CrV (Oteva 60, Becrova 33)"_oem,
    "VD - SiCr (Oteva 70, Becrosi 36)"_oem};
const std::string kMaterialFamilies[] = {
    "Federstahldraht DIN 17223  Teil 1"_oem,
    "Federstahldraht DIN 17223  T.2 (FD,VD)"_oem,
    "Federstahldraht DIN 17221 und 54SiCr6"_oem,
    "Nirosta 1.4310 DIN 17224 (X12CrNi17 7)"_oem,
    "Nirosta 1.4568 DIN 17224 (X7CrNiAl17 7)"_oem,
    "Nirosta 1.4401 DIN 17224 (X5CrNiMo18 10)"_oem,
    "2.1020.39 DIN 17682 (Cu Sn 6 F 95)"_oem,
    "2.0335.39 DIN 17682 (Cu Zn 36 F 70)"_oem,
    "2.1247.97 DIN 17682 (Cu Be 2)"_oem,
    "2.1285.97 DIN 17682 (Cu Co Be)"_oem};
const std::string kAllowances[] = {
    "L0 bei 1 vorgegebener Federkraft"_oem,
    "n und d  bei 1 vorgegebener Federkraft"_oem,
    "n u.De,Di,Dm bei 1 vorgegebener Federkraft"_oem,
    "L0,n und d  bei 2 vorgegebenen Federkräften"_oem,
    "L0,n und De,Di,Dm bei 2 vorgegebenen Federkräften"_oem,
    "keine Angaben"_oem};
const std::string kGrades[] = {"Gütegrad 1"_oem, "Gütegrad 2"_oem, "Gütegrad 3"_oem, "DIN 2096"_oem};
const std::string kGradesLong[] = {
    "EN 15800 Gütegrad 1"_oem, "EN 15800 Gütegrad 2"_oem, "EN 15800 Gütegrad 3"_oem, "DIN 2096"_oem};

}  // namespace

SpringGlobals SpringStartValues() {
  SpringGlobals s;
  s.ZEBWST_Record = DefaultMaterialRecord();
  s.MaterialSource = 3;
  return s;
}

void ResetSpringData() { SG().SpringData = SpringDataRecord{}; }
void ResetProductionData() { SG().ProductionData = ProductionDataRecord{}; }
void ResetTransverseLoad() { SG().TransverseLoad = TransverseLoadRecord{}; }
void ResetResonanceResult() { SG().ResonanceResult = ResonanceRecord{}; }
void ResetLoadSpectrum() { SG().LoadSpectrum = LoadSpectrumRecord{}; }

void ClearRelaxationRecord() {
  SpringGlobals& g = SG();
  g.RelaxationRecord = RelaxationRecordT{};
  g.RelaxationFound = 0;
  g.RelaxationTableBad = 0;
}

void ClearRmTable() {
  SpringGlobals& g = SG();
  g.RmTable = RmTableT{};
  g.RmTableLoaded = 0;
  g.RmTableBad = 0;
}

void ResetSpringGlobals() {
  SG() = SpringStartValues();
}

const std::string& CrossSectionNames(int code) { return Entry(kCrossSections, code, 1); }
const std::string& LoadCaseNames(int loadCase) { return Entry(kLoadCases, loadCase, 0); }
const std::string& WireStdNames(int code) { return Entry(kWireStds, code, 1); }
const std::string& HotRolledSteelNames(int i) { return Entry(kHotRolled, i, 1); }
const std::string& WindingDirNames(int code) { return Entry(kWindingDirs, code, 1); }
const std::string& SurfaceNames(int i) { return Entry(kSurfaces, i, 1); }
const std::string& EndFormNames(int code) { return Entry(kEndForms, code, 1); }
const std::string& CoilingKindNames(int code) { return Entry(kCoilingKinds, code, 1); }
const std::string& LoadTypeNames(int code) { return Entry(kLoadTypes, code, 1); }
const std::string& OilTemperedWireNames(int i) { return Entry(kOilTempered, i, 1); }
const std::string& MaterialFamilyNames(int i) { return Entry(kMaterialFamilies, i, 1); }
const std::string& AllowanceNames(int code) { return Entry(kAllowances, code, 1); }
const std::string& GradeNames(int grade) { return Entry(kGrades, grade, 1); }
const std::string& GradeNamesLong(int grade) { return Entry(kGradesLong, grade, 1); }

}  // namespace zeb
