// CAD output layer: state, output run, argument guards, primitives and the
// screen output.
#include "graphics/cad.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/text.h"
#include "base/ui_port.h"
#include "base/vector2d.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "graphics/sink.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

// ---------------------------------------------------------------- CadFile

CadFile::~CadFile() { Abort(); }

int CadFile::Open(std::string_view path) {
  Abort();
  path_ = std::string(path);
  error_ = file_.Open(path);
  return error_;
}

void CadFile::Flush() {
  if (buffer_.empty()) return;
  if (error_ == 0 && file_.IsOpen()) error_ = file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void CadFile::Write(std::string_view bytes) {
  if (error_ != 0 || !file_.IsOpen()) return;
  if (bytes.size() >= (1u << 16)) {  // large pieces go straight to the file
    Flush();
    if (error_ == 0) error_ = file_.Write(bytes.data(), bytes.size());
    return;
  }
  buffer_ += bytes;
  if (buffer_.size() >= (1u << 16)) Flush();
}

void CadFile::WriteLine(std::string_view line) {
  Write(line);
  Write("\r\n");
}

int CadFile::Commit() {
  Flush();
  if (error_ != 0) {
    file_.Abort();
    return error_;
  }
  if (!file_.IsOpen()) return EBADF;
  int e = file_.Commit();
  if (e != 0) error_ = e;
  return e;
}

void CadFile::Abort() {
  buffer_.clear();
  if (file_.IsOpen()) file_.Abort();
}

// ---------------------------------------------------------------- state

namespace {

struct Runtime {
  bool running = false;
  int code = 0;
  std::unique_ptr<CadFile> file;
  std::unique_ptr<CadOutput> output;
  // Screen block being recorded.
  std::unique_ptr<CadFile> blockFile;
  std::unique_ptr<CadOutput> blockOutput;
  bool blockRefused = false;
  bool outputBlockOpen = false;
  bool dropReported = false;
  // The plot file of code 4, with whether the run made it.
  PlotFile plot;
  // Polyline drawn as lines and arcs.
  Byte polyFlags = 0;
  Real polyFirstX = 0, polyFirstY = 0;
};

Runtime& Rt() {
  static Runtime rt;
  return rt;
}

CadState& State() {
  static CadState s;
  return s;
}

std::string Oem(std::string_view utf8) { return FromUtf8(CodePage::Cp850, utf8); }

// "Datei <name> <what>: <reason>" in the error box.
void FileErrorBox(const std::string& path, std::string_view what, int err) {
  ShowErrorBox("Datei "_oem.str() + Oem(path) + " " + std::string(what) + ": " + SystemErrorText(err));
}

bool Check(std::initializer_list<Real> values) {
  for (Real v : values) {
    if (!cad_detail::Usable(v)) {
      cad_detail::ReportDrop();
      return false;
    }
  }
  return true;
}

// A text as the files can carry it: line breaks and NUL dropped, other
// control characters (a tab, Ctrl-Z that ends an IGES file for some
// readers) written as blanks.
std::string WithoutLineBreaks(std::string_view text) {
  std::string t;
  t.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '\0') continue;
    const auto u = static_cast<unsigned char>(c);
    t += u < 0x20 || u == 0x7F ? ' ' : c;
  }
  return t;
}

}  // namespace

CadState& Cad() { return State(); }

