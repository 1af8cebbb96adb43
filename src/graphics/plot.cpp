// The plot program: the dialogue that builds its command line, and the
// start of a command line. Command lines are code page 850 texts like the
// other configured texts; they are started as UTF-8 argument vectors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/viewer.h"
#include "graphics/cad.h"
#include "graphics/cad_output.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/process.h"

namespace zeb {

namespace {

std::string Utf8(std::string_view oem) { return ToUtf8(CodePage::Cp850, oem); }
std::string Oem(std::string_view utf8) { return FromUtf8(CodePage::Cp850, utf8); }

void FillLineTable(std::initializer_list<const char*> items) {
  auto& table = G().LineTable;
  if (table.size() < 136) table.resize(136);
  int i = 1;
  for (const char* s : items) table[i++] = s;
}

// The folder of the program of a command line: the first word up to its
// last "/"; empty when it names no folder.
std::string ProgramFolderOf(std::string_view line) {
  std::string first(line.substr(0, line.find(' ')));
  std::size_t slash = first.rfind('/');
  return slash == std::string::npos ? std::string() : first.substr(0, slash);
}

bool WriteBatchFile(const std::string& path, const std::string& content) {
  CadFile f;
  if (f.Open(path) != 0) return false;
  f.Write(content);
  f.Write("\n");
  return f.Commit() == 0;
}

}  // namespace

void GraveloCommandLine(std::string& line) {
  std::int16_t kind = 2;
  std::string folder = "c:\\gravelo";
  if (std::string f = ProgramFolderOf(line); !f.empty()) folder = f;
  std::int16_t format = 1, iface = 2;
  std::uint16_t port = 1;
  Real scale = 1.0L, xOffset = 0, yOffset = 0;
  bool rotate = false;
  std::string outName, psFont;
  std::string batchName = "c:\\gravelo\\" + G().ProgramShortName;
  const std::string inputFile = Oem(PlotFolderForCommandLines()) + "/gravelo";

  FillLineTable({"WGRAVELO.EXE (Windows)", "GRAVELO.EXE (MS-DOS)"});
  AskChoice("GRAVELO/WGRAVELO", 2, kind);
  if (G().AbortFlag) return;
  const std::string program = kind == 1 ? "wgravelo.exe" : "gravelo.exe";
  for (;;) {
    SetCurrentHelpNumber(2080);
    InputText("Programmverzeichnis von " + program, 40, folder);
    if (G().AbortFlag) return;
    std::string path = AddBackslash(folder) + program;
    if (FileCanBeOpened(Utf8(path))) break;
    ShowErrorBox("Datei " + path + " " + "nicht gefunden oder kein Zugriffsrecht" + " !");
  }
  FillLineTable({"HP-GL Laserjet (HPL)", "Postscript  (PS)", "HP-GL (PLT)", "HP-GL/2  (PL2)", "Aristo  (ART)"});
  AskChoice("Ausgabeformat", 5, format);
  if (G().AbortFlag) return;
  FillLineTable({"seriell", "parallel", "Datei"});
  AskChoice("Ausgabeschnittstelle", 3, iface);
  if (G().AbortFlag) return;
  if (iface == 1) InputIntInRangeWord("COM-Port", port, 1, 4);
  else if (iface == 2) InputIntInRangeWord("LPT-Port", port, 1, 4);
  else InputText("Name der Ausgabedatei", 30, outName);
  if (G().AbortFlag) return;
  InputFloatInRange("Maßstab (0=anpassen)"_oem, scale, 0, 1000);
  if (G().AbortFlag) return;
  AskYesNo("Plot um 90 Grad drehen ?", rotate);
  if (G().AbortFlag) return;
  InputFloatInRange("Nullpunktverschiebung in x-Richtung", xOffset, -100000000, 100000000);
  if (G().AbortFlag) return;
  InputFloatInRange("Nullpunktverschiebung in y-Richtung", yOffset, -100000000, 100000000);
  if (G().AbortFlag) return;
  if (format == 2) {
    InputText("Postscript-Zeichensatz", 28, psFont);
    if (G().AbortFlag) return;
  }

  static const char* const kCodes[] = {"HPL", "PS", "PLT", "PL2", "ART"};
  std::string built = AddBackslash(folder) + (kind == 1 ? "WGRAVELO " : "GRAVELO ") + inputFile;
  built += std::string(" /C") + kCodes[std::clamp<int>(format, 1, 5) - 1];
  if (iface != 2) built += " /D" + IntToText(iface == 1 ? 1 : 3);
  if (iface != 3 && port != 1) built += " /P" + IntToText(port);
  if (iface == 3 && !TrimBlanks(outName).empty()) built += " /F" + outName;
  if (scale != 1) built += scale == 0 ? std::string(" /M*") : " /M" + CommaToPoint(FloatToStrSig(scale));
  if (xOffset != 0) built += " /X" + CommaToPoint(FloatToStrSig(xOffset));
  if (rotate) built += " /R";
  if (yOffset != 0) built += " /Y" + CommaToPoint(FloatToStrSig(yOffset));
  if (format == 2) built += " /T" + psFont;

  line = built;
  if (built.size() <= 60) return;
  ShowMessageText("Kommandozeile zu lang, Es wird eine Batch-Datei erzeugt.");
  for (;;) {
    SetCurrentHelpNumber(2170);
    InputText("Name der Batch-Datei (ohne .bat)", 20, batchName);
    if (G().AbortFlag) return;
    if (batchName.find('.') != std::string::npos) continue;
    if (WriteBatchFile(Utf8(batchName + ".BAT"), Utf8(built))) break;
    ShowErrorBox("Datei " + batchName + ".BAT " + "kann nicht angelegt werden");
  }
  line = batchName + ".BAT";
}

namespace {

// A word naming the plot file: "gravelo" or "gravelo.dxf" after its last "/".
bool IsPlotFileWord(std::string_view word) {
  const std::size_t slash = word.rfind('/');
  const std::string name = LowerStr(slash == std::string_view::npos ? word : word.substr(slash + 1));
  return name == "gravelo" || name == "gravelo.dxf";
}

bool IsBatchName(std::string_view first) {
  return first.size() > 4 && UpperStr(first.substr(first.size() - 4)) == ".BAT";
}

// The words of a line (UTF-8); "" and false when its quotes do not pair.
bool LineWords(std::string_view line, std::vector<std::string>& words) {
  const std::string text = TrimBlanks(Utf8(line));
  std::size_t quotes = 0;
  for (char c : text) quotes += c == '"';
  words = SplitCommandLine(text);
  return !text.empty() && quotes % 2 == 0 && !words.empty();
}

// Starts argv; the program as the line names it for the message.
void StartPlotWords(std::vector<std::string> argv, std::string_view line) {
  const std::vector<std::string> named = SplitCommandLine(TrimBlanks(std::string(line)));
  const std::string program = named.empty() ? std::string(line) : named.front();
  const std::string first = argv[0];
  if (IsBatchName(first)) {
    if (!FileCanBeOpened(first)) {
      ShowProgramStartError(ENOENT, program, kPlotProgramSetting);
      return;
    }
    argv.insert(argv.begin(), "sh");
  }
  const ProcessResult r = StartProgram(argv, false);
  if (!r.started) ShowProgramStartError(r.error, program, kPlotProgramSetting);
}

// The folder of a word, without its closing "/"; "" when it names none.
std::string WordFolder(const std::string& word) {
  std::string folder = ExtractFolderPart(word);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool IsRunFolderPath(const std::string& folder) {
  const std::size_t slash = folder.rfind('/');
  return IsRunFolderName(slash == std::string::npos ? folder : folder.substr(slash + 1));
}

}  // namespace

void CadStartPlotProgram(std::string_view line) {
  std::vector<std::string> argv;
  if (!LineWords(line, argv)) {
    ShowErrorBox("Kommandozeile fehlerhaft: "_oem + std::string(line));
    return;
  }
  StartPlotWords(std::move(argv), line);
}

void CadStartPlotProgram(std::string_view line, const std::string& path) {
  std::vector<std::string> argv;
  if (!LineWords(line, argv)) {
    ShowErrorBox("Kommandozeile fehlerhaft: "_oem + std::string(line));
    return;
  }
  if (!IsBatchName(argv[0])) {
    bool placed = false;
    for (std::size_t i = 1; i < argv.size() && !placed; ++i) {
      if (!IsPlotFileWord(argv[i])) continue;
      const std::string lower = LowerStr(argv[i]);
      const bool withExtension = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".dxf") == 0;
      argv[i] = withExtension ? path : path.substr(0, path.size() - 4);
      placed = true;
    }
    if (!placed) argv.push_back(path);
  }
  StartPlotWords(std::move(argv), line);
}

std::string PlotFolderForCommandLines() {
  std::string folder = TrimBlanks(G().TempFolder);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || IsRunFolderPath(folder)) folder = TempDirectory();
  return folder;
}

