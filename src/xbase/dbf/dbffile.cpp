#include "xbase/dbf/dbffile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/codepage.h"
#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/real48.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/hooks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {

namespace {

constexpr char kEofByte = 0x1A;
constexpr std::size_t kReadAheadBytes = 64 * 1024;
// Memory for the record blocks of one exclusive table.
constexpr std::size_t kRecordBlockBudget = 32 * 1024 * 1024;

bool OwnVersions() { return Engine().ownVersion1 != 0 || Engine().ownVersion2 != 0; }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::int32_t I32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
void PutU16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

DbfReadCounters& DbfReadCounter() {
  static DbfReadCounters counters;
  return counters;
}

// Reads up to n bytes at off; the count read, or -1 with errno.
long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off) {
  DbfReadCounters& c = DbfReadCounter();
  c.largest = std::max<std::uint64_t>(c.largest, n);
  std::size_t got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd, static_cast<char*>(buf) + got, n - got, static_cast<off_t>(off + static_cast<std::int64_t>(got)));
    ++c.reads;
    if (r > 0) c.bytes += static_cast<std::uint64_t>(r);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(got);
}

namespace {
std::function<int(FileStep, std::size_t&)>& FileFaultSlot() {
  static std::function<int(FileStep, std::size_t&)> fault;
  return fault;
}
}  // namespace

void SetFileFault(std::function<int(FileStep step, std::size_t& n)> fault) { FileFaultSlot() = std::move(fault); }

