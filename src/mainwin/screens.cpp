#include "mainwin/screens.h"

#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <string_view>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/text.h"
#include "base/typed_number.h"
#include "mainwin/online.h"
#include "platform/oem_literal.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/dimension.h"
#include "spring/formulas.h"
#include "spring/spring_data.h"
#include "spring/tolerances.h"
#include "spring/wirestd.h"

namespace zeb {

namespace {

int g_searchPasses = 0;

bool TwoWireRows(int cs) { return cs == 2 || cs == 4 || cs == 7; }

// The edit texts as the form was given them. A row whose text came back
// unchanged keeps the value it shows (rounded for the display, it is never
// read back); a typed one is checked and taken.
std::array<std::string, kOnlineMaxRows + 1> g_shownTexts;

void RememberShownTexts() { g_shownTexts = Online().EditText; }

const std::string& EditOf(int row) { return Online().EditText[static_cast<std::size_t>(row)]; }
bool Typed(int row) { return EditOf(row) != g_shownTexts[static_cast<std::size_t>(row)]; }

std::string Trimmed(int row) { return TrimBlanks(EditOf(row)); }

// What the rows of one pass brought: a typed row, and whether a typed
// text was refused (then the whole entry is: the pass is taken back).
struct PassInput {
  bool typed = false;
  bool refused = false;
};
PassInput g_pass;

// A row's number into x when its text was typed. A text that is not a
// number, or whose value lies outside the row's range, is refused with a
// message naming the row (one per entry) and x keeps its value.
void Take(int row, const NumberRange& range, Real& x) {
  if (!Typed(row)) return;
  g_pass.typed = true;
  if (g_pass.refused) return;
  if (!ReadTypedNumber(TrimBlanks(Online().LabelText[static_cast<std::size_t>(row)]), EditOf(row), range, x))
    g_pass.refused = true;
}
void Len(int row, Real& x) { Take(row, kLengthRange, x); }

// A shortcut text ("#", "<", "*" ...) typed into a row.
bool Shortcut(int row, std::string_view text) {
  if (Trimmed(row) != text) return false;
  g_pass.typed = true;
  return true;
}

// The spring, its title line and the messages as they were, to be put
// back when an entry is refused or a screen is left without one.
struct Kept {
  SpringGlobals spring = SG();
  std::string title = G().TitleBlockLines[1];
  ErrorMessageListT messages = G().ErrorMessageList;
  Byte fatal = G().FatalErrorFlag;
  void Restore() const {
    SG() = spring;
    G().TitleBlockLines[1] = title;
    G().ErrorMessageList = messages;
    G().FatalErrorFlag = fatal;
  }
};

// One pass of a screen on the rows the form gave back: a refused entry
// leaves every value as it was before it. True when the pass took a typed
// entry.
template <class F>
bool EntryPass(F&& pass) {
  const Kept before;
  ResetErrorMessages();
  g_pass = PassInput{};
  pass();
  if (g_pass.refused) {
    before.Restore();
    return false;
  }
  return g_pass.typed;
}

void SetRow(int row, std::string_view label, std::string_view unit) {
  Online().LabelText[static_cast<std::size_t>(row)] = std::string(label);
  Online().UnitText[static_cast<std::size_t>(row)] = std::string(unit);
}
void SetEdit(int row, std::string text) { Online().EditText[static_cast<std::size_t>(row)] = std::move(text); }
void SetOut(int j, std::string name, std::string value, std::string unit) {
  OnlineState& o = Online();
  o.OutName[static_cast<std::size_t>(j)] = std::move(name);
  o.OutValue[static_cast<std::size_t>(j)] = std::move(value);
  o.OutUnit[static_cast<std::size_t>(j)] = std::move(unit);
}

// After a fatal message the values of the output rows were not (all)
// calculated: the rows show "-" in their place.
void NoValuesAfterFatal() {
  if (G().FatalErrorFlag == 0) return;
  OnlineState& o = Online();
  for (int j = 1; j <= o.OutCount && j <= kOnlineMaxRows; ++j)
    if (!o.OutName[static_cast<std::size_t>(j)].empty()) o.OutValue[static_cast<std::size_t>(j)] = "-";
}

std::string FirstWireLabel(int cs) {
  if (cs == 2 || cs == 4) return "b";
  if (cs == 3) return "a";
  return "d";
}
std::string SecondWireLabel(int cs) { return cs == 7 ? "di" : "h"; }
std::string DiameterLabel() {
  switch (SpringData().DiameterGiven) {
    case 1: return "De";
    case 2: return "Di";
    default: return "Dm";
  }
}
Real& DiameterField() {
  SpringDataRecord& s = SpringData();
  switch (s.DiameterGiven) {
    case 1: return s.De;
    case 2: return s.Di;
    default: return s.Dm;
  }
}

// "#", "-", "+" typed into a row: the standard diameter at or above x, one
// below, one above.
bool StandardShortcut(int row, Real& x) {
  if (!Typed(row)) return false;
  const std::string text = Trimmed(row);
  int step = 0;
  if (text == "#") step = kWireRoundUp;
  else if (text == "-") step = kWireStepDown;
  else if (text == "+") step = kWireStepUp;
  else return false;
  g_pass.typed = true;
  const Real v = StandardWireDiameter(SpringData().WireStd, step, x);
  if (std::isfinite(v)) x = v;
  return true;
}

void StressRows(int first);

// Rows 3 to 10 of the dimensioning and pre-dimensioning screens.
void LengthAndStressRows() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName(), S = StressUnitName();
  SetOut(3, "Ln", FormatLength(s.Ln), L);
  SetOut(4, "Lc", FormatLength(s.Lc), L);
  StressRows(5);
  SetOut(8, "tau n", FormatStress(s.taun), S);
  SetOut(9, "tau c", FormatStress(s.tauc), S);
  SetOut(10, "tau zul", KnownStress(s.tauzul, FormatStress(s.tauzul)), S);
}

void StressRows(int first) {
  const SpringDataRecord& s = SpringData();
  const std::string u = StressUnitName();
  if (s.LoadType != 1) {
    SetOut(first, "tau k1", FormatStress(s.tauk1), u);
    SetOut(first + 1, "tau k2", FormatStress(s.tauk2), u);
    SetOut(first + 2, "tau kh", FormatStress(s.taukh), u);
  } else {
    SetOut(first, "tau 1", FormatStress(s.tau1), u);
    SetOut(first + 1, "tau 2", FormatStress(s.tau2), u);
    SetOut(first + 2, "tau h", FormatStress(s.tau2 - s.tau1), u);
  }
}

std::string ModulusName() { return "G " + FormatTemperature(SpringData().T); }

// The reals a screen writes or shows; a pass that leaves one of them not
// finite is taken back.
bool ScreenValuesFinite() {
  const SpringDataRecord& s = SpringData();
  for (Real v : {s.d, s.h, s.di, s.Dm, s.De, s.Di, s.n, s.nt, s.L0, s.L1, s.L2, s.Ln, s.Lc, s.F1, s.F2, s.Fn,
                 s.Fc, s.s1, s.s2, s.sh, s.sn, s.sc, s.R, s.G, s.GT, s.Rm, s.tauzul, s.tauhzul, s.tau1, s.tau2,
                 s.tauk1, s.tauk2, s.taukh, s.taun, s.tauc, s.T, s.fe, s.P, s.TolF2, s.TolWire, s.EndCoilsInput,
                 s.w, s.k, s.lambda})
    if (!std::isfinite(v)) return false;
  return true;
}

// Runs one pass of a screen; a pass whose values are not finite puts the
// data set back and says so.
template <class F>
void GuardedPass(F&& pass) {
  const SpringDataRecord before = SpringData();
  pass();
  if (!ScreenValuesFinite()) {
    SpringData() = before;
    AddErrorMessage("Fehler : Eingabe außerhalb des Zahlenbereichs"_oem);
  }
}

// What the sheet on the screen was drawn from, and what its drawing left
// in the globals it touches. A pass that leaves all of it as it was (Return
// without a change) keeps the sheet instead of drawing it again; the
// globals are set as the drawing would set them.
struct SheetSource {
  Kept state;
  Byte abort = 0;
  std::string minute;     // of the footer's date and time
  int kind = 0, helpLevel = 0;
  std::int32_t width = 0, height = 0;
  std::string picture;  // the picture's stamp after the drawing
};

SheetSource CurrentSheetSource() {
  SheetSource s;
  s.abort = G().AbortFlag;
  s.minute = StampText();
  s.kind = Config().CurrentDrawingKind;
  s.helpLevel = G().HelpLevel;
  s.width = G().ScreenWidth;
  s.height = G().ScreenHeight;
  return s;
}

bool SameSource(const SheetSource& a, const SheetSource& b) {
  return a.state.spring == b.state.spring && a.state.title == b.state.title && a.state.messages == b.state.messages &&
         a.state.fatal == b.state.fatal && a.abort == b.abort && a.minute == b.minute && a.kind == b.kind &&
         a.helpLevel == b.helpLevel && a.width == b.width && a.height == b.height;
}

// The sheet of the screen that is open: what it was drawn from, and what
// the drawing left.
struct ShownSheet {
  SheetSource from, after;
};
std::optional<ShownSheet> g_sheet;

void DrawSheet() {
  SheetSource from = CurrentSheetSource();
  if (g_sheet && Graphics().PictureStamp() == g_sheet->after.picture && SameSource(from, g_sheet->from)) {
    g_sheet->after.state.Restore();
    G().AbortFlag = g_sheet->after.abort;
    return;
  }
  Drawings().RedrawCurrentDrawing();
  ShownSheet shown{std::move(from), CurrentSheetSource()};
  shown.after.picture = Graphics().PictureStamp();
  if (!shown.after.picture.empty())
    g_sheet = std::move(shown);
  else
    g_sheet.reset();
}

// The end of a screen: with an entry taken, the calculation of the spring
// as it now is; without one (only looked at, or every entry refused) the
// spring exactly as it was when the screen opened.
void EndScreen(const Kept& entry, bool entered) {
  g_sheet.reset();
  EndOnlineInput();
  if (entered)
    RunCalculation();
  else
    entry.Restore();
}

void ShowForm(int& row, int helpBase, int hiddenRow) {
  bool changed = false;
  DrawSheet();
  RememberShownTexts();
  if (hiddenRow != 0)
    RunOnlineInputHiding(row, helpBase, changed, 0, hiddenRow);
  else
    RunOnlineInput(row, helpBase, changed);
}

// ---------------------------------------------------------------- recalculation

void RecalculationRows() {
  const int cs = SpringData().CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  const std::string L = LengthUnitName();
  SetRow(1, FirstWireLabel(cs), L);
  if (o) SetRow(2, SecondWireLabel(cs), L);
  SetRow(2 + o, DiameterLabel(), L);
  SetRow(3 + o, "L0", L);
  SetRow(4 + o, "n(if)", "");
  SetRow(5 + o, "L1", L);
  SetRow(6 + o, "L2", L);
  SetRow(7 + o, "T", TemperatureUnitName());
  SetRow(8 + o, "P", L);
}

void ParseRecalculation(int lastRow) {
  SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  if (!StandardShortcut(1, s.d)) Len(1, s.d);
  if (o) {
    if (cs == 7) Len(2, s.di);
    else if (!StandardShortcut(2, s.h)) Len(2, s.h);
  }
  Len(2 + o, DiameterField());
  Len(3 + o, s.L0);
  Take(4 + o, kCoilRange, s.n);
  Len(5 + o, s.L1);
  Len(6 + o, s.L2);
  Take(7 + o, kTemperatureRange, s.T);
  Len(8 + o, s.P);
  if (lastRow == 8 + o && Typed(8 + o) && !g_pass.refused) {
    // Coils from the pitch; no pitch (0 or less) or an unusable one keeps n.
    s.TolWire = WireToleranceForStandard(s.WireStd, o ? MaxExt(s.h, s.d) : s.d);
    if (s.EndForm >= 1 && s.EndForm <= 3) s.EndCoilsInput = EndFormConstant(s.EndForm, s.CoilingKind);
    const Real t = o ? s.h : s.d;
    const Real divisor = s.P + s.TolWire;
    if (s.P > 0.0L && divisor > 0.0L) {
      const Real n = (s.L0 - (s.EndCoils[0] + s.EndCoilsInput) * (t + s.TolWire)) / divisor;
      if (std::isfinite(n)) s.n = n;
    }
  }
}

void RecalculationOutputsToForm() {
  const SpringDataRecord& s = SpringData();
  SetOut(1, "F1", FormatForce(s.F1), ForceUnitName());
  SetOut(2, "F2", FormatForce(s.F2), ForceUnitName());
  SetOut(3, "Ln", FormatLength(s.Ln), LengthUnitName());
  SetOut(4, "Lc", FormatLength(s.Lc), LengthUnitName());
  StressRows(5);
  SetOut(8, ModulusName(), FormatStress(s.GT), StressUnitName());
  SetOut(9, "tau c", FormatStress(s.tauc), StressUnitName());
  SetOut(10, "tau zul", KnownStress(s.tauzul, FormatStress(s.tauzul)), StressUnitName());
  SetOut(11, "R", FormatSpringRate(s.R), SpringRateUnitName());
  SetOut(12, "fe", FloatToStrSig(s.fe), "Hz");
  NoValuesAfterFatal();
}

// ---------------------------------------------------------------- dimensioning

struct Search {
  int mode = 0;  // 0 none, 1..6
  Real A = 0.0L, B = 0.0L;
  int passes = 0;
};

bool StressesExceeded(int mode) {
  // Without a permissible stress only the stroke is checked.
  return StressesPastTauZul() || (StrokePastTauhZul() && (mode != 5 || DesignValuesPositive()));
}

bool LengthsMet() {
  const SpringDataRecord& s = SpringData();
  const Real need = s.F2 + s.TolF2;
  return s.Ln <= s.L2 && s.Fc >= need && (s.Fn >= need || s.LoadType == 1 || s.WarningsOn != 1);
}

Real& SearchedValue(int mode) {
  SpringDataRecord& s = SpringData();
  if (mode <= 2) return s.F1;
  if (mode <= 4) return s.F2;
  return s.d;
}

// Starts a search; false when its bounds cannot be had.
bool StartSearch(Search& search, int mode) {
  SpringDataRecord& s = SpringData();
  search = Search{};
  switch (mode) {
    case 1:
    case 2:
      search.A = s.F2, search.B = 0.0L;
      break;
    case 3:
    case 4: {
      const Real f = ForceAtTauZul();
      if (!std::isfinite(f)) return false;
      search.A = 3.0L * f, search.B = s.F1;
      break;
    }
    default:
      IterateWireDiameter();
      if (!std::isfinite(s.d)) return false;
      search.B = s.d, search.A = 2.0L * s.d;
      break;
  }
  search.mode = mode;
  g_searchPasses = 0;
  return true;
}

void SearchPass(Search& search) {
  Real& v = SearchedValue(search.mode);
  v = (search.A + search.B) / 2.0L;
  RunCalculationFlagged();
  const int m = search.mode;
  const bool towardsA = m == 1 || m == 4 || m == 5 ? StressesExceeded(m) : LengthsMet();
  // Modes 3 and 4 take the upper bound when the criterion holds, the
  // others the lower one.
  if (m == 3 || m == 4) {
    if (towardsA) search.A = v; else search.B = v;
  } else {
    if (towardsA) search.B = v; else search.A = v;
  }
  ++search.passes;
  g_searchPasses = search.passes;
  if (search.passes > 20) {
    switch (m) {
      case 1: v = v >= 0.01L ? v + 0.01L : 0.0L; break;
      case 2: v -= 0.01L; break;
      case 3: v += 0.01L; break;
      case 4: v -= 0.01L; break;
      case 5: v += 0.005L; break;
      default: v -= 0.005L; break;
    }
    search.mode = 0;
  }
}

void DimensioningRows() {
  const SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  const std::string L = LengthUnitName();
  SetRow(1, "F1", ForceUnitName());
  SetRow(2, "F2", ForceUnitName());
  SetRow(3, s.Point1Off == 1 ? "s2" : "sh", L);
  SetRow(4, s.DesignMethod == 2 ? "L1" : "L2", L);
  SetRow(5, DiameterLabel(), L);
  SetRow(6, FirstWireLabel(cs), L);
  if (o) SetRow(7, SecondWireLabel(cs), L);
  SetRow(7 + o, "n(if)", "");
  SetRow(8 + o, "R", SpringRateUnitName());
}

void LengthFromSolid() {
  SpringDataRecord& s = SpringData();
  RunCalculationFlagged();
  if (s.R != 0.0L) {
    const Real l2 = RoundToDecimals(1, s.Ln + 1.1L * s.TolF2 / s.R);
    if (std::isfinite(l2)) s.L2 = l2;
  }
}

// Parses the rows; returns the search mode an entry asked for (0 none).
int ParseDimensioning(int lastRow, bool& estimate) {
  SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  int mode = 0;
  estimate = false;
  if (Shortcut(1, "<")) mode = 1;
  else if (Shortcut(1, ">")) mode = 2;
  else Take(1, kForceRange, s.F1);
  if (Shortcut(2, "<")) mode = 3;
  else if (Shortcut(2, ">")) mode = 4;
  else Take(2, kForceRange, s.F2);
  Len(3, s.sh);
  Len(5, DiameterField());
  if (Shortcut(6, "<")) mode = 5;
  else if (Shortcut(6, ">")) mode = 6;
  else if (Shortcut(6, "*")) estimate = true;
  else if (!StandardShortcut(6, s.d)) Len(6, s.d);
  if (o) {
    if (cs == 7) Len(7, s.di);
    else Len(7, s.h);
  }
  if (g_pass.refused) return 0;
  if (Shortcut(4, "<")) {
    LengthFromSolid();
  } else if (s.DesignMethod == 2) {
    // L2 follows L1 and the stroke, when one of them was entered.
    if (Typed(4) || Typed(3)) {
      Len(4, s.L1);
      s.L2 = s.L1 - s.sh;
    }
  } else {
    Len(4, s.L2);
  }
  if (g_pass.refused) return 0;
  if (lastRow == 7 + o && Typed(7 + o)) {
    Take(7 + o, kCoilRange, s.n);
    if (g_pass.refused) return 0;
    DeriveRateAndForces();
  } else if (lastRow == 8 + o && Typed(8 + o)) {
    Take(8 + o, kSpringRateRange, s.R);
    if (g_pass.refused) return 0;
    switch (s.RInputMethod) {
      case 1:
        if (s.R != 0.0L) s.sh = (s.F2 - s.F1) / s.R;
        break;
      case 2: s.F2 = s.F1 + s.R * s.sh; break;
      case 3: s.F1 = s.F2 - s.R * s.sh; break;
      default: break;
    }
  }
  return mode;
}

void DimensioningOutputsToForm() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  if (s.DesignMethod == 2)
    SetOut(1, "L2", FormatLength(s.L2), L);
  else
    SetOut(1, "L1", FormatLength(s.L1), L);
  SetOut(2, "L0", FormatLength(s.L0), L);
  LengthAndStressRows();
  SetOut(11, "fe", FloatToStrSig(s.fe), "Hz");
  NoValuesAfterFatal();
}

