#include "reports/device.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/text.h"
#include "base/textfile.h"
#include "base/viewer.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/process.h"
#include "reports/printjob.h"

namespace zeb {

namespace {

constexpr int kLineWidth = kReportLineWidth;
constexpr std::string_view kIndent = "       ";  // 7 blanks before every result line
constexpr std::string_view kEol = "\r\n";
constexpr char kFormFeed = '\f';
constexpr int kMaxFreeNumber = 100000;

struct TitleMark {
  std::size_t offset = 0;  // of the 70-character title line in the output
  std::string line;        // the line without its page text
  int page = 0;
};

struct DeviceState {
  int target = kOutScreen;
  std::string fileName = "$out.tmp";
  bool open = false;
  int pageCount = 0;
  int lineCount = 0;
  int columnHead = 0;
  bool pagePause = false;
  bool htmlTableOpen = false;
  std::string title;
  std::array<std::string, 5> titleLines;  // 1..4
  int totalPages = 0;
  std::array<std::string, 6> columnTitles;  // 1..5
  int posSymbol = 35, posUnit = 44, posValue = 56, posValue1 = 51, posValue2 = 62;

  bool inHead = false;    // a page head is being written
  int headLines = 0;      // lines of the current page's head
  bool htmlHeadWritten = false;
  std::string out;        // the output, written at close
  std::vector<TitleMark> titleMarks;
  std::vector<std::string> createdFiles;  // device files made at open
  std::string txtCopy;    // target 6: "$$n.txt"
  int txtNumber = 0;
  std::string delivered;
  std::string subject;  // the text window's title (1252)
};

DeviceState& St() {
  static DeviceState state;
  return state;
}

std::string& PrinterDeviceFolder() {
  static std::string folder = "/dev";
  return folder;
}

bool IsTxtTarget(int t) { return t == kOutTxt || t == kOutCommandLine; }
bool IsTextTarget(int t) { return t != kOutTxt && t != kOutHtml && t != kOutCommandLine; }

std::string Oem(std::string_view utf8) { return FromUtf8(CodePage::Cp850, utf8); }

// Code page 850 text as HTML content: Windows text, & < > " escaped.
std::string Html(std::string_view oem) {
  const std::string ansi = OemLineToAnsi(oem);
  std::string r;
  r.reserve(ansi.size());
  for (char c : ansi) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      default: r += c;
    }
  }
  return r;
}

void Emit(std::string_view s) { St().out.append(s); }
void EmitLine(std::string_view s) {
  St().out.append(s);
  St().out.append(kEol);
}

std::string BareName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The command-line run's output: the spring file's bare name + ".txt" in the
// working folder.
std::string CommandLineOutputName() { return BareName(G().CurrentFileName) + ".txt"; }

std::string ProgramTitleVersion(std::string_view sep) {
  return G().ProgramTitle + std::string(sep) + G().ProgramVersion;
}

// The configured temporary folder, with a closing "/": files the user is
// shown (a PDF instead of a printout) stay after the run.
std::string SharedTempFolder() {
  const std::string configured = TrimBlanks(G().TempFolder);
  return AddBackslash(configured.empty() ? TempDirectory() : configured);
}

