#include "reports/printout_full.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "reports/printout_lines.h"
#include "reports/table.h"
#include "spring/calc.h"
#include "spring/spring_data.h"
#include "spring/strength.h"
#include "spring/valuetable.h"

namespace zeb {

using namespace printout;

namespace {

bool Aborted() { return G().AbortFlag != 0; }

void Row(std::string_view label, std::string_view symbol, std::string_view unit, std::string_view value) {
  WriteResultRow(label, symbol, unit, value);
}

void RuledLine(const std::string& text) {
  WriteResultLine(text);
  WriteResultLine(SingleRuleLine());
}

// Label as result text, value as raw line behind it, a rule below.
void ToleranceLine(std::string_view label, const std::string& value) {
  WriteResultText(label);
  WriteOutputLine(value);
  WriteResultLine(SingleRuleLine());
}

void Heading(std::string_view text) {
  WriteResultLine("");
  WriteResultLine(text);
  WriteResultLine(SingleRuleLine());
}

bool AllowanceFreesL0(int a) { return a == 1 || a == 4 || a == 5; }

void WritePage1() {
  const SpringDataRecord& s = SpringData();
  WriteResultLine("");
  WriteMaterialLines();
  WriteResultLine(SingleRuleLine());

  RuledLine("Herstellung   : " + CoilingKindNames(s.CoilingKind));
  if (s.WindingDir == 1 || s.WindingDir == 2) RuledLine("Windg.richtung: " + WindingDirNames(s.WindingDir));
  RuledLine("Federenden    : " + s.EndFormText);
  WriteResultLine("Beanspruchung : " + LoadTypeNames(s.LoadType));
  if (s.CoilingKind == 1) {
    WriteResultLine(SingleRuleLine());
    WriteResultLine("Oberfläche    : "_oem + SurfaceNames(s.MaterialCoiling));
  }
  WriteResultLine(SingleRuleLine());
  if (s.ShotPeened == 'J') RuledLine("Behandlung    : Feder kugelgestrahlt");
  RuledLine("Fertigungsausgleich : " + AllowanceNames(s.Allowance));

  WriteOutputLine("");
  WriteResultLine(SingleRuleLine());

  if (s.Allowance != 3 && s.Allowance != 5)
    ToleranceLine("Zul. Abweichung De,Di,Dm : ", s.GradeDe < 5 ? GradeNamesLong(s.GradeDe)
                                                               : FormatLengthTolerancePair(s.TolDe, s.TolDeMinus));
  if (!AllowanceFreesL0(s.Allowance))
    ToleranceLine("Zul. Abweichung L0       : ", s.GradeL0 < 5 ? GradeNamesLong(s.GradeL0)
                                                               : FormatLengthTolerancePair(s.TolL0, s.TolL0Minus));
  ToleranceLine("Zul. Abweichung F1, F2   : ",
                s.GradeF1 < 5 && s.GradeF2 < 5
                    ? GradeNamesLong(s.GradeF1) + ", " + GradeNames(s.GradeF2)
                    : FormatForceTolerancePair(s.TolF1, s.TolF1Minus) + ",  " +
                          FormatForceTolerancePair(s.TolF2, s.TolF2Minus));
  if (s.EndForm != 1)
    ToleranceLine("Zul. Abweichung e1, e2   : ",
                  s.GradeE1 < 5 && s.GradeE2 < 5
                      ? GradeNamesLong(s.GradeE1) + " ," + GradeNames(s.GradeE2)
                      : "± "_oem + LengthText(s.e1) + ", " + "± "_oem + LengthText(s.e2));
  if (s.Allowance != 2 && s.Allowance != 4)
    ToleranceLine("Zul. Abweichung d        : ",
                  s.WireStd != 16 ? WireStdNames(s.WireStd) : "± "_oem + LengthText(s.TolWire));

  WriteOutputLine("");
  WriteResultLine(SingleRuleLine());
  const std::string tau = StressUnitName();
  Row("Elastizitätsmodul"_oem, "E", tau, StressFieldText(6, 0, s.E));
  Row("Schubmodul", "G", tau, StressFieldText(6, 0, s.G));
  Row("Dichte", "rho", "kg/dm^3", FieldText(3, 2, s.rho));
  Row("Zugfestigkeit", "Rm", tau, KnownStressText(6, s.Rm));
  Row("zul. Schubspannung", "tauz", tau, KnownStressText(6, s.tauzul));
  Row("Betriebstemperatur", "theta", TemperatureUnitName(),
      std::isfinite(s.T) ? FormatTemperatureField(6, 0, s.T) : std::string());
  Row("Schubmodul bei Betriebstemperatur", "G" + FieldText(3, 0, s.T), tau, StressFieldText(6, 0, s.GT));
}

void WritePage2() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  const std::string F = ForceUnitName();
  const std::string deTol = FormatLengthTolerancePair(s.TolDe, s.TolDeMinus);
  const auto spaced = [](const std::string& t) { return t.empty() ? t : " " + t; };