namespace cad_detail {

// False for NaN and infinities too: they fail the comparison.
bool Usable(Real v) { return std::fabs(v) <= 1e9L; }

void ReportDrop() {
  if (Rt().dropReported) return;
  Rt().dropReported = true;
  AddErrorMessage("Fehler : Zeichnungselement mit ungültigen Werten ausgelassen"_oem);
}

int FoldLayer(long long n) {
  if (n < 0) return 0;
  if (n > 31) return static_cast<int>(n % 16) + 16;
  return static_cast<int>(n);
}

bool BlockNameUsable(std::string_view name) {
  if (name.empty() || name.size() > 200) return false;
  if (name.find("..") != std::string_view::npos) return false;
  for (unsigned char c : name) {
    if (c < 32 || c == 127) return false;
    if (std::string_view("/\\<>:\"?*|=;`").find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  return true;
}

CadOutput* MainOutput() { return Rt().output.get(); }

CadOutput* Target() {
  Runtime& rt = Rt();
  if (rt.blockRefused) return nullptr;
  if (rt.running && rt.code == 3 && State().CadBlockRecording) return rt.blockOutput.get();
  return rt.output.get();
}

bool OpenScreenBlock(std::string_view name) {
  Runtime& rt = Rt();
  EndScreenBlock(false);
  std::string folder = CadTempFolder();
  if (folder.empty()) return false;
  auto file = std::make_unique<CadFile>();
  if (file->Open(folder + "/$" + std::string(name) + ".dx$") != 0) return false;
  file->SetSync(false);  // a screen block file lives until the run ends
  // Its texts break its lines where the screen draws it.
  rt.blockOutput = MakeDxfOutput(*file, true);
  rt.blockFile = std::move(file);
  return true;
}

void EndScreenBlock(bool keep) {
  Runtime& rt = Rt();
  if (!rt.blockFile) return;
  if (keep) {
    rt.blockOutput->Finish();
    rt.blockFile->Commit();  // a failed block file is removed; its insert reports it
  } else {
    rt.blockFile->Abort();
  }
  rt.blockOutput.reset();
  rt.blockFile.reset();
}

bool ScreenBlockOpen() { return Rt().blockFile != nullptr; }

void SetBlockRefused(bool refused) { Rt().blockRefused = refused; }
void SetOutputBlockOpen(bool open) { Rt().outputBlockOpen = open; }
bool OutputBlockOpen() { return Rt().outputBlockOpen; }

// A plot file this run made and did not fill goes again.
void RemoveUnfilledPlotFile() {
  Runtime& rt = Rt();
  if (rt.plot.created) ::unlink(rt.plot.path.c_str());
  rt.plot = PlotFile{};
}

void AbandonRun() {
  Runtime& rt = Rt();
  EndScreenBlock(false);
  if (rt.file) rt.file->Abort();
  RemoveUnfilledPlotFile();
  rt.output.reset();
  rt.file.reset();
  rt.running = false;
  rt.blockRefused = false;
}

}  // namespace cad_detail

using cad_detail::Target;

CadOutput* CurrentCadOutput() { return cad_detail::HeldInner(Rt().output.get()); }

void CadFlush() { cad_detail::FlushHeld(Target()); }

void ResetCadState() {
  cad_detail::AbandonRun();
  Rt() = Runtime{};
  State() = CadState{};
  CadLayerWritten();
  CadStyleWritten();
}

// ---------------------------------------------------------------- screen

namespace {

class ScreenOutput : public CadOutput {
 public:
  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override {
    Screen().GrafHeader(0, xmin, ymin, xmax, ymax);
  }
  void BeginEntities() override {
    Screen().GrafClearViewPort();
    Screen().GrafSetLineStyle(0);
  }
  void SetLayer(int n) override {
    const CadSettingsRecord& cs = CadSettings();
    std::int32_t mode = State().CadLayerMode;
    ScreenSink& s = Screen();
    if (mode == 0) s.GrafSetLineStyle(n == 1 ? 2 : n == 2 ? 3 : 0);
    if (mode == 0 && n <= 5)
      s.GrafSetColorMapped(cs.CadLayerColours[n]);
    else if (n >= 16 && mode != 2)
      s.GrafSetColorMapped(cs.CadUserColours[n - 16]);
    else if (mode == 2 && n == 0)
      s.GrafSetColorMapped(0);
    int width = 1;
    if (n >= 1 && n <= 5) width = cs.CadLayerWidths[n];
    if (n >= 16 && cs.CadUserWidths[n - 16] >= 2 && cs.CadUserWidths[n - 16] <= 50) width = cs.CadUserWidths[n - 16];
    s.SetLineWidth(width);
  }
  void TextStyle(int font, Real angle, Real height, Real width) override {
    Screen().GrafSetTextStyle(font, angle, height, 0.95L * width);
  }
  void ScreenLineStyle(int style) override { Screen().GrafSetLineStyle(style); }

  void Line(Real x1, Real y1, Real x2, Real y2) override { Screen().GrafLine(x1, y1, x2, y2); }
  void Line3D(Real x1, Real y1, Real, Real x2, Real y2, Real) override { Screen().GrafLine(x1, y1, x2, y2); }
  void Circle(Real x, Real y, Real r) override { Screen().GrafCircle(x, y, r); }
  void Arc(Real x, Real y, Real s, Real e, Real r) override {
    if (cad_detail::ArcIsFullCircle(s, e))
      Screen().GrafCircle(x, y, r);
    else
      Screen().GrafArc(x, y, s, e, r);
  }
  void Text(std::string_view text, Real x, Real y) override { Screen().GrafOutTextXY(text, x, y); }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    Screen().GrafSolid(x1, y1, x2, y2, x4, y4, x3, y3);
  }
  void Insert(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy) override {
    State().CadInsertTransform = CadTransform{};
    State().CadBlockLevel = 0;
    CadExpandBlockFile(name, x, y, angle, sx, sy);
  }
  bool Finish() override {
    Screen().GrafClearViewPort();
    Screen().GrafSetOldCursor();
    DeleteTempDrawingFiles();
    Screen().GrafSetOldCursor();
    return true;
  }
};

}  // namespace

namespace cad_detail {
std::unique_ptr<CadOutput> MakeScreenOutput() { return std::make_unique<ScreenOutput>(); }
}  // namespace cad_detail

// ---------------------------------------------------------------- temp folder

std::string CadTempFolder() { return ScratchFolder(); }

void DeleteTempDrawingFiles() {
  std::string folder = CadTempFolder();
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.size() < 5 || name[0] != '$') continue;
    if (LowerStr(name.substr(name.size() - 4)) != ".dx$") continue;
    std::error_code e2;
    if (it->is_symlink(e2) || it->is_regular_file(e2)) std::filesystem::remove(it->path(), e2);
  }
}