// ---------------------------------------------------------------- pre-dimensioning

void PreDimensioningRows() {
  const std::string L = LengthUnitName();
  SetRow(1, "G", StressUnitName());
  SetRow(2, DiameterLabel(), L);
  SetRow(3, "L0", L);
  SetRow(4, "L1", L);
  SetRow(5, "L2", L);
  SetRow(6, "F2", ForceUnitName());
  SetRow(7, FirstWireLabel(SpringData().CrossSection), L);
  SetRow(8, "n (if)", "");
  SetRow(9, "T", TemperatureUnitName());
}

void PreDimensioningPass(int lastRow) {
  SpringDataRecord& s = SpringData();
  Take(1, kModulusRange, s.G);
  Len(2, DiameterField());
  Len(3, s.L0);
  Len(4, s.L1);
  Len(5, s.L2);
  Take(6, kForceRange, s.F2);
  Len(7, s.d);
  Take(8, kCoilRange, s.n);
  Take(9, kTemperatureRange, s.T);
  if (g_pass.refused) return;
  DeriveDiameters(s.DiameterGiven);
  s.GT = ShearModulusAtTemp(s.G, s.T);
  s.s2 = s.L0 - s.L2;
  s.s1 = s.L0 - s.L1;
  s.sh = s.L1 - s.L2;
  if (lastRow == 8 && Typed(8)) {
    DeriveRateAndForces();
  } else if (s.s2 > 0.0L) {
    s.R = s.F2 / s.s2;
    s.F1 = s.R * s.s1;
  } else {
    s.R = 0.0L;
    s.F1 = 0.0L;
  }
  DeriveDiameters(s.DiameterGiven);
  RunCalculationFlagged();
}

