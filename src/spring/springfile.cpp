#include "spring/springfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <variant>
#include <vector>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/messages.h"
#include "base/services.h"
#include "base/text.h"
#include "base/textfile.h"
#include "base/typed_number.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "spring/calc.h"

namespace zeb {

namespace {

constexpr std::size_t kMaxFileBytes = kReadWholeLimit;
constexpr std::string_view kRule11 = "-----------";
constexpr std::string_view kRule14 = "--------------";

void AddLine(std::string& out, std::string_view s) {
  out.append(s);
  out.append("\r\n");
}

std::string_view TrimmedView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsRule(std::string_view line) {
  line = TrimmedView(line);
  return !line.empty() && line.find_first_not_of('-') == std::string_view::npos;
}

// No number the program writes comes near this many characters.
constexpr std::size_t kMaxNumberChars = 40;

bool ParseInt(std::string_view text, std::int64_t lo, std::int64_t hi, std::int64_t& v) {
  text = TrimmedView(text);
  return !text.empty() && text.size() <= kMaxNumberChars && TryTextToInt(text, v) && v >= lo && v <= hi;
}

// A finite number from lo to hi; the first "," stands for the point. A
// number held to finite bounds has a short text.
bool ParseFloat(std::string_view text, Real lo, Real hi, Real& x) {
  text = TrimmedView(text);
  Real v = 0;
  const bool shortText = text.size() <= kMaxNumberChars || (std::isinf(lo) && std::isinf(hi));
  if (text.empty() || !shortText || !TryTextToFloat(text, v) || !std::isfinite(v) || v < lo || v > hi)
    return false;
  x = v;
  return true;
}

// A bound as the messages show it: whole numbers in full, others with
// up to six digits.
std::string BoundText(Real x) {
  if (x == std::trunc(x) && std::fabs(x) < 1e15L) return IntToText(static_cast<long long>(x));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6Lg", x);
  return buf;
}

std::string OemPath(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

// ------------------------------------------------------------- the layout

enum class Kind {
  Code,            // I, 16-bit word
  Int32,           // I, 32-bit
  Float,           // F
  Text,            // S
  YesNo,           // S of one character, "J" or "N" in either case; held upper-case
  Rule,            // R
  Reserved,        // I, always 0
  Switch,          // B, "TRUE" or "FALSE" in either case
  SwitchInverted,  // B written "FALSE" when on
};

using Ref = std::variant<std::monostate, Code*, std::int32_t*, Real*, std::string*, char*, Byte*>;

// The values a number line may hold, inclusive: the range of the field
// that takes it on the screens and in the dialogs, the entries of a code's
// list.
struct Bounds {
  Real lo = 0, hi = 0;
};
constexpr Bounds In(const NumberRange& r) { return {r.min, r.max}; }
constexpr Bounds Codes(int lo, int hi) { return {static_cast<Real>(lo), static_cast<Real>(hi)}; }
constexpr Bounds kNoBounds{};  // texts, rules, switches
constexpr Bounds kLength = In(kLengthRange);
// Lengths the calculation derives from others (a stroke from two lengths)
// may come out negative.
constexpr Bounds kDerivedLength = In(kSignedLengthRange);
// The two coil diameters derived from the one given differ from it by up
// to two wire diameters.
constexpr Bounds kDerivedDiameter{3 * kSignedLengthRange.min, 3 * kSignedLengthRange.max};
constexpr Bounds kCoils = In(kCoilRange);
constexpr Bounds kForce = In(kForceRange);
constexpr Bounds kModulus = In(kModulusRange);
constexpr Bounds kTemperature = In(kTemperatureRange);
constexpr Bounds kNotNegative = In(kNotNegativeRange);
constexpr Bounds kAnyNumber = In(kAnyNumberRange);
constexpr Bounds kAnyCode = Codes(0, std::numeric_limits<Code>::max());
constexpr Bounds kGrade = Codes(1, 65535);  // 1..3 EN 15800, 4 DIN 2096, 5 and above own values
// Values a calculation gives anew (mandrel and sleeve diameter, deviations
// by grade, wire tolerance, set length, the forces of recalculation); the
// writer saves no spring with a value outside.
constexpr Bounds kResult = In(kResultRange);
constexpr Bounds kMandrelSleeve = In(kMandrelSleeveRange);

struct Field {
  Kind kind;
  const char* name;  // the label of its input field (UTF-8), as messages show it
  Ref (*get)(SpringFileRecords&);
  Bounds bounds;
};

#define ZEB_FIELD(kind, name, member, bounds) \
  Field { Kind::kind, name, [](SpringFileRecords& r) -> Ref { return &r.member; }, bounds }
#define ZEB_S(kind, member, name, bounds) ZEB_FIELD(kind, name, SpringData.member, bounds)
#define ZEB_P(kind, member, name, bounds) ZEB_FIELD(kind, name, ProductionData.member, bounds)
#define ZEB_RULE \
  Field { Kind::Rule, "", [](SpringFileRecords&) -> Ref { return std::monostate{}; }, kNoBounds }

// Lines 1..80.
const Field kMainLines[] = {
    ZEB_S(Code, MaterialSel, "Werkstoff Auswahl", Codes(0, 11)),
    ZEB_S(Text, MaterialName, "Werkstoff", kNoBounds),
    ZEB_S(Float, E, "Elastizitätsmodul", kModulus),
    ZEB_S(Float, G, "Schubmodul", kModulus),
    ZEB_S(Float, rho, "Dichte", kNotNegative),
    ZEB_S(Float, Rm, "Zugfestigkeit", kModulus),
    ZEB_S(Float, tauzul, "zul. Schubspannung", kModulus),
    ZEB_S(Code, MaterialStd, "Werkstoffnorm", kAnyCode),
    ZEB_S(Code, WireStd, "Toleranz des Drahtdurchmessers", Codes(1, 17)),
    ZEB_S(Float, TolWire, "Toleranz Durchmesser d", kResult),
    ZEB_S(Code, GradeDe, "Toleranz Dm, De, Di", kGrade),
    ZEB_S(Float, TolDe, "Toleranz max. Dm, De, Di", kResult),
    ZEB_S(Code, GradeL0, "Toleranz L0", kGrade),
    ZEB_S(Float, TolL0, "Toleranz max. L0", kResult),
    ZEB_S(Code, GradeF1, "Toleranz F1", kGrade),
    ZEB_S(Float, TolF1, "Toleranz max. F1", kResult),
    ZEB_S(Float, TolF2, "Toleranz max. F2", kResult),
    ZEB_S(Code, GradeE1, "Toleranz e1", kGrade),
    ZEB_S(Float, e1, "Toleranz max. e1", kResult),
    ZEB_S(Float, e2, "Toleranz max. e2", kResult),
    ZEB_S(Code, LoadType, "Art der Beanspruchung", Codes(1, 2)),
    ZEB_S(Code, CoilingKind, "Verarbeitung", Codes(1, 3)),
    ZEB_S(Code, EndForm, "Endwindungen", Codes(1, 4)),
    ZEB_S(Float, nue, "Lagerungsbeiwert nue", kAnyNumber),
    ZEB_S(Float, f, "Lastspielfrequenz 1/s", kNotNegative),
    ZEB_S(Code, MaterialCoiling, "Oberfläche", Codes(1, 4)),
    ZEB_S(YesNo, ShotPeened, "Feder kugelgestrahlt", kNoBounds),
    ZEB_S(Float, T, "Betriebstemperatur T", kTemperature),
    ZEB_FIELD(Float, "Endwindungen 1 (oben)", SpringData.EndCoils[1], kCoils),
    ZEB_FIELD(Float, "Endwindungen 2 (unten)", SpringData.EndCoils[2], kCoils),
    ZEB_FIELD(Float, "Anzahl der ungefederten Endwindungen", SpringData.EndCoils[0], kCoils),
    ZEB_S(Code, WindingDir, "Windungsrichtung", Codes(1, 3)),
    ZEB_P(Code, Deburr, "Entgraten der Federenden", Codes(1, 5)),
    ZEB_S(Float, T1, "Arbeitstemperaturbereich von", kTemperature),
    ZEB_S(Float, T2, "Arbeitstemperaturbereich bis", kTemperature),
    ZEB_P(Text, Surface, "Oberflächenschutz", kNoBounds),
    ZEB_S(Code, Allowance, "Fertigungsausgleich durch", Codes(1, 6)),
    ZEB_P(Float, Ls, "Ls", kResult),
    ZEB_P(Code, Preset, "Prüffedern setzen !  Übrige Federn ...", Codes(1, 3)),
    ZEB_P(Text, Extra1, "Zusätzliche Angaben", kNoBounds),
    ZEB_P(Text, Extra2, "Zusätzliche Angaben", kNoBounds),
    ZEB_S(Text, DrawingName, "Zeichnungsname", kNoBounds),
    ZEB_S(Text, DrawingNo, "Zeichnungsnummer", kNoBounds),
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_S(Float, F1, "Federkraft F1", kResult),
    ZEB_S(Float, F2, "Federkraft F2", kResult),
    ZEB_S(Float, sh, "Hub sh", kDerivedLength),
    ZEB_S(Float, L2, "Einbaulänge L2", kLength),
    ZEB_S(Float, Dm, "Windungsdurchmesser Dm", kDerivedDiameter),
    ZEB_S(Float, d, "Drahtdurchmesser d", kLength),
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_S(YesNo, Statistics, "Ausschuß", kNoBounds),
    ZEB_S(Code, StatisticsGrade, "Ausschuß, Qualitätsgrad", kGrade),
    ZEB_S(Float, StatisticsFactor, "Ausschuß, Faktor z", kAnyNumber),
    ZEB_S(Code, OptWarnings, "Warnmeldungen bei Federoptimierung", Codes(1, 2)),
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_FIELD(Text, "Datenbank", SpringDbName, kNoBounds),
    ZEB_FIELD(Float, "Querkraft FQ", TransverseLoad.FQ, kForce),
    ZEB_S(Float, TolL0Minus, "Toleranz min. L0", kResult),
    ZEB_S(Float, TolDeMinus, "Toleranz min. Dm, De, Di", kResult),
    ZEB_S(Float, TolF1Minus, "Toleranz min. F1", kResult),
    ZEB_S(Float, TolF2Minus, "Toleranz min. F2", kResult),
    ZEB_S(Code, DiameterGiven, "Toleranz für welchen Windungsdurchmesser ?", Codes(1, 3)),
    ZEB_S(Float, De, "Außendurchmesser De", kDerivedDiameter),
    ZEB_S(Float, Di, "Innendurchmesser Di", kDerivedDiameter),
    ZEB_S(Code, RateInput, "Berechnungsmethode bei Eingabe von n (if)", Codes(1, 4)),
    ZEB_S(Code, DesignMethod, "Methode zur Federauslegung", Codes(1, 2)),
    ZEB_S(Code, SaMethod, "Berechnung des Windungsabstands Sa", Codes(1, 2)),
    ZEB_P(Code, Picture, "Einzeichnen von Dorn und Hülse", Codes(1, 4)),
    ZEB_S(Float, Ddmax, "Max.Durchmesser Aufnahmedorn Ddmax", kMandrelSleeve),
    ZEB_S(Float, Dhmin, "Min.Durchmesser Aufnahmehülse Dhmin", kMandrelSleeve),
    ZEB_S(Code, WarningsOn, "Warnungen", Codes(1, 2)),
};
static_assert(std::size(kMainLines) == 80);

// After the documents section, up to the load spectrum.
const Field kTailLines1[] = {
    ZEB_S(Code, RInputMethod, "Berechnungsmethode bei Eingabe von R", Codes(1, 3)),
    ZEB_S(Code, CrossSection, "Drahtquerschnitt", Codes(1, 7)),
    ZEB_S(Float, h, "h", kLength),
    ZEB_S(Float, ExternalMass, "Federnde Masse (extern) m", kNotNegative),
    ZEB_FIELD(Code, "Datenbank", MaterialSource, kAnyCode),
    ZEB_S(Code, CalcMode, "Abmessungen", Codes(1, 3)),
    ZEB_S(Text, DrawingName2, "Zeichnungsname 2", kNoBounds),
    ZEB_S(Float, EndCoilsInput, "Lc = ( nt + x ) * d max", kAnyNumber),
    ZEB_S(Text, EndFormText, "Endwindungen", kNoBounds),
    ZEB_P(Switch, ShowSetLength, "anzeigen Setzlänge", kNoBounds),
    ZEB_S(Float, Line3DResolution, "Auflösung 3D-Line", kAnyNumber),
    Field{Kind::Reserved, "reservierte Zeile, stets 0", [](SpringFileRecords&) -> Ref { return std::monostate{}; },
          {static_cast<Real>(INT32_MIN), static_cast<Real>(INT32_MAX)}},
    ZEB_P(Switch, SetLengthIsLc, "Ls = Lc", kNoBounds),
    ZEB_S(Float, r, "r", kLength),
    ZEB_FIELD(Float, "Lastkollektiv Tp", LoadSpectrum.Tp, kNotNegative),
};

// After the load levels, up to the value table.
const Field kTailLines2[] = {
    ZEB_P(Code, SurfaceCode, "Oberflächenschutz", Codes(0, 6)),
    ZEB_S(Switch, ShowP, "anzeigen Ld, P, m", kNoBounds),
    ZEB_S(Code, GradeF2, "Toleranz F2", kGrade),
    ZEB_S(Code, GradeE2, "Toleranz e2", kGrade),
    ZEB_S(Float, FatigueTol1, "Toleranz Dauerfestigkeit min %", kAnyNumber),
    ZEB_S(Float, FatigueTol2, "Toleranz Dauerfestigkeit max %", kAnyNumber),
    ZEB_S(Int32, Point1Off, "Vorauslegung, Auslegung, Nachrechnung", Codes(0, 1)),
};

// After the value table, to the end.
const Field kTailLines3[] = {
    ZEB_S(SwitchInverted, ShowLd, "anzeigen F1, F2", kNoBounds),
    ZEB_S(SwitchInverted, ShowM, "anzeigen Fn", kNoBounds),
    ZEB_S(Switch, HideMaterialLine2, "Werkstoff, Zeile 2", kNoBounds),
    ZEB_S(Switch, HideMaterialLine3, "Werkstoff, Zeile 3", kNoBounds),
    ZEB_S(Code, LoadCase, "Goodman diagram tauoz", Codes(0, 2)),
    ZEB_S(Float, di, "di", kLength),
    ZEB_S(Float, PreTauRatio, "tauz/tau bei Berechnung d min", kAnyNumber),
    ZEB_S(Float, PreW, "Vorauslegung Dm/d", kAnyNumber),
};

#undef ZEB_FIELD
#undef ZEB_S
#undef ZEB_P
#undef ZEB_RULE

// ------------------------------------------------------------- the writer

std::string FieldLine(const Field& f, SpringFileRecords& r) {
  const Ref ref = f.get(r);
  switch (f.kind) {
    case Kind::Code: return IntToText(*std::get<Code*>(ref));
    case Kind::Int32: return IntToText(*std::get<std::int32_t*>(ref));
    case Kind::Float: return SpringFileFloatText(*std::get<Real*>(ref));
    case Kind::Text: return MarkLineBreaks(*std::get<std::string*>(ref));
    case Kind::YesNo: return MarkLineBreaks(std::string(1, *std::get<char*>(ref)));
    case Kind::Rule: return std::string(kRule11);
    case Kind::Reserved: return "0";
    case Kind::Switch: return *std::get<Byte*>(ref) != 0 ? "TRUE" : "FALSE";
    case Kind::SwitchInverted: return *std::get<Byte*>(ref) != 0 ? "FALSE" : "TRUE";
  }
  return {};
}

template <std::size_t N>
void AddFields(std::string& out, const Field (&fields)[N], SpringFileRecords& r) {
  for (const Field& f : fields) AddLine(out, FieldLine(f, r));
}

// ------------------------------------------------------------- the reader

// Lines of a byte text by the one line rule: CR LF, LF and CR each end a
// line.
class LineSource {
 public:
  explicit LineSource(std::string_view bytes) : bytes_(bytes) {}
  bool Next(std::string_view& line) {
    if (!NextTextLine(bytes_, pos_, line)) return false;
    ++lineNo_;
    return true;
  }
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  int LineNo() const { return lineNo_; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  int lineNo_ = 0;
};

// The first of lines 1..lastLine whose end differs from the end most lines
// have (a CR or LF inside a line ends it there), named for a refused file;
// empty when they all end alike.
std::string OddLineEndText(std::string_view bytes, int lastLine) {
  const std::string_view kEnds[] = {"\r\n", "\n", "\r"};
  const char* const kNames[] = {"CR LF", "LF", "CR"};
  std::vector<int> kinds;  // of each ended line
  int count[3] = {};
  std::string_view line;
  bool ended = false;
  for (std::size_t pos = 0; NextTextLine(bytes, pos, line, &ended) && ended;) {
    const std::size_t endAt = static_cast<std::size_t>(line.data() - bytes.data()) + line.size();
    const std::string_view end = bytes.substr(endAt, pos - endAt);
    const int kind = end == kEnds[0] ? 0 : end == kEnds[1] ? 1 : 2;
    kinds.push_back(kind);
    ++count[kind];
  }
  const int most = static_cast<int>(std::max_element(count, count + 3) - count);
  for (int no = 1; no <= lastLine && no <= static_cast<int>(kinds.size()); ++no) {
    const int kind = kinds[static_cast<std::size_t>(no - 1)];
    if (kind != most)
      return " Zeile "_oem + IntToText(no) + " endet mit " + kNames[kind] + " statt " + kNames[most] + ".";
  }
  return {};
}

// What a file that stops early is told: the line it ends after.
std::string CutText(int lastLine) {
  if (lastLine == 0) return "Zeile 1: Datei ist leer !"_oem;
  return "Zeile "_oem + IntToText(lastLine + 1) + ": Datei abgeschnitten, endet nach Zeile "_oem +
         IntToText(lastLine) + " !";
}

// Checked line readers: each takes one line and either stores its value or
// records what belonged there. A missing line is a cut file.
class Reader {
 public:
  // With expect, every real must read back as the one it holds.
  Reader(std::string_view bytes, const SpringFileRecords* expect)
      : lines_(bytes), expect_(const_cast<SpringFileRecords*>(expect)) {
    seen_.reserve(256);
  }

  // The records the file was written from, or null.
  SpringFileRecords* Expected() const { return expect_; }

  bool AtEnd() const { return lines_.AtEnd(); }
  int LineNo() const { return lines_.LineNo(); }
  const std::string& Error() const { return error_; }

  // Refuses the next line, one after the whole layout.
  bool Surplus() {
    const int last = lines_.LineNo();
    std::string_view line;
    Line(line);
    error_ = "Zeile "_oem + IntToText(last + 1) + ": überzählige Zeile, die Federdaten enden mit Zeile "_oem +
             IntToText(last) + " !";
    return false;
  }

  bool Line(std::string_view& line) {
    if (lines_.Next(line)) {
      seen_.push_back(line);
      return true;
    }
    error_ = CutText(lines_.LineNo());
    return false;
  }

  // Refuses line lineNo, one already read, with what belonged there; its
  // text is shown shortened.
  bool FailAt(int lineNo, std::string_view what) {
    const std::string_view found = seen_.at(static_cast<std::size_t>(lineNo - 1));
    std::string shown;
    for (char c : found.substr(0, 24)) shown.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    if (found.size() > 24) shown += "...";
    error_ = "Zeile "_oem + IntToText(lineNo) + ": erwartet: "_oem + std::string(what) + ", gelesen: \""_oem + shown +
             "\" !";
    return false;
  }
  // Refuses the line read last.
  bool Fail(std::string_view what) { return FailAt(lines_.LineNo(), what); }

  bool Text(std::string& s) {
    std::string_view line;
    if (!Line(line)) return false;
    s.assign(line);
    return true;
  }

  bool Rule(std::string_view what) {
    std::string_view line;
    if (!Line(line)) return false;
    return IsRule(line) || Fail(what);
  }

  bool Heading(std::string_view heading) {
    std::string_view line;
    if (!Line(line)) return false;
    return TrimmedView(line) == heading || Fail("\"" + std::string(heading) + "\"");
  }

  bool Int(std::string_view what, std::int64_t lo, std::int64_t hi, std::int64_t& v) {
    std::string_view line;
    if (!Line(line)) return false;
    return ParseInt(line, lo, hi, v) || Fail(what);
  }

  bool Count(std::string_view name, int max, int& count) {
    const std::string what = "Anzahl 0.."_oem + IntToText(max) + " (" + std::string(name) + ")";
    std::int64_t v = 0;
    if (!Int(what, 0, max, v)) return false;
    count = static_cast<int>(v);
    return true;
  }

  bool Float(std::string_view name, Bounds b, Real& x, const Real* expected) {
    std::string_view line;
    if (!Line(line)) return false;
    return (ParseFloat(line, b.lo, b.hi, x) || Fail(NumberWhat(name, b))) && Same(name, x, expected);
  }

  // A real read back as the value it was written from (a value that is
  // not finite is written as 0); the line read last is named otherwise.
  bool Same(std::string_view name, Real x, const Real* expected) {
    if (expected == nullptr || ReadsBackAsHeld(x, *expected)) return true;
    const std::string held = std::isfinite(*expected) ? FloatToExactText(*expected) : "keine Zahl"_oem;
    error_ = "Zeile "_oem + IntToText(lines_.LineNo()) + ": " + std::string(name) + " = " + held + " wird als \"" +
             FloatToExactText(x) + "\" zurückgelesen !"_oem;
    return false;
  }

  static std::string NumberWhat(std::string_view name, Bounds b) {
    const std::string range = std::isinf(b.lo) ? "" : BoundText(b.lo) + ".." + BoundText(b.hi) + " ";
    return "Zahl "_oem + range + "(" + std::string(name) + ")";
  }

  // Reads the line of a field; what belonged there is put into words only
  // for a line that is refused.
  bool Read(const Field& f, SpringFileRecords& r) {
    const Ref ref = f.get(r);
    if (f.kind == Kind::Text) return Text(*std::get<std::string*>(ref));
    std::string_view line;
    if (!Line(line)) return false;
    const auto name = [&f] { return FromUtf8(CodePage::Cp850, f.name); };
    switch (f.kind) {
      case Kind::Code:
      case Kind::Int32:
      case Kind::Reserved: {
        const auto lo = static_cast<std::int64_t>(f.bounds.lo), hi = static_cast<std::int64_t>(f.bounds.hi);
        std::int64_t v = 0;
        if (!ParseInt(line, lo, hi, v)) {
          if (f.kind == Kind::Reserved) return Fail("ganze Zahl ("_oem + name() + ")");
          return Fail("ganze Zahl "_oem + IntToText(lo) + ".." + IntToText(hi) + " (" + name() + ")");
        }
        if (f.kind == Kind::Code) *std::get<Code*>(ref) = static_cast<Code>(v);
        if (f.kind == Kind::Int32) *std::get<std::int32_t*>(ref) = static_cast<std::int32_t>(v);
        return true;
      }
      case Kind::Float:
        return (ParseFloat(line, f.bounds.lo, f.bounds.hi, *std::get<Real*>(ref)) ||
                Fail(NumberWhat(name(), f.bounds))) &&
               Same(name(), *std::get<Real*>(ref), expect_ ? std::get<Real*>(f.get(*expect_)) : nullptr);
      case Kind::YesNo: {
        const std::string mark = UpperStr(TrimmedView(line));
        if (mark != "J" && mark != "N") return Fail("J oder N ("_oem + name() + ")");
        *std::get<char*>(ref) = mark[0];
        return true;
      }
      case Kind::Rule: return IsRule(line) || Fail("Trennlinie "_oem + std::string(kRule11));
      case Kind::Switch:
      case Kind::SwitchInverted: {
        const std::string word = UpperStr(TrimmedView(line));
        if (word != "TRUE" && word != "FALSE") return Fail("TRUE oder FALSE ("_oem + name() + ")");
        const bool on = (word == "TRUE") != (f.kind == Kind::SwitchInverted);
        *std::get<Byte*>(ref) = on ? 1 : 0;
        return true;
      }
      case Kind::Text: break;
    }
    return false;
  }

 private:
  LineSource lines_;
  SpringFileRecords* expect_;
  std::vector<std::string_view> seen_;  // the lines read, line 1 first
  std::string error_;
};

// The file line of a field among lines 1..80 (after the seven header
// lines).
constexpr int kHeaderLines = 7;
int MainLineNo(const char* name) {
  for (std::size_t i = 0; i < std::size(kMainLines); ++i)
    if (std::strcmp(kMainLines[i].name, name) == 0) return kHeaderLines + 1 + static_cast<int>(i);
  return 0;
}

// The diameter the user gave is held like its input field; the other two
// are derived from it.
bool CheckGivenDiameter(Reader& rd, const SpringDataRecord& s) {
  const char* name = s.DiameterGiven == 1   ? "Außendurchmesser De"
                     : s.DiameterGiven == 2 ? "Innendurchmesser Di"
                                            : "Windungsdurchmesser Dm";
  const Real given = s.DiameterGiven == 1 ? s.De : s.DiameterGiven == 2 ? s.Di : s.Dm;
  return (given >= kLength.lo && given <= kLength.hi) ||
         rd.FailAt(MainLineNo(name), Reader::NumberWhat(FromUtf8(CodePage::Cp850, name), kLength));
}

// Fields of a line, each ended by "|"; text after the last "|" is not one.
std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t bar = line.find('|'); bar != std::string_view::npos; bar = line.find('|', start)) {
    fields.push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  return fields;
}

bool ReadEightFieldLine(Reader& rd, ChangeLogData& log, int& textCount) {
  const std::string what = "Datum|Name|Datum|Name|Datum|Name|Anzahl 0..8|| (Zeichnungsinfo)"_oem;
  std::string_view line;
  if (!rd.Line(line)) return false;
  const std::vector<std::string_view> f = SplitFields(line);
  std::int64_t n = 0;
  if (f.size() < 8 || !ParseInt(f[6], 0, kMaxDrawingTexts, n)) return rd.Fail(what);
  log.CheckedDate = f[0];
  log.CheckedBy = f[1];
  log.StandardsDate = f[2];
  log.StandardsBy = f[3];
  log.ReleaseDate = f[4];
  log.ReleasedBy = f[5];
  textCount = static_cast<int>(n);
  return true;
}

bool ReadDrawingText(Reader& rd, DrawingText& t, const DrawingText* expected) {
  const std::string what = "x|y|h|phi|Text|| (Zeichnungstext)"_oem;
  std::string_view line;
  if (!rd.Line(line)) return false;
  const std::vector<std::string_view> f = SplitFields(line);
  if (f.size() < 4 || line.size() < 2 || line.substr(line.size() - 2) != "||") return rd.Fail(what);
  std::size_t textStart = 0;
  for (int i = 0; i < 4; ++i) textStart = line.find('|', textStart) + 1;
  if (textStart > line.size() - 2) return rd.Fail(what);
  const Bounds b = kAnyNumber;
  if (!ParseFloat(f[0], b.lo, b.hi, t.x) || !ParseFloat(f[1], b.lo, b.hi, t.y) || !ParseFloat(f[2], b.lo, b.hi, t.h) ||
      !ParseFloat(f[3], b.lo, b.hi, t.phi))
    return rd.Fail(what);
  t.Text.assign(line.substr(textStart, line.size() - 2 - textStart));
  return expected == nullptr ||
         (rd.Same("Zeichnungstext x", t.x, &expected->x) && rd.Same("Zeichnungstext y", t.y, &expected->y) &&
          rd.Same("Zeichnungstext h", t.h, &expected->h) && rd.Same("Zeichnungstext phi", t.phi, &expected->phi));
}

bool ReadChangeLog(Reader& rd, ChangeLogData& log) {
  int count = 0;
  if (!rd.Heading("ÄNDERUNGEN"_oem) || !rd.Count("Änderungen"_oem, kMaxChangeEntries, count) ||
      !rd.Rule("Trennlinie "_oem + std::string(20, '-')))
    return false;
  for (int i = 1; i <= count; ++i) {
    ChangeEntry e;
    if (!rd.Text(e.Change) || !rd.Text(e.Date) || !rd.Text(e.Editor) || !rd.Text(e.Description)) return false;
    // Old files may hold a description over several lines: its CR became
    // "|", the LF after it stayed. A line end after anything else is a
    // line too many.
    for (;;) {
      std::string_view line;
      if (!rd.Line(line)) return false;
      if (TrimmedView(line) == kRule14) break;
      if (e.Description.empty() || e.Description.back() != '|')
        return rd.Fail("Trennlinie "_oem + std::string(kRule14));
      e.Description.append(line);
    }
    log.ChangeEntries[static_cast<std::size_t>(i)] = std::move(e);
    log.ChangeEntryCount = static_cast<std::int16_t>(i);
  }
  int texts = 0;
  if (!ReadEightFieldLine(rd, log, texts)) return false;
  if (!rd.Text(log.CreatedDate) || !rd.Text(log.ReplacesDrawing) || !rd.Text(log.ReplacedByDrawing) ||
      !rd.Text(log.CreatedBy))
    return false;
  for (int i = 1; i <= texts; ++i) {
    DrawingText t;
    const SpringFileRecords* expect = rd.Expected();
    if (!ReadDrawingText(rd, t, expect ? &expect->ChangeLog.DrawingTexts[static_cast<std::size_t>(i)] : nullptr))
      return false;
    log.DrawingTexts[static_cast<std::size_t>(i)] = std::move(t);
    log.DrawingTextCount = static_cast<std::int16_t>(i);
  }
  return true;
}

bool ReadDocuments(Reader& rd, DocumentLinkTable& links) {
  int count = 0;
  if (!rd.Heading("Dokumente") || !rd.Count("Dokumente", kDocumentLinkCount, count) ||
      !rd.Rule("Trennlinie "_oem + std::string(20, '-')))
    return false;
  for (int i = 1; i <= count; ++i) {
    DocumentLink link;
    if (!rd.Text(link.Program) || !rd.Text(link.File) || !rd.Rule("Trennlinie "_oem + std::string(kRule14)))
      return false;
    links[static_cast<std::size_t>(i)] = std::move(link);
  }
  return true;
}

bool ReadLoadLevels(Reader& rd, LoadSpectrumRecord& spectrum) {
  int count = 0;
  if (!rd.Count("Lastkollektiv", kMaxLoadLevels, count)) return false;
  for (int i = 1; i <= count; ++i) {
    // Levels outside the spring's travel are named by the calculation.
    LoadLevel level;
    const SpringFileRecords* expect = rd.Expected();
    const LoadLevel* held = expect ? &expect->LoadSpectrum.Levels[static_cast<std::size_t>(i)] : nullptr;
    if (!rd.Float("Lastkollektiv L1", kDerivedLength, level.L1, held ? &held->L1 : nullptr) ||
        !rd.Float("Lastkollektiv L2", kDerivedLength, level.L2, held ? &held->L2 : nullptr) ||
        !rd.Float("Lastkollektiv ni", kAnyNumber, level.ni, held ? &held->ni : nullptr))
      return false;
    spectrum.Levels[static_cast<std::size_t>(i)] = level;
    spectrum.Count = static_cast<std::int16_t>(i);
  }
  return true;
}

bool ReadValueTable(Reader& rd, ValueTableRecord& table) {
  int count = 0;
  if (!rd.Count("Wertetabelle", kMaxValueTableCount, count)) return false;
  for (int i = 1; i <= count; ++i) {
    const SpringFileRecords* expect = rd.Expected();
    const auto k = static_cast<std::size_t>(i);
    if (!rd.Float("Wertetabelle", kAnyNumber, table.Values[k], expect ? &expect->ValueTable.Values[k] : nullptr))
      return false;
    table.Count = i;
  }
  return true;
}

// The header's version line ("Version 26.6") against the version of this
// layout, the first whose files hold it whole: below 0 an older one (its
// files may end between sections), above 0 a later one (its files may hold
// more lines after it). A line that names no version counts as this one.
int CompareToLayoutVersion(std::string_view line) {
  constexpr std::string_view kPrefix = "Version ";
  constexpr unsigned kWholeLayout[] = {26, 6};
  line = TrimmedView(line);
  if (line.substr(0, kPrefix.size()) != kPrefix) return 0;
  line = TrimmedView(line.substr(kPrefix.size()));
  std::vector<unsigned long> parts;
  for (;;) {
    const std::size_t dot = line.find('.');
    std::string_view part = line.substr(0, dot);
    if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    while (part.size() > 1 && part.front() == '0') part.remove_prefix(1);
    parts.push_back(part.size() > 9 ? 1000000000ul : std::stoul(std::string(part)));
    if (dot == std::string_view::npos) break;
    line.remove_prefix(dot + 1);
  }
  for (std::size_t k = 0; k < std::max(parts.size(), std::size(kWholeLayout)); ++k) {
    const unsigned long a = k < parts.size() ? parts[k] : 0;
    const unsigned long b = k < std::size(kWholeLayout) ? kWholeLayout[k] : 0;
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

// What a file that starts with a byte order mark is told: it is text of
// another encoding.
std::string ByteOrderMarkText(std::string_view bytes) {
  const char* encoding = bytes.substr(0, 3) == "\xEF\xBB\xBF"                                   ? "UTF-8"
                         : bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" ? "UTF-16"
                                                                                                : nullptr;
  if (encoding == nullptr) return {};
  return "Zeile 1: "_oem + encoding + "-Kennung (BOM) am Dateianfang, eine Federdatei ist Text in Codepage 850 !";
}

// ------------------------------------------------------- file access

// The bytes of a regular file as they stand, read through WorkTextFile. A
// failure is shown, naming its cause, and sets AbortFlag.
bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::string why = FileUnreadableText(path);
  TextFile& f = WorkTextFile();
  if (why.empty() && !OpenWorkTextFileForReading(path)) why = "Lesefehler: "_oem + OemPath(path);
  if (why.empty()) {
    const int err = f.ReadRest(bytes, kMaxFileBytes);
    f.Close();
    if (err == EFBIG)
      why = "Datei "_oem + OemPath(path) + " ist zu groß für eine Federdatei !"_oem;
    else if (err != 0)
      why = "Lesefehler: "_oem + OemPath(path);
  }
  if (why.empty()) return true;
  ShowError(why);
  G().AbortFlag = 1;
  return false;
}

// The file's bytes read into out; with expect, every real must read back as
// the one it holds there.
bool ParseAgainst(std::string_view bytes, SpringFileRecords& out, std::string& error, const SpringFileRecords* expect);

}  // namespace

// ---------------------------------------------------------------- records

SpringFileRecords DefaultSpringFileRecords() {
  SpringFileRecords r;
  static const SpringGlobals start{};  // the same every time
  r.SpringData = start.SpringData;
  r.ProductionData = start.ProductionData;
  r.TransverseLoad = start.TransverseLoad;
  r.LoadSpectrum = start.LoadSpectrum;
  r.MaterialSource = start.MaterialSource;
  r.SpringDbName = start.SpringDbName;
  r.ChangeLog = DefaultChangeLog();
  r.DocumentLinks = DefaultDocumentLinks();
  r.ValueTable = ValueTableRecord{};
  return r;
}

SpringFileRecords CurrentSpringFileRecords() {
  SpringFileRecords r;
  const SpringGlobals& g = SG();
  r.SpringData = g.SpringData;
  r.ProductionData = g.ProductionData;
  r.TransverseLoad = g.TransverseLoad;
  r.LoadSpectrum = g.LoadSpectrum;
  r.MaterialSource = g.MaterialSource;
  r.SpringDbName = g.SpringDbName;
  r.ChangeLog = ChangeLog();
  r.DocumentLinks = DocumentLinks();
  r.ValueTable = ValueTable();
  for (int i = 1; i <= 3; ++i) r.TitleBlockLines[i] = G().TitleBlockLines[i];
  return r;
}

void InstallSpringFileRecords(const SpringFileRecords& r) {
  SpringGlobals& g = SG();
  g.SpringData = r.SpringData;
  g.ProductionData = r.ProductionData;
  g.TransverseLoad = r.TransverseLoad;
  g.LoadSpectrum = r.LoadSpectrum;
  g.MaterialSource = r.MaterialSource;
  g.SpringDbName = r.SpringDbName;
  ChangeLog() = r.ChangeLog;
  DocumentLinks() = r.DocumentLinks;
  ValueTable() = r.ValueTable;
  for (int i = 1; i <= 3; ++i) G().TitleBlockLines[i] = r.TitleBlockLines[i];
}

// ---------------------------------------------------------------- writing

std::string SpringFileFloatText(Real x) {
  if (!std::isfinite(x)) return "0";
  return ExactWhereNeeded(FloatToStoredText(x), x);
}

std::string FormatSpringFile(const SpringFileRecords& records) {
  // The field table hands out references; nothing is changed through them.
  SpringFileRecords& r = const_cast<SpringFileRecords&>(records);
  const BaseGlobals& g = G();
  std::string out;
  const std::string rule65(65, '-');
  AddLine(out, rule65);
  AddLine(out, MarkLineBreaks(g.ProgramTitle + "   V " + GetFileVersionString("W" + g.ProgramShortName + ".exe")));
  AddLine(out, MarkLineBreaks("Version " + g.ProgramVersion));
  AddLine(out, rule65);
  for (int i = 1; i <= 3; ++i) AddLine(out, MarkLineBreaks(r.TitleBlockLines[i]));

  AddFields(out, kMainLines, r);
  out += FormatChangeLogSection(r.ChangeLog);
  out += FormatDocumentsSection(r.DocumentLinks);
  AddFields(out, kTailLines1, r);
  const int levels = std::clamp<int>(r.LoadSpectrum.Count, 0, kMaxLoadLevels);
  AddLine(out, IntToText(levels));
  for (int i = 1; i <= levels; ++i) {
    const LoadLevel& level = r.LoadSpectrum.Levels[static_cast<std::size_t>(i)];
    AddLine(out, SpringFileFloatText(level.L1));
    AddLine(out, SpringFileFloatText(level.L2));
    AddLine(out, SpringFileFloatText(level.ni));
  }
  AddFields(out, kTailLines2, r);
  const int values = std::clamp<int>(r.ValueTable.Count, 0, kMaxValueTableCount);
  AddLine(out, IntToText(values));
  for (int i = 1; i <= values; ++i) AddLine(out, SpringFileFloatText(r.ValueTable.Values[static_cast<std::size_t>(i)]));
  AddFields(out, kTailLines3, r);
  return out;
}

bool SpringFileReadsBack(const SpringFileRecords& records, std::string* error) {
  // The writer marks the line breaks of every text as the file holds them.
  const std::string bytes = FormatSpringFile(records);
  SpringFileRecords readBack;
  std::string why;
  const bool ok = ParseAgainst(bytes, readBack, why, &records);
  if (error != nullptr) *error = std::move(why);
  return ok;
}

void WriteSpringFile(std::string_view name) {
  BaseGlobals& g = G();
  // A spring whose file would not read back (a value beyond its line's
  // range) is not saved: named before anything is asked or written.
  std::string error;
  if (!SpringFileReadsBack(CurrentSpringFileRecords(), &error)) {
    ShowError("Feder nicht gespeichert, "_oem + error);
    g.AbortFlag = 1;
    return;
  }
  const std::string path = AskSaveFileName(name);
  if (g.AbortFlag != 0) return;
  // The stored descriptions take the marks they are written with.
  for (ChangeEntry& e : ChangeLog().ChangeEntries) e.Description = MarkLineBreaks(e.Description);
  const std::string bytes = FormatSpringFile(CurrentSpringFileRecords());

  TextFile& f = WorkTextFile();
  if (f.IsOpen()) {  // another routine holds the shared file
    ShowError("Fehler beim Schreiben von "_oem + OemPath(path));
    g.AbortFlag = 1;
    return;
  }
  f.Assign(path);
  RewriteChecked(f);
  if (g.AbortFlag != 0) {
    RestoreArrowCursor();
    return;
  }
  WriteTextNoEol(bytes);
  CloseFileChecked(f);  // replaces the old file only when all was written
  if (g.AbortFlag == 0) {
    g.CurrentFilePath = path;
    g.CurrentFileStamp = StampOfWrittenFile(path, bytes);
  }
  RestoreArrowCursor();
}

// ---------------------------------------------------------------- reading

namespace {

bool ParseAgainst(std::string_view bytes, SpringFileRecords& out, std::string& error, const SpringFileRecords* expect) {
  out = DefaultSpringFileRecords();
  error = ByteOrderMarkText(bytes);
  if (!error.empty()) return false;
  std::string text(bytes);
  // A Ctrl-Z after the last line end, as DOS editors leave it, is no line.
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == '\x1A') --end;
  if (end == 0 || text[end - 1] == '\n' || text[end - 1] == '\r') text.resize(end);
  // Every line the program writes is ended: a last line without its end
  // was cut inside it.
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') {
    LineSource lines(text);
    std::string_view line;
    while (lines.Next(line)) {
    }
    error = "Zeile "_oem + IntToText(lines.LineNo()) + ": Datei abgeschnitten, endet in Zeile "_oem +
            IntToText(lines.LineNo()) + " ohne Zeilenende !"_oem;
    return false;
  }
  // Control characters in a line (a tab, Ctrl-Z, NUL) would reach the
  // tab-separated printout and the CAD files: they are read as blanks.
  text = ControlCharsToBlanks(std::move(text), true);
  Reader rd(text, expect);
  const auto fail = [&] {
    // A line end inside a line splits it: the line is named too.
    error = rd.Error() + OddLineEndText(text, rd.LineNo());
    return false;
  };

  const std::string headerRule = "Trennlinie "_oem + std::string(65, '-');
  std::string ignored, versionLine;
  if (!rd.Rule(headerRule) || !rd.Text(ignored) || !rd.Text(versionLine) || !rd.Rule(headerRule)) return fail();
  for (int i = 1; i <= 3; ++i)
    if (!rd.Text(out.TitleBlockLines[i])) return fail();
  for (const Field& f : kMainLines)
    if (!rd.Read(f, out)) return fail();
  if (!CheckGivenDiameter(rd, out.SpringData)) return fail();

  // The sections and lines after line 80, in their order. A file of an
  // older, shorter layout may end before any of them, never inside one; a
  // file of this layout holds them all.
  std::vector<std::function<bool()>> rest;
  rest.emplace_back([&] { return ReadChangeLog(rd, out.ChangeLog); });
  rest.emplace_back([&] { return ReadDocuments(rd, out.DocumentLinks); });
  for (const Field& f : kTailLines1) rest.emplace_back([&, field = &f] { return rd.Read(*field, out); });
  rest.emplace_back([&] { return ReadLoadLevels(rd, out.LoadSpectrum); });
  for (const Field& f : kTailLines2) rest.emplace_back([&, field = &f] { return rd.Read(*field, out); });
  rest.emplace_back([&] { return ReadValueTable(rd, out.ValueTable); });
  for (const Field& f : kTailLines3) rest.emplace_back([&, field = &f] { return rd.Read(*field, out); });
  const int version = CompareToLayoutVersion(versionLine);
  for (const std::function<bool()>& read : rest) {
    if (version < 0 && rd.AtEnd()) return true;
    if (!read()) return fail();
  }
  // A line after the layout is a line too many (a line end inside a line
  // splits it in two), unless a later version wrote it.
  return version > 0 || rd.AtEnd() || rd.Surplus() || fail();
}

}  // namespace

bool ParseSpringFile(std::string_view bytes, SpringFileRecords& out, std::string& error) {
  return ParseAgainst(bytes, out, error, nullptr);
}

bool InstallSpringMaterial() {
  // Nothing of the material the previous spring had stays: a table
  // material comes again from the table by its number (with its strength
  // limits and relaxation row), any other spring has the empty record.
  BaseGlobals& g = G();
  const std::uint16_t source = MaterialSource();
  ClearRmTable();
  ClearRelaxationRecord();
  const Byte abort = g.AbortFlag;
  g.AbortFlag = 0;
  const bool fromTable = SpringData().MaterialSel == 0 && source != 0;
  const bool found = fromTable && Tables().LoadMaterialRow(source);
  const bool readable = g.AbortFlag == 0;
  if (!found) {
    ResetMaterialRecord();
    MaterialSource() = source;
  }
  g.AbortFlag = abort;
  return readable;
}

namespace {

// The spring file at path into the current records, then calculated. A
// file chosen in the dialog (asked) names the current file and folder.
void ReadSpringFileAt(const std::string& path, bool asked, const std::string& chosenFolder) {
  BaseGlobals& g = G();
  // Taken before the read: a change meanwhile shows at the next save.
  const FileStamp stamp = StampOfFile(ResolvePathCaseInsensitive(path));
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return;
  SpringFileRecords records;
  std::string error;
  if (!ParseSpringFile(bytes, records, error)) {
    // Named also where error boxes are off (a start with a file): the file
    // is there but cannot be taken.
    ShowErrorBox("Datei "_oem + OemPath(path) + ", " + error);
    g.AbortFlag = 1;
    return;
  }
  InstallSpringFileRecords(records);
  g.CurrentFilePath = path;
  g.CurrentFileStamp = stamp;
  if (asked) {
    g.CurrentFileName = BareFileName(path);
    g.CurrentDataFolder = chosenFolder;
  }

  // The file holds inputs only: reload the table material and calculate,
  // with the error boxes off.
  const Byte savedSwitch = g.ShowErrorsSwitch;
  g.ShowErrorsSwitch = 0;
  if (InstallSpringMaterial()) {
    RunCalculation();
  } else {
    // No calculation without the material the spring names.
    ResetErrorMessages();
    AddErrorMessage("Fatal  : ZEBWST DBF error");
    g.FatalErrorFlag = 1;
  }
  g.ShowErrorsSwitch = savedSwitch;
}

}  // namespace

void ReadSpringFile(std::string_view name) {
  BaseGlobals& g = G();
  const std::string ext = g.SpringFileExtension;
  std::string path;
  std::string chosenFolder = g.CurrentDataFolder;
  const bool asked = name.empty();
  if (asked) {
    path = AskOpenFileName(5, chosenFolder, "*." + ext);
    if (path.empty() || g.AbortFlag != 0) {
      g.AbortFlag = 1;
      return;
    }
  } else {
    const std::size_t slash = name.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    path = last.find('.') == std::string_view::npos ? AddBackslash(g.CurrentDataFolder) + std::string(name) + "." + ext
                                                    : std::string(name);
  }
  ReadSpringFileAt(path, asked, chosenFolder);
}

void ReadSpringFilePath(std::string_view path) { ReadSpringFileAt(std::string(path), false, {}); }

}  // namespace zeb
