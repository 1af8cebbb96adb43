#include "mainwin/program.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/choosers.h"
#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/text.h"
#include "graphics/cad.h"
#include "mainwin/captions.h"
#include "mainwin/dispatch.h"
#include "mainwin/documents_cmd.h"
#include "mainwin/online.h"
#include "mainwin/session.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "reports/device.h"
#include "reports/printout_full.h"
#include "settings/config.h"
#include "spring/calc.h"
#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/valuetable.h"

namespace zeb {

// ---------------------------------------------------------------- main window fake

void RecordingMainWindow::SetMenuCaptions() { Note("SetMenuCaptions"); }
void RecordingMainWindow::SetMenuLanguage(int languageNumber) {
  Note("SetMenuLanguage", {std::to_string(languageNumber)});
}
void RecordingMainWindow::ApplyMainWindowLayout() { Note("ApplyMainWindowLayout"); }
void RecordingMainWindow::SetCaption(std::string_view text1252) { Note("SetCaption", {std::string(text1252)}); }
void RecordingMainWindow::SetRecentFileItem(int n, bool visible, std::string_view caption1252) {
  Note("SetRecentFileItem", {std::to_string(n), visible ? "1" : "0", std::string(caption1252)});
}
void RecordingMainWindow::SetRecentSeparator(bool visible) { Note("SetRecentSeparator", {visible ? "1" : "0"}); }
void RecordingMainWindow::RunNewSpringSequence() { Note("RunNewSpringSequence"); }
void RecordingMainWindow::RefreshMainWindow() { Note("RefreshMainWindow"); }
MainWindowGeometry RecordingMainWindow::Geometry() {
  const ScreenMetrics& s = CurrentScreenMetrics();
  return {s.width, s.mainOuterHeight, s.width, s.mainClientHeight};
}
void RecordingMainWindow::SetClientSize(int width, int height) {
  Note("SetClientSize", {std::to_string(width), std::to_string(height)});
}

// ---------------------------------------------------------------- state

namespace {
ProgramState& Instance() {
  static ProgramState s;
  return s;
}
}  // namespace

ProgramState& PS() {
  ProgramState& s = Instance();
  if (!s.Window) s.Window = std::make_shared<RecordingMainWindow>();
  return s;
}

void ResetProgramState() { Instance() = ProgramState{}; }

MainWindowServices& MainWindow() { return *PS().Window; }

void SetMainWindow(std::shared_ptr<MainWindowServices> window) {
  if (!window) window = std::make_shared<RecordingMainWindow>();
  Instance().Window = std::move(window);
}

// ---------------------------------------------------------------- identity

void SetProgramIdentity() {
  BaseGlobals& g = G();
  g.ProgramVersion = "26.6";
  g.ProductName = "ZEB1";
  g.ProgramShortName = "zeb1";
  g.ProgramTitle = g.ProductName + "   " + "Druckfederberechnung";
  g.SpringFileExtension = "zeb";
  SG().SpringDbName = g.ProgramShortName;
}

void InitProgramIdentity() { SetProgramIdentity(); }

// ---------------------------------------------------------------- command line

namespace {

bool IsPrintoutSwitch(std::string_view p) { return p == "/I" || p == "/i" || p == "-I" || p == "-i"; }

bool IsCadSwitch(std::string_view p) {
  if (p.size() < 4) return false;
  const std::string head = UpperStr(p.substr(0, 4));
  return head == "/CAD" || head == "-CAD";
}

bool IsUsageParameter(std::string_view p) { return p == "?" || p == "/?"; }

bool IsNoGuiSwitch(std::string_view p) { return UpperStr(p) == "/NOGUI"; }

bool IsOutputSwitch(std::string_view p) { return IsPrintoutSwitch(p) || IsCadSwitch(p); }

// "/E", "/G": an interactive start that does not read the file.
bool IsNoReadSwitch(std::string_view p) { return p == "/E" || p == "/e" || p == "/G"; }

bool LooksLikeSwitch(std::string_view p) { return !p.empty() && (p[0] == '/' || p[0] == '-'); }

// The command line without "/NOGUI", which may stand anywhere.
std::vector<std::string> Args() {
  std::vector<std::string> args;
  for (const std::string& a : G().CommandLineArgs)
    if (!IsNoGuiSwitch(a)) args.push_back(a);
  return args;
}

// Where a file is now: absent, or its identity and time.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  struct timespec mtime {};
  off_t size = 0;
};

FileStamp StampOf(const std::string& path) {
  FileStamp f;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    f.exists = true;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    f.mtime = st.st_mtim;
    f.size = st.st_size;
  }
  return f;
}

