#include "reports/printout_short.h"

#include <cmath>
#include <string>

#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/mathx.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "reports/printout_lines.h"
#include "reports/table.h"
#include "spring/spring_data.h"

namespace zeb {

using namespace printout;

namespace {

constexpr Real kPi = 3.14159265358979323846264338327950288L;

bool Aborted() { return G().AbortFlag != 0; }

// A safety factor against tau zul: "-" without a tau zul.
std::string SafetyFieldText(Real S) { return SpringData().tauzul > 0 ? FieldText(2, 2, S) : "-"; }

// The ends of the table: corrected row of a dynamic spring or plain row.
void WriteEndRow(bool corrected, std::string_view ch, ReportTable& table, Real L, Real s, Real F, Real tau) {
  const SpringDataRecord& d = SpringData();
  const std::string c(ch);
  if (corrected) {
    table.ReportTableRow("L" + c + "=" + LengthFieldText(4, 2, L), "s" + c + "=" + LengthFieldText(4, 2, s),
                         "F" + c + "=" + ForceFieldText(5, 2, F), "tauk" + c + "=" + StressFieldText(5, 0, tau * d.k),
                         SafetyFieldText(SafeQuotient(SafeQuotient(d.tauzul, tau), d.k)));
  } else {
    WritePointRowPlain(table, ch, L, s, F, tau, SafeQuotient(d.tauzul, tau));
  }
}

}  // namespace

void WritePointRow(ReportTable& table, std::string_view ch, int loadType, Real L, Real s, Real F, Real tolPlus,
                   Real tolMinus, Real tau, Real tauk, Real S) {
  const std::string c(ch);
  table.ReportTableRow("L" + c + "=" + LengthFieldText(4, 2, L), "s" + c + "=" + LengthFieldText(4, 2, s),
                       "F" + c + "=" + ForceFieldText(5, 2, F) + FormatForceTolerancePair(tolPlus, tolMinus),
                       loadType == 1 ? "tau" + c + " = " + StressFieldText(4, 0, tau)
                                     : "tauk" + c + "= " + StressFieldText(4, 0, tauk),
                       SafetyFieldText(S));
}

void WritePointRowPlain(ReportTable& table, std::string_view ch, Real L, Real s, Real F, Real tau, Real S) {
  const std::string c(ch);
  table.ReportTableRow("L" + c + "=" + LengthFieldText(4, 2, L), "s" + c + "=" + LengthFieldText(4, 2, s),
                       "F" + c + "=" + ForceFieldText(5, 2, F), "tau" + c + " = " + StressFieldText(4, 0, tau),
                       SafetyFieldText(S));
}

void WriteStrokeRow(ReportTable& table, int loadType, Real sh, Real Fh, Real taukh, Real Sh) {
  if (loadType != 2) return;
  table.ReportTableRow("", "sh=" + LengthFieldText(4, 2, sh), "Fh=" + ForceFieldText(5, 2, Fh),
                       "taukh= " + StressFieldText(4, 0, taukh),
                       SpringData().tauhzul > 0 ? FieldText(2, 2, Sh) : std::string("-"));
}

void WriteWorkingPointTable(bool correctedEnds) {
  const SpringDataRecord& s = SpringData();
  ReportTable table;
  table.ReportTableInit(16, 14, 20, 15, 5, 0, 0, "Federlänge "_oem + LengthUnitName(), "Federweg " + LengthUnitName(),
                        "Federkraft " + ForceUnitName(), "tau " + StressUnitName(), " S", "", "");
  table.ReportTableSetNoFrame(0);
  const bool freeL0 = s.Allowance == 1 || s.Allowance == 4 || s.Allowance == 5;
  table.ReportTableRow("L0=" + LengthFieldText(4, 2, s.L0) +
                       (freeL0 ? std::string() : FormatLengthTolerancePair(s.TolL0, s.TolL0Minus)));
  WritePointRow(table, "1", s.LoadType, s.L1, s.s1, s.F1, s.TolF1, s.TolF1Minus, s.tau1, s.tauk1, s.S1);
  if (s.LoadType == 2) WriteStrokeRow(table, s.LoadType, s.sh, s.F2 - s.F1, s.taukh, s.Sh);
  WritePointRow(table, "2", s.LoadType, s.L2, s.s2, s.F2, s.TolF2, s.TolF2Minus, s.tau2, s.tauk2, s.S2);
  const bool corrected = correctedEnds && s.k > 0.0L && s.LoadType == 2;
  WriteEndRow(corrected, "n", table, s.Ln, s.sn, s.Fn, s.taun);
  WriteEndRow(corrected, "c", table, s.Lc, s.sc, s.Fc, s.tauc);
  table.ReportTableDone();
}

void SetExtractTitles() {
  const SpringDataRecord& s = SpringData();
  SetReportTitles(G().ProductName + " V" + G().ProgramVersion + "  " + "Druckfederberechnung n. " + "EN 13906-1",
                  FormatNumberLine(s.DrawingName, s.DrawingNo), s.DrawingName2, G().TitleBlockLines[1],
                  G().TitleBlockLines[2], 0);
}

void WriteDiameterWireLine(bool roundOnly) {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  switch (s.DiameterGiven) {
    case 1: WriteResultText("De = " + LengthText(s.De)); break;
    case 2: WriteResultText("Di = " + LengthText(s.Di)); break;
    default: WriteResultText("Dm = " + LengthText(s.Dm)); break;
  }
  const std::string wt = FormatLengthTolerancePair(s.TolWire, -s.TolWire);
  const std::string w = SigText(s.w);
  const std::string k = FieldText(1, 2, s.k);
  std::string line = FormatLengthTolerancePair(s.TolDe, s.TolDeMinus) + " " + L;
  const int cs = roundOnly ? 1 : s.CrossSection;
  if (cs == 2 || cs == 4)
    line += "   b = " + LengthText(s.d) + " " + L + "  h = " + LengthText(s.h) + " " + L + "   w = " + w +
            "  k = " + k;
  else if (cs == 3)
    line += "   a = " + LengthText(s.d) + wt + " " + L + "   w = " + w + "  k = " + k;
  else if (cs == 7)
    line += "   d= " + LengthText(s.d) + wt + " " + L + "  di= " + LengthText(s.di) + " " + L + "  w= " + w +
            "  k= " + k;
  else
    line += "   d= " + LengthText(s.d) + wt + " " + L + "  w= " + w + "  k= " + k;
  WriteOutputLine(line);
}

std::string CoilCountLine() {
  const SpringDataRecord& s = SpringData();
  return "n = " + SigText(s.n) + "     nt = " + SigText(s.nt) + "     nt-n = " + SigText(s.EndCoils[0]);
}

namespace {

void WriteExtractBody() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  const std::string tau = StressUnitName();

