#include "base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "base/dialogs.h"
#include "base/fileattr.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view NameAfterSlash(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A folder text as a path to open: "" is the current folder.
std::string FolderPath(std::string_view folder) {
  return folder.empty() ? std::string(".") : std::string(folder);
}

// The regular files of the folder of pattern (its part up to the last "/")
// whose names match the rest in any case, sorted. "*.*" matches every name.
std::vector<std::string> MatchingFiles(std::string_view folderAndMask) {
  const std::string folder = ExtractFolderPart(folderAndMask);
  std::string mask(NameAfterSlash(folderAndMask));
  if (mask == "*.*") mask = "*";
  std::vector<std::string> names;
  DIR* dir = ::opendir(FolderPath(folder).c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
    if (PathIsRegularFile(folder + name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// ----------------------------------------------------------- name texts

std::string AddBackslash(std::string_view folder) {
  std::string s(TrimView(folder));
  if (!s.empty() && s.back() != '/') s.push_back('/');
  return s;
}

std::string AddBackslashB(std::string_view folder) { return AddBackslash(folder); }

std::string RemoveTrailingBackslash(std::string_view folder) {
  if (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
  return std::string(folder);
}

std::string ExtractFolderPart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string BareFileName(std::string_view path) {
  std::string_view name = NameAfterSlash(path);
  if (name.size() >= 2) {
    const std::size_t dot = name.rfind('.', name.size() - 2);
    if (dot != std::string_view::npos) name = name.substr(0, dot);
  }
  return std::string(name);
}

std::string FileNameNoExt(std::string_view path) {
  std::string_view name = NameAfterSlash(path);
  const std::size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string FileExtAfterDot(std::string_view name) {
  const std::string_view part = NameAfterSlash(name);
  const std::size_t dot = part.find('.');
  return dot == std::string_view::npos ? std::string() : std::string(part.substr(dot + 1));
}

void TrimInPlace(std::string& text) { text = std::string(TrimView(text)); }

std::string ShortenMiddle(std::string_view text, int n) {
  if (n < 0) n = 0;
  if (text.size() <= static_cast<std::size_t>(n)) return std::string(text);
  const std::size_t h = static_cast<std::size_t>(std::max(n / 2 - 3, 0));
  return std::string(text.substr(0, h)) + " ... " + std::string(text.substr(text.size() - (h + 1)));
}

// ------------------------------------------------- file and folder actions

bool FileCanBeOpened(std::string_view name) {
  TextFile f;
  f.Assign(name);
  if (f.Reset() != 0) return false;
  f.Close();
  return true;
}

std::string FileUnreadableText(std::string_view path) {
  const std::string found = ResolvePathCaseInsensitive(path);
  const std::string named = "Datei "_oem + FromUtf8(CodePage::Cp850, path);
  struct stat st {};
  int err = ::stat(found.c_str(), &st) == 0 ? 0 : errno;
  if (err == 0) {
    if (S_ISDIR(st.st_mode)) return named + " ist ein Ordner !"_oem;
    if (!S_ISREG(st.st_mode)) return named + " ist keine reguläre Datei !"_oem;
    int fd = -1;
    err = OpenRegularForReading(found, fd);
    if (err == 0) {
      ::close(fd);
      return {};
    }
  }
  // A link that leads nowhere is as missing as no name at all.
  if (err == ENOENT || err == ENOTDIR) return named + " nicht gefunden !"_oem;
  return named + " nicht lesbar: "_oem + SystemErrorText(err) + " !";
}

std::string ScratchFolder() {
  if (!RunFolder().empty()) return RunFolder();
  // A run that asked for a folder of its own and got none writes no scratch
  // file: never one under a fixed name in a shared folder.
  if (RunFolderAskedFor()) return {};
  std::string configured = TrimBlanks(G().TempFolder);
  while (configured.size() > 1 && configured.back() == '/') configured.pop_back();
  return configured;
}

std::string ScratchFile(std::string_view name) {
  const std::string folder = ScratchFolder();
  return folder.empty() ? std::string() : AddBackslash(folder) + std::string(name);
}

void RefuseScratchFile() {
  ShowError("Fehler beim Anlegen einer Datei: kein Ordner für temporäre Dateien"_oem);
  G().AbortFlag = 1;
}

std::string SystemErrorText(int err) {
  switch (err) {
    case ENOENT: return "nicht vorhanden"_oem;
    case EACCES: return "kein Zugriffsrecht"_oem;
    case EPERM: return "nicht erlaubt (Name oder Datei eines anderen Benutzers)"_oem;
    case EROFS: return "Dateisystem schreibgeschützt"_oem;
    case ENOSPC: return "Platte voll"_oem;
    case EDQUOT: return "Speicherkontingent erschöpft"_oem;
    case EFBIG: return "Datei zu groß"_oem;
    case EISDIR: return "ist ein Ordner"_oem;
    case ENOTDIR: return "Ordner nicht vorhanden"_oem;
    case ENAMETOOLONG: return "Name zu lang"_oem;
    case EINVAL: return "Name vom Dateisystem nicht angenommen"_oem;
    case EILSEQ: return "Zeichen im Namen vom Dateisystem nicht angenommen"_oem;
    case EEXIST: return "existiert bereits"_oem;
    case ENXIO: return "keine reguläre Datei"_oem;
    case ELOOP: return "zu viele Verweise"_oem;
    case EIO: return "Ein-/Ausgabefehler"_oem;
    case EBUSY:
    case ETXTBSY: return "Datei belegt"_oem;
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien"_oem;
    case ENOMEM: return "zu wenig Speicher"_oem;
    case EXDEV: return "anderes Dateisystem"_oem;
    case ENOTEMPTY: return "Ordner nicht leer"_oem;
    case EAGAIN: return "vorübergehend nicht möglich"_oem;
    default: return "Systemfehler "_oem + std::to_string(err);
  }
}

void ShowFileWriteError(std::string_view path, int err) {
  ShowErrorBox("Datei "_oem + FromUtf8(CodePage::Cp850, path) + " kann nicht geschrieben werden: "_oem +
               SystemErrorText(err));
  G().AbortFlag = 1;
}

bool FileLargerThan(std::string_view path, std::uint64_t limit) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         static_cast<std::uint64_t>(st.st_size) > limit;
}

std::string TooLargeText(std::string_view path, std::uint64_t limit) {
  return "Datei "_oem + FromUtf8(CodePage::Cp850, path) + " ist zu groß (über "_oem +
         std::to_string(limit >> 20) + " MB) !";
}

bool RefusedAsTooLarge(std::string_view path, std::uint64_t limit) {
  if (!FileLargerThan(path, limit)) return false;
  ShowError(TooLargeText(path, limit));
  return true;
}

bool ReadWholeFile(std::string_view path, std::string& bytes, std::uint64_t limit) {
  bytes.clear();
  int fd = -1;
  if (OpenRegularForReading(path, fd) != 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) <= limit;
  if (ok) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    bytes.append(buf, static_cast<std::size_t>(n));
    // A file that grows while it is read stops at the limit too.
    ok = bytes.size() <= limit;
  }
  ::close(fd);
  if (!ok) bytes.clear();
  return ok;
}

namespace {

void TakeStatOf(const struct stat& st, FileStamp& stamp) {
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.seconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  stamp.nanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
}

// "07.12.2026 09:05:12" in local time, with ",345" milliseconds when asked.
std::string FileTimeText(const FileStamp& s, bool millis) {
  const auto t = static_cast<std::time_t>(s.seconds);
  std::tm tm{};
  if (::localtime_r(&t, &tm) == nullptr) return "?";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::string text = buf;
  if (millis) {
    std::snprintf(buf, sizeof buf, ",%03d", static_cast<int>(s.nanoseconds / 1000000));
    text += buf;
  }
  return text;
}

}  // namespace

FileStamp StampOfFile(std::string_view path, std::uint64_t limit) {
  FileStamp stamp;
  if (!ReadWholeFile(path, stamp.bytes, limit)) return {};
  struct stat st {};
  if (::stat(std::string(path).c_str(), &st) != 0) return {};
  TakeStatOf(st, stamp);
  stamp.taken = true;
  return stamp;
}

FileStamp StampOfWrittenFile(std::string_view path, std::string_view bytes) {
  FileStamp stamp;
  struct stat st {};
  if (::stat(std::string(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
  TakeStatOf(st, stamp);
  stamp.bytes = bytes;
  stamp.taken = stamp.written = true;
  return stamp;
}

std::string FileChangeText(const FileStamp& then, std::string_view path) {
  struct stat st {};
  if (!then.taken || ::stat(std::string(path).c_str(), &st) != 0) return {};
  FileStamp now;
  TakeStatOf(st, now);
  std::string change;
  if (now.size != then.size) {
    change = "Größe "_oem + std::to_string(then.size) + " -> " + std::to_string(now.size) + " Bytes";
  } else {
    // Read only when the size gives nothing away.
    now = StampOfFile(path);
    if (!now.taken) return "nicht mehr lesbar"_oem;
    if (now.bytes != then.bytes) change = "Inhalt bei gleicher Größe"_oem;
  }
  if (now.seconds != then.seconds || now.nanoseconds != then.nanoseconds) {
    // Two times within one second are told apart by their milliseconds.
    const bool millis = now.seconds == then.seconds;
    change += (change.empty() ? "" : ", ") + std::string("Zeit ") + FileTimeText(then, millis) + " -> " +
              FileTimeText(now, millis);
  }
  return change;
}

bool IsFolderWritable(std::string_view folder) {
  // Asked of the system, not probed with a file: a check writes nothing.
  std::string dir = AddBackslash(folder);
  if (dir.size() > 1) dir.pop_back();
  const std::string path = FolderPath(dir);
  return PathIsDirectory(path) && ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool FolderExistsByFind(std::string_view folder) { return PathIsDirectory(FolderPath(AddBackslash(folder))); }

bool FolderExistsByChDir(std::string_view folder) {
  if (folder.empty()) return false;
  const std::string dir = RemoveTrailingBackslash(folder);
  return PathIsDirectory(dir.empty() ? std::string("/") : dir);
}

void DeleteWorkFile(std::string_view name) {
  // Only the file of exactly this name goes.
  const std::string path(name);
  if (!PathIsRegularFile(path)) return;
  ::unlink(path.c_str());
}

std::string CurrentSpringFilePath() {
  const BaseGlobals& g = G();
  if (g.CurrentFileName.empty()) return {};
  // The file the spring came from (or went to), however it was named then.
  if (!g.CurrentFilePath.empty() &&
      (g.CurrentFilePath == g.CurrentFileName ||
       (BareFileName(g.CurrentFilePath) == g.CurrentFileName &&
        ExtractFolderPart(g.CurrentFilePath) == AddBackslash(g.CurrentDataFolder))))
    return g.CurrentFilePath;
  const std::string_view name = g.CurrentFileName;
  const std::size_t slash = name.rfind('/');
  const bool hasExtension = name.find('.', slash == std::string_view::npos ? 0 : slash + 1) != std::string_view::npos;
  if (g.CommandLineFileLoaded == 1 || hasExtension) return g.CurrentFileName;
  return AddBackslash(g.CurrentDataFolder) + g.CurrentFileName + "." + g.SpringFileExtension;
}

void DeleteFilesByMask(std::string_view folder, std::string_view mask) {
  const std::string pattern = std::string(folder) + std::string(mask);
  const std::string dir = ExtractFolderPart(pattern);
  for (const std::string& name : MatchingFiles(pattern))
    if (::unlink((dir + name).c_str()) != 0) return;
}

void CopyFileBlocks(std::string_view source, std::string_view destination) {
  if (CopyFileContents(source, destination, 2048) != CopyOutcome::Ok) G().AbortFlag = 1;
}

void CopyFileToFolderOf(std::string_view source, std::string_view destination) {
  if (!FileCanBeOpened(source)) return;
  try {
    CopyFileToPath(source, AddBackslash(ExtractFolderPart(destination)));
  } catch (const std::runtime_error& e) {
    ShowError(e.what());
    G().AbortFlag = 1;
  }
}

void CopyFilesByMask(std::string_view mask, std::string_view sourceFolder, std::string_view destFolder) {
  const std::string src = AddBackslashB(sourceFolder);
  const std::string dst = AddBackslashB(destFolder);
  const std::string pattern = src + std::string(mask);
  const std::string dir = ExtractFolderPart(pattern);
  const std::vector<std::string> names = MatchingFiles(pattern);
  bool failed = false;
  for (const std::string& name : names) {
    G().AbortFlag = 0;
    CopyFileToFolderOf(dir + name, dst);
    if (G().AbortFlag != 0) failed = true;
  }
  G().AbortFlag = (names.empty() || failed) ? 1 : 0;
}

void AssignTextFile(TextFile& file, std::string_view name) { file.Assign(name); }

void CloseTextFile(TextFile& file) {
  if (file.IsOpen()) file.Close();
}

// ------------------------------------------- environment, version, dates

std::string GetEnvVar(std::string_view name) { return GetEnvironment(name); }

std::string GetFileVersionString(std::string_view fileName) {
  const std::string_view name = TrimView(fileName);
  std::string bare = BareFileName(name);
  for (char& c : bare)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (!name.empty() && bare != "wzeb1") return "0";
  const VersionParts v = ProgramVersionParts();
  std::string text = std::to_string(v.major) + "." + std::to_string(v.minor);
  if (v.release > 0) text += "." + std::to_string(v.release);
  if (v.release >= 1 && v.build >= 1) text += "." + std::to_string(v.build);
  return text;
}

void ToggleUnitSystem() { G().UnitSystem = G().UnitSystem == 1 ? 0 : 1; }

void TodayDateParts(std::uint16_t& year, std::uint16_t& month, std::uint16_t& day, std::uint16_t& fourth) {
  const std::tm tm = StampNow().tm;
  year = static_cast<std::uint16_t>(tm.tm_year + 1900);
  month = static_cast<std::uint16_t>(tm.tm_mon + 1);
  day = static_cast<std::uint16_t>(tm.tm_mday);
  fourth = 0;
}

std::string TodayDateString() {
  std::uint16_t y = 0, m = 0, d = 0, unused = 0;
  TodayDateParts(y, m, d, unused);
  return FormatDate(y, m, d);
}

void CurrentTimeParts(std::uint16_t& hour, std::uint16_t& minute, std::uint16_t& second,
                      std::uint16_t& hundredth) {
  const StampTime now = StampNow();
  const std::tm& tm = now.tm;
  hour = static_cast<std::uint16_t>(tm.tm_hour);
  minute = static_cast<std::uint16_t>(tm.tm_min);
  second = static_cast<std::uint16_t>(std::min(tm.tm_sec, 59));  // leap second
  hundredth = static_cast<std::uint16_t>(now.nanoseconds / 10000000);
}

std::string CurrentTimeString() {
  const std::tm tm = StampNow().tm;
  return TimeText(tm.tm_hour, tm.tm_min);
}

StampTexts StampNowTexts() {
  const std::tm tm = StampNow().tm;
  return {FormatDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), TimeText(tm.tm_hour, tm.tm_min)};
}

std::string StampText() {
  const StampTexts now = StampNowTexts();
  return now.date + " " + now.time;
}

std::string TimeText(int hour, int minute) {
  return std::to_string(hour) + ":" + (minute < 10 ? "0" : "") + std::to_string(minute);
}

std::string FileDateString(std::time_t fileTime) {
  std::tm tm{};
  if (::localtime_r(&fileTime, &tm) == nullptr) return "0000/00/00";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return buf;
}

int MaxPrinterPort() { return 3; }

}  // namespace zeb