// The file was created or replaced since `before` was taken.
bool FileWrittenSince(const std::string& path, const FileStamp& before) {
  const FileStamp now = StampOf(path);
  if (!now.exists) return false;
  if (!before.exists) return true;
  return now.dev != before.dev || now.ino != before.ino || now.mtime.tv_sec != before.mtime.tv_sec ||
         now.mtime.tv_nsec != before.mtime.tv_nsec || now.size != before.size;
}

// A batch run's calculation messages, one per line, on its error stream:
// all of them, or only the "Fatal  :" texts.
void LogCalcMessages(bool fatalOnly = false) {
  std::FILE* err = PS().Err;
  if (err == nullptr) return;
  const ErrorMessageListT& list = G().ErrorMessageList;
  const int n = list.count > 12 ? 12 : list.count;
  for (int k = 1; k <= n; ++k) {
    const std::string& text = list.slot[static_cast<std::size_t>(k)];
    if (fatalOnly && text.rfind("Fatal  :", 0) != 0) continue;
    std::string line = ToUtf8(CodePage::Cp850, text) + "\n";
    std::fwrite(line.data(), 1, line.size(), err);
  }
  std::fflush(err);
}

// The usage text on one of the batch run's streams.
void PrintUsage(std::FILE* out) {
  if (out == nullptr) return;
  for (const std::string& l : UsageLines()) {
    std::string line = ToUtf8(CodePage::Cp850, l);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
  std::fflush(out);
}

// The name part (after the last "/") holds a ".".
bool NameHasExtension(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return path.find('.', slash == std::string_view::npos ? 0 : slash + 1) != std::string_view::npos;
}

// Anything is there under this name, as the reader finds it: a file, a
// folder, a device or a link, also one that leads nowhere.
bool SomethingNamed(const std::string& path) {
  struct stat st {};
  return ::lstat(ResolvePathCaseInsensitive(path).c_str(), &st) == 0;
}

// A file (not a folder) is there under this name, as the reader finds it.
bool FileThere(const std::string& path) {
  const std::string found = ResolvePathCaseInsensitive(path);
  return PathExists(found) && !PathIsDirectory(found);
}

// Reads the command-line file of an output mode: a name without extension
// is the file of that name, else that name with the spring-file extension.
void ReadCommandLineSpringFile(const std::string& name) {
  BaseGlobals& g = G();
  if (NameHasExtension(name)) {
    ReadSpringFile(name);
    return;
  }
  const std::string withExtension = name + "." + g.SpringFileExtension;
  // A file of either name is read; else what stands under a name (a
  // folder) is named as the reader names it.
  if (FileThere(name)) {
    ReadSpringFilePath(name);
  } else if (SomethingNamed(withExtension)) {
    ReadSpringFilePath(withExtension);
  } else if (SomethingNamed(name)) {
    ReadSpringFilePath(name);
  } else {
    ShowError("Datei "_oem + FromUtf8(CodePage::Cp850, name) + " oder " + FromUtf8(CodePage::Cp850, withExtension) +
              " nicht gefunden !"_oem);
    g.AbortFlag = 1;
  }
}

// Reads the command-line file of an output mode and keeps its bare name.
// 0 when the output may follow, else the mode's exit code: 1 when the file
// could not be read (AbortFlag set), 2 after a fatal calculation error
// (logged). Exit code 2 also stands for every run that wrote nothing, so a
// batch script can tell a missing output from a written one.
int ReadCommandLineFile() {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  if (TrimBlanks(g.CurrentFileName).empty()) {
    ShowError(FileUnreadableText(g.CurrentFileName));
    g.AbortFlag = 1;
    return 1;
  }
  ReadCommandLineSpringFile(g.CurrentFileName);
  if (g.AbortFlag != 0) return 1;
  PS().CommandLineSpringFile = ResolvePathCaseInsensitive(g.CurrentFilePath);
  g.CurrentFileName = BareFileName(g.CurrentFileName);
  if (g.FatalErrorFlag != 0) {
    LogCalcMessages();
    return 2;
  }
  // Fatal texts that do not stop the calculation are reported all the same.
  LogCalcMessages(true);
  return 0;
}

// An output of the command-line mode may replace a writable regular file
// (or the one a link points to); anything else there (a FIFO, device or
// folder, a read-only file) is refused rather than waited on or written
// into, and so is the spring file that was read.
bool OutputCanBeWritten(const std::string& target) {
  struct stat out {};
  if (::stat(target.c_str(), &out) != 0) return true;
  std::string reason;
  struct stat in {};
  if (!S_ISREG(out.st_mode)) {
    reason = "keine reguläre Datei"_oem;
  } else if ((out.st_mode & S_IWUSR) == 0) {
    // Read-only by its mode, also for a user (root) whom access() lets write.
    reason = "schreibgeschützt"_oem;
  } else if (::stat(PS().CommandLineSpringFile.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
             in.st_ino == out.st_ino) {
    reason = "die gelesene Federdatei"_oem;
  } else {
    return true;
  }
  ShowErrorBox("Datei "_oem + FromUtf8(CodePage::Cp850, target) + " kann nicht geschrieben werden: "_oem + reason);
  return false;
}

// "/I": the full printout into CurrentFileName + ".txt".
int RunPrintoutMode() {
  BaseGlobals& g = G();
  if (const int code = ReadCommandLineFile(); code != 0) return code;
  const std::string target = g.CurrentFileName + ".txt";
  if (!OutputCanBeWritten(target)) return 2;
  const FileStamp before = StampOf(target);
  g.AskOutputTarget = 0;
  g.OutputTarget = kOutCommandLine;
  PrintReport();
  return FileWrittenSince(target, before) ? 0 : 2;
}

// "/CADi:j": drawing j in format i into CurrentFileName + the format's
// extension.
int RunCadMode(std::string_view parameter) {
  BaseGlobals& g = G();
  if (const int code = ReadCommandLineFile(); code != 0) return code;
  const char codeChar = parameter.size() >= 5 ? parameter[4] : '\0';
  const int i = codeChar >= '0' && codeChar <= '9' ? codeChar - '0' : 0;
  const char* ext = i == 1 ? "dxf" : i == 2 ? "igs" : i == 5 ? "txt" : nullptr;
  if (ext == nullptr) {
    ShowErrorBox("CAD-Code \""_oem + FromUtf8(CodePage::Cp850, parameter.substr(4, 1)) +
                 "\": keine Dateiausgabe (1=DXF, 2=IGS, 5=TXT)"_oem);
    return 2;
  }
  const std::string_view jText = parameter.size() > 6 ? parameter.substr(6) : std::string_view{};
  std::int64_t j = 0;
  if (!TryTextToInt(jText, j) || j < 1 || j > 32767) {
    ShowErrorBox("Zeichnung Nr. "_oem + FromUtf8(CodePage::Cp850, jText) + ": keine Ausgabe"_oem);
    return 2;
  }
  const std::string target = g.CurrentFileName + "." + ext;
  if (!OutputCanBeWritten(target)) return 2;
  const FileStamp before = StampOf(target);
  g.AbortFlag = 0;
  SetCadBatchMode(1);
  const bool ran = CadOutputByIndex(i, static_cast<int>(j));
  SetCadBatchMode(0);
  return ran && FileWrittenSince(target, before) ? 0 : 2;
}

// Below this the temporary folder counts as full: not even the block files
// of the first drawing fit.
constexpr unsigned long long kTempFolderMinFreeBytes = 64 * 1024;

// The run's own scratch folder inside the configured temporary folder (else
// $TMPDIR or /tmp). A folder that is missing, cannot be written or is full
// is named once and the start goes on, writing no scratch file. Folders
// that killed runs of the user left there go.
void MakeRunScratchFolder() {
  std::string parent = TrimBlanks(G().TempFolder);
  if (parent.empty()) parent = TempDirectory();
  const std::string folder = parent.size() > 1 ? RemoveTrailingBackslash(parent) : parent;
  const auto named = [](std::string_view path) {
    return "Ordner für temporäre Dateien "_oem + FromUtf8(CodePage::Cp850, path);
  };
  // A TMPDIR that names no folder: /tmp stands in for it.
  const char* env = std::getenv("TMPDIR");
  if (env != nullptr && *env != '\0' && !PathIsDirectory(env) && folder == TempDirectory())
    ShowError(named(env) + " nicht vorhanden, es gilt "_oem + FromUtf8(CodePage::Cp850, folder));
  const int err = PlanRunFolder(folder);
  struct statvfs vfs {};
  const bool measured = ::statvfs(folder.c_str(), &vfs) == 0;
  const bool full = err == ENOSPC || err == EDQUOT ||
                    (err == 0 && measured &&
                     static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize < kTempFolderMinFreeBytes);
  if (full) {
    ShowError(named(folder) + " ist voll !"_oem);
  } else if (err == ENOENT || err == ENOTDIR) {
    ShowError(named(folder) + (err == ENOENT ? " nicht vorhanden !"_oem : " ist kein Ordner !"_oem));
  } else if (err == EACCES || err == EPERM || err == EROFS) {
    ShowError(named(folder) + " nicht beschreibbar !"_oem);
  } else if (err != 0) {
    ShowError(named(folder) + ": kein Arbeitsordner anlegbar ("_oem + SystemErrorText(err) + ")");
  }
  if (err == 0) RemoveDeadRunFolders(folder);
}

}  // namespace

namespace {
constexpr std::time_t kStaleSaveSeconds = 600;
}  // namespace

void RemoveStaleSaveTemporaries(std::string_view folder, std::time_t sessionStart) {
  // Only the program's own names, of the user's own regular files that no
  // save can still be writing: a save of another session may be slowed down
  // for a while, so only a file untouched for ten minutes is a leftover.
  RemoveOwnTemporaries(folder.empty() ? std::string(".") : RemoveTrailingBackslash(folder),
                       sessionStart - kStaleSaveSeconds);
}

bool IsBatchCommandLine(const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  for (const std::string& a : args) {
    if (IsNoGuiSwitch(a)) return true;
    rest.push_back(a);
  }
  if (!rest.empty() && IsUsageParameter(rest[0])) return true;
  for (std::size_t k = 1; k < rest.size(); ++k)
    if (IsOutputSwitch(rest[k])) return true;
  return false;
}

std::vector<std::string> UsageLines() {
  const BaseGlobals& g = G();
  const std::string prog = "w" + g.ProgramShortName;
  const std::string test = prog + " test." + g.SpringFileExtension;
  std::vector<std::string> lines(21);
  lines[0] = g.ProductName + " Command Line Mode";
  lines[2] = prog + " Filename [/I] [/CADi:j] [/NOGUI]";
  lines[4] = "/I       -> TXT file";
  lines[6] = "/CADi:j  -> CAD File";
  lines[7] = "            i: 1=DXF, 2=IGS, 5=TXT";
  lines[8] = "            j: index (1,2,3, ..)";
  lines[10] = "/NOGUI  -> No GUI, exit on fatal error";
  lines[14] = "/?       -> Help";
  lines[17] = "Example: " + test + "             ->  GUI";
  lines[18] = "Example: " + test + " /I /NOGUI   ->  test.txt";
  lines[19] = "Example: " + test + " /CAD1:1     ->  test.dxf";
  lines[20] = "Example: " + prog + " test.edi /E /NOGUI   ->  test.edi";
  return lines;
}

// ---------------------------------------------------------------- start-up

std::optional<int> ProgramStart(int startMode) {
  BaseGlobals& g = G();
  ProgramState& ps = PS();
  ps.StartMode = static_cast<std::int16_t>(startMode);

  // 1-3: identity, configuration, folders.
  InitProgramIdentity();
  g.AbortFlag = 0;
  if (startMode < 6 || startMode > 9) ReadConfigFile();
  g.AbortFlag = 0;
  g.ShowErrorsSwitch = 1;
  CheckConfigFolders();
  MakeRunScratchFolder();
  // A folder question cancelled in a batch run must not count as a failed
  // read of the command-line file.
  g.AbortFlag = 0;
  g.CurrentDataFolder.clear();

  // 5: the command line.
  // A spring file read here is shown as its result graphic after start-up.
  bool commandLineFileRead = false;
  const std::vector<std::string> args = Args();
  if (!args.empty()) {
    if (IsUsageParameter(args[0])) {
      for (std::size_t k = 1; k < g.LineTable.size(); ++k) g.LineTable[k].clear();
      const std::vector<std::string> usage = UsageLines();
      for (std::size_t k = 0; k < usage.size() && k + 1 < g.LineTable.size(); ++k) g.LineTable[k + 1] = usage[k];
      if (ps.BatchRun)
        PrintUsage(ps.Out);
      else
        ShowScreenDialog();
      return 0;
    }
    g.CurrentFileName = args[0];
    g.CurrentDataFolder.clear();
    std::string p2 = args.size() >= 2 ? args[1] : std::string();
    if (ps.BatchRun) {
      // The output switch counts wherever it stands after the file name;
      // a second one or any other switch ends the run unread.
      std::string output;
      for (std::size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (IsOutputSwitch(a) && output.empty()) {
          output = a;
        } else if (LooksLikeSwitch(a) && !(k == 1 && IsNoReadSwitch(a))) {
          ShowErrorBox("Parameter \""_oem + FromUtf8(CodePage::Cp850, a) + "\" ungültig"_oem);
          PrintUsage(ps.Err);
          return 2;
        }
      }
      if (!output.empty()) {
        if (IsNoReadSwitch(p2)) {
          ShowErrorBox("Parameter \""_oem + FromUtf8(CodePage::Cp850, p2) + "\" ungültig"_oem);
          PrintUsage(ps.Err);
          return 2;
        }
        p2 = output;
      }
    }
    if (IsNoReadSwitch(p2)) {
      // Interactive start without reading the file.
    } else if (IsPrintoutSwitch(p2)) {
      return RunPrintoutMode();
    } else if (IsCadSwitch(p2)) {
      return RunCadMode(p2);
    } else {
      // The name part must carry the extension.
      if (!NameHasExtension(g.CurrentFileName)) {
        ShowError("Erweiterung ."_oem + g.SpringFileExtension + " " + "muß mit angegeben werden"_oem);
        return 0;
      }
      // A file that is there and cannot be taken is named (the reader keeps
      // the calculation's boxes off itself); a name that is not there
      // starts a new file of that name without a word.
      const bool there = SomethingNamed(g.CurrentFileName);
      g.ShowErrorsSwitch = there ? 1 : 0;
      ReadSpringFile(g.CurrentFileName);
      g.ShowErrorsSwitch = 0;
      // A drawing that cannot be written (a full temporary folder) does
      // not make the file unread.
      const Byte readFailed = g.AbortFlag;
      Drawings().RedrawCurrentDrawing();
      g.AbortFlag = readFailed;
      g.CommandLineFileLoaded = 1;
      g.ShowErrorsSwitch = 1;
      commandLineFileRead = readFailed == 0;
      if (g.AbortFlag != 0 && there) {
        // Never made the current file: the spring is the template's, new
        // and unnamed, and the file stays as it is.
        g.AbortFlag = 0;
        g.CommandLineFileLoaded = 0;
        g.CurrentFileName.clear();
        g.CurrentFilePath.clear();
        g.CurrentFileStamp = {};
      } else if (g.AbortFlag != 0) {
        g.AbortFlag = 0;
        ConfirmOverwriteFile(g.CurrentFileName);
        if (g.AbortFlag != 0) return 0;
      }
    }
  }

  // 6: interactive start. Temporaries of saves killed in earlier sessions go.
  if (!ps.BatchRun) RemoveStaleSaveTemporaries(Config().DefaultDataFolder, std::time(nullptr));
  if (g.CommandLineFileLoaded == 1) {
    g.CurrentDataFolder.clear();
  } else {
    SetHourglassCursor();
    g.CurrentDataFolder = AddBackslash(Config().DefaultDataFolder);
    Graphics().GrafSetWindow(true, true, 0.1L, 0.05L, 0.95L, 0.95L, 0.0L, 0.0L, 36.9L, 32.0L);
    Graphics().GrafDrawLogo();
    const std::string templatePath = g.CurrentDataFolder + "null." + g.SpringFileExtension;
    if (FileCanBeOpened(templatePath)) {
      ReadSpringFile("null");
      g.CurrentFileName.clear();
    } else if (PathIsDevice(templatePath)) {
      // A FIFO or device in the template's place is named, not waited on.
      ShowError("Datei "_oem + FromUtf8(CodePage::Cp850, templatePath) + " ist keine reguläre Datei !"_oem);
    }
  }

  // 7-9: calculation, flags, start picture.
  g.AbortFlag = 0;
  if (startMode == 1 || startMode == 4 || startMode == 8) RunCalculation();
  g.AbortFlag = 0;
  g.ModifiedFlag = 0;
  if (commandLineFileRead) {
    // The spring's result graphic, as File > Open shows it, not the start
    // picture.
    MainWindow().RefreshMainWindow();
    g.AbortFlag = 0;
  } else if (FileCanBeOpened(AddBackslash(g.HelpFolder) + "start.plt")) {
    Graphics().GrafClear();
    Graphics().ShowHelpPictureFile("start");
  }
  return std::nullopt;
}

std::optional<int> FormCreate() {
  BaseGlobals& g = G();
  MainWindow().SetMenuCaptions();
  Graphics().DisplayListInit();
  InitProgramIdentity();
  ReadConfigFile();
  g.AbortFlag = 0;
  ReadSessionFile();
  g.AbortFlag = 0;
  FillRecentFileMenu(PS().ExitItemIndex);
  if (std::optional<int> code = ProgramStart(8)) return code;
  g.AbortFlag = 0;
  MainWindow().ApplyMainWindowLayout();
  UpdateMainCaption();
  MainWindow().SetMenuCaptions();
  if (Config().LanguageNumber > 0) MainWindow().SetMenuLanguage(Config().LanguageNumber);
  return std::nullopt;
}

bool FormCloseQuery() {
  G().AbortFlag = 0;
  QuerySaveChanges();
  if (G().AbortFlag != 0) return false;
  G().AbortFlag = 0;
  DeleteTempDrawingFiles();
  return true;
}

void FormDestroy() { WriteSessionFile(); }

// ---------------------------------------------------------------- run

int RunProgram(int argc, const char* const* argv) { return RunProgram(argc, argv, stdout, stderr); }

void InitProgramUnits() {
  ResetBaseGlobals();
  ResetSpringGlobals();
  ChangeLog() = DefaultChangeLog();
  DocumentLinks() = DefaultDocumentLinks();
  ValueTable() = ValueTableRecord{};
  ResetCadState();
  ResetConfigDefaults();
  InitOutputDevice();
  ResetCaptionTables();
  ResetOnlineState();
  ProgramState& ps = PS();
  ps.StartMode = 8;
  ps.CadBatchMode = 0;
  ps.ExitItemIndex = 0;
  ps.BatchRun = false;
  ps.CommandLineSpringFile.clear();
}

int RunProgram(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  const int code = RunProgramStart(argc, argv, out, err).value_or(0);
  RemoveRunFolder();
  return code;
}

std::optional<int> RunProgramStart(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  InitProgramUnits();
  std::vector<std::string> args;
  for (int k = 1; k < argc; ++k) args.emplace_back(argv[k] != nullptr ? argv[k] : "");
  G().CommandLineArgs = args;

  ProgramState& ps = PS();
  ps.Out = out;
  ps.Err = err;
  ps.BatchRun = IsBatchCommandLine(args);
  std::optional<int> ended = FormCreate();
  if (ended) RemoveRunFolder();
  return ended;
}

}  // namespace zeb
