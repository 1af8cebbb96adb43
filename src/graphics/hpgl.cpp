#include "graphics/hpgl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unistd.h>

#include <cerrno>

#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "graphics/facade.h"
#include "platform/files.h"

namespace zeb {

namespace {

constexpr char kEtx = 3;
constexpr std::size_t kTokenLimit = 80;   // longer parameters are junk: 0
constexpr int kPeDigitsLimit = 10;        // 60 bits: longer PE numbers end PE

Real PlotterUnitsToMm(Real v) { return v * 0.025L; }

Real Degrees(Real dy, Real dx) { return RadToDeg(std::atan2(dy, dx)); }

class Player {
 public:
  Player(GraphicsFacade& f, std::string_view bytes) : f_(f), s_(bytes), st_(HpglState()) {}

  bool Cut() const { return cut_; }

  void Run() {
    while (!ended_) {
      term_ = false;
      int c = ReadChar();
      if (c == ';') c = ReadChar();
      if (ended_) break;
      const int c2 = ReadChar();
      if (ended_) break;
      if (c2 == ';') continue;  // a bare one-letter command
      Dispatch(Upper(c), Upper(c2));
    }
  }

 private:
  static int Upper(int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

  // Next byte, skipping blanks, CR and LF; -1 at the end.
  int ReadChar() {
    while (pos_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c != ' ' && c != '\r' && c != '\n') return c;
    }
    ended_ = true;
    return -1;
  }
  int ReadLabelChar() {
    while (pos_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c != '\r' && c != '\n') return c;
    }
    ended_ = true;
    return -1;
  }
  void SkipToTerminator() {
    if (term_) return;
    while (!ended_) {
      if (ReadChar() == ';') break;
    }
    term_ = true;
  }

  // The text up to "," or ";" (";" sets the terminator flag).
  std::string Token(bool skipPA) {
    std::string t;
    while (true) {
      const int c = ReadChar();
      if (c < 0) break;
      if (c == ';') {
        term_ = true;
        break;
      }
      if (c == ',') break;
      if (skipPA && (c == 'P' || c == 'A')) continue;
      if (t.size() < kTokenLimit) t += static_cast<char>(c);
    }
    return t;
  }
  // Numbers no double holds count as 0, like any other bad number.
  static Real Finite(Real v) { return std::isfinite(static_cast<double>(v)) ? v : 0; }
  Real ReadNumber() { return Finite(TextToFloat(Token(true))); }
  Real ReadReal() { return Finite(TextToFloat(Token(false))); }
  bool ReadInteger(int& n) {
    const std::string t = Token(false);
    if (t.empty()) return false;
    const Real v = TextToFloat(t);
    n = static_cast<int>(std::clamp<Real>(std::trunc(v), -1000000, 1000000));
    return true;
  }

  void PenColour() { f_.GrafSetColor(HpglPenColor(st_.pen)); }
  // Counts one more element; false (and the picture ends) beyond the bound.
  bool Element() {
    if (elements_ >= kHpglMaxElements) {
      cut_ = ended_ = true;
      return false;
    }
    ++elements_;
    return true;
  }
  bool Curve() {
    if (curves_ >= kHpglMaxCurves) {
      cut_ = ended_ = true;
      return false;
    }
    ++curves_;
    return Element();
  }
  void DrawTo(Real x, Real y) {
    if (!Element()) return;
    PenColour();
    f_.GrafLine(st_.x, st_.y, x, y);
  }

  void Pairs() {
    while (!term_ && !ended_) {
      const Real x = ReadNumber();
      if (term_ || ended_) break;
      const Real y = ReadNumber();
      const Real nx = PlotterUnitsToMm(x), ny = PlotterUnitsToMm(y);
      if (st_.penDown) DrawTo(nx, ny);
      st_.x = nx;
      st_.y = ny;
    }
  }

