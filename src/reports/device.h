// The text output device: every text result (printouts, message report,
// tables) leaves the program through it. The device chooses the target and
// the layout: framed 70-column code page 850 text with page heads for
// screen, printers and files; tab-separated lines for TXT; a Windows-1252
// HTML document for the browser.
//
// Calling order of a report:
//   SetReportTitles -> OpenOutputDevice -> WriteReportPageHead -> lines,
//   rows, tables, remarks -> WritePageEnd -> CloseOutputDevice.
// The caller tests AbortFlag after each step and stops when it is set, but
// always ends with CloseOutputDevice (or holds an OutputDeviceGuard): after
// an abort the close delivers nothing (no viewer, program or printer is
// started, no user file is created or changed, temporary files are removed).
//
// OpenOutputDevice opens the output itself: callers never open the work
// text file for it and write only through the functions below. The output
// is collected and written when the device is closed (temporary name, then
// renamed), so a failed write leaves the old file and delivers nothing.
//
// Texts handed in are code page 850; the HTML target converts them to
// Windows text and escapes & < > " (markup comes only from the device).
// Paths are UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// Targets (GetOutputTarget); 1..7 are the user's choices.
enum OutputTargetCode : int {
  kOutInternal = 0,      // OpenOutputDevice: the configured or asked target
  kOutScreen = 1,        // "Bildschirm": the text viewer
  kOutTextPrinter = 2,   // "Textdrucker": raw code page 850 to the printer
  kOutFile = 3,          // "Datei": a file chosen in a save dialog
  kOutPrinter = 4,       // "Windows-Drucker": printed page by page
  kOutTextProgram = 5,   // "externes Textprogramm"
  kOutTxt = 6,           // "TXT Datei": tab-separated
  kOutHtml = 7,          // "HTML Datei"
  kOutDosFile = 8,       // internal: temp folder + "OUTDOS.TXT"
  kOutCommandLine = 9,   // internal: as 6, copy beside the spring file
  kOutNamesOnly = 90,    // OpenOutputDevice: only fill LineTable 1..7
};

// Name of target 1..7 as in LineTable ("Bildschirm" ...); "" otherwise.
std::string OutputTargetName(int target);

// Start state: no output open, target 1, counts 0, titles and column
// titles at their start values. Tests call it after ResetBaseGlobals.
void InitOutputDevice();

// target 0: the configured OutputTarget, asked ("Ausgabe auf ..") when
// AskOutputTarget is on; 1..9 that target; 90 only refills LineTable 1..7
// with the target names. fileName: empty means CurrentFileName; a name
// without "." gets ".txt". subject: what the output shows, the text
// window's title (Windows-1252; "Ausdruck" when empty). Cancel or failure
// sets AbortFlag; nothing is open then. Line and page count restart at 0.
void OpenOutputDevice(int target, std::string_view fileName, std::string_view subject = {});
// The subject of an output of the current spring: what (code page 850)
// and the spring file's name, without its folder, as the main window's
// title names it.
std::string SpringOutputSubject(std::string_view what);
// Finishes the output for the active target; see the header comment.
// Safe to call when nothing is open.
void CloseOutputDevice();
bool OutputDeviceIsOpen();
int GetOutputTarget();

// Closes an open output when it goes out of scope.
class OutputDeviceGuard {
 public:
  OutputDeviceGuard() = default;
  ~OutputDeviceGuard() {
    if (OutputDeviceIsOpen()) CloseOutputDevice();
  }
  OutputDeviceGuard(const OutputDeviceGuard&) = delete;
  OutputDeviceGuard& operator=(const OutputDeviceGuard&) = delete;
};

// Head texts; an empty title becomes ProgramTitle + "  V" + ProgramVersion.
// totalPages 0 = not known. Page and line count := 0.
void SetReportTitles(std::string_view title, std::string_view line1, std::string_view line2,
                     std::string_view line3, std::string_view line4, int totalPages);
// Column head (start: "", "Zeichen", "Einheit", "1", "2").
void SetReportColumnTitles(std::string_view t1, std::string_view t2, std::string_view t3, std::string_view t4,
                           std::string_view t5);
// Column positions of the rows: symbol 35, unit 44, value 56, values 51, 62.
void SetResultColumnPositions();