void PreDimensioningOutputsToForm() {
  const SpringDataRecord& s = SpringData();
  SetOut(1, "R", FormatSpringRate(s.R), SpringRateUnitName());
  SetOut(2, "F1", FormatForce(s.F1), ForceUnitName());
  LengthAndStressRows();
  SetOut(11, ModulusName(), FormatStress(s.GT), StressUnitName());
  NoValuesAfterFatal();
}

// ---------------------------------------------------------------- pre-dimensioning on the table material

// Rows: 1 "F1", 2 "F2", 3 "sh" ("s2" without a first point), 4 "Dm/d",
// 5 "tz/t" (tau zul / tau), 6 "T".
void PreDimensioningModeRows() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName();
  SetRow(1, "F1", ForceUnitName());
  SetRow(2, "F2", ForceUnitName());
  SetRow(3, s.Point1Off == 1 ? "s2" : "sh", L);
  SetRow(4, "Dm/d", "");
  SetRow(5, "tz/t", "");  // tau zul / tau, short for the label column
  SetRow(6, "T", TemperatureUnitName());
}

void PreDimensioningModePass() {
  SpringDataRecord& s = SpringData();
  Take(1, kForceRange, s.F1);
  Take(2, kForceRange, s.F2);
  Len(3, s.sh);
  Take(4, kAnyNumberRange, s.PreW);
  if (s.PreW < 1.5L) s.PreW = 9.0L;
  Take(5, kAnyNumberRange, s.PreTauRatio);
  if (s.PreTauRatio <= 0.0L) s.PreTauRatio = 1.0L;
  Take(6, kTemperatureRange, s.T);
  if (g_pass.refused) return;
  RunPreDimensioning();
}

