#include "xbase/core/text_utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/real48.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"

namespace zeb::xbase {

namespace {

bool IsBlankCode(char c) { return static_cast<unsigned char>(c) <= 32; }

struct CaseTables {
  std::array<unsigned char, 256> upper{}, lower{};
  std::array<bool, 256> alpha{};
  CaseTables() {
    for (int b = 0; b < 256; ++b) {
      upper[b] = lower[b] = static_cast<unsigned char>(b);
      alpha[b] = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    }
    for (int b = 'a'; b <= 'z'; ++b) {
      upper[b] = static_cast<unsigned char>(b - 32);
      lower[b - 32] = static_cast<unsigned char>(b);
    }
    // Windows-1252 letters beyond ASCII.
    for (int b = 0xE0; b <= 0xFE; ++b) {
      if (b == 0xF7) continue;
      upper[b] = static_cast<unsigned char>(b - 32);
      lower[b - 32] = static_cast<unsigned char>(b);
    }
    const std::pair<int, int> pairs[] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (auto [lo, up] : pairs) {
      upper[lo] = static_cast<unsigned char>(up);
      lower[up] = static_cast<unsigned char>(lo);
    }
    for (int b : {0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F, 0xAA, 0xB5, 0xBA, 0xDF, 0xFF}) alpha[b] = true;
    for (int b = 0xC0; b <= 0xFE; ++b)
      if (b != 0xD7 && b != 0xF7) alpha[b] = true;
  }
};

const CaseTables& Cases() {
  static const CaseTables t;
  return t;
}

std::string FolderOf(std::string_view path) {
  auto p = path.rfind('/');
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string_view LastComponent(std::string_view path) {
  auto p = path.rfind('/');
  return p == std::string_view::npos ? path : path.substr(p + 1);
}

std::uint32_t PackDosTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  int year = tm.tm_year + 1900 - 1980;
  if (year < 0) return 0;
  if (year > 127) year = 127;
  std::uint32_t date = static_cast<std::uint32_t>((year << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  std::uint32_t time = static_cast<std::uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return (date << 16) | time;
}

}  // namespace

// --- texts

std::string TzTrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsBlankCode(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

std::string TzTrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlankCode(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string AllTrim(std::string_view s) { return TzTrimLeft(TzTrimRight(s)); }

std::string TzUpper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(Cases().upper[static_cast<unsigned char>(c)]);
  return r;
}

std::string TzLower(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(Cases().lower[static_cast<unsigned char>(c)]);
  return r;
}

char CharToUpper(char c) { return static_cast<char>(Cases().upper[static_cast<unsigned char>(c)]); }
char CharToLower(char c) { return static_cast<char>(Cases().lower[static_cast<unsigned char>(c)]); }
bool IsCharAlpha1252(char c) { return Cases().alpha[static_cast<unsigned char>(c)]; }
bool IsAlphaText(std::string_view s) { return !s.empty() && IsCharAlpha1252(s[0]); }

int Occurs(std::string_view sub, std::string_view text) {
  if (sub.empty() || text.empty()) return 0;
  int n = 0;
  for (std::size_t p = text.find(sub); p != std::string_view::npos; p = text.find(sub, p + sub.size())) ++n;
  return n;
}

int AtNth(int n, std::string_view sub, std::string_view text) {
  if (n == 0 || sub.empty() || text.empty()) return 0;
  if (n > 0) {
    std::size_t from = 0;
    for (int k = 1;; ++k) {
      std::size_t p = text.find(sub, from);
      if (p == std::string_view::npos) return 0;
      if (k == n) return static_cast<int>(p) + 1;
      from = p + 1;
    }
  }
  std::size_t from = std::string_view::npos;
  for (int k = -1;; --k) {
    std::size_t p = text.rfind(sub, from);
    if (p == std::string_view::npos) return 0;
    if (k == n) return static_cast<int>(p) + 1;
    if (p == 0) return 0;
    from = p - 1;
  }
}

std::string Replicate(char c, int count) { return count < 1 ? std::string() : std::string(static_cast<std::size_t>(count), c); }

std::string PadRightTo(std::string_view s, int width) {
  std::string r(s);
  if (width >= 1 && r.size() < static_cast<std::size_t>(width)) r.append(static_cast<std::size_t>(width) - r.size(), ' ');
  return r;
}

std::string IIfText(bool condition, std::string_view a, std::string_view b) {
  return std::string(condition ? a : b);
}

int ContainsTextAt(std::string_view a, std::string_view b) {
  if (a.empty()) return 0;
  auto p = TzUpper(b).find(TzUpper(a));
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

bool RemoveKeyword(std::string_view keyword, std::string& text) {
  bool removed = false;
  const std::string key = TzUpper(keyword);
  if (!key.empty()) {
    std::string upper = TzUpper(text);
    std::size_t from = 0;
    for (;;) {
      std::size_t p = upper.find(key, from);
      if (p == std::string::npos) break;
      std::size_t after = p + key.size();
      char next = after < upper.size() ? upper[after] : '\0';
      bool joined = after < upper.size() &&
                    ((next >= '0' && next <= '9') || next == '\\' || next == '_' || IsCharAlpha1252(next));
      if (joined) {
        from = p + 1;
        continue;
      }
      upper.erase(p, key.size());
      text.erase(p, key.size());
      removed = true;
      from = p;
    }
  }
  text = AllTrim(text);
  return removed;
}

std::string StrAnsiToOem(std::string_view s) { return Cp1252To850(s); }
std::string StrOemToAnsi(std::string_view s) { return Cp850To1252(s); }

// --- numbers

void CleanNumberText(std::string& s) {
  const char dec = Engine().decimalChar;
  s.erase(std::remove(s.begin(), s.end(), '$'), s.end());
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '+')) ++i;
  s.erase(0, i);
  if (!s.empty() && s[0] == '-') {
    std::size_t j = 1;
    while (j < s.size() && (s[j] == ' ' || s[j] == '+' || s[j] == '-')) ++j;
    s.erase(0, j);
    if (s.empty()) return;
    if (s[0] == dec) s.insert(0, "0");
    s.insert(0, "-");
  }
  if (dec != '.') {
    s.erase(std::remove(s.begin(), s.end(), '.'), s.end());
    auto p = s.find(dec);
    if (p != std::string::npos) s[p] = '.';
  } else {
    s.erase(std::remove(s.begin(), s.end(), ','), s.end());
  }
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  auto blank = s.find(' ');
  if (blank != std::string::npos) s.resize(blank);
  for (std::size_t k = 0; k < s.size(); ++k) {
    char c = s[k];
    if ((c >= '0' && c <= '9') || c == '.' || (c == '-' && k == 0)) continue;
    s.resize(k);
    break;
  }
  if (!s.empty() && s.back() == '.') s.pop_back();
}

long double TextToReal(std::string_view text) {
  std::string s(text);
  CleanNumberText(s);
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || !std::isfinite(v)) return 0;
  Real48 r48;
  if (!RealToReal48(v, r48)) return 0;
  return Real48ToReal(r48);
}

std::int32_t TextToInt(std::string_view text) {
  std::string s(text);
  CleanNumberText(s);
  auto p = s.find('.');
  if (p != std::string::npos) s.resize(p);
  std::int64_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec == std::errc::result_out_of_range) return s[0] == '-' ? INT32_MIN : INT32_MAX;
  if (r.ec != std::errc()) return 0;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool ReadNumberText(std::string_view s, double& value) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  // One sign at most: "+-1" is no number.
  const bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  if (s.empty() || s.front() == '+' || (plus && s.front() == '-') || s.size() > 400) return false;
  std::string t(s);
  for (char& c : t)
    if (c == ',') c = '.';
  for (const char c : t)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
  double x = 0;
  const char* b = t.data();
  const char* e = b + t.size();
  if (!PlainDecimal(b, e, x)) {
    auto r = std::from_chars(b, e, x, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != e) return false;
  }
  if (!std::isfinite(x)) return false;
  value = x;
  return true;
}

std::string ShortNumberText(double value) {
  if (!std::isfinite(value)) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

std::int16_t TextToSmallInt(std::string_view text) {
  std::string s = TzTrimLeft(text);
  while (!s.empty() && s[0] == ' ') s.erase(0, 1);
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  char drop = Engine().decimalChar != '.' ? '.' : ',';
  s.erase(std::remove(s.begin(), s.end(), drop), s.end());
  auto dollar = s.find('$');
  if (dollar != std::string::npos) s.erase(dollar, 1);
  auto blank = s.find(' ');
  if (blank != std::string::npos) s.resize(blank);
  for (std::size_t k = 0; k < s.size(); ++k) {
    if ((s[k] >= '0' && s[k] <= '9') || s[k] == '-') continue;
    s.resize(k);
    break;
  }
  if (s.empty()) return 0;
  std::int64_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec == std::errc::result_out_of_range) return s[0] == '-' ? INT16_MIN : INT16_MAX;
  if (r.ec != std::errc()) return 0;
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, INT16_MIN, INT16_MAX));
}