  void Label() {
    std::string text;
    while (true) {
      const int c = ReadLabelChar();
      if (c < 0) break;
      if (c == kEtx) {
        term_ = true;
        break;
      }
      if (st_.charSet == 3 && c == '}') {
        if (!text.empty()) {
          char& last = text.back();
          switch (last) {
            case 'a': last = static_cast<char>(132); break;
            case 'o': last = static_cast<char>(148); break;
            case 'u': last = static_cast<char>(129); break;
            case 'A': last = static_cast<char>(142); break;
            case 'O': last = static_cast<char>(153); break;
            case 'U': last = static_cast<char>(154); break;
            default: break;
          }
        }
        continue;
      }
      if (text.size() < kHpglMaxLabelLength) {
        text += static_cast<char>(c);
      } else {
        cut_ = true;  // the rest up to the label's end is dropped
      }
    }
    if (labels_ >= kHpglMaxLabels) {
      cut_ = ended_ = true;
      return;
    }
    ++labels_;
    if (!Element()) return;
    const Real angle = Degrees(st_.rise, st_.run);
    PenColour();
    f_.GrafSetTextStyle(2, angle, st_.charHeight * 10, st_.charWidth * 10);
    f_.GrafNop();
    f_.GrafOutTextXY(text, st_.x, st_.y);
  }

  void ArcAbsolute() {
    const Real cx = PlotterUnitsToMm(ReadNumber());
    if (term_ || ended_) return;
    const Real cy = PlotterUnitsToMm(ReadNumber());
    if (term_ || ended_) return;
    const Real sweep = ReadReal();
    SkipToTerminator();
    if (st_.penDown && Curve()) {
      const Real r = std::hypot(st_.x - cx, st_.y - cy);
      const Real a1 = Degrees(st_.y - cy, st_.x - cx);
      PenColour();
      // A negative sweep runs clockwise: drawn as the counter-clockwise arc
      // from its end back to the current point, not as the rest of the circle.
      if (std::fabs(sweep) >= 360 - 1e-5L) {
        f_.GrafArc(cx, cy, a1, a1 + 360, r);
      } else if (sweep >= 0) {
        f_.GrafArc(cx, cy, a1, a1 + sweep, r);
      } else {
        f_.GrafArc(cx, cy, a1 + sweep, a1, r);
      }
    }
    st_.x = cx;
    st_.y = cy;
  }

  // One PE number starting with c; false when the command has to end
  // (";", end of file, too many digits).
  bool PeNumber(int c, bool base32, Real& mm, std::int64_t* raw = nullptr) {
    std::uint64_t v = 0;
    const int bits = base32 ? 5 : 6;
    for (int k = 0;; ++k) {
      if (k >= kPeDigitsLimit || c < 0) return false;
      if (c == ';') {
        term_ = true;
        return false;
      }
      bool last;
      unsigned digit;
      if (base32) {
        if (c >= 63 && c <= 94) {
          digit = static_cast<unsigned>(c - 63), last = false;
        } else if (c >= 95 && c <= 126) {
          digit = static_cast<unsigned>(c - 95), last = true;
        } else {
          return false;
        }
      } else {
        if (c >= 63 && c <= 126) {
          digit = static_cast<unsigned>(c - 63), last = false;
        } else if (c >= 191 && c <= 254) {
          digit = static_cast<unsigned>(c - 191), last = true;
        } else {
          return false;
        }
      }
      v += static_cast<std::uint64_t>(digit) << (bits * k);
      if (last) break;
      c = ReadChar();
    }
    const Real n = (v % 2 == 0) ? Real(v) : -Real(v - 1);
    mm = n * 0.0125L;
    if (raw) *raw = (v % 2 == 0) ? static_cast<std::int64_t>(v / 2) : -static_cast<std::int64_t>((v - 1) / 2);
    return true;
  }

  void PolylineEncoded() {
    bool base32 = false, absolute = false;
    st_.penDown = true;
    bool down = true;
    while (!ended_) {
      const int c = ReadChar();
      if (c < 0) break;
      if (c == ';') {
        term_ = true;
        break;
      }
      if (c == '7') {
        base32 = true;
      } else if (c == '=') {
        absolute = true;
      } else if (c == '<') {
        down = false;
      } else if (c == '>') {
        ReadChar();
      } else if (c == ':') {
        Real ignored;
        std::int64_t pen = 0;
        if (!PeNumber(ReadChar(), base32, ignored, &pen)) break;
        st_.pen = static_cast<int>(std::clamp<std::int64_t>(pen, -1000000, 1000000));
      } else if (c >= 63 && c <= 254) {
        Real dx, dy;
        if (!PeNumber(c, base32, dx)) break;
        if (!PeNumber(ReadChar(), base32, dy)) break;
        const Real x = absolute ? dx : st_.x + dx, y = absolute ? dy : st_.y + dy;
        if (down) DrawTo(x, y);
        st_.x = x;
        st_.y = y;
        down = true;
        absolute = false;
      }
    }
    st_.penDown = down;
    SkipToTerminator();
  }