// pageNumber 0 = the next number; withColumnHead 1 = the head ends with the
// column head. Head lines are counted result lines; no page break is
// checked while a head is written.
void WriteReportPageHead(int pageNumber, int withColumnHead);
void WriteReportTableHead();

// Raw writers (not counted, no indent), with and without line end.
void WriteOutputLine(std::string_view text);
void WriteOutputText(std::string_view text);
// Result lines: text targets indent by 7 blanks, count the line and break
// the page when it is full; "$!$" is never written; TXT skips rule lines.
void WriteResultLine(std::string_view text);
void WriteResultText(std::string_view text);
// label at 1, symbol at 35, unit at 44, value at 56 (a long value ends at
// column 69), then a single rule. TXT: tab-separated. HTML: a table row.
void WriteResultRow(std::string_view label, std::string_view symbol, std::string_view unit,
                    std::string_view value);
// As WriteResultRow with value1 at 51 and value2 at 62.
void WriteResultRow2(std::string_view label, std::string_view symbol, std::string_view unit,
                     std::string_view value1, std::string_view value2);
void WriteTableCellRow(std::string_view text);
// Text targets: a text over 72 characters is wrapped into pieces of at
// most 64 at blanks.
void WriteWrappedText(std::string_view text);
void OpenHtmlTable();
void CloseHtmlTable();
// HTML target only: markup as it stands (Windows text) with a line end, and
// a code page 850 text as HTML content (Windows text, & < > " escaped).
void WriteHtmlMarkup(std::string_view markup);
std::string HtmlText(std::string_view text);

void WritePageEnd();
void CheckPageBreak(int withColumnHead);
// Printer with page pause: "Blatt in Drucker einlegen.  Fortfahren ?";
// No or Cancel sets AbortFlag.
void PauseForNextSheet();

// "BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN" with each message, its cause
// and its remedy from the message-help file.
void WriteRemarksSection();
// Short form: heading and each message as a result line.
void WriteRemarksShort();
// When there are messages: a page with the remarks section.
void WriteMessagesSection();
// View > error messages.
void ShowErrorMessageReport();

// 64 characters: text at column 1, "Nr.: " + number at column 40.
std::string FormatNumberLine(std::string_view text, std::string_view number);
// Copies the bytes of a file into the output as they are.
void CopyTextFileToOutput(std::string_view fileName);

// Rule and frame lines of ReportLineStyle (70 characters), "$!$" where the
// style has none; written with WriteResultLine.
std::string SingleRuleLine();
// Characters of a report line (rules, frames, the width a table keeps to).
constexpr int kReportLineWidth = 70;
std::string DoubleRuleLine();
std::string FrameTopLine();
std::string FrameMiddleLine();
std::string FrameBottomLine();
char FrameSideChar();
inline constexpr std::string_view kSkipLine = "$!$";

// State for callers and tests.
int ReportPageCount();   // heads written since the titles were set
int ReportLineCount();   // result lines on the current page
// The file being written (UTF-8 path; for target 2 the temporary file).
const std::string& OutputFileName();
// After a close: the file the user receives (target 3, 6, 7: the output
// file; 9: the Windows-text copy; 1, 5, 8: the copy "outwin.txt"; 4: the
// PDF when one was made); "" when nothing was delivered.
const std::string& DeliveredFileName();

// Text printer devices are looked for in this folder ("/dev"): "usb/lp<n-1>",
// then "lp<n-1>"; without them "lp -o raw" prints. For tests.
void SetTextPrinterDeviceFolder(std::string folder);

// Printing without a printer: a new empty PDF file in the temporary folder
// ("<short name>.pdf", then "-2", "-3" ...); "" with the error shown and
// AbortFlag set when none can be made.
std::string CreatePrintPdfFile();
// After a job printed into pdf: the "Meldung:" box naming it (true) when it
// was written to its end ("%%EOF"); else the file is removed (false), and a
// cut-off one named in an error box.
bool AnnouncePrintPdf(const std::string& pdf);
// Between these two the PDF files announced are collected, and the end
// names them all in one box (none when nothing was printed), with the jobs
// that were not made (code page 850 names).
void BeginPdfBatch();
void EndPdfBatch(const std::vector<std::string>& notMade = {});
// The PDF files announced since BeginPdfBatch.
std::size_t PdfBatchFileCount();

}  // namespace zeb
