#include "spring/springfile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
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

bool ParseInt(std::string_view text, std::int64_t lo, std::int64_t hi, std::int64_t& v) {
  text = TrimmedView(text);
  return !text.empty() && TryTextToInt(text, v) && v >= lo && v <= hi;
}

// A finite number; the first "," stands for the point.
bool ParseFloat(std::string_view text, Real& x) {
  text = TrimmedView(text);
  Real v = 0;
  if (text.empty() || !TryTextToFloat(text, v) || !std::isfinite(v)) return false;
  x = v;
  return true;
}

std::string OemPath(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

// ------------------------------------------------------------- the layout

enum class Kind {
  Code,            // I, 16-bit word
  Int32,           // I, 32-bit
  Float,           // F
  Text,            // S
  Char,            // S of one character
  Rule,            // R
  Reserved,        // I, always 0
  SwitchTrue,      // B, read: on only for "TRUE"
  SwitchNotFalse,  // B, read: on unless "FALSE"
  SwitchInverted,  // B written "FALSE" when on; read: on unless "TRUE"
};

using Ref = std::variant<std::monostate, Code*, std::int32_t*, Real*, std::string*, char*, Byte*>;

struct Field {
  Kind kind;
  const char* name;
  Ref (*get)(SpringFileRecords&);
};

#define ZEB_FIELD(kind, name, member) \
  Field { Kind::kind, name, [](SpringFileRecords& r) -> Ref { return &r.member; } }
#define ZEB_S(kind, member) ZEB_FIELD(kind, #member, SpringData.member)
#define ZEB_P(kind, member) ZEB_FIELD(kind, "ProductionData." #member, ProductionData.member)
#define ZEB_RULE \
  Field { Kind::Rule, "", [](SpringFileRecords&) -> Ref { return std::monostate{}; } }

// Lines 1..80.
const Field kMainLines[] = {
    ZEB_S(Code, MaterialSel),
    ZEB_S(Text, MaterialName),
    ZEB_S(Float, E),
    ZEB_S(Float, G),
    ZEB_S(Float, rho),
    ZEB_S(Float, Rm),
    ZEB_S(Float, tauzul),
    ZEB_S(Code, MaterialStd),
    ZEB_S(Code, WireStd),
    ZEB_S(Float, TolWire),
    ZEB_S(Code, GradeDe),
    ZEB_S(Float, TolDe),
    ZEB_S(Code, GradeL0),
    ZEB_S(Float, TolL0),
    ZEB_S(Code, GradeF1),
    ZEB_S(Float, TolF1),
    ZEB_S(Float, TolF2),
    ZEB_S(Code, GradeE1),
    ZEB_S(Float, e1),
    ZEB_S(Float, e2),
    ZEB_S(Code, LoadType),
    ZEB_S(Code, CoilingKind),
    ZEB_S(Code, EndForm),
    ZEB_S(Float, nue),
    ZEB_S(Float, f),
    ZEB_S(Code, MaterialCoiling),
    ZEB_S(Char, ShotPeened),
    ZEB_S(Float, T),
    ZEB_FIELD(Float, "EndCoils[1]", SpringData.EndCoils[1]),
    ZEB_FIELD(Float, "EndCoils[2]", SpringData.EndCoils[2]),
    ZEB_FIELD(Float, "EndCoils[0]", SpringData.EndCoils[0]),
    ZEB_S(Code, WindingDir),
    ZEB_P(Code, Deburr),
    ZEB_S(Float, T1),
    ZEB_S(Float, T2),
    ZEB_P(Text, Surface),
    ZEB_S(Code, Allowance),
    ZEB_P(Float, Ls),
    ZEB_P(Code, Preset),
    ZEB_P(Text, Extra1),
    ZEB_P(Text, Extra2),
    ZEB_S(Text, DrawingName),
    ZEB_S(Text, DrawingNo),
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_S(Float, F1),
    ZEB_S(Float, F2),
    ZEB_S(Float, sh),
    ZEB_S(Float, L2),
    ZEB_S(Float, Dm),
    ZEB_S(Float, d),
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_S(Char, Statistics),
    ZEB_S(Code, StatisticsGrade),
    ZEB_S(Float, StatisticsFactor),
    ZEB_S(Code, OptWarnings),
    ZEB_RULE,
    ZEB_RULE,
    ZEB_RULE,
    ZEB_FIELD(Text, "SpringDbName", SpringDbName),
    ZEB_FIELD(Float, "FQ", TransverseLoad.FQ),
    ZEB_S(Float, TolL0Minus),
    ZEB_S(Float, TolDeMinus),
    ZEB_S(Float, TolF1Minus),
    ZEB_S(Float, TolF2Minus),
    ZEB_S(Code, DiameterGiven),
    ZEB_S(Float, De),
    ZEB_S(Float, Di),
    ZEB_S(Code, RateInput),
    ZEB_S(Code, DesignMethod),
    ZEB_S(Code, SaMethod),
    ZEB_P(Code, Picture),
    ZEB_S(Float, Ddmax),
    ZEB_S(Float, Dhmin),
    ZEB_S(Code, WarningsOn),
};
static_assert(std::size(kMainLines) == 80);

// After the documents section, up to the load spectrum.
const Field kTailLines1[] = {
    ZEB_S(Code, RInputMethod),
    ZEB_S(Code, CrossSection),
    ZEB_S(Float, h),
    ZEB_S(Float, ExternalMass),
    ZEB_FIELD(Code, "MaterialSource", MaterialSource),
    ZEB_S(Code, CalcMode),
    ZEB_S(Text, DrawingName2),
    ZEB_S(Float, EndCoilsInput),
    ZEB_S(Text, EndFormText),
    ZEB_P(SwitchTrue, ShowSetLength),
    ZEB_S(Float, Line3DResolution),
    Field{Kind::Reserved, "0", [](SpringFileRecords&) -> Ref { return std::monostate{}; }},
    ZEB_P(SwitchTrue, SetLengthIsLc),
    ZEB_S(Float, r),
    ZEB_FIELD(Float, "LoadSpectrum.Tp", LoadSpectrum.Tp),
};

// After the load levels, up to the value table.
const Field kTailLines2[] = {
    ZEB_P(Code, SurfaceCode),
    ZEB_S(SwitchNotFalse, ShowP),
    ZEB_S(Code, GradeF2),
    ZEB_S(Code, GradeE2),
    ZEB_S(Float, FatigueTol1),
    ZEB_S(Float, FatigueTol2),
    ZEB_S(Int32, Point1Off),
};

// After the value table, to the end.
const Field kTailLines3[] = {
    ZEB_S(SwitchInverted, ShowLd),
    ZEB_S(SwitchInverted, ShowM),
    ZEB_S(SwitchTrue, HideMaterialLine2),
    ZEB_S(SwitchTrue, HideMaterialLine3),
    ZEB_S(Code, LoadCase),
    ZEB_S(Float, di),
    ZEB_S(Float, PreTauRatio),
    ZEB_S(Float, PreW),
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
    case Kind::Char: return MarkLineBreaks(std::string(1, *std::get<char*>(ref)));
    case Kind::Rule: return std::string(kRule11);
    case Kind::Reserved: return "0";
    case Kind::SwitchTrue:
    case Kind::SwitchNotFalse: return *std::get<Byte*>(ref) != 0 ? "TRUE" : "FALSE";
    case Kind::SwitchInverted: return *std::get<Byte*>(ref) != 0 ? "FALSE" : "TRUE";
  }
  return {};
}