// ---------------------------------------------------------------- output run

void SetCadCode(int code) { State().CadCode = static_cast<std::int16_t>(code); }

bool CadOutputPassDone() { return true; }

void CadChooseCode() {
  CadState& st = State();
  CadSettingsRecord& cs = CadSettings();
  auto& table = G().LineTable;
  if (table.size() < 136) table.resize(136);
  table[1] = "DXF";
  table[2] = "IGES";
  table[3] = "Kontrollausgabe auf Bildschirm";
  table[4] = "Ausgabe auf Laserprinter/Plotter mit GRAVELO";
  table[5] = "TXT";
  SetCurrentHelpNumber(2050);
  std::int16_t code = st.CadCode;
  AskChoice("CAD-Code", 5, code);
  if (G().AbortFlag) return;
  st.CadCode = code;
  if (code != 4) return;
  int count = std::clamp<int>(cs.CadPlotLineCount, 1, 5);
  if (count >= 2) {
    for (int i = 1; i <= count; ++i) table[i] = cs.CadPlotCommandLines[i - 1];
    SetCurrentHelpNumber(2055);
    std::int16_t index = st.CadPlotLineIndex;
    AskChoice("GRAVELO Command Line", count, index);
    if (G().AbortFlag) return;
    st.CadPlotLineIndex = index;
  } else {
    st.CadPlotLineIndex = 1;
  }
  std::string& line = cs.CadPlotCommandLines[std::clamp<int>(st.CadPlotLineIndex, 1, 5) - 1];
  std::string edited = line;
  if (PlotConfig().Edit(edited)) line = edited;
  if (TrimBlanks(line).empty()) {
    ShowErrorBox("Plotprogramm nicht eingerichtet\nEinstellung: "_oem + kPlotProgramSetting);
    G().AbortFlag = 1;
    return;
  }
  SetCurrentHelpNumber(2060);
  std::string answer = line;
  InputText("GRAVELO-Kommandozeile (0=Parameter)", 60, answer);
  if (G().AbortFlag) return;
  if (answer.empty() || answer[0] == '0') GraveloCommandLine(answer);
  line = answer;
}

namespace {

// Opens the run's file; false (error box, AbortFlag) when it cannot be
// created.
bool OpenRunFile(const std::string& path) {
  Runtime& rt = Rt();
  rt.file = std::make_unique<CadFile>();
  if (int e = rt.file->Open(path)) {
    rt.file.reset();
    FileErrorBox(path, "kann nicht angelegt werden", e);
    G().AbortFlag = 1;
    RestoreArrowCursor();
    return false;
  }
  return true;
}

}  // namespace

