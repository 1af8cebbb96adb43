// DXF writer of codes 1 and 4 and of the screen's block files.
//
// A file is composed at Finish: HEADER as written, then TABLES (built from
// the layers the drawing used), then BLOCKS and ENTITIES as written. Records
// drawn outside any section (the plot frame of the drawing header) move to
// the start of ENTITIES.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "base/format.h"
#include "base/mathx.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "graphics/cad_internal.h"
#include "graphics/cadsettings.h"

namespace zeb {

namespace cad_detail {

namespace {

__extension__ typedef unsigned __int128 U128;

// Writes x with D decimals at dst, correctly rounded (ties to even, as
// to_chars), by exact integer arithmetic on the 80-bit extended format:
// x = m * 2^-s, so x * 10^D = m * 10^D / 2^s. Returns the length (at most
// kFastFixedRoom), or 0 (nothing usable written) for results of 10^18 or
// more and for infinities and NaN. The length is known before the digits
// are written, so they go to their place at once.
template <int D>
int FastFixed(char* dst, Real x) {
  static_assert(D >= 0 && D <= 12);
  static constexpr unsigned long long kTen[] = {1ull,
                                               10ull,
                                               100ull,
                                               1000ull,
                                               10000ull,
                                               100000ull,
                                               1000000ull,
                                               10000000ull,
                                               100000000ull,
                                               1000000000ull,
                                               10000000000ull,
                                               100000000000ull,
                                               1000000000000ull,
                                               10000000000000ull,
                                               100000000000000ull,
                                               1000000000000000ull,
                                               10000000000000000ull,
                                               100000000000000000ull};
  constexpr unsigned long long kScale = kTen[D];
  unsigned char bytes[sizeof(Real)] = {};
  std::memcpy(bytes, &x, 10);
  unsigned long long m = 0;
  std::memcpy(&m, bytes, 8);
  const int biased = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
  const bool negative = (bytes[9] & 0x80) != 0;
  if (biased == 0x7FFF) return 0;         // infinity, NaN
  const int shift = 16383 + 63 - biased;  // x = m * 2^-shift
  unsigned long long q = 0;
  if (m != 0 && shift < 105) {
    if (shift <= 0) return 0;
    U128 p = static_cast<U128>(m) * kScale;
    U128 whole = p >> shift;
    U128 rest = p - (whole << shift);
    U128 half = static_cast<U128>(1) << (shift - 1);
    if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
    if (whole >= 1000000000000000000ull) return 0;
    q = static_cast<unsigned long long>(whole);
  }
  static constexpr char kPairs[] =
      "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
      "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
  unsigned long long ip = q / kScale, fp = q % kScale;
  int intDigits = 1;  // by comparison: no chain of divisions
  while (intDigits < 18 && ip >= kTen[intDigits]) ++intDigits;
  const bool sign = negative && q != 0;
  const int length = (sign ? 1 : 0) + intDigits + (D > 0 ? D + 1 : 0);
  char* p = dst + length;
  if constexpr (D == 6) {  // the usual case: three pairs taken side by side
    const unsigned long long hi = fp / 10000, lo = fp % 10000;
    p -= 6;
    std::memcpy(p, kPairs + 2 * hi, 2);
    std::memcpy(p + 2, kPairs + 2 * (lo / 100), 2);
    std::memcpy(p + 4, kPairs + 2 * (lo % 100), 2);
  }
  // Exactly `digits` digits of v, written backwards, two at a time.
  const auto digitsBackwards = [&](unsigned long long v, int digits) {
    for (int k = digits; k > 0;) {
      if (k >= 2) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (v % 100), 2);
        v /= 100;
        k -= 2;
      } else {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
        --k;
      }
    }
  };
  if constexpr (D != 6) digitsBackwards(fp, D);
  if (D > 0) *--p = '.';
  digitsBackwards(ip, intDigits);
  if (sign) *--p = '-';
  return length;
}

using FastFixedFn = int (*)(char*, Real);

template <int... D>
constexpr FastFixedFn PickFastFixed(int decimals, std::integer_sequence<int, D...>) {
  FastFixedFn fn = nullptr;
  ((decimals == D ? (fn = &FastFixed<D>, 0) : 0), ...);
  return fn;
}

// The fast writer for the decimals, or nullptr where to_chars must do it.
FastFixedFn FastFixedFor(int decimals) {
  if constexpr (std::numeric_limits<Real>::digits != 64) {
    return nullptr;
  } else {
    return PickFastFixed(decimals, std::make_integer_sequence<int, 13>{});
  }
}

// Longest fast result: 18 digits, the point and the sign.
constexpr int kFastFixedRoom = 24;

bool AppendFastFixed(std::string& out, Real x, int decimals) {
  const FastFixedFn fn = FastFixedFor(decimals);
  if (fn == nullptr) return false;
  char buf[kFastFixedRoom];
  const int n = fn(buf, x);
  if (n == 0) return false;
  out.append(buf, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

void AppendFixed(std::string& out, Real x, int decimals) {
  decimals = std::clamp(decimals, 0, 40);
  if (AppendFastFixed(out, x, decimals)) return;
  if (!std::isfinite(x)) x = 0;  // never reached through the layer's guards
  char buf[160];
  auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) {
    out += '0';
    return;
  }
  std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string_view::npos) s.remove_prefix(1);
  out += s;
}

std::string FixedText(Real x, int decimals) {
  std::string s;
  AppendFixed(s, x, decimals);
  return s;
}

bool ArcIsFullCircle(Real startDeg, Real endDeg) {
  if (startDeg == endDeg) return true;
  auto near = [](Real a, Real b) { return std::fabs(a - b) < 1e-5L; };
  return (near(startDeg, 0) && near(endDeg, 360)) || (near(startDeg, 360) && near(endDeg, 0));
}

namespace {

bool LayerNameUsable(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c < 32 || c == 127) return false;
    if (std::string_view("<>/\\\":;?*|=`").find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

const std::array<std::string, 6>& ResolvedLayerNames() {
  // Every layer change asks: resolved again only when the settings' names
  // changed.
  thread_local std::array<std::string, 6> from, out;
  thread_local bool made = false;
  const std::array<std::string, 6>& names = CadSettings().CadLayerNames;
  if (made && names == from) return out;
  out[0] = "0";
  for (int i = 1; i <= 5; ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    bool ok = LayerNameUsable(name);
    for (int j = 0; ok && j < i; ++j)
      if (UpperStr(out[static_cast<std::size_t>(j)]) == UpperStr(name)) ok = false;
    out[static_cast<std::size_t>(i)] = ok ? name : IntToText(i);
  }
  from = names;
  made = true;
  return out;
}

}  // namespace cad_detail

using cad_detail::FixedText;

namespace {
int DxfDecimalsInUse() {
  int d = CadSettings().DxfDecimals;
  return d < 1 || d > 32 ? 6 : d;
}
}  // namespace

std::string DxfReal(Real x) { return FixedText(x, DxfDecimalsInUse()); }

void DxfSetLayerName(int n) {
  n = cad_detail::FoldLayer(n);
  CadState& st = Cad();
  std::string& name = st.CadDxfLayerName;
  // Layer names are short: compared here rather than by a call.
  const auto same = [&name](const std::string& other) {
    if (name.size() != other.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
      if (name[i] != other[i]) return false;
    return true;
  };
  if (st.CadLayerMode == 0 && n <= 5) {
    const std::string& resolved = cad_detail::ResolvedLayerNames()[n];
    if (same(resolved)) return;
    name = resolved;
  } else {
    std::string number = IntToText(n);
    if (same(number)) return;
    name = std::move(number);
  }
  CadLayerWritten();
}

namespace {

std::string SigText(Real x) { return CommaToPoint(FloatToStrSig(x)); }

class DxfOutput : public CadOutput {
 public:
  DxfOutput(CadFile& file, bool blockFile)
      : file_(file),
        blockFile_(blockFile),
        decimals_(DxfDecimalsInUse()),
        fast_(cad_detail::FastFixedFor(decimals_)),
        leastRadius_(0.5L * std::pow(10.0L, static_cast<Real>(-decimals_))) {}

  void Header(Real xmin, Real ymin, Real xmax, Real ymax) override {
    if (blockFile_) return;
    sheet_ = {xmin, ymin, xmax, ymax};
    headerGiven_ = true;
  }
  // The header: the extents hold the sheet and everything drawn on it,
  // the limits are the sheet.
  void ComposeHeader() {
    const Real xmin = sheet_.x0, ymin = sheet_.y0, xmax = sheet_.x1, ymax = sheet_.y1;
    Bounds ext = sheet_;
    ext.Add(model_);
    std::string& h = header_;
    h.clear();
    Put(h, 0, "SECTION");
    Put(h, 2, "HEADER");
    Put(h, 9, "$EXTMIN");
    PutReal(h, 10, ext.x0);
    PutReal(h, 20, ext.y0);
    Put(h, 9, "$EXTMAX");
    PutReal(h, 10, ext.x1);
    PutReal(h, 20, ext.y1);
    Put(h, 9, "$LIMMIN");
    PutReal(h, 10, xmin);
    PutReal(h, 20, ymin);
    Put(h, 9, "$LIMMAX");
    PutReal(h, 10, xmax);
    PutReal(h, 20, ymax);
    Put(h, 9, "$LTSCALE");
    Put(h, 40, "15");
    Put(h, 0, "ENDSEC");
  }

  void Tables(int mode) override {
    if (blockFile_) return;
    tablesMode_ = mode == 2 ? 2 : 0;
  }

  void BeginBlocks() override { OpenSection("BLOCKS"); }
  void BeginEntities() override {
    entitiesBegun_ = true;
    OpenSection("ENTITIES");
    if (!blockFile_) {
      body_ += outside_;
      outside_.clear();
    }
  }
  void EndSection() override {
    if (blockFile_ || section_.empty()) return;
    Put(body_, 0, "ENDSEC");
    section_.clear();
  }

  void BeginBlock(std::string_view name) override {
    block_ = UpperStr(name);
    extent_ = &(blocks_[block_] = Bounds{});
    std::string& o = Out();
    Put(o, 0, "BLOCK");
    PutLayer(o);
    Put(o, 2, name);
    Put(o, 70, "0");
    Put(o, 10, "0.0");
    Put(o, 20, "0.0");
  }
  void EndBlock() override {
    block_.clear();
    extent_ = &model_;
    Put(Out(), 0, "ENDBLK");
  }

  void Line(Real x1, Real y1, Real x2, Real y2) override {
    if (x1 <= x2) Extent().AddBox(x1, std::min(y1, y2), x2, std::max(y1, y2));
    else Extent().AddBox(x2, std::min(y1, y2), x1, std::max(y1, y2));
    Lines o(Out());
    Put(o, 0, "LINE");
    PutLayer(o);
    PutReal(o, 10, x1);
    PutReal(o, 20, y1);
    PutReal(o, 11, x2);
    PutReal(o, 21, y2);
    o.Spill();
    Flush();
  }
  void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2) override {
    Extent().Add(x1, y1);
    Extent().Add(x2, y2);
    Lines o(Out());
    Put(o, 0, "LINE");
    PutLayer(o);
    PutReal(o, 10, x1);
    PutReal(o, 20, y1);
    PutReal(o, 30, z1);
    PutReal(o, 11, x2);
    PutReal(o, 21, y2);
    PutReal(o, 31, z2);
    o.Spill();
    Flush();
  }
  void Circle(Real x, Real y, Real r) override {
    if (RadiusVanishes(r)) return;
    Extent().AddBox(x - r, y - r, x + r, y + r);
    Lines o(Out());
    Put(o, 0, "CIRCLE");
    PutLayer(o);
    PutReal(o, 10, x);
    PutReal(o, 20, y);
    PutReal(o, 40, r);
    o.Spill();
    Flush();
  }
  void Arc(Real x, Real y, Real s, Real e, Real r) override {
    if (cad_detail::ArcIsFullCircle(s, e)) {
      Circle(x, y, r);
      return;
    }
    if (RadiusVanishes(r)) return;
    // The whole circle: an arc's box lies within it.
    Extent().AddBox(x - r, y - r, x + r, y + r);
    Lines o(Out());
    Put(o, 0, "ARC");
    PutLayer(o);
    PutReal(o, 10, x);
    PutReal(o, 20, y);
    PutReal(o, 40, r);
    PutReal(o, 50, s);
    PutReal(o, 51, e);
    o.Spill();
    Flush();
  }
  void Text(std::string_view text, Real x, Real y) override {
    const CadState& st = Cad();
    {
      // The box of the text's ink.
      Real u0, w;
      CadTextInk(text, u0, w);
      const Real h = st.CadTextHeight;
      const Real a = st.CadTextAngle * kPi / 180, c = a == 0 ? 1 : std::cos(a), sn = a == 0 ? 0 : std::sin(a);
      if (std::isfinite(w) && std::isfinite(h) && std::isfinite(c) && std::isfinite(sn))
        for (const auto& [u, v] : {std::pair<Real, Real>{u0, 0}, {w, 0}, {w, h}, {u0, h}})
          Extent().Add(x + u * c - v * sn, y + u * sn + v * c);
    }
    Lines o(Out());
    Put(o, 0, "TEXT");
    PutLayer(o);
    PutReal(o, 10, x);
    PutReal(o, 20, y);
    PutReal(o, 40, st.CadTextHeight);
    Put(o, 1, blockFile_ ? std::string(text) : ConvertForTextOutput(text));
    Put(o, 7, "STANDARD");
    Put(o, 41, sig_[0].Text(st.CadTextWidthFactor));
    Put(o, 50, sig_[1].Text(st.CadTextAngle));
    Put(o, 51, sig_[2].Text(st.CadTextOblique));
    o.Spill();
    Flush();
  }
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override {
    for (const auto& [px, py] : {std::pair<Real, Real>{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}}) Extent().Add(px, py);
    Lines o(Out());
    Put(o, 0, "SOLID");
    PutLayer(o);
    PutReal(o, 10, x1);
    PutReal(o, 20, y1);
    PutReal(o, 11, x2);
    PutReal(o, 21, y2);
    PutReal(o, 12, x3);
    PutReal(o, 22, y3);
    PutReal(o, 13, x4);
    PutReal(o, 23, y4);
    o.Spill();
    Flush();
  }
  void Insert(std::string_view name, Real x, Real y, Real angle, Real sx, Real sy) override {
    if (const auto it = blocks_.find(UpperStr(name)); it != blocks_.end() && it->second.Any()) {
      const Bounds& b = it->second;
      const Real a = angle * kPi / 180, c = std::cos(a), sn = std::sin(a);
      for (const auto& [u, v] : {std::pair<Real, Real>{b.x0, b.y0}, {b.x1, b.y0}, {b.x1, b.y1}, {b.x0, b.y1}})
        Extent().Add(x + sx * u * c - sy * v * sn, y + sx * u * sn + sy * v * c);
    }
    Lines o(Out());
    Put(o, 0, "INSERT");
    PutLayer(o);
    Put(o, 2, name);
    PutReal(o, 10, x);
    PutReal(o, 20, y);
    PutReal(o, 41, sx);
    PutReal(o, 42, sy);
    PutReal(o, 50, angle);
    o.Spill();
    Flush();
  }

  bool NativePolylines() const override { return true; }
  void BeginPolyline(int flags) override {
    Lines o(Out());
    Put(o, 0, "POLYLINE");
    PutLayer(o);
    Put(o, 66, "1");
    if (flags != 0) Put(o, 70, IntToText(flags));
  }
  void Vertex(Real x, Real y, Real angle) override {
    Extent().Add(x, y);
    Lines o(Out());
    Put(o, 0, "VERTEX");
    PutLayer(o);
    PutReal(o, 10, x);
    PutReal(o, 20, y);
    if (angle != 0) PutReal(o, 42, std::tan(angle / 4));
    o.Spill();
    Flush();
  }
  void EndPolyline() override {
    Lines o(Out());
    Put(o, 0, "SEQEND");
    PutLayer(o);
  }

  bool Finish() override {
    if (blockFile_) {
      Put(direct_, 0, "EOF");
      file_.Write(direct_);
      direct_.clear();
      return true;
    }
    if (!entitiesBegun_ || !outside_.empty()) {  // a file always has its entities section
      EndSection();
      BeginEntities();
    }
    EndSection();
    if (headerGiven_) ComposeHeader();
    file_.Write(header_);
    if (tablesMode_ >= 0 || !extraLayers_.empty()) file_.Write(TablesText());
    for (const std::string& piece : done_) file_.Write(piece);
    file_.Write(body_);
    std::string eof;
    Put(eof, 0, "EOF");
    file_.Write(eof);
    return true;
  }

 private:
  // The group code right-aligned in 3 characters and CR LF (codes 0..999).
  static void CodeInto(char* buf, int code) {
    buf[0] = code >= 100 ? static_cast<char>('0' + code / 100 % 10) : ' ';
    buf[1] = code >= 10 ? static_cast<char>('0' + code / 10 % 10) : ' ';
    buf[2] = static_cast<char>('0' + code % 10);
    buf[3] = '\r';
    buf[4] = '\n';
  }
  // An entity's group lines, composed on the stack and added to the output
  // with one copy instead of one per line.
  class Lines {
   public:
    explicit Lines(std::string& out) : out_(out) {}
    ~Lines() { Spill(); }
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;
    void append(const char* p, std::size_t n) {
      if (n > sizeof buf_ - n_) {
        Spill();
        if (n > sizeof buf_) {
          out_.append(p, n);
          return;
        }
      }
      std::memcpy(buf_ + n_, p, n);
      n_ += n;
    }
    // Room for a short line at the end; Commit(n) keeps n bytes of it.
    static constexpr std::size_t kShort = 32;
    char* Room() {
      if (kShort > sizeof buf_ - n_) Spill();
      return buf_ + n_;
    }
    void Commit(std::size_t n) { n_ += n; }
    void Spill() {
      out_.append(buf_, n_);
      n_ = 0;
    }

   private:
    std::string& out_;
    char buf_[1024];
    std::size_t n_ = 0;
  };

  template <class Sink>
  static void Code(Sink& o, int code) {
    char buf[5];
    CodeInto(buf, code);
    o.append(buf, 5);
  }
  template <class Sink>
  static void Put(Sink& o, int code, std::string_view value) {
    char buf[64];
    if (value.size() <= sizeof buf - 7) {  // the usual short value: one append
      CodeInto(buf, code);
      std::memcpy(buf + 5, value.data(), value.size());
      std::memcpy(buf + 5 + value.size(), "\r\n", 2);
      o.append(buf, value.size() + 7);
      return;
    }
    Code(o, code);
    o.append(value.data(), value.size());
    o.append("\r\n", 2);
  }
  // A radius written as 0 at the file's decimals is no circle for readers.
  bool RadiusVanishes(Real r) const { return !(r >= leastRadius_); }

  // Code, number and line end composed in place.
  template <class Sink>
  void PutReal(Sink& o, int code, Real x) {
    if (fast_ != nullptr) {
      static_assert(5 + cad_detail::kFastFixedRoom + 2 <= Lines::kShort);
      char local[5 + cad_detail::kFastFixedRoom + 2];
      char* const at = Room(o, local);
      // Six decimals, the usual setting, without the indirect call.
      const int n = decimals_ == 6 ? cad_detail::FastFixed<6>(at + 5, x) : fast_(at + 5, x);
      if (n > 0) {
        CodeInto(at, code);
        at[5 + n] = '\r';
        at[6 + n] = '\n';
        Commit(o, local, static_cast<std::size_t>(n) + 7);
        return;
      }
    }
    std::string text;
    cad_detail::AppendFixed(text, x, decimals_);
    Put(o, code, text);
  }
  // Where a short line is composed: straight in the entity's buffer, or in
  // `local` for a plain string.
  static char* Room(std::string&, char* local) { return local; }
  static char* Room(Lines& o, char*) { return o.Room(); }
  static void Commit(std::string& o, const char* local, std::size_t n) { o.append(local, n); }
  static void Commit(Lines& o, const char*, std::size_t n) { o.Commit(n); }

  template <class Sink>
  void PutLayer(Sink& o) {
    const std::string& name = Cad().CadDxfLayerName;
    Put(o, 8, name);
    // A screen block file notes its marks: no text breaks them where it is drawn.
    if (blockFile_ && Cad().CadMarkLevel > 0) Put(o, 999, "MARK");
    if (blockFile_ || name == lastLayer_) return;
    lastLayer_ = name;
    // A layer noted before under this number: nothing new.
    const int number = Cad().CadLayer;
    const bool numbered = number >= 0 && number < static_cast<int>(notedByNumber_.size());
    if (numbered && !name.empty() && notedByNumber_[static_cast<std::size_t>(number)] == name) return;
    if (numbered) notedByNumber_[static_cast<std::size_t>(number)] = name;
    std::string key = UpperStr(name);
    if (key != "0" && !extraLayers_.count(key)) extraLayers_.emplace(key, LayerUse{name, Cad().CadLayer});
  }

  std::string& Out() {
    if (blockFile_) return direct_;
    return section_.empty() ? outside_ : body_;
  }

  void OpenSection(const char* name) {
    if (blockFile_) return;
    if (!section_.empty()) EndSection();
    Put(body_, 0, "SECTION");
    Put(body_, 2, name);
    section_ = name;
  }

  // Block files go straight to the file in pieces; the held-back body is
  // kept in pieces of about 1 MiB (no copying as it grows).
  void Flush() {
    if (blockFile_) {
      if (direct_.size() > (1u << 16)) {
        file_.Write(direct_);
        direct_.clear();
      }
    } else if (body_.size() > (1u << 20)) {
      done_.push_back(std::move(body_));
      body_.clear();
      body_.reserve((1u << 20) + (1u << 12));
    }
  }

  // Colour 0 is BYBLOCK in DXF, which a layer cannot carry: it is written
  // as 7 (white/black), the colour a layer of colour 0 shows on the screen.
  static int ColourOf(std::int32_t configured) {
    if (CadSettings().CadMonochromeLayers) return 1;
    int c = configured & 0xFF;
    return c == 0 ? 7 : c;
  }

  std::string TablesText() {
    const CadSettingsRecord& cs = CadSettings();
    int mode = tablesMode_ < 0 ? 0 : tablesMode_;
    std::string t;
    Put(t, 0, "SECTION");
    Put(t, 2, "TABLES");
    Put(t, 0, "TABLE");
    Put(t, 2, "LTYPE");
    Put(t, 70, mode == 2 ? "23" : "6");
    auto ltype = [&](const char* name, const char* desc, const char* count, const char* length,
                     std::initializer_list<const char*> dashes) {
      Put(t, 0, "LTYPE");
      Put(t, 2, name);
      Put(t, 70, "64");
      Put(t, 3, desc);
      Put(t, 72, "65");
      Put(t, 73, count);
      Put(t, 40, length);
      for (const char* d : dashes) Put(t, 49, d);
    };
    ltype("CONTINUOUS", "Ausgezogene Linie", "0", "0.0", {});
    ltype("DASHDOT", "--. --. --.-", "4", "1.0", {"0.5", "-0.25", "0.0", "-0.25"});
    ltype("DASHED", "- - - - - - ", "2", "0.375", {"0.25", "-0.125"});
    Put(t, 0, "ENDTAB");
    Put(t, 0, "TABLE");
    Put(t, 2, "LAYER");
    Put(t, 70, "24");
    std::vector<std::string> written;
    auto layer = [&](const std::string& name, int colour, const char* lt) {
      std::string key = UpperStr(name);
      if (std::find(written.begin(), written.end(), key) != written.end()) return;
      written.push_back(key);
      Put(t, 0, "LAYER");
      Put(t, 2, name);
      Put(t, 70, "0");
      Put(t, 62, IntToText(colour));
      Put(t, 6, lt);
    };
    const auto names = cad_detail::ResolvedLayerNames();
    layer("0", ColourOf(1), "CONTINUOUS");
    layer(names[1], ColourOf(cs.CadLayerColours[1]), "DASHDOT");
    layer(names[2], ColourOf(cs.CadLayerColours[2]), "DASHED");
    for (int i = 3; i <= 5; ++i) layer(names[i], ColourOf(cs.CadLayerColours[i]), "CONTINUOUS");
    if (mode == 2)
      for (int i = 16; i <= 31; ++i) layer(IntToText(i), ColourOf(cs.CadUserColours[i - 16]), "CONTINUOUS");
    for (const auto& [key, use] : extraLayers_) {
      int colour = use.number >= 16 && use.number <= 31 ? ColourOf(cs.CadUserColours[use.number - 16]) : 7;
      layer(use.name, colour, "CONTINUOUS");
    }
    Put(t, 0, "ENDTAB");
    Put(t, 0, "TABLE");
    Put(t, 2, "STYLE");
    Put(t, 70, "1");
    Put(t, 0, "STYLE");
    Put(t, 2, "STANDARD");
    Put(t, 70, "0");
    Put(t, 40, "0.0");
    Put(t, 41, "1.0");
    Put(t, 50, "0.0");
    Put(t, 71, "0");
    Put(t, 42, "3.5");
    std::string font;
    for (char c : UpperStr(cs.CadTextStyleName))
      if (static_cast<unsigned char>(c) >= 32) font += c;
    Put(t, 3, font);
    Put(t, 4, "");
    t += "0\r\nENDTAB\r\n";
    Put(t, 0, "ENDSEC");
    return t;
  }

  // The last value written in a field and its text.
  struct SigCache {
    bool valid = false;
    Real value = 0;
    std::string text;
    const std::string& Text(Real v) {
      if (!valid || v != value) {
        text = SigText(v);
        value = v;
        valid = true;
      }
      return text;
    }
  };
  SigCache sig_[3];

  struct LayerUse {
    std::string name;
    int number;
  };

  CadFile& file_;
  bool blockFile_;
  int decimals_;
  cad_detail::FastFixedFn fast_;
  Real leastRadius_;  // half a unit of the last decimal
  // A box grown by the points drawn (sheet units).
  struct Bounds {
    Real x0 = std::numeric_limits<Real>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    bool Any() const { return x0 <= x1 && y0 <= y1; }
    void Add(Real x, Real y) {
      if (!std::isfinite(x) || !std::isfinite(y)) return;
      // Stored only when it grows: most points lie inside.
      if (x < x0) x0 = x;
      if (x > x1) x1 = x;
      if (y < y0) y0 = y;
      if (y > y1) y1 = y;
    }
    // A box of finite bounds (the coordinates of lines, circles and arcs
    // are), low corner first: four compares, no test of finiteness.
    void AddBox(Real lx, Real ly, Real hx, Real hy) {
      if (lx < x0) x0 = lx;
      if (hx > x1) x1 = hx;
      if (ly < y0) y0 = ly;
      if (hy > y1) y1 = hy;
    }
    void Add(const Bounds& b) {
      if (b.Any()) Add(b.x0, b.y0), Add(b.x1, b.y1);
    }
  };
  // The box of the block being defined, else of the model.
  Bounds& Extent() { return *extent_; }

  std::string header_, body_, outside_, direct_;
  Bounds sheet_, model_;
  bool headerGiven_ = false;
  std::string block_;
  std::map<std::string, Bounds> blocks_;
  Bounds* extent_ = &model_;  // the block's box while one is defined
  std::vector<std::string> done_;  // full pieces of the body before body_
  std::string section_;
  int tablesMode_ = -1;
  bool entitiesBegun_ = false;
  std::string lastLayer_ = "0";
  std::array<std::string, 256> notedByNumber_;  // the last name noted of each layer number
  std::map<std::string, LayerUse> extraLayers_;
};

}  // namespace

namespace cad_detail {
std::unique_ptr<CadOutput> MakeDxfOutput(CadFile& file, bool blockFile) {
  return std::make_unique<DxfOutput>(file, blockFile);
}
}  // namespace cad_detail

}  // namespace zeb
