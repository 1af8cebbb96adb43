#include "base/help.h"

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/services.h"
#include "base/text.h"
#include "base/textfile.h"
#include "base/ui_port.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

constexpr std::size_t kMatchLength = 14;
constexpr std::size_t kHelpBoxLimit = 1000;

int EffectiveNumber(int n) { return n == 0 ? G().HelpNumber : n; }

std::string AsciiLower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// A path inside a message (code page 850).
std::string PathForMessage(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

// The entry number in the first 4 characters: blanks, an optional sign and
// decimal digits only.
bool EntryNumber(std::string_view line, int& n) {
  std::string_view f = line.substr(0, 4);
  std::size_t i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  bool negative = false;
  if (i < f.size() && (f[i] == '-' || f[i] == '+')) negative = f[i++] == '-';
  if (i == f.size()) return false;
  int v = 0;
  for (; i < f.size(); ++i) {
    if (f[i] < '0' || f[i] > '9') return false;
    v = v * 10 + (f[i] - '0');
  }
  n = negative ? -v : v;
  return true;
}

// The picture name after the first ":", as it stands; "NULL" without one.
std::string PictureOf(std::string_view entryLine) {
  std::size_t colon = entryLine.find(':');
  return colon == std::string_view::npos ? std::string("NULL") : std::string(entryLine.substr(colon + 1));
}

struct HelpText {
  int number = 0;
  std::array<std::string, 6> line;  // 1..5, code page 850
  std::string picture = "null";
  bool found = false;       // text taken from the file
  bool clearAbort = false;  // missing, or ended after line 5 / at the end
};

// Reads one line; a read error counts as the end of the file.
bool ReadOk(TextFile& f, std::string& s) { return f.ReadLine(s) == 0; }

HelpText FindHelpText(int n) {
  HelpText h;
  h.number = EffectiveNumber(n);
  const std::string path = HelpFileName(h.number);
  if (FileLargerThan(ResolvePathCaseInsensitive(path))) {
    h.line[1] = TooLargeText(path);
    h.clearAbort = true;
    return h;
  }
  TextFile f;
  f.Assign(path);
  if (f.Reset() != 0) {
    h.line[1] = "Datei " + PathForMessage(path) + " nicht gefunden !";
    h.clearAbort = true;
    return h;
  }
  std::string entry, text, picture;
  for (;;) {
    if (f.Eof() || !ReadOk(f, entry)) break;
    int number = 0;
    const bool numbered = EntryNumber(entry, number);
    if (numbered) {
      if (!ReadOk(f, text)) break;
    } else {
      text = entry;
    }
    // The end of the file is tested after the text line: an entry whose
    // text is the last line is not found.
    if (f.Eof()) break;
    if (numbered && number == h.number) {
      h.found = true;
      picture = PictureOf(entry);
      break;
    }
  }
  if (!h.found) {
    h.line[1] = "Hilfetext Nr " + std::to_string(h.number) + ": keine Hilfe vorhanden.";
    h.clearAbort = true;
    return h;
  }
  h.picture = picture;
  h.line[1] = text;
  // Entry N+j fills line j+1; a gap leaves its line empty; a number that is
  // a multiple of 5 starts the next text.
  int k = 2;
  bool endedByEntry = false;
  std::string s;
  while (k <= 5) {
    if (f.Eof() || !ReadOk(f, s)) break;
    int number = 0;
    if (!EntryNumber(s, number)) {
      h.line[k++] = s;
      continue;
    }
    if (number % 5 == 0) {
      endedByEntry = true;
      break;
    }
    if (!ReadOk(f, text)) break;
    const long long j = static_cast<long long>(number) - h.number + 1;
    if (j >= k && j <= 5) {
      h.line[j] = text;
      k = static_cast<int>(j) + 1;
    } else {
      ++k;
    }
  }
  h.clearAbort = !endedByEntry;
  return h;
}

std::string JoinedAnsi(const HelpText& h) {
  std::string r = OemToAnsiStr(h.line[1]);
  for (int k = 2; k <= 5; ++k) r += ' ' + OemToAnsiStr(h.line[k]);
  return r;
}

bool SameStart(std::string_view a, std::string_view b) {
  return a.substr(0, kMatchLength) == b.substr(0, kMatchLength);
}

std::string MessageOf(int k) {
  if (k < 1 || k > 12) return {};
  return G().ErrorMessageList.slot[static_cast<std::size_t>(k)];
}

enum class Search { Found, NotFound, ReadError };

// Reads until a line matches message; a match on the last line of the file
// counts as not found (its cause and remedy are missing).
Search FindMessage(TextFile& f, std::string_view message) {
  std::string s;
  for (;;) {
    if (f.ReadLine(s) != 0) return Search::ReadError;
    if (f.Eof()) return Search::NotFound;
    if (SameStart(s, message)) return Search::Found;
  }
}

// Cause and remedy are single lines of the file.
std::string OneLine(std::string_view s) { return JoinTextLines(s, " "); }

// Names the file the error is about.
void ShowIoError(int code, std::string_view path) {
  const std::string file = ": " + FromUtf8(CodePage::Cp850, path);
  if (code == kIoReadError)
    ShowError("Lesefehler" + file);
  else if (code == kIoDiskFull)
    ShowError("Diskette/Platte voll" + file);
  else
    ShowError("Fehler bei Zugriff auf Diskette/Platte" + file + " (" + IoResultText(code) + ")");
  G().AbortFlag = 1;
}

}  // namespace

