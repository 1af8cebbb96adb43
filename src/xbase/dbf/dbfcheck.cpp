#include "xbase/dbf/dbfcheck.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

#include "platform/files.h"
#include "xbase/dbf/dbffile.h"

namespace zeb::xbase {

StoredNumberKind ClassifyStoredNumber(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  if (i == std::string_view::npos) return StoredNumberKind::Empty;
  if (s.find('\0') != std::string_view::npos) return StoredNumberKind::Nul;
  std::size_t end = s.size();
  while (s[end - 1] == ' ') --end;
  if (s.substr(i, end - i).find_first_not_of('*') == std::string_view::npos)
    return end < s.size() ? StoredNumberKind::BlankAfter : StoredNumberKind::Overflow;
  if (s[i] == '+' || s[i] == '-') ++i;
  int digits = 0, points = 0;
  bool comma = false, exponent = false, blank = false;
  for (; i < end; ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if ((c == '.' || c == ',') && !exponent) {
      ++points;
      comma = comma || c == ',';
    } else if ((c == 'e' || c == 'E') && !exponent && digits > 0) {
      exponent = true;
      if (i + 1 < end && (s[i + 1] == '+' || s[i + 1] == '-')) ++i;
    } else if (c == ' ') {
      blank = true;
    } else {
      return StoredNumberKind::NotNumber;
    }
  }
  if (digits == 0) return points == 0 && !blank ? StoredNumberKind::LoneSign : StoredNumberKind::NotNumber;
  if (blank) return StoredNumberKind::BlankInside;
  if (end < s.size()) return StoredNumberKind::BlankAfter;
  if (points > 1) return StoredNumberKind::SeveralPoints;
  if (comma) return StoredNumberKind::Comma;
  if (exponent) return StoredNumberKind::Exponent;
  return StoredNumberKind::Number;
}

bool WrittenNumber(StoredNumberKind kind) {
  return kind == StoredNumberKind::Number || kind == StoredNumberKind::Empty || kind == StoredNumberKind::Overflow ||
         kind == StoredNumberKind::Exponent;
}

namespace {

// The layout the checks read: a head that agrees with itself.
struct CheckedHead {
  std::uint32_t count = 0;
  unsigned header = 0, length = 0;
  std::vector<FieldDesc> fields;
};

bool NumberField(const FieldDesc& f) { return f.type == 'N' || f.type == 'F'; }

// The head of the file, checked: None with head filled; checked false for
// a layout left to the engine (and to its open, which names its faults).
DbfFinding ReadCheckedHead(int fd, std::uint64_t size, CheckedHead& out, bool& checked) {
  checked = false;
  DbfFinding f;
  if (size < 32) {
    f.fault = DbfFault::ShortHead;
    checked = true;
    return f;
  }
  DbfHead h;
  const DbfHeadFault prolog = ReadDbfProlog(fd, static_cast<std::int64_t>(size), h);
  if (prolog == DbfHeadFault::ShortProlog) {
    f.fault = DbfFault::HeadUnreadable;
    checked = true;
    return f;
  }
  if (prolog != DbfHeadFault::NoFault || h.dbase2) return f;
  checked = true;
  const unsigned first = h.DescriptorStart(), slot = h.SlotSize();
  if (h.headerLength < first + slot + 1 || h.headerLength > size) {
    f.fault = DbfFault::HeaderLength;
    f.value = h.headerLength;
    return f;
  }
  switch (ReadDbfFields(fd, h)) {
    case DbfHeadFault::NoFault: break;
    case DbfHeadFault::FieldCount: checked = false; return f;  // more than 255 fields: the open names them
    default: f.fault = DbfFault::HeadUnreadable; return f;
  }
  // The list's end mark inside the header; the records start at the
  // header length, which dBase, FoxPro and others may leave padded after
  // the mark.
  if (h.endMark < 0) {
    f.fault = DbfFault::NoEndMark;
    return f;
  }
  unsigned sum = 1;
  for (const FieldDesc& d : h.fields) sum += d.length;
  if (h.recordLength != sum) {
    f.fault = DbfFault::RecordLength;
    f.value = h.recordLength;
    f.other = sum;
    return f;
  }
  // A number needs a digit and the point beside its decimals; the engine
  // would read the field with other decimals than the head says.
  for (const FieldDesc& d : h.fields) {
    if (NumberField(d) && d.decimals != 0 && (d.decimals > 18 || d.decimals + 2 > d.length)) {
      f.fault = DbfFault::Decimals;
      f.field = d.name;
      f.value = d.decimals;
      f.other = d.length;
      return f;
    }
  }
  out.count = static_cast<std::uint32_t>(h.count);
  out.header = h.headerLength;
  out.length = h.recordLength;
  out.fields = std::move(h.fields);
  return f;
}

// Whether the number bytes (of kind Number) show their value with the
// field's decimals: no more digits after the point than the decimals, and
// room for them in the field.
bool DecimalsAgree(std::string_view bytes, unsigned length, unsigned decimals) {
  const std::string_view t = bytes.substr(bytes.find_first_not_of(' '));
  const std::size_t point = t.find('.');
  const std::size_t sign = t.front() == '+' || t.front() == '-' ? 1 : 0;
  const std::size_t whole = std::max<std::size_t>(1, (point == std::string_view::npos ? t.size() : point) - sign);
  const std::size_t fraction = point == std::string_view::npos ? 0 : t.size() - point - 1;
  return fraction <= decimals && (decimals == 0 || sign + whole + 1 + decimals <= length);
}

// Blanks then digits, as numbers are mostly stored.
bool PlainWholeNumber(const char* p, unsigned length) {
  unsigned i = 0;
  while (i < length && p[i] == ' ') ++i;
  if (i == length) return false;
  for (; i < length; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

// The bytes a date or logical field can hold.
struct ByteClasses {
  bool date[256]{}, logical[256]{};
  ByteClasses() {
    for (const char c : std::string_view(" 0123456789")) date[static_cast<unsigned char>(c)] = true;
    for (const char c : std::string_view("TtFfYyNn? ")) logical[static_cast<unsigned char>(c)] = true;
    date[0] = logical[0] = true;
  }
};
const ByteClasses& Classes() {
  static const ByteClasses classes;
  return classes;
}

// Why field f of a record holds what no program writes; None when it
// holds a value its type can.
DbfFinding FieldDamage(const FieldDesc& f, const char* p) {
  DbfFinding d;
  if (NumberField(f)) {
    if (f.decimals == 0 && PlainWholeNumber(p, f.length)) return d;
    const std::string_view bytes(p, f.length);
    const StoredNumberKind kind = ClassifyStoredNumber(bytes);
    if (kind == StoredNumberKind::Number && DecimalsAgree(bytes, f.length, f.decimals)) return d;
    if (kind != StoredNumberKind::Number && WrittenNumber(kind)) return d;  // read as no value: named where it is read
    d.fault = kind == StoredNumberKind::Number ? DbfFault::DecimalsValue : DbfFault::NumberBytes;
    d.number = kind;
    d.value = f.decimals;
  } else if (f.type == 'D' || f.type == 'L') {
    const bool* allowed = f.type == 'D' ? Classes().date : Classes().logical;
    unsigned i = 0;
    while (i < f.length && allowed[static_cast<unsigned char>(p[i])]) ++i;
    if (i == f.length) return d;
    d.fault = DbfFault::FieldByte;
  } else {
    return d;
  }
  d.field = f.name;
  d.type = f.type;
  d.bytes.assign(p, f.length);
  return d;
}

// The records of a table a block at a time: from the bytes held of it,
// else read from the file.
class RecordBlocks {
 public:
  RecordBlocks(int fd, const CheckedHead& h, const std::string& held)
      : fd_(fd), h_(h), held_(held), perBlock_(std::max<std::uint32_t>(1, (64u << 10) / std::max(1u, h.length))) {
    if (!Whole()) buf_.reset(new char[static_cast<std::size_t>(h.length) * perBlock_]);
  }
  bool Whole() const { return held_.size() == static_cast<std::size_t>(h_.count) * h_.length; }
  std::uint32_t PerBlock() const { return perBlock_; }
  // Records first + 1 .. first + n; null when they cannot be read.
  const char* Read(std::uint32_t first, std::uint32_t n) {
    if (!buf_) return held_.data() + static_cast<std::size_t>(first) * h_.length;
    const auto bytes = static_cast<std::size_t>(n) * h_.length;
    const long long got = ReadAt(fd_, buf_.get(), bytes, static_cast<std::int64_t>(h_.header) +
                                                              static_cast<std::int64_t>(first) * h_.length);
    return got == static_cast<long long>(bytes) ? buf_.get() : nullptr;
  }

 private:
  int fd_;
  const CheckedHead& h_;
  const std::string& held_;
  std::uint32_t perBlock_;
  std::unique_ptr<char[]> buf_;
};

// Calls visit(record, bytes) for every record in file order until it
// returns a finding; a block that cannot be read is named.
template <typename Visit>
DbfFinding EachRecord(RecordBlocks& blocks, const CheckedHead& h, Visit visit) {
  for (std::uint32_t first = 0; first < h.count; first += blocks.PerBlock()) {
    const std::uint32_t n = std::min(blocks.PerBlock(), h.count - first);
    const char* const buf = blocks.Read(first, n);
    if (buf == nullptr) {
      DbfFinding d;
      d.fault = DbfFault::RecordUnreadable;
      d.record = first + 1;
      return d;
    }
    for (std::uint32_t r = 0; r < n; ++r) {
      DbfFinding d = visit(first + r + 1, buf + static_cast<std::size_t>(r) * h.length);
      if (d) return d;
    }
  }
  return {};
}

// The first record that holds what no dBase program writes: a deletion
// mark other than " " or "*", a field its type cannot hold.
DbfFinding FirstBadRecord(RecordBlocks& blocks, const CheckedHead& h) {
  return EachRecord(blocks, h, [&](std::uint32_t record, const char* rec) {
    DbfFinding d;
    if (rec[0] != ' ' && rec[0] != '*') {
      d.fault = DbfFault::DeletionMark;
    } else {
      for (const FieldDesc& f : h.fields)
        if ((d = FieldDamage(f, rec + f.offset))) break;
    }
    d.record = record;
    return d;
  });
}

}  // namespace

DbfFinding StoredKeyDamage(std::string_view bytes, std::int32_t& number) {
  // The common form first: blanks, then up to 9 digits.
  std::size_t at = bytes.find_first_not_of(' ');
  if (at != std::string_view::npos && bytes.size() - at <= 9) {
    std::int32_t v = 0;
    for (; at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9'; ++at) v = v * 10 + (bytes[at] - '0');
    if (at == bytes.size() && v >= 1) {
      number = v;
      return {};
    }
  }
  DbfFinding d;
  d.number = ClassifyStoredNumber(bytes);
  d.bytes = bytes;
  if (d.number == StoredNumberKind::Empty) {
    d.fault = DbfFault::KeyEmpty;
    return d;
  }
  if (d.number != StoredNumberKind::Number) {
    d.fault = DbfFault::KeyNotNumber;
    return d;
  }
  std::string_view t = bytes.substr(bytes.find_first_not_of(' '));
  if (t.front() == '+') t.remove_prefix(1);
  double value = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::fixed);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !(value >= 1 && value <= 2147483647.0) ||
      value != std::trunc(value)) {
    d.fault = DbfFault::KeyNotWhole;
    return d;
  }
  number = static_cast<std::int32_t>(value);
  return {};
}

namespace {

// The records of the keys of field (1-based) into keys, each key's first
// record; the first key in file order that names no record, or one an
// earlier record holds too, is named with its records.
DbfFinding KeyRecords(RecordBlocks& blocks, const CheckedHead& h, int field, std::map<std::int32_t, std::int32_t>& keys) {
  keys.clear();
  if (field < 1 || static_cast<std::size_t>(field) > h.fields.size()) return {};
  const FieldDesc& f = h.fields[static_cast<std::size_t>(field - 1)];
  return EachRecord(blocks, h, [&](std::uint32_t record, const char* rec) {
    std::int32_t number = 0;
    DbfFinding d = StoredKeyDamage(std::string_view(rec + f.offset, f.length), number);
    if (!d) {
      const auto [at, added] = keys.emplace(number, static_cast<std::int32_t>(record));
      if (added) return d;
      d.fault = DbfFault::KeyTwice;
      d.record = static_cast<std::uint32_t>(at->second);
      d.other = record;
      d.value = static_cast<std::uint64_t>(number);
    } else {
      d.record = record;
    }
    d.field = f.name;
    d.type = f.type;
    return d;
  });
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

std::int64_t Nanoseconds(const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

FileState StateOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

// Whether a change to come may leave the state as it is: file times tick
// coarsely (a jiffy, on some file systems seconds), so a file changed
// within the last seconds is checked again on every open. The change time
// tells: the system sets it on every change (the modification time is
// anyone's to set, into the future too). A change time in the future (a
// clock set back) keeps the file racy until the clock has passed it.
bool Racy(const FileState& s) {
  constexpr std::int64_t kTick = 3000000000;  // the coarsest tick of file times, with room
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return s.ctime > Nanoseconds(now) - kTick;
}

// What the checks found in one table file: its damage, and the records of
// the keys of a key field with that field's damage.
struct CheckedFile {
  FileState state;
  bool racy = false;
  std::uint64_t used = 0;  // when last used, in checks made
  DbfFileCheck check;
  CheckedHead head;
  std::string records;  // the bytes of every record, for a small table
  int keyField = 0;
  DbfFinding keyDamage;
  std::map<std::int32_t, std::int32_t> keys;

  bool Holds(const struct stat& st) const { return !racy && state == StateOf(st); }
  bool Sound() const { return check.checked && !check.damage; }
  bool HoldsAllRecords() const { return records.size() == static_cast<std::size_t>(head.count) * head.length; }
};

// Bytes of a table held for its rows and keys: the program's tables are a
// few KiB each.
constexpr std::uint64_t kHeldBytes = 1 << 20;
// Files whose checks are kept: the program reads about ten tables, the
// table window opens a few more; each may hold kHeldBytes. The one used
// longest ago gives way.
constexpr std::size_t kCheckedFilesKept = 32;

std::map<std::string, CheckedFile>& CheckedFiles() {
  static std::map<std::string, CheckedFile> files;
  return files;
}

CheckedFile& Slot(const std::string& path) {
  static std::uint64_t uses = 0;
  std::map<std::string, CheckedFile>& files = CheckedFiles();
  auto it = files.find(path);
  if (it == files.end()) {
    if (files.size() >= kCheckedFilesKept)
      files.erase(std::min_element(files.begin(), files.end(),
                                   [](const auto& a, const auto& b) { return a.second.used < b.second.used; }));
    it = files.emplace(path, CheckedFile{}).first;
  }
  it->second.used = ++uses;
  return it->second;
}

// The checks of the file as it is now, made once per file state; null for
// a file that cannot be opened (fd -1).
CheckedFile* CheckFile(const std::string& path, FileHandle& file) {
  int fd = -1;
  if (OpenRegularForReading(path, fd) != 0) return nullptr;
  file = FileHandle(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return nullptr;
  CheckedFile& c = Slot(path);
  if (c.Holds(st)) return &c;
  const std::uint64_t used = c.used;
  c = CheckedFile{};
  c.used = used;
  c.state = StateOf(st);
  c.racy = Racy(c.state);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  DbfFinding& why = c.check.damage;
  why = ReadCheckedHead(fd, size, c.head, c.check.checked);
  if (!c.check.checked || why) return &c;
  const CheckedHead& h = c.head;
  c.check.count = h.count;
  const std::uint64_t records = static_cast<std::uint64_t>(h.count) * h.length;
  if (size < h.header + records) {
    why.fault = DbfFault::ShortFile;
    why.value = h.count;
    return &c;
  }
  // Whole records past the count (an append cut before its count was
  // written) are no damage: the count holds, the table window offers to
  // take them in or drop them.
  c.check.pastCount = static_cast<std::int64_t>((size - h.header - records) / h.length);
  // A small table is held: its keys and the rows read are taken from the
  // bytes checked.
  if (records <= kHeldBytes) {
    c.records.resize(records);
    if (ReadAt(fd, c.records.data(), records, h.header) != static_cast<long long>(records)) c.records.clear();
  }
  RecordBlocks blocks(fd, h, c.records);
  why = FirstBadRecord(blocks, h);
  return &c;
}

}  // namespace

DbfFileCheck CheckDbfFile(const std::string& path) {
  FileHandle file;
  const CheckedFile* c = CheckFile(path, file);
  return c == nullptr ? DbfFileCheck{} : c->check;
}

DbfFinding DbfKeyRecords(const std::string& path, int field, const std::map<std::int32_t, std::int32_t>*& keys) {
  keys = nullptr;
  const auto keysOf = [&](CheckedFile& c, int fd) {
    if (c.keyField != field) {
      RecordBlocks blocks(fd, c.head, c.records);
      c.keyDamage = KeyRecords(blocks, c.head, field, c.keys);
      c.keyField = field;
    }
    if (!c.keyDamage) keys = &c.keys;
    return c.keyDamage;
  };
  // The keys of a file whose checks hold need no open.
  if (const auto it = CheckedFiles().find(path); it != CheckedFiles().end()) {
    CheckedFile& held = it->second;
    struct stat st {};
    if (held.Sound() && (held.keyField == field || held.HoldsAllRecords()) && ::stat(path.c_str(), &st) == 0 &&
        held.Holds(st))
      return keysOf(held, -1);
  }
  FileHandle file;
  CheckedFile* c = CheckFile(path, file);
  if (c == nullptr || !c->check.checked) return {};
  if (c->check.damage) return c->check.damage;
  return keysOf(*c, file.get());
}

bool DbfHeldFields(const std::string& path, std::int32_t record, std::vector<std::string>& texts) {
  texts.clear();
  const auto it = CheckedFiles().find(path);
  if (it == CheckedFiles().end()) return false;
  const CheckedFile& c = it->second;
  struct stat st {};
  if (!c.Sound() || c.records.empty() || record < 1 || static_cast<std::uint32_t>(record) > c.head.count ||
      ::stat(path.c_str(), &st) != 0 || !c.Holds(st))
    return false;
  const std::size_t at = static_cast<std::size_t>(record - 1) * c.head.length;
  for (const FieldDesc& f : c.head.fields) texts.push_back(c.records.substr(at + f.offset, f.length));
  return true;
}

}  // namespace zeb::xbase
