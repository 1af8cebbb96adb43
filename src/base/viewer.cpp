#include "base/viewer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/textfile.h"
#include "base/ui_port.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/process.h"

namespace zeb {

namespace {

constexpr char kFormFeed = '\f';
constexpr int kDefaultLinesPerPage = 66;

std::string PathForMessage(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

bool IsPageBreak(std::string_view line) { return !line.empty() && line.front() == kFormFeed; }

// Starts program text (split at blanks, quotes group; "xdg-open" when
// empty) with the file as one more, absolute argument; no shell. A program
// that does not start is named with its setting.
void OpenWithProgram(std::string_view program, std::string_view file, std::string_view setting) {
  std::vector<std::string> argv = SplitCommandLine(program);
  if (argv.empty()) argv.push_back("xdg-open");
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(std::string(file)), ec);
  argv.push_back(ec ? std::string(file) : absolute.string());
  const ProcessResult r = StartProgram(argv);
  if (!r.started) ShowProgramStartError(r.error, PathForMessage(argv.front()), setting);
}

}  // namespace

std::string OpenDocumentWith(std::string_view program, std::string_view file,
                             std::function<void(const std::string& why)> failed, bool inWindow) {
  std::vector<std::string> argv = SplitCommandLine(program);
  if (argv.empty()) argv.push_back("xdg-open");
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(std::string(file)), ec);
  argv.push_back(ec ? std::string(file) : absolute.string());
  int pid = 0;
  const ProcessResult r = SpawnHelperProgram(argv, pid);
  const std::string named = "Programm "_oem + PathForMessage(argv.front());
  if (!r.started && r.error == ENOENT) return named + " nicht gefunden";
  if (!r.started) return named + " nicht startbar: "_oem + SystemErrorText(r.error);
  // Watched from the event loop: the window stays live meanwhile. An end
  // within the settle time counts, told once no command runs.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHelperSettleMs);
  Ui().PollLater([pid, until, named, failed = std::move(failed), inWindow, code = -1](bool idle) mutable {
    if (code < 0) {
      code = HelperExitCode(pid);
      if (code < 0) {
        if (std::chrono::steady_clock::now() < until) return true;
        ReapHelperLater(pid);
        return false;
      }
    }
    if (code == 0) return false;
    if (!idle && !inWindow) return true;
    if (failed) failed(named + " meldet Fehler (Code "_oem + std::to_string(code) + ")");
    return false;
  });
  return {};
}

namespace {

// Names the file that could not be written.
void ShowWriteError(int code, std::string_view path) {
  G().AbortFlag = 1;
  if (code == kIoDiskFull)
    ShowError("Diskette/Platte voll: " + FromUtf8(CodePage::Cp850, path));
  else
    ShowError("Fehler bei Zugriff auf Diskette/Platte: " + FromUtf8(CodePage::Cp850, path) + " (" + IoResultText(code) +
              ")");
}

std::string CsvField(std::string_view utf8) {
  std::string r = "\"";
  for (char c : utf8) {
    if (c == '"') r += '"';
    r += c;
  }
  r += '"';
  return r;
}

}  // namespace

void ShowProgramStartError(int error, std::string_view program, std::string_view setting) {
  std::string reason;
  if (error == ENOENT || error == EACCES || error == ENOEXEC || error == ENOTDIR || error == ELOOP ||
      error == ENAMETOOLONG)
    reason = "file not found";
  else if (error == ENOMEM)
    reason = "out of memory !";
  else
    reason = "Exec error " + std::to_string(error);
  ShowErrorBox(reason + ": " + std::string(program) + "\nEinstellung: " + std::string(setting));
}

int FontStyleToBits(FontStyleSet styles) { return static_cast<int>(styles.bits_.to_ulong()); }

FontStyleSet BitsToFontStyle(int bits, FontStyleSet defaultSet) {
  if (bits < 0 || bits > 15) return defaultSet;
  FontStyleSet r;
  r.bits_ = std::bitset<4>(static_cast<unsigned long>(bits));
  return r;
}