// Creates path new and empty (mode 0600); 0 or an errno value.
int CreateExclusive(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

// The first name(k), k = first, first + 1, ..., that can be created new;
// "" with AbortFlag and an error box when none can.
std::string CreateFirstFree(int first, const std::function<std::string(int)>& name, int& number) {
  int err = 0;
  std::string path;
  for (int k = first; k < first + kMaxFreeNumber; ++k) {
    path = name(k);
    if (path.empty()) {
      RefuseScratchFile();
      return {};
    }
    err = CreateExclusive(path);
    if (err == 0) {
      number = k;
      St().createdFiles.push_back(path);
      return path;
    }
    if (err != EEXIST) break;
  }
  if (err == ENOSPC || err == EDQUOT)
    ShowError("Diskette/Platte voll: "_oem + Oem(path));
  else
    ShowError("Fehler beim Anlegen einer Datei: "_oem + Oem(path) + " (" + SystemErrorText(err) + ")");
  G().AbortFlag = 1;
  return {};
}

void RemoveCreatedFiles() {
  for (const std::string& f : St().createdFiles) ::unlink(f.c_str());
  St().createdFiles.clear();
}

// The spring-file extension, the current file and data folder around a
// file chooser that would change them.
struct ChooserState {
  std::string ext, file, folder;
  ChooserState() : ext(G().SpringFileExtension), file(G().CurrentFileName), folder(G().CurrentDataFolder) {}
  void Restore() const {
    G().SpringFileExtension = ext;
    G().CurrentFileName = file;
    G().CurrentDataFolder = folder;
  }
};

std::string ChooseOutputFile(std::string_view extension) {
  const ChooserState saved;
  G().SpringFileExtension = std::string(extension);
  std::string path = AskSaveFileName("");
  saved.Restore();
  return G().AbortFlag != 0 ? std::string() : path;
}

int PageLimit() { return std::max(G().LinesPerPage, St().headLines + 3); }

std::string SideLine() {
  std::string s(kLineWidth, ' ');
  s.front() = FrameSideChar();
  s[kLineWidth - 1] = FrameSideChar();
  return s;
}

std::string PageText(int page, int total) {
  if (total > 0) return "Bl." + IntToTextBlankPad(page, 2) + "/" + IntToTextBlankPad(total, 2);
  return "Bl." + IntToTextBlankPad(page, 2);
}

std::string TitleLineWithPage(const std::string& line, int page, int total) {
  std::string s = line;
  OverwriteAt(PageText(page, total), s, total > 0 ? 60 : 64);
  return s;
}

std::string SpringFileText() {
  const BaseGlobals& g = G();
  if (g.CurrentFileName.empty()) return {};
  if (g.ArchiveFlag != 0) return Oem(g.CurrentFileName);
  // The file as it is on disk; a path longer than the head's line holds
  // (from column 6 to the frame) gives its name alone.
  const std::string path = Oem(CurrentSpringFilePath());
  return path.size() <= static_cast<std::size_t>(kLineWidth - 6) ? path : Oem(CurrentFileShownName());
}

// The HTML document head of the first page.
void EmitHtmlHead() {
  DeviceState& st = St();
  // The file as it is named: a folder may hold blanks.
  std::string name = FromUtf8(CodePage::Cp1252, TrimBlanks(st.fileName));
  for (std::size_t p = name.find("--"); p != std::string::npos; p = name.find("--", p)) name.replace(p, 2, "- -");
  EmitLine("<!-- " + name + " -->");
  EmitLine("<HTML>");
  EmitLine("<head><title>" + Html(ProgramTitleVersion(" V")) + "</title></head>");
  EmitLine("<BODY BGCOLOR=\"C0C0C0\">");
  EmitLine("<hr>");
  CloseHtmlTable();
  ++st.lineCount;
  EmitLine("<br><h4>" + Html(ProgramTitleVersion(" V")) + "</h4>");
  EmitLine("<hr>");
  for (int k = 1; k <= 4; ++k) EmitLine("<h5>" + Html(st.titleLines[static_cast<std::size_t>(k)]) + "</h5>");
  EmitLine("<hr>");
  st.htmlHeadWritten = true;
}

void BreakPage(int withColumnHead) {
  DeviceState& st = St();
  if (G().PageHeadMode == 2) {
    EmitLine(std::string(1, kFormFeed));
    st.lineCount = 0;
    st.headLines = 0;
    return;
  }
  WritePageEnd();
  WriteReportPageHead(0, withColumnHead);
  WriteResultLine("");
}

// Counts a result line of a text target, first breaking the page when the
// line would be its last (LinesPerPage, or the head plus two lines).
void CountTextLine() {
  DeviceState& st = St();
  if (!st.inHead && st.lineCount + 1 >= PageLimit()) BreakPage(st.columnHead);
  ++st.lineCount;
}

bool IsRuleText(std::string_view text) {
  return text == kSkipLine || text == SingleRuleLine() || text == DoubleRuleLine();
}

void WriteResult(std::string_view text, bool lineEnd) {
  DeviceState& st = St();
  if (!st.open) return;
  if (IsTxtTarget(st.target)) {
    if (IsRuleText(text)) return;
    Emit(text);
  } else if (st.target == kOutHtml) {
    CloseHtmlTable();
    ++st.lineCount;
    if (IsRuleText(text)) return;
    Emit("<br>" + Html(text));
  } else {
    if (text == kSkipLine) return;
    CountTextLine();
    Emit(kIndent);
    Emit(text);
  }
  if (lineEnd) Emit(kEol);
}

// Writes the page totals that differ from the heads written.
void PatchPageTotals() {
  DeviceState& st = St();
  if (st.totalPages <= 0 || st.pageCount == st.totalPages) return;
  for (const TitleMark& m : st.titleMarks) {
    const std::string line = TitleLineWithPage(m.line, m.page, st.pageCount);
    st.out.replace(m.offset, line.size(), line);
  }
}

void ShowWriteError(int code, std::string_view path) {
  if (code == kIoDiskFull)
    ShowError("Diskette/Platte voll: "_oem + Oem(path));
  else
    ShowError("Fehler bei Zugriff auf Diskette/Platte: "_oem + Oem(path) + " (" + IoResultText(code) + ")");
  G().AbortFlag = 1;
}

// Targets whose work file is deleted once it has been delivered.
bool WorkFileIsDeleted(int target) {
  return target == kOutScreen || target == kOutTextPrinter || target == kOutPrinter || target == kOutTextProgram ||
         target == kOutCommandLine;
}

bool WriteOutputFile() {
  DeviceState& st = St();
  TextFile f;
  f.Assign(st.fileName);
  // A file deleted after delivery needs no flush to disk.
  f.SetSync(!WorkFileIsDeleted(st.target));
  int rc = f.Rewrite();
  if (rc == 0) rc = f.Write(st.out);
  if (rc == 0) {
    rc = f.Close();
  } else {
    f.Discard();
  }
  if (rc != 0) {
    ShowWriteError(rc, st.fileName);
    return false;
  }
  return true;
}

bool ConvertCopy(const std::string& source, const std::string& destination) {
  const int rc = ConvertTextFileOemToAnsi(source, destination);
  if (G().AbortFlag == 0) return true;
  ShowWriteError(rc, destination);
  return false;
}

// Starts program (split at blanks; "xdg-open" when empty) with file as one
// more argument, no shell; one that does not start is named with setting.
void StartProgramOn(std::string_view program, const std::string& file, std::string_view setting) {
  std::vector<std::string> argv = SplitCommandLine(program);
  if (argv.empty()) argv.push_back("xdg-open");
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(file), ec);
  argv.push_back(ec ? file : absolute.string());
  SetHourglassCursor();
  const ProcessResult r = StartProgram(argv);
  SetArrowCursor();
  if (!r.started) ShowProgramStartError(r.error, Oem(argv.front()), setting);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void PrintIntoPdfFile();

// The code page 850 bytes to the text printer: the listed system printer
// of its number through the spooler, or the PDF file after them; where no
// printers are listed its device when there is one, else the spooler's
// default.
void SendToTextPrinter() {
  DeviceState& st = St();
  const int port = std::max<int>(G().PrinterPortNumber, 1);
  if (const std::optional<std::vector<std::string>> names = Printer().SystemPrinters()) {
    const std::size_t listed = std::min(names->size(), kListedTextPrinters);
    if (static_cast<std::size_t>(port) > listed) {
      PrintIntoPdfFile();
      return;
    }
    const std::string& name = (*names)[static_cast<std::size_t>(port) - 1];
    const ProcessResult r = StartProgram({"lp", "-d", name, "-o", "raw", st.fileName}, true);
    if (!r.started || r.exitCode != 0) {
      ShowError(r.started ? "Fehler beim Drucken: lp " + std::to_string(r.exitCode) : "lp not found");
      G().AbortFlag = 1;
      return;
    }
    st.delivered = name;
    return;
  }
  const std::string folder = AddBackslash(PrinterDeviceFolder());
  for (const std::string& dev : {folder + "usb/lp" + std::to_string(port - 1), folder + "lp" + std::to_string(port - 1)}) {
    if (!PathExists(dev)) continue;
    const int fd = ::open(dev.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    bool ok = fd >= 0 && WriteAll(fd, st.out);
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok) {
      ShowError("Fehler beim Drucken auf " + Oem(dev));
      G().AbortFlag = 1;
      return;
    }
    st.delivered = dev;
    return;
  }
  const ProcessResult r = StartProgram({"lp", "-o", "raw", st.fileName}, true);
  if (!r.started || r.exitCode != 0) {
    ShowError(r.started ? "Fehler beim Drucken: lp " + std::to_string(r.exitCode) : "lp not found");
    G().AbortFlag = 1;
    return;
  }
  st.delivered = "lp";
}

// Target 4: the printer; without one a PDF file in the temp folder.
void PrintOnPrinter() {
  if (Printer().HasPrinter()) {
    PrintTextFile(St().fileName);
    return;
  }
  PrintIntoPdfFile();
}

// A text file printed into a new PDF file of the temp folder, named in a
// box; the file's name, or "" when none was written.
std::string PrintFileIntoPdf(const std::string& file) {
  const std::string pdf = CreatePrintPdfFile();
  if (pdf.empty()) return {};
  if (!Printer().SetPdfOutput(pdf)) {
    ::unlink(pdf.c_str());
    ShowError("Kein Drucker vorhanden: Ausdruck nicht möglich"_oem);
    G().AbortFlag = 1;
    return {};
  }
  PrintTextFile(file);
  Printer().SetPdfOutput("");
  return AnnouncePrintPdf(pdf) ? pdf : std::string();
}

// The work file printed into a new PDF file of the temp folder, named in a box.
void PrintIntoPdfFile() {
  DeviceState& st = St();
  const std::string pdf = PrintFileIntoPdf(st.fileName);
  if (!pdf.empty()) st.delivered = pdf;
}

// "Drucken" of the viewer: the printer, or without one a new PDF file in
// the temp folder that a box names, as the printer target does.
void PrintViewedFile(const std::string& file) {
  if (Printer().HasPrinter())
    PrintTextFile(file);
  else
    PrintFileIntoPdf(file);
}


void Deliver() {
  DeviceState& st = St();
  BaseGlobals& g = G();
  switch (st.target) {
    case kOutScreen:
      if (ConvertCopy(st.fileName, ViewerDisplayFile())) {
        st.delivered = ViewerDisplayFile();
        ShowTextFileViewer(st.subject, st.fileName, [file = st.fileName] { PrintViewedFile(file); });
      }
      DeleteWorkFile(st.fileName);
      break;
    case kOutTextPrinter:
      SendToTextPrinter();
      DeleteWorkFile(st.fileName);
      break;
    case kOutFile:
      st.delivered = st.fileName;
      if (!ViewerDisplayFile().empty()) {
        // The printout is in its file; only the viewer's copy of it is not.
        const int rc = ConvertTextFileOemToAnsi(st.fileName, ViewerDisplayFile());
        if (g.AbortFlag != 0)
          ShowError("Ausdruck in "_oem + Oem(st.fileName) + " geschrieben; seine Kopie für die Anzeige "_oem +
                    Oem(ViewerDisplayFile()) + " nicht ("_oem + IoResultText(rc) + ")");
      }
      g.ShowErrorsSwitch = 1;
      break;
    case kOutDosFile:
      if (ConvertCopy(st.fileName, ViewerDisplayFile())) st.delivered = ViewerDisplayFile();
      g.ShowErrorsSwitch = 1;
      break;
    case kOutPrinter:
      PrintOnPrinter();
      DeleteWorkFile(st.fileName);
      break;
    case kOutTextProgram:
      if (ConvertCopy(st.fileName, ViewerDisplayFile())) {
        st.delivered = ViewerDisplayFile();
        StartProgramOn(g.TextProgramPath, ViewerDisplayFile(), kTextProgramSetting);
      }
      DeleteWorkFile(st.fileName);
      break;
    case kOutTxt:
      g.TxtFileCounter = st.txtNumber;
      if (ConvertCopy(st.fileName, st.txtCopy))
        st.delivered = st.fileName;
      else
        ::unlink(st.txtCopy.c_str());  // the name it took, empty or cut short
      break;
    case kOutHtml:
      st.delivered = st.fileName;
      StartProgramOn(g.HtmlBrowserPath, st.fileName, kHtmlBrowserSetting);
      break;
    case kOutCommandLine: {
      g.TxtFileCounter = st.txtNumber;
      const std::string copy = CommandLineOutputName();
      const int rc = ConvertTextOemToAnsi(st.out, copy);
      if (g.AbortFlag == 0)
        st.delivered = copy;
      else
        ShowWriteError(rc, copy);
      break;
    }
    default:
      st.delivered = st.fileName;
      break;
  }
}

}  // namespace