// Writes n bytes at off; 0 or errno (ENOSPC when nothing more is stored).
int WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off) {
  if (const auto& fault = FileFaultSlot()) {
    std::size_t allowed = n;
    if (const int err = fault(FileStep::Write, allowed); err != 0) {
      // The bytes that reached the file before the failure.
      if (allowed > 0 && allowed < n) {
        const auto keep = std::move(FileFaultSlot());
        WriteAt(fd, buf, allowed, off);
        FileFaultSlot() = keep;
      }
      NoteWriteFailure(fd, err);
      return err;
    }
  }
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::pwrite(fd, static_cast<const char*>(buf) + done, n - done, static_cast<off_t>(off + static_cast<std::int64_t>(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      NoteWriteFailure(fd, err);
      return err;
    }
    if (r == 0) {
      NoteWriteFailure(fd, ENOSPC);
      return ENOSPC;
    }
    done += static_cast<std::size_t>(r);
  }
  return 0;
}

namespace {

// The size by seeking to the end: table files are read and written at
// positions only, so the offset is free. Cheaper than fstat, which also
// makes the next write stamp the file with a fine-grained time (an inode
// update on every append).
std::int64_t FileSizeOf(int fd) {
  const off_t end = ::lseek(fd, 0, SEEK_END);
  return end < 0 ? -1 : static_cast<std::int64_t>(end);
}

std::int64_t RecordOffset(const DbfTable& t, std::int32_t n) {
  return static_cast<std::int64_t>(t.headerLength) + static_cast<std::int64_t>(n - 1) * t.recordLength;
}

std::string NotDbase(std::string_view name, std::string_view why, std::string_view tail, bool blank = true) {
  NoteTableDamage({TableDamageKind::NotDbase, 210, std::string(why), {}, {}, {}});
  return std::string(name) + " ist keine dBASE-Datenbank." + (blank ? " (" : "(") + std::string(why) + ")" + std::string(tail);
}

struct CodePageMaps {
  std::array<char, 256> toAnsi{}, toOem{};
  bool asciiKept = true;  // both maps leave the bytes below 128 alone
  CodePageMaps() {
    for (int b = 0; b < 256; ++b) {
      std::string one(1, static_cast<char>(b));
      toAnsi[b] = Cp850To1252(one)[0];
      toOem[b] = Cp1252To850(one)[0];
      if (b < 128 && (toAnsi[b] != one[0] || toOem[b] != one[0])) asciiKept = false;
    }
  }
};

// Maps n bytes in place. Records are mostly ASCII, which both maps keep:
// runs of 8 such bytes are passed over.
void MapBytes(const CodePageMaps& maps, const std::array<char, 256>& map, char* bytes, std::size_t n) {
  std::size_t i = 0;
  if (maps.asciiKept) {
    for (; i + 8 <= n; i += 8) {
      std::uint64_t eight;
      std::memcpy(&eight, bytes + i, 8);
      if ((eight & 0x8080808080808080ULL) == 0) continue;
      for (std::size_t k = i; k < i + 8; ++k) bytes[k] = map[static_cast<unsigned char>(bytes[k])];
    }
  }
  for (; i < n; ++i) bytes[i] = map[static_cast<unsigned char>(bytes[i])];
}

const CodePageMaps& Maps() {
  static const CodePageMaps m;
  return m;
}

std::string TodayYmd(int& y, int& m, int& d) {
  int w;
  GetDate(y, m, d, w);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y % 10000, m, d);
  return buf;
}

// Holds the append byte of a shared table around a header write (or knows
// that the area holds it already). Usable() false: another program holds it
// and will write the header itself.
class AppendByteGuard {
 public:
  explicit AppendByteGuard(DbfTable& t) : t_(t) {
    const TzEngine& e = Engine();
    if (t.exclusive || !e.sharedMode || t.lockState == kLockFile || t.lockState == kLockAppend) return;
    const std::int64_t at = e.lockBase + 1;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
      int r = SysLockRange(t.file.get(), F_WRLCK, at, 1);
      if (r == 0) {
        taken_ = true;
        return;
      }
      if (r != EAGAIN && r != EACCES) return;  // no locking here: write anyway
      auto waited = std::chrono::steady_clock::now() - start;
      if (waited >= std::chrono::milliseconds(e.headerLockWaitMs)) {
        usable_ = false;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~AppendByteGuard() {
    if (taken_) SysLockRange(t_.file.get(), F_UNLCK, Engine().lockBase + 1, 1);
  }
  AppendByteGuard(const AppendByteGuard&) = delete;
  AppendByteGuard& operator=(const AppendByteGuard&) = delete;
  bool Usable() const { return usable_; }
  bool Shared() const { return !t_.exclusive && Engine().sharedMode; }

 private:
  DbfTable& t_;
  bool taken_ = false;
  bool usable_ = true;
};

// Header (and with state 3 the end-of-file byte); 0 or an engine code.
// written (when given) tells whether the header went to the file: not when
// another program holds the append byte and will write it itself.
std::uint16_t WriteHeaderAndEof(DbfTable& t, bool* written = nullptr) {
  if (written) *written = false;
  AppendByteGuard guard(t);
  if (!guard.Usable()) return 0;
  const int fd = t.file.get();
  if (guard.Shared()) {
    // Others' appends are in the header's count; records of our own still
    // waiting for the header are in ours.
    std::int32_t onDisk = DbfRecordsInHeader(t);
    if (onDisk >= 0) t.recordCount = t.headerState == kHeaderAppended ? std::max(onDisk, t.recordCount) : onDisk;
  }
  int y, m, d;
  t.lastUpdate = TodayYmd(y, m, d);
  std::uint16_t code = 0;
  // Bytes the file holds already are not written again: a write that
  // changes nothing cannot fail.
  std::uint8_t held[32];
  const auto unchanged = [&](const std::uint8_t* bytes, std::size_t n, std::int64_t at) {
    return ReadAt(fd, held, n, at) == static_cast<long long>(n) && std::memcmp(held, bytes, n) == 0;
  };
  if (IsDbase2(t)) {
    t.header[3] = static_cast<std::uint8_t>(m);
    t.header[4] = static_cast<std::uint8_t>(d);
    t.header[5] = static_cast<std::uint8_t>(y - 1900);
    PutU16(&t.header[1], static_cast<std::uint32_t>(std::clamp(t.recordCount, 0, 65535)));
    if (!unchanged(t.header.data(), 8, 0)) code = ErrnoToTzCode(WriteAt(fd, t.header.data(), 8, 0));
  } else {
    std::uint8_t keep[12];
    long long got = ReadAt(fd, keep, sizeof keep, 16);
    if (got < 0) code = ErrnoToTzCode(errno);
    else std::memcpy(&t.header[16], keep, static_cast<std::size_t>(got));
    t.header[1] = static_cast<std::uint8_t>(y - 1900);
    t.header[2] = static_cast<std::uint8_t>(m);
    t.header[3] = static_cast<std::uint8_t>(d);
    PutU32(&t.header[4], static_cast<std::uint32_t>(t.recordCount));
    if (code == 0 && !unchanged(t.header.data(), 32, 0)) code = ErrnoToTzCode(WriteAt(fd, t.header.data(), 32, 0));
  }
  if (code == 0 && t.headerState == kHeaderAppended) {
    const std::int64_t end = RecordOffset(t, t.recordCount + 1);
    if (!unchanged(reinterpret_cast<const std::uint8_t*>(&kEofByte), 1, end))
      code = ErrnoToTzCode(WriteAt(fd, &kEofByte, 1, end));
  }
  if (written) *written = code == 0;
  return code;
}

// Descriptor bytes to a field entry (name cut to 10, upper case).
FieldDesc ToField(const std::uint8_t* d, bool dbase2, bool dbase7, std::uint16_t& offset) {
  FieldDesc f;
  std::size_t n = 0;
  while (n < 11 && d[n] != 0) ++n;
  f.name = TzUpper(std::string(reinterpret_cast<const char*>(d), std::min<std::size_t>(n, 10)));
  char type = static_cast<char>(d[dbase7 ? 32 : 11]);
  if (std::strchr("BGPbgp", type) && type != 0) type = 'M';
  f.type = type;
  if (dbase2) {
    f.length = d[12];
    f.decimals = d[15];
  } else if (dbase7) {
    f.length = d[33];
    f.decimals = d[34];
  } else {
    f.length = d[16];
    f.decimals = d[17];
  }
  f.offset = offset;
  offset = static_cast<std::uint16_t>(offset + f.length);
  return f;
}

bool ValidType(char c) { return c != 0 && std::strchr("CDFLMN", c) != nullptr; }

std::string_view ReadShortView(const std::uint8_t* p, std::size_t capacity) {
  return std::string_view(reinterpret_cast<const char*>(p + 1), std::min<std::size_t>(p[0], capacity));
}

// The text without blanks and control characters at either end.
std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// Integer value of a stored number text: whole text an integer, else a
// real read and cut toward zero, else 0.
std::int64_t StoredToInt(std::string_view s, std::int64_t lo, std::int64_t hi) {
  const std::string_view t = TrimView(s);
  if (t.empty()) return 0;
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (*b == '+') ++b;
  std::int64_t v = 0;
  auto r = std::from_chars(b, e, v);
  if (r.ec == std::errc() && r.ptr == e) return std::clamp(v, lo, hi);
  double x = 0;
  auto rr = std::from_chars(b, e, x);
  if (rr.ec != std::errc() || rr.ptr != e || !std::isfinite(x)) return 0;
  x = std::trunc(x);
  if (x <= static_cast<double>(lo)) return lo;
  if (x >= static_cast<double>(hi)) return hi;
  return static_cast<std::int64_t>(x);
}

double StoredToReal(std::string_view s) {
  const std::string_view t = TrimView(s);
  if (t.empty()) return 0;
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (*b == '+') ++b;
  double x = 0;
  if (PlainDecimal(b, e, x)) return x;
  auto r = std::from_chars(b, e, x);
  if (r.ec != std::errc() || r.ptr != e || !std::isfinite(x)) return 0;
  return x;
}

// Writes text right-aligned into the width bytes at out; "*" x width when
// it does not fit.
void PutRightAligned(char* out, std::size_t width, std::string_view text) {
  if (text.size() > width) {
    std::memset(out, '*', width);
    return;
  }
  const std::size_t blanks = width - text.size();
  std::memset(out, ' ', blanks);
  std::memcpy(out + blanks, text.data(), text.size());
}

// Writes text left-aligned into the width bytes at out, cut or filled
// with blanks.
void PutLeftAligned(char* out, std::size_t width, std::string_view text) {
  const std::size_t n = std::min(width, text.size());
  if (n > 0) std::memcpy(out, text.data(), n);  // an empty view may hold no pointer
  std::memset(out + n, ' ', width - n);
}

// StoredInteger and StoredNumber into the width bytes at out (width >= 1).
void PutStoredInteger(char* out, std::size_t width, std::int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  PutRightAligned(out, width, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void PutStoredNumber(char* out, std::size_t width, long double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (!std::isfinite(value) || static_cast<std::size_t>(decimals) >= width) {
    std::memset(out, '*', width);
    return;
  }
  char buf[400];
  std::to_chars_result r;
  // A value that a double holds has the same exact text from the double
  // conversion, which is many times faster than the long double one.
  const double d = static_cast<double>(value);
  if (static_cast<long double>(d) == value)
    r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, decimals);
  else
    r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) {
    std::memset(out, '*', width);
    return;
  }
  std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string_view::npos) text.remove_prefix(1);  // no "-0.00"
  PutRightAligned(out, width, text);
}

// Year, month and day of a date text in the current format.
void DateParts(const std::string& s, std::string& y, std::string& m, std::string& d) {
  const std::size_t yd = Engine().century ? 4 : 2;
  switch (Engine().dateFormat) {
    case 0:
      m = s.substr(0, 2);
      d = s.substr(3, 2);
      y = s.substr(6, yd);
      break;
    case 1:
      y = s.substr(0, yd);
      m = s.substr(yd + 1, 2);
      d = s.substr(yd + 4, 2);
      break;
    default:
      d = s.substr(0, 2);
      m = s.substr(3, 2);
      y = s.substr(6, yd);
      break;
  }
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PackDate(std::string_view text) {
  std::string s(text);
  if (AllTrim(s).empty()) return std::string(8, ' ');
  if (!IsDateText(s)) return std::string(8, ' ');
  if (s == EmptyDatePicture(Engine().dateFormat)) return std::string(8, ' ');
  std::string y, m, d;
  DateParts(s, y, m, d);
  if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return std::string(8, ' ');
  if (y.size() == 2) y = CenturyDigits(y) + y;
  return y + m + d;
}

int TwoDigits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// PackDate of the common text: a date written completely in the current
// format ("31.01.26", "01/31/2026", ...). False for any other text, which
// PackDate takes; the result is the same.
bool PackFullDate(std::string_view text, std::string& packed) {
  const TzEngine& e = Engine();
  const std::size_t yd = e.century ? 4 : 2;
  if (text.size() != 6 + yd || e.dateFormat > 8) return false;
  // Positions of year, month and day, and the separator.
  std::size_t y = 6, m = 0, d = 3;
  char sep = '.';
  switch (e.dateFormat) {
    case 0: m = 0, d = 3, sep = '/'; break;
    case 1: y = 0, m = yd + 1, d = yd + 4; break;
    case 2: m = 3, d = 0, sep = '/'; break;
    case 3: m = 3, d = 0, sep = '-'; break;
    default: m = 3, d = 0; break;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = (i >= y && i < y + yd) || i == m || i == m + 1 || i == d || i == d + 1;
    if (digit ? (text[i] < '0' || text[i] > '9') : text[i] != sep) return false;
  }
  const int month = TwoDigits(&text[m]);
  const int day = TwoDigits(&text[d]);
  int year = yd == 4 ? TwoDigits(&text[y]) * 100 + TwoDigits(&text[y + 2]) : TwoDigits(&text[y]);
  const std::string_view yearText = text.substr(y, yd);
  bool valid = month >= 1 && month <= 12 && day >= 1 && day <= 31 && !(month == 2 && day > 29) &&
               !((month == 4 || month == 6 || month == 9 || month == 11) && day > 30);
  if (valid && yd == 2) year += CenturyOf(yearText);
  if (valid && month == 2 && day > 28 && !IsLeapYear(year)) valid = false;
  if (!valid) {
    packed.assign(8, ' ');
  } else {
    packed.clear();
    if (yd == 2) packed = CenturyDigits(yearText);
    packed.append(yearText).append(text.substr(m, 2)).append(text.substr(d, 2));
  }
  return true;
}

// UnpackDate into out (10 bytes at most); the length.
std::size_t UnpackDateTo(std::string_view stored, char* out) {
  char s[8];
  PutLeftAligned(s, 8, stored.substr(0, 8));
  const TzEngine& e = Engine();
  const std::string_view y = e.century ? std::string_view(s, 4) : std::string_view(s + 2, 2);
  const std::string_view m(s + 4, 2), d(s + 6, 2);
  std::string_view parts[3];
  char sep = '.';
  switch (e.dateFormat) {
    case 0: parts[0] = m, parts[1] = d, parts[2] = y, sep = '/'; break;
    case 1: parts[0] = y, parts[1] = m, parts[2] = d; break;
    case 3: parts[0] = d, parts[1] = m, parts[2] = y, sep = '-'; break;
    case 2: parts[0] = d, parts[1] = m, parts[2] = y, sep = '/'; break;
    default: parts[0] = d, parts[1] = m, parts[2] = y; break;
  }
  std::size_t n = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) out[n++] = sep;
    std::memcpy(out + n, parts[i].data(), parts[i].size());
    n += parts[i].size();
  }
  return n;
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

int FileHandle::Close() {
  if (fd_ < 0) return 0;
  int r = ::close(fd_);
  fd_ = -1;
  return r == 0 ? 0 : errno;
}

int SysLockRange(int fd, short type, std::int64_t offset, std::int64_t length) {
  return Engine().sysLock(fd, type, offset, length);
}

bool CheckDbfVersion(std::uint8_t v) {
  const TzEngine& e = Engine();
  if ((e.ownVersion1 != 0 && v == e.ownVersion1) || (e.ownVersion2 != 0 && v == e.ownVersion2)) return true;
  switch (v) {
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x83:
    case 0x8B:
    case 0x8C:
    case 0xF5: return true;
    default: return false;
  }
}

std::string DbfMemoExtension(std::uint8_t v) {
  if (!CheckDbfVersion(v) && v != 0x30) v = Engine().newTableVersion;
  return (v == 0xF5 || v == 0x30) ? "FPT" : "DBT";
}

std::string MemoFileName(std::string_view tableName, std::uint8_t version) {
  std::string folder, base, ext;
  FileSplit(tableName, folder, base, ext);
  std::string memoExt = DbfMemoExtension(version);
  const bool lower = std::any_of(ext.begin(), ext.end(), [](char c) { return c >= 'a' && c <= 'z'; }) &&
                     std::none_of(ext.begin(), ext.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  if (lower) memoExt = TzLower(memoExt);
  std::string path = ForceExtension(tableName, memoExt);
  if (!PathExists(path)) path = ResolvePathCaseInsensitive(path);
  return path;
}

bool IsDbase2(std::uint8_t version) { return !OwnVersions() && version == 0x02; }
bool IsDbase7(std::uint8_t version) { return !OwnVersions() && (version == 0x04 || version == 0x8C); }
bool IsDbase2(const DbfTable& t) { return IsDbase2(t.Version()); }
bool IsDbase7(const DbfTable& t) { return IsDbase7(t.Version()); }

DbfHeadFault ReadDbfProlog(int fd, std::int64_t fileSize, DbfHead& h) {
  h = DbfHead{};
  std::uint8_t* const p = h.prolog.data();
  if (ReadAt(fd, p, 32, 0) < 32) return DbfHeadFault::ShortProlog;
  if (!CheckDbfVersion(p[0])) return DbfHeadFault::Version;
  h.dbase2 = IsDbase2(p[0]);
  h.dbase7 = IsDbase7(p[0]);
  char date[16];
  if (h.dbase2) {
    h.count = U16(&p[1]);
    std::snprintf(date, sizeof date, "%04d%02d%02d", 1900 + p[5], p[3] % 100, p[4] % 100);
    h.recordLength = U16(&p[6]);
    h.headerLength = 521;
    h.slotCount = 32;
    h.lastUpdate = date;
    return fileSize < 521 ? DbfHeadFault::ShortDbase2 : DbfHeadFault::NoFault;
  }
  const TzEngine& e = Engine();
  h.hasMemo = e.ownVersion2 != 0 ? p[0] == e.ownVersion2 : (p[0] & 0x80) != 0;
  h.count = I32(&p[4]);
  h.headerLength = U16(&p[8]);
  h.recordLength = U16(&p[10]);
  std::snprintf(date, sizeof date, "%04d%02d%02d", 1900 + p[1], p[2] % 100, p[3] % 100);
  h.lastUpdate = date;
  // The descriptor bytes in 16-bit arithmetic, as dBase counts them.
  const auto descBytes = static_cast<std::uint16_t>(h.headerLength - h.DescriptorStart());
  h.slotCount = descBytes / static_cast<int>(h.SlotSize());
  return DbfHeadFault::NoFault;
}

DbfHeadFault ReadDbfFields(int fd, DbfHead& h) {
  h.fields.clear();
  h.terminated = false;
  h.endMark = -1;
  if (h.slotCount < 1 || h.slotCount > 255) return DbfHeadFault::FieldCount;
  const std::size_t slot = h.SlotSize();
  // dBase II: the 32 slots; else every byte up to the header length.
  const std::size_t bytes =
      h.dbase2 ? 512 : static_cast<std::uint16_t>(h.headerLength - h.DescriptorStart());
  std::vector<std::uint8_t> desc(bytes);
  if (ReadAt(fd, desc.data(), bytes, h.DescriptorStart()) < static_cast<long long>(bytes)) return DbfHeadFault::ShortList;
  std::uint16_t offset = 1;
  int i = 0;
  for (; i < h.slotCount; ++i) {
    const std::uint8_t* d = desc.data() + static_cast<std::size_t>(i) * slot;
    if (d[0] == 0x0D) {
      h.terminated = true;
      break;
    }
    h.fields.push_back(ToField(d, h.dbase2, h.dbase7, offset));
  }
  const std::size_t at = static_cast<std::size_t>(i) * slot;
  if (at < bytes && desc[at] == 0x0D) h.endMark = static_cast<std::int64_t>(h.DescriptorStart() + at);
  return DbfHeadFault::NoFault;
}

bool IsExclusiveMode(std::uint16_t fileMode) { return (fileMode & 0x70) != 0x40; }

std::string ResolveTablePath(std::string_view name, std::string_view extension) {
  std::string path = ExpandPath(DefaultExtension(AllTrim(name), extension));
  if (!PathExists(path)) path = ResolvePathCaseInsensitive(path);
  return path;
}

std::string TableShortName(const DbfTable& t) {
  std::string s = BareFileName(ShortPathName(t.fileName));
  if (s.size() > 12) s.resize(12);
  return s;
}

std::int32_t DbfRecordsInHeader(const DbfTable& t) {
  const std::int32_t whole = DbfRecordsInFile(t);
  if (whole < 0 || t.countFromFileSize || Engine().recordCountRepair) return whole;
  std::uint8_t b[4] = {};
  std::int64_t n = 0;
  if (IsDbase2(t)) {
    if (ReadAt(t.file.get(), b, 2, 1) != 2) return -1;
    n = U16(b);
  } else {
    if (ReadAt(t.file.get(), b, 4, 4) != 4) return -1;
    n = I32(b);
  }
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, 0, whole));
}

std::int32_t DbfRecordsInFile(const DbfTable& t) {
  if (!t.file.valid()) return -1;
  std::int64_t size = FileSizeOf(t.file.get());
  if (size < 0) return -1;
  if (t.recordLength == 0 || size <= t.headerLength) return 0;
  std::int64_t n = (size - t.headerLength) / t.recordLength;
  return static_cast<std::int32_t>(std::min<std::int64_t>(n, INT32_MAX));
}

// --- open

void OpenDbf(DbfTable& t, std::uint16_t fileMode) {
  TzEngine& e = Engine();
  e.currentError = 0;
  t.file.Close();
  t.DropReadAhead();
  t.fields.clear();
  t.fieldSlots.clear();
  t.fieldCount = 0;
  t.stored.clear();
  t.recordCount = t.recordNumber = 0;
  t.eof = t.bof = true;
  t.lockState = kLockNone;
  const std::string name = ResolveTablePath(t.fileName);
  t.fileName = name;
  t.fileMode = fileMode;
  t.exclusive = IsExclusiveMode(fileMode);
  t.headerState = kHeaderClosed;

  const int access = fileMode & 0x0F;
  const bool writable = access != 0;
  // A FIFO or device named as a table is refused, never waited on.
  FileHandle file(OpenRegularNoWait(name.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC));
  if (!file.valid()) {
    TzError(ErrnoToTzCode(errno), "Fehler beim Öffnen von "_ansi + name + " [USE/OpenDbf]");
    return;
  }
  if (e.sharedMode) {
    short type = (t.exclusive && writable) ? F_WRLCK : F_RDLCK;
    int r = SysLockRange(file.get(), type, kShareLockByte, 1);
    if (r != 0) {
      file.Close();
      TzError((r == EAGAIN || r == EACCES) ? 32 : ErrnoToTzCode(r), "Fehler beim Öffnen von "_ansi + name + " [USE/OpenDbf]");
      return;
    }
  }
  const std::string bare = BareFileName(name);

  DbfTable n;  // filled, then moved into t on success
  DbfHead h;
  const std::int64_t fileSize = FileSizeOf(file.get());
  DbfHeadFault fault = ReadDbfProlog(file.get(), fileSize, h);
  if (fault == DbfHeadFault::NoFault) fault = ReadDbfFields(file.get(), h);
  switch (fault) {
    case DbfHeadFault::NoFault: break;
    case DbfHeadFault::ShortProlog:
      file.Close();
      TzError(210, NotDbase(name, "Prolog ist kleiner als 32 Bytes", " [USE/OpenDBF]"));
      return;
    case DbfHeadFault::Version:
      file.Close();
      TzError(210, NotDbase(name, "Versions-Byte ungültig"_ansi, " [USE/OpenDBF]", false));
      return;
    case DbfHeadFault::ShortDbase2:
      file.Close();
      TzError(210, NotDbase(name, "Datenbank-Header ist kleiner als 521 Bytes", " [USE/OpenDBF]", false));
      return;
    case DbfHeadFault::FieldCount:
      file.Close();
      TzError(210, NotDbase(bare, "Zu viele Datenfelder", " [Use/OpenDbf]"));
      return;
    case DbfHeadFault::ShortList:
      file.Close();
      TzError(100, "Fehler beim Lesen von " + name + " [Use/OpenDbf]");
      return;
  }
  n.header = h.prolog;
  n.lastUpdate = h.lastUpdate;
  n.recordLength = h.recordLength;
  n.headerLength = h.headerLength;
  n.hasMemo = h.hasMemo;
  const bool dbase2 = h.dbase2;
  const bool terminated = h.terminated;
  std::int64_t count = h.count;

  // Descriptors up to the terminator: the first of a type the engine
  // does not know stops the open.
  for (FieldDesc& f : h.fields) {
    if (!ValidType(f.type)) {
      file.Close();
      std::string letter = f.type ? std::string(1, f.type) : std::string();
      NoteTableDamage({TableDamageKind::FieldType, 211, {}, f.name, letter, {}});
      TzError(211, "Field: " + f.name + " [" + letter + "] in " + name + " ist kein gültiger Feldtyp"_ansi);
      return;
    }
    n.fields.push_back(std::move(f));
  }
  if (n.fields.empty()) {
    file.Close();
    if (!(dbase2 && !terminated)) NoteTableDamage({TableDamageKind::FieldList, 222, {}, {}, {}, {}});
    TzError(dbase2 && !terminated ? 210 : 222,
            dbase2 && !terminated ? NotDbase(bare, "Zu viele Datenfelder", " [Use/OpenDbf]")
                                  : "Fehler beim Lesen von " + name + " [Use/OpenDbf]");
    return;
  }
  if (dbase2 && !terminated) {
    file.Close();
    TzError(210, NotDbase(bare, "Zu viele Datenfelder", " [Use/OpenDbf]"));
    return;
  }
  n.fieldCount = static_cast<int>(n.fields.size());

  // Every field inside the record; dates 8 long.
  std::uint32_t sum = 1;
  bool badDate = false;
  for (const auto& f : n.fields) {
    sum += f.length;
    if (f.type == 'D' && f.length != 8) badDate = true;
  }
  if (n.recordLength == 0 || n.recordLength < sum || badDate) {
    file.Close();
    TzError(210, NotDbase(name, "Datensatzlänge ungültig"_ansi, " [Use/OpenDbf]"));
    return;
  }

  // Count within the whole records of the file.
  std::int64_t whole = 0;
  if (fileSize > n.headerLength) whole = (fileSize - n.headerLength) / n.recordLength;
  if (count < 0) count = 0;
  if (count > whole) count = whole;
  if (e.recordCountRepair) count = whole;
  count = std::min<std::int64_t>(count, INT32_MAX);

  t.shortName.clear();
  t.header = n.header;
  t.hasMemo = n.hasMemo;
  t.headerLength = n.headerLength;
  t.recordLength = n.recordLength;
  t.fields = std::move(n.fields);
  t.fieldSlots.clear();
  t.fieldCount = n.fieldCount;
  t.lastUpdate = n.lastUpdate;
  t.stored.assign(t.recordLength, ' ');
  t.recordCount = static_cast<std::int32_t>(count);
  t.countFromFileSize = e.recordCountRepair;
  t.headerState = kHeaderOnDisk;
  t.file = std::move(file);
  t.shortName = TableShortName(t);
  t.isVirtual = false;
  if (t.recordCount < 1) {
    t.recordNumber = 0;
    t.eof = t.bof = true;
  } else {
    t.recordNumber = 1;
    t.eof = t.bof = false;
  }
}

// --- records

namespace {

// Records of a walk read one by one before its steps read ahead or whole
// blocks.
constexpr std::int32_t kWalkSingleReads = 8;

std::int32_t RecordsPerBlock(const DbfTable& t) {
  return static_cast<std::int32_t>(std::max<std::size_t>(1, kReadAheadBytes / t.recordLength));
}

// Record n of an exclusive table from a block held, or from the forward
// read-ahead; false when neither holds it.
bool CopyHeldRecord(DbfTable& t, std::int32_t n) {
  const std::size_t len = t.recordLength;
  if (t.readAheadCount > 0 && n >= t.readAheadFirst && n < t.readAheadFirst + t.readAheadCount) {
    std::memcpy(t.stored.data(), t.readAhead.data() + static_cast<std::size_t>(n - t.readAheadFirst) * len, len);
    return true;
  }
  if (t.recordBlocks.empty()) return false;
  const std::int32_t perBlock = RecordsPerBlock(t);
  const auto it = t.recordBlocks.find((n - 1) / perBlock);
  const std::size_t at = static_cast<std::size_t>((n - 1) % perBlock) * len;
  if (it == t.recordBlocks.end() || it->second.size() < at + len) return false;
  std::memcpy(t.stored.data(), it->second.data() + at, len);
  return true;
}

// Reads the block of record n of an exclusive table and copies the record;
// 0 or the error code.
std::uint16_t ReadRecordBlock(DbfTable& t, std::int32_t n) {
  const std::size_t len = t.recordLength;
  const std::int32_t perBlock = RecordsPerBlock(t);
  const std::int32_t block = (n - 1) / perBlock, first = block * perBlock + 1;
  const std::size_t at = static_cast<std::size_t>(n - first) * len;
  if (t.recordBlockBytes >= kRecordBlockBudget) {
    t.recordBlocks.clear();
    t.recordBlockBytes = 0;
  }
  const std::int32_t count = std::min(perBlock, t.recordCount - first + 1);
  std::string data(static_cast<std::size_t>(count) * len, '\0');
  const long long got = ReadAt(t.file.get(), data.data(), data.size(), RecordOffset(t, first));
  if (got < 0) return ErrnoToTzCode(errno);
  data.resize(static_cast<std::size_t>(got) / len * len);
  if (data.size() < at + len) return 213;
  std::memcpy(t.stored.data(), data.data() + at, len);
  t.recordBlockBytes += data.size();
  t.recordBlocks.emplace(block, std::move(data));
  return 0;
}

// Reads the records from n on (whole records, at most 64 KiB) into the
// read-ahead and copies record n; 0 or the error code.
std::uint16_t ReadAheadFrom(DbfTable& t, std::int32_t n) {
  const std::size_t len = t.recordLength;
  std::int64_t k = RecordsPerBlock(t);
  k = std::min<std::int64_t>(k, static_cast<std::int64_t>(t.recordCount) - n + 1);
  t.readAhead.resize(static_cast<std::size_t>(k) * len);
  const long long got = ReadAt(t.file.get(), t.readAhead.data(), t.readAhead.size(), RecordOffset(t, n));
  if (got < 0 || static_cast<std::size_t>(got) < len) {
    const std::uint16_t code = got < 0 ? ErrnoToTzCode(errno) : std::uint16_t{213};
    t.readAhead.clear();
    t.readAheadFirst = t.readAheadCount = 0;
    return code;
  }
  t.readAheadFirst = n;
  t.readAheadCount = static_cast<std::int32_t>(static_cast<std::size_t>(got) / len);
  std::memcpy(t.stored.data(), t.readAhead.data(), len);
  return 0;
}

// Record n alone: one positioned read of its bytes.
std::uint16_t ReadOneRecord(DbfTable& t, std::int32_t n, bool& failed) {
  const long long got = ReadAt(t.file.get(), t.stored.data(), t.recordLength, RecordOffset(t, n));
  if (got < 0) {
    failed = true;
    return ErrnoToTzCode(errno);
  }
  return static_cast<std::size_t>(got) < t.recordLength ? 213 : 0;
}

}  // namespace

void PrefetchRecord(const DbfTable& t, std::int32_t n) {
  const std::size_t len = t.recordLength;
  if (!t.exclusive || t.recordBlocks.empty() || len == 0 || n < 1) return;
  const std::int32_t perBlock = RecordsPerBlock(t);
  const auto it = t.recordBlocks.find((n - 1) / perBlock);
  if (it == t.recordBlocks.end()) return;
  const std::size_t at = static_cast<std::size_t>((n - 1) % perBlock) * len;
  if (at < it->second.size()) __builtin_prefetch(it->second.data() + at);
}

void GetDbfRecord(DbfTable& t, std::int32_t n, RecordRead how) {
  if (n < 1 || n > t.recordCount) {
    TzError(212, "Ungültige Datensatznr. = "_ansi + std::to_string(n) + " (" + t.fileName + ")  [GetDbfRecord]");
    return;
  }
  t.eof = t.bof = false;
  if (t.isVirtual) {
    t.pendingCommand = 3;
    t.pendingRecord = n;
    VirtualFileHooks().Dispatch(t);
    return;
  }
  const std::size_t len = t.recordLength;
  t.stored.resize(len);
  std::uint16_t code = 0;
  bool failed = false;
  if (!t.exclusive || len == 0) {
    // Another program may change any record: each is read as it is now.
    t.DropReadAhead();
    code = ReadOneRecord(t, n, failed);
  } else if (CopyHeldRecord(t, n)) {
  } else if (how == RecordRead::One) {
    // A seek or a GO: the one record, nothing around it.
    code = ReadOneRecord(t, n, failed);
  } else if (t.walkSingleReads < kWalkSingleReads) {
    // The first steps of a walk: a few steps after a seek read no more.
    ++t.walkSingleReads;
    code = ReadOneRecord(t, n, failed);
  } else if (n == t.recordNumber + 1) {
    // Forward scan.
    code = ReadAheadFrom(t, n);
  } else {
    code = ReadRecordBlock(t, n);
    failed = code != 0 && code != 213;
  }
  if (failed) t.eof = true;
  if (code != 0) {
    TzError(code, "Datei:  " + t.fileName + "  [GetDbfRecord]");
    return;
  }
  t.recordNumber = n;
  RecordCodePage(CodePageDirection::AfterRead, t.oemText, t.afterRead, len, len, t.stored.data());
}

void PutDbfRecord(DbfTable& t, std::int32_t n) {
  bool append = false;
  if (n > t.recordCount) {
    n = t.recordCount + 1;
    append = true;
  }
  if (n < 1 || (append && IsDbase2(t) && n > 65535)) {
    TzError(212, "Ungültige Datensatznr. = "_ansi + std::to_string(n) + " (" + t.fileName + ")  [Replace/Append/PutDbfRecord]");
    return;
  }
  if (t.isVirtual) {
    t.pendingCommand = 8;
    t.pendingRecord = n;
    VirtualFileHooks().Dispatch(t);
    return;
  }
  t.DropReadAhead();
  const int fd = t.file.get();
  const std::size_t len = t.recordLength;
  t.stored.resize(len);
  const std::int64_t off = RecordOffset(t, n);
  std::int64_t oldSize = append ? FileSizeOf(fd) : -1;

  RecordCodePage(CodePageDirection::BeforeWrite, t.oemText, t.beforeWrite, len, len, t.stored.data());
  std::string held;
  if (!append) {
    // A record written back as the file holds it changes nothing: neither
    // its bytes nor the header's date of the last change.
    held.assign(len, '\0');
    if (ReadAt(fd, held.data(), len, off) != static_cast<long long>(len)) {
      held.clear();
    } else if (std::memcmp(held.data(), t.stored.data(), len) == 0) {
      RecordCodePage(CodePageDirection::AfterRead, t.oemText, t.afterRead, len, len, t.stored.data());
      return;
    }
  }
  // The header as the file holds it, put back when the new record cannot
  // be counted in it (a shared table's header counts each append at once).
  std::array<std::uint8_t, 32> headBefore{};
  const std::size_t headBytes = IsDbase2(t) ? 8 : 32;
  const bool headRead = append && !t.exclusive && !Engine().flushSwitch &&
                        ReadAt(fd, headBefore.data(), headBytes, 0) == static_cast<long long>(headBytes);
  // Nothing of a failed appended record stays: the file is cut back and
  // the end mark comes back.
  const auto takeBackAppend = [&] {
    if (oldSize >= 0 && ::ftruncate(fd, static_cast<off_t>(std::max(oldSize, off))) == 0 && oldSize == off + 1)
      WriteAt(fd, &kEofByte, 1, off);
  };
  int err = WriteAt(fd, t.stored.data(), len, off);
  RecordCodePage(CodePageDirection::AfterRead, t.oemText, t.afterRead, len, len, t.stored.data());
  if (err != 0) {
    if (append) {
      takeBackAppend();
    } else if (!held.empty()) {
      // The record as it was: a write that stopped part-way leaves no mix
      // of old and new bytes.
      WriteAt(fd, held.data(), len, off);
    }
    TzError(ErrnoToTzCode(err), "Datei:  " + t.fileName + " [Replace/Append/PutDbfRecord]");
    return;
  }
  if (append) {
    const std::int32_t countBefore = t.recordCount;
    const std::uint8_t stateBefore = t.headerState;
    t.recordCount = n;
    t.recordNumber = n;
    t.headerState = kHeaderAppended;
    if (Engine().flushSwitch) {
      CommitDbf(t);
    } else if (!t.exclusive) {
      // Other programs take the count from the header: it counts the new
      // record before the append lock is released.
      bool written = false;
      const std::uint16_t code = WriteHeaderAndEof(t, &written);
      if (code != 0) {
        // Not counted, not appended: the header and the file's end as they were.
        if (headRead) WriteAt(fd, headBefore.data(), headBytes, 0);
        takeBackAppend();
        t.recordCount = countBefore;
        t.headerState = stateBefore;
        TzError(code, "Datei:  " + t.fileName + " [Replace/Append/PutDbfRecord]");
        return;
      }
      if (written) t.headerState = kHeaderOnDisk;
    }
  } else {
    if (t.headerState != kHeaderAppended) t.headerState = kHeaderReplaced;
    if (Engine().flushSwitch) FlushFile(fd);
  }
}

void AppendDbfRecord(DbfTable& t) { PutDbfRecord(t, t.recordCount + 1); }

void WriteDeletedFlag(DbfTable& t, std::int32_t n) {
  if (n < 1 || n > t.recordCount) {
    TzError(212, "Ungültige Datensatznr. = "_ansi + std::to_string(n) + " (" + t.fileName + ")  [DeleteRec/RecallRec]");
    return;
  }
  t.DropReadAhead();
  if (t.stored.empty()) t.stored.assign(std::max<std::size_t>(t.recordLength, 1), ' ');
  int err = WriteAt(t.file.get(), t.stored.data(), 1, RecordOffset(t, n));
  if (err != 0) {
    TzError(ErrnoToTzCode(err), "Datei:  " + t.fileName + " [DeleteRec/RecallRec]");
    return;
  }
  if (t.headerState != kHeaderAppended) t.headerState = kHeaderReplaced;
  if (Engine().flushSwitch) FlushFile(t.file.get());
}

void CommitDbf(DbfTable& t) {
  Engine().currentError = 0;
  if (!t.file.valid() || (t.headerState != kHeaderReplaced && t.headerState != kHeaderAppended)) return;
  std::uint16_t code = WriteHeaderAndEof(t);
  t.headerState = kHeaderOnDisk;
  if (code != 0) {
    TzError(code, "Datei:  " + t.fileName + " [CommitDbf]");
    return;
  }
  FlushFile(t.file.get());
}

void StampHeader(DbfTable& t, std::uint8_t* head, std::int32_t count) {
  int y, m, d;
  t.lastUpdate = TodayYmd(y, m, d);
  if (IsDbase2(t)) {
    std::memcpy(head, t.header.data(), 8);
    head[3] = static_cast<std::uint8_t>(m);
    head[4] = static_cast<std::uint8_t>(d);
    head[5] = static_cast<std::uint8_t>(y - 1900);
    PutU16(&head[1], static_cast<std::uint32_t>(std::clamp(count, 0, 65535)));
    std::memcpy(t.header.data(), head, 8);
  } else {
    head[1] = static_cast<std::uint8_t>(y - 1900);
    head[2] = static_cast<std::uint8_t>(m);
    head[3] = static_cast<std::uint8_t>(d);
    PutU32(&head[4], static_cast<std::uint32_t>(count));
    std::memcpy(t.header.data(), head, 32);
  }
}

// ---------------------------------------------------------------- ReplacementFile

namespace {

// A new empty file beside target under one of the program's temporary
// names: its descriptor and name, or -1 (errno set).
int TemporaryBeside(const std::string& target, std::string& path) {
  path = TemporaryPatternBeside(target);
  return ::mkostemp(path.data(), O_CLOEXEC);
}

int StepFault(FileStep step) {
  std::size_t none = 0;
  const auto& fault = FileFaultSlot();
  return fault ? fault(step, none) : 0;
}

}  // namespace

ReplacementFile::~ReplacementFile() {
  if (!former_.empty()) {
    // The target moved aside goes back when the copy never took its place.
    if (moved_ && !path_.empty())
      ::rename(former_.c_str(), target_.c_str());
    else
      ::unlink(former_.c_str());
  }
  if (path_.empty()) return;
  file_.Close();
  ::unlink(path_.c_str());
}

int ReplacementFile::Open(const std::string& target) {
  // The user's own link stays: the file it points to is replaced.
  name_ = target;
  target_ = ReplaceDestination(target);
  std::string pattern;
  const int fd = TemporaryBeside(target_, pattern);
  if (fd < 0) return Failed(errno);
  file_ = FileHandle(fd);
  path_ = pattern;
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0) {
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) (void)::fchown(fd, st.st_uid, st.st_gid);
    if (::fchmod(fd, st.st_mode & 07777) != 0) return Failed(errno);
  }
  return 0;
}