void CadBeginOutput(int code) {
  CadState& st = State();
  Runtime& rt = Rt();
  cad_detail::AbandonRun();
  rt = Runtime{};
  st.CadBlockRecording = 0;
  st.CadTextLineField = 0;
  st.CadBlockLevel = 0;
  st.RequestedCadCode = static_cast<std::int16_t>(code);
  G().PrinterMode = 0;
  if (code != 0)
    st.CadCode = static_cast<std::int16_t>(code);
  else
    CadChooseCode();
  if (G().AbortFlag) return;
  rt.code = st.CadCode;
  switch (rt.code) {
    case 3:
      Screen().GrafClear();
      Screen().GrafSetWaitCursor();
      rt.output = cad_detail::MakeScreenOutput();
      break;
    case 4: {
      // Where the command line tells the plot program to look, outside the
      // run's own folder: the file outlives the run.
      rt.plot = CadMakePlotFile(CadSettings().CadPlotCommandLines[std::clamp<int>(st.CadPlotLineIndex, 1, 5) - 1]);
      if (rt.plot.path.empty()) {
        RestoreArrowCursor();
        return;
      }
      st.CadFileName = rt.plot.path;
      ShowWaitMessage(Oem(st.CadFileName) + " " + "wird geplottet" + "..");
      if (!OpenRunFile(st.CadFileName)) {
        cad_detail::RemoveUnfilledPlotFile();
        return;
      }
      rt.output = cad_detail::MakeDxfOutput(*rt.file, false);
      break;
    }
    case 1:
    case 2:
    case 5: {
      const char* ext = rt.code == 1 ? "dxf" : rt.code == 2 ? "igs" : "txt";
      std::string name;
      if (CadSettings().CommandLineExport) {
        name = G().CurrentFileName + "." + ext;
      } else {
        std::string filter = std::string("*.") + ext + "|*." + ext + "|*.*|*.*";
        if (!Ui().ChooseSaveFile(CadSettings().CadFolder, filter, G().CurrentFileName, name)) name.clear();
        if (TrimBlanks(name).empty()) {
          G().AbortFlag = 1;
          st.CadFileName.clear();
          RestoreArrowCursor();
          return;
        }
        std::size_t slash = name.rfind('/');
        std::string_view base = std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
        if (base.find('.') == std::string_view::npos) name += std::string(".") + ext;
        if (!ConfirmChosenSaveFile(name)) {
          G().AbortFlag = 1;
          st.CadFileName.clear();
          RestoreArrowCursor();
          return;
        }
      }
      st.CadFileName = name;
      if (!OpenRunFile(name)) return;
      if (rt.code == 1)
        rt.output = cad_detail::MakeDxfOutput(*rt.file, false);
      else if (rt.code == 2)
        rt.output = MakeIgesOutput(*rt.file);
      else
        rt.output = cad_detail::MakeTxtOutput(*rt.file);
      break;
    }
    default:
      break;
  }
  if (cad_detail::BreakAtTexts()) rt.output = cad_detail::HoldForTexts(std::move(rt.output), rt.code == 3);
  rt.running = true;
  CadSetTextAlign(0, 0);
  CadSetLineSpacing(1.0L);
  CadScreenLineStyle(0);
  CadSetScale(1.0L);
  CadSetLayerMode(0);
}

void CadEndOutput() {
  Runtime& rt = Rt();
  CadState& st = State();
  if (!rt.running) return;
  cad_detail::EndScreenBlock(false);
  st.CadBlockRecording = 0;
  if (rt.output && rt.file) {
    std::string path = rt.file->Path();
    bool ok = rt.output->Finish();
    if (!ok) {
      rt.file->Abort();
      cad_detail::RemoveUnfilledPlotFile();
      G().AbortFlag = 1;
    } else if (int e = rt.file->Error()) {
      rt.file->Abort();
      cad_detail::RemoveUnfilledPlotFile();
      FileErrorBox(path, "kann nicht geschrieben werden", e);
      G().AbortFlag = 1;
    } else if (int e2 = rt.file->Commit()) {
      cad_detail::RemoveUnfilledPlotFile();
      FileErrorBox(path, "kann nicht geschrieben werden", e2);
      G().AbortFlag = 1;
    } else if (rt.code == 4) {
      int index = std::clamp<int>(st.CadPlotLineIndex, 1, 5);
      CadStartPlotProgram(CadSettings().CadPlotCommandLines[index - 1], path);
    }
    rt.plot = PlotFile{};
    if (rt.code == 4) SetArrowCursor();
  } else if (rt.output) {
    rt.output->Finish();
  }
  rt.output.reset();
  rt.file.reset();
  rt.running = false;
  rt.blockRefused = false;
}

