#include "xbase/core/errors.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "platform/codepage.h"
#include "platform/files.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/engine.h"

namespace zeb::xbase {

namespace {

using Entry = std::pair<std::uint16_t, std::string>;

// Texts as the engine shows them, trailing blanks included; written here in
// UTF-8 and held in Windows-1252.
const std::vector<Entry>& Table() {
  static const std::vector<Entry> table = [] {
    std::vector<Entry> t = {
      {1, "Unzulässiger DOS-Funktionscode"},
      {2, "Datei nicht gefunden"},
      {3, "Pfad nicht gefunden"},
      {4, "Zu viele Dateien geöffnet"},
      {5, "Dateizugriff verweigert"},
      {6, "Unzulässiges Datei-Handle"},
      {8, "Zu wenig Speicher"},
      {9, "Unzulässige Speicherblock-Adresse"},
      {10, "Ungültige MS-DOS-Umgebung"},
      {11, "Unzulässiges Aufrufformat"},
      {12, "Unzulässiger Dateizugriff "},
      {13, "Datenfehler"},
      {14, "Ungültiges Peripheriegerät"},
      {15, "Unzulässige Laufwerknummer."},
      {16, "Entfernen des aktiven Verzeichnisses unzulässig"},
      {17, "Umbenennung auf ein anderes Laufwerk unzulässig"},
      {18, "Zu viele Dateien geöffnet"},
      {19, "Diskette schreibgeschützt"},
      {20, "Ungültiges Peripheriegerät"},
      {21, "Laufwerk nicht bereit"},
      {23, "Prüfsummenfehler"},
      {24, "Ungültiger Diskparameterblock"},
      {25, "Plattenpositionierungsfehler"},
      {26, "Unbekanntes Medium"},
      {27, "Sektor nicht gefunden."},
      {28, "Kein Papier im Drucker"},
      {29, "Schreibfehler bei Zugriff auf Peripheriegerät"},
      {30, "Lesefehler bei Zugriff auf Peripheriegerät"},
      {31, "Allgemeiner Fehler"},
      {32, "Fehler beim gemeinsamen Dateizugriff"},
      {33, "Fehler bei Dateisperre"},
      {34, "Unzulässiger Diskettenwechsel"},
      {35, "Zugriff zum Dateikontrollblock unmöglich"},
      {36, "Überlauf des gemeinsamen Dateipuffers"},
      {50, "Netzwerkanfrage nicht unterstützt"},
      {51, "Gerät mit Fernzugriff nicht bereit"},
      {52, "Doppelte Namensgebung auf Netzwerk"},
      {53, "Netzwerkname nicht gefunden"},
      {54, "Netzwerk überlastet"},
      {55, "Gerät nicht mehr auf dem Netzwerk vorhanden"},
      {56, "NetBios Befehlsgrenze überschritten"},
      {57, "Gerätefehler im Netzwerk-Adapter"},
      {58, "Falsche Antwort vom Netzwerk"},
      {59, "Unerwarteter Netzwerkfehler"},
      {60, "Konflikt beim Adapter mit Fernzugriff"},
      {100, "Disketten-/Festplatten-Lesefehler"},
      {101, "Disketten-/Festplatten-Schreibfehler"},
      {102, "Datei nicht zugewiesen (assign)"},
      {103, "Datei nicht geöffnet"},
      {104, "Datei zur Eingabe nicht geöffnet"},
      {105, "Datei zur Ausgabe nicht geöffnet"},
      {106, "Unzulässiges Zahlenformat"},
      {150, "Diskette schreibgeschützt"},
      {151, "Ungültiges Peripheriegerät"},
      {152, "Laufwerk nicht bereit"},
      {154, "Prüfsummenfehler"},
      {155, "Ungültiger Diskparameterblock"},
      {156, "Plattenpositionierungsfehler"},
      {157, "Unbekanntes Medium"},
      {158, "Sektor nicht gefunden."},
      {159, "Kein Papier im Drucker"},
      {160, "Schreibfehler bei Zugriff auf Peripheriegerät"},
      {161, "Lesefehler bei Zugriff auf Peripheriegerät"},
      {162, "Fehler beim gemeinsamen Dateizugriff"},
      {200, "Division durch Null"},
      {201, "Bereichsprüffehler"},
      {202, "Stapelüberlauf"},
      {203, "Heapüberlauf"},
      {204, "Unzulässige Zeigeroperation"},
      {205, "Fließkommaüberlauf"},
      {206, "Fließkommaunterlauf"},
      {207, "Fließkommafehler"},
      {208, "Overlay-Manager nicht installiert"},
      {209, "Overlay-Lesefehler"},
      {210, "Keine dBASE-Datei"},
      {211, "Unzulässige Feldangabe"},
      {212, "Anfrage außerhalb Bereich"},
      {213, "Unerwartetes Dateiende"},
      {214, "Datenbank wird bereits benutzt"},
      {215, "Keine Datenbank (bzw. kein Arbeitsbereich) geöffnet."},
      {216, "Allgemeine Schutzverletzung (GPF)"},
      {217, "Zu wenig Platz im Arbeitsspeicher"},
      {218, "Unzulässige Zeigervariable"},
      {219, "Datei-Handle nicht duplizierbar"},
      {220, "Unzulässiger Parameter"},
      {221, "Index-Datei nicht geöffnet"},
      {222, "Beschädigte Index-Datei"},
      {223, "Falsche Index-Version"},
      {224, "Zyklische Relation"},
      {225, "Exklusiver Zugriff erforderlich"},
      {226, "BROWSE nicht aktiv"},
      {227, "Speichermediumplatz unzureichend "},
      {228, "Anzahl Push/Pops nicht ausgeglichen "},
      {229, "dBASE IV Memo-Dateien nicht unterstützt"},
      {230, "Keine dBASE Variablen geladen"},
      {231, "Bildschirmbibliothek nicht gefunden"},
      {239, "Fehlender Doppelpunkt in der Zeitangabe"},
      {240, "Nicht-numerisches Zeichen in der Zeitangabe"},
      {241, "Ungültige Zeitangabe"},
      {242, "Negative Zeitangabe"},
      {243, "Negatives TimeDiff-Ergebnis"},
      {254, "Interner XBASE-Fehler"},
      {266, "Unzulässige Größe des Datenpuffers"},
      {1003, "Unzulässige Memo-Adresse"},
      {1004, "Speichermedium voll "},
      {1005, "Memo-Schreibfehler"},
      {1007, "Memo ist bereits geöffnet"},
      {1012, "Unzureichender Speichermediumplatz zum Packen der Memo-Datei"},
      {1017, "Memo-Datei nicht sperrbar"},
      {1018, "Memo-Datei nicht entsperrbar"},
      {1019, "Unzulässige Memo-Operation: Datei nicht geöffnet oder kein Memo-Feld in der Datei"},
      {1100, "Nicht anwendbar bei eingebundenen Listen"},
      {1101, "Virtuelle Datei-Verwaltungs-Unit nicht eingebunden"},
      {1102, "Fehler in der Verwaltung der virtuellen Datei"},
      {1103, "Unzulässige Ausführung "},
      {1200, "Datensatz nicht gesperrt"},
      {1201, "Datei nicht gesperrt"},
      {1202, "Semaphore-Dateifehler. Abhilfe: Am Netzwerk anmelden oder SHARE.EXE vor dem Start von Windows laden"},
      {1300, "File format not supported"},
    };
    for (auto& e : t) e.second = FromUtf8(CodePage::Cp1252, e.second);
    return t;
  }();
  return table;
}

// The stop step of TzError.
void StopStep() {
  TzEngine& e = Engine();
  if (e.halting) return;
  e.lastError = e.currentError;
  if (e.currentError == 0) return;
  const std::uint16_t code = e.currentError;
  std::string message = TzErrorText(code) + "\r\n" + TzTakeLastErrorText();
  if (e.raiseMode) throw ETzError(message);
  TzMessageBox(message, "Programm angehalten.", 16);
  e.halting = true;
  // An exit code of 0 would report success.
  int exitCode = code & 0xFF;
  if (exitCode == 0) exitCode = 1;
  auto exitProcess = e.exitProcess;
  if (exitProcess) exitProcess(exitCode);
}

}  // namespace

void TzError(std::uint16_t code, std::string_view text) {
  TzEngine& e = Engine();
  e.currentError = code;
  e.lastError = code;
  e.lastErrorText.assign(text);
  if (e.errorSwitch) StopStep();
}

std::string TzErrorTableText(std::uint16_t code) {
  const auto& t = Table();
  auto it = std::lower_bound(t.begin(), t.end(), code,
                             [](const Entry& a, std::uint16_t c) { return a.first < c; });
  if (it != t.end() && it->first == code) return it->second;
  if (code >= 1203 && code <= 1299) return "Netzwerkfehler";
  return "Unbekannter Fehler";
}

std::string TzErrorText(std::uint16_t code) {
  if (code == 0) return {};
  char digits[8];
  auto r = std::to_chars(digits, digits + sizeof digits, static_cast<unsigned>(code));
  return "Fehler Nr. " + std::string(digits, r.ptr) + " (" + TzErrorTableText(code) + ")";
}

std::string TzTakeLastErrorText() {
  TzEngine& e = Engine();
  std::string text = std::move(e.lastErrorText);
  e.lastErrorText.clear();
  e.lastError = 0;
  return text;
}

std::string TzLastErrorMessage() {
  TzEngine& e = Engine();
  if (e.lastError == 0) return {};
  std::string head = TzErrorText(e.lastError);
  return head + "\r\n" + TzTakeLastErrorText();
}

bool SetTzErrorSwitch(bool on) {
  bool old = Engine().errorSwitch;
  Engine().errorSwitch = on;
  return old;
}

bool SetTzRaiseMode(bool on) {
  bool old = Engine().raiseMode;
  Engine().raiseMode = on;
  return old;
}

void RaiseTzError(const std::string& message) { throw ETzError(message); }

// Text and caption whole: a failure naming a file of a long path tells
// what the file then holds after the path.
int TzMessageBox(std::string_view text, std::string_view caption, std::uint16_t flags) {
  return Callback().MessageBox(text, caption, flags);
}

std::uint16_t TzCurrentError() { return Engine().currentError; }
void SetTzCurrentError(std::uint16_t code) { Engine().currentError = code; }

std::uint16_t ErrnoToTzCode(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EROFS: return 19;
    case EAGAIN: return 33;
    case ENOSPC:
    case EFBIG: return 101;
    default: return 31;
  }
}