void PreDimensioningModeOutputsToForm() {
  const SpringDataRecord& s = SpringData();
  const std::string L = LengthUnitName(), S = StressUnitName();
  SetOut(1, "d", FormatLength(s.d), L);
  SetOut(2, "Dm", FormatLength(s.Dm), L);
  SetOut(3, "L0", FormatLength(s.L0), L);
  SetOut(4, "L2", FormatLength(s.L2), L);
  StressRows(5);
  SetOut(8, "tau n", FormatStress(s.taun), S);
  SetOut(9, "tau zul", KnownStress(s.tauzul, FormatStress(s.tauzul)), S);
  SetOut(10, "n", FloatToStrSig(s.n), "");
  SetOut(11, "Ln", FormatLength(s.Ln), L);
  SetOut(12, "Lc", FormatLength(s.Lc), L);
  NoValuesAfterFatal();
}

void FillPreDimensioningModeEdits() {
  const SpringDataRecord& s = SpringData();
  SetEdit(1, FormatForce(s.F1));
  SetEdit(2, FormatForce(s.F2));
  SetEdit(3, FormatLength(s.sh));
  SetEdit(4, FloatToStrSig(s.PreW));
  SetEdit(5, FloatToStrSig(s.PreTauRatio));
  SetEdit(6, FormatTemperature(s.T));
}

}  // namespace

