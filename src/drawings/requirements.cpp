// Requirements text block and data table of the production drawings.
#include <string>
#include <utility>

#include "base/format.h"
#include "base/text.h"
#include "drawings/figures.h"
#include "drawings/production.h"
#include "graphics/cad.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

constexpr Real kX0 = 27;

void Style(Real h, Real w) { CadTextStyle(2, 0, h, w); }

// A circle mark at (x, y), crossed when chosen.
void Mark(Real x, Real y, bool chosen) {
  CadMoveTo(x, y);
  DrawCircleMark();
  if (chosen) DrawCrossMark();
}

void Lines(Real x1, Real x2, std::initializer_list<Real> ys) {
  for (Real y : ys) CadLine(x1, y, x2, y);
}

}  // namespace

void DrawRequirementsBlock(std::uint16_t /*kind*/, std::uint16_t loadType, std::uint16_t variant) {
  const SpringDataRecord& s = SpringData();
  CadSetLayer(3);
  Style(2, 1.8L);
  CadText("Form 1.", 30, 190);
  CadText("Federenden angelegt ", 43, 190);
  CadText("und geschliffen", 43, 186);
  const Real f2 = variant == 0 ? 110 : 97;
  CadText("Form 2.", f2, 190);
  CadText("Federenden", f2 + 13, 190);
  CadText("angelegt", f2 + 13, 186);
  if (variant == 0) {
    CadText("Form 3.", 150, 190);
    CadText("Federenden", 163, 190);
    CadText("angelegt, geschmiedet", 163, 186);
    CadText("und geschliffen", 163, 182);
  }
  CadText("Anzahl der federnden Windungen", kX0, 176);
  CadText("Gesamtanzahl der Windungen", kX0, 170);
  CadText("Windungsrichtung", kX0, 162);
  CadText("rechts", kX0 + 60, 162);
  CadText("links", kX0 + 60, 157);
  CadText("Entgraten der Federenden", kX0, 149);
  CadText("nicht", kX0 + 62, 149);
  CadText("innen", kX0 + 62, 145);
  CadText("aussen", kX0 + 62, 141);
  CadText("Arbeitsweg (Hub)", kX0, 134);
  CadText("Lastspielfrequenz", kX0, 125);
  CadText("Draht- oder", kX0, 109);
  CadText("gezogen", kX0 + 59, 109);
  CadText("Staboberfläche"_oem, kX0, 105);
  CadText("gewalzt", kX0 + 59, 105);
  CadText("spitzenlos geschliffen", kX0 + 37, 101);
  CadText("Feder kugelgestrahlt", kX0 + 39, 97);
  CadText("Oberflächenschutz :"_oem, kX0, 90);
  CadText("Zulässige Schubspannung"_oem, kX0, 68);
  CadText("gerechnet mit Schubmodul", kX0, 63);
  CadText("Zusätzliche Angaben :"_oem, kX0, 55);
  CadText("Zulässige  Abweichungen"_oem, 148, 176);
  CadText("  nach EN 15800", 150, 172);
  CadText("    Gütegrad"_oem, 150, 168);
  if (variant == 0) {
    CadText("nach", 192, 172);
    CadText("DIN 2096", 190, 168);
  }
  const char* rows[] = {"De, Di", "L0", "F1", "F2", "e1", "e2", "d"};
  const Real ys[] = {160, 156, 152, 148, 144, 140, 135};
  for (int k = 0; k < 7; ++k) CadText(rows[k], 121, ys[k]);
  CadText("Fertigungsausgleich", 121, 130);
  CadText("durch:", 180, 130);
  Style(2, 1.55L);
  // The cases fitted to their field, before the column at x 180.
  auto fit = [](std::string_view text, Real y) { CadTextFit(text, 121, y, 180 - 0.5L - 121); };
  fit("a) wenn eine Federkraft und die zuge-", 124);
  fit("   hörige Länge vorgeschrieben sind"_oem, 120);
  fit("b) wenn eine Federkraft, die zugehörige"_oem, 111);
  fit("   Länge und L0 vorgeschrieben sind"_oem, 107);
  fit("c) wenn zwei Federkräfte und die zu-"_oem, 94);
  fit("   gehörigen Längen vorgeschrieben"_oem, 90);
  fit("   sind", 86);
  Style(2, 1.6L);
  CadText("L0", 180, 122);
  CadText("n und", 180, 113.5L);
  CadText("d", 180, 110.5L);
  CadText("n und", 180, 105.5L);
  CadText("De, Di", 180, 101.5L);
  CadText("L0, n und", 180, 96.5L);
  CadText("d", 180, 92.5L);
  CadText("L0, n und", 180, 87.5L);
  CadText("De, Di", 180, 83.5L);
  if (ProductionData().ShowSetLength != 0) CadText("Setzlänge"_oem, 121, 77);
  CadText("Prüffedern setzen !"_oem, 121, 71);
  Style(2, 1.4L);
  CadText("übrige Federn gesetzt"_oem, 121, 66);
  CadText("ungesetzt", 135.5L, 62);
  CadText("liefern", 159, 62);
  CadText("Ungesetzt zu liefernde", 170, 77);
  CadText("Federn dürfen länger"_oem, 170, 73);
  CadText("sein als L0", 170, 69);
  Style(2.5L, 2);
  if (loadType == 2 && s.ShowLd != 0 && variant == 0) {
    CadText("Hubspannung", 140, 240);
    if (s.tauhzul > 0) {
      if (s.Sh < 1)
        CadText("dauerfest bis " + FloatToStrDec(0, s.Sh * 100) + "% Hub", 140, 236);
      else
        CadText("Sicherheit gg.Dauerbruch: " + FloatToStrDec(2, s.Sh), 140, 236);
    }
  }
  if (variant == 0) {
    CadText("(Federrate", 144, 232);
    if (s.ShowP != 0) {
      CadText("(Drahtlänge"_oem, 144, 228);
      CadText("(Steigung", 144, 224);
      CadText("(Masse", 144, 220);
    }
  }
}

