// Drawing header, tables, blocks, the entities section with the logo
// blocks, and the reader that redraws a screen block file where the block
// is inserted.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/messages.h"
#include "base/text.h"
#include "base/vector2d.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

using cad_detail::MainOutput;

namespace {

// A block file bigger than this is refused as unreadable.
constexpr std::size_t kMaxBlockFileBytes = 64u << 20;
// Group pairs one insertion may read over all nesting levels.
constexpr long kExpansionBudget = 4'000'000;

long& ExpansionBudget() {
  static long budget = 0;
  return budget;
}

std::string BlockFilePath(std::string_view name) {
  std::string folder = CadTempFolder();
  if (folder.empty()) return {};
  return ResolveCaseInsensitive(folder, "$" + std::string(name) + ".dx$");
}

bool ReadWholeFile(const std::string& path, std::string& data) {
  if (path.empty() || !PathIsRegularFile(path)) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  data.clear();
  char buf[1 << 15];
  std::size_t n;
  bool ok = true;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    data.append(buf, n);
    if (data.size() > kMaxBlockFileBytes) {
      ok = false;
      break;
    }
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  return ok;
}

// Group code / value pairs of a DXF text. Codes that are no integers or lie
// outside -5..1071 come back as kBadCode.
class PairReader {
 public:
  static constexpr int kBadCode = -1000;
  explicit PairReader(const std::string& data) : data_(data) {}

  // Next pair; false at the end of the data (or a code without value) and
  // when the expansion budget is spent.
  bool Next(int& code, std::string& value) {
    if (held_) {
      held_ = false;
      code = heldCode_;
      value = heldValue_;
      return true;
    }
    std::string codeLine;
    if (!Line(codeLine)) return false;
    if (!Line(value)) {
      truncated_ = true;
      return false;
    }
    if (--ExpansionBudget() < 0) return false;
    std::int64_t c = 0;
    std::string t = TrimBlanks(codeLine);
    code = TryTextToInt(t, c) && c >= -5 && c <= 1071 ? static_cast<int>(c) : kBadCode;
    return true;
  }
  // True when the data ended inside a pair: the last record is incomplete.
  bool Truncated() const { return truncated_; }
  // Gives the pair back to the next Next().
  void Hold(int code, const std::string& value) {
    held_ = true;
    heldCode_ = code;
    heldValue_ = value;
  }

 private:
  bool Line(std::string& line) {
    if (pos_ >= data_.size()) return false;
    std::size_t end = data_.find('\n', pos_);
    if (end == std::string::npos) end = data_.size();
    line.assign(data_, pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = end + 1;
    return true;
  }

  const std::string& data_;
  std::size_t pos_ = 0;
  bool held_ = false;
  bool truncated_ = false;
  int heldCode_ = 0;
  std::string heldValue_;
};

Real Num(const std::string& v) { return TextToFloat(TrimBlanks(v)); }

// The layer of a group 8 value: one of the layer names, else its number.
void SetLayerNamed(const std::array<std::string, 6>& names, const std::string& value) {
  std::string name = TrimBlanks(value);
  for (int i = 0; i <= 5; ++i) {
    if (name == names[static_cast<std::size_t>(i)]) {
      CadSetLayer(i);
      return;
    }
  }
  CadSetLayer(TextToInt(name));
}

struct Expander {
  PairReader& in;
  CadTransform t;  // transform of this level
  // The settings' layer names, resolved once for the whole block.
  const std::array<std::string, 6> layers = cad_detail::ResolvedLayerNames();

  void SetLayerByName(const std::string& value) const { SetLayerNamed(layers, value); }

  void Point(Real x, Real y, Real& ox, Real& oy) const {
    ScaleRotateTranslateDeg(x, y, t.sx, t.sy, t.angle, t.dx, t.dy, ox, oy);
  }

  // Reads the groups of one record up to the next group 0 (held back).
  template <typename F>
  void Groups(F&& take) {
    int code;
    std::string value;
    while (in.Next(code, value)) {
      if (code == 0) {
        in.Hold(code, value);
        return;
      }
      take(code, value);
    }
  }