// ---------------------------------------------------------------- public

void FillRecalculationEdits() {
  const SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  SetEdit(1, FormatLength(s.d));
  if (o) SetEdit(2, FormatLength(cs == 7 ? s.di : s.h));
  SetEdit(2 + o, FormatLength(DiameterField()));
  SetEdit(3 + o, FormatLength(s.L0));
  SetEdit(4 + o, FloatToStrSig(s.n));
  SetEdit(5 + o, FormatLength(s.L1));
  SetEdit(6 + o, FormatLength(s.L2));
  SetEdit(7 + o, FormatTemperature(s.T));
  SetEdit(8 + o, FormatLength(s.P));
}

void FillDimensioningEdits() {
  const SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  SetEdit(1, FormatForce(s.F1));
  SetEdit(2, FormatForce(s.F2));
  SetEdit(3, FormatLength(s.sh));
  SetEdit(4, FormatLength(s.DesignMethod == 2 ? s.L1 : s.L2));
  SetEdit(5, FormatLength(DiameterField()));
  SetEdit(6, FormatLength(s.d));
  if (o) SetEdit(7, FormatLength(cs == 7 ? s.di : s.h));
  SetEdit(7 + o, FloatToStrSig(s.n));
  SetEdit(8 + o, FormatSpringRate(s.R));
}

