#include "graphics/iges.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

std::int32_t gRecordLimit = kIgesMaxRecords;

// Parameter records kept in memory up to this size, then in a scratch file.
std::size_t gSpillBytes = 64u << 20;

// CAD colour number 0..15 -> IGES level/colour number.
constexpr int kColourMap[16] = {0, 2, 5, 3, 7, 4, 6, 0, 8, 10, 11, 12, 13, 14, 15, 1};

constexpr long long kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendInt(std::string& out, long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

template <int kDecimals>
void AppendFixed(std::string& out, Real x) {
  constexpr unsigned long long p = static_cast<unsigned long long>(kPow10[kDecimals]);
  const Real scaled = x * static_cast<Real>(p);
  if (!(std::fabs(scaled) < 9.0e18L)) {
    char buf[80];
    auto r = std::to_chars(buf, buf + sizeof buf, std::isfinite(x) ? static_cast<double>(x) : 0.0,
                           std::chars_format::fixed, kDecimals);
    out.append(buf, r.ptr);
    return;
  }
  const long long q = static_cast<long long>(scaled >= 0 ? scaled + 0.5L : scaled - 0.5L);
  unsigned long long u = q < 0 ? 0ull - static_cast<unsigned long long>(q) : static_cast<unsigned long long>(q);
  char buf[32];
  char* e = buf + sizeof buf;
  char* b = e;
  for (int k = 0; k < kDecimals; ++k) {
    *--b = static_cast<char>('0' + u % 10);
    u /= 10;
  }
  *--b = '.';
  do {
    *--b = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (q < 0) *--b = '-';
  out.append(b, static_cast<std::size_t>(e - b));
}

void AppendReal(std::string& out, Real x, int decimals) {
  if (!std::isfinite(x)) x = 0;
  if (decimals == 3) {
    AppendFixed<3>(out, x);
  } else if (decimals == 6) {
    AppendFixed<6>(out, x);
  } else {
    char buf[80];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(x), std::chars_format::fixed,
                           std::clamp(decimals, 0, 6));
    out.append(buf, r.ptr);
  }
}

// Appends text cut or blank-filled to width.
void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() >= width) {
    out.append(text.substr(0, width));
  } else {
    out.append(text);
    out.append(width - text.size(), ' ');
  }
}

// Appends text right-justified in width (cut to its first width characters).
void AppendRight(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() >= width) {
    out.append(text.substr(0, width));
  } else {
    out.append(width - text.size(), ' ');
    out.append(text);
  }
}

void AppendRightInt(std::string& out, long long v, std::size_t width) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  AppendRight(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), width);
}

// Section letter and 7-digit sequence number, then the line end.
void AppendSequence(std::string& out, char letter, std::int32_t n) {
  char buf[10];
  buf[0] = letter;
  for (int k = 7; k >= 1; --k) {
    buf[k] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  buf[8] = '\r';
  buf[9] = '\n';
  out.append(buf, 10);
}

template <class Emit>
void BreakRecordsImpl(std::string_view text, std::size_t width, Emit&& emit) {
  if (width == 0) return;
  const std::size_t n = text.size();
  std::size_t i = 0;          // start of the next parameter
  std::size_t lineStart = 0;  // the open record holds text[lineStart, i)
  auto flushTo = [&](std::size_t end) {
    emit(text.substr(lineStart, end - lineStart));
    lineStart = end;
  };
  while (i < n) {
    // One parameter with its delimiter.
    std::size_t j = i;
    while (j < n && IsDigit(text[j])) ++j;
    const bool holl = j > i && j < n && text[j] == 'H';
    std::size_t end;
    if (holl) {
      std::size_t count = 0;
      for (std::size_t k = i; k < j && count <= n; ++k) count = count * 10 + static_cast<std::size_t>(text[k] - '0');
      end = j + 1 + count <= n ? j + 1 + count : n;
      if (end < n && (text[end] == ',' || text[end] == ';')) ++end;
    } else {
      end = i;
      while (end < n && text[end] != ',' && text[end] != ';') ++end;
      if (end < n) ++end;
    }
    const std::size_t lineLen = i - lineStart;
    if (lineLen + (end - i) <= width) {
      i = end;
      continue;
    }
    // Does not fit in the open record.
    const std::size_t prefix = j + 2 - i;  // count, "H" and one character
    if (lineLen > 0 && (!holl || width - lineLen < prefix)) {
      flushTo(i);
      continue;
    }
    // A string fills its records to the last column; a plain parameter
    // longer than a record is cut.
    while (end - lineStart > width) flushTo(lineStart + width);
    i = end;
  }
  if (i > lineStart) flushTo(i);
}

std::string BareName(std::string_view path) {
  std::size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

std::string TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && s[e - 1] == ' ') --e;
  return std::string(s.substr(0, e));
}