namespace {
TableDamage& DamageSlot() {
  static TableDamage damage;
  return damage;
}
}  // namespace

ETzWriteError::ETzWriteError(std::uint16_t code, std::string reason, std::string file, std::string consequence,
                             std::int32_t appended)
    : ETzError("Die Datei " + file + " kann nicht geschrieben werden: " + reason + ". " + consequence),
      code_(code),
      reason_(std::move(reason)),
      file_(std::move(file)),
      consequence_(std::move(consequence)),
      appended_(appended) {}

std::string ETzWriteError::Text(std::string_view fileShown) const {
  return "Die Datei " + std::string(fileShown) + " kann nicht geschrieben werden: " + reason_ + ". " + consequence_;
}

namespace {
// "Fehler Nr. <code> (…)" as the whole line: the code, else 0.
std::uint16_t EngineCodeLine(std::string_view line) {
  constexpr std::string_view head = "Fehler Nr. ";
  if (!line.starts_with(head) || line.empty() || line.back() != ')') return 0;
  unsigned code = 0;
  const char* first = line.data() + head.size();
  const auto [end, ec] = std::from_chars(first, line.data() + line.size(), code);
  if (ec != std::errc{} || code > 0xFFFF || std::string_view(end, 2) != " (") return 0;
  return static_cast<std::uint16_t>(code);
}
}  // namespace

