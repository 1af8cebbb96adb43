// Headless user-interface ports.
//
// ScriptedUi (tests): a queue of expected interactions with their answers.
// Each call of the port takes the next expectation; it must be of the same
// kind and match the given substrings. Whatever is shown is recorded, texts
// both as the raw Windows-1252 bytes and as UTF-8. An unexpected call (none
// left, wrong kind, no match) never blocks: it is recorded as a failure and
// answered like Cancel. Cursor, title, beep and text printing are recorded,
// not expected.
//
// BatchUi (command-line runs): writes each box as one UTF-8 line, answers
// every question with its safe answer (Cancel where offered, else No) and
// cancels every dialog, logging what it did. It never waits or reads input.
#pragma once
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui_port.h"

namespace zeb {

// Kinds of interaction of the port.
enum class UiCall {
  MessageBox,
  Question,
  InputText,
  YesNo,
  Choice,
  Screen,
  ErrorHelpForm,
  TextViewer,
  PrintRange,
  OpenFile,
  SaveFile,
  Folder,
};
const char* UiCallName(UiCall call);

// The answer typed into a text input.
class TextAnswer {
 public:
  enum class Kind { Typed, Unchanged, Cancelled };
  TextAnswer(const char* utf8) : kind_(Kind::Typed), text_(utf8) {}
  TextAnswer(std::string utf8) : kind_(Kind::Typed), text_(std::move(utf8)) {}
  TextAnswer(std::string_view utf8) : kind_(Kind::Typed), text_(utf8) {}
  static TextAnswer Keep() { return TextAnswer(Kind::Unchanged); }  // OK on the text as shown
  static TextAnswer Cancel() { return TextAnswer(Kind::Cancelled); }
  Kind kind() const { return kind_; }
  const std::string& text() const { return text_; }

 private:
  explicit TextAnswer(Kind k) : kind_(k) {}
  Kind kind_;
  std::string text_;
};

// One interaction as it was shown. Texts in UTF-8; the *1252 fields hold the
// bytes that crossed the port (paths are UTF-8 in both).
struct UiShown {
  UiCall call = UiCall::MessageBox;
  std::string caption;   // box caption; filter of a file chooser
  std::string text;      // box text, prompt, error message; folder of a chooser
  std::string value;     // text preset; preset file name; "J"/"N" or the
                         // 1-based position preselected
  std::vector<std::string> items;  // choice texts, screen lines
  std::string caption1252, text1252, value1252;
  std::vector<std::string> items1252;
  QuestionKind questionKind = QuestionKind::YesNoCancel;
  int maxLength = 0;     // text input
  int index = -1;        // choice preselected (0-based)
  bool listBox = false;  // choice
  int minPage = 0, maxPage = 0, first = 0, last = 0;  // print range
  ErrorHelpTexts errorHelp;   // 1252, as given
  TextViewerRequest viewer;   // as given
  std::string result;    // what the script answered, for messages
};

// Text written to a recorded printer.
struct PrintedText {
  int x = 0, y = 0;
  std::string text;      // UTF-8
  std::string text1252;
};
struct PrintJob {
  std::string title;
  bool portrait = true;
  std::string fontName;
  int fontSize = 0, fontStyle = 0;
  bool ended = false;
  std::vector<std::vector<PrintedText>> pages;
};

class ScriptedUi : public UiPort {
 public:
  // One queued expectation; the Expect* calls return it for refinement.
  class Expectation {
   public:
    // Further conditions (UTF-8): caption contains, text contains, value equals.
    Expectation& Caption(std::string_view sub);
    Expectation& Text(std::string_view sub);
    Expectation& Value(std::string_view exact);
    // Input dialogs: which help buttons are pressed (in this order) before
    // the dialog is left.
    Expectation& PressHelpText();
    Expectation& PressHelpPicture();
    // Choice: leave the list with the Enter key (list box only).
    Expectation& ByEnter();
    // Choice: requires the list box (true) or the radio buttons (false).
    Expectation& ListBox(bool listBox);
    // Runs while the dialog is open (e.g. a viewer's print button).
    Expectation& Then(std::function<void(const UiShown&)> action);
    // Text viewer: the window rectangle returned (default: the request's).
    Expectation& Returns(WindowRect rect);