int ReplacementFile::Failed(int err) {
  TzEngine& e = Engine();
  e.writeErrno = err;
  e.writeFile = name_;
  return err;
}

int ReplacementFile::Sync() {
  if (const int err = StepFault(FileStep::Sync); err != 0) return Failed(err);
  return ::fsync(file_.get()) == 0 ? 0 : Failed(errno);
}

int ReplacementFile::KeepFormer() {
  std::string name;
  const int fd = TemporaryBeside(target_, name);
  if (fd < 0) return Failed(errno);
  ::close(fd);
  // A second link; where the file system has none, the target itself.
  ::unlink(name.c_str());
  int err = StepFault(FileStep::Link);
  if (err == 0 && ::link(target_.c_str(), name.c_str()) == 0) {
    former_ = name;
    moved_ = false;
    return 0;
  }
  err = StepFault(FileStep::Rename);
  if (err == 0 && ::rename(target_.c_str(), name.c_str()) != 0) err = errno;
  if (err != 0) return Failed(err);
  former_ = name;
  moved_ = true;
  return 0;
}

int ReplacementFile::Replace() {
  int err = StepFault(FileStep::Rename);
  if (err == 0 && ::rename(path_.c_str(), target_.c_str()) != 0) err = errno;
  if (err != 0) {
    // A target moved aside goes back at once.
    if (moved_ && ::rename(former_.c_str(), target_.c_str()) == 0) former_.clear();
    return Failed(err);
  }
  path_.clear();
  return 0;
}

