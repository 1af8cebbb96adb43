// Drawing header, tables, blocks, the entities section with the logo
// blocks, and the reader that redraws a screen block file where the block
// is inserted.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
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

// One entity of a block file as read, before the insertion's transform:
// the layers its group 8 values name, in their order, and its values.
struct BlockEntity {
  enum class Kind : std::uint8_t { Line, Circle, Arc, Text, Solid, Polyline };
  Kind kind = Kind::Line;
  bool whole = true;  // false: the data ended inside it (layers set, nothing drawn)
  bool mark = false;  // a mark (group 999 "MARK" of a screen block file)
  std::vector<std::string> layers;
  Real v[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  std::string text;
  int flags = 0;
  struct Vertex {
    Real x, y, bulge;
  };
  std::vector<Vertex> vertices;
};

// The entities of a block file the last time it was read, for the next
// insertion of the same bytes: the sheet inserts its blocks at every
// drawing, most of them unchanged.
struct ReadBlock {
  std::string data;
  std::shared_ptr<const std::vector<BlockEntity>> entities;
  long pairs = 0;  // group pairs the reading took from the expansion budget
};

// Blocks kept at most, and the largest file kept.
constexpr std::size_t kMaxReadBlocks = 32;
constexpr std::size_t kMaxReadBlockBytes = 1u << 20;

std::map<std::string, ReadBlock>& ReadBlocks() {
  static std::map<std::string, ReadBlock> blocks;
  return blocks;
}

// Draws entities of a block at one insertion.
struct BlockDrawer {
  CadTransform t;  // transform of this level
  // The settings' layer names, resolved once for the whole block.
  const std::array<std::string, 6> layers = cad_detail::ResolvedLayerNames();

  void SetLayerByName(const std::string& value) const { SetLayerNamed(layers, value); }

  void Point(Real x, Real y, Real& ox, Real& oy) const {
    ScaleRotateTranslateDeg(x, y, t.sx, t.sy, t.angle, t.dx, t.dy, ox, oy);
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

  // Draws an entity read before; the layers are set already.
  void Draw(const BlockEntity& e) {
    if (!e.whole) return;
    if (e.mark) {
      const CadMarks mark;
      DrawShape(e);
      return;
    }
    DrawShape(e);
  }

  void DrawShape(const BlockEntity& e) {
    const Real* v = e.v;
    switch (e.kind) {
      case BlockEntity::Kind::Line: {
        Real a, b, c, d;
        Point(v[0], v[1], a, b);
        Point(v[2], v[3], c, d);
        CadLine(a, b, c, d);
        break;
      }
      case BlockEntity::Kind::Circle:
      case BlockEntity::Kind::Arc: {
        Real cx, cy;
        Point(v[0], v[1], cx, cy);
        if (e.kind == BlockEntity::Kind::Arc)
          CadArc(cx, cy, v[3] + t.angle, v[4] + t.angle, v[2] * t.sx);
        else
          CadCircle(cx, cy, v[2] * t.sx);
        break;
      }
      case BlockEntity::Kind::Text: {
        const Real height = v[2] * t.sy;
        CadTextStyle(0, v[4] + t.angle, height, height * v[3]);
        Real px, py;
        Point(v[0], v[1], px, py);
        // The stored anchor is already aligned.
        auto align = Cad().CadTextAlign;
        Cad().CadTextAlign = {0, 0};
        CadText(e.text, px, py);
        Cad().CadTextAlign = align;
        break;
      }
      case BlockEntity::Kind::Solid: {
        Real q[8];
        for (int i = 0; i < 4; ++i) Point(v[2 * i], v[2 * i + 1], q[2 * i], q[2 * i + 1]);
        CadSolid(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7]);
        break;
      }
      case BlockEntity::Kind::Polyline: {
        const auto& vs = e.vertices;
        for (std::size_t i = 0; i + 1 < vs.size() && !G().AbortFlag; ++i)
          Segment(vs[i].x, vs[i].y, vs[i + 1].x, vs[i + 1].y, vs[i].bulge);
        if ((e.flags & 1) && vs.size() >= 2) Segment(vs.back().x, vs.back().y, vs[0].x, vs[0].y, vs.back().bulge);
        break;
      }
    }
  }

  // The entities of a file read before, drawn again as the reading drew them.
  void Replay(const std::vector<BlockEntity>& entities) {
    for (const BlockEntity& e : entities) {
      if (G().AbortFlag) return;
      for (const std::string& l : e.layers) SetLayerByName(l);
      Draw(e);
    }
  }
};

// Reads a block file's entities and draws each as it is read.
struct Expander {
  PairReader& in;
  BlockDrawer draw;
  // The entities read, for the next insertion of the same file; not kept
  // when the file holds anything but whole plain entities.
  std::vector<BlockEntity>* keep = nullptr;
  bool keepable = true;

  void SetLayerByName(const std::string& value) const { draw.SetLayerByName(value); }

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

  // Reads the groups of an entity; group 8 sets the layer as it comes.
  template <typename F>
  void EntityGroups(BlockEntity& e, F&& take) {
    Groups([&](int c, const std::string& v) {
      if (c == 8) {
        SetLayerByName(v);
        e.layers.push_back(v);
      } else if (c == 999 && TrimBlanks(v) == "MARK") {
        e.mark = true;
      } else {
        take(c, v);
      }
    });
    e.whole = !in.Truncated();
  }