  void Line() {
    Real x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Groups([&](int c, const std::string& v) {
      if (c == 8) SetLayerByName(v);
      else if (c == 10) x1 = Num(v);
      else if (c == 20) y1 = Num(v);
      else if (c == 11) x2 = Num(v);
      else if (c == 21) y2 = Num(v);
    });
    if (in.Truncated()) return;
    Real a, b, c, d;
    Point(x1, y1, a, b);
    Point(x2, y2, c, d);
    CadLine(a, b, c, d);
  }

  void Circle(bool arc) {
    Real x = 0, y = 0, r = 0, s = 0, e = 0;
    Groups([&](int c, const std::string& v) {
      if (c == 8) SetLayerByName(v);
      else if (c == 10) x = Num(v);
      else if (c == 20) y = Num(v);
      else if (c == 40) r = Num(v);
      else if (c == 50) s = Num(v);
      else if (c == 51) e = Num(v);
    });
    if (in.Truncated()) return;
    Real cx, cy;
    Point(x, y, cx, cy);
    if (arc)
      CadArc(cx, cy, s + t.angle, e + t.angle, r * t.sx);
    else
      CadCircle(cx, cy, r * t.sx);
  }

  void Text() {
    Real x = 0, y = 0, h = 0, wf = 1, angle = 0;
    std::string text;
    Groups([&](int c, const std::string& v) {
      if (c == 8) SetLayerByName(v);
      else if (c == 1) text = v;
      else if (c == 10) x = Num(v);
      else if (c == 20) y = Num(v);
      else if (c == 40) h = Num(v);
      else if (c == 41) wf = Num(v);
      else if (c == 50) angle = Num(v);
    });
    if (in.Truncated()) return;
    Real height = h * t.sy;
    CadTextStyle(0, angle + t.angle, height, height * wf);
    Real px, py;
    Point(x, y, px, py);
    // The stored anchor is already aligned.
    auto align = Cad().CadTextAlign;
    Cad().CadTextAlign = {0, 0};
    CadText(text, px, py);
    Cad().CadTextAlign = align;
  }

  void Solid() {
    Real p[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    Groups([&](int c, const std::string& v) {
      if (c == 8) SetLayerByName(v);
      else if (c >= 10 && c <= 13) p[2 * (c - 10)] = Num(v);
      else if (c >= 20 && c <= 23) p[2 * (c - 20) + 1] = Num(v);
    });
    if (in.Truncated()) return;
    Real q[8];
    for (int i = 0; i < 4; ++i) Point(p[2 * i], p[2 * i + 1], q[2 * i], q[2 * i + 1]);
    CadSolid(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7]);
  }

  void Segment(Real x1, Real y1, Real x2, Real y2, Real bulge) {
    Real a, b, c, d;
    Point(x1, y1, a, b);
    Point(x2, y2, c, d);
    if (bulge == 0) {
      CadLine(a, b, c, d);
      return;
    }
    Real phi = 4 * std::atan(bulge);
    if (t.sx * t.sy < 0) phi = -phi;
    if ((a == c && b == d) || !cad_detail::Usable(a) || !cad_detail::Usable(b) || !cad_detail::Usable(c) ||
        !cad_detail::Usable(d))
      return;
    Real xc = 0, yc = 0, s = 0, e = 0, r = 0;
    GetArcCenter(xc, yc, s, a, b, c, d, phi, e, r);
    if (r > 0) CadArc(xc, yc, RadToDeg(s), RadToDeg(e), r);
  }