int ReplacementFile::RestoreFormer() {
  if (former_.empty() || ::rename(former_.c_str(), target_.c_str()) != 0) return Failed(former_.empty() ? ENOENT : errno);
  former_.clear();
  return 0;
}

void NoteCopyFailure() {
  TzEngine& e = Engine();
  const std::size_t slash = e.writeFile.find_last_of('/') + 1;
  const std::string_view name = std::string_view(e.writeFile).substr(slash);
  if (!IsOwnTemporaryName(name)) return;
  const std::size_t mark = std::string_view(kTemporaryMark).size() + 6;
  e.writeFile = e.writeFile.substr(0, slash) + std::string(name.substr(1, name.size() - 1 - mark));
}

void CloseDbf(DbfTable& t) {
  Engine().currentError = 0;
  if (t.isVirtual) {
    t.pendingCommand = 1;
    VirtualFileHooks().Dispatch(t);
    t.headerState = kHeaderClosed;
    return;
  }
  t.DropReadAhead();
  if (!t.file.valid()) {
    t.headerState = kHeaderClosed;
    return;
  }
  std::uint16_t code = 0;
  if (t.headerState == kHeaderReplaced || t.headerState == kHeaderAppended) code = WriteHeaderAndEof(t);
  int closeErr = t.file.Close();
  if (code == 0 && closeErr != 0) code = ErrnoToTzCode(closeErr);
  t.headerState = kHeaderClosed;
  t.stored.clear();
  t.fields.clear();
  t.fieldSlots.clear();
  t.lockState = kLockNone;
  if (code != 0) TzError(code, "Datei:  " + t.fileName + " [CloseDbf(" + t.fileName + ")]");
}

