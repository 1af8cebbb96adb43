// The user-interface port: everything the program asks of the screen.
// Texts cross it as Windows-1252 bytes, paths as UTF-8. Implementations:
// scripted and batch (headless, base/headless_ui.h) and Qt (base/qt/).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// The two help buttons of an input dialog; either may be empty.
struct DialogHelp {
  std::function<void()> text;
  std::function<void()> picture;
};

// How a dialog was left. Enter only where it differs from OK (list box).
enum class DialogEnd { Ok, Cancel, Enter };

// YesNoCancelNo: the same buttons with No as the default (a question whose
// Yes throws work away).
enum class QuestionKind { YesNoCancel, YesNoCancelNo, RetryCancel };
enum class Answer { Yes, No, Cancel, Retry };

enum class CursorKind { Arrow, Hourglass };

struct ErrorHelpTexts {
  std::string message, cause, remedy;  // Windows-1252
};

struct ErrorHelpResult {
  bool modified = false;  // cause or remedy edited
  ErrorHelpTexts texts;   // as shown when closed
};

struct TextViewerRequest {
  std::string displayFile;  // UTF-8 path of the converted copy
  std::string caption;      // 1252
  std::string fontName;
  int fontSize = 10;
  int fontStyle = 0;        // 1 bold, 2 italic, 4 underline, 8 strike-out
  int left = 10, top = 40, width = 700, height = 440;
  std::function<void()> print;          // "&Drucken..."
  std::function<void()> exportNotepad;  // "Export &Notepad"
};

struct WindowRect {
  int left = 0, top = 0, width = 0, height = 0;
};

// A page printer for text (portrait or landscape), coordinates in device
// pixels from the top left of the printable area.
class TextPrinter {
 public:
  virtual ~TextPrinter() = default;
  virtual bool Begin(std::string_view jobTitle, bool portrait, std::string_view fontName, int fontSize,
                     int fontStyle) = 0;
  virtual int PageHeight() const = 0;
  virtual void NewPage() = 0;
  virtual void TextOut(int x, int y, std::string_view text1252) = 0;
  virtual void End() = 0;
};

class UiPort {
 public:
  virtual ~UiPort() = default;

  // Plain modal box with OK only.
  virtual void MessageBox(std::string_view caption, std::string_view text) = 0;
  virtual Answer Question(std::string_view caption, std::string_view text, QuestionKind kind) = 0;
  virtual void Beep() = 0;

  // Input dialogs. Values in/out; unchanged on Cancel.
  virtual DialogEnd InputText(std::string_view prompt, int maxLength, std::string& text,
                              const DialogHelp& help) = 0;
  virtual DialogEnd AskYesNo(std::string_view prompt, bool& yes, const DialogHelp& help) = 0;
  // index is 0-based; listBox selects the list dialog (8 or more items).
  virtual DialogEnd AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index,
                              bool listBox, const DialogHelp& help) = 0;
  // A page of text lines (22) with OK.
  virtual void ShowScreen(std::string_view caption, const std::vector<std::string>& lines) = 0;

  virtual ErrorHelpResult ErrorHelpForm(const ErrorHelpTexts& texts, const std::function<void()>& help) = 0;
  // Shows the viewer modally; returns the window rectangle when closed.
  virtual WindowRect TextViewer(const TextViewerRequest& request) = 0;

  // Print dialog with a page range; false when cancelled.
  virtual bool PrintRange(int& first, int& last, int minPage, int maxPage) = 0;
  virtual std::unique_ptr<TextPrinter> OpenTextPrinter() = 0;

  // File choosers; false when cancelled. filter is "pattern|pattern".
  virtual bool ChooseOpenFile(std::string_view folder, std::string_view filter, std::string& path) = 0;
  virtual bool ChooseSaveFile(std::string_view folder, std::string_view filter, std::string_view presetName,
                              std::string& path) = 0;
  virtual bool ChooseFolder(std::string_view folder, std::string& chosen) = 0;

  virtual void SetCursor(CursorKind kind) = 0;
  virtual void SetTitle(std::string_view title) = 0;

  // Calls poll again and again, about every 20 ms, until it returns false.
  // Its argument says whether a box may be shown now: not while a command
  // runs or a modal window is open. A port with an event loop calls it
  // from there and returns at once; this one polls here, every call with
  // true.
  virtual void PollLater(const std::function<bool(bool idle)>& poll);
};

// The port in use; batch by default.
UiPort& Ui();
void SetUi(std::shared_ptr<UiPort> port);

}  // namespace zeb