void FillPreDimensioningEdits() {
  const SpringDataRecord& s = SpringData();
  SetEdit(1, FormatStress(s.G));
  SetEdit(2, FormatLength(DiameterField()));
  SetEdit(3, FormatLength(s.L0));
  SetEdit(4, FormatLength(s.L1));
  SetEdit(5, FormatLength(s.L2));
  SetEdit(6, FormatForce(s.F2));
  SetEdit(7, FormatLength(s.d));
  SetEdit(8, FloatToStrSig(s.n));
  SetEdit(9, FormatTemperature(s.T));
}

Real ForceAtTauZul() {
  const SpringDataRecord& s = SpringData();
  return std::numbers::pi_v<Real> / 8.0L * s.d * s.d * s.d * s.tauzul / s.Dm;
}

bool DesignValuesPositive() {
  const SpringDataRecord& s = SpringData();
  return s.sh > 0.0L && s.R > 0.0L && s.Di > 0.0L && s.Dm > 0.0L && s.n > 0.0L && s.sc > 0.0L && s.d >= 0.0L;
}

void EstimateWireDiameterForL2() {
  SpringDataRecord& s = SpringData();
  if (!std::isfinite(s.Dm) || s.Dm <= 0.0L) return;
  s.F1 = 0.0L;
  s.s1 = 0.0L;
  s.s2 = s.sh;
  s.d = s.Dm / 4.0L;
  for (int pass = 0; pass < 10000; ++pass) {
    const Real next = s.d - 0.05L;
    if (next <= 0.0L || next == s.d) break;
    const SpringDataRecord before = s;
    s.d = next;
    DeriveDiameters(s.DiameterGiven);
    ComputeRmAndTauZul();
    const Real ec = s.EndCoils[0];
    s.n = s.L2 / s.d - ec;
    const Real Sa = MinimumGapSum(s.CoilingKind, s.LoadType, s.n, s.d, s.Dm);
    s.n = (s.L2 - 1.2L * Sa) / s.d - ec;
    s.F2 = s.d * s.d * s.d * s.d * s.GT * s.s2 / (8.0L * s.Dm * s.Dm * s.Dm * s.n);
    s.tau2 = 8.0L * s.Dm * s.F2 / (std::numbers::pi_v<Real> * s.d * s.d * s.d);
    s.L0 = s.L2 + s.s2;
    s.Lc = (s.n + ec) * s.d;
    s.Ln = s.Lc + Sa;
    bool taken = s.n > 0.0L;
    for (Real v : {s.d, s.Dm, s.De, s.Di, s.Rm, s.tauzul, s.n, s.F2, s.tau2, s.L0, s.Lc, s.Ln})
      taken = taken && std::isfinite(v);
    if (!taken) {
      s = before;
      break;
    }
    if ((s.tau2 < s.tauzul && s.Ln < s.L2) || s.Dm / s.d > 16.0L) break;
  }
}

