#include "mainwin/changelog_cmd.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/viewer.h"
#include "settings/config.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"
#include "platform/process.h"
#include "reports/device.h"
#include "spring/changelog.h"
#include "spring/documents.h"

namespace zeb {

namespace {

DocumentationDialogs& Slot() {
  static DocumentationDialogs dialogs;
  return dialogs;
}

std::string ToOem(std::string_view text, int maxLength) { return LeftStr(AnsiLineToOem(text), maxLength); }

// Multi-line text: each line converted, the line ends kept as typed.
std::string MultiLineToOem(std::string_view text, int maxLength) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    out += AnsiLineToOem(text.substr(start, end - start));
    if (end == text.size()) break;
    out += text[end];
    start = end + 1;
  }
  return LeftStr(out, maxLength);
}

std::string MultiLineToAnsi(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    out += OemToAnsiStr(text.substr(start, end - start));
    if (end == text.size()) break;
    out += text[end];
    start = end + 1;
  }
  return out;
}

bool IsBlank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

void MarkModified() { G().ModifiedFlag = 1; }

}  // namespace

// --- Change entry --------------------------------------------------------

ChangeEntryForm FillChangeEntryForm(int n) {
  const ChangeEntry& e = ChangeLog().ChangeEntries[static_cast<std::size_t>(n)];
  return {OemToAnsiStr(e.Change), OemToAnsiStr(e.Date), OemToAnsiStr(e.Editor), MultiLineToAnsi(e.Description)};
}

void ApplyChangeEntryForm(const ChangeEntryForm& f, int n) {
  ChangeEntry& e = ChangeLog().ChangeEntries[static_cast<std::size_t>(n)];
  e.Change = ToOem(f.change, kChangeEntryMaxLength[0]);
  e.Date = LeftStr(f.date, kChangeEntryMaxLength[1]);
  e.Editor = ToOem(f.editor, kChangeEntryMaxLength[2]);
  e.Description = MultiLineToOem(f.description, kChangeEntryMaxLength[3]);
}

// --- Drawing information -------------------------------------------------

std::array<std::string, 4> DrawingInfoRoleLabels() {
  return {"Bearb.", "Gepr.", "Norm", OemToAnsiStr(Config().ReleaseFieldText)};
}

DrawingInfoForm FillDrawingInfoForm() {
  const ChangeLogData& log = ChangeLog();
  DrawingInfoForm f;
  f.replaces = OemToAnsiStr(log.ReplacesDrawing);
  f.replacedBy = OemToAnsiStr(log.ReplacedByDrawing);
  const std::string* roles[4][2] = {{&log.CreatedDate, &log.CreatedBy},
                                    {&log.CheckedDate, &log.CheckedBy},
                                    {&log.StandardsDate, &log.StandardsBy},
                                    {&log.ReleaseDate, &log.ReleasedBy}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 2; ++c) f.roles[r][c] = OemToAnsiStr(*roles[r][c]);
  for (int i = 1; i <= std::min<int>(log.DrawingTextCount, kMaxDrawingTexts); ++i) {
    const DrawingText& t = log.DrawingTexts[static_cast<std::size_t>(i)];
    f.texts[i - 1] = {FloatToStrSig(t.x), FloatToStrSig(t.y), FloatToStrSig(t.h), FloatToStrSig(t.phi),
                      OemToAnsiStr(t.Text)};
  }
  return f;
}

bool ApplyDrawingInfoForm(const DrawingInfoForm& f) {
  // Texts stored in "|"-separated fields of the spring file.
  for (int r = 1; r < 4; ++r)
    for (int c = 0; c < 2; ++c)
      if (!CheckFieldText(f.roles[r][c])) return false;
  for (const auto& row : f.texts)
    if (!CheckFieldText(row[4])) return false;
  ChangeLogData& log = ChangeLog();
  log.ReplacesDrawing = ToOem(f.replaces, 15);
  log.ReplacedByDrawing = ToOem(f.replacedBy, 15);
  std::string* roles[4][2] = {{&log.CreatedDate, &log.CreatedBy},
                              {&log.CheckedDate, &log.CheckedBy},
                              {&log.StandardsDate, &log.StandardsBy},
                              {&log.ReleaseDate, &log.ReleasedBy}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 2; ++c) *roles[r][c] = ToOem(f.roles[r][c], kApprovalMaxLength[static_cast<std::size_t>(c)]);
  // Rows from the first on, up to a row whose next row has no text.
  int count = 0;
  for (int i = 0; i < kMaxDrawingTexts; ++i) {
    const auto& row = f.texts[static_cast<std::size_t>(i)];
    DrawingText& t = log.DrawingTexts[static_cast<std::size_t>(i + 1)];
    t.x = TextToFloat(row[0]);
    t.y = TextToFloat(row[1]);
    t.h = TextToFloat(row[2]);
    t.phi = TextToFloat(row[3]);
    t.Text = AnsiLineToOem(row[4]);
    count = i + 1;
    if (i + 1 < kMaxDrawingTexts && IsBlank(f.texts[static_cast<std::size_t>(i + 1)][4])) break;
  }
  log.DrawingTextCount = static_cast<std::int16_t>(count);
  return true;
}

