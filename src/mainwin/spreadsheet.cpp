#include "mainwin/spreadsheet.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/viewer.h"
#include "base/text.h"
#include "mainwin/documents_cmd.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/process.h"
#include "reports/device.h"
#include "reports/printout_full.h"

namespace zeb {

namespace {

const char kNotStarted[] = "Excel kann nicht gestartet werden";

// A decimal number as a spreadsheet reads it: sign, digits with one point
// or comma, an exponent; blanks around it.
bool IsPlainNumber(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t from = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i - from;
  };
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t n = digits();
  if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
    ++i;
    n += digits();
  }
  if (n == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == s.size();
}

// A cell a spreadsheet would take for a formula ("=", "@", or "+"/"-" that
// do not begin a number) is written with a leading "'" and stays text.
bool LooksLikeFormula(const std::string& cell) {
  if (cell.empty()) return false;
  const char c = cell.front();
  if (c == '=' || c == '@') return true;
  return (c == '+' || c == '-') && !IsPlainNumber(cell);
}

std::string CsvCell(const std::string& utf8) {
  std::string r = LooksLikeFormula(utf8) ? "\"'" : "\"";
  for (char c : utf8) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

std::vector<std::string> FileLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string_view line;
  for (std::size_t pos = 0; NextTextLine(bytes, pos, line);) lines.emplace_back(line);
  return lines;
}

bool ReadAll(const std::string& path, std::string& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

// The spring file's lines as one-cell rows, and the document opened.
void SpringFileDocument() {
  const std::string path = CurrentSpringFilePath();
  std::string bytes;
  if (!ReadAll(path, bytes)) {
    ShowOemMessage(path + " not found !");
    G().AbortFlag = 1;
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : FileLines(bytes)) rows.push_back({ToUtf8(CodePage::Cp850, line)});
  const std::string csv = WriteCsvDocument(rows);
  if (csv.empty()) {
    G().AbortFlag = 1;
    return;
  }
  if (!OpenSpreadsheetDocument(csv)) G().AbortFlag = 1;
}

}  // namespace

std::string WriteCsvDocument(const std::vector<std::vector<std::string>>& rowsUtf8) {
  std::string text;
  for (const auto& row : rowsUtf8) {
    for (std::size_t c = 0; c < row.size(); ++c) text += (c > 0 ? "," : "") + CsvCell(row[c]);
    text += "\r\n";
  }
  const std::string folder = G().TempFolder.empty() ? TempDirectory() : G().TempFolder;
  // A unique ".csv" name taken at once (no other name made beside it).
  std::string csv = AddBackslash(folder) + "zeb1_XXXXXX.csv";
  const int fd = ::mkostemps(csv.data(), 4, O_CLOEXEC);
  if (fd < 0) {
    ShowErrorBox(FromUtf8(CodePage::Cp850, folder) + ": " + "Datei kann nicht geschrieben werden: "_oem +
                 SystemErrorText(errno));
    return "";
  }
  ::close(fd);
  // The name taken gets the document whole, or goes again (the error shown).
  const int e = WriteWholeFile(csv, text);
  if (e == 0) return std::filesystem::absolute(csv).string();
  ShowFileWriteError(csv, e);
  ::unlink(csv.c_str());
  return "";
}

bool OpenSpreadsheetDocument(const std::string& path) {
  // The document stays: the user may open it himself.
  const auto tell = [path](const std::string& why) {
    ShowMessageText(std::string(kNotStarted) + ": " + why + "; die Daten stehen in "_oem +
                    FromUtf8(CodePage::Cp850, path));
  };
  const std::string why = OpenDocumentWith(G().TableEditorPath, path, [tell](const std::string& late) {
    SpreadsheetStarted() = false;
    tell(late);
  });
  if (why.empty()) return true;
  tell(why);
  return false;
}

bool& SpreadsheetStarted() {
  static bool started = false;
  return started;
}

void StartSpreadsheet() {
  G().AbortFlag = 0;
  if (G().CurrentFileName.empty()) {
    ShowMessageText("Zuerst müssen Sie Ihre Eingabedaten speichern (Menü \"Datei->Speichern\")"_oem);
    G().AbortFlag = 1;
    return;
  }
  SetHourglassCursor();
  // Before the program starts: one that fails takes it back.
  SpreadsheetStarted() = true;
  SpringFileDocument();
  SetArrowCursor();
  if (G().AbortFlag != 0) SpreadsheetStarted() = false;
}

void ExportInputDataToSpreadsheet() {
  G().AbortFlag = 0;
  if (G().ModifiedFlag != 0) {
    const Byte modified = G().ModifiedFlag;
    SaveCurrentFile(CurrentSpringFilePath());
    G().ModifiedFlag = modified;
  }
  if (G().AbortFlag == 0) SpringFileDocument();
}

void PrintoutToSpreadsheet() {
  if (G().FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  const auto ask = G().AskOutputTarget;
  const auto target = G().OutputTarget;
  G().AskOutputTarget = 0;
  G().OutputTarget = kOutTxt;
  G().AbortFlag = 0;
  PrintReport();
  G().AskOutputTarget = ask;
  G().OutputTarget = target;
  if (G().AbortFlag != 0 || DeliveredFileName().empty()) return;
  // The Windows-text copy "$$n.txt" beside the output "$$$n.txt".
  const std::filesystem::path out = DeliveredFileName();
  const std::string name = out.filename().string();
  CodePage cp = CodePage::Cp1252;
  std::string bytes;
  if (name.rfind("$$$", 0) != 0 || !ReadAll((out.parent_path() / name.substr(1)).string(), bytes)) {
    cp = CodePage::Cp850;
    if (!ReadAll(out.string(), bytes)) {
      ShowOemMessage(out.string() + " not found !");
      G().AbortFlag = 1;
      return;
    }
  }
  // Split at tabs.
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : FileLines(bytes)) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', start);
      cells.push_back(ToUtf8(cp, line.substr(start, tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(cells));
  }
  const std::string csv = WriteCsvDocument(rows);
  if (csv.empty()) return;
  OpenSpreadsheetDocument(csv);
}

}  // namespace zeb
