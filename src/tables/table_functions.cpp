#include "tables/table_functions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/messages.h"
#include "base/format.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "tables/table_window.h"
#include "xbase/core/text_utils.h"

namespace zeb {

namespace {

bool WriteTestFile(const std::string& folder) {
  static constexpr char kLine[] = "DBF Write Check\r\n";
  // A file without a name tests the folder as well and leaves nothing to
  // erase (nor a name for others to trip over); where the file system has
  // no such files, the system is asked whether the user may write there.
  const std::string dir = folder.empty() ? std::string(".") : folder;
  if (const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); fd >= 0) {
    const bool written = ::write(fd, kLine, sizeof kLine - 1) == static_cast<ssize_t>(sizeof kLine - 1);
    return ::close(fd) == 0 && written;
  } else if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOSPC || errno == EDQUOT) {
    return false;
  }
  return ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// A folder that passed the test a moment ago passes again without another
// test file: the tables of one calculation open within milliseconds of each
// other. A failed test is never kept.
bool DefaultWriteTest(const std::string& folder) {
  using Clock = std::chrono::steady_clock;
  static std::map<std::string, Clock::time_point> passed;
  const Clock::time_point now = Clock::now();
  if (const auto it = passed.find(folder); it != passed.end() && now - it->second < std::chrono::seconds(1)) return true;
  if (!WriteTestFile(folder)) {
    passed.erase(folder);
    return false;
  }
  if (passed.size() > 64) passed.clear();
  passed[folder] = now;
  return true;
}

bool (*gWriteTest)(const std::string&) = DefaultWriteTest;

// The name after the last "/".
std::string LastComponent(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool OwnerMayWrite(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0;
}

// Copies source to target through a temporary name; the copy is writable by
// its owner. 0 or an errno value.
int CopyWritable(const std::string& source, const std::string& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return errno != 0 ? errno : ENOENT;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return EIO;
  const std::string data = bytes.str();
  if (const int err = WriteWholeFile(target, data); err != 0) return err;
  struct stat st{};
  if (::stat(target.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
    ::chmod(target.c_str(), (st.st_mode & 07777) | S_IWUSR);
  }
  return 0;
}

// The table and its memo file copied into the temporary folder; the copy's
// path, or "" (message shown, AbortFlag set).
std::string CopyToTempFolder(const std::string& tablePath, const std::string& name) {
  const std::string target = ScratchFile(name);
  if (target.empty()) {
    RefuseScratchFile();
    return {};
  }
  auto fail = [&] {
    ShowError("Datei "_oem + FromUtf8(CodePage::Cp850, target) + " nicht gefunden oder kein Zugriffsrecht !"_oem);
    G().AbortFlag = 1;
    return std::string();
  };
  if (CopyWritable(tablePath, target) != 0) return fail();
  const std::string folder = ExtractFolderPart(tablePath);
  const std::string stem = FileNameNoExt(tablePath);
  const std::string targetStem = FileNameNoExt(target);
  for (const char* ext : {".dbt", ".fpt"}) {
    const std::string memo = ResolveCaseInsensitive(folder, stem + ext);
    if (!PathIsRegularFile(memo)) continue;
    // The memo keeps the case of its extension beside the copy.
    const std::string memoExt = memo.substr(memo.size() - 4);
    if (CopyWritable(memo, ScratchFile(targetStem + memoExt)) != 0) return fail();
  }
  return target;
}

}  // namespace

void SetFolderWriteTest(bool (*test)(const std::string&)) { gWriteTest = test ? test : DefaultWriteTest; }
bool FolderPassesWriteTest(const std::string& folder) { return gWriteTest(folder); }

namespace {

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
unsigned Le16(const unsigned char* p) { return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8; }

// The bytes a value of a field of the type can hold, one table per type.
struct ByteClasses {
  bool number[256]{}, date[256]{}, logical[256]{};
  ByteClasses() {
    for (const char c : std::string_view(" 0123456789+-.,eE*")) number[static_cast<unsigned char>(c)] = true;
    for (const char c : std::string_view(" 0123456789")) date[static_cast<unsigned char>(c)] = true;
    for (const char c : std::string_view("TtFfYyNn? ")) logical[static_cast<unsigned char>(c)] = true;
    number[0] = date[0] = logical[0] = true;
  }
};
const ByteClasses& Classes() {
  static const ByteClasses classes;
  return classes;
}

struct FieldSpan {
  std::string name;
  char type;
  unsigned offset, length, decimals;
};

// The head of a table file of the dBase III, IV or 7 layout.
struct DbfHead {
  std::uint32_t count = 0;
  unsigned header = 0, length = 0;
  std::vector<FieldSpan> fields;
};

bool IsDbase3Or4(unsigned version) { return version == 0x03 || version == 0x83 || version == 0x8B || version == 0xF5; }
bool IsDbase7(unsigned version) { return version == 0x04 || version == 0x8C; }

// The head of the file: "" and head filled, or why it is damaged; "-" for
// a layout left to the engine.
std::string ReadHead(int fd, std::uint64_t size, DbfHead& h) {
  unsigned char head[32];
  if (size < sizeof head || ::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head))
    return "kürzer als ihr Kopf"_oem;
  const unsigned version = head[0];
  if (!IsDbase3Or4(version) && !IsDbase7(version)) return "-";
  const bool seven = IsDbase7(version);
  // dBase 7: 68 head bytes and 48-byte field descriptors (name of 32
  // bytes, then type, length and decimals).
  const unsigned first = seven ? 68 : 32, slot = seven ? 48 : 32, type = seven ? 32 : 11, width = seven ? 33 : 16;
  h.count = Le32(head + 4);
  h.header = Le16(head + 8);
  h.length = Le16(head + 10);
  if (h.header < first + slot + 1 || h.header > size) return "Kopflänge "_oem + std::to_string(h.header) + " ungültig"_oem;
  std::vector<unsigned char> area(h.header);
  if (::pread(fd, area.data(), h.header, 0) != static_cast<ssize_t>(h.header)) return "Kopf unlesbar"_oem;
  unsigned d = first, offset = 1;
  for (; d + slot <= h.header && area[d] != 0x0D; d += slot) {
    const unsigned nameLength = seven ? 32 : 11;
    std::string name(reinterpret_cast<const char*>(area.data() + d), nameLength);
    name.resize(std::min<std::size_t>(name.find('\0'), nameLength));
    h.fields.push_back({std::move(name), static_cast<char>(area[d + type]), offset, area[d + width], area[d + width + 1]});
    offset += area[d + width];
  }
  // The list's end mark inside the header; the records start at the header
  // length, which dBase, FoxPro and others may leave padded after the mark.
  if (d >= h.header || area[d] != 0x0D) return "Feldliste ohne Abschluss"_oem;
  if (h.length != offset)
    return "Satzlänge "_oem + std::to_string(h.length) + " passt nicht zu den Feldern (" + std::to_string(offset) + ")";
  // A number needs a digit and the point beside its decimals; the engine
  // would read the field with other decimals than the head says.
  for (const FieldSpan& f : h.fields)
    if ((f.type == 'N' || f.type == 'F') && f.decimals != 0 && (f.decimals > 18 || f.decimals + 2 > f.length))
      return "Feld "_oem + Cp1252To850(f.name) + ": Dezimalstellenzahl " + std::to_string(f.decimals) +
             " zu groß für die Feldlänge "_oem + std::to_string(f.length);
  return {};
}

// A field's bytes as a message shows them, quoted.
std::string Quoted(std::string_view bytes) {
  std::string shown = Cp1252To850(bytes);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  while (!shown.empty() && shown.front() == ' ') shown.erase(0, 1);
  return "(\"" + shown + "\")";
}

// Why the stored text of a number field does not read as the number it
// holds: a comma, or a value its decimal count does not show as it is
// (more digits after the point than the count, or too wide for the field
// with them). "" when it does.
std::string DecimalsDamage(std::string_view text, unsigned length, unsigned decimals) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\0')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\0')) --e;
  const std::string_view t = text.substr(b, e - b);
  // Texts that hold no number are named by the readers.
  if (xbase::ClassifyNumberText(t) != xbase::NumberTextKind::Number) return {};
  if (t.find(',') != std::string_view::npos) return "Komma statt Dezimalpunkt "_oem + Quoted(text);
  const std::size_t point = t.find('.');
  const std::size_t sign = t.front() == '+' || t.front() == '-' ? 1 : 0;
  const std::size_t whole = std::max<std::size_t>(1, (point == std::string_view::npos ? t.size() : point) - sign);
  const std::size_t fraction = point == std::string_view::npos ? 0 : t.size() - point - 1;
  if (fraction > decimals || (decimals > 0 && sign + whole + 1 + decimals > length))
    return "Dezimalstellenzahl "_oem + std::to_string(decimals) + " passt nicht zum Wert " + Quoted(text);
  return {};
}