// The moment of the stamp clock as yymmdd.hhmmss.
std::string DateText() {
  const std::tm tm = StampNow().tm;
  char buf[16];
  const int fields[] = {tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  std::size_t n = 0;
  for (int k = 0; k < 6; ++k) {
    if (k == 3) buf[n++] = '.';
    buf[n++] = static_cast<char>('0' + fields[k] / 10 % 10);
    buf[n++] = static_cast<char>('0' + fields[k] % 10);
  }
  return std::string(buf, n);
}

}  // namespace

std::int32_t IgesRecordLimit() { return gRecordLimit; }
void SetIgesRecordLimit(std::int32_t limit) {
  gRecordLimit = limit < 1 || limit > kIgesMaxRecords ? kIgesMaxRecords : limit;
}

void SetIgesScratchThreshold(std::size_t bytes) { gSpillBytes = bytes == 0 ? (64u << 20) : bytes; }

std::vector<std::string> IgesBreakRecords(std::string_view text, std::size_t width) {
  std::vector<std::string> out;
  BreakRecordsImpl(text, width, [&](std::string_view piece) { out.emplace_back(piece); });
  return out;
}

std::string IgesReal(Real x, int decimals) {
  std::string s;
  AppendReal(s, x, decimals);
  return s;
}

std::string IgesHollerith(std::string_view text) {
  if (text.empty()) return {};
  std::string s;
  AppendInt(s, static_cast<long long>(text.size()));
  s += 'H';
  s.append(text);
  return s;
}

std::unique_ptr<CadOutput> MakeIgesOutput(CadFile& file) { return std::make_unique<IgesOutput>(file); }

IgesOutput::IgesOutput(CadFile& file) : file_(file) {
  IgesOpenScratch();
  pBuffer_.reserve(1u << 20);
}

IgesOutput::~IgesOutput() {
  if (spill_ >= 0) ::close(spill_);
}

void IgesOutput::IgesOpenScratch() {
  if (spill_ >= 0) ::close(spill_);
  spill_ = -1;
  spilled_ = 0;
  spillTried_ = false;
  spillFailed_ = false;
  spillErrno_ = 0;
  pBuffer_.clear();
}

void IgesOutput::IgesReset() {
  sCount_ = gCount_ = dCount_ = pCount_ = 0;
  dePointer_ = -1;
  nextPLine_ = 1;
  lineFont_ = 1;
  levelColour_ = 0;
  blockOpen_ = false;
  members_.clear();
  blocks_.clear();
  cur3x_ = cur3y_ = cur3z_ = 0;
  overflow_ = 0;
}

void IgesOutput::IgesHeader(std::string_view fileName, Real maxCoordinate) {
  if (headerDone_) return;
  headerDone_ = true;
  IgesReset();
  const auto& g = G();
  std::string out;
  auto startRecord = [&](std::string_view text) {
    AppendPadded(out, text, 72);
    AppendSequence(out, 'S', ++sCount_);
  };
  startRecord("IGES-Datei generiert von " + g.ProductName);
  startRecord("Uebersetzer von TALMORE GMBH, Uebersetzerversion 3.1");

  const std::string name = IgesHollerith(fileName);
  std::string rec[5];
  rec[0] = ",," + IgesHollerith("FILE") + "," + name + "," + IgesHollerith(g.ProductName + " V" + g.ProgramVersion) +
           "," + IgesHollerith("3.1") + ",";
  rec[1] = "16,38,6,99,15,";
  rec[2] = name + ",1.0,2," + IgesHollerith("MM") + ",32767,3.2767D1,";
  rec[3] = IgesHollerith(DateText()) + ",1.0D-8," + IgesReal(maxCoordinate) + ",";
  rec[4] = IgesHollerith(g.ProductName) + "," + IgesHollerith("TALMORE") + ",4,0;";
  for (const auto& r : rec) {
    BreakRecordsImpl(r, 72, [&](std::string_view piece) {
      AppendPadded(out, piece, 72);
      AppendSequence(out, 'G', ++gCount_);
    });
  }
  file_.Write(out);
}

