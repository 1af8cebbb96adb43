// The installed-length dialog: the drawing length SpringData().L between
// the solid and the free length. Its form (Qt, or a script in tests and
// batch runs) runs on the logic below.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

// The form's state and buttons.
class InstalledLengthLogic {
 public:
  // On show: the edit text of the current L, the track bar range.
  InstalledLengthLogic();
  const std::string& Text() const { return text_; }
  int TrackMin() const { return trackMin_; }
  int TrackMax() const { return trackMax_; }
  int TrackPosition() const { return trackPos_; }
  // The edit text changed: the track bar follows, kept in its range.
  void SetText(std::string_view text);
  // "Lc", "L2", "L1", "L0": the length into the field.
  void PressLengthButton(char which);  // 'c', '2', '1', '0'
  // "^": the track bar position into the field.
  void SetTrackPosition(int position);
  void TakeTrackPosition();
  // OK: false with an error box when the text is no number (the form
  // stays open); else SpringData().L is set and AbortFlag cleared.
  bool Accept();
  // Cancel: AbortFlag set. Closing the window leaves it as it was.
  static void Cancel();

 private:
  std::string text_;
  int trackMin_ = 0, trackMax_ = 0, trackPos_ = 0;
  // The exact length of the last button while its text is unchanged.
  std::string buttonText_;
  Real buttonValue_ = 0;
};

class InstalledLengthDialog {
 public:
  virtual ~InstalledLengthDialog() = default;
  // Runs the modal form until OK is accepted or it is cancelled or closed.
  virtual void Run() = 0;
};

// Answers from a script; without answers left it cancels (batch runs).
class ScriptedInstalledLengthDialog : public InstalledLengthDialog {
 public:
  // OK with this edit text; a refused OK keeps the form for the next answer.
  void Ok(std::string text);
  // A length button ('c', '2', '1', '0'), then OK.
  void ButtonOk(char which);
  void Cancel();
  void CloseWindow();
  void Run() override;
  // Track bar range of each showing.
  std::vector<std::pair<int, int>> shownRanges;
  std::vector<std::string> shownTexts;

 private:
  struct Answer {
    enum Kind { Text, Button, CancelForm, Close } kind = CancelForm;
    std::string text;
    char button = 0;
  };
  std::vector<Answer> answers_;
  std::size_t next_ = 0;
};

InstalledLengthDialog& InstalledLengthForm();
// nullptr puts back a fresh ScriptedInstalledLengthDialog.
void SetInstalledLengthDialog(std::shared_ptr<InstalledLengthDialog> dialog);

// Help number 6610, then the form.
void AskInstalledLength();

}  // namespace zeb