void SetHelpTextNumber(int n) { G().HelpNumber = static_cast<std::uint16_t>(n); }

std::string HelpFileName(int n) {
  n = EffectiveNumber(n);
  const std::string name = n < 4000 ? std::string("talmore.hlp") : AsciiLower(G().ProgramShortName) + ".hlp";
  return AddBackslash(G().HelpFolder) + name;
}

void ShowHelpText(int n, std::string_view /*text*/, int mode) {
  const HelpText h = FindHelpText(n);
  if (mode == 0 || mode == 1) {
    std::string box;
    for (int k = 1; k <= 5; ++k) box += h.line[k] + ' ';
    if (box.size() > kHelpBoxLimit) box.resize(kHelpBoxLimit);
    ShowInfoBox("HILFETEXT Nr." + std::to_string(h.number), box);
  }
  if (mode == 0 || mode == 2) {
    // A text without a picture leaves the sheet on the screen as it is.
    if (!h.picture.empty() && h.picture != "NULL") {
      Graphics().GrafClear();
      Graphics().GrafHeader(false, 0, 0, 160, 120);
      Graphics().PlayHpglFile(AddBackslash(G().HelpFolder) + ToUtf8(CodePage::Cp850, h.picture) + ".plt");
    } else if (mode == 2) {
      ShowInfoBox("Hilfebild", "Zu diesem Eingabefeld gibt es kein Hilfebild.");
    }
  }
  if (h.clearAbort) G().AbortFlag = 0;
}

std::string GetHelpText(int n) {
  const HelpText h = FindHelpText(n);
  if (h.clearAbort) G().AbortFlag = 0;
  return h.found ? JoinedAnsi(h) : OemToAnsiStr(h.line[1]);
}

std::string GetHelpTextB(int n) { return GetHelpText(n); }

std::string HelpHintText(int n) {
  const HelpText h = FindHelpText(n);
  if (h.clearAbort) G().AbortFlag = 0;
  if (!h.found) return {};
  std::string r = JoinedAnsi(h);
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

std::string ErrFileName() { return AddBackslash(G().HelpFolder) + AsciiLower(G().ProgramShortName) + ".err"; }

std::string UserHelpDataFolder() {
  std::string base = GetEnvVar("XDG_DATA_HOME");
  if (base.empty() || base.front() != '/') {
    const std::string home = GetEnvVar("HOME");
    if (home.empty()) return {};
    base = AddBackslash(home) + ".local/share";
  }
  return AddBackslash(base) + "zeb1/";
}

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  // The last answer is kept: a printout asks for every message twice.
  static std::string lastA, lastB;
  static bool lastSame = false;
  if (!lastA.empty() && a == lastA && b == lastB) return lastSame;
  std::error_code ec1, ec2;
  const auto ca = std::filesystem::weakly_canonical(a, ec1), cb = std::filesystem::weakly_canonical(b, ec2);
  lastSame = ec1 || ec2 ? AddBackslash(a) == AddBackslash(b) : AddBackslash(ca.string()) == AddBackslash(cb.string());
  lastA = a;
  lastB = b;
  return lastSame;
}

// Edits of the shipped help folder, or of one the user cannot write, are
// kept in the user's folder.
bool EditsGoToUserCopy() {
  const BaseGlobals& g = G();
  if (UserHelpDataFolder().empty()) return false;
  if (!g.ShippedHelpFolder.empty() && SameFolder(g.HelpFolder, g.ShippedHelpFolder)) return true;
  return !IsFolderWritable(g.HelpFolder);
}