void DrawDrawingDataTable(std::uint16_t gradeDe, std::uint16_t gradeL0, std::uint16_t gradeF1, Real n, Real nt,
                          Real sh, std::uint16_t gradeE1, std::uint16_t gradeF2, std::uint16_t gradeE2, Real tolDe,
                          Real tolDeMinus, Real tolL0, Real tolL0Minus, Real tolF1, Real tolF1Minus, Real tolF2,
                          Real tolF2Minus, Real e1, Real e2, std::uint16_t variant) {
  const SpringDataRecord& s = SpringData();
  const ProductionDataRecord& p = ProductionData();
  CadSetLayer(3);
  Lines(18, 109, {181, 167, 154, 138, 130, 121, 114, 95, 82, 60});
  CadLine(23, 43, 23, 181);
  CadLine(109, 60, 109, 181);
  Style(2.5L, 1.9L);
  CadSetLayer(4);
  const Real rowY[] = {176, 162, 149, 133.5L, 125, 116.5L, 109, 90, 77};
  for (int k = 0; k < 9; ++k) CadText(IntToText(k + 1), 20, rowY[k]);
  CadText("10", 114.8L, 176);
  CadText("11", 114.8L, 129);
  CadText("12", 114.8L, 77);
  CadText("13", 18.8L, 55);
  CadSetLayer(3);
  Style(2, 1.8L);
  CadText("1", 148, 164);
  CadText("2", 164, 164);
  CadText("3", 180, 164);
  CadText("n  = " + MoreDigits(FormatFloatField(4, 2, n), FloatToStrSig(n)), kX0 + 55, 176);
  CadText("nt = " + MoreDigits(FormatFloatField(4, 2, nt), FloatToStrSig(nt)), kX0 + 55, 170);
  SetMarkSize(1.5L);
  Mark(104, 163, s.WindingDir == 1);
  Mark(104, 158, s.WindingDir == 2);
  Mark(104, 150, p.Deburr == 1);
  Mark(104, 146, p.Deburr == 2 || p.Deburr == 5);
  Mark(104, 142, p.Deburr == 3 || p.Deburr == 5);
  if (s.ShowLd != 0) CadText("sh = " + FormatTravel(sh) + " " + LengthUnitName(), kX0 + 55, 134);
  std::string freq = "........";
  if (s.f != 0) freq = variant == 0 ? "n = " + FloatToStrSig(s.f) + "/s" : "f = " + FloatToStrSig(s.f) + " Hz";
  CadText(freq, kX0 + 55, 125);
  CadText("Arbeitstemperaturbereich von " + FormatTemperature(s.T1) + " bis " + FormatTemperature(s.T2) + " " +
              TemperatureUnitName(),
          kX0, 116.5L);
  Mark(104, 110, s.MaterialCoiling == 1);
  Mark(104, 106, s.MaterialCoiling == 2);
  Mark(104, 102, s.MaterialCoiling == 3);
  Mark(104, 98, s.ShotPeened == 'J');
  // The typed texts whole in their fields (to the column line at x 109).
  const Real field = 109 - 1 - kX0;
  CadTextWhole(p.Surface, kX0, 85, field);
  CadTextWhole("Werkstoff: " + s.MaterialName, kX0, 77, field);
  if (MaterialSource() > 0) {
    const MaterialRecord& m = ZEBWST_Record();
    bool thirdEmpty = true;
    for (char ch : m.Name3) thirdEmpty = thirdEmpty && ch == ' ';
    const bool hide2 = s.HideMaterialLine2 != 0, hide3 = s.HideMaterialLine3 != 0;
    std::string line;
    bool draw = true;
    if ((thirdEmpty || hide3) && !hide2) line = m.Name2;
    else if (!hide2 && !hide3) line = TrimBlanks(m.Name2) + "  (" + TrimBlanks(m.Name3) + ")";
    else if (!hide3 && hide2) line = TrimBlanks(m.Name3);
    else draw = false;
    if (draw) CadTextWhole(line, kX0, 73, field);
  }
  CadText("tau zul =" + KnownStress(s.tauzul, FormatStressField(5, 0, s.tauzul), " -") + " " + StressUnitName(),
          kX0 + 45, 68);
  CadText("G = " + FormatStressField(6, 0, s.GT) + " " + StressUnitName(), kX0 + 50, 63);
  Style(2, 1.8L);
  // Row 13 has the whole width of the frame below the right block.
  CadTextWhole(p.Extra1, kX0, 50, 205 - 1 - kX0);
  CadTextWhole(p.Extra2, kX0, 46, 205 - 1 - kX0);
  Lines(114, 205, {181, 134, 128, 82, 60});
  Lines(119, 205, {163, 159, 155, 151, 147, 143, 139, 118, 100});
  Lines(178, 205, {109, 91});
  CadLine(114, 60, 114, 181);
  CadLine(119, 60, 119, 181);
  CadLine(178, 82, 178, 134);
  CadLine(141, 134, 141, 172);
  CadLine(157, 139, 157, 166);
  CadLine(173, 139, 173, 166);
  CadLine(189, 139, 189, 172);
  struct GradeRow {
    Real y;
    int grade;
    bool condition;
    std::string value;
  };
  const GradeRow gradeRows[] = {
      {161, gradeDe, s.Allowance != 3 && s.Allowance != 5, FormatLengthTolerancePair(tolDe, tolDeMinus)},
      {157, gradeL0, s.Allowance != 1 && s.Allowance != 4 && s.Allowance != 5,
       FormatLengthTolerancePair(tolL0, tolL0Minus)},
      {153, gradeF1, true, FormatForceTolerancePair(tolF1, tolF1Minus)},
      {149, gradeF2, true, FormatForceTolerancePair(tolF2, tolF2Minus)},
      {145, gradeE1, e1 != 0, FormatLength(e1)},
      {141, gradeE2, e2 != 0, FormatLength(e2)}};
  const Real gradeX[] = {149, 165, 181, 197};
  for (const GradeRow& r : gradeRows) {
    for (int k = 1; k <= (variant == 0 ? 4 : 3); ++k) Mark(gradeX[k - 1], r.y, r.condition && r.grade == k);
    // An own deviation fitted between its column and the frame line.
    if (variant == 1 && r.grade == 5 && r.condition) CadTextFit(r.value, 189.5L, r.y - 1, 205 - 0.5L - 189.5L);
  }
  if (s.Allowance != 2 && s.Allowance != 4 && ((s.WireStd >= 1 && s.WireStd <= 15) || s.WireStd == 17))
    CadTextFit("nach " + WireStdNames(s.WireStd), 143, 135, 205 - 1 - 143);
  const Real compY[] = {123, 113.5L, 104.5L, 95.5L, 86.5L};
  for (int k = 1; k <= 5; ++k) Mark(200, compY[k - 1], s.Allowance == k);
  const std::string ls = p.Ls == 0 ? std::string("........") : FormatLengthField(4, 2, p.Ls);
  if (p.ShowSetLength != 0) CadText("Ls = " + ls + " " + LengthUnitName(), 141, 77);
  Mark(155, 67, p.Preset == 1);
  Mark(155, 63, p.Preset == 2);
}

}  // namespace zeb