// --- Document links ------------------------------------------------------

DocumentLinksForm FillDocumentLinksForm() {
  DocumentLinksForm f;
  for (int n = 1; n <= kDocumentLinkCount; ++n) {
    f.program[n - 1] = DocumentLinks()[n].Program;
    f.file[n - 1] = DocumentLinks()[n].File;
  }
  return f;
}

void ApplyDocumentLinksForm(const DocumentLinksForm& f) {
  for (int n = 1; n <= kDocumentLinkCount; ++n) {
    DocumentLinks()[n].Program = f.program[n - 1];
    DocumentLinks()[n].File = f.file[n - 1];
  }
}

namespace {

// The document as one argument: a path made absolute (so that no name
// reaches the program as an option); an address such as "https://..."
// stays as typed.
std::string DocumentFileArgument(const std::string& file) {
  static const std::regex address("[A-Za-z][A-Za-z0-9+.-]*://.*");
  if (std::regex_match(file, address)) return file;
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(file, ec);
  return ec ? "./" + file : p.string();
}

// Commands the user has confirmed or typed in this session.
std::set<std::vector<std::string>>& ConfirmedCommands() {
  static std::set<std::vector<std::string>> confirmed;
  return confirmed;
}

// The command as the user reads it: arguments with a blank, a quote or
// nothing in them are quoted.
std::string CommandText(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& a : argv) {
    if (!text.empty()) text += ' ';
    if (!a.empty() && a.find_first_of(" \t\"'") == std::string::npos) {
      text += a;
      continue;
    }
    text += '"';
    for (char c : a) text += c == '"' ? std::string("\\\"") : std::string(1, c);
    text += '"';
  }
  return text;
}

// A command started from a spring file's link for the first time in the
// session is shown and must be confirmed (preselected: No).
bool ConfirmDocumentCommand(int n, const std::vector<std::string>& argv) {
  if (ConfirmedCommands().count(argv) != 0) return true;
  G().AbortFlag = 0;
  bool yes = false;
  AskYesNo("Dokument "_oem + std::to_string(n) + " startet:\n" + FromUtf8(CodePage::Cp850, CommandText(argv)) +
               "\nProgramm starten ?",
           yes);
  if (G().AbortFlag != 0 || !yes) return false;
  ConfirmedCommands().insert(argv);
  return true;
}

}  // namespace

std::vector<std::string> DocumentLinkArguments(int n) {
  if (n < 1 || n > kDocumentLinkCount) return {};
  const DocumentLink& link = DocumentLinks()[n];
  std::vector<std::string> argv = SplitCommandLine(link.Program);
  const std::string lower = argv.empty() ? std::string() : LowerStr(argv[0]);
  if (argv.empty() || lower == "notepad.exe" || lower == "write.exe" || lower == "mspaint.exe")
    argv = {"xdg-open"};
  if (!link.File.empty()) argv.push_back(DocumentFileArgument(link.File));
  return argv;
}

void OpenDocumentLink(int n) {
  std::vector<std::string> argv = DocumentLinkArguments(n);
  if (argv.empty()) return;
  const std::string setting = "Dokument > Dokument Setup > ";
  // The default viewer without a file has nothing to show.
  if (argv.size() == 1 && argv[0] == "xdg-open") {
    ShowOemMessage("Dokument " + std::to_string(n) + ": keine Datei eingetragen\nEinstellung: " + setting + "File " +
                   std::to_string(n));
    return;
  }
  if (!ConfirmDocumentCommand(n, argv)) return;
  const ProcessResult r = StartProgram(argv);
  if (!r.started)
    ShowProgramStartError(r.error, FromUtf8(CodePage::Cp850, argv[0]), setting + "Program " + std::to_string(n));
}

// --- Windows -------------------------------------------------------------

void SetDocumentationDialogs(DocumentationDialogs dialogs) { Slot() = std::move(dialogs); }
const DocumentationDialogs& CurrentDocumentationDialogs() { return Slot(); }

void EditChangeEntry(int n) {
  SetCurrentHelpNumber(3000);
  ChangeEntryForm f = FillChangeEntryForm(n);
  if (!Slot().changeEntry || !Slot().changeEntry(f, n)) {
    G().AbortFlag = 1;
    return;
  }
  ApplyChangeEntryForm(f, n);
  G().AbortFlag = 0;
}

void EditDrawingInfo() {
  SetCurrentHelpNumber(3010);
  DrawingInfoForm f = FillDrawingInfoForm();
  // The form stays open while a text is refused.
  for (;;) {
    if (!Slot().drawingInfo || !Slot().drawingInfo(f)) {
      G().AbortFlag = 1;
      return;
    }
    if (ApplyDrawingInfoForm(f)) break;
  }
  G().AbortFlag = 0;
  MarkModified();
}