  void Take(BlockEntity&& e) {
    draw.Draw(e);
    if (keep != nullptr && keepable) keep->push_back(std::move(e));
  }

  void Line() {
    BlockEntity e;
    e.kind = BlockEntity::Kind::Line;
    EntityGroups(e, [&](int c, const std::string& v) {
      if (c == 10) e.v[0] = Num(v);
      else if (c == 20) e.v[1] = Num(v);
      else if (c == 11) e.v[2] = Num(v);
      else if (c == 21) e.v[3] = Num(v);
    });
    Take(std::move(e));
  }

  void Circle(bool arc) {
    BlockEntity e;
    e.kind = arc ? BlockEntity::Kind::Arc : BlockEntity::Kind::Circle;
    EntityGroups(e, [&](int c, const std::string& v) {
      if (c == 10) e.v[0] = Num(v);
      else if (c == 20) e.v[1] = Num(v);
      else if (c == 40) e.v[2] = Num(v);
      else if (c == 50) e.v[3] = Num(v);
      else if (c == 51) e.v[4] = Num(v);
    });
    Take(std::move(e));
  }

  void Text() {
    BlockEntity e;
    e.kind = BlockEntity::Kind::Text;
    e.v[3] = 1;  // width factor
    EntityGroups(e, [&](int c, const std::string& v) {
      if (c == 1) e.text = v;
      else if (c == 10) e.v[0] = Num(v);
      else if (c == 20) e.v[1] = Num(v);
      else if (c == 40) e.v[2] = Num(v);
      else if (c == 41) e.v[3] = Num(v);
      else if (c == 50) e.v[4] = Num(v);
    });
    Take(std::move(e));
  }

  void Solid() {
    BlockEntity e;
    e.kind = BlockEntity::Kind::Solid;
    EntityGroups(e, [&](int c, const std::string& v) {
      if (c >= 10 && c <= 13) e.v[2 * (c - 10)] = Num(v);
      else if (c >= 20 && c <= 23) e.v[2 * (c - 20) + 1] = Num(v);
    });
    Take(std::move(e));
  }

  void Polyline() {
    BlockEntity e;
    e.kind = BlockEntity::Kind::Polyline;
    EntityGroups(e, [&](int c, const std::string& v) {
      if (c == 70) e.flags = TextToInt(TrimBlanks(v));
    });
    int code;
    std::string value;
    if (!in.Next(code, value)) {
      keepable = false;
      return;
    }
    std::string kind = TrimBlanks(value);
    if (kind == "SEQEND") {  // an empty polyline
      Groups([](int, const std::string&) {});
      Take(std::move(e));
      return;
    }
    if (kind != "VERTEX") {
      ShowErrorBox("Error in DXF File");
      keepable = false;
      in.Hold(code, value);
      return;
    }
    while (kind == "VERTEX") {
      BlockEntity::Vertex v{0, 0, 0};
      Groups([&](int c, const std::string& val) {
        if (c == 10) v.x = Num(val);
        else if (c == 20) v.y = Num(val);
        else if (c == 42) v.bulge = Num(val);
      });
      e.vertices.push_back(v);
      if (!in.Next(code, value)) break;
      kind = TrimBlanks(value);
    }
    if (kind == "SEQEND")
      Groups([](int, const std::string&) {});
    else
      in.Hold(code, value);
    if (in.Truncated()) e.vertices.clear();
    Take(std::move(e));
  }

  void Insert() {
    keepable = false;
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
    // Stopped early or at the end inside a pair: not the whole file.
    if (G().AbortFlag || in.Truncated() || ExpansionBudget() < 0) keepable = false;
  }

};

// Draws the block file's data at the transform: the entities of the same
// bytes read before when there are, else read now.
void ExpandData(const std::string& name, const std::string& data, const CadTransform& t) {
  auto& blocks = ReadBlocks();
  const auto found = blocks.find(name);
  if (found != blocks.end() && found->second.data == data && ExpansionBudget() >= found->second.pairs) {
    ExpansionBudget() -= found->second.pairs;
    // Kept while drawn, whatever the drawing does to the kept blocks.
    const auto entities = found->second.entities;
    BlockDrawer{t}.Replay(*entities);
    return;
  }
  if (found != blocks.end()) blocks.erase(found);
  PairReader in(data);
  std::vector<BlockEntity> entities;
  Expander x{in, BlockDrawer{t}};
  if (data.size() <= kMaxReadBlockBytes) x.keep = &entities;
  const long before = ExpansionBudget();
  x.Run();
  if (x.keep == nullptr || !x.keepable) return;
  if (blocks.size() >= kMaxReadBlocks) blocks.clear();
  blocks[name] = ReadBlock{data, std::make_shared<const std::vector<BlockEntity>>(std::move(entities)),
                           before - ExpansionBudget()};
}

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
      ExpandData(std::string(name), data, t);
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
  CadStyleWritten();
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
  CadText(StampText() + " - " + "TALMORE " + G().ProductName + " V" +
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
