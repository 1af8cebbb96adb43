// The plot program: the dialogue that builds its command line, and the
// start of a command line. Command lines are code page 850 texts like the
// other configured texts; they are started as UTF-8 argument vectors.
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
  const std::string inputFile = Oem(CadTempFolder()) + "/gravelo";

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

void CadStartPlotProgram(std::string_view line) {
  std::string text = TrimBlanks(Utf8(line));
  std::size_t quotes = 0;
  for (char c : text) quotes += c == '"';
  std::vector<std::string> argv = SplitCommandLine(text);
  if (text.empty() || quotes % 2 != 0 || argv.empty()) {
    ShowErrorBox("Kommandozeile fehlerhaft: "_oem + std::string(line));
    return;
  }
  // The program as the line names it, for the message.
  const std::vector<std::string> named = SplitCommandLine(TrimBlanks(std::string(line)));
  const std::string program = named.empty() ? std::string(line) : named.front();
  const std::string first = argv[0];
  if (first.size() > 4 && UpperStr(first.substr(first.size() - 4)) == ".BAT") {
    if (!FileCanBeOpened(first)) {
      ShowProgramStartError(ENOENT, program, kPlotProgramSetting);
      return;
    }
    argv.insert(argv.begin(), "sh");
  }
  const ProcessResult r = StartProgram(argv, false);
  if (!r.started) ShowProgramStartError(r.error, program, kPlotProgramSetting);
}

}  // namespace zeb