std::string ErrName() { return AsciiLower(G().ProgramShortName) + ".err"; }

}  // namespace

namespace {

bool IsTextByte(unsigned char c) { return c >= 0x20 || c == '\t' || c == '\r' || c == '\n' || c == 0x1A; }

// Text an editor saved in UTF-8: every byte above 127 belongs to a
// well-formed UTF-8 sequence, and there is one. German code page 850 text
// never reads so: its umlauts stand alone.
bool IsUtf8Text(std::string_view bytes) {
  bool multibyte = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[at]);
    if (c < 0x80) {
      ++at;
      continue;
    }
    const std::size_t follow = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    if (follow == 0 || bytes.size() - at <= follow) return false;
    for (std::size_t k = 1; k <= follow; ++k)
      if ((static_cast<unsigned char>(bytes[at + k]) & 0xC0) != 0x80) return false;
    multibyte = true;
    at += follow + 1;
  }
  return multibyte;
}

// Why a user's copy of a help file cannot stand in for the shipped one ("" when it can):
// empty, too large, not code page 850 text (control bytes, or UTF-8), or without one entry (three lines of a
// message-help file, a quoted line of a picture catalogue).
std::string WhyUnusable(const std::string& path, std::string_view name) {
  if (FileLargerThan(path)) return "über "_oem + std::to_string(kReadWholeLimit >> 20) + " MB";
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return "nicht lesbar"_oem;
  if (bytes.find_first_not_of(" \t\r\n\x1a") == std::string::npos) return "leer"_oem;
  for (const char c : bytes)
    if (!IsTextByte(static_cast<unsigned char>(c))) return "kein Text"_oem;
  if (IsUtf8Text(bytes)) return "UTF-8 statt Codepage 850"_oem;
  const bool catalogue = name.size() > 4 && AsciiLower(name.substr(name.size() - 4)) == ".dbh";
  int lines = 0;
  bool quoted = false;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view line = std::string_view(bytes).substr(at, end - at);
    if (line.find_first_not_of(" \t\r\x1a") != std::string_view::npos) ++lines;
    if (!line.empty() && line[0] == '"') quoted = true;
    at = end + 1;
  }
  if (catalogue ? !quoted : lines < 3) return "keine Einträge"_oem;
  return {};
}

// The verdict on a user's copy, kept while the file stays the same.
struct CopyVerdict {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  std::string why;
};

bool UserCopyUsable(const std::string& user, std::string_view name, const std::string& shipped) {
  static std::map<std::string, CopyVerdict> verdicts;
  static std::set<std::string> named;  // each unusable copy is named once a session
  struct stat st {};
  if (::stat(user.c_str(), &st) != 0) return false;
  CopyVerdict& v = verdicts[user];
  if (v.dev != st.st_dev || v.ino != st.st_ino || v.size != st.st_size || v.mtime.tv_sec != st.st_mtim.tv_sec ||
      v.mtime.tv_nsec != st.st_mtim.tv_nsec || std::time(nullptr) - st.st_mtim.tv_sec < 2) {
    v = CopyVerdict{st.st_dev, st.st_ino, st.st_size, st.st_mtim, WhyUnusable(user, name)};
  }
  if (v.why.empty()) return true;
  if (named.insert(user).second)
    ShowError("Eigene Hilfedatei "_oem + PathForMessage(user) + " unbrauchbar (" + v.why + "), es gilt "_oem +
              PathForMessage(shipped));
  return false;
}

}  // namespace

std::string HelpDataFileToRead(std::string_view name) {
  const std::string shipped = ResolvePathCaseInsensitive(AddBackslash(G().HelpFolder) + std::string(name));
  if (EditsGoToUserCopy()) {
    const std::string user = UserHelpDataFolder() + std::string(name);
    if (PathIsRegularFile(user) && UserCopyUsable(user, name, shipped)) return user;
  }
  return shipped;
}

std::string HelpDataFileToWrite(std::string_view name) {
  if (!EditsGoToUserCopy()) return ResolvePathCaseInsensitive(AddBackslash(G().HelpFolder) + std::string(name));
  const std::string folder = UserHelpDataFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder + std::string(name);
}

