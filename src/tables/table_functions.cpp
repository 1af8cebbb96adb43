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
#include "xbase/dbf/dbfcheck.h"

namespace zeb {

namespace {

// Why the last write test failed (an errno value, 0 when not known).
int gWriteTestError = 0;

bool WriteTestFile(const std::string& folder) {
  static constexpr char kLine[] = "DBF Write Check\r\n";
  // A file without a name tests the folder as well and leaves nothing to
  // erase (nor a name for others to trip over); where the file system has
  // no such files, the system is asked whether the user may write there.
  const std::string dir = folder.empty() ? std::string(".") : folder;
  if (const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); fd >= 0) {
    const bool written = ::write(fd, kLine, sizeof kLine - 1) == static_cast<ssize_t>(sizeof kLine - 1);
    if (!written) gWriteTestError = errno;
    const bool closed = ::close(fd) == 0;
    if (written && !closed) gWriteTestError = errno;
    return closed && written;
  } else if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOSPC || errno == EDQUOT) {
    gWriteTestError = errno;
    return false;
  }
  if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return true;
  gWriteTestError = errno;
  return false;
}

// A folder that passed the test a moment ago passes again without another
// test file: the tables of one calculation open within milliseconds of each
// other. A failed test is never kept.
bool DefaultWriteTest(const std::string& folder) {
  using Clock = std::chrono::steady_clock;
  // Folders whose test is kept: a session tests its DBF folder and the few
  // a user switches to; one kept longer than a second is of no use.
  constexpr std::size_t kFoldersKept = 8;
  static std::map<std::string, Clock::time_point> passed;
  const Clock::time_point now = Clock::now();
  if (const auto it = passed.find(folder); it != passed.end() && now - it->second < std::chrono::seconds(1)) return true;
  if (!WriteTestFile(folder)) {
    passed.erase(folder);
    return false;
  }
  if (passed.size() >= kFoldersKept) passed.clear();
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
  // The copy that failed is named with the system's reason; no half of a
  // table and its memo file stays.
  auto fail = [&](const std::string& copy, int err) {
    const std::string named = "Datei "_oem + FromUtf8(CodePage::Cp850, copy);
    ShowError(err == ENOENT || err == EACCES || err == EPERM
                  ? named + " nicht gefunden oder kein Zugriffsrecht !"_oem
                  : named + " kann nicht geschrieben werden: "_oem + SystemErrorText(err) + " !");
    if (copy != target) ::unlink(target.c_str());
    G().AbortFlag = 1;
    return std::string();
  };
  if (const int err = CopyWritable(tablePath, target); err != 0) return fail(target, err);
  const std::string folder = ExtractFolderPart(tablePath);
  const std::string stem = FileNameNoExt(tablePath);
  const std::string targetStem = FileNameNoExt(target);
  for (const char* ext : {".dbt", ".fpt"}) {
    const std::string memo = ResolveCaseInsensitive(folder, stem + ext);
    if (!PathIsRegularFile(memo)) continue;
    // The memo keeps the case of its extension beside the copy.
    const std::string memoExt = memo.substr(memo.size() - 4);
    const std::string memoCopy = ScratchFile(targetStem + memoExt);
    if (const int err = CopyWritable(memo, memoCopy); err != 0) return fail(memoCopy, err);
  }
  return target;
}

}  // namespace

void SetFolderWriteTest(bool (*test)(const std::string&)) { gWriteTest = test ? test : DefaultWriteTest; }
bool FolderPassesWriteTest(const std::string& folder) {
  gWriteTestError = 0;
  return gWriteTest(folder);
}
int FolderWriteTestError() { return gWriteTestError; }