std::string CreatePrintPdfFile() {
  const std::string stem = SharedTempFolder() + LowerStr(G().ProgramShortName);
  int n = 0;
  const std::string pdf =
      CreateFirstFree(1, [&](int k) { return stem + (k == 1 ? std::string() : "-" + std::to_string(k)) + ".pdf"; }, n);
  if (!pdf.empty()) St().createdFiles.pop_back();  // the caller keeps or removes it
  return pdf;
}

namespace {

// The PDF files of an open batch, named together at its end.
struct PdfBatch {
  bool open = false;
  std::vector<std::string> files;
};
PdfBatch& Batch() {
  static PdfBatch batch;
  return batch;
}

}  // namespace

namespace {

enum class PdfEnd { Empty, CutOff, Complete };

// How far the PDF file was written: empty (or missing), or ending with its
// "%%EOF" line or not.
PdfEnd PdfFileEnd(const std::string& pdf) {
  const int fd = OpenRegularNoWait(pdf.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return PdfEnd::Empty;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  char tail[32];
  const off_t from = std::max<off_t>(0, size - static_cast<off_t>(sizeof tail));
  const ssize_t n = size > 0 ? ::pread(fd, tail, static_cast<std::size_t>(size - from), from) : 0;
  ::close(fd);
  if (size <= 0) return PdfEnd::Empty;
  std::string_view end(tail, n > 0 ? static_cast<std::size_t>(n) : 0);
  while (!end.empty() && (end.back() == '\n' || end.back() == '\r' || end.back() == ' ')) end.remove_suffix(1);
  return end.ends_with("%%EOF") ? PdfEnd::Complete : PdfEnd::CutOff;
}

}  // namespace

bool AnnouncePrintPdf(const std::string& pdf) {
  const PdfEnd end = PdfFileEnd(pdf);
  if (end == PdfEnd::Complete) {
    if (Batch().open)
      Batch().files.push_back(pdf);
    else
      ShowMessageBox("Kein Drucker vorhanden, Ausdruck in PDF-Datei "_oem + Oem(pdf), 0);
    return true;
  }
  ::unlink(pdf.c_str());
  // An empty file: the job printed nothing, or its write error was shown.
  if (end == PdfEnd::CutOff) ShowFileWriteError(pdf, EIO);
  return false;
}

void BeginPdfBatch() { Batch() = PdfBatch{true, {}}; }

std::size_t PdfBatchFileCount() { return Batch().files.size(); }

void EndPdfBatch(const std::vector<std::string>& notMade) {
  const std::vector<std::string> files = std::move(Batch().files);
  Batch() = PdfBatch{};
  if (files.empty()) return;  // each failure was named by its own box
  std::string text;
  if (files.size() == 1) {
    text = "Kein Drucker vorhanden, Ausdruck in PDF-Datei "_oem + Oem(files.front());
  } else {
    text = "Kein Drucker vorhanden, Ausdruck in PDF-Dateien:"_oem;
    for (const std::string& f : files) text += "\n" + Oem(f);
  }
  if (!notMade.empty()) {
    text += "\nNicht ausgedruckt:"_oem;
    for (const std::string& job : notMade) text += "\n" + job;
  }
  ShowMessageBox(text, 0);
}

// ------------------------------------------------------------ set-up

std::string SpringOutputSubject(std::string_view what) {
  const std::string name = CurrentFileTitleName();
  return OemToAnsiStr(what) + (name.empty() ? std::string() : "  -  " + BareName(name));
}

std::string OutputTargetName(int target) {
  switch (target) {
    case 1: return "Bildschirm";
    case 2: return "Textdrucker";
    case 3: return "Datei";
    case 4: return "Windows-Drucker";
    case 5: return "externes Textprogramm";
    case 6: return "TXT Datei";
    case 7: return "HTML Datei";
    default: return {};
  }
}

void InitOutputDevice() {
  if (St().open) RemoveCreatedFiles();
  St() = DeviceState{};
  SetReportTitles("", "", "", "", "", 0);
  SetReportColumnTitles("", "Zeichen", "Einheit", "1", "2");
}

void SetReportTitles(std::string_view title, std::string_view line1, std::string_view line2,
                     std::string_view line3, std::string_view line4, int totalPages) {
  DeviceState& st = St();
  st.title = title.empty() ? ProgramTitleVersion("  V") : std::string(title);
  st.titleLines = {std::string(), std::string(line1), std::string(line2), std::string(line3), std::string(line4)};
  st.totalPages = totalPages;
  st.pageCount = 0;
  st.lineCount = 0;
  st.titleMarks.clear();
}

void SetReportColumnTitles(std::string_view t1, std::string_view t2, std::string_view t3, std::string_view t4,
                           std::string_view t5) {
  St().columnTitles = {std::string(), std::string(t1), std::string(t2), std::string(t3), std::string(t4),
                       std::string(t5)};
}

void SetResultColumnPositions() {
  DeviceState& st = St();
  st.posSymbol = 35;
  st.posUnit = 44;
  st.posValue = 56;
  st.posValue1 = 51;
  st.posValue2 = 62;
}

int GetOutputTarget() { return St().target; }
bool OutputDeviceIsOpen() { return St().open; }
int ReportPageCount() { return St().pageCount; }
int ReportLineCount() { return St().lineCount; }
const std::string& OutputFileName() { return St().fileName; }
const std::string& DeliveredFileName() { return St().delivered; }
void SetTextPrinterDeviceFolder(std::string folder) { PrinterDeviceFolder() = std::move(folder); }

// ------------------------------------------------------------ open, close

void OpenOutputDevice(int target, std::string_view fileName, std::string_view subject) {
  DeviceState& st = St();
  BaseGlobals& g = G();
  if (st.open) {  // an output left open is dropped
    RemoveCreatedFiles();
    st.open = false;
  }
  std::string name(fileName.empty() ? std::string_view(g.CurrentFileName) : fileName);
  if (BareName(name).find('.') == std::string::npos) name += ".txt";
  if (g.LineTable.size() < 8) g.LineTable.resize(136);
  for (int k = 1; k <= 7; ++k) g.LineTable[static_cast<std::size_t>(k)] = OutputTargetName(k);
  if (target == kOutNamesOnly) return;

  st.delivered.clear();
  st.createdFiles.clear();
  st.fileName = name;
  st.subject = subject.empty() ? std::string("Ausdruck") : std::string(subject);
  st.target = g.OutputTarget;
  SetCurrentHelpNumber(1050);
  if (target == kOutInternal) {
    if (g.AskOutputTarget != 0) {
      std::int16_t choice = static_cast<std::int16_t>(st.target);
      AskChoice("Ausgabe auf ..", 7, choice);
      if (g.AbortFlag != 0) return;
      st.target = choice;
    }
  } else {
    st.target = target;
  }

  // The work files are named only for the targets that need one: the
  // scratch folder is made on first use ("" without one).
  int n = 0;
  switch (st.target) {
    case kOutInternal:
    case kOutScreen:
    case kOutPrinter:
    case kOutTextProgram:
      st.pagePause = false;
      st.fileName = CreateFirstFree(1, [&](int k) { return ScratchFile("$OUT" + std::to_string(k) + ".TMP"); }, n);
      break;
    case kOutTextPrinter:
      SetCurrentHelpNumber(1060);
      st.pagePause = AskYesNoCancel("Pause nach jeder Seite ?");
      if (g.AbortFlag == 0)
        st.fileName = CreateFirstFree(1, [&](int k) { return ScratchFile("$OUT" + std::to_string(k) + ".TMP"); }, n);
      break;
    case kOutFile:
      st.pagePause = false;
      SetCurrentHelpNumber(1070);
      st.fileName = ChooseOutputFile("txt");
      break;
    case kOutCommandLine:
      // Composed in memory and converted straight into the run's output
      // file: no work file in between.
      SetCurrentHelpNumber(1070);
      st.txtNumber = std::max(g.TxtFileCounter + 1, 1);
      break;
    case kOutTxt:
      SetCurrentHelpNumber(1070);
      if (g.AskOutputTarget != 0 && st.target == kOutTxt) {
        st.fileName = ChooseOutputFile("txt");
        if (g.AbortFlag != 0) break;
        st.txtCopy = CreateFirstFree(
            g.TxtFileCounter + 1, [&](int k) { return ScratchFile("$$" + std::to_string(k) + ".txt"); }, st.txtNumber);
        break;
      }
      // "$$$n.txt" and its copy "$$n.txt" share the first number free for both.
      for (int k = std::max(g.TxtFileCounter + 1, 1); g.AbortFlag == 0; k = n + 1) {
        st.fileName = CreateFirstFree(k, [&](int i) { return ScratchFile("$$$" + std::to_string(i) + ".txt"); }, n);
        if (g.AbortFlag != 0) break;
        const std::string copy = ScratchFile("$$" + std::to_string(n) + ".txt");
        const int err = st.target == kOutTxt ? CreateExclusive(copy) : 0;
        if (err == 0) {
          if (st.target == kOutTxt) {
            st.createdFiles.push_back(copy);
            st.txtCopy = copy;
          }
          st.txtNumber = n;
          break;
        }
        ::unlink(st.fileName.c_str());
        st.createdFiles.pop_back();
        if (err != EEXIST) {
          ShowError("Fehler beim Anlegen einer Datei: "_oem + Oem(copy) + " (" + SystemErrorText(err) + ")");
          g.AbortFlag = 1;
        }
      }
      break;
    case kOutHtml:
      SetCurrentHelpNumber(1070);
      if (!TrimBlanks(g.HtmlBrowserPath).empty()) {
        const std::string stem = LowerStr(g.ProgramShortName);
        const auto name = [&](int k) {
          return ScratchFile(stem + (k == 1 ? std::string() : "-" + std::to_string(k)) + ".htm");
        };
        st.fileName = CreateFirstFree(1, name, n);
      } else {
        st.fileName = ChooseOutputFile("htm");
      }
      break;
    case kOutDosFile:
      st.pagePause = false;
      st.fileName = ScratchFile("OUTDOS.TXT");
      if (st.fileName.empty()) RefuseScratchFile();
      break;
    default:
      return;  // nothing is opened
  }
  if (g.AbortFlag != 0) {
    RemoveCreatedFiles();
    return;
  }
  st.open = true;
  st.out.clear();
  st.lineCount = 0;
  st.pageCount = 0;
  st.headLines = 0;
  st.inHead = false;
  st.htmlTableOpen = false;
  st.htmlHeadWritten = false;
  st.titleMarks.clear();
  if (st.target == kOutTextPrinter && FileCanBeOpened("TEXT.HXP")) CopyTextFileToOutput("TEXT.HXP");
}

void CloseOutputDevice() {
  DeviceState& st = St();
  BaseGlobals& g = G();
  if (!st.open) return;
  const int t = st.target;
  if ((t == kOutScreen || t == kOutTextPrinter || t == kOutPrinter) && st.lineCount > 0 &&
      (g.PageHeadMode == 2 || g.ReportLineStyle == 4))
    Emit(std::string(1, kFormFeed));
  if (t == kOutHtml) {
    CloseHtmlTable();
    EmitLine("</BODY>");
    EmitLine("</HTML>");
    if (!st.htmlHeadWritten) {
      std::string body;
      body.swap(st.out);
      EmitHtmlHead();
      st.out += body;
    }
  }
  PatchPageTotals();
  st.open = false;
  st.inHead = false;
  if (g.AbortFlag != 0 || (t != kOutCommandLine && !WriteOutputFile())) {
    RemoveCreatedFiles();
    st.out.clear();
    return;
  }
  st.createdFiles.clear();
  st.out.shrink_to_fit();
  Deliver();
  st.out.clear();
}

// ------------------------------------------------------------ lines

std::string SingleRuleLine() {
  switch (G().ReportLineStyle) {
    case 1: return std::string(kLineWidth, '-');
    case 2: return std::string(kLineWidth, "─"_oem.view()[0]);
    case 3: return std::string(kLineWidth, ' ');
    default: return std::string(kSkipLine);
  }
}

std::string DoubleRuleLine() {
  switch (G().ReportLineStyle) {
    case 1: return std::string(kLineWidth, '=');
    case 2: return std::string(kLineWidth, "═"_oem.view()[0]);
    case 3: return std::string(kLineWidth, ' ');
    default: return std::string(kSkipLine);
  }
}

namespace {
std::string BoxLine(std::string_view left, std::string_view right) {
  switch (G().ReportLineStyle) {
    case 1: return std::string(kLineWidth, '*');
    case 2: return std::string(left) + std::string(kLineWidth - 2, "═"_oem.view()[0]) + std::string(right);
    case 3: return std::string(kLineWidth, ' ');
    default: return std::string(kSkipLine);
  }
}
}  // namespace

std::string FrameTopLine() { return BoxLine("╔"_oem, "╗"_oem); }
std::string FrameMiddleLine() { return BoxLine("╠"_oem, "╣"_oem); }
std::string FrameBottomLine() { return BoxLine("╚"_oem, "╝"_oem); }

char FrameSideChar() {
  switch (G().ReportLineStyle) {
    case 1: return '*';
    case 2: return "║"_oem.view()[0];
    default: return ' ';
  }
}

void WriteOutputLine(std::string_view text) {
  if (!St().open) return;
  EmitLine(St().target == kOutHtml ? Html(text) : std::string(text));
}

void WriteOutputText(std::string_view text) {
  if (!St().open) return;
  Emit(St().target == kOutHtml ? Html(text) : std::string(text));
}

void WriteResultLine(std::string_view text) { WriteResult(text, true); }
void WriteResultText(std::string_view text) { WriteResult(text, false); }

void WriteResultRow(std::string_view label, std::string_view symbol, std::string_view unit, std::string_view value) {
  DeviceState& st = St();
  if (!st.open) return;
  if (IsTxtTarget(st.target)) {
    WriteOutputLine(std::string(label) + "\t" + std::string(symbol) + "\t" + std::string(unit) + "\t" +
                    std::string(value));
  } else if (st.target == kOutHtml) {
    if (!st.htmlTableOpen) OpenHtmlTable();
    EmitLine("<TR><TD>" + Html(label) + "</TD><TD>" + Html(symbol) + "</TD><TD>" + Html(unit) +
             "</TD><TD><DIV ALIGN=RIGHT>" + Html(value) + "</DIV></TD></TR>");
  } else {
    std::string line(kLineWidth, ' ');
    OverwriteAt(label, line, 1);
    OverwriteAt(symbol, line, st.posSymbol);
    OverwriteAt(unit, line, st.posUnit);
    std::string v(value);
    if (v.size() > 14) v = TrimBlanks(v);
    OverwriteAt(v, line, v.size() > 14 ? kLineWidth - static_cast<int>(v.size()) : st.posValue);
    WriteResultLine(line);
    WriteResultLine(SingleRuleLine());
  }
}

void WriteResultRow2(std::string_view label, std::string_view symbol, std::string_view unit,
                     std::string_view value1, std::string_view value2) {
  DeviceState& st = St();
  if (!st.open) return;
  if (IsTxtTarget(st.target)) {
    WriteOutputLine(std::string(label) + "\t" + std::string(symbol) + "\t" + std::string(unit) + "\t" +
                    std::string(value1) + "\t" + std::string(value2));
  } else if (st.target == kOutHtml) {
    if (!st.htmlTableOpen) WriteReportTableHead();
    EmitLine("<TR><TD>" + Html(label) + "</TD><TD>" + Html(symbol) + "</TD><TD>" + Html(unit) + "</TD><TD>" +
             Html(value1) + "</TD><TD>" + Html(value2) + "</TD></TR>");
  } else {
    std::string line(kLineWidth + 1, ' ');
    OverwriteAt(label, line, 1);
    OverwriteAt(symbol, line, st.posSymbol);
    OverwriteAt(unit, line, st.posUnit);
    OverwriteAt(value1, line, st.posValue1);
    OverwriteAt(value2, line, st.posValue2);
    WriteResultLine(line);
    WriteResultLine(SingleRuleLine());
  }
}

void WriteReportTableHead() {
  DeviceState& st = St();
  if (!st.open) return;
  const auto& t = st.columnTitles;
  if (IsTxtTarget(st.target)) {
    WriteResultLine(t[1] + "\t" + t[2] + "\t" + t[3] + "\t" + t[4] + "\t" + t[5]);
  } else if (st.target == kOutHtml) {
    OpenHtmlTable();
    EmitLine("<TR><TD><CENTER>" + Html(t[1]) + "</CENTER></TD><TD>" + Html(t[2]) + "</TD><TD>" + Html(t[3]) +
             "</TD><TD>" + Html(t[4]) + "</TD><TD>" + Html(t[5]) + "</TD></TR>");
  } else {
    std::string line = SideLine();
    OverwriteAt(t[1], line, 1);
    OverwriteAt(t[2], line, st.posSymbol);
    OverwriteAt(t[3], line, st.posUnit);
    OverwriteAt(t[4], line, st.posValue1);
    OverwriteAt(t[5], line, st.posValue2);
    WriteResultLine(line);
    WriteResultLine(FrameBottomLine());
    WriteResultLine("");
  }
}

void OpenHtmlTable() {
  if (!St().open) return;
  CloseHtmlTable();
  EmitLine("<TABLE BORDER = \"2\" WIDTH= \"100%\">");
  St().htmlTableOpen = true;
}

void CloseHtmlTable() {
  if (!St().open) return;
  if (St().htmlTableOpen) EmitLine("</TABLE>");
  St().htmlTableOpen = false;
}

void WriteHtmlMarkup(std::string_view markup) {
  if (St().open && St().target == kOutHtml) EmitLine(markup);
}

std::string HtmlText(std::string_view text) { return Html(text); }

void WriteTableCellRow(std::string_view text) {
  DeviceState& st = St();
  if (!st.open) return;
  if (st.target == kOutHtml) {
    if (!st.htmlTableOpen) OpenHtmlTable();
    EmitLine("<TR><TD>" + Html(text) + "</TD></TR>");
  } else {
    WriteResultLine(text);
  }
}

void WriteWrappedText(std::string_view text) {
  if (text.empty()) return;
  if (IsTextTarget(St().target) && text.size() > 72) {
    int longest = 0;
    const int n = WrapTextLines(text, ' ', 64, longest);
    const std::vector<std::string> pieces(G().WrapLines.begin() + 1, G().WrapLines.begin() + 1 + n);
    for (const std::string& piece : pieces) WriteTableCellRow(piece);
  } else {
    WriteTableCellRow(text);
  }
}

// ------------------------------------------------------------ pages

void WriteReportPageHead(int pageNumber, int withColumnHead) {
  DeviceState& st = St();
  BaseGlobals& g = G();
  if (!st.open) return;
  const bool first = pageNumber == 1 || (pageNumber == 0 && st.pageCount == 0);
  if (IsTxtTarget(st.target)) {
    ++st.pageCount;
    if (!first) return;
    const StampTexts now = StampNowTexts();
    WriteResultLine(ProgramTitleVersion(" V") + "\t" + now.date + "\t" + now.time);
    // The command-line run names the file it delivers, not its work file.
    const std::string& named = st.target == kOutCommandLine ? CommandLineOutputName() : st.fileName;
    WriteResultLine(Oem(TrimBlanks(named)));
    for (int k = 1; k <= 3; ++k) WriteResultLine(g.TitleBlockLines[static_cast<std::size_t>(k)]);
    WriteResultLine(" ");
    return;
  }
  if (st.target == kOutHtml) {
    ++st.pageCount;
    if (first && !st.htmlHeadWritten) EmitHtmlHead();
    return;
  }

  PauseForNextSheet();
  if (g.AbortFlag != 0) return;
  if (g.PageHeadMode == 2 && !first) {
    WriteOutputLine(" ");
    return;
  }
  if (g.ReportLineStyle == 4 && !first && st.lineCount < g.LinesPerPage / 2) return;
  st.lineCount = 0;
  st.columnHead = withColumnHead;
  ++st.pageCount;
  const int shown = pageNumber != 0 ? pageNumber : st.pageCount;
  st.inHead = true;

  if (g.ReportLineStyle == 4) WriteResultLine("");
  for (int k = 0; k < std::clamp(g.TopMarginLines, 0, 30); ++k) WriteResultLine("");
  WriteResultLine(FrameTopLine());

  std::string line = SideLine();
  OverwriteAt(st.title, line, 6);
  if (g.PageHeadMode != 2) {
    if (st.totalPages > 0) st.titleMarks.push_back({st.out.size() + kIndent.size(), line, shown});
    line = TitleLineWithPage(line, shown, st.totalPages);
  }
  WriteResultLine(line);

  line = SideLine();
  const StampTexts now = StampNowTexts();
  OverwriteAt(now.date, line, 53);
  OverwriteAt(now.time, line, 64);
  WriteResultLine(line);

  line = SideLine();
  OverwriteAt(SpringFileText(), line, 6);
  WriteResultLine(line);

  WriteResultLine(FrameMiddleLine());
  for (int k = 1; k <= 4; ++k) {
    const std::string& text = st.titleLines[static_cast<std::size_t>(k)];
    if (k == 4 && text.empty()) continue;
    line = SideLine();
    OverwriteAt(text, line, 6);
    WriteResultLine(line);
  }
  if (withColumnHead == 1) {
    WriteResultLine(FrameMiddleLine());
    WriteReportTableHead();
  } else {
    WriteResultLine(FrameBottomLine());
  }
  st.inHead = false;
  st.headLines = st.lineCount;
}

void WritePageEnd() {
  DeviceState& st = St();
  if (!st.open || !IsTextTarget(st.target)) return;
  if (G().ReportLineStyle == 4 && st.lineCount < G().LinesPerPage / 2) return;
  if (st.target == kOutScreen || st.target == kOutPrinter) EmitLine(std::string(1, kFormFeed));
  if (st.target == kOutTextPrinter) Emit(std::string(1, kFormFeed));
  st.lineCount = 0;
  st.headLines = 0;
}

void CheckPageBreak(int withColumnHead) {
  DeviceState& st = St();
  if (!st.open || !IsTextTarget(st.target) || st.inHead) return;
  if (st.lineCount + 1 >= PageLimit()) BreakPage(withColumnHead);
}

void PauseForNextSheet() {
  if (!St().pagePause) return;
  if (!AskYesNoCancel("Blatt in Drucker einlegen.  Fortfahren ?")) G().AbortFlag = 1;
}

// ------------------------------------------------------------ messages

void WriteRemarksSection() {
  DeviceState& st = St();
  const BaseGlobals& g = G();
  const int count = g.ErrorMessageList.count;
  if (!st.open || count == 0) return;
  const bool txt = IsTxtTarget(st.target);
  WriteOutputLine("");
  WriteResultLine("BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN");
  if (!txt) {
    WriteResultLine(DoubleRuleLine());
    WriteOutputLine("");
    WriteResultLine(SingleRuleLine());
  }
  if (st.target == kOutHtml) OpenHtmlTable();
  for (int k = 1; k <= count && k <= 12; ++k) {
    const std::string& message = g.ErrorMessageList.slot[static_cast<std::size_t>(k)];
    std::string cause, remedy;
    GetErrorCause(k, cause);
    GetErrorRemedy(k, remedy);
    if (txt) {
      WriteOutputLine(message + "\t" + cause + "\t" + remedy);
      continue;
    }
    WriteTableCellRow(message);
    WriteWrappedText(cause);
    WriteWrappedText(remedy);
    if (IsTextTarget(st.target) && g.ReportLineStyle != 4) WriteResultLine(SingleRuleLine());
    if (st.target == kOutHtml) {
      CloseHtmlTable();
      WriteResultLine("");
      OpenHtmlTable();
    }
  }
  if (st.target == kOutHtml) CloseHtmlTable();
}

void WriteRemarksShort() {
  const BaseGlobals& g = G();
  WriteOutputLine("");
  WriteResultLine("BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN");
  for (int k = 1; k <= g.ErrorMessageList.count && k <= 12; ++k)
    WriteResultLine(g.ErrorMessageList.slot[static_cast<std::size_t>(k)]);
}

void WriteMessagesSection() {
  if (G().ErrorMessageList.count == 0) return;
  PauseForNextSheet();
  if (G().AbortFlag != 0) return;
  WriteReportPageHead(0, 0);
  WriteRemarksSection();
  WritePageEnd();
}

void ShowErrorMessageReport() {
  BaseGlobals& g = G();
  if (g.ErrorMessageList.count == 0) {
    ShowMessageText("Berechnung erfolgreich ohne Fehlermeldungen");
    return;
  }
  if (g.FatalErrorFlag != 0) {
    ShowCalcMessages();
    return;
  }
  SetReportTitles(g.ProductName + " V" + g.ProgramVersion, "Error Messages", g.TitleBlockLines[1],
                  g.TitleBlockLines[2], g.TitleBlockLines[3], 1);
  OpenOutputDevice(kOutScreen, g.CurrentFileName + ".txt", SpringOutputSubject("Fehlermeldungen"));
  if (g.AbortFlag == 0) WriteMessagesSection();
  CloseOutputDevice();
}

std::string FormatNumberLine(std::string_view text, std::string_view number) {
  std::string line(64, ' ');
  OverwriteAt(text, line, 1);
  OverwriteAt("Nr.: " + std::string(number), line, 40);
  return line;
}

void CopyTextFileToOutput(std::string_view fileName) {
  if (!St().open) return;
  std::ifstream in(ResolvePathCaseInsensitive(fileName), std::ios::binary);
  if (!in) return;
  St().out.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zeb
