// The main menu as a table: every item with its objectName, parent menu,
// design caption, shortcut, the M/W/R rules and its handler. The Qt window
// builds its menus from it; headless tests run the handlers directly.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mainwin/program.h"

namespace zeb {

enum CommandFlags : unsigned {
  kMaterialFirst = 1,  // M: the material form first while tau zul is 0
  kModifies = 2,       // W: modified unless cancelled
  kRefresh = 4,        // R: RefreshMainWindow at the end
};

struct Command {
  std::string name;           // objectName
  std::string parent;         // objectName of the menu it sits in ("" = menu bar)
  std::string designCaption;  // UTF-8
  std::string shortcut;       // "Ctrl+N", "Shift+F1", ...
  unsigned flags = 0;
  bool isMenu = false;
  bool separatorBefore = false;
  // The command's work between the M step and the W/R steps; empty when
  // the item has no handler here.
  std::function<void()> run;
  // False while the service behind the handler is a stand-in.
  std::function<bool()> available;
  // Not shown at all while unavailable (what it needs is not in this build).
  bool hiddenWhenUnavailable = false;
};

// Every menu and item in menu order.
const std::vector<Command>& CommandTable();
const Command* FindCommand(std::string_view name);
// A handler is present and its service is not a stand-in.
bool CommandEnabled(const Command& c);
// Runs the command with its M, W and R rules.
void RunCommand(const Command& c);
void RunCommand(std::string_view name);

// The caption of an item in the current language (UTF-8).
std::string MenuItemCaption(const Command& c);

// Dialogs the handlers open (dimensions, tolerance, application,
// calculation method, production, production-drawing data, title-block
// texts, value table); each returns false when cancelled. Without an installed port none is there.
class CommandDialogs {
 public:
  virtual ~CommandDialogs() = default;
  virtual bool Dimensions() = 0;         // sets CalcMode and ForceInputChoice
  virtual bool Tolerance() = 0;
  virtual bool Application() = 0;
  virtual bool CalculationMethod() = 0;
  virtual bool Production() = 0;
  virtual bool ProductionDrawingData() = 0;
  virtual bool TitleBlockTexts() = 0;
  virtual bool ValueTable() = 0;
  virtual bool Configuration() = 0;  // settings applied on OK (and by save)
};

// Answers from a script: each dialog takes the next answer of its queue
// (true when the queue is empty). Records the dialogs in order.
class ScriptedCommandDialogs : public CommandDialogs {
 public:
  std::vector<std::string> opened;
  std::vector<std::pair<std::string, bool>> answers;  // dialog name, OK
  int calcMode = 3, forceInput = 1;                     // what Dimensions sets
  bool Dimensions() override;
  bool Tolerance() override;
  bool Application() override;
  bool CalculationMethod() override;
  bool Production() override;
  bool ProductionDrawingData() override;
  bool TitleBlockTexts() override;
  bool ValueTable() override;
  bool Configuration() override;

 private:
  bool Next(const char* name);
};

// nullptr: no dialogs (their items disabled).
void SetCommandDialogs(std::shared_ptr<CommandDialogs> dialogs);
CommandDialogs* Dialogs();

// Handler pieces.
// The material form while tau zul is 0 (without a material table: its
// missing file reported, AbortFlag set).
void MaterialFirst();
bool AskDesignOrRecalculation();
// Edit > characteristic-line recalculation: the points L' of the choice in
// the value table, then the F'-s' diagram on the screen.
void RecalculateCharacteristicLine();
// The dimensions dialog (round wire) or the choice of the input screen,
// then the mode; false when that dialog was cancelled (the spring is then
// calculated as it is).
bool DispatchCalculationMode();
// The new-spring sequence. The window is cleared once its first step (the
// title block) was taken. A cancel in any step ends it with AbortFlag set
// and NewSpringCancelled() true; the caller puts the document back.
void RunNewSpringSequenceSteps();
bool& NewSpringCancelled();
// The message item with the count of the last calculation.
void ShowMessageCountItem();
void RefreshMainWindowSteps();
// Hands a caption and enabled state of one item to the window.
class MenuStateSink {
 public:
  virtual ~MenuStateSink() = default;
  virtual void SetItem(std::string_view name, std::string_view captionUtf8, bool enabled) = 0;
};
void SetMenuStateSink(MenuStateSink* sink);

// What the window adds: its close (File > Exit) and the about box.
// The spring-file list and the print set-up (printer set-up and print
// modes) are windows of their own.
struct Hooks {
  std::function<void()> close, about;
  std::function<void()> fileList, printerSetup, print;
};
Hooks& WindowHooks();

// Choice of the dimensions dialog: 1 "F1, F2" .. 5.
std::int16_t& ForceInputChoice();

// SetMenuLanguage's steps: LanguageNumber, both tables, captions, caption
// of the window.
void ApplyMenuLanguage(int n);

// A main window without a screen: records every call like the recording
// one and runs the language, new-spring and refresh steps.
class HeadlessMainWindow : public RecordingMainWindow {
 public:
  void SetMenuLanguage(int n) override;
  void RunNewSpringSequence() override;
  void RefreshMainWindow() override;
};

// The maker's addresses (build settings; empty disables the item).
std::string WebAddress();
std::string MailAddress();
// "mailto:" + address + "?subject=" + product + "%20V" + version.
std::string MailUrl(const std::string& address);
// Opens an address with the desktop's opener (xdg-open).
void OpenAddress(const std::string& url);

}  // namespace zeb