  WriteResultLine("");
  WriteDiameterWireLine(false);
  WriteOutputLine("");
  WriteResultLine(CoilCountLine());
  WriteOutputLine("");
  WriteResultLine("Federenden    :  " + s.EndFormText);
  WriteResultLine("");

  const bool winding = s.WindingDir == 1 || s.WindingDir == 2;
  if (winding || s.ShotPeened == 'J') {
    WriteResultText("");
    if (winding) WriteOutputText("Windungsrichtung: " + WindingDirNames(s.WindingDir) + "      ");
    if (s.ShotPeened == 'J') WriteOutputText("Behandlung    : Feder kugelgestrahlt");
    WriteOutputLine("");
    WriteOutputLine("");
  }

  WriteResultText("R = " + RateText(s.R) + " " + SpringRateUnitName() + "    fe = " + SigText(s.fe * 60.0L) + "/min");
  if (s.EndForm != 1)
    WriteOutputLine("     e1 = " + LengthDecText(2, s.e1) + L + "    e2 = " + LengthDecText(2, s.e2) + L);
  else
    WriteOutputLine("");
  WriteOutputLine("");

  WriteResultLine("L dr = " + LengthText(kPi * s.Dm * s.nt) + " " + L + "    m = " + SigText(s.m) + " kg/1000" +
                  "Stück"_oem);
  WriteResultLine("");
  WriteResultLine("tan alpha = " + SigText(s.TanAlpha) + "     L0/D = " + SigText(SafeQuotient(s.L0, s.Dm)) +
                  "     s2/L0 = " + SigText(SafeQuotient(s.s2, s.L0)));
  WriteOutputLine("");

  WriteMaterialNameLines();
  WriteResultLine("");
  WriteResultLine("G = " + StressText(s.G) + " " + tau + "     t = " +
                  (std::isfinite(s.T) ? FormatTemperatureDec(0, s.T) : std::string()) + " " +
                  TemperatureUnitName() + "   G" + (std::isfinite(s.T) ? FloatToStrDec(0, s.T) : std::string()) +
                  " = " + StressText(s.GT) + " " + tau);
  WriteOutputLine("");

  WriteResultText("tauz = " + KnownStress(s.tauzul, StressDecText(0, s.tauzul)) + " " + tau);
  if (s.tauhzul > 0.0L) WriteOutputText("     tauhz = " + StressDecText(0, s.tauhzul) + " " + tau);
  WriteOutputLine("     Rm = " + KnownStress(s.Rm, StressDecText(0, s.Rm)) + " " + tau);
  WriteResultLine("");

  WriteWorkingPointTable(true);
  WriteResultLine("");

  if (s.sk == 9999.0L) WriteResultLine("Die Feder ist knickfest gem. EN 13906-1:2002");
  if (s.Statistics != 'N') {
    WriteResultLine("");
    WriteResultLine("Ausschuß:  F1 = "_oem + FieldText(2, 1, s.ScrapF1) + "%   F2 = " + FieldText(2, 1, s.ScrapF2) +
                    "%   Dm = " + FieldText(2, 1, s.ScrapDm) + "%");
  }
  if (G().ErrorMessageList.count > 0) {
    WriteResultLine("");
    WriteRemarksShort();
  }
}

}  // namespace

void PrintExtractPage(std::string_view what, void (*writeBody)()) {
  SetExtractTitles();
  OutputDeviceGuard guard;
  OpenOutputDevice(0, G().CurrentFileName + ".txt", SpringOutputSubject(what));
  if (Aborted()) return;
  WriteReportPageHead(0, 0);
  if (Aborted()) return;
  writeBody();
  if (!Aborted()) WritePageEnd();
  CloseOutputDevice();
}

void PrintReportExtract() {
  if (G().FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  PrintExtractPage("Auszug", WriteExtractBody);
}

}  // namespace zeb