void EditDocumentLinks() {
  SetCurrentHelpNumber(2730);
  DocumentLinksForm f = FillDocumentLinksForm();
  if (!Slot().documentLinks || !Slot().documentLinks(f)) {
    G().AbortFlag = 1;
    return;
  }
  G().AbortFlag = 0;
  const DocumentLinksForm before = FillDocumentLinksForm();
  ApplyDocumentLinksForm(f);
  // What the user typed here needs no confirmation.
  for (int n = 1; n <= kDocumentLinkCount; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    if (f.program[i] != before.program[i] || f.file[i] != before.file[i])
      ConfirmedCommands().insert(DocumentLinkArguments(n));
  }
  MarkModified();
}

// --- Commands ------------------------------------------------------------

void ChangeLogCommand(int command) {
  ChangeLogData& log = ChangeLog();
  if (command == 0) {
    const std::string oem[] = {"neu"_oem,      "ändern"_oem,         "löschen"_oem,  "anzeigen"_oem,
                               "Ausdruck"_oem, "Zeichnungsinfo"_oem, "zurück...."_oem};
    if (G().LineTable.size() < 8) G().LineTable.resize(8);
    for (int i = 0; i < 7; ++i) G().LineTable[static_cast<std::size_t>(i + 1)] = oem[i];
    SetCurrentHelpNumber(2600);
    std::int16_t choice = 4;
    G().AbortFlag = 0;
    AskChoice("Änderungen"_oem, 7, choice);
    if (G().AbortFlag != 0 || choice == 7) return;
    command = choice;
  }
  switch (command) {
    case 1:
      if (log.ChangeEntryCount >= kMaxChangeEntries) {
        ShowError("Max. Änderungen = "_oem + IntToText(kMaxChangeEntries) + " !");
        return;
      }
      ++log.ChangeEntryCount;
      log.ChangeEntries[static_cast<std::size_t>(log.ChangeEntryCount)].Date = TodayDateString();
      EditChangeEntry(log.ChangeEntryCount);
      if (G().AbortFlag != 0) {
        // A cancelled new entry is withdrawn.
        --log.ChangeEntryCount;
        return;
      }
      MarkModified();
      ChangeLogReport(kOutScreen);
      break;
    case 2:
      if (log.ChangeEntryCount < 1) return;
      EditChangeEntry(log.ChangeEntryCount);
      if (G().AbortFlag != 0) return;
      MarkModified();
      ChangeLogReport(kOutScreen);
      break;
    case 3:
      if (log.ChangeEntryCount > 0) {
        --log.ChangeEntryCount;
        MarkModified();
      }
      ChangeLogReport(kOutScreen);
      break;
    case 4: ChangeLogReport(kOutScreen); break;
    case 5: ChangeLogReport(kOutInternal); break;
    case 6: EditDrawingInfo(); break;
    default: break;
  }
}

void ChangeLogReport(int target) {
  const ChangeLogData& log = ChangeLog();
  G().AbortFlag = 0;
  SetReportTitles(G().ProgramTitle + " V" + G().ProgramVersion, "Änderungsprotokoll"_oem, G().TitleBlockLines[1],
                  G().TitleBlockLines[2], G().TitleBlockLines[3], 0);
  OutputDeviceGuard guard;
  OpenOutputDevice(target, G().ProgramShortName + ".TXT", SpringOutputSubject("Änderungsprotokoll"_oem));
  if (G().AbortFlag != 0) return;
  if (target != kOutScreen) WriteReportPageHead(0, 0);
  WriteResultLine("");
  WriteResultLine("Erstellungsdatum: " + log.CreatedDate + std::string(5, ' ') + "Erstellt von: " + log.CreatedBy);
  if (!log.ReplacesDrawing.empty()) {
    WriteResultLine("");
    WriteResultLine("Ersatz für: "_oem + PadRightStr(log.ReplacesDrawing, 15));
  }
  if (!log.ReplacedByDrawing.empty()) {
    WriteResultLine("");
    WriteResultLine("Ersetzt durch: " + PadRightStr(log.ReplacedByDrawing, 15));
  }
  WriteResultLine("");
  WriteResultLine(PadRightStr("Index", 6) + "  " + PadRightStr("Datum", 10) + "   " + PadRightStr("Bearb.", 6) + "   " +
                  PadRightStr("Änderung"_oem, 20));
  WriteResultLine(DoubleRuleLine());
  for (int i = 1; i <= std::min<int>(log.ChangeEntryCount, kMaxChangeEntries); ++i) {
    const ChangeEntry& e = log.ChangeEntries[static_cast<std::size_t>(i)];
    std::string index = Config().DrawingIndexStyle == 1 ? IntToText(i) : std::string(1, static_cast<char>(96 + i));
    WriteResultLine("  " + index + std::string(5, ' ') + PadRightStr(e.Date, 10) + "   " + PadRightStr(e.Editor, 6) +
                    "   " + PadRightStr(e.Change, 20));
    // Each line of the description as a line of its own (indented, counted).
    std::string_view rest = e.Description;
    for (;;) {
      const std::size_t end = rest.find_first_of("\r\n");
      WriteResultLine(" " + std::string(rest.substr(0, end)));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + (rest.compare(end, 2, "\r\n") == 0 ? 2 : 1));
    }
    WriteResultLine(SingleRuleLine());
  }
  CloseOutputDevice();
  SetArrowCursor();
}

}  // namespace zeb