// ---------------------------------------------------------------- settings

void CadSetScale(Real s) {
  Real f = CadSettings().CadUnitFactor;
  if (f == 0) f = 1;
  State().CadScale = s * f;
}

void CadSetLayerMode(std::int32_t m) {
  State().CadLayerMode = m;
  CadLayerWritten();
}

void CadSetTextAlign(std::int32_t h, std::int32_t v) { State().CadTextAlign = {h, v}; }

void CadSetLineSpacing(Real f) { State().CadLineSpacing = f; }

void CadScreenLineStyle(int style) {
  if (CadOutput* o = Target()) o->ScreenLineStyle(style);
}

void CadSetLayer(int n) {
  n = cad_detail::FoldLayer(n);
  if (CadState& st = State(); st.CadLayer != n) {
    st.CadLayer = n;
    CadLayerWritten();
  }
  DxfSetLayerName(n);
  if (CadOutput* o = Target()) o->SetLayer(n);
}

void CadTextStyle(int font, Real angle, Real height, Real width) {
  if (!Check({angle, height, width})) return;
  CadState& st = State();
  Real factor = CadSettings().CadTextFactor;
  st.CadTextHeight = height;
  if (width == 0)
    st.CadTextWidthFactor = factor * 0.7L;
  else if (height > 0)
    st.CadTextWidthFactor = factor * width / height;
  st.CadTextAngle = angle;
  st.CadTextOblique = CadSettings().CadTextObliqueAngle;
  CadStyleWritten();
  st.CadTextFont = font;
  st.CadTextWidth = width;
  if (CadOutput* o = Target()) o->TextStyle(font, angle, height, width);
}

void CadTextStyleFit(int font, std::string_view text, int n, Real angle, Real height, Real width) {
  Real len = static_cast<Real>(text.size());
  if (len > n) {
    height = height * n / len;
    width = width * n / len;
  }
  CadTextStyle(font, angle, height, width);
}

// ---------------------------------------------------------------- primitives

void CadLine(Real x1, Real y1, Real x2, Real y2) {
  if (!Check({x1, y1, x2, y2})) return;
  if (CadOutput* o = Target()) o->Line(x1, y1, x2, y2);
}

void CadCircle(Real x, Real y, Real r) {
  if (!Check({x, y, r})) return;
  if (!(r > 0)) return;
  if (CadOutput* o = Target()) o->Circle(x, y, r);
}

void CadArc(Real x, Real y, Real startAngle, Real endAngle, Real r) {
  if (!Check({x, y, startAngle, endAngle, r})) return;
  if (!(r > 0)) return;
  if (CadOutput* o = Target()) o->Arc(x, y, startAngle, endAngle, r);
}

void CadText(std::string_view text, Real x, Real y) {
  std::string t = WithoutLineBreaks(text);
  if (t.empty()) return;
  const CadState& st = State();
  Real h = st.CadTextHeight, wf = st.CadTextWidthFactor;
  if (!Check({h, wf, st.CadTextAngle, st.CadTextOblique})) return;
  if (!(h > 0)) return;
  Real advance = wf * h * static_cast<Real>(t.size());
  if (st.CadTextAlign[0] == 1) x -= 0.5L * advance;
  else if (st.CadTextAlign[0] == 2) x -= advance;
  if (st.CadTextAlign[1] == 1) y -= 0.5L * h;
  else if (st.CadTextAlign[1] == 2) y -= h;
  if (!Check({x, y})) return;
  if (CadOutput* o = Target()) o->Text(t, x, y);
}

void CadSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
  if (!Check({x1, y1, x2, y2, x3, y3, x4, y4})) return;
  if (CadOutput* o = Target()) o->Solid(x1, y1, x2, y2, x3, y3, x4, y4);
}

void CadInsertBlock(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy) {
  if (!Check({x, y, angle, sx, sy})) return;
  if (sx == 0 || sy == 0) return;
  if (!cad_detail::BlockNameUsable(name)) return;
  if (CadOutput* o = Target()) o->Insert(name, x, y, angle, sx, sy);
}

// ---------------------------------------------------------------- composites

void CadMoveTo(Real x, Real y) {
  State().CadCurrentPoint.x = x;
  State().CadCurrentPoint.y = y;
}

void CadLineTo(Real x, Real y) {
  CadPoint3& p = State().CadCurrentPoint;
  CadLine(p.x, p.y, x, y);
  p.x = x;
  p.y = y;
}

void CadRectangle(Real x1, Real y1, Real x2, Real y2) {
  CadMoveTo(x1, y1);
  CadLineTo(x2, y1);
  CadLineTo(x2, y2);
  CadLineTo(x1, y2);
  CadLineTo(x1, y1);
}

void CadHorizontalLine(Real x, Real y, Real length) { CadLine(x, y, x + length, y); }
void CadVerticalLine(Real x, Real y, Real length) { CadLine(x, y, x, y + length); }

void CadEllipse(Real xc, Real yc, Real a, Real b) {
  if (!Check({xc, yc, a, b})) return;
  if (a == 0 && b == 0) return;
  const Real a2 = a * a, b2 = b * b;
  CadMoveTo(xc + a, yc);
  Real t = 0;
  for (int k = 1; t < 2 * kPi; ++k) {
    t = 0.05L * k;
    Real tn = std::tan(t), tn2 = tn * tn;
    Real r = std::sqrt((tn2 + 1) * a2 * b2 / (a2 * tn2 + b2));
    CadLineTo(xc + r * std::cos(t), yc + r * std::sin(t));
  }
}

void CadArrowHead(Real x, Real y, Real direction, Real halfAngle, Real length1, Real length2) {
  const CadMarks mark;
  auto px = [&](Real phi) { return x + length1 * std::cos(DegToRad(phi)); };
  auto py = [&](Real phi) { return y + length1 * std::sin(DegToRad(phi)); };
  CadSolid(x, y, px(direction + halfAngle), py(direction + halfAngle), px(direction - halfAngle),
           py(direction - halfAngle), px(direction), py(direction));
  Real d = DegToRad(direction);
  CadLine(x, y, x + length2 * std::cos(d), y + length2 * std::sin(d));
}

void CadArrowStd(Real x, Real y, Real direction) {
  Real l = 3.5L * State().CadScale;
  CadArrowHead(x, y, direction, 5, l, l);
}

namespace {

// Arc from the current point to (x, y) with the included angle phi
// (radians; negative: clockwise).
void ArcTo(Real x1, Real y1, Real x2, Real y2, Real phi) {
  if (x1 == x2 && y1 == y2) return;
  Real xc = 0, yc = 0, s = 0, e = 0, r = 0;
  GetArcCenter(xc, yc, s, x1, y1, x2, y2, phi, e, r);
  if (r > 0) CadArc(xc, yc, RadToDeg(s), RadToDeg(e), r);
}

}  // namespace

void CadBeginPolyline(Byte flags) {
  CadState& st = State();
  st.CadPolyVertexNo = 1;
  st.CadPolyBulge = 0;
  Rt().polyFlags = flags;
  if (CadOutput* o = Target(); o && o->NativePolylines()) o->BeginPolyline(flags);
}

void CadPolylineVertex(Real x, Real y, Real includedAngle) {
  if (!Check({x, y, includedAngle})) return;
  CadState& st = State();
  if (CadOutput* o = Target(); o && o->NativePolylines()) {
    o->Vertex(x, y, includedAngle);
    return;
  }
  if (st.CadPolyVertexNo <= 1) {
    CadMoveTo(x, y);
    Rt().polyFirstX = x;
    Rt().polyFirstY = y;
  } else if (st.CadPolyBulge == 0) {
    CadLineTo(x, y);
  } else {
    ArcTo(st.CadCurrentPoint.x, st.CadCurrentPoint.y, x, y, st.CadPolyBulge);
    CadMoveTo(x, y);
  }
  st.CadPolyBulge = includedAngle;
  ++st.CadPolyVertexNo;
}