PlotFile CadMakePlotFile(std::string_view line) {
  PlotFile plot;
  std::vector<std::string> words;
  LineWords(line, words);
  const bool batch = !words.empty() && IsBatchName(words[0]);
  if (batch) {
    // A batch file's line is its own: the file goes where it says.
    std::string bytes;
    if (ReadWholeFile(words[0], bytes, 4096)) words = SplitCommandLine(TrimBlanks(bytes.substr(0, bytes.find('\n'))));
  }
  std::string folder;
  for (std::size_t i = 1; i < words.size() && folder.empty(); ++i) {
    if (!IsPlotFileWord(words[i])) continue;
    folder = WordFolder(words[i]);
    if (folder.empty() || !PathIsDirectory(folder) || IsRunFolderPath(folder)) folder.clear();
  }
  const bool named = !folder.empty();
  if (!named) folder = PlotFolderForCommandLines();
  struct stat st {};
  const bool shared = ::stat(folder.c_str(), &st) != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  if (named && (batch || !shared)) {
    plot.path = folder + "/gravelo.dxf";
    return plot;
  }
  // A name of its own, never an existing file or link.
  int err = EEXIST;
  std::string path;
  for (int k = 1; k <= 1000 && err == EEXIST; ++k) {
    path = folder + "/gravelo" + (k == 1 ? std::string() : "-" + std::to_string(k)) + ".dxf";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    err = fd < 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
  }
  if (err != 0) {
    ShowErrorBox("Datei "_oem + Oem(path) + " kann nicht angelegt werden: "_oem + SystemErrorText(err));
    G().AbortFlag = 1;
    return plot;
  }
  plot.path = path;
  plot.created = true;
  return plot;
}

}  // namespace zeb