template <std::size_t N>
void AddFields(std::string& out, const Field (&fields)[N], SpringFileRecords& r) {
  for (const Field& f : fields) AddLine(out, FieldLine(f, r));
}

// ------------------------------------------------------------- the reader

// Lines of a byte text: CR LF, LF or CR end a line; the last line may have
// no end.
class LineSource {
 public:
  explicit LineSource(std::string_view bytes) : bytes_(bytes) {}
  bool Next(std::string_view& line) {
    if (pos_ >= bytes_.size()) return false;
    std::size_t end = bytes_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) end = bytes_.size();
    line = bytes_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < bytes_.size()) {
      if (bytes_[pos_] == '\r' && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n') ++pos_;
      ++pos_;
    }
    ++lineNo_;
    return true;
  }
  int LineNo() const { return lineNo_; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  int lineNo_ = 0;
};

// Checked line readers: each takes one line and either stores its value or
// records what belonged there. Before the optional part a missing line is
// an error; in it, the end of the file ends the reading without one.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : lines_(bytes) {}

  void BeginOptionalPart() { optional_ = true; }
  // The items a count announced: a file ending among them is cut, not an
  // older layout.
  class Counted {
   public:
    explicit Counted(Reader& rd) : rd_(rd), was_(rd.optional_) { rd.optional_ = false; }
    ~Counted() { rd_.optional_ = was_; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

   private:
    Reader& rd_;
    bool was_;
  };
  // The result once a reader returned false: true when the file simply
  // ended in the optional part.
  bool Stop(std::string& error) const {
    error = error_;
    return error_.empty();
  }

  bool Line(std::string_view what, std::string_view& line) {
    if (lines_.Next(line)) return true;
    if (!optional_)
      error_ = "Zeile "_oem + IntToText(lines_.LineNo() + 1) + ": Datei zu Ende, erwartet: "_oem +
               std::string(what) + " !";
    return false;
  }

  bool Fail(std::string_view what, std::string_view found) {
    std::string shown;
    for (char c : found.substr(0, 24)) shown.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    if (found.size() > 24) shown += "...";
    error_ = "Zeile "_oem + IntToText(lines_.LineNo()) + ": erwartet: "_oem + std::string(what) + ", gelesen: \""_oem +
             shown + "\" !";
    return false;
  }

  bool Text(std::string_view what, std::string& s) {
    std::string_view line;
    if (!Line(what, line)) return false;
    s.assign(line);
    return true;
  }

  bool Rule(std::string_view what) {
    std::string_view line;
    if (!Line(what, line)) return false;
    return IsRule(line) || Fail(what, line);
  }

  bool Heading(std::string_view heading) {
    std::string_view line;
    const std::string what = "\"" + std::string(heading) + "\"";
    if (!Line(what, line)) return false;
    return TrimmedView(line) == heading || Fail(what, line);
  }

  bool Int(std::string_view what, std::int64_t lo, std::int64_t hi, std::int64_t& v) {
    std::string_view line;
    if (!Line(what, line)) return false;
    return ParseInt(line, lo, hi, v) || Fail(what, line);
  }

  bool Count(std::string_view name, int max, int& count) {
    const std::string what = "Anzahl 0.."_oem + IntToText(max) + " (" + std::string(name) + ")";
    std::int64_t v = 0;
    if (!Int(what, 0, max, v)) return false;
    count = static_cast<int>(v);
    return true;
  }

  bool Float(std::string_view what, Real& x) {
    std::string_view line;
    if (!Line(what, line)) return false;
    return ParseFloat(line, x) || Fail(what, line);
  }

  bool Read(const Field& f, SpringFileRecords& r) {
    const Ref ref = f.get(r);
    const std::string name = f.name;
    std::string_view line;
    std::int64_t v = 0;
    switch (f.kind) {
      case Kind::Code:
        if (!Int("ganze Zahl 0..65535 ("_oem + name + ")", 0, std::numeric_limits<Code>::max(), v)) return false;
        *std::get<Code*>(ref) = static_cast<Code>(v);
        return true;
      case Kind::Int32:
        if (!Int("ganze Zahl ("_oem + name + ")", INT32_MIN, INT32_MAX, v)) return false;
        *std::get<std::int32_t*>(ref) = static_cast<std::int32_t>(v);
        return true;
      case Kind::Reserved: return Int("ganze Zahl"_oem, INT32_MIN, INT32_MAX, v);
      case Kind::Float: return Float("Zahl ("_oem + name + ")", *std::get<Real*>(ref));
      case Kind::Text: return Text("Text ("_oem + name + ")", *std::get<std::string*>(ref));
      case Kind::Char: {
        const std::string what = "ein Zeichen ("_oem + name + ")";
        if (!Line(what, line)) return false;
        if (line.empty()) return Fail(what, line);
        *std::get<char*>(ref) = line[0];
        return true;
      }
      case Kind::Rule: return Rule("Trennlinie "_oem + std::string(kRule11));
      case Kind::SwitchTrue:
      case Kind::SwitchNotFalse:
      case Kind::SwitchInverted: {
        if (!Line("TRUE/FALSE (" + name + ")", line)) return false;
        bool on = false;
        if (f.kind == Kind::SwitchTrue) on = UpperStr(line) == "TRUE";
        if (f.kind == Kind::SwitchNotFalse) on = UpperStr(line) != "FALSE";
        if (f.kind == Kind::SwitchInverted) on = UpperStr(line) != "TRUE";
        *std::get<Byte*>(ref) = on ? 1 : 0;
        return true;
      }
    }
    return false;
  }

  template <std::size_t N>
  bool ReadAll(const Field (&fields)[N], SpringFileRecords& r) {
    for (const Field& f : fields)
      if (!Read(f, r)) return false;
    return true;
  }

 private:
  LineSource lines_;
  bool optional_ = false;
  std::string error_;
};

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
  if (!rd.Line(what, line)) return false;
  const std::vector<std::string_view> f = SplitFields(line);
  std::int64_t n = 0;
  if (f.size() < 8 || !ParseInt(f[6], 0, kMaxDrawingTexts, n)) return rd.Fail(what, line);
  log.CheckedDate = f[0];
  log.CheckedBy = f[1];
  log.StandardsDate = f[2];
  log.StandardsBy = f[3];
  log.ReleaseDate = f[4];
  log.ReleasedBy = f[5];
  textCount = static_cast<int>(n);
  return true;
}