  Heading("HAUPTABMESSUNGEN");
  WriteWireRows();
  Row("Innendurchmesser", "Di", L, LengthText(s.Di) + (s.DiameterGiven == 2 ? deTol : std::string()));
  Row("Mittlerer Windungsdurchmesser", "Dm", L, LengthText(s.Dm) + (s.DiameterGiven == 3 ? spaced(deTol) : ""));
  Row("Außendurchmesser"_oem, "De", L, LengthText(s.De) + (s.DiameterGiven == 1 ? spaced(deTol) : ""));
  Row("Anzahl der federnden Windungen", "n(if)", "", SigText(s.n));
  Row("ungefederte Endwindungen Unterseite", "", "", SigText(s.EndCoils[1]));
  Row("ungefederte Endwindungen Oberseite", "", "", SigText(s.EndCoils[2]));
  Row("Gesamtanzahl der Windungen", "nt", "", SigText(s.nt));

  Heading("FEDERLÄNGEN"_oem);
  Row("Ungespannte Federlänge"_oem, "L0", L,
      LengthText(s.L0) +
          (AllowanceFreesL0(s.Allowance) ? std::string() : FormatLengthTolerancePair(s.TolL0, s.TolL0Minus)));
  const Real relaxed = (1.0L - s.F2Relax * 0.01L) * SafeQuotient(s.F2, s.R);  // travel of F2,48h
  // Relaxation rows of a relaxation table that could not be read: "-".
  const bool relaxUnknown = RelaxationUnknown();
  if (s.F2Relax > 0.0L || relaxUnknown) {
    Row("Relaxation L0,48h", "dL0,48h", L, relaxUnknown ? "-" : LengthText((s.L0 - s.L2) - relaxed));
    Row("Ungespannte Federlänge,48h"_oem, "L0,48h", L, relaxUnknown ? "-" : LengthText(relaxed + s.L2));
  }
  Row("Federlänge bei Kraft F1"_oem, "L1", L, LengthText(s.L1));
  Row("Federlänge bei Kraft F2"_oem, "L2", L, LengthText(s.L2));
  Row("nutzbare Federlänge"_oem, "Ln", L, LengthText(s.Ln));
  if (s.tauzul > 0.0L && s.Ln < s.UsableLength) Row("Federlänge bei tauz"_oem, "Ln'", L, LengthText(s.UsableLength));
  Row("Blocklänge"_oem, "Lc", L, LengthText(s.Lc));

  Heading("FEDERKRÄFTE"_oem);
  Row("Federkraft bei L1", "F1", F, ForceText(s.F1) + " " + FormatForceTolerancePair(s.TolF1, s.TolF1Minus));
  Row("Federkraft bei L2", "F2", F, ForceText(s.F2) + " " + FormatForceTolerancePair(s.TolF2, s.TolF2Minus));
  if (s.F2Relax > 0.0L || RelaxationUnknown()) {
    const bool unknown = RelaxationUnknown();
    Row("Relaxation F2, 48h", "Rx2", "%", unknown ? "-" : SigText(s.F2Relax));
    Row("Federkraft", "F2,48h", F, unknown ? "-" : ForceText((1.0L - s.F2Relax * 0.01L) * s.F2));
  }
  Row("Federkraft bei Ln", "Fn", F, ForceText(s.Fn));
  if (s.tauzul > 0.0L && s.Fn > s.Fzul) Row("Federkraft bei tauz", "Fn'", F, ForceText(s.Fzul));
  Row("Federkraft bei Lc", "Fc th", F, ForceText(s.Fc));
}

void WritePage3() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  const std::string tau = StressUnitName();

  Heading("FEDERWEGE");
  Row("Hub", "sh", L, LengthFieldText(5, 2, s.sh));
  Row("Federweg", "s1", L, LengthFieldText(5, 2, s.s1));
  Row("Federweg", "s2", L, LengthFieldText(5, 2, s.s2));
  Row("nutzbarer Federweg", "sn", L, LengthFieldText(5, 2, s.sn));
  if (s.tauzul > 0.0L && s.sn > s.UsableTravel) Row("Federweg bei tauz", "sn'", L, LengthFieldText(5, 2, s.UsableTravel));
  Row("Federweg bis Lc", "sc", L, LengthFieldText(5, 2, s.sc));
  Row("Knickfederweg", "sk", L, WriteBucklingValue(5, 2, s.sk));