  void Polyline() {
    int flags = 0;
    Groups([&](int c, const std::string& v) {
      if (c == 8) SetLayerByName(v);
      else if (c == 70) flags = TextToInt(TrimBlanks(v));
    });
    struct V {
      Real x, y, bulge;
    };
    std::vector<V> vertices;
    int code;
    std::string value;
    if (!in.Next(code, value)) return;
    std::string kind = TrimBlanks(value);
    if (kind == "SEQEND") {  // an empty polyline
      Groups([](int, const std::string&) {});
      return;
    }
    if (kind != "VERTEX") {
      ShowErrorBox("Error in DXF File");
      in.Hold(code, value);
      return;
    }
    while (kind == "VERTEX") {
      V v{0, 0, 0};
      Groups([&](int c, const std::string& val) {
        if (c == 10) v.x = Num(val);
        else if (c == 20) v.y = Num(val);
        else if (c == 42) v.bulge = Num(val);
      });
      vertices.push_back(v);
      if (!in.Next(code, value)) break;
      kind = TrimBlanks(value);
    }
    if (kind == "SEQEND")
      Groups([](int, const std::string&) {});
    else
      in.Hold(code, value);
    if (in.Truncated()) vertices.clear();
    for (std::size_t i = 0; i + 1 < vertices.size() && !G().AbortFlag; ++i)
      Segment(vertices[i].x, vertices[i].y, vertices[i + 1].x, vertices[i + 1].y, vertices[i].bulge);
    if ((flags & 1) && vertices.size() >= 2) {
      const V& last = vertices.back();
      Segment(last.x, last.y, vertices[0].x, vertices[0].y, last.bulge);
    }
  }

  void Insert() {
    std::string name, layer;
    bool hasLayer = false;
    Real x = 0, y = 0, sx = 1, sy = 1, angle = 0;
    Groups([&](int c, const std::string& v) {
      if (c == 2) name = TrimBlanks(v);
      else if (c == 8) {
        layer = v;
        hasLayer = true;
        SetLayerByName(v);
      } else if (c == 10) x = Num(v);
      else if (c == 20) y = Num(v);
      else if (c == 41) sx = Num(v);
      else if (c == 42) sy = Num(v);
      else if (c == 50) angle = Num(v);
    });
    if (in.Truncated() || sx == 0 || sy == 0) return;
    CadExpandBlockFile(name, x, y, angle, sx, sy);
    if (hasLayer) SetLayerByName(layer);
  }