// The records of a table 64 at a time: from the bytes held of it, else
// read from the file.
class RecordBlocks {
 public:
  RecordBlocks(int fd, const DbfHead& h, const std::string& held) : fd_(fd), h_(h), held_(held) {
    if (held_.size() != static_cast<std::size_t>(h.count) * h.length) buf_.reset(new unsigned char[std::size_t{h.length} * 64]);
  }
  // Records first + 1 .. first + n; null when they cannot be read.
  const unsigned char* Read(std::uint32_t first, std::uint32_t n) {
    if (!buf_) return reinterpret_cast<const unsigned char*>(held_.data()) + static_cast<std::size_t>(first) * h_.length;
    const auto bytes = static_cast<std::size_t>(n) * h_.length;
    const ssize_t got = ::pread(fd_, buf_.get(), bytes, static_cast<off_t>(h_.header) + static_cast<off_t>(first) * h_.length);
    return got == static_cast<ssize_t>(bytes) ? buf_.get() : nullptr;
  }

 private:
  int fd_;
  const DbfHead& h_;
  const std::string& held_;
  std::unique_ptr<unsigned char[]> buf_;
};

// Why the first record (among the first records) that no dBase program
// writes is damaged: a deletion mark other than " " or "*", a character the
// field cannot hold ("Satz <n> ungültig"), a number its decimal count does
// not read as stored or with a comma. "" when there is none.
std::string FirstBadRecord(RecordBlocks& blocks, const DbfHead& h) {
  constexpr std::uint32_t kCheckedRecords = 100000;
  const ByteClasses& classes = Classes();
  for (std::uint32_t first = 0; first < h.count && first < kCheckedRecords; first += 64) {
    const std::uint32_t n = std::min<std::uint32_t>(64, h.count - first);
    const unsigned char* const buf = blocks.Read(first, n);
    if (buf == nullptr) return "Satz "_oem + std::to_string(first + 1) + " ungültig"_oem;
    for (std::uint32_t r = 0; r < n; ++r) {
      const unsigned char* rec = buf + static_cast<std::size_t>(r) * h.length;
      const auto record = [&] { return "Satz "_oem + std::to_string(first + r + 1); };
      if (rec[0] != ' ' && rec[0] != '*') return record() + " ungültig"_oem;
      for (const FieldSpan& f : h.fields) {
        const bool* allowed = f.type == 'N' || f.type == 'F' ? classes.number
                              : f.type == 'D'                ? classes.date
                              : f.type == 'L'                ? classes.logical
                                                             : nullptr;
        if (allowed == nullptr) continue;
        const unsigned char* p = rec + f.offset;
        bool plain = true;  // blanks and digits only
        for (unsigned i = 0; i < f.length; ++i) {
          if (!allowed[p[i]]) return record() + " ungültig"_oem;
          plain = plain && (p[i] == ' ' || (p[i] >= '0' && p[i] <= '9'));
        }
        if (allowed != classes.number || (plain && f.decimals == 0)) continue;
        const std::string_view text(reinterpret_cast<const char*>(p), f.length);
        if (const std::string why = DecimalsDamage(text, f.length, f.decimals); !why.empty())
          return record() + ", Feld " + Cp1252To850(f.name) + ": " + why;
      }
    }
  }
  return {};
}