bool ReadDrawingText(Reader& rd, DrawingText& t) {
  const std::string what = "x|y|h|phi|Text|| (Zeichnungstext)"_oem;
  std::string_view line;
  if (!rd.Line(what, line)) return false;
  const std::vector<std::string_view> f = SplitFields(line);
  if (f.size() < 4 || line.size() < 2 || line.substr(line.size() - 2) != "||") return rd.Fail(what, line);
  std::size_t textStart = 0;
  for (int i = 0; i < 4; ++i) textStart = line.find('|', textStart) + 1;
  if (textStart > line.size() - 2) return rd.Fail(what, line);
  if (!ParseFloat(f[0], t.x) || !ParseFloat(f[1], t.y) || !ParseFloat(f[2], t.h) || !ParseFloat(f[3], t.phi))
    return rd.Fail(what, line);
  t.Text.assign(line.substr(textStart, line.size() - 2 - textStart));
  return true;
}

bool ReadChangeLog(Reader& rd, ChangeLogData& log) {
  int count = 0;
  if (!rd.Heading("ÄNDERUNGEN"_oem) || !rd.Count("ChangeEntryCount", kMaxChangeEntries, count) ||
      !rd.Rule("Trennlinie "_oem + std::string(20, '-')))
    return false;
  for (int i = 1; i <= count; ++i) {
    const Reader::Counted entries(rd);
    ChangeEntry e;
    if (!rd.Text("Change", e.Change) || !rd.Text("Date", e.Date) || !rd.Text("Editor", e.Editor) ||
        !rd.Text("Description", e.Description))
      return false;
    // Old files may hold a description over several lines.
    for (;;) {
      std::string_view line;
      if (!rd.Line("Trennlinie "_oem + std::string(kRule14), line)) return false;
      if (TrimmedView(line) == kRule14) break;
      e.Description.append(line);
    }
    log.ChangeEntries[static_cast<std::size_t>(i)] = std::move(e);
    log.ChangeEntryCount = static_cast<std::int16_t>(i);
  }
  int texts = 0;
  if (!ReadEightFieldLine(rd, log, texts)) return false;
  if (!rd.Text("CreatedDate", log.CreatedDate) || !rd.Text("ReplacesDrawing", log.ReplacesDrawing) ||
      !rd.Text("ReplacedByDrawing", log.ReplacedByDrawing) || !rd.Text("CreatedBy", log.CreatedBy))
    return false;
  for (int i = 1; i <= texts; ++i) {
    DrawingText t;
    if (!ReadDrawingText(rd, t)) return false;
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
  const Reader::Counted entries(rd);
  for (int i = 1; i <= count; ++i) {
    DocumentLink link;
    if (!rd.Text("Program", link.Program) || !rd.Text("File", link.File) ||
        !rd.Rule("Trennlinie "_oem + std::string(kRule14)))
      return false;
    links[static_cast<std::size_t>(i)] = std::move(link);
  }
  return true;
}

bool ReadLoadLevels(Reader& rd, LoadSpectrumRecord& spectrum) {
  int count = 0;
  if (!rd.Count("LoadSpectrum.Count", kMaxLoadLevels, count)) return false;
  const Reader::Counted levels(rd);
  for (int i = 1; i <= count; ++i) {
    LoadLevel level;
    if (!rd.Float("Zahl (L1)", level.L1) || !rd.Float("Zahl (L2)", level.L2) || !rd.Float("Zahl (ni)", level.ni))
      return false;
    spectrum.Levels[static_cast<std::size_t>(i)] = level;
    spectrum.Count = static_cast<std::int16_t>(i);
  }
  return true;
}

bool ReadValueTable(Reader& rd, ValueTableRecord& table) {
  int count = 0;
  if (!rd.Count("ValueTable", kMaxValueTableCount, count)) return false;
  const Reader::Counted values(rd);
  for (int i = 1; i <= count; ++i) {
    if (!rd.Float("Zahl (ValueTable)", table.Values[static_cast<std::size_t>(i)])) return false;
    table.Count = i;
  }
  return true;
}

// ------------------------------------------------------- file access

std::string NotReadableText(std::string_view path) {
  return "Datei "_oem + OemPath(path) + " nicht gefunden oder kein Zugriffsrecht !"_oem;
}

// The bytes of a regular file, read through WorkTextFile. A failure is
// shown and sets AbortFlag.
bool ReadFileBytes(const std::string& path, std::string& bytes) {
  const std::string found = ResolvePathCaseInsensitive(path);
  if (PathIsDevice(found)) {
    ShowError("Datei "_oem + OemPath(path) + " ist keine reguläre Datei !"_oem);
    G().AbortFlag = 1;
    return false;
  }
  if (!PathIsRegularFile(found) || !OpenWorkTextFileForReading(path)) {
    ShowError(NotReadableText(path));
    G().AbortFlag = 1;
    return false;
  }
  TextFile& f = WorkTextFile();
  std::string line;
  int err = 0;
  std::error_code ec;
  bool tooLarge = std::filesystem::file_size(ResolvePathCaseInsensitive(path), ec) > kMaxFileBytes && !ec;
  while (!tooLarge && err == 0 && !f.Eof()) {
    err = f.ReadLine(line);
    bytes.append(line).push_back('\n');
    tooLarge = bytes.size() > kMaxFileBytes;
  }
  f.Close();
  if (err != 0 || tooLarge) {
    ShowError(tooLarge ? "Datei "_oem + OemPath(path) + " ist zu groß für eine Federdatei !"_oem
                       : "Lesefehler: "_oem + OemPath(path));
    G().AbortFlag = 1;
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- records

SpringFileRecords DefaultSpringFileRecords() {
  SpringFileRecords r;
  const SpringGlobals start{};
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
  return FloatToStoredText(x);
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

void WriteSpringFile(std::string_view name) {
  BaseGlobals& g = G();
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
  if (g.AbortFlag == 0) g.CurrentFilePath = path;
  RestoreArrowCursor();
}

// ---------------------------------------------------------------- reading

bool ParseSpringFile(std::string_view bytes, SpringFileRecords& out, std::string& error) {
  out = DefaultSpringFileRecords();
  error.clear();
  // Control characters in a line (a tab, Ctrl-Z, NUL) would reach the
  // tab-separated printout and the CAD files: they are read as blanks.
  std::string text(bytes);
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\r' && c != '\n') || u == 0x7F) c = ' ';
  }
  Reader rd(text);
#define ZEB_READ(x)                   \
  do {                                \
    if (!(x)) return rd.Stop(error); \
  } while (0)

  const std::string headerRule = "Trennlinie "_oem + std::string(65, '-');
  std::string ignored;
  ZEB_READ(rd.Rule(headerRule));
  ZEB_READ(rd.Text("Programmzeile"_oem, ignored));
  ZEB_READ(rd.Text("Versionszeile"_oem, ignored));
  ZEB_READ(rd.Rule(headerRule));
  for (int i = 1; i <= 3; ++i) ZEB_READ(rd.Text("Titelzeile "_oem + IntToText(i), out.TitleBlockLines[i]));
  ZEB_READ(rd.ReadAll(kMainLines, out));

  rd.BeginOptionalPart();
  ZEB_READ(ReadChangeLog(rd, out.ChangeLog));
  ZEB_READ(ReadDocuments(rd, out.DocumentLinks));
  ZEB_READ(rd.ReadAll(kTailLines1, out));
  ZEB_READ(ReadLoadLevels(rd, out.LoadSpectrum));
  ZEB_READ(rd.ReadAll(kTailLines2, out));
  ZEB_READ(ReadValueTable(rd, out.ValueTable));
  ZEB_READ(rd.ReadAll(kTailLines3, out));
#undef ZEB_READ
  return true;
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
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return;
  SpringFileRecords records;
  std::string error;
  if (!ParseSpringFile(bytes, records, error)) {
    ShowError("Datei "_oem + OemPath(path) + ", " + error);
    g.AbortFlag = 1;
    return;
  }
  InstallSpringFileRecords(records);
  g.CurrentFilePath = path;
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