  void Run() {
    int code;
    std::string value;
    while (!G().AbortFlag && in.Next(code, value)) {
      if (code != 0) continue;
      std::string kind = TrimBlanks(value);
      if (kind == "EOF") break;
      if (kind == "LINE") Line();
      else if (kind == "CIRCLE") Circle(false);
      else if (kind == "ARC") Circle(true);
      else if (kind == "TEXT") Text();
      else if (kind == "SOLID") Solid();
      else if (kind == "POLYLINE") Polyline();
      else if (kind == "INSERT") Insert();
      else Groups([](int, const std::string&) {});
    }
  }
};

}  // namespace

void CadExpandBlockFile(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy) {
  CadState& st = Cad();
  if (!cad_detail::Usable(x) || !cad_detail::Usable(y) || !cad_detail::Usable(angle) ||
      !cad_detail::Usable(sx) || !cad_detail::Usable(sy)) {
    cad_detail::ReportDrop();
    return;
  }
  const CadTransform saved = st.CadInsertTransform;
  if (++st.CadBlockLevel == 1) ExpansionBudget() = kExpansionBudget;
  CadTransform t;
  ScaleRotateTranslateDeg(x, y, saved.sx, saved.sy, saved.angle, saved.dx, saved.dy, t.dx, t.dy);
  t.angle = saved.angle + angle;
  t.sx = saved.sx * sx;
  t.sy = saved.sy * sy;
  st.CadInsertTransform = t;
  if (st.CadBlockLevel >= 5) {
    ShowErrorBox("error blockno." + IntToText(st.CadBlockLevel));
    G().AbortFlag = 1;
  } else {
    std::string data;
    if (!cad_detail::BlockNameUsable(name) || !ReadWholeFile(BlockFilePath(name), data)) {
      AddErrorMessage("Invalid temp directory");
      G().AbortFlag = 1;
    } else {
      PairReader in(data);
      Expander{in, t}.Run();
      if (ExpansionBudget() < 0 && st.CadBlockLevel == 1) {
        ShowErrorBox("Error in DXF File");
        G().AbortFlag = 1;
      }
    }
  }
  --st.CadBlockLevel;
  st.CadInsertTransform = saved;
}

// ---------------------------------------------------------------- run steps

void CadDrawingHeader(Real xmin, Real ymin, Real xmax, Real ymax) {
  CadState& st = Cad();
  for (Real v : {xmin, ymin, xmax, ymax}) {
    if (!cad_detail::Usable(v)) {
      ShowErrorBox("Zeichnungsgrenzen ungültig"_oem);
      G().AbortFlag = 1;
      cad_detail::AbandonRun();
      return;
    }
  }
  const Real width = xmax - xmin, height = ymax - ymin;
  st.CadExtents = {xmin, xmax, ymin, ymax, width, height};
  if (CadOutput* o = MainOutput()) o->Header(xmin, ymin, xmax, ymax);
  const int code = st.CadCode;
  if ((code == 3 || code == 4) && CadSettings().BorderFlag) {
    CadSetLayer(19);
    CadRectangle(xmin, ymin, xmax, ymax);
  }
  if (code != 3) return;
  CadTextStyle(2, 0, 0.006L * height, 0.0045L * width);
  CadSetLayer(30);
  if (CadSettings().FooterOff) return;
  std::string fileText;
  if (!G().CurrentFileName.empty()) fileText = ShortenMiddle(FromUtf8(CodePage::Cp850, CurrentSpringFilePath()), 120);
  CadText(TodayDateString() + " " + CurrentTimeString() + " - " + "TALMORE " + G().ProductName + " V" +
              G().ProgramVersion + " - " + fileText,
          xmin + 0.005L * width, ymin + 0.002L * height);
}

void CadTables(int mode) {
  if (CadOutput* o = MainOutput()) o->Tables(mode);
}

void CadBeginBlocks() {
  Cad().CadBlockRecording = 1;
  if (CadOutput* o = MainOutput()) o->BeginBlocks();
}

void CadBeginBlock(std::string_view name) {
  cad_detail::SetOutputBlockOpen(false);
  if (G().AbortFlag || !cad_detail::BlockNameUsable(name)) {
    G().AbortFlag = 1;
    cad_detail::SetBlockRefused(true);
    return;
  }
  if (Cad().CadCode == 3) {
    if (!cad_detail::OpenScreenBlock(name)) {
      G().AbortFlag = 1;
      cad_detail::SetBlockRefused(true);
    }
    return;
  }
  if (CadOutput* o = MainOutput()) {
    o->BeginBlock(name);
    cad_detail::SetOutputBlockOpen(true);
  }
}

void CadEndBlock() {
  const bool aborted = G().AbortFlag != 0;
  G().AbortFlag = 0;
  cad_detail::SetBlockRefused(false);
  if (cad_detail::ScreenBlockOpen()) cad_detail::EndScreenBlock(!aborted);
  // A block begun in the file is always ended, so the file stays whole.
  if (cad_detail::OutputBlockOpen()) {
    if (CadOutput* o = MainOutput()) o->EndBlock();
    cad_detail::SetOutputBlockOpen(false);
  }
}

void CadEndSection() {
  Cad().CadBlockRecording = 0;
  cad_detail::SetBlockRefused(false);
  if (cad_detail::ScreenBlockOpen()) cad_detail::EndScreenBlock(false);
  if (cad_detail::OutputBlockOpen()) {
    if (CadOutput* o = MainOutput()) o->EndBlock();
    cad_detail::SetOutputBlockOpen(false);
  }
  if (CadOutput* o = MainOutput()) o->EndSection();
}

void CadBeginEntities() {
  CadState& st = Cad();
  if (CadOutput* o = MainOutput()) o->BeginEntities();
  if (G().PrinterMode == 2 || G().PrinterMode == 3) return;
  if (st.CadCode != 3 && st.CadCode != 4) return;
  const Real xmin = st.CadExtents[0], ymin = st.CadExtents[2];
  const Real width = st.CadExtents[4], height = st.CadExtents[5];
  struct Logo {
    const char* name;
    Real y;
  };
  for (const Logo& logo : {Logo{"LOGO_2", ymin + 0.01L * height}, Logo{"LOGO_3", ymin + 0.96L * height}}) {
    std::string path = BlockFilePath(logo.name);
    if (path.empty() || !FileCanBeOpened(path)) continue;
    CadInsertBlock(logo.name, xmin + 0.91L * width, logo.y, 0, width / 480, height / 360);
  }
}

}  // namespace zeb