// Why a key field's bytes name no material; "" when they do (number set).
std::string KeyDamage(std::string_view text, std::int32_t& number) {
  // The common form first: blanks, then digits.
  std::size_t at = text.find_first_not_of(' ');
  if (at != std::string_view::npos && text.size() - at <= 9) {
    std::int32_t v = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) v = v * 10 + (text[at] - '0');
    if (at == text.size() && v >= 1) {
      number = v;
      return {};
    }
  }
  if (std::string why = NumberTextDamage(text); !why.empty()) return why + " " + Quoted(text);
  if (xbase::ClassifyNumberText(text) == xbase::NumberTextKind::Empty) return "keine Werkstoffnummer (leer)"_oem;
  std::string trimmed(text);
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\0')) trimmed.pop_back();
  trimmed.erase(0, std::min(trimmed.find_first_not_of(' '), trimmed.size()));
  const Real value = TextToFloat(trimmed);
  if (!(value >= 1 && value <= 2147483647.0L) || value != static_cast<Real>(static_cast<std::int64_t>(value)))
    return "keine Werkstoffnummer (\""_oem + Cp1252To850(trimmed) + "\")";
  number = static_cast<std::int32_t>(value);
  return {};
}

// The records of the key numbers of field (1-based) into keys, each
// number's first record; the first key in table order that names no
// material (of a record not marked deleted) or names one an earlier record
// names too is named with its records.
std::string KeyRecords(RecordBlocks& blocks, const DbfHead& h, int field, std::map<std::int32_t, std::int32_t>& keys) {
  if (field < 1 || static_cast<std::size_t>(field) > h.fields.size()) return {};
  const FieldSpan& f = h.fields[static_cast<std::size_t>(field - 1)];
  for (std::uint32_t first = 0; first < h.count; first += 64) {
    const std::uint32_t n = std::min<std::uint32_t>(64, h.count - first);
    const unsigned char* const buf = blocks.Read(first, n);
    if (buf == nullptr) return "Satz "_oem + std::to_string(first + 1) + " ungültig"_oem;
    for (std::uint32_t r = 0; r < n; ++r) {
      const unsigned char* rec = buf + static_cast<std::size_t>(r) * h.length;
      const auto record = static_cast<std::int32_t>(first + r + 1);
      const std::string_view text(reinterpret_cast<const char*>(rec + f.offset), f.length);
      std::int32_t number = 0;
      const std::string why = KeyDamage(text, number);
      if (!why.empty()) {
        if (rec[0] != '*') return "Satz "_oem + std::to_string(record) + ", Feld " + Cp1252To850(f.name) + ": " + why;
        continue;
      }
      const auto [at, added] = keys.emplace(number, record);
      if (!added)
        return "Satz "_oem + std::to_string(at->second) + " und Satz " + std::to_string(record) + ", Feld " +
               Cp1252To850(f.name) + ": Werkstoffnummer " + std::to_string(number) + " doppelt";
    }
  }
  return {};
}