  Heading("SPANNUNGEN");
  Row("Schubspannung bei F1", "tau 1", tau, StressFieldText(5, 0, s.tau1));
  Row("Schubspannung bei F2", "tau 2", tau, StressFieldText(5, 0, s.tau2));
  Row("Schubspannung bei Fn", "tau n", tau, StressFieldText(5, 0, s.taun));
  Row("Schubspannung bei Fc th.", "tau c", tau, StressFieldText(5, 0, s.tauc));
  Row("Spannungskorrekturfaktor", "k", "", FieldText(2, 3, s.k));
  Row("korrigierte Schubspannung bei F1", "tau k1", tau, StressFieldText(5, 0, s.tauk1));
  Row("korrigierte Schubspannung bei F2", "tau k2", tau, StressFieldText(5, 0, s.tauk2));
  if (s.LoadType == 2) {
    Row("Hubspannung", "tau kh", tau, StressFieldText(5, 0, s.taukh));
    if (s.tauhzul > 0.0L) Row("zulässige Hubspannung"_oem, "tau hz", tau, StressFieldText(5, 0, s.tauhzul));
  }
  Row("zulässige Schubspannung"_oem, "tau z", tau, KnownStressText(5, s.tauzul));
}

void WritePage4() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();

  WriteResultLine("");
  Row("Lagerungsbeiwert", "nue", "", SigText(s.nue));
  if (s.EndForm != 1) {
    Row("Abweichung der Mantellinie", "e1", L, LengthText(s.e1));
    Row("Abweichung der Parallelität"_oem, "e2", L, LengthText(s.e2));
  }
  Row("Federrate", "R", SpringRateUnitName(), RateText(s.R));
  if (s.m < 100.0L)
    Row("Gewicht/100 Stück"_oem, "m", SmallMassUnitName() + "/100", SmallMassText(s.m * 100.0L));
  else
    Row("Gewicht der Feder", "m", SmallMassUnitName(), SmallMassText(s.m));
  Row("Eigenfrequenz(1.Ordnung) Feder", "fe", "1/s", SigText(s.fe));
  if (s.LoadType == 2) Row("Lastspielfrequenz", "f", "1/s", SigText(s.f));
  const int cs = s.CrossSection;
  if (cs != 2 && cs != 3 && cs != 4) {
    Row("Vergröß.d.Wind.durchm.bei Lc"_oem, "deltaDe", L, LengthText(s.dDe));
    if (s.DiameterGiven == 1) Row("Außendurchmesser"_oem, "Dec", L, LengthText(s.De + s.dDe));
    if (s.DiameterGiven == 2) Row("Innendurchmesser", "Dic", L, LengthText(s.Di + s.dDe));
    if (s.DiameterGiven == 3) Row("Mittlerer Windungsdurchmesser", "Dmc", L, LengthText(s.Dm + s.dDe));
  }
  Row("Mindestabstand der federnden Wdg.", "Sa", L, LengthFieldText(4, 2, s.Ln - s.Lc));
  Row("Ist-Abstand der federnden Windg.", "sc-s2", L, LengthFieldText(4, 2, s.sc - s.s2));
  Row("Wickelverhältnis"_oem, "w", "", SigText(s.w));
  Row("Steigungsverhältnis"_oem, "tan alfa", "", SigText(s.TanAlpha));
  Row("Steigung", "P", L, LengthFieldText(3, 2, s.P));
  Row("Steigungsverhältnis"_oem, "Dm/P", "", FieldText(3, 2, s.PitchRatio));
  Row("Windungsabstand", "aW0", L, LengthFieldText(3, 2, s.GapL0));
  Row("Windungsabstand bei L2", "aW2", L, LengthFieldText(3, 2, s.GapL2));
  Row("Schlankheitsgrad", "lambda", "", FieldText(3, 2, s.lambda));
  Row("Federarbeit zwischen s1 und s2", "W12", MomentUnitName(), MomentText(s.W12));
  Row("Federarbeit", "W0c", MomentUnitName(), MomentText(s.W0c));
  Row("Drahtlänge"_oem, "L", L, LengthText(s.WireLength));
  Row("Anpreßdruck"_oem, "R/D", StressUnitName(), StressText(SafeQuotient(s.R, s.Dm)));
  Row("Max.Durchmesser Aufnahmedorn", "Ddmax", L, LengthText(s.Ddmax));
  Row("Min.Durchmesser Aufnahmehülse"_oem, "Dhmin", L, LengthText(s.Dhmin));
  if (LoadSpectrum().Count == 0) WriteLifeLines();
}