std::string UserFailureText(std::string_view message) {
  // The run's own folder holds scratch files only; the temporary folder
  // also holds copies of tables, of which only the indexes are scratch.
  std::vector<std::pair<std::string, bool>> scratch;  // folder, indexes only
  for (std::string folder : {RunFolder(), ScratchDirectory(), TempDirectory()}) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.size() > 1) scratch.emplace_back(folder + "/", folder != RunFolder());
  }
  std::string out;
  std::size_t start = 0;
  while (start <= message.size()) {
    std::size_t end = message.find('\n', start);
    if (end == std::string_view::npos) end = message.size();
    std::string line(message.substr(start, end - start));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    // The routine: "[Name]" or "[Name(arguments)]" closing the line.
    if (!line.empty() && line.back() == ']') {
      int depth = 0;
      std::size_t open = std::string::npos;
      for (std::size_t i = line.size(); i-- > 0;) {
        if (line[i] == ']') ++depth;
        if (line[i] == '[' && --depth == 0) {
          open = i;
          break;
        }
      }
      if (open != std::string::npos) line.erase(open);
      while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    for (const auto& [folder, indexesOnly] : scratch) {
      for (std::size_t at = line.find(folder); at != std::string::npos; at = line.find(folder, at + 1)) {
        // The file's name ends the path (the folder may hold blanks).
        std::size_t stop = line.find_first_of(" ,;)\t", at + folder.size());
        if (stop == std::string::npos) stop = line.size();
        std::string file = line.substr(at, stop - at);
        for (char& c : file) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (indexesOnly && (file.size() < 4 || file.compare(file.size() - 4, 4, ".ndx") != 0)) continue;
        const std::string shown = std::string(at > 0 && line[at - 1] != ' ' ? " " : "") + "(temporäre Datei)"_ansi;
        line.replace(at, stop - at, shown);
        at += shown.size() - 1;
      }
    }
    // The engine's number of a refused write becomes its cause.
    if (const std::string cause = DiskCauseOf(EngineCodeLine(line)); !cause.empty()) {
      line = cause + ".";
      line[0] = static_cast<char>(line[0] >= 'a' && line[0] <= 'z' ? line[0] - 'a' + 'A' : line[0]);
    }
    if (!line.empty()) out += (out.empty() ? "" : "\n") + line;
    start = end + 1;
  }
  return out;
}

