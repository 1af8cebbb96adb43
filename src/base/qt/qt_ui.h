// The user-interface port on Qt Widgets. Needs a QApplication.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/ui_port.h"

class QPrinter;

namespace zeb {

class QtUi : public UiPort {
 public:
  struct PageRange {
    int first = 1, last = 1;
  };

  QtUi();
  ~QtUi() override;

  // Print into this PDF file (UTF-8 path) instead of a printer; empty: the
  // printer chosen in the print dialog.
  void SetPdfOutput(std::string path);
  // Answer every print dialog with this range without showing it (unattended
  // runs and tests); nullopt shows the dialog.
  void SetPrintRangeAnswer(std::optional<PageRange> range);
  // The last title set (1252), for a main window created later.
  const std::string& Title() const { return title_; }

  void MessageBox(std::string_view caption, std::string_view text) override;
  Answer Question(std::string_view caption, std::string_view text, QuestionKind kind) override;
  void Beep() override;

  DialogEnd InputText(std::string_view prompt, int maxLength, std::string& text, const DialogHelp& help) override;
  DialogEnd AskYesNo(std::string_view prompt, bool& yes, const DialogHelp& help) override;
  DialogEnd AskChoice(std::string_view prompt, const std::vector<std::string>& items, int& index, bool listBox,
                      const DialogHelp& help) override;
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
  // From the event loop; idle when no modal window or menu is open, no
  // nested loop runs and the busy check (a command processing events) says
  // no.
  void PollLater(const std::function<bool(bool idle)>& poll) override;
  static void SetBusyCheck(std::function<bool()> busy);

 private:
  static std::function<bool()>& BusyCheck();
  std::shared_ptr<QPrinter> Printer();

  std::shared_ptr<QPrinter> printer_;
  std::string pdfOutput_;
  std::optional<PageRange> rangeAnswer_;
  std::string title_;
  bool hourglass_ = false;
};

}  // namespace zeb