std::string ViewerDisplayFile() { return ScratchFile("outwin.txt"); }

void ShowTextFileViewer(std::string_view subject, std::string_view printFile, std::function<void()> print) {
  const std::string display = ViewerDisplayFile();
  if (!FileCanBeOpened(display)) {
    ShowOemMessage(PathForMessage(display) + " not found !");
    return;
  }
  TextViewerRequest request;
  request.displayFile = display;
  request.caption = OemToAnsiStr(G().ProductName) + "    " + std::string(subject);
  request.fontName = G().TextFontPrintout;
  request.fontSize = G().TextSizePrintout;
  request.fontStyle = FontStyleToBits(BitsToFontStyle(G().TextStylePrintout, {}));
  if (G().TextWindowWidth > 0 && G().TextWindowHeight > 0) {
    request.left = G().TextWindowLeft;
    request.top = G().TextWindowTop;
    request.width = G().TextWindowWidth;
    request.height = G().TextWindowHeight;
  }
  if (!print) print = [file = std::string(printFile)] { PrintTextFile(file); };
  // Each click is an action of its own: a failure before it stops nothing.
  request.print = [print = std::move(print)] {
    G().AbortFlag = 0;
    print();
  };
  // The text program of the settings takes the text editor's place.
  request.exportNotepad = [display] {
    G().AbortFlag = 0;
    OpenWithProgram(G().TextProgramPath, display, kTextProgramSetting);
  };
  const WindowRect closed = Ui().TextViewer(request);
  // The next viewer opens where this one was closed.
  if (closed.width > 0 && closed.height > 0) {
    G().TextWindowLeft = closed.left;
    G().TextWindowTop = closed.top;
    G().TextWindowWidth = closed.width;
    G().TextWindowHeight = closed.height;
  }
}

void PrintTextFile(std::string_view fileName) {
  if (G().AbortFlag != 0) return;
  TextFile f;
  f.Assign(fileName);
  if (f.Reset() != 0) {
    ShowOemMessage(PathForMessage(fileName) + " not found !");
    return;
  }
  // Pages: one per form-feed line, and one more for lines after the last.
  int feeds = 0;
  bool textAfterLastFeed = false;
  std::string s;
  while (!f.Eof() && f.ReadLine(s) == 0) {
    if (IsPageBreak(s)) {
      ++feeds;
      textAfterLastFeed = false;
    } else {
      textAfterLastFeed = true;
    }
  }
  f.Close();
  const int pages = feeds + (textAfterLastFeed || feeds == 0 ? 1 : 0);

  int first = 1, last = pages;
  if (!Ui().PrintRange(first, last, 1, pages)) return;
  if (first < 1) first = 1;
  if (last > pages) last = pages;
  if (first > last) return;

  std::unique_ptr<TextPrinter> printer = Ui().OpenTextPrinter();
  if (!printer) return;
  if (!printer->Begin(CurrentFileTitleName(), true, G().TextFontPrintout, G().TextSizePrintout,
                      FontStyleToBits(BitsToFontStyle(G().TextStylePrintout, {}))))
    return;
  const int linesPerPage = G().LinesPerPage > 0 ? G().LinesPerPage : kDefaultLinesPerPage;
  const int lineHeight = printer->PageHeight() / linesPerPage;
  if (f.Reset() == 0) {
    int page = 1, y = 0;
    while (page <= last && !f.Eof() && f.ReadLine(s) == 0) {
      if (IsPageBreak(s)) {
        ++page;
        if (page > first && page <= last) printer->NewPage();
        y = 0;
      } else {
        if (page >= first) printer->TextOut(0, y, OemToAnsiStr(s));
        y += lineHeight;
      }
    }
    f.Close();
  }
  printer->End();
}

