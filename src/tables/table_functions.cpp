#include "tables/table_functions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <map>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/messages.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "tables/table_window.h"

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

// Whether a value of a field of the type can hold the byte.
bool FitsField(char type, unsigned char c) {
  switch (type) {
    case 'N':
    case 'F': return c == 0 || std::string_view(" 0123456789+-.,eE*").find(static_cast<char>(c)) != std::string_view::npos;
    case 'D': return c == 0 || c == ' ' || (c >= '0' && c <= '9');
    case 'L': return c == 0 || std::string_view("TtFfYyNn? ").find(static_cast<char>(c)) != std::string_view::npos;
    default: return true;
  }
}

struct FieldSpan {
  char type;
  unsigned offset, length;
};

// The first record (1-based) whose deletion mark or typed fields no dBase
// program writes; 0 when there is none among the first records.
std::uint32_t FirstBadRecord(int fd, unsigned header, unsigned length, std::uint32_t count,
                             const std::vector<FieldSpan>& fields) {
  constexpr std::uint32_t kCheckedRecords = 100000;
  std::vector<unsigned char> buf(static_cast<std::size_t>(length) * 64);
  for (std::uint32_t first = 0; first < count && first < kCheckedRecords; first += 64) {
    const std::uint32_t n = std::min<std::uint32_t>(64, count - first);
    const ssize_t got = ::pread(fd, buf.data(), static_cast<std::size_t>(n) * length,
                                static_cast<off_t>(header) + static_cast<off_t>(first) * length);
    if (got != static_cast<ssize_t>(static_cast<std::size_t>(n) * length)) return first + 1;
    for (std::uint32_t r = 0; r < n; ++r) {
      const unsigned char* rec = buf.data() + static_cast<std::size_t>(r) * length;
      bool ok = rec[0] == ' ' || rec[0] == '*';
      for (const FieldSpan& f : fields)
        for (unsigned i = 0; ok && i < f.length; ++i) ok = FitsField(f.type, rec[f.offset + i]);
      if (!ok) return first + r + 1;
    }
  }
  return 0;
}

}  // namespace

std::string DbfDamage(const std::string& path) {
  int fd = -1;
  if (OpenRegularForReading(path, fd) != 0) return {};  // the open names it
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return {};
  const auto size = static_cast<std::uint64_t>(st.st_size);
  unsigned char head[32];
  if (size < sizeof head || ::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head))
    return "kürzer als ihr Kopf"_oem;
  // The layouts of dBase III and IV (32-byte field descriptors); the others
  // are left to the engine.
  const unsigned version = head[0];
  if (version != 0x03 && version != 0x83 && version != 0x8B && version != 0xF5) return {};
  const std::uint32_t count = Le32(head + 4);
  const unsigned header = Le16(head + 8), length = Le16(head + 10);
  if (header < 65 || header > size) return "Kopflänge "_oem + std::to_string(header) + " ungültig"_oem;
  std::vector<unsigned char> fieldArea(header);
  if (::pread(fd, fieldArea.data(), header, 0) != static_cast<ssize_t>(header)) return "Kopf unlesbar"_oem;
  std::vector<FieldSpan> fields;
  unsigned at = 32, offset = 1;
  for (; at + 32 <= header && fieldArea[at] != 0x0D; at += 32) {
    fields.push_back({static_cast<char>(fieldArea[at + 11]), offset, fieldArea[at + 16]});
    offset += fieldArea[at + 16];
  }
  // The list's end mark inside the header; the records start at the header
  // length, which dBase, FoxPro and others may leave padded after the mark.
  if (at >= header || fieldArea[at] != 0x0D) return "Feldliste ohne Abschluss"_oem;
  if (length != offset)
    return "Satzlänge "_oem + std::to_string(length) + " passt nicht zu den Feldern (" + std::to_string(offset) + ")";
  const std::uint64_t records = static_cast<std::uint64_t>(count) * length;
  if (size < header + records) return "kürzer als ihre "_oem + std::to_string(count) + " Sätze"_oem;
  // Whole records past the count (an append cut before its count was
  // written) are no damage: the count holds, the table window offers to
  // take them in or drop them.
  if (const std::uint32_t bad = FirstBadRecord(fd, header, length, count, fields); bad != 0)
    return "Satz "_oem + std::to_string(bad) + " ungültig"_oem;
  return {};
}

std::int64_t DbfRecordsPastCount(const std::string& path, std::uint32_t& count) {
  count = 0;
  int fd = -1;
  if (OpenRegularForReading(path, fd) != 0) return 0;
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  unsigned char head[32];
  if (::fstat(fd, &st) != 0 || ::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return 0;
  const unsigned version = head[0];
  if (version != 0x03 && version != 0x83 && version != 0x8B && version != 0xF5) return 0;
  count = Le32(head + 4);
  const std::uint64_t header = Le16(head + 8), length = Le16(head + 10);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  const std::uint64_t end = header + static_cast<std::uint64_t>(count) * length;
  if (length == 0 || size <= end) return 0;
  return static_cast<std::int64_t>((size - end) / length);
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

std::string TablePathWithWriteCheck(std::string_view nameIn, bool forRepair) {
  const std::string folder = RemoveTrailingBackslash(G().DbfFolder);
  // A table written in other case is found (a file is only read here).
  const std::string path = TableFilePath(nameIn);
  CheckFileReadable(path);
  if (G().AbortFlag != 0) return {};
  // A damaged table is named, not read into empty or wrong values.
  if (const std::string why = DbfDamage(path); !why.empty()) {
    ReportDamagedTable(path, why);
    return {};
  }
  // The program reads no table whose last records a cut append left out of
  // its count: the user takes them in or drops them in the table window.
  std::uint32_t count = 0;
  if (const std::int64_t past = forRepair ? 0 : DbfRecordsPastCount(path, count); past > 0) {
    ReportDamagedTable(path, (past == 1 ? std::string("1 Datensatz") : std::to_string(past) + " Datensätze"_oem) +
                                 " hinter der Satzzahl " + std::to_string(count) +
                                 " (ein abgebrochenes Anhängen; beim Bearbeiten der Tabelle übernehmen oder "
                                 "entfernen)"_oem);
    return {};
  }
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