void CadEndPolyline() {
  if (CadOutput* o = Target(); o && o->NativePolylines()) {
    o->EndPolyline();
    return;
  }
  // A closed polyline ends with the segment back to its first vertex, as
  // the DXF outputs draw it.
  CadState& st = State();
  if ((Rt().polyFlags & 1) && st.CadPolyVertexNo > 2) {
    Real x = Rt().polyFirstX, y = Rt().polyFirstY;
    if (st.CadPolyBulge == 0)
      CadLineTo(x, y);
    else
      ArcTo(st.CadCurrentPoint.x, st.CadCurrentPoint.y, x, y, st.CadPolyBulge);
    CadMoveTo(x, y);
  }
  Rt().polyFlags = 0;
  st.CadPolyVertexNo = 1;
  st.CadPolyBulge = 0;
}

// ---------------------------------------------------------------- text lines

void CadTextLine(std::string_view text) {
  if (text.empty()) return;
  CadState& st = State();
  if (CadNoteTextLine(text, st.CadTextLineField, 2)) return;
  if (st.CadTextLineField > 0) {
    CadTextLineWhole(text, st.CadTextLineField, 2);
    return;
  }
  CadText(text, st.CadCurrentPoint.x, st.CadCurrentPoint.y);
  st.CadCurrentPoint.y -= 1.6L * st.CadTextHeight * st.CadLineSpacing;
}

void CadLengthLine(std::string_view name, Real valueMm) {
  std::string s(name);
  // A travel (s1, sh, ...) or a length with the printout's digits at least.
  const bool travel = !name.empty() && name[0] == 's' && name.substr(0, 2) != "sQ";
  const std::string printed = travel ? FormatTravel(valueMm) : FormatLength(valueMm);
  if (G().UnitSystem == 1) {
    s += " = " + MoreDigits(FloatToStrSigLess(-1, MmToInch(valueMm)), printed) + " in";
  } else {
    Real a = std::fabs(valueMm);
    s += " = " + MoreDigits(a >= 0.001L && a < 1 ? FloatToStrDec(3, valueMm) : FloatToStrSig(valueMm), printed) +
         " mm";
  }
  CadTextLine(s);
}

void CadForceLine(std::string_view name, Real forceN) {
  CadTextLine(std::string(name) + " = " + FormatForce(forceN) + " " + ForceUnitName());
}

void CadForceToleranceLine(std::string_view name, Real forceN, Real tolA, Real tolB) {
  CadTextLine(std::string(name) + " = " + FormatForce(forceN) + FormatForceTolerancePair(tolA, tolB) + " " +
              ForceUnitName());
}

void CadStressLine(std::string_view name, Real stress) {
  CadTextLine(std::string(name) + "= " + FormatStressField(4, 0, stress) + " " + StressUnitName());
}

void CadKnownStressLine(std::string_view name, Real stress) {
  if (stress > 0) return CadStressLine(name, stress);
  CadTextLine(std::string(name) + "=    - " + StressUnitName());
}

// ---------------------------------------------------------------- 3-D lines

namespace {
void LineTo3D(Real x, Real y, Real z) {
  CadPoint3& p = State().CadCurrentPoint;
  if (Check({p.x, p.y, p.z, x, y, z}))
    if (CadOutput* o = Target()) o->Line3D(p.x, p.y, p.z, x, y, z);
  p = CadPoint3{x, y, z};
}
}  // namespace

void DxfMoveTo3D(Real x, Real y, Real z) { State().CadCurrentPoint = CadPoint3{x, y, z}; }
void DxfLineTo3D(Real x, Real y, Real z) { LineTo3D(x, y, z); }
void TxtMoveTo3D(Real x, Real y, Real z) { State().CadCurrentPoint = CadPoint3{x, y, z}; }
void TxtLineTo3D(Real x, Real y, Real z) { LineTo3D(x, y, z); }

}  // namespace zeb
