// The online input form: the row model the calculation-mode screens fill,
// one modal run of the form behind a port, and the cursor moves between
// runs. The Qt form and the scripted one share the key handling here.
//
// Texts of the row model are code page 850.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

inline constexpr int kOnlineMaxRows = 12;
inline constexpr int kOnlineKeyUp = 38;
inline constexpr int kOnlineKeyDown = 40;

// Module state; survives between runs and screens.
struct OnlineState {
  int RowCount = 12;  // 1..12
  int OutCount = 12;  // 0..12
  std::string Caption = "Online Input";
  std::array<std::string, kOnlineMaxRows + 1> LabelText, EditText, UnitText;  // 1..12
  std::array<std::string, kOnlineMaxRows + 1> OutName, OutValue, OutUnit;     // 1..12
  std::int32_t LastKey = 0;
  std::int32_t Left = 12, Top = 26;
};

OnlineState& Online();
void ResetOnlineState();

// How a run of the form ends.
enum class OnlineKey { Enter, Up, Down, Esc, Ok, Close, WindowClose };

// One modal run: the form's fields besides the row model.
struct OnlineRun {
  int HelpBase = 0;
  int Current = 0;
  int HiddenRowA = 0, HiddenRowB = 0;
  // Edit texts as the controls hold them (1..RowCount).
  std::array<std::string, kOnlineMaxRows + 1> Edits;
  bool Closed = false;

  bool Hidden(int row) const { return row != 0 && (row == HiddenRowA || row == HiddenRowB); }
};

// A run as built from the row model.
OnlineRun MakeOnlineRun(int current, int helpBase, int hiddenB, int hiddenA);

// The key handling of the form: Enter, OK and the cursor keys read the
// texts back, Esc does not, "&Schließen" and a window close read them and
// abort. Sets AbortFlag and OnlineState::LastKey, moves Current, and marks
// the run closed.
void ApplyOnlineKey(OnlineRun& run, OnlineKey key);
// Position saved (the form's left and top).
void SaveOnlinePosition(int left, int top);

// Help numbers of the hints.
int InputRowHelp(int helpBase, int row);
int OutputRowHelp(int helpBase, int row);

// The form. Run shows it modally once and returns when ApplyOnlineKey
// closed it.
class OnlineFormPort {
 public:
  virtual ~OnlineFormPort() = default;
  virtual void Run(OnlineRun& run) = 0;
};

// Scripted runs: each takes the next step (texts typed into rows, then a
// key); without steps left the run ends with Esc. Records what each run
// showed.
class ScriptedOnlineForm : public OnlineFormPort {
 public:
  struct Step {
    std::vector<std::pair<int, std::string>> texts;  // row (0 = current), text (code page 850)
    OnlineKey key = OnlineKey::Enter;
  };
  struct Shown {
    OnlineState state;
    int Current = 0, HelpBase = 0, HiddenRowA = 0, HiddenRowB = 0;
    std::vector<std::string> messages;
  };
  // Text into the current row, then the key.
  ScriptedOnlineForm& Type(std::string_view text, OnlineKey key = OnlineKey::Enter);
  ScriptedOnlineForm& TypeAt(int row, std::string_view text, OnlineKey key = OnlineKey::Enter);
  ScriptedOnlineForm& Press(OnlineKey key);
  ScriptedOnlineForm& Add(Step step);

  std::vector<Shown> shown;
  std::size_t StepsLeft() const { return steps_.size() - next_; }
  void Run(OnlineRun& run) override;

 private:
  std::vector<Step> steps_;
  std::size_t next_ = 0;
};

OnlineFormPort& OnlineForm();
// nullptr puts back a scripted form without steps.
void SetOnlineForm(std::shared_ptr<OnlineFormPort> form);

// Screen calls.
void SetupOnlineInput(std::string_view caption, int rows, int outputs);
void RunOnlineInput(int& row, int helpBase, bool& changed);
void RunOnlineInputHiding(int& row, int helpBase, bool& changed, int hiddenB, int hiddenA);
void EndOnlineInput();

}  // namespace zeb