int LastSearchPasses() { return g_searchPasses; }

OutputRows RecalculationOutputs() {
  const OnlineState saved = Online();
  Online().OutCount = 12;
  RecalculationOutputsToForm();
  OutputRows rows;
  rows.count = 12;
  for (int j = 1; j <= 12; ++j) {
    const auto k = static_cast<std::size_t>(j);
    rows.row[j] = {Online().OutName[k], Online().OutValue[k], Online().OutUnit[k]};
  }
  Online() = saved;
  return rows;
}

void InputRecalculation() {
  const Kept entry;
  BaseGlobals& g = G();
  SpringDataRecord& s = SpringData();
  const int cs = s.CrossSection;
  const int o = TwoWireRows(cs) ? 1 : 0;
  SetupOnlineInput("Nachrechnung", 8 + o, 12);
  s.GT = ShearModulusAtTemp(s.G, s.T);
  const Code savedRateInput = s.RateInput;
  s.RateInput = 1;
  int row = 1;
  FillRecalculationEdits();
  RememberShownTexts();
  if (s.Point1Off == 1) ResetFirstPoint();
  const int helpBase = o ? 5995 : 6000;
  bool entered = false;
  g.AbortFlag = 0;
  while (g.AbortFlag == 0) {
    entered |= EntryPass([&] {
      GuardedPass([&] {
        ParseRecalculation(row);
        if (!g_pass.refused) RunRecalculation();
      });
    });
    RecalculationRows();
    RecalculationOutputsToForm();
    FillRecalculationEdits();
    ShowForm(row, helpBase, s.Point1Off == 1 ? 5 + o : 0);
  }
  s.RateInput = savedRateInput;
  EndScreen(entry, entered);
}