void IgesOutput::EnsureHeader() {
  if (headerDone_) return;
  const auto& e = Cad().CadExtents;
  std::string name = FromUtf8(CodePage::Cp1252, BareName(TrimRight(Cad().CadFileName)));
  IgesHeader(name, std::max(e[1], e[3]));
}

bool IgesOutput::CheckRoom(char section, std::int64_t records) {
  if (overflow_) return false;
  if (records > gRecordLimit) {
    overflow_ = section;
    return false;
  }
  return true;
}

void IgesOutput::AppendPLine(std::string_view text, std::int32_t de) {
  AppendPadded(pBuffer_, text, 64);
  AppendRightInt(pBuffer_, de, 8);
  AppendSequence(pBuffer_, 'P', ++pCount_);
}

void IgesOutput::Spill() {
  if (spillFailed_) {
    pBuffer_.clear();
    return;
  }
  if (spill_ < 0) {
    if (spillTried_) return;  // no scratch file: they stay in memory
    spillTried_ = true;
    const std::string folder = CadTempFolder();
    if (folder.empty()) return;
    auto path = MakeUniqueFile(folder, "zebiges");
    if (!path) return;
    spill_ = ::open(path->c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    ::unlink(path->c_str());
    if (spill_ < 0) return;
  }
  // Every byte checked as it goes: a refused write is the failure.
  for (std::size_t done = 0; done < pBuffer_.size();) {
    const ssize_t n = ::pwrite(spill_, pBuffer_.data() + done, pBuffer_.size() - done, static_cast<off_t>(spilled_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      spillFailed_ = true;
      spillErrno_ = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
    spilled_ += n;
  }
  pBuffer_.clear();
}

void IgesOutput::BeginParams() {
  param_.clear();
  chunkEnds_.clear();
}

void IgesOutput::EndChunk() { chunkEnds_.push_back(param_.size()); }

std::int32_t IgesOutput::WriteEntity(const Entity& e) {
  EnsureHeader();
  if (overflow_) return 0;
  if (!CheckRoom('D', static_cast<std::int64_t>(dCount_) + 2)) return 0;
  const std::int32_t de = dePointer_ + 2;
  // The parameter records, each chunk broken by the P rule.
  const std::size_t pStart = pBuffer_.size();
  const std::int32_t pCountStart = pCount_;
  std::size_t from = 0;
  for (std::size_t end : chunkEnds_) {
    BreakRecordsImpl(std::string_view(param_).substr(from, end - from), 64,
                     [&](std::string_view piece) { AppendPLine(piece, de); });
    from = end;
  }
  if (pCount_ > gRecordLimit) {
    pBuffer_.resize(pStart);
    pCount_ = pCountStart;
    overflow_ = 'P';
    return 0;
  }
  dePointer_ = de;
  const bool inBlock = blockOpen_ && e.member;
  if (inBlock) members_.push_back(de);
  if (pBuffer_.size() >= gSpillBytes) Spill();

  const std::int32_t pFirst = nextPLine_;
  const std::int32_t pLines = pCount_ - pCountStart;
  std::string& d = dLines_;
  d.clear();
  AppendRightInt(d, e.type, 8);
  AppendRightInt(d, pFirst, 8);
  d += "       1";
  AppendRightInt(d, lineFont_, 8);
  AppendRightInt(d, levelColour_, 8);
  d.append(8, ' ');
  AppendRight(d, e.matrixDe.empty() ? std::string_view(e.matrix) : std::string_view(e.matrixDe), 8);
  d.append(8, ' ');
  d += inBlock || e.dependent ? "00010000" : "00000000";
  AppendSequence(d, 'D', ++dCount_);
  AppendRightInt(d, e.type, 8);
  d.append(8, ' ');
  AppendRightInt(d, levelColour_, 8);
  AppendRightInt(d, pLines, 8);
  AppendRight(d, e.form, 8);
  d.append(16, ' ');
  AppendRight(d, e.label.size() > 8 ? std::string_view(e.label).substr(0, 8) : std::string_view(e.label), 8);
  d.append(8, ' ');
  AppendSequence(d, 'D', ++dCount_);
  file_.Write(d);
  nextPLine_ += pLines;
  return de;
}

void IgesOutput::IgesLine(Real x1, Real y1, Real x2, Real y2) { IgesLine3D(x1, y1, 0, x2, y2, 0); }

void IgesOutput::IgesLine3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) {
  // Plane lines keep "0.0" for z.
  const bool plane = z1 == 0 && z2 == 0;
  BeginParams();
  param_ += "110,";
  const std::size_t a = param_.size();
  AppendReal(param_, x1, 3);
  param_ += ',';
  AppendReal(param_, y1, 3);
  param_ += ',';
  if (plane) param_ += "0.0"; else AppendReal(param_, z1, 3);
  const std::size_t aEnd = param_.size();
  param_ += ',';
  const std::size_t b = param_.size();
  AppendReal(param_, x2, 3);
  param_ += ',';
  AppendReal(param_, y2, 3);
  param_ += ',';
  if (plane) param_ += "0.0"; else AppendReal(param_, z2, 3);
  const std::string_view pv(param_);
  if (pv.substr(a, aEnd - a) == pv.substr(b)) return;  // length 0 at 3 decimals
  param_ += ';';
  EndChunk();
  WriteEntity(Entity(110));
}

void IgesOutput::IgesMoveTo3D(Real x, Real y, Real z) {
  cur3x_ = x;
  cur3y_ = y;
  cur3z_ = z;
}

void IgesOutput::IgesLineTo3D(Real x, Real y, Real z) {
  IgesLine3D(cur3x_, cur3y_, cur3z_, x, y, z);
  IgesMoveTo3D(x, y, z);
}

void IgesOutput::IgesArc(Real xc, Real yc, Real xs, Real ys, Real xe, Real ye) {
  BeginParams();
  param_ += "100,0.0,";
  std::size_t mark[4];
  const Real v[6] = {xc, yc, xs, ys, xe, ye};
  for (int k = 0; k < 6; ++k) {
    if (k % 2 == 0) mark[k / 2] = param_.size();
    AppendReal(param_, v[k], 3);
    param_ += ',';
  }
  mark[3] = param_.size();
  const std::string_view pv(param_);
  const auto c = pv.substr(mark[0], mark[1] - mark[0]);
  if (pv.substr(mark[1], mark[2] - mark[1]) == c || pv.substr(mark[2], mark[3] - mark[2]) == c) return;  // radius 0
  param_.back() = ';';
  EndChunk();
  Entity ent(100);
  ent.matrix = "0";
  WriteEntity(ent);
}

void IgesOutput::IgesCircle(Real x, Real y, Real r) { IgesArc(x, y, x + r, y, x + r, y); }

void IgesOutput::IgesSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
  // Outline 1, 2, 4, 3, 1: the corner order of the screen, which does not
  // cross itself (the order 1, 4, 3, 2 would, for corners given as the
  // screen's solids give them).
  const Real xs[5] = {x1, x2, x4, x3, x1};
  const Real ys[5] = {y1, y2, y4, y3, y1};
  BeginParams();
  param_ += "106,1,5,0.0,";
  EndChunk();
  std::size_t first = param_.size(), firstEnd = 0;
  bool allEqual = true;
  for (int k = 0; k < 5; ++k) {
    const std::size_t at = param_.size();
    AppendReal(param_, xs[k], 3);
    param_ += ',';
    AppendReal(param_, ys[k], 3);
    if (k == 0) {
      firstEnd = param_.size();
    } else if (allEqual && std::string_view(param_).substr(at) != std::string_view(param_).substr(first, firstEnd - first)) {
      allEqual = false;
    }
    param_ += k == 4 ? ';' : ',';
    EndChunk();
  }
  if (allEqual) return;  // every corner the same at 3 decimals
  Entity ent(106);
  ent.matrix = "0";
  ent.form = "11";
  WriteEntity(ent);
}

void IgesOutput::IgesText(std::string_view textOem, Real x, Real y) {
  std::string text = ConvertForTextOutput(textOem);
  std::erase_if(text, [](char ch) { return ch == '\r' || ch == '\n' || ch == '\0'; });
  if (text.empty()) return;
  const auto& st = Cad();
  Note n;
  n.x = x;
  n.y = y;
  n.height = st.CadTextHeight;
  n.width = static_cast<Real>(text.size()) * st.CadTextHeight * st.CadTextWidthFactor;
  n.angleRad = st.CadTextAngle * kPi / 180;
  n.levelColour = levelColour_;
  n.lineFont = lineFont_;
  n.text = std::move(text);
  if (blockOpen_) {
    openNotes_.push_back(std::move(n));
  } else {
    WriteNote(n);
  }
}

void IgesOutput::WriteNote(const Note& n) {
  BeginParams();
  param_ += "212,1,";
  AppendInt(param_, static_cast<long long>(n.text.size()));
  param_ += ',';
  AppendReal(param_, n.width, 3);
  param_ += ',';
  AppendReal(param_, n.height, 3);
  param_ += ",1,,";
  AppendReal(param_, n.angleRad, 6);
  param_ += ",0,0,";
  AppendReal(param_, n.x, 3);
  param_ += ',';
  AppendReal(param_, n.y, 3);
  param_ += ",0.0,";
  EndChunk();
  AppendInt(param_, static_cast<long long>(n.text.size()));
  param_ += 'H';
  param_ += n.text;
  param_ += ';';
  EndChunk();
  Entity ent(212);
  ent.matrix = "0";
  const int keepLevel = levelColour_, keepFont = lineFont_;
  levelColour_ = n.levelColour;
  lineFont_ = n.lineFont;
  WriteEntity(ent);
  levelColour_ = keepLevel;
  lineFont_ = keepFont;
}

void IgesOutput::IgesBeginBlock(std::string_view name) {
  EnsureHeader();
  if (blockOpen_) IgesEndBlock();
  blocks_.push_back(Block{std::string(name), 0, true, {}});
  blockOpen_ = true;
  members_.clear();
  openNotes_.clear();
}

void IgesOutput::IgesEndBlock() {
  if (!blockOpen_) return;
  blockOpen_ = false;
  Block& b = blocks_.back();
  b.open = false;
  b.notes = std::move(openNotes_);
  openNotes_.clear();
  if (members_.empty()) return;  // a subfigure needs members
  BeginParams();
  param_ += "308,0,";
  param_ += IgesHollerith(b.name);
  param_ += ',';
  AppendInt(param_, static_cast<long long>(members_.size()));
  param_ += ',';
  EndChunk();
  for (std::size_t k = 0; k < members_.size(); ++k) {
    AppendInt(param_, members_[k]);
    param_ += k + 1 == members_.size() ? ';' : ',';
    if (k % 12 == 11 || k + 1 == members_.size()) EndChunk();
  }
  Entity ent(308);
  ent.label = b.name;
  ent.member = false;
  const std::int32_t de = WriteEntity(ent);
  blocks_.back().de = de;
  members_.clear();
}

int IgesOutput::IgesFindBlock(std::string_view name) {
  for (std::size_t k = 0; k < blocks_.size(); ++k) {
    if (!blocks_[k].open && blocks_[k].name == name) return static_cast<int>(k);
  }
  ShowMessageText("Blockname "_oem + std::string(name) + " not found !");
  return -1;
}

void IgesOutput::IgesInsert(std::string_view name, Real x, Real y, Real angleDeg) {
  EnsureHeader();
  if (overflow_) return;
  const int k = IgesFindBlock(name);
  if (k < 0) return;
  const Block& block = blocks_[static_cast<std::size_t>(k)];
  const std::int32_t blockDe = block.de;
  const Real a = angleDeg * kPi / 180;
  const Real c = std::cos(a), s = std::sin(a);
  // The block's texts, moved and turned with this instance.
  std::vector<Note> notes = block.notes;
  for (auto& n : notes) {
    const Real nx = n.x * c - n.y * s + x, ny = n.x * s + n.y * c + y;
    n.x = nx;
    n.y = ny;
    if (angleDeg != 0) n.angleRad += a;
  }
  if (blockDe != 0) {
    Entity ent(408);
    bool written = true;
    if (angleDeg != 0) {
      BeginParams();
      param_ += "124,";
      AppendReal(param_, c, 6);
      param_ += ',';
      AppendReal(param_, -s, 6);
      param_ += ",0.0,";
      AppendReal(param_, x, 3);
      param_ += ',';
      EndChunk();
      AppendReal(param_, s, 6);
      param_ += ',';
      AppendReal(param_, c, 6);
      param_ += ",0.0,";
      AppendReal(param_, y, 3);
      param_ += ',';
      EndChunk();
      param_ += "0.0,0.0,1.0,0.0;";
      EndChunk();
      Entity m(124);
      m.form = "0";
      m.dependent = true;
      m.member = false;
      const std::int32_t matrixDe = WriteEntity(m);
      written = matrixDe != 0;
      ent.matrixDe = std::to_string(matrixDe);
    }
    BeginParams();
    param_ += "408,";
    AppendInt(param_, blockDe);
    if (angleDeg == 0) {
      param_ += ',';
      AppendReal(param_, x, 3);
      param_ += ',';
      AppendReal(param_, y, 3);
      param_ += ",0.0,1.0;";
    } else {
      param_ += ",0.0,0.0,0.0,1.0;";
    }
    EndChunk();
    if (written) WriteEntity(ent);
  }
  for (auto& n : notes) {
    if (blockOpen_) {
      openNotes_.push_back(std::move(n));
    } else {
      WriteNote(n);
    }
  }
}

void IgesOutput::IgesSetColorIndex(int cadColour) {
  levelColour_ = cadColour >= 0 && cadColour <= 15 ? kColourMap[cadColour] : 0;
}

void IgesOutput::IgesSetLineFont(int font) { lineFont_ = font; }

void IgesOutput::IgesSetLayer(int n) {
  const bool fixedPens = Cad().CadLayerMode == 0;
  const auto& s = CadSettings();
  if (fixedPens && n >= 0 && n <= 5) {
    IgesSetColorIndex(n == 0 ? 7 : s.CadLayerColours[static_cast<std::size_t>(n)]);
    lineFont_ = n == 1 ? 4 : n == 2 ? 2 : 1;
  } else if (fixedPens && n >= 16 && n <= 31) {
    IgesSetColorIndex(s.CadUserColours[static_cast<std::size_t>(n - 16)]);
    lineFont_ = 1;
  } else {
    IgesSetColorIndex(((n % 16) + 16) % 16 + 1);
    if (fixedPens) lineFont_ = 1;
  }
}

bool IgesOutput::IgesFinish() {
  EnsureHeader();
  if (blockOpen_) IgesEndBlock();
  auto refuse = [&](const std::string& why) {
    const std::string name = FromUtf8(CodePage::Cp850, TrimRight(Cad().CadFileName));
    ShowErrorBox("IGES-Datei "_oem + name + ": " + why);
    if (spill_ >= 0) ::close(spill_);
    spill_ = -1;
    pBuffer_.clear();
    return false;
  };
  if (overflow_) {
    return refuse("mehr als "_oem + std::to_string(gRecordLimit) + " Sätze im Abschnitt "_oem + std::string(1, overflow_));
  }
  if (spill_ >= 0 && !spillFailed_) Spill();
  if (spillFailed_) return refuse(SystemErrorText(spillErrno_));
  if (spill_ >= 0) {
    std::string buf(1u << 16, '\0');
    std::int64_t at = 0;
    int err = 0;
    while (at < spilled_) {
      const ssize_t got = ::pread(spill_, buf.data(), buf.size(), static_cast<off_t>(at));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        err = got < 0 ? errno : EIO;
        break;
      }
      file_.Write(std::string_view(buf.data(), static_cast<std::size_t>(got)));
      at += got;
    }
    ::close(spill_);
    spill_ = -1;
    if (err != 0) return refuse(SystemErrorText(err));
  } else {
    file_.Write(pBuffer_);
  }
  pBuffer_.clear();
  pBuffer_.shrink_to_fit();
  std::string t;
  char buf[48];
  std::snprintf(buf, sizeof buf, "S%07dG%07dD%07dP%07d", static_cast<int>(sCount_), static_cast<int>(gCount_),
                static_cast<int>(dCount_), static_cast<int>(pCount_));
  AppendPadded(t, buf, 72);
  AppendSequence(t, 'T', 1);
  file_.Write(t);
  return true;
}