   private:
    friend class ScriptedUi;
    UiCall call_ = UiCall::MessageBox;
    std::string captionSub_, textSub_;
    std::optional<std::string> value_;
    std::optional<bool> listBox_;
    std::vector<int> helpPresses_;  // 1 text, 2 picture
    std::vector<std::function<void(const UiShown&)>> actions_;
    // Answers.
    Answer answer_ = Answer::Cancel;
    std::optional<TextAnswer> text_;
    bool cancel_ = false;
    bool yes_ = false;
    int position_ = 0;  // choice, 1-based
    bool byEnter_ = false;
    int first_ = 0, last_ = 0;
    std::optional<std::string> path_;
    std::optional<std::pair<std::string, std::string>> edit_;  // cause, remedy (UTF-8)
    std::optional<WindowRect> rect_;
  };

  ScriptedUi();
  ~ScriptedUi() override;

  // Substring arguments are UTF-8; empty matches anything.
  Expectation& ExpectMessageBox(std::string_view captionSub, std::string_view textSub);
  // Yes/No answer a Yes/No/Cancel question, Retry a Retry/Cancel one;
  // Cancel answers either.
  Expectation& ExpectQuestion(std::string_view captionSub, std::string_view textSub, Answer answer);
  // Typed text is UTF-8 (converted to 1252 as a keyboard would give it) and
  // cut to the edit's maximum length.
  Expectation& ExpectInputText(std::string_view promptSub, TextAnswer answer);
  Expectation& ExpectYesNo(std::string_view promptSub, bool yes);
  Expectation& ExpectYesNoCancel(std::string_view promptSub);
  // position is 1-based, as AskChoice numbers its entries.
  Expectation& ExpectChoice(std::string_view promptSub, int position);
  Expectation& ExpectChoiceCancel(std::string_view promptSub);
  // textSub is looked for in every line.
  Expectation& ExpectScreen(std::string_view textSub);
  // Closes the form unchanged, or with cause and remedy edited (UTF-8).
  Expectation& ExpectErrorHelpForm(std::string_view messageSub);
  Expectation& ExpectErrorHelpFormEdit(std::string_view messageSub, std::string_view cause,
                                       std::string_view remedy);
  Expectation& ExpectTextViewer(std::string_view captionSub);
  Expectation& ExpectPrintRange(int first, int last);
  Expectation& ExpectPrintRangeCancel();
  // nullopt cancels the chooser.
  Expectation& ExpectOpenFile(std::optional<std::string> path);
  Expectation& ExpectSaveFile(std::optional<std::string> path);
  Expectation& ExpectFolder(std::optional<std::string> path);

  // Every failure is also passed to this callback when set (the test
  // fixture turns it into a test failure at once).
  void OnFailure(std::function<void(const std::string&)> report);
  // True when every expectation was used and nothing unexpected happened.
  bool Verify() const;
  // Failures and unused expectations, one per line; empty when all is well.
  std::string Problems() const;
  // The unused expectations, one per line (what Verify adds to failures).
  std::string Unused() const;
  // Forgets expectations, failures and records.
  void Reset();

  // Records.
  const std::vector<UiShown>& shown() const { return shown_; }
  const std::vector<std::string>& failures() const { return failures_; }
  const std::vector<CursorKind>& cursors() const { return cursors_; }
  const std::vector<std::string>& titles() const { return titles_; }  // UTF-8
  int beeps() const { return beeps_; }
  const std::vector<PrintJob>& printJobs() const { return *printJobs_; }
  // Texts of the boxes shown, UTF-8, in order.
  std::vector<std::string> MessageTexts() const;
  // Printer returned by OpenTextPrinter: page height; no printer when false.
  void SetPrinter(bool available, int pageHeight = 3300);
  // Polls (PollLater) kept for RunPollsOnce instead of run at once, as an
  // event loop would run them after the command.
  void HoldPolls(bool hold) { holdPolls_ = hold; }
  // Runs every kept poll once; true while some are still polling.
  bool RunPollsOnce(bool idle);