namespace {

namespace xb = xbase;

// A field's bytes as a message shows them, quoted: control characters as
// "?", without the blanks a number stands right-aligned behind.
std::string Quoted(std::string_view bytes) {
  std::string shown = Cp1252To850(bytes);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  shown.erase(0, std::min(shown.find_first_not_of(' '), shown.size()));
  return "(\"" + shown + "\")";
}

// Why stored number bytes hold no number a program wrote; "" for a number
// or blanks.
std::string NumberWhy(xb::StoredNumberKind kind) {
  using K = xb::StoredNumberKind;
  switch (kind) {
    case K::Number:
    case K::Empty: return {};
    case K::Overflow: return "Wert zu breit für das Feld"_oem;
    case K::LoneSign: return "Vorzeichen ohne Ziffern"_oem;
    case K::SeveralPoints: return "mehr als ein Dezimalzeichen"_oem;
    case K::Exponent: return "Exponent in einem Zahlenfeld"_oem;
    case K::Comma: return "Komma statt Dezimalpunkt"_oem;
    case K::Nul: return "NUL-Zeichen in der Zahl"_oem;
    case K::BlankInside: return "Leerzeichen in der Zahl"_oem;
    case K::BlankAfter: return "Leerzeichen hinter der Zahl"_oem;
    case K::NotNumber: break;
  }
  return "keine Zahl"_oem;
}

// What a finding says about its field (code page 850); "" for findings
// of no field.
std::string FieldWhy(const xb::DbfFinding& d) {
  using F = xb::DbfFault;
  switch (d.fault) {
    case F::FieldByte: return (d.type == 'D' ? "kein Datum " : "kein Wahrheitswert ") + Quoted(d.bytes);
    case F::NumberBytes:
    case F::KeyNotNumber: return NumberWhy(d.number) + " " + Quoted(d.bytes);
    case F::DecimalsValue: return "Dezimalstellenzahl " + std::to_string(d.value) + " passt nicht zum Wert " + Quoted(d.bytes);
    case F::KeyEmpty: return "keine Werkstoffnummer (leer)";
    case F::KeyNotWhole: return "keine Werkstoffnummer " + Quoted(d.bytes);
    default: return {};
  }
}

// A finding of the table checks in the user's words (code page 850).
std::string FindingText(const xb::DbfFinding& d) {
  using F = xb::DbfFault;
  const std::string value = std::to_string(d.value);
  switch (d.fault) {
    case F::NoFault: return {};
    case F::ShortHead: return "kürzer als ihr Kopf"_oem;
    case F::HeaderLength: return "Kopflänge "_oem + value + " ungültig"_oem;
    case F::HeadUnreadable: return "Kopf unlesbar"_oem;
    case F::NoEndMark: return "Feldliste ohne Abschluss"_oem;
    case F::RecordLength:
      return "Satzlänge "_oem + value + " passt nicht zu den Feldern (" + std::to_string(d.other) + ")";
    case F::Decimals:
      return "Feld "_oem + Cp1252To850(d.field) + ": Dezimalstellenzahl " + value + " zu groß für die Feldlänge "_oem +
             std::to_string(d.other);
    case F::ShortFile: return "kürzer als ihre "_oem + value + " Sätze"_oem;
    case F::RecordUnreadable:
    case F::DeletionMark: return "Satz "_oem + std::to_string(d.record) + " ungültig"_oem;
    case F::KeyTwice:
      return "Satz "_oem + std::to_string(d.record) + " und Satz " + std::to_string(d.other) + ", Feld " +
             Cp1252To850(d.field) + ": Werkstoffnummer " + value + " doppelt";
    default: return "Satz "_oem + std::to_string(d.record) + ", Feld " + Cp1252To850(d.field) + ": " + FieldWhy(d);
  }
}

}  // namespace

std::string DbfDamage(const std::string& path) { return FindingText(xb::CheckDbfFile(path).damage); }

std::string DbfKeyRecords(const std::string& path, int field, const std::map<std::int32_t, std::int32_t>*& keys) {
  return FindingText(xb::DbfKeyRecords(path, field, keys));
}

bool DbfHeldFields(const std::string& path, std::int32_t record, std::vector<std::string>& texts) {
  return xb::DbfHeldFields(path, record, texts);
}

std::string KeyTextDamage(std::string_view bytes, std::int32_t& number) {
  return FieldWhy(xb::StoredKeyDamage(bytes, number));
}

std::string QuotedBytes(std::string_view bytes) { return Quoted(bytes); }

std::string NumberTextDamage(std::string_view bytes) {
  const std::string why = NumberWhy(xb::ClassifyStoredNumber(bytes));
  return why.empty() ? why : why + " " + Quoted(bytes);
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
  const xbase::DbfFileCheck check = xbase::CheckDbfFile(path);
  // A damaged table is named, not read into empty or wrong values.
  if (check.damage) {
    ReportDamagedTable(path, FindingText(check.damage));
    return false;
  }
  // The program reads no table whose last records a cut append left out of
  // its count: the user takes them in or drops them in the table window.
  if (const std::int64_t past = forRepair ? 0 : check.pastCount; past > 0) {
    ReportDamagedTable(path, (past == 1 ? std::string("1 Datensatz") : std::to_string(past) + " Datensätze"_oem) +
                                 " hinter der Satzzahl " + std::to_string(check.count) +
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
