#include "mainwin/online.h"

#include <algorithm>
#include <utility>

#include "base/globals.h"
#include "base/messages.h"

namespace zeb {

namespace {

OnlineState& State() {
  static OnlineState s;
  return s;
}

std::shared_ptr<OnlineFormPort>& FormSlot() {
  static std::shared_ptr<OnlineFormPort> form = std::make_shared<ScriptedOnlineForm>();
  return form;
}

void ReadTextsBack(const OnlineRun& run) {
  OnlineState& o = State();
  for (int i = 1; i <= o.RowCount && i <= kOnlineMaxRows; ++i)
    o.EditText[static_cast<std::size_t>(i)] = run.Edits[static_cast<std::size_t>(i)];
}

int RowCount() { return std::clamp(State().RowCount, 1, kOnlineMaxRows); }

// Move rules of the hiding variant, used to apply a move and to undo one.
int MoveUpHiding(int row, int hiddenA, int hiddenB) {
  const auto hidden = [&](int r) { return r == hiddenA || r == hiddenB; };
  if (row < 2) return row;
  if (!(row == 2 && hidden(1))) row -= 1;
  for (int k = 0; k < 2; ++k)
    if (hidden(row) && hiddenA >= 2 && row >= 2) row -= 1;
  return row;
}

int MoveDownHiding(int row, int hiddenA, int hiddenB, int count) {
  const auto hidden = [&](int r) { return r == hiddenA || r == hiddenB; };
  if (row >= count) return row;
  if (!(row == count - 1 && hidden(count))) row += 1;
  for (int k = 0; k < 2; ++k)
    if (hidden(row) && row < count) row += 1;
  return row;
}

void RunForm(int& row, int helpBase, bool& changed, int hiddenB, int hiddenA, bool hiding) {
  OnlineState& o = State();
  const int count = RowCount();
  row = std::clamp(row, 1, count);
  // The move of the previous run.
  if (hiding) {
    if (o.LastKey == kOnlineKeyUp) row = MoveUpHiding(row, hiddenA, hiddenB);
    else if (o.LastKey == kOnlineKeyDown) row = MoveDownHiding(row, hiddenA, hiddenB, count);
  } else {
    if (o.LastKey == kOnlineKeyUp && row > 1) row -= 1;
    else if (o.LastKey == kOnlineKeyDown && row < count) row += 1;
  }
  o.LastKey = 0;
  OnlineRun run = MakeOnlineRun(row, helpBase, hiding ? hiddenB : 0, hiding ? hiddenA : 0);
  OnlineForm().Run(run);
  // A form that returned without closing counts as closed by the window.
  if (!run.Closed) ApplyOnlineKey(run, OnlineKey::WindowClose);
  row = std::clamp(run.Current, 1, count);
  // Undo this run's move: row names the row that was edited.
  if (hiding) {
    if (o.LastKey == kOnlineKeyDown) row = MoveUpHiding(row, hiddenA, hiddenB);
    else if (o.LastKey == kOnlineKeyUp) row = MoveDownHiding(row, hiddenA, hiddenB, count);
  } else {
    if (o.LastKey == kOnlineKeyDown && row > 1) row -= 1;
    else if (o.LastKey == kOnlineKeyUp && row < count) row += 1;
  }
  changed = true;
}

}  // namespace

OnlineState& Online() { return State(); }
void ResetOnlineState() { State() = OnlineState{}; }

OnlineRun MakeOnlineRun(int current, int helpBase, int hiddenB, int hiddenA) {
  OnlineRun run;
  run.Current = current;
  run.HelpBase = helpBase;
  run.HiddenRowA = hiddenA;
  run.HiddenRowB = hiddenB;
  run.Edits = State().EditText;
  return run;
}

void ApplyOnlineKey(OnlineRun& run, OnlineKey key) {
  BaseGlobals& g = G();
  OnlineState& o = State();
  switch (key) {
    case OnlineKey::Esc:
      g.AbortFlag = 1;
      break;
    case OnlineKey::Close:
    case OnlineKey::WindowClose:
      ReadTextsBack(run);
      g.AbortFlag = 1;
      break;
    case OnlineKey::Enter:
    case OnlineKey::Ok:
      g.AbortFlag = 0;
      ReadTextsBack(run);
      break;
    case OnlineKey::Down:
    case OnlineKey::Up: {
      const int count = RowCount();
      const int a = run.HiddenRowA, b = run.HiddenRowB;
      int c = run.Current;
      if (key == OnlineKey::Down) {
        c += 1;
        for (int k = 0; k < 2; ++k)
          if (c == a || c == b) c += 1;
      } else {
        c -= 1;
        for (int k = 0; k < 2; ++k)
          if ((c == a || c == b) && a > 1) c -= 1;
      }
      // A move that leaves the rows, or ends on a hidden row, stays where
      // it was and is not remembered.
      if (c < 1 || c > count || c == a || c == b) {
        o.LastKey = 0;
      } else {
        o.LastKey = key == OnlineKey::Down ? kOnlineKeyDown : kOnlineKeyUp;
        run.Current = c;
      }
      run.Current = std::clamp(run.Current, 1, count);
      g.AbortFlag = 0;
      ReadTextsBack(run);
      break;
    }
  }
  run.Closed = true;
}

void SaveOnlinePosition(int left, int top) {
  State().Left = left;
  State().Top = top;
}

int InputRowHelp(int helpBase, int row) { return helpBase + 5 * (row - 1); }

int OutputRowHelp(int helpBase, int row) {
  return helpBase + 2 * (row - 1) + (helpBase % 100 != 0 ? 75 : 70);
}

// ---------------------------------------------------------------- scripted form

ScriptedOnlineForm& ScriptedOnlineForm::Type(std::string_view text, OnlineKey key) {
  return Add({{{0, std::string(text)}}, key});
}

ScriptedOnlineForm& ScriptedOnlineForm::TypeAt(int row, std::string_view text, OnlineKey key) {
  return Add({{{row, std::string(text)}}, key});
}

ScriptedOnlineForm& ScriptedOnlineForm::Press(OnlineKey key) { return Add({{}, key}); }

ScriptedOnlineForm& ScriptedOnlineForm::Add(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

void ScriptedOnlineForm::Run(OnlineRun& run) {
  Shown s;
  s.state = State();
  s.Current = run.Current;
  s.HelpBase = run.HelpBase;
  s.HiddenRowA = run.HiddenRowA;
  s.HiddenRowB = run.HiddenRowB;
  const ErrorMessageListT& list = G().ErrorMessageList;
  for (int k = 1; k <= list.count && k <= 12; ++k) s.messages.push_back(list.slot[static_cast<std::size_t>(k)]);
  shown.push_back(std::move(s));
  if (next_ >= steps_.size()) {
    ApplyOnlineKey(run, OnlineKey::Esc);
    return;
  }
  const Step& step = steps_[next_++];
  for (const auto& [row, text] : step.texts) {
    const int r = row == 0 ? run.Current : row;
    if (r < 1 || r > kOnlineMaxRows) continue;
    run.Edits[static_cast<std::size_t>(r)] = text;
    // Typing into a field makes its row the current one.
    run.Current = r;
  }
  ApplyOnlineKey(run, step.key);
}

OnlineFormPort& OnlineForm() { return *FormSlot(); }

void SetOnlineForm(std::shared_ptr<OnlineFormPort> form) {
  if (!form) form = std::make_shared<ScriptedOnlineForm>();
  FormSlot() = std::move(form);
}

// ---------------------------------------------------------------- screen calls

void SetupOnlineInput(std::string_view caption, int rows, int outputs) {
  OnlineState& o = State();
  o.Caption = std::string(caption);
  o.RowCount = std::clamp(rows, 1, kOnlineMaxRows);
  o.OutCount = std::clamp(outputs, 0, kOnlineMaxRows);
  ResetErrorMessages();
  G().ShowErrorsSwitch = 0;
}

void RunOnlineInput(int& row, int helpBase, bool& changed) { RunForm(row, helpBase, changed, 0, 0, false); }

void RunOnlineInputHiding(int& row, int helpBase, bool& changed, int hiddenB, int hiddenA) {
  RunForm(row, helpBase, changed, hiddenB, hiddenA, true);
}

void EndOnlineInput() {
  G().ShowErrorsSwitch = 1;
  G().AbortFlag = 0;
}

}  // namespace zeb