void ShowErrorHelp(int k) {
  const std::string path = HelpDataFileToRead(ErrName());
  if (RefusedAsTooLarge(path)) {
    G().AbortFlag = 1;
    return;
  }
  if (!OpenWorkTextFileForReading(path)) {
    CheckFileReadable(path);  // shows why
    G().AbortFlag = 1;
    return;
  }
  TextFile& f = WorkTextFile();
  const std::string message = MessageOf(k);
  const Search found = FindMessage(f, message);
  if (found != Search::Found) {
    f.Close();
    if (found == Search::ReadError)
      G().AbortFlag = 1;
    else
      ShowInfoBox("Meldung", "keine Beschreibung dieser Fehlermeldung vorhanden.");
    return;
  }
  std::string cause, remedy;
  const bool ok = f.ReadLine(cause) == 0 && f.ReadLine(remedy) == 0;
  f.Close();
  if (!ok) {
    G().AbortFlag = 1;
    return;
  }
  OpenErrorHelpForm(message, cause, remedy);
}

namespace {

// The message-help file as its reader saw it: every line with the result
// of its read and whether the end followed, plus two reads past the end.
// Kept while the file (path, inode, size, time) stays the same, so a
// printout with many messages reads it once. A file changed in the last
// two seconds is read every time: a second change within the clock's
// step would keep its time.
struct ErrLines {
  std::string path;
  struct stat st {};
  bool opened = false;
  bool reusable = false;
  struct Line {
    std::string text;
    int rc = 0;
    bool eof = false;
  };
  std::vector<Line> lines;
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

const ErrLines& ErrFileLines() {
  static ErrLines cache;
  const std::string path = HelpDataFileToRead(ErrName());
  struct stat st {};
  const bool there = ::stat(path.c_str(), &st) == 0;
  if (there && cache.reusable && path == cache.path && SameFile(st, cache.st)) return cache;
  cache = ErrLines{};
  cache.path = path;
  cache.st = st;
  cache.reusable = there && std::time(nullptr) - st.st_mtim.tv_sec >= 2;
  if (there && static_cast<std::uint64_t>(st.st_size) > kReadWholeLimit) {
    // Named once a session: a printout asks for every message.
    static std::set<std::string> named;
    if (named.insert(path).second) ShowError(TooLargeText(path));
    return cache;
  }
  TextFile f;
  f.Assign(path);
  if (!there || f.Reset() != 0) return cache;
  cache.opened = true;
  for (int past = 0; past < 3;) {
    ErrLines::Line l;
    l.rc = f.ReadLine(l.text);
    l.eof = l.rc != 0 || f.Eof();
    cache.lines.push_back(std::move(l));
    if (cache.lines.back().rc != 0) break;
    if (cache.lines.back().eof) ++past;
  }
  f.Close();
  return cache;
}

// FindMessage over the kept lines: the index of the matching line.
Search FindMessageLine(const ErrLines& f, std::string_view message, std::size_t& at) {
  for (at = 0; at < f.lines.size(); ++at) {
    const ErrLines::Line& l = f.lines[at];
    if (l.rc != 0) return Search::ReadError;
    if (l.eof) return Search::NotFound;
    if (SameStart(l.text, message)) return Search::Found;
  }
  return Search::NotFound;
}

// The line `ahead` reads after the match; false when that read failed.
bool LineAfter(const ErrLines& f, std::size_t at, std::size_t ahead, std::string& s) {
  if (at + ahead >= f.lines.size()) return false;
  for (std::size_t i = at + 1; i <= at + ahead; ++i)
    if (f.lines[i].rc != 0) return false;
  s = f.lines[at + ahead].text;
  return true;
}

}  // namespace

std::string ErrorCauseHint(int k) {
  const ErrLines& f = ErrFileLines();
  std::size_t at = 0;
  std::string s;
  if (!f.opened || FindMessageLine(f, MessageOf(k), at) != Search::Found || !LineAfter(f, at, 1, s)) return {};
  return OemToAnsiStr(s);
}

void GetErrorCause(int k, std::string& text) {
  if (G().AbortFlag != 0) return;
  const ErrLines& f = ErrFileLines();
  if (!f.opened) return;
  std::size_t at = 0;
  const Search found = FindMessageLine(f, MessageOf(k), at);
  std::string s;
  if (found == Search::NotFound)
    text = "keine Beschreibung dieser Fehlermeldung vorhanden.";
  else if (found == Search::Found && LineAfter(f, at, 1, s))
    text = s;
}

void GetErrorRemedy(int k, std::string& text) {
  const ErrLines& f = ErrFileLines();
  std::size_t at = 0;
  std::string remedy;
  if (f.opened && FindMessageLine(f, MessageOf(k), at) == Search::Found && LineAfter(f, at, 2, remedy)) text = remedy;
}

void OpenErrorHelpForm(std::string_view message, std::string_view cause, std::string_view remedy) {
  const ErrorHelpTexts texts{OemToAnsiStr(message), OemToAnsiStr(cause), OemToAnsiStr(remedy)};
  const ErrorHelpResult result = Ui().ErrorHelpForm(texts, [] { ShowHelpText(1970, "", 1); });
  if (!result.modified) return;
  if (!AskYesNoCancel("Save Changes ?")) return;
  // The message field is read-only: the entry is looked up by the message as
  // given (a round trip through Windows text would alter characters that
  // Windows lacks).
  WriteErrEntry(message, AnsiLineToOem(result.texts.cause), AnsiLineToOem(result.texts.remedy));
}

void WriteErrEntry(std::string_view message, std::string_view cause, std::string_view remedy) {
  const std::string path = HelpDataFileToRead(ErrName());
  if (RefusedAsTooLarge(path)) {
    G().AbortFlag = 1;
    return;
  }
  if (!OpenWorkTextFileForReading(path)) {
    CheckFileReadable(path);
    G().AbortFlag = 1;
    return;
  }
  TextFile& in = WorkTextFile();
  // The copy is written beside its target and replaces it when complete;
  // the first edit of a shipped file makes the user's copy.
  TextFile out;
  out.Assign(HelpDataFileToWrite(ErrName()));
  RewriteChecked(out);
  if (!out.IsOpen()) {
    in.Close();
    G().AbortFlag = 1;
    return;
  }
  // A failure names the file it is of: the one read, or the copy written.
  auto fail = [&](int code, const std::string& file) {
    in.Close();
    out.Discard();
    ShowIoError(code, file);
  };
  const std::string written = out.Path();
  std::string s;
  int rc = 0;
  bool found = false;
  for (;;) {
    if ((rc = in.ReadLine(s)) != 0) return fail(rc, path);
    if ((rc = out.WriteLine(s)) != 0) return fail(rc, written);
    if (SameStart(s, message)) {
      found = true;
      break;
    }
    if (in.Eof()) break;
  }
  if (!found) {
    in.Close();
    out.Discard();
    ShowOemMessage(std::string(message) + " not found.");
    return;
  }
  // Old cause and remedy out, new ones in.
  if ((rc = in.ReadLine(s)) != 0) return fail(rc, path);
  if ((rc = out.WriteLine(OneLine(cause))) != 0) return fail(rc, written);
  if ((rc = in.ReadLine(s)) != 0) return fail(rc, path);
  if ((rc = out.WriteLine(OneLine(remedy))) != 0) return fail(rc, written);
  // The rest; a line is copied at least once, so an entry at the very end
  // leaves one empty line behind it.
  do {
    if ((rc = in.ReadLine(s)) != 0) return fail(rc, path);
    if ((rc = out.WriteLine(s)) != 0) return fail(rc, written);
  } while (!in.Eof());
  in.Close();
  CloseFileChecked(out);
}

void ShowCalcMessages() {
  if (HasCommandLineSwitch("/NOGUI")) return;
  const int c = G().ErrorMessageList.count > 12 ? 12 : G().ErrorMessageList.count;
  if (c == 0) {
    ShowMessageText("Berechnung erfolgreich ohne Fehlermeldungen");
    return;
  }
  G().AbortFlag = 0;
  if (G().LineTable.size() < static_cast<std::size_t>(c) + 2) G().LineTable.resize(static_cast<std::size_t>(c) + 2);
  for (int i = 1; i <= c; ++i) G().LineTable[static_cast<std::size_t>(i)] = MessageOf(i);
  G().LineTable[static_cast<std::size_t>(c) + 1] = "Weiter/zurück..."_oem;
  std::int16_t choice = static_cast<std::int16_t>(G().HelpLevel < 2 ? c + 1 : 1);
  for (;;) {
    SetCurrentHelpNumber(1210);
    AskChoice("Berechnungsmodul meldet Warnungen oder Fehler, siehe Ursache und Abhilfe.", c + 1, choice);
    if (G().AbortFlag != 0 || choice == c + 1) return;
    ShowErrorHelp(choice);
    if (G().AbortFlag != 0) return;
    ++choice;
    if (choice == c + 1) return;
  }
}

}  // namespace zeb