// CadOutput.

void IgesOutput::Header(Real xmin, Real ymin, Real xmax, Real ymax) {
  (void)xmin, (void)ymin;
  std::string name = FromUtf8(CodePage::Cp1252, BareName(TrimRight(Cad().CadFileName)));
  IgesHeader(name, std::max(xmax, ymax));
}

void IgesOutput::BeginBlock(std::string_view name) { IgesBeginBlock(name); }
void IgesOutput::EndBlock() { IgesEndBlock(); }
void IgesOutput::SetLayer(int n) { IgesSetLayer(n); }
void IgesOutput::Line(Real x1, Real y1, Real x2, Real y2) { IgesLine(x1, y1, x2, y2); }
void IgesOutput::Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) { IgesLine3D(x1, y1, z1, x2, y2, z2); }
void IgesOutput::Circle(Real x, Real y, Real r) { IgesCircle(x, y, r); }

void IgesOutput::Arc(Real x, Real y, Real startDeg, Real endDeg, Real r) {
  const Real a1 = startDeg * kPi / 180, a2 = endDeg * kPi / 180;
  const Real xs = x + r * std::cos(a1), ys = y + r * std::sin(a1);
  Real span = std::fmod(endDeg - startDeg, 360.0L);
  if (span < 0) span += 360;
  if (span < 1e-9L || span > 360 - 1e-9L) {
    IgesArc(x, y, xs, ys, xs, ys);  // full circle
    return;
  }
  const Real xe = x + r * std::cos(a2), ye = y + r * std::sin(a2);
  // An arc whose ends meet at 3 decimals would read as a full circle.
  if (std::fabs(xs - xe) < 0.002L && std::fabs(ys - ye) < 0.002L) {
    scratchA_.clear();
    scratchB_.clear();
    AppendReal(scratchA_, xs, 3);
    scratchA_ += ',';
    AppendReal(scratchA_, ys, 3);
    AppendReal(scratchB_, xe, 3);
    scratchB_ += ',';
    AppendReal(scratchB_, ye, 3);
    if (scratchA_ == scratchB_) return;
  }
  IgesArc(x, y, xs, ys, xe, ye);
}