void InputDimensioning() {
  const Kept entry;
  BaseGlobals& g = G();
  SpringDataRecord& s = SpringData();
  const int o = TwoWireRows(s.CrossSection) ? 1 : 0;
  SetupOnlineInput("Auslegung", 8 + o, 11);
  // The two-wire layout has rows of its own from the wire row on: its
  // texts are numbered apart.
  const int helpBase = o ? 6400 : 6100;
  int row = s.Point1Off == 1 ? 2 : 1;
  FillDimensioningEdits();
  RememberShownTexts();
  if (s.Point1Off == 1) ResetFirstPoint();
  Search search;
  bool entered = false;
  g.AbortFlag = 0;
  while (g.AbortFlag == 0) {
    if (search.mode == 0) {
      entered |= EntryPass([&] {
        GuardedPass([&] {
          bool estimate = false;
          const int mode = ParseDimensioning(row, estimate);
          if (g_pass.refused) return;
          if (estimate) EstimateWireDiameterForL2();
          if (mode != 0) StartSearch(search, mode);
          if (search.mode != 0) SearchPass(search);
          if (search.mode == 0) RunCalculationFlagged();
        });
      });
    } else {
      // The further passes of a search the entry started.
      ResetErrorMessages();
      GuardedPass([&] {
        SearchPass(search);
        if (search.mode == 0) RunCalculationFlagged();
      });
    }
    DimensioningRows();
    DimensioningOutputsToForm();
    FillDimensioningEdits();
    if (search.mode == 0) ShowForm(row, helpBase, s.Point1Off == 1 ? 1 : 0);
  }
  EndScreen(entry, entered);
}

void InputPreDimensioning() {
  BaseGlobals& g = G();
  bool yes = true;
  SetCurrentHelpNumber(6290);
  AskYesNo("Achtung!  Werkstoff wird verändert!  Fortfahren ?"_oem, yes);
  if (g.AbortFlag != 0 || !yes) {
    g.AbortFlag = 1;
    return;
  }
  const Kept entry;
  SpringDataRecord& s = SpringData();
  SetupOnlineInput("Vorauslegung", 9, 11);
  s.MaterialSel = 11;
  int row = 1;
  FillPreDimensioningEdits();
  RememberShownTexts();
  if (s.Point1Off == 1) ResetFirstPoint();
  bool entered = false;
  g.AbortFlag = 0;
  while (g.AbortFlag == 0) {
    entered |= EntryPass([&] { GuardedPass([&] { PreDimensioningPass(row); }); });
    PreDimensioningRows();
    PreDimensioningOutputsToForm();
    FillPreDimensioningEdits();
    ShowForm(row, 6200, s.Point1Off == 1 ? 4 : 0);
  }
  EndScreen(entry, entered);
}

void InputPreDimensioningMode() {
  const Kept entry;
  BaseGlobals& g = G();
  SpringDataRecord& s = SpringData();
  SetupOnlineInput("Vorauslegung", 6, 12);
  int row = s.Point1Off == 1 ? 2 : 1;
  FillPreDimensioningModeEdits();
  RememberShownTexts();
  bool entered = false;
  g.AbortFlag = 0;
  while (g.AbortFlag == 0) {
    entered |= EntryPass([] { GuardedPass([] { PreDimensioningModePass(); }); });
    PreDimensioningModeRows();
    PreDimensioningModeOutputsToForm();
    FillPreDimensioningModeEdits();
    ShowForm(row, 6300, s.Point1Off == 1 ? 1 : 0);
  }
  EndScreen(entry, entered);
}

}  // namespace zeb
