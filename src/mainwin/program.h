// The program's entry and exit: the state of the main window's start-up,
// the program identity, the creation of the main form (without its window
// for now), the start-up routine with the command-line mode, the close
// query and the end. RunProgram runs a whole program start in-process and
// returns the exit code.
//
// Exit codes of the command-line mode: 0 the output file was written (or
// the usage was shown, or an interactive start ended); 1 the spring file
// could not be read; 2 nothing was written (fatal calculation, failed or
// cancelled write, a CAD code without a file, a drawing index without
// output).
#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/services.h"
#include "base/types.h"

namespace zeb {

// Outer and client size of the main window in pixels.
struct MainWindowGeometry {
  int outerWidth = 0, outerHeight = 0, clientWidth = 0, clientHeight = 0;
};

// What the start-up and the document commands ask of the main window
// (menus, caption, the new-spring sequence and the refresh). Texts are
// Windows-1252.
class MainWindowServices {
 public:
  virtual ~MainWindowServices() = default;
  virtual void SetMenuCaptions() = 0;
  virtual void SetMenuLanguage(int languageNumber) = 0;
  virtual void ApplyMainWindowLayout() = 0;
  virtual void SetCaption(std::string_view text1252) = 0;
  // Recent-file items 1..4 and the separator before the exit item.
  virtual void SetRecentFileItem(int n, bool visible, std::string_view caption1252) = 0;
  virtual void SetRecentSeparator(bool visible) = 0;
  virtual void RunNewSpringSequence() = 0;
  virtual void RefreshMainWindow() = 0;
  virtual MainWindowGeometry Geometry() = 0;
  // The client area takes width x height and is repainted; a side of 0 or
  // less keeps its size.
  virtual void SetClientSize(int width, int height) = 0;
};

// Records every call; does nothing else.
class RecordingMainWindow : public MainWindowServices, public CallRecorder {
 public:
  void SetMenuCaptions() override;
  void SetMenuLanguage(int languageNumber) override;
  void ApplyMainWindowLayout() override;
  void SetCaption(std::string_view text1252) override;
  void SetRecentFileItem(int n, bool visible, std::string_view caption1252) override;
  void SetRecentSeparator(bool visible) override;
  void RunNewSpringSequence() override;
  void RefreshMainWindow() override;
  // From the screen metrics: as wide as the screen.
  MainWindowGeometry Geometry() override;
  void SetClientSize(int width, int height) override;
};

MainWindowServices& MainWindow();
// nullptr puts back a fresh RecordingMainWindow.
void SetMainWindow(std::shared_ptr<MainWindowServices> window);

// Globals of the start-up, the command-line mode and the document
// commands that the base library does not hold.
struct ProgramState {
  std::int16_t StartMode = 8;
  Byte CadBatchMode = 0;
  // Index of the exit item in the File menu (FillRecentFileMenu).
  int ExitItemIndex = 0;
  // The run is a batch run (usage, printout, CAD export or /NOGUI).
  bool BatchRun = false;
  // Where a batch run writes the usage (out) and its messages (err).
  std::FILE* Out = stdout;
  std::FILE* Err = stderr;
  // The spring file a command-line output mode read (its path as found).
  std::string CommandLineSpringFile;
  std::shared_ptr<MainWindowServices> Window;
};

ProgramState& PS();
// Start values of the state (a fresh recording main window).
void ResetProgramState();

// Program identity: version, product name, short name, title, spring-file
// extension and the spring table's name.
void SetProgramIdentity();
void InitProgramIdentity();

// A run is batch when parameter 1 is "?" or "/?", parameter 2 is a
// printout or CAD switch, or "/NOGUI" is given in any case. args are the
// parameters without the program name.
bool IsBatchCommandLine(const std::vector<std::string>& args);

// The 21 lines of the usage text (code page 850), entry 1 first.
std::vector<std::string> UsageLines();

// The creation of the main form: identity, configuration, session,
// recent files, start-up in StartMode 8, caption. A value when the
// program ends inside the start-up (its exit code).
std::optional<int> FormCreate();
// The start-up routine; a value when the program ends in it.
std::optional<int> ProgramStart(int startMode);
// Removes the program's own temporary names (".name" + kTemporaryMark +
// six letters or digits) of the user's regular files from folder whose last
// change lies ten minutes or more before sessionStart: what killed saves
// left behind.
void RemoveStaleSaveTemporaries(std::string_view folder, std::time_t sessionStart);
// Close query of the main window: true when it may close (the save
// question was not cancelled); then the "$*.dx$" block files of the
// temporary folder are deleted.
bool FormCloseQuery();
// End of the main window: writes the session file.
void FormDestroy();

// The start values of every unit the program uses (globals of the base
// library, spring, CAD layer, configuration, output device and this
// state); the installed ports and services stay.
void InitProgramUnits();

// A whole program start with the UI port in place (the executable installs
// a batch port for batch runs, see IsBatchCommandLine). argv[0] is the
// program name. Starts with InitProgramUnits. A batch run writes the usage to out and a failed
// calculation's messages to err. An interactive run ends after the
// start-up (the main window is not built yet) with 0. Screen metrics come
// from config.h's SetScreenMetrics.
int RunProgram(int argc, const char* const* argv);
// The same up to the end of the start-up: a value when the program ended
// in it (its exit code), none when the interactive session goes on.
std::optional<int> RunProgramStart(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
int RunProgram(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace zeb