void NoteWriteFailure(int fd, int err) {
  TzEngine& e = Engine();
  e.writeErrno = err;
  e.writeFile.clear();
  // The path whole, however long.
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  std::string path(4096, '\0');
  for (;;) {
    const ssize_t n = ::readlink(link.c_str(), path.data(), path.size());
    if (n <= 0) return;
    if (static_cast<std::size_t>(n) < path.size()) {
      e.writeFile.assign(path.data(), static_cast<std::size_t>(n));
      return;
    }
    path.resize(path.size() * 2);
  }
}

void NoteWriteFailureOf(std::string_view file, int err) {
  TzEngine& e = Engine();
  e.writeErrno = err;
  e.writeFile.assign(file);
}

WriteFailure LastWriteFailure() {
  const TzEngine& e = Engine();
  return {e.writeErrno, e.writeFile};
}

void ClearWriteFailure() {
  TzEngine& e = Engine();
  e.writeErrno = 0;
  e.writeFile.clear();
}

std::string WriteFailureReason(int err, std::uint16_t code) {
  switch (err) {
    case 0: break;
    case ENOSPC:
    case EDQUOT: return "Der Datenträger ist voll"_ansi;
    // Past the file size the file system or the process allows.
    case EFBIG: return "Die Datei überschreitet die zulässige Dateigröße"_ansi;
    case EACCES: return "keine Schreibberechtigung";
    // A write Linux refuses to root as well: the file or its folder is
    // marked immutable (or append-only).
    case EPERM: return "die Datei oder ihr Ordner ist unveränderlich (schreibgeschützt)"_ansi;
    case EROFS: return "der Datenträger ist schreibgeschützt"_ansi;
    default: return "Schreibfehler des Datenträgers"_ansi;
  }
  switch (code) {
    case 19:
    case 150: return "der Datenträger ist schreibgeschützt"_ansi;
    case 101:
    case 227:
    case 1004:
    case 1012: return "Der Datenträger ist voll"_ansi;
    default: return {};
  }
}

std::string DiskCauseOf(std::uint16_t code) {
  if (code == 0) return {};
  const WriteFailure w = LastWriteFailure();
  return WriteFailureReason(w.err != 0 && ErrnoToTzCode(w.err) == code ? w.err : 0, code);
}


void NoteTableDamage(TableDamage damage) { DamageSlot() = std::move(damage); }
const TableDamage& LastTableDamage() { return DamageSlot(); }

void ClearTzErrorState() {
  DamageSlot() = {};
  TzEngine& e = Engine();
  e.currentError = 0;
  e.lastError = 0;
  e.lastErrorText.clear();
}

}  // namespace zeb::xbase