std::string RealToText(long double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  std::string s;
  if (!std::isfinite(value)) {
    s = std::string(static_cast<std::size_t>(std::max(width, 1)), '*');
    return s;
  }
  char buf[128];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return std::string(static_cast<std::size_t>(std::max(width, 1)), '*');
  s.assign(buf, r.ptr);
  if (decimals > 0 && Engine().decimalChar != '.') {
    auto p = s.find('.');
    if (p != std::string::npos) s[p] = Engine().decimalChar;
  }
  if (width > 0 && s.size() < static_cast<std::size_t>(width)) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

std::string IntToText(std::int64_t value, int width) {
  std::string s = std::to_string(value);
  if (width > 0 && s.size() < static_cast<std::size_t>(width)) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

// --- file names

void FileSplit(std::string_view path, std::string& folder, std::string& name, std::string& extension) {
  folder = FolderOf(path);
  std::string_view last = LastComponent(path);
  auto dot = last.rfind('.');
  if (dot == std::string_view::npos) {
    name = std::string(last);
    extension.clear();
  } else {
    name = std::string(last.substr(0, dot));
    extension = std::string(last.substr(dot));
  }
}

std::string DefaultExtension(std::string_view name, std::string_view extension) {
  std::string folder, base, ext;
  FileSplit(name, folder, base, ext);
  if (!ext.empty()) return std::string(name);
  return folder + TzTrimRight(base) + "." + std::string(extension);
}

std::string ForceExtension(std::string_view name, std::string_view extension) {
  std::string folder, base, ext;
  FileSplit(name, folder, base, ext);
  return folder + base + "." + std::string(extension);
}

std::string FullPathName(std::string_view name) {
  std::string folder, base, ext;
  FileSplit(name, folder, base, ext);
  return folder + base;
}

std::string ExpandPath(std::string_view name) {
  if (name.empty()) return {};
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(std::string(name)), ec);
  if (ec) return std::string(name);
  std::string r = p.lexically_normal().string();
  if (r.size() > 1 && r.back() == '/' && name.back() != '/') r.pop_back();
  return r;
}

std::string BareFileName(std::string_view name) { return std::string(LastComponent(name)); }

std::string BaseFileName(std::string_view name) {
  std::string folder, base, ext;
  FileSplit(name, folder, base, ext);
  return base;
}

std::string ShortPathName(std::string_view path) { return std::string(path); }

// --- files

bool FileExistsTz(std::string_view name) {
  struct stat st {};
  return !name.empty() && ::stat(std::string(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::uint32_t FileDateOf(std::string_view name) {
  struct stat st {};
  if (name.empty() || ::stat(std::string(name).c_str(), &st) != 0) {
    Engine().lastFindResult = name.empty() ? 2 : ErrnoToTzCode(errno);
    return 0;
  }
  Engine().lastFindResult = 0;
  return PackDosTime(st.st_mtime);
}

bool FileChangedToday(std::string_view name) {
  if (!FileExistsTz(name)) return false;
  int fd = ::open(std::string(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  std::uint32_t packed = FileDateOf(name);
  if (packed == 0) return false;
  FileTimeParts p = UnpackFileTime(packed);
  // The file's day against the system clock's, not the stamp's.
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return p.year == tm.tm_year + 1900 && p.month == tm.tm_mon + 1 && p.day == tm.tm_mday;
}

std::uint16_t DeleteFileChecked(std::string_view name) {
  const std::string path(name);
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  bool writable = fd >= 0;
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoToTzCode(errno);
  // Nobody may have the file open as a table.
  int r = SysLockRange(fd, writable ? F_WRLCK : F_RDLCK, kShareLockByte, 1);
  ::close(fd);
  if (r == EAGAIN || r == EACCES) return 32;
  if (::unlink(path.c_str()) != 0) return ErrnoToTzCode(errno);
  return 0;
}

void DeleteByMask(std::string_view mask) {
  TzEngine& e = Engine();
  e.undeletableFiles.clear();
  e.currentError = 0;
  if (mask.find_first_of("*?") == std::string_view::npos) {
    std::uint16_t r = DeleteFileChecked(mask);
    if (r != 0) TzError(r, "Fehler beim Löschen von "_ansi + std::string(mask));
    return;
  }
  std::string full = ExpandPath(mask);
  TzSearchRec rec;
  int failed = 0;
  std::vector<std::string> failures;
  for (int r = TzFindFirst(full, 32, rec); r == 0; r = TzFindNext(rec)) {
    if (DeleteFileChecked(rec.folder + rec.name) != 0) {
      ++failed;
      failures.push_back(rec.name);
    }
  }
  TzFindClose(rec);
  Engine().undeletableFiles = std::move(failures);
  if (failed > 0) TzError(5, std::to_string(failed) + " Datei(en) mit Namen wie " + std::string(mask));
}

std::int64_t DiskFreeKB(std::string_view path) {
  std::string p = AllTrim(path);
  if (p.empty()) p = ".";
  struct statvfs vfs {};
  if (::statvfs(p.c_str(), &vfs) != 0) return 2147483647;
  return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize) / 1024;
}

std::int64_t DriveFreeKB(int drive) {
  (void)drive;  // one tree: every drive number is the current folder's
  return DiskFreeKB(".");
}

std::string UniqueFilename() {
  auto name = MakeUniqueFile(ScratchDirectory(), "TZP");
  if (!name) {
    TzError(ErrnoToTzCode(errno), "Fehler beim Anfordern des Dateinamens [UniqueFilename]");
    return {};
  }
  return *name;
}

namespace {
int FillNext(TzSearchRec& rec) {
  while (!rec.pending.empty()) {
    std::string name = std::move(rec.pending.back());
    rec.pending.pop_back();
    struct stat st {};
    if (::lstat((rec.folder + name).c_str(), &st) != 0) continue;
    bool dir = S_ISDIR(st.st_mode);
    if (dir && !(rec.wanted & 16)) continue;
    if (!dir && !S_ISREG(st.st_mode)) continue;
    rec.name = name;
    rec.size = st.st_size;
    rec.time = PackDosTime(st.st_mtime);
    rec.attr = dir ? 16 : 32;
    Engine().lastFindResult = 0;
    return 0;
  }
  Engine().lastFindResult = 18;
  return 18;
}
}  // namespace

int TzFindFirst(std::string_view mask, std::uint8_t attributes, TzSearchRec& rec) {
  rec = TzSearchRec{};
  rec.folder = FolderOf(mask);
  rec.pattern = std::string(LastComponent(mask));
  rec.wanted = attributes;
  DIR* d = ::opendir(rec.folder.empty() ? "." : rec.folder.c_str());
  if (!d) {
    Engine().lastFindResult = ErrnoToTzCode(errno);
    return Engine().lastFindResult;
  }
  while (dirent* ent = ::readdir(d)) {
    std::string n = ent->d_name;
    if (n == "." || n == "..") continue;
    if (::fnmatch(rec.pattern.c_str(), n.c_str(), FNM_CASEFOLD) == 0) rec.pending.push_back(n);
  }
  ::closedir(d);
  std::sort(rec.pending.rbegin(), rec.pending.rend());
  return FillNext(rec);
}

int TzFindNext(TzSearchRec& rec) { return FillNext(rec); }

void TzFindClose(TzSearchRec& rec) { rec.pending.clear(); }

// --- machine

std::uint16_t GetWindowsVersion() {
  utsname u{};
  if (::uname(&u) != 0) return 7;
  unsigned major = 0, minor = 0;
  const char* p = u.release;
  auto r = std::from_chars(p, p + std::char_traits<char>::length(p), major);
  if (r.ec != std::errc()) return 7;
  if (*r.ptr == '.') std::from_chars(r.ptr + 1, p + std::char_traits<char>::length(p), minor);
  return static_cast<std::uint16_t>((major & 0xFF) | ((minor & 0xFF) << 8));
}

std::int64_t MemoryInfo(int mode) {
  struct sysinfo si {};
  if (::sysinfo(&si) != 0) return 0;
  std::int64_t bytes = static_cast<std::int64_t>(si.totalram) * static_cast<std::int64_t>(si.mem_unit);
  if (mode == 1) return (bytes + 512) / 1024;
  if (mode == 2) return (bytes + 512 * 1024) / (1024 * 1024);
  return bytes;
}

int CountFloppyDrives() { return 0; }

void InitSystemInfo() {
  TzEngine& e = Engine();
  e.floppyDrives = static_cast<std::uint8_t>(CountFloppyDrives());
  e.physicalMemoryKB = MemoryInfo(1);
  std::uint16_t v = GetWindowsVersion();
  e.systemVersion = std::to_string(v & 0xFF) + "." + std::to_string(v >> 8);
}

}  // namespace zeb::xbase