void FlushFile(int fd) {
  if (::fsync(fd) != 0) {
    // Noted as a refused write of the file, which the failure then names.
    const int err = errno;
    NoteWriteFailure(fd, err);
    TzError(ErrnoToTzCode(err), "Zurückschreiben (Flush) unmöglich für Datei [FlushFile]"_ansi);
  }
}

std::uint16_t DbfSetShareMode(DbfTable& t, bool exclusive) {
  if (!t.file.valid()) return 6;
  t.DropReadAhead();
  const std::uint16_t mode = static_cast<std::uint16_t>((t.fileMode & 0x0F) | (exclusive ? 0x10 : 0x40));
  if (Engine().sharedMode) {
    const bool writable = (t.fileMode & 0x0F) != 0;
    short type = (exclusive && writable) ? F_WRLCK : F_RDLCK;
    int r = SysLockRange(t.file.get(), type, kShareLockByte, 1);
    if (r != 0) return (r == EAGAIN || r == EACCES) ? 32 : ErrnoToTzCode(r);
  }
  t.fileMode = mode;
  return 0;
}

// --- create

void CreateDbf(DbfTable& t, std::string_view fileName, const std::vector<FieldDesc>& defs) {
  TzEngine& e = Engine();
  const std::uint8_t version = OwnVersions() ? 0x8B : e.newTableVersion;
  const bool bigTypes = version == 0x8B || version == 0x8C;
  std::vector<FieldDesc> fields = defs;
  bool hasMemo = false;
  for (auto& f : fields) {
    f.type = CharToUpper(f.type);
    if (f.type == 'B' || f.type == 'G' || f.type == 'M' || f.type == 'P') hasMemo = true;
    if (f.type == 'F' && version == 0x83) f.type = 'N';
  }
  const bool dbase7 = version == 0x8C && !OwnVersions();
  const std::size_t descSize = dbase7 ? 48 : 32;
  e.currentError = 0;
  t.fieldCount = static_cast<int>(fields.size());
  t.hasMemo = hasMemo;

  std::uint16_t code = 0;
  if (fields.empty() || fields.size() > 255) code = 211;
  const std::size_t headerLength = fields.size() * descSize + 33 + (dbase7 ? 36 : 0);
  std::vector<std::uint8_t> hdr(std::max<std::size_t>(headerLength, 32), 0);
  std::uint32_t recordLength = 1;
  if (code == 0) {
    hdr[headerLength - 1] = 0x0D;
    PutU16(&hdr[8], static_cast<std::uint32_t>(headerLength));
    if (dbase7) std::memcpy(&hdr[32], "DBWINWE0", 8);
    std::size_t at = dbase7 ? 68 : 32;
    for (auto& f : fields) {
      std::string nm = TzUpper(AllTrim(f.name));
      if (nm.size() > 10) nm.resize(10);
      if (nm.empty()) { code = 211; break; }
      const char type = f.type;
      bool allowed = std::strchr("CDFLMN", type) || (bigTypes && std::strchr("BGP", type));
      if (type == 0 || !allowed) { code = 211; break; }
      std::uint8_t length;
      if (type == 'C' || type == 'F' || type == 'N') {
        if (f.length == 0) { code = 211; break; }
        length = f.length;
      } else if (type == 'D') {
        length = 8;
      } else if (type == 'L') {
        length = 1;
      } else {
        length = 10;
      }
      const std::uint8_t decimals = (type == 'N' || type == 'F') ? f.decimals : 0;
      std::uint8_t* d = &hdr[at];
      std::memcpy(d, nm.data(), nm.size());
      d[dbase7 ? 32 : 11] = static_cast<std::uint8_t>(type);
      d[dbase7 ? 33 : 16] = length;
      d[dbase7 ? 34 : 17] = decimals;
      recordLength += length;
      at += descSize;
    }
  }
  if (code == 0) {
    std::uint8_t v;
    if (e.ownVersion1 != 0) v = hasMemo ? e.ownVersion2 : e.ownVersion1;
    else v = hasMemo ? version : (dbase7 ? 0x04 : 0x03);
    hdr[0] = v;
    PutU16(&hdr[10], recordLength);
  }
  if (code != 0) {
    TzError(211, "Felddefinition ungültig [CreateDBF]"_ansi);
    return;
  }
  const std::string name = AllTrim(DefaultExtension(fileName, "DBF"));
  t.fileName = name;
  int y, m, d;
  t.lastUpdate = TodayYmd(y, m, d);
  hdr[1] = static_cast<std::uint8_t>(y - 1900);
  hdr[2] = static_cast<std::uint8_t>(m);
  hdr[3] = static_cast<std::uint8_t>(d);
  std::memcpy(t.header.data(), hdr.data(), 32);
  hdr.push_back(static_cast<std::uint8_t>(kEofByte));

  // A table with memos appears with its memo file or not at all: the memo
  // file first (a former one kept aside under a second name), the table
  // after it; a table that cannot be written takes the memo file back.
  std::string memo, former;
  if (hasMemo) {
    memo = MemoFileName(name, version);
    struct stat st {};
    if (::lstat(memo.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      const int fd = TemporaryBeside(memo, former);
      if (fd >= 0) ::close(fd), ::unlink(former.c_str());
      if (fd < 0 || ::link(memo.c_str(), former.c_str()) != 0) {
        const int why = errno;
        NoteWriteFailureOf(memo, why);
        TzError(ErrnoToTzCode(why), "Cannot create memo file " + memo + " [CreateDbf()]");
        return;
      }
    }
    NewMemoFile(name, version, e.memoBlockSize, "CreateDbf()");
    if (e.currentError != 0) {
      if (!former.empty()) ::unlink(former.c_str());
      return;
    }
  }
  const int err = WriteWholeFile(name, std::string_view(reinterpret_cast<const char*>(hdr.data()), hdr.size()));
  if (hasMemo && (err != 0 || !former.empty()))
    (void)(err != 0 ? (former.empty() ? ::unlink(memo.c_str()) : ::rename(former.c_str(), memo.c_str()))
                    : ::unlink(former.c_str()));
  if (err != 0) {
    TzError(ErrnoToTzCode(err), "Fehler beim Schreiben von " + name + ". [CreateDbf]");
    return;
  }
  t.headerLength = static_cast<std::uint16_t>(headerLength);
  t.recordLength = static_cast<std::uint16_t>(recordLength);
  t.recordCount = 0;
  t.headerState = kHeaderClosed;
}

void NewMemoFile(std::string_view fileName, std::uint8_t memoType, std::uint16_t blockSize,
                 std::string_view routineName) {
  if (blockSize == 0) blockSize = 512;
  const std::string name = MemoFileName(fileName, memoType);
  std::vector<std::uint8_t> bytes;
  if (memoType == 0x83) {
    bytes.assign(513, 0);
    bytes[0] = 0x01;
    bytes[512] = 0x1A;
  } else if (memoType == 0xF5) {
    bytes.assign(512, 0);
    std::uint32_t next = 511u / blockSize + 1u;
    bytes[0] = static_cast<std::uint8_t>(next >> 24);
    bytes[1] = static_cast<std::uint8_t>(next >> 16);
    bytes[2] = static_cast<std::uint8_t>(next >> 8);
    bytes[3] = static_cast<std::uint8_t>(next);
    bytes[6] = static_cast<std::uint8_t>(blockSize >> 8);
    bytes[7] = static_cast<std::uint8_t>(blockSize);
  } else {
    bytes.assign(24, 0);
    PutU32(&bytes[0], 1);
    std::string base = BaseFileName(name);
    if (base.size() > 8) base.resize(8);
    std::memcpy(&bytes[8], base.data(), base.size());
    PutU16(&bytes[18], 258);
    PutU16(&bytes[20], blockSize);
  }
  const int err = WriteWholeFile(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (err != 0) {
    TzError(ErrnoToTzCode(err), "Cannot create memo file " + name + " [" + std::string(routineName) + "]");
  }
}

// --- record buffer

BufferKind FieldBufferKind(const FieldDesc& f) {
  switch (f.type) {
    case 'C': return BufferKind::Text;
    case 'D': return BufferKind::Date;
    case 'N':
    case 'F':
      if (f.length >= 10) return f.decimals == 0 ? BufferKind::Int64 : BufferKind::Double;
      return f.decimals == 0 ? BufferKind::Int32 : BufferKind::Real48;
    case 'L': return BufferKind::Logical;
    case 'M': return BufferKind::MemoRef;
    default: return BufferKind::None;
  }
}

namespace {

std::size_t BufferSizeOf(BufferKind kind, std::uint8_t length) {
  switch (kind) {
    case BufferKind::Text: return std::size_t{length} + 1;
    case BufferKind::Date: return std::size_t{length} + 3;
    case BufferKind::Int32: return 4;
    case BufferKind::Real48: return 6;
    case BufferKind::Int64:
    case BufferKind::Double: return 8;
    case BufferKind::Logical: return 1;
    case BufferKind::MemoRef: return 4;
    case BufferKind::None: return 0;
  }
  return 0;
}

}  // namespace

std::size_t FieldBufferSize(const FieldDesc& f) { return BufferSizeOf(FieldBufferKind(f), f.length); }

std::size_t RecordBufferSize(const DbfTable& t) {
  std::size_t n = 1;
  for (const auto& f : t.fields) n += FieldBufferSize(f);
  return n;
}

const std::vector<FieldSlot>& FieldSlots(const DbfTable& t) {
  if (t.fieldSlots.size() == t.fields.size()) return t.fieldSlots;
  t.fieldSlots.clear();
  t.fieldSlots.reserve(t.fields.size());
  std::size_t at = 1;
  for (const auto& f : t.fields) {
    FieldSlot s;
    s.kind = FieldBufferKind(f);
    s.storedOffset = f.offset;
    s.length = f.length;
    s.decimals = f.decimals;
    s.bufferOffset = at;
    at += BufferSizeOf(s.kind, f.length);
    t.fieldSlots.push_back(s);
  }
  return t.fieldSlots;
}

std::size_t FieldBufferOffset(const DbfTable& t, int i) {
  if (i <= 0) return 0;
  const std::vector<FieldSlot>& slots = FieldSlots(t);
  if (slots.empty()) return 1;
  if (static_cast<std::size_t>(i) <= slots.size()) return slots[static_cast<std::size_t>(i - 1)].bufferOffset;
  const FieldSlot& last = slots.back();
  return last.bufferOffset + BufferSizeOf(last.kind, last.length);
}

std::string ReadShortString(const std::uint8_t* p, std::size_t capacity) {
  return std::string(ReadShortView(p, capacity));
}

void WriteShortString(std::uint8_t* p, std::size_t capacity, std::string_view s) {
  std::size_t n = std::min<std::size_t>({s.size(), capacity, 255});
  p[0] = static_cast<std::uint8_t>(n);
  std::memcpy(p + 1, s.data(), n);
  if (capacity > n) std::memset(p + 1 + n, 0, capacity - n);
}

std::string StoredInteger(std::int64_t value, int width) {
  std::string s(static_cast<std::size_t>(std::max(width, 0)), '*');
  if (width > 0) PutStoredInteger(s.data(), s.size(), value);
  return s;
}

std::string StoredNumber(long double value, int width, int decimals) {
  std::string s(static_cast<std::size_t>(std::max(width, 0)), '*');
  if (width > 0) PutStoredNumber(s.data(), s.size(), value, decimals);
  return s;
}

namespace {

// A stored integer of the common form: blanks, an optional minus sign,
// at most 18 digits, nothing after them. False for any other text.
bool PlainInteger(std::string_view s, std::int64_t& v) {
  const char* p = s.data();
  const char* e = p + s.size();
  while (p < e && *p == ' ') ++p;
  if (p == e) {
    v = 0;
    return true;
  }
  const bool negative = *p == '-';
  if (negative) ++p;
  const char* first = p;
  std::int64_t x = 0;
  for (; p < e && static_cast<unsigned char>(*p - '0') < 10; ++p) {
    if (p - first == 18) return false;  // a 19th digit could overflow
    x = x * 10 + (*p - '0');
  }
  if (p != e || p == first) return false;
  v = negative ? -x : x;
  return true;
}

std::int64_t StoredInt(std::string_view text, std::int64_t lo, std::int64_t hi) {
  std::int64_t v = 0;
  if (PlainInteger(text, v)) return std::clamp(v, lo, hi);
  return StoredToInt(text, lo, hi);
}

}  // namespace

// Both conversions work on the bytes in place: they run for every record
// read or written.
namespace {

void UnpackSlot(const FieldSlot& f, std::string_view all, std::uint8_t* buffer) {
  {
    std::string_view text;
    if (f.storedOffset < all.size()) text = all.substr(f.storedOffset, f.length);
    std::uint8_t* p = buffer + f.bufferOffset;
    switch (f.kind) {
      case BufferKind::Text:
        // The whole field, filled with blanks.
        p[0] = f.length;
        PutLeftAligned(reinterpret_cast<char*>(p + 1), f.length, text);
        break;
      case BufferKind::Date: {
        char date[10];
        WriteShortString(p, std::size_t{f.length} + 2, std::string_view(date, UnpackDateTo(text, date)));
        break;
      }
      case BufferKind::Int32:
      case BufferKind::MemoRef: {
        std::int32_t v = static_cast<std::int32_t>(StoredInt(text, INT32_MIN, INT32_MAX));
        std::memcpy(p, &v, 4);
        break;
      }
      case BufferKind::Int64: {
        std::int64_t v = StoredInt(text, INT64_MIN, INT64_MAX);
        std::memcpy(p, &v, 8);
        break;
      }
      case BufferKind::Real48: {
        Real48 r{};
        if (!RealToReal48(StoredToReal(text), r)) r = Real48{};
        std::memcpy(p, r.data(), 6);
        break;
      }
      case BufferKind::Double: {
        double v = StoredToReal(text);
        std::memcpy(p, &v, 8);
        break;
      }
      case BufferKind::Logical: {
        char c = text.empty() ? ' ' : text[0];
        p[0] = (c == 'T' || c == 'Y' || c == 't' || c == 'y') ? 1 : 0;
        break;
      }
      case BufferKind::None: break;
    }
  }
}

}  // namespace

void UnpackRecordData(const DbfTable& t, std::uint8_t* buffer) {
  const std::string& s = t.stored;
  buffer[0] = (!s.empty() && s[0] == '*') ? 1 : 0;
  for (const FieldSlot& f : FieldSlots(t)) UnpackSlot(f, s, buffer);
}

void UnpackField(const DbfTable& t, std::uint8_t* buffer, int field) {
  const std::vector<FieldSlot>& slots = FieldSlots(t);
  if (field < 1 || static_cast<std::size_t>(field) > slots.size()) return;
  UnpackSlot(slots[static_cast<std::size_t>(field - 1)], t.stored, buffer);
}

namespace {

// The stored text of a field's value in the record buffer (f.length bytes).
void PackSlot(const FieldSlot& f, const std::uint8_t* p, char* field, std::string& date) {
  const std::size_t width = f.length;
  switch (f.kind) {
    case BufferKind::Text: PutLeftAligned(field, width, ReadShortView(p, f.length)); break;
    case BufferKind::Date: {
      const std::string_view text = ReadShortView(p, std::size_t{f.length} + 2);
      if (!PackFullDate(text, date)) date = PackDate(text);
      PutLeftAligned(field, width, date);
      break;
    }
    case BufferKind::Int32: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      if (width > 0) PutStoredInteger(field, width, v);
      break;
    }
    case BufferKind::Int64: {
      std::int64_t v;
      std::memcpy(&v, p, 8);
      if (width > 0) PutStoredInteger(field, width, v);
      break;
    }
    case BufferKind::Real48: {
      Real48 r;
      std::memcpy(r.data(), p, 6);
      if (width > 0) PutStoredNumber(field, width, Real48ToReal(r), f.decimals);
      break;
    }
    case BufferKind::Double: {
      double v;
      std::memcpy(&v, p, 8);
      if (width > 0) PutStoredNumber(field, width, v, f.decimals);
      break;
    }
    case BufferKind::Logical: PutLeftAligned(field, width, p[0] ? "T" : "F"); break;
    case BufferKind::MemoRef: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      if (v == 0)
        std::memset(field, ' ', width);
      else if (width > 0)
        PutStoredInteger(field, width, v);
      break;
    }
    case BufferKind::None: break;
  }
}

// Whether the stored text of a field reads as the value whose text is
// packed: unpacked and packed again it gives the same bytes.
bool SameValue(const FieldSlot& f, std::string_view base, const char* packed, std::string& date) {
  const std::string_view old = base.substr(f.storedOffset, f.length);
  if (old.size() != f.length) return false;
  if (std::memcmp(old.data(), packed, f.length) == 0) return true;
  FieldSlot at = f;
  at.bufferOffset = 0;
  std::uint8_t value[264] = {};
  UnpackSlot(at, base, value);
  char again[256];
  PackSlot(at, value, again, date);
  return std::memcmp(again, packed, f.length) == 0;
}

}  // namespace

