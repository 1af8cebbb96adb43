#include "drawings/length_dialog.h"

#include <cmath>
#include <limits>

#include "base/dialogs.h"
#include "base/format.h"
#include "base/globals.h"
#include "platform/oem_literal.h"
#include "spring/spring_data.h"

namespace zeb {

namespace {

int RoundToInt(Real x) {
  const Real r = std::nearbyint(x);
  if (!std::isfinite(r)) return 0;
  if (r > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (r < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(r);
}

Real ButtonLength(char which) {
  const SpringDataRecord& s = SpringData();
  switch (which) {
    case 'c':
      return s.Lc;
    case '2':
      return s.L2;
    case '1':
      return s.L1;
    default:
      return s.L0;
  }
}

std::shared_ptr<InstalledLengthDialog>& Dialog() {
  static std::shared_ptr<InstalledLengthDialog> d = std::make_shared<ScriptedInstalledLengthDialog>();
  return d;
}

}  // namespace

InstalledLengthLogic::InstalledLengthLogic() {
  const SpringDataRecord& s = SpringData();
  trackMin_ = RoundToInt(LengthToDisplayUnit(s.Lc) + 0.5L);
  trackMax_ = RoundToInt(LengthToDisplayUnit(s.L0) - 0.5L);
  SetText(FormatLength(s.L));
}

void InstalledLengthLogic::SetText(std::string_view text) {
  text_ = std::string(text);
  SetTrackPosition(RoundToInt(TextToFloat(text)));
}

void InstalledLengthLogic::SetTrackPosition(int position) {
  // A range turned over by close lengths keeps its minimum.
  trackPos_ = position > trackMax_ ? trackMax_ : position;
  if (trackPos_ < trackMin_) trackPos_ = trackMin_;
}

void InstalledLengthLogic::PressLengthButton(char which) {
  const Real v = ButtonLength(which);
  SetText(FormatLength(v));
  buttonText_ = text_;
  buttonValue_ = v;
}

void InstalledLengthLogic::TakeTrackPosition() { SetText(IntToText(trackPos_)); }

bool InstalledLengthLogic::Accept() {
  Real shown = 0;
  const bool fromButton = !buttonText_.empty() && text_ == buttonText_;
  const Real L = fromButton ? buttonValue_ : ParseLength(text_);
  if (!TryTextToFloat(text_, shown) || !std::isfinite(shown) || !std::isfinite(L)) {
    ShowErrorBox("Einbaulänge L: Ungültige Eingabe \""_oem + text_ + "\" !");
    return false;
  }
  // Any length is drawn, also one beyond L0 or below Lc: only the track
  // bar keeps to that range.
  G().AbortFlag = 0;
  SpringData().L = L;
  return true;
}

void InstalledLengthLogic::Cancel() { G().AbortFlag = 1; }

void ScriptedInstalledLengthDialog::Ok(std::string text) {
  answers_.push_back({Answer::Text, std::move(text), 0});
}
void ScriptedInstalledLengthDialog::ButtonOk(char which) { answers_.push_back({Answer::Button, {}, which}); }
void ScriptedInstalledLengthDialog::Cancel() { answers_.push_back({Answer::CancelForm, {}, 0}); }
void ScriptedInstalledLengthDialog::CloseWindow() { answers_.push_back({Answer::Close, {}, 0}); }

void ScriptedInstalledLengthDialog::Run() {
  InstalledLengthLogic form;
  shownRanges.emplace_back(form.TrackMin(), form.TrackMax());
  shownTexts.push_back(form.Text());
  while (next_ < answers_.size()) {
    const Answer& a = answers_[next_++];
    switch (a.kind) {
      case Answer::Text:
        form.SetText(a.text);
        if (form.Accept()) return;
        break;
      case Answer::Button:
        form.PressLengthButton(a.button);
        if (form.Accept()) return;
        break;
      case Answer::Close:
        return;  // the abort flag stays as it was
      default:
        InstalledLengthLogic::Cancel();
        return;
    }
  }
  InstalledLengthLogic::Cancel();
}

InstalledLengthDialog& InstalledLengthForm() { return *Dialog(); }

void SetInstalledLengthDialog(std::shared_ptr<InstalledLengthDialog> dialog) {
  Dialog() = dialog ? std::move(dialog) : std::make_shared<ScriptedInstalledLengthDialog>();
}

void AskInstalledLength() {
  SetCurrentHelpNumber(6610);
  InstalledLengthForm().Run();
}

}  // namespace zeb