int ConvertTextFileOemToAnsi(std::string_view source, std::string_view destination) {
  TextFile in, out;
  in.Assign(source);
  out.Assign(destination);
  int rc = in.Reset();
  if (rc != 0) {
    G().AbortFlag = 1;
    return rc;
  }
  if ((rc = out.Rewrite()) != 0) {
    in.Close();
    G().AbortFlag = 1;
    return rc;
  }
  std::string s;
  do {
    if ((rc = in.ReadLine(s)) != 0 || (rc = out.WriteLine(OemToAnsiStr(s))) != 0) {
      in.Close();
      out.Discard();
      G().AbortFlag = 1;
      return rc;
    }
  } while (!in.Eof());
  in.Close();
  if ((rc = out.Close()) != 0) G().AbortFlag = 1;
  return rc;
}

int ConvertTextOemToAnsi(std::string_view text, std::string_view destination) {
  // Line by line as the file copy reads them: split at LF, one CR before it
  // dropped, every line ended with CR LF, an empty text one empty line.
  std::string converted;
  converted.reserve(text.size() + text.size() / 32 + 2);
  std::size_t at = 0;
  do {
    const std::size_t nl = text.find('\n', at);
    std::string_view line;
    if (nl == std::string_view::npos) {
      line = text.substr(at);
      at = text.size();
    } else {
      line = text.substr(at, nl - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      at = nl + 1;
    }
    converted += OemToAnsiStr(line);
    converted += "\r\n";
  } while (at < text.size());
  TextFile out;
  out.Assign(destination);
  int rc = out.Rewrite();
  if (rc == 0) rc = out.Write(converted);
  if (rc != 0) {
    out.Discard();
    G().AbortFlag = 1;
    return rc;
  }
  if ((rc = out.Close()) != 0) G().AbortFlag = 1;
  return rc;
}

void ExportTextFileToExcel(std::string_view fileName) {
  if (fileName.empty()) {
    ShowOemMessage("File not found. Use \"File->Save\"");
    G().AbortFlag = 1;
    return;
  }
  if (!OpenWorkTextFileForReading(fileName)) {
    ShowOemMessage(PathForMessage(fileName) + " not found !");
    G().AbortFlag = 1;
    return;
  }
  TextFile& in = WorkTextFile();
  std::string stem = FileNameNoExt(fileName);
  if (stem.empty()) stem = "export";
  const std::string folder = G().TempFolder.empty() ? TempDirectory() : G().TempFolder;
  // The first of stem.csv, stem-2.csv, ... that can be made new: never an
  // existing file or link, and an export open in a spreadsheet stays as it is.
  std::string csv;
  int rc = 0;
  bool created = false;
  for (int k = 1; k <= 100 && csv.empty(); ++k) {
    const std::string name = AddBackslash(folder) + stem + (k == 1 ? "" : "-" + std::to_string(k)) + ".csv";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      csv = name;
      created = true;
    } else if (errno != EEXIST) {
      rc = errno == ENOSPC || errno == EDQUOT ? kIoDiskFull : errno;
      csv = name;
    }
  }
  if (csv.empty()) rc = EEXIST;
  TextFile out;
  out.Assign(csv);
  if (rc == 0) rc = out.Rewrite();
  std::string s;
  if (rc == 0) {
    do {
      rc = in.ReadLine(s);
      if (rc == 0) rc = out.WriteLine(CsvField(ToUtf8(CodePage::Cp1252, OemToAnsiStr(s))));
    } while (rc == 0 && !in.Eof());
  }
  in.Close();
  if (rc == 0) rc = out.Close();
  if (rc != 0) {
    out.Discard();
    if (created) ::unlink(csv.c_str());
    ShowWriteError(rc, csv);
    return;
  }
  const auto failed = [csv](const std::string& why) {
    ShowError("Excel kann nicht gestartet werden: "_oem + why + "; die Daten stehen in "_oem + PathForMessage(csv));
  };
  const std::string why = OpenDocumentWith(G().TableEditorPath, csv, failed);
  if (!why.empty()) failed(why);
}

}  // namespace zeb