void WriteValueTablePage() {
  const SpringDataRecord& s = SpringData();
  const ValueTableRecord& v = ValueTable();
  const int count = std::clamp<int>(v.Count, 0, kMaxValueTableCount);
  WriteResultLine("");
  WriteResultLine("Federlänge L' und Federkraft F'"_oem);
  const std::string L = LengthUnitName();
  ReportTable table;
  table.ReportTableInit(4, 15, 15, 15, 15, 0, 0, "Nr.", "     L'[" + L + "]", "     s'[" + L + "]",
                        "     F'[" + ForceUnitName() + "]", "   tau'[" + StressUnitName() + "]", "", "");
  table.ReportTableSetNoFrame(0);
  for (int i = 1; i <= count; ++i) {
    const Real l = v.Values[static_cast<std::size_t>(i)];
    const Real force = (s.L0 - l) * s.R;
    table.ReportTableRow(IntToTextBlankPad(i, 3), LengthFieldText(8, 2, l), LengthFieldText(8, 2, s.L0 - l),
                         ForceFieldText(8, 1, force), StressFieldText(12, 0, ShearStressOfForce(force)));
  }
  table.ReportTableDone();
}

void WriteTransversePage() {
  const TransverseLoadRecord& t = TransverseLoad();
  const std::string L = LengthUnitName();
  const std::string R = SpringRateUnitName();
  static const char* const kPoints[5] = {"0", "1", "2", "n", "c"};
  WriteOutputLine("");
  WriteResultLine("QUERKRAFT");
  WriteResultLine(SingleRuleLine());
  Row("Querkraft", "FQ", ForceUnitName(), ForceFieldText(5, 2, t.FQ));
  for (int i = 0; i < 5; ++i)
    Row("Querfederweg", std::string("sQ") + kPoints[i], L, LengthFieldText(5, 2, t.y[static_cast<std::size_t>(i)]));
  for (int i = 0; i < 5; ++i)
    Row("Querfederrate", std::string("RQ") + kPoints[i], R, RateFieldText(5, 2, t.Rq[static_cast<std::size_t>(i)]));
  for (int i = 0; i < 5; ++i)
    Row("Federratenverhältnis"_oem, std::string("eta ") + kPoints[i], R,
        RateFieldText(5, 2, t.RateRatio[static_cast<std::size_t>(i)]));
  for (int i = 0; i < 5; ++i)
    Row(std::string("Eigenfrequenz(1.Ordnung) bei sq") + kPoints[i], std::string("fq") + kPoints[i], "1/s",
        SigText(t.fq[static_cast<std::size_t>(i)]));
}

// Head of a further page; false when the output was aborted.
bool NextPage() {
  WriteReportPageHead(0, 0);
  return !Aborted();
}

void WritePages() {
  using PageWriter = void (*)();
  const PageWriter pages[4] = {WritePage1, WritePage2, WritePage3, WritePage4};
  for (PageWriter page : pages) {
    if (!NextPage()) return;
    page();
    WritePageEnd();
  }
  if (ValueTable().Count > 0) {
    if (!NextPage()) return;
    WriteValueTablePage();
    WritePageEnd();
  }
  if (TransverseLoad().FQ > 0.0L) {
    if (!NextPage()) return;
    WriteTransversePage();
    WritePageEnd();
  }
  if (!Aborted()) WriteMessagesSection();
}

}  // namespace

int PrintReportPageCount() {
  int pages = 4;
  if (ValueTable().Count > 0) ++pages;
  if (TransverseLoad().FQ > 0.0L) ++pages;
  if (G().ErrorMessageList.count > 0) ++pages;
  return pages;
}

void PrintReport() {
  const SpringDataRecord& s = SpringData();
  SetReportTitles(G().ProductName + " V" + G().ProgramVersion + " " + "Druckfederberechnung n. " + "EN 13906-1",
                  FormatNumberLine(s.DrawingName, s.DrawingNo), s.DrawingName2, G().TitleBlockLines[1],
                  G().TitleBlockLines[2], PrintReportPageCount());
  if (G().FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  OutputDeviceGuard guard;
  OpenOutputDevice(0, G().CurrentFileName + ".TXT", SpringOutputSubject("Standardausdruck"));
  if (Aborted()) return;
  WritePages();
  CloseOutputDevice();
}

}  // namespace zeb