  // UiPort.
  void MessageBox(std::string_view caption, std::string_view text) override;
  Answer Question(std::string_view caption, std::string_view text, QuestionKind kind) override;
  void Beep() override;
  DialogEnd InputText(std::string_view prompt, int maxLength, std::string& text,
                      const DialogHelp& help) override;
  DialogEnd AskYesNo(std::string_view prompt, bool& yes, const DialogHelp& help) override;
  DialogEnd AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index,
                      bool listBox, const DialogHelp& help) override;
  void ShowScreen(std::string_view caption, const std::vector<std::string>& lines) override;
  ErrorHelpResult ErrorHelpForm(const ErrorHelpTexts& texts, const std::function<void()>& help) override;
  WindowRect TextViewer(const TextViewerRequest& request) override;
  bool PrintRange(int& first, int& last, int minPage, int maxPage) override;
  std::unique_ptr<TextPrinter> OpenTextPrinter() override;
  bool ChooseOpenFile(std::string_view folder, std::string_view filter, std::string& path) override;
  bool ChooseSaveFile(std::string_view folder, std::string_view filter, std::string_view presetName,
                      std::string& path) override;
  bool ChooseFolder(std::string_view folder, std::string& chosen) override;
  void SetCursor(CursorKind kind) override;
  void SetTitle(std::string_view title) override;
  void PollLater(const std::function<bool(bool idle)>& poll) override;

 private:
  Expectation& Push(UiCall call);
  // Takes the next expectation for `shown`, or records a failure and
  // returns null.
  std::optional<Expectation> Take(const UiShown& shown);
  void Fail(std::string message);
  void PressHelp(const Expectation& e, const DialogHelp& help);
  void RunActions(const Expectation& e, const UiShown& shown);
  bool Choose(UiCall call, std::string_view folder, std::string_view filter, std::string_view preset,
              std::string& path);

  std::deque<Expectation> expected_;
  std::vector<UiShown> shown_;
  std::vector<std::string> failures_;
  std::vector<CursorKind> cursors_;
  std::vector<std::string> titles_;
  int beeps_ = 0;
  std::function<void(const std::string&)> onFailure_;
  bool printerAvailable_ = true;
  int pageHeight_ = 3300;
  std::shared_ptr<std::vector<PrintJob>> printJobs_;
  bool holdPolls_ = false;
  std::vector<std::function<bool(bool)>> polls_;
};

class BatchUi : public UiPort {
 public:
  // Log lines go to `log` (stderr by default); it is not closed.
  explicit BatchUi(std::FILE* log = stderr);

  void MessageBox(std::string_view caption, std::string_view text) override;
  Answer Question(std::string_view caption, std::string_view text, QuestionKind kind) override;
  void Beep() override;
  DialogEnd InputText(std::string_view prompt, int maxLength, std::string& text,
                      const DialogHelp& help) override;
  DialogEnd AskYesNo(std::string_view prompt, bool& yes, const DialogHelp& help) override;
  DialogEnd AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index,
                      bool listBox, const DialogHelp& help) override;
  void ShowScreen(std::string_view caption, const std::vector<std::string>& lines) override;
  ErrorHelpResult ErrorHelpForm(const ErrorHelpTexts& texts, const std::function<void()>& help) override;
  WindowRect TextViewer(const TextViewerRequest& request) override;
  bool PrintRange(int& first, int& last, int minPage, int maxPage) override;
  // No printer in a batch run: null.
  std::unique_ptr<TextPrinter> OpenTextPrinter() override;
  bool ChooseOpenFile(std::string_view folder, std::string_view filter, std::string& path) override;
  bool ChooseSaveFile(std::string_view folder, std::string_view filter, std::string_view presetName,
                      std::string& path) override;
  bool ChooseFolder(std::string_view folder, std::string& chosen) override;
  void SetCursor(CursorKind kind) override;
  void SetTitle(std::string_view title) override;

 private:
  void Line(std::string_view utf8);
  std::FILE* log_;
};

// Windows-1252 bytes as UTF-8, line breaks kept.
std::string Utf8Of1252(std::string_view text1252);

}  // namespace zeb