  void Dispatch(int a, int b) {
    const int cmd = a * 256 + b;
    auto is = [&](const char* name) { return cmd == name[0] * 256 + name[1]; };
    if (is("PU")) {
      st_.penDown = false;
      Pairs();
    } else if (is("PD")) {
      st_.penDown = true;
      Pairs();
    } else if (is("PA")) {
      Pairs();
    } else if (is("SP")) {
      int n = 1;
      if (!ReadInteger(n)) n = 1;
      st_.pen = n;
      SkipToTerminator();
    } else if (is("CI")) {
      const Real r = ReadNumber();
      SkipToTerminator();
      if (!Curve()) return;
      PenColour();
      f_.GrafCircle(st_.x, st_.y, PlotterUnitsToMm(r));
    } else if (is("SI")) {
      const Real w = ReadReal();
      if (!term_ && !ended_) {
        st_.charWidth = w;
        st_.charHeight = ReadReal();
      }
      SkipToTerminator();
    } else if (is("DI")) {
      const Real run = ReadReal();
      if (!term_ && !ended_) {
        st_.run = run;
        st_.rise = ReadReal();
      }
      SkipToTerminator();
    } else if (is("LB")) {
      Label();
    } else if (is("AA")) {
      ArcAbsolute();
    } else if (is("PE")) {
      PolylineEncoded();
    } else if (is("CS")) {
      st_.charSet = ReadNumber();
      SkipToTerminator();
    } else {
      SkipToTerminator();
    }
  }

  GraphicsFacade& f_;
  std::string_view s_;
  HpglPlayerState& st_;
  std::size_t pos_ = 0;
  bool term_ = false, ended_ = false, cut_ = false;
  int elements_ = 0, curves_ = 0, labels_ = 0;
};

// The notice of a cut picture, red on a white field over whatever the
// picture drew in its lower left corner.
void DrawCutNotice(GraphicsFacade& f) {
  const Real right = 3 + 2.0L * static_cast<Real>(std::string_view(kHpglCutNotice).size());
  f.GrafSetColor(15);
  f.GrafSolid(1, 1, right, 1, right, 6, 1, 6);
  f.GrafSetColor(12);
  f.GrafSetTextStyle(2, 0, 3, 2);
  f.GrafNop();
  f.GrafOutTextXY(kHpglCutNotice, 2, 2);
}

bool Play(GraphicsFacade& f, std::string_view bytes, bool cut) {
  Player player(f, bytes);
  player.Run();
  cut = cut || player.Cut();
  if (cut) DrawCutNotice(f);
  return cut;
}

}  // namespace

const char* const kHpglCutNotice = "Bild gek\x81rzt: zu viele Elemente";

HpglPlayerState& HpglState() {
  static HpglPlayerState s;
  return s;
}

void ResetHpglState() { HpglState() = HpglPlayerState{}; }

int HpglPenColor(int pen) {
  static constexpr int kMap[8] = {0, 12, 14, 10, 11, 9, 13, 15};
  return (pen >= 1 && pen <= 7) ? kMap[pen] : pen;
}

bool PlayHpglBytes(GraphicsFacade& f, std::string_view bytes) {
  HpglState().x = HpglState().y = -999;
  f.GrafSetWaitCursor();
  const bool cut = Play(f, bytes, false);
  G().AbortFlag = 0;
  f.GrafSetOldCursor();
  return cut;
}

void PlayHpglFile(GraphicsFacade& f, std::string_view path) {
  HpglState().x = HpglState().y = -999;
  f.GrafSetWaitCursor();
  if (!f.GrafCheckFile(path)) {
    f.GrafSetOldCursor();
    return;
  }
  // Read without waiting (a FIFO is no picture) and only up to the bound.
  std::string bytes;
  bool cut = false;
  int fd = -1;
  if (OpenRegularForReading(ResolvePathCaseInsensitive(path), fd) == 0) {
    bytes.resize(kHpglMaxFileBytes + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    cut = got > kHpglMaxFileBytes;
    bytes.resize(std::min(got, kHpglMaxFileBytes));
  }
  Play(f, bytes, cut);
  G().AbortFlag = 0;
  f.GrafSetOldCursor();
}

}  // namespace zeb