void IgesOutput::Text(std::string_view textOem, Real x, Real y) { IgesText(textOem, x, y); }

void IgesOutput::Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
  IgesSolid(x1, y1, x2, y2, x3, y3, x4, y4);
}

void IgesOutput::Insert(std::string_view name, Real x, Real y, Real angleDeg, Real sx, Real sy) {
  (void)sx, (void)sy;  // IGES instances are written at scale 1
  IgesInsert(name, x, y, angleDeg);
}

bool IgesOutput::Finish() { return IgesFinish(); }

void IgesMoveTo3D(Real x, Real y, Real z) {
  auto* out = dynamic_cast<IgesOutput*>(CurrentCadOutput());
  if (!out) return;
  if (!cad_detail::Usable(x) || !cad_detail::Usable(y) || !cad_detail::Usable(z)) {
    cad_detail::ReportDrop();
    return;
  }
  out->IgesMoveTo3D(x, y, z);
}

void IgesLineTo3D(Real x, Real y, Real z) {
  auto* out = dynamic_cast<IgesOutput*>(CurrentCadOutput());
  if (!out) return;
  if (!cad_detail::Usable(x) || !cad_detail::Usable(y) || !cad_detail::Usable(z)) {
    cad_detail::ReportDrop();
    return;
  }
  out->IgesLineTo3D(x, y, z);
}

}  // namespace zeb