void PackRecordData(DbfTable& t, const std::uint8_t* buffer, std::string_view base, const std::vector<bool>& set,
                    std::string_view begin, const std::function<bool(int, std::string_view, std::string_view)>& overwrite) {
  // Built aside: the question of overwrite may let a view read records
  // (which reuses the table's record text) before it is done.
  std::string s = t.stored;
  s.resize(t.recordLength, ' ');
  if (s.empty()) {
    t.stored.clear();
    return;
  }
  const bool keep = base.size() == s.size();
  const bool merge = keep && begin.size() == s.size();
  s[0] = buffer[0] ? '*' : ' ';
  // A deletion mark the edit left as it was stays as the file has it.
  if (merge && (s[0] == '*') == (begin[0] == '*')) s[0] = base[0];
  std::string date;
  std::size_t i = 0;
  for (const FieldSlot& f : FieldSlots(t)) {
    const bool given = i < set.size() && set[i];
    ++i;
    if (f.kind == BufferKind::None || f.storedOffset >= s.size()) continue;
    // The field's text is f.length bytes; the record may hold fewer.
    char field[256];
    PackSlot(f, buffer + f.bufferOffset, field, date);
    const std::size_t n = std::min<std::size_t>(f.length, s.size() - f.storedOffset);
    if (merge) {
      // Only what this edit changed is written over the record as it is now.
      bool write = given || !SameValue(f, begin, field, date);
      if (write && base.compare(f.storedOffset, n, begin.substr(f.storedOffset, n)) != 0 &&
          !SameValue(f, base, field, date))
        write = overwrite && overwrite(static_cast<int>(i) - 1, base.substr(f.storedOffset, n), std::string_view(field, n));
      std::memcpy(s.data() + f.storedOffset, write ? field : base.data() + f.storedOffset, n);
      continue;
    }
    // A value that did not change keeps its bytes (a blank number, "?").
    if (keep && !given && SameValue(f, base, field, date))
      std::memcpy(s.data() + f.storedOffset, base.data() + f.storedOffset, n);
    else
      std::memcpy(s.data() + f.storedOffset, field, n);
  }
  t.stored = std::move(s);
}

void RecordCodePage(CodePageDirection dir, bool oemText, const RecordProc& proc, std::size_t byteCount,
                    std::size_t recordLength, char* buffer) {
  if ((!oemText && !proc) || recordLength < 1) return;
  const std::size_t records = byteCount / recordLength;
  const CodePageMaps& maps = Maps();
  for (std::size_t r = 0; r < records; ++r) {
    char* bytes = buffer + r * recordLength + 1;
    const std::size_t n = recordLength - 1;
    if (dir == CodePageDirection::AfterRead) {
      if (proc) proc(bytes, n);
      if (oemText) MapBytes(maps, maps.toAnsi, bytes, n);
    } else {
      if (oemText) MapBytes(maps, maps.toOem, bytes, n);
      if (proc) proc(bytes, n);
    }
  }
}

}  // namespace zeb::xbase