// The file state a check holds for: a file changed, replaced or touched
// since is checked again.
struct FileState {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  std::int64_t mtime = 0, ctime = 0;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size,
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
          static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

// What the checks found in one table file: its damage, and the records of
// the key numbers of a key field with the damage of that field.
struct CheckedFile {
  FileState state;
  bool racy = false;  // changed so lately that a change to come may keep its times
  DbfHead head;
  std::string records;  // the bytes of every record, for a small table
  std::string damage;
  int keyField = 0;
  std::string keyDamage;
  std::map<std::int32_t, std::int32_t> keys;
};

constexpr std::uint64_t kHeldBytes = 1 << 20;

std::map<std::string, CheckedFile>& CheckedFiles() {
  static std::map<std::string, CheckedFile> files;
  return files;
}

struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

// The checks of the file as it is now, made once per file state; null for
// a file that cannot be opened (the open names it).
CheckedFile* CheckFile(const std::string& path, int& fd) {
  if (OpenRegularForReading(path, fd) != 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return nullptr;
  std::map<std::string, CheckedFile>& files = CheckedFiles();
  auto it = files.find(path);
  if (it != files.end() && !it->second.racy && it->second.state == StateOf(st)) return &it->second;
  if (files.size() > 64) files.clear();
  CheckedFile& c = files[path];
  c = CheckedFile{};
  c.state = StateOf(st);
  // File times tick coarsely (a jiffy, on some file systems a second): a
  // file changed within the last seconds is checked again on every open.
  c.racy = std::chrono::system_clock::now() - std::chrono::system_clock::time_point(std::chrono::nanoseconds(
                                                   std::max(c.state.mtime, c.state.ctime))) <
           std::chrono::seconds(3);
  DbfHead& head = c.head;
  std::string why = ReadHead(fd, static_cast<std::uint64_t>(st.st_size), head);
  if (why == "-") {
    why.clear();
    head = DbfHead{};
  } else if (why.empty()) {
    const std::uint64_t records = static_cast<std::uint64_t>(head.count) * head.length;
    if (static_cast<std::uint64_t>(st.st_size) < head.header + records) {
      why = "kürzer als ihre "_oem + std::to_string(head.count) + " Sätze"_oem;
    } else {
      // Whole records past the count (an append cut before its count was
      // written) are no damage: the count holds, the table window offers
      // to take them in or drop them.
      // A small table is held: its keys and the rows read are taken from
      // the bytes checked.
      if (records <= kHeldBytes) {
        c.records.resize(records);
        if (::pread(fd, c.records.data(), records, head.header) != static_cast<ssize_t>(records)) c.records.clear();
      }
      RecordBlocks blocks(fd, head, c.records);
      why = FirstBadRecord(blocks, head);
    }
  }
  c.damage = why;
  return &c;
}

}  // namespace

std::string DbfDamage(const std::string& path) {
  int fd = -1;
  const CheckedFile* c = CheckFile(path, fd);
  if (fd >= 0) ::close(fd);
  return c == nullptr ? std::string() : c->damage;
}

std::string DbfKeyRecords(const std::string& path, int field, std::map<std::int32_t, std::int32_t>*& keys) {
  keys = nullptr;
  // The keys of a file whose checks hold need no open.
  if (const auto it = CheckedFiles().find(path); it != CheckedFiles().end()) {
    CheckedFile& held = it->second;
    struct stat st {};
    const bool whole = held.records.size() == static_cast<std::size_t>(held.head.count) * held.head.length;
    if (!held.racy && (held.keyField == field || whole) && !held.head.fields.empty() && held.damage.empty() &&
        ::stat(path.c_str(), &st) == 0 && StateOf(st) == held.state) {
      if (held.keyField != field) {
        held.keys.clear();
        RecordBlocks blocks(-1, held.head, held.records);
        held.keyDamage = KeyRecords(blocks, held.head, field, held.keys);
        held.keyField = field;
      }
      keys = &held.keys;
      return held.keyDamage;
    }
  }
  int fd = -1;
  CheckedFile* c = CheckFile(path, fd);
  if (fd < 0) return {};
  FdCloser closer{fd};
  if (c == nullptr) return {};
  if (!c->damage.empty()) return c->damage;
  if (c->head.fields.empty()) return {};  // a layout left to the engine
  if (c->keyField != field) {
    c->keys.clear();
    RecordBlocks blocks(fd, c->head, c->records);
    c->keyDamage = KeyRecords(blocks, c->head, field, c->keys);
    c->keyField = field;
  }
  keys = &c->keys;
  return c->keyDamage;
}

bool DbfHeldFields(const std::string& path, std::int32_t record, std::vector<std::string>& texts) {
  texts.clear();
  const std::map<std::string, CheckedFile>& files = CheckedFiles();
  const auto it = files.find(path);
  if (it == files.end()) return false;
  const CheckedFile& c = it->second;
  struct stat st {};
  if (c.racy || c.records.empty() || !c.damage.empty() || record < 1 || static_cast<std::uint32_t>(record) > c.head.count ||
      ::stat(path.c_str(), &st) != 0 || !(StateOf(st) == c.state))
    return false;
  const std::size_t at = static_cast<std::size_t>(record - 1) * c.head.length;
  for (const FieldSpan& f : c.head.fields) texts.push_back(c.records.substr(at + f.offset, f.length));
  return true;
}

std::int64_t DbfRecordsPastCount(const std::string& path, std::uint32_t& count) {
  count = 0;
  int fd = -1;
  if (OpenRegularForReading(path, fd) != 0) return 0;
  FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return 0;
  DbfHead h;
  if (!ReadHead(fd, static_cast<std::uint64_t>(st.st_size), h).empty()) return 0;
  count = h.count;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  const std::uint64_t end = h.header + static_cast<std::uint64_t>(h.count) * h.length;
  if (h.length == 0 || size <= end) return 0;
  return static_cast<std::int64_t>((size - end) / h.length);
}

std::string NumberTextDamage(std::string_view text) {
  using Kind = xbase::NumberTextKind;
  switch (xbase::ClassifyNumberText(text)) {
    case Kind::Number:
    case Kind::Empty: return {};
    case Kind::Overflow: return "Wert zu breit für das Feld"_oem;
    case Kind::LoneSign: return "Vorzeichen ohne Ziffern"_oem;
    case Kind::SeveralPoints: return "mehr als ein Dezimalzeichen"_oem;
    case Kind::Exponent: return "Exponent in einem Zahlenfeld"_oem;
    case Kind::NotNumber: break;
  }
  return "keine Zahl"_oem;
}

void ReportDamagedTable(const std::string& path, std::string_view why) {
  ShowError("Tabelle "_oem + FromUtf8(CodePage::Cp850, path) + " beschädigt: "_oem + std::string(why));
  G().AbortFlag = 1;
}

namespace {
// The table file of that name in the DBF folder, written in any case.
std::string TableFilePath(std::string_view nameIn) {
  std::string name(nameIn);
  if (name.find('.') == std::string::npos) name += ".dbf";
  const std::string folder = RemoveTrailingBackslash(G().DbfFolder);
  return folder.empty() ? ResolvePathCaseInsensitive(name) : ResolveCaseInsensitive(folder, name);
}
}  // namespace

bool TableFileExists(std::string_view name) { return PathExists(TableFilePath(name)); }

bool TableFileSound(const std::string& path, bool forRepair) {
  // A damaged table is named, not read into empty or wrong values.
  if (const std::string why = DbfDamage(path); !why.empty()) {
    ReportDamagedTable(path, why);
    return false;
  }
  // The program reads no table whose last records a cut append left out of
  // its count: the user takes them in or drops them in the table window.
  std::uint32_t count = 0;
  if (const std::int64_t past = forRepair ? 0 : DbfRecordsPastCount(path, count); past > 0) {
    ReportDamagedTable(path, (past == 1 ? std::string("1 Datensatz") : std::to_string(past) + " Datensätze"_oem) +
                                 " hinter der Satzzahl " + std::to_string(count) +
                                 " (ein abgebrochenes Anhängen; beim Bearbeiten der Tabelle übernehmen oder "
                                 "entfernen)"_oem);
    return false;
  }
  return true;
}

std::string TablePathWithWriteCheck(std::string_view nameIn, bool forRepair) {
  const std::string folder = RemoveTrailingBackslash(G().DbfFolder);
  // A table written in other case is found (a file is only read here).
  const std::string path = TableFilePath(nameIn);
  CheckFileReadable(path);
  if (G().AbortFlag != 0) return {};
  if (!TableFileSound(path, forRepair)) return {};
  if (!FolderPassesWriteTest(folder.empty() ? "." : folder) || !OwnerMayWrite(path)) {
    return CopyToTempFolder(path, LastComponent(path));
  }
  return path;
}

void TableOpen(std::string_view name) {
  if (G().AbortFlag != 0) return;
  const std::string path = TablePathWithWriteCheck(name);
  if (path.empty()) return;
  TableOpenFile(path);
}

void TableOpenFile(const std::string& path) { TheTableWindow().OpenFile(path); }
void TableClose() { TheTableWindow().CloseTable(); }

void TableGo(std::int32_t n) {
  const std::int32_t count = TableRecCount();
  if (n > count) {
    AddErrorMessage("DBF #" + std::to_string(n) + " not found.");
    n = count;
  }
  TableSelectRecord(n);
}

void TableSelectRecord(std::int32_t n) {
  const std::int32_t count = TableRecCount();
  if (n < 1 || n > count) n = 1;
  // A table without records has no record 1 to go to: its top is the end.
  if (count == 0) {
    TheTableWindow().GoTop();
  } else {
    TheTableWindow().GoRecord(n);
  }
}

void TableGoTop() { TheTableWindow().GoTop(); }
void TableSkip(std::int32_t n) { TheTableWindow().Skip(n); }
bool TableEof() { return TheTableWindow().IsEof(); }
std::int32_t TableRecNo() { return TheTableWindow().RecNo(); }
std::int32_t TableRecCount() { return TheTableWindow().RecCount(); }
bool TableDeleted() { return TheTableWindow().Deleted(); }
void TableShowDeleted() { TheTableWindow().SetHideDeleted(false); }

std::string TableFieldName(int n) { return TheTableWindow().FieldName(n); }
std::string TableGetField(int n) { return TheTableWindow().GetField(n); }

void TablePutField(int n, std::string_view text) {
  const std::string name = TableFieldName(n);
  if (!name.empty()) TablePutStrByName(name, text);
}

void TablePutInt(int n, std::int32_t value) {
  const std::string name = TableFieldName(n);
  if (!name.empty()) TablePutIntByName(name, value);
}

void TablePutFloat(int n, const Real48& value) {
  const std::string name = TableFieldName(n);
  if (!name.empty()) TablePutFloatByName(name, value);
}

void TablePutStrByName(std::string_view name, std::string_view text) {
  TheTableWindow().PutStrByName(name.substr(0, 10), text);
}
void TablePutIntByName(std::string_view name, std::int32_t value) {
  TheTableWindow().PutIntByName(name.substr(0, 10), value);
}
void TablePutFloatByName(std::string_view name, const Real48& value) {
  TheTableWindow().PutFloatByName(name.substr(0, 10), value);
}
void TablePutBoolByName(std::string_view name, bool value) {
  TheTableWindow().PutBoolByName(name.substr(0, 10), value);
}
bool TableGetBoolByName(std::string_view name) { return TheTableWindow().GetBoolByName(name.substr(0, 10)); }

bool TableAppend() { return TheTableWindow().AppendLocked(); }

void TableSetTitles(std::string_view title1, std::string_view title2) {
  TheTableWindow().SetTitles(Cp850To1252(title1), Cp850To1252(title2));
}

void TableBrowse(int mode) { TheTableWindow().ShowTable(mode); }

std::string TempFolderFile(std::string_view name) { return ScratchFile(name); }

bool TableIndexOnFile(std::string_view keyExpression, const std::string& indexPath) {
  return TheTableWindow().IndexOn(keyExpression, indexPath);
}

void TableMakeIndex(std::string_view keyExpression, std::string_view indexName) {
  const std::string path = TempFolderFile(indexName);
  if (path.empty()) {
    RefuseScratchFile();
    return;
  }
  // An index that was not built is not opened (one error, not two).
  if (TableIndexOnFile(keyExpression, path)) TheTableWindow().SetIndexTo(path);
}

void TableSeek(std::string_view key) { TheTableWindow().Find(key); }
bool TableFound() { return TheTableWindow().Found(); }

}  // namespace zeb
