#include "base/dialogs.h"

#include <algorithm>
#include <vector>

#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/help.h"
#include "base/text.h"
#include "platform/codepage.h"
#include "platform/oem_literal.h"

namespace zeb {

namespace {

// Cancel and Escape set AbortFlag, the list's Enter clears it, OK leaves it.
void FinishDialog(DialogEnd end) {
  if (end == DialogEnd::Cancel) G().AbortFlag = 1;
  if (end == DialogEnd::Enter) G().AbortFlag = 0;
}

// The range loop: ask with the value shown by `show` until `parse` gives a
// value in [min, max]. The float variants keep the value when the text comes
// back unchanged (keepUnchanged); `parse` refuses what the variable cannot
// hold. True with the accepted value in `out`; false after a cancel.
template <class T, class Show, class Parse>
bool AskInRange(std::string_view prompt, T x, T min, T max, int maxLength, bool keepUnchanged, Show show,
                Parse parse, T& out) {
  T v = x;
  for (;;) {
    const std::string shown = show(v);
    std::string answer = shown;
    InputText(prompt, maxLength, answer);
    if (G().AbortFlag != 0) return false;
    bool invalid = false;
    if (!keepUnchanged || answer != shown) {
      T r{};
      if (parse(answer, r)) {
        v = r;
      } else {
        invalid = true;
      }
    }
    // The box names the field by the question's text.
    const std::string named = TrimBlanks(prompt).empty() ? std::string() : TrimBlanks(prompt) + ": ";
    if (invalid) {
      Ui().Beep();
      ShowErrorBox(named + "Ungültige Eingabe \""_oem + answer + "\" !");
      v = x;
    }
    // Written so that a NaN is never in range.
    if (!(v >= min) || (!(v <= max) && !invalid)) {
      Ui().Beep();
      ShowErrorBox(named + "Gültiger Wertebereich: "_oem + show(min) + " .. " + show(max) + " !");
    }
    if (!invalid && v >= min && v <= max) {
      out = v;
      return true;
    }
  }
}

bool AskFloat(std::string_view prompt, Real x, Real min, Real max, bool real48, Real& out) {
  auto parse = [real48](std::string_view text, Real& r) {
    Real48 probe{};
    return TryTextToFloat(text, r) && (!real48 || RealToReal48(r, probe));
  };
  return AskInRange<Real>(prompt, x, min, max, 30, true, [](Real v) { return FloatToStrSig(v); }, parse, out);
}

}  // namespace

// ---------------------------------------------------------------- boxes

void ShowMessageBox(std::string_view text, int kind) {
  const char* caption = kind == 12 ? "Fehler : " : kind == 3 ? "Hilfe" : "Meldung:";
  Ui().MessageBox(caption, OemToAnsiStr(text));
}

void ShowErrorBox(std::string_view text) { ShowMessageBox(text, 12); }

void ShowError(std::string_view text) {
  if (G().ShowErrorsSwitch != 0) ShowMessageBox(text, 12);
}

void ShowMessageText(std::string_view text) { ShowMessageBox(text, 0); }

void ShowMessageKind11(std::string_view text) { ShowMessageBox(text, 11); }

void ShowInfoBox(std::string_view caption, std::string_view text) {
  Ui().MessageBox(OemToAnsiStr(caption), OemToAnsiStr(text));
}

void ShowOemMessage(std::string_view text) { Ui().MessageBox(OemToAnsiStr(G().ProgramTitle), OemLineToAnsi(text)); }

void ShowArchiveModeRefusal() {
  ShowError("File- und User- Befehle sind im Archivierungsmodus nicht möglich."_oem);
}

// ---------------------------------------------------------------- questions

namespace {
bool AskYesNoCancelOf(std::string_view question, QuestionKind kind) {
  Answer a = Ui().Question(OemToAnsiStr(G().ProgramTitle), OemToAnsiStr(question), kind);
  if (a == Answer::Yes) return true;
  if (a != Answer::No) G().AbortFlag = 1;
  return false;
}
}  // namespace

bool AskYesNoCancel(std::string_view question) { return AskYesNoCancelOf(question, QuestionKind::YesNoCancel); }

bool AskYesNoCancelNoDefault(std::string_view question) {
  return AskYesNoCancelOf(question, QuestionKind::YesNoCancelNo);
}

bool AskYesNoCancelB(std::string_view question) { return AskYesNoCancel(question); }

bool AskRetryCancel(std::string_view text) {
  if (Ui().Question("Fehler : ", OemToAnsiStr(text), QuestionKind::RetryCancel) == Answer::Retry) return true;
  G().AbortFlag = 1;
  return false;
}

void SetCurrentHelpNumber(int n) { G().HelpNumber = static_cast<std::uint16_t>(n); }

// ---------------------------------------------------------------- range input

void InputFloatInRange(std::string_view prompt, Real& x, Real min, Real max) {
  Real v = 0;
  if (AskFloat(prompt, x, min, max, false, v)) x = v;
}

void InputReal48InRange(std::string_view prompt, Real48& x, Real min, Real max) {
  Real v = 0;
  if (AskFloat(prompt, Real48ToReal(x), min, max, true, v)) RealToReal48(v, x);
}

void InputIntInRange(std::string_view prompt, std::int32_t& n, std::int32_t min, std::int32_t max) {
  if (min > max) std::swap(min, max);
  auto parse = [](std::string_view text, std::int32_t& r) {
    std::int64_t wide = 0;
    if (!TryTextToInt(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
    r = static_cast<std::int32_t>(wide);
    return true;
  };
  std::int32_t v = 0;
  if (AskInRange<std::int32_t>(prompt, n, min, max, 12, false, [](std::int32_t i) { return IntToText(i); },
                               parse, v))
    n = v;
}

void InputIntInRangeLong(std::string_view prompt, std::int32_t& n, std::int32_t min, std::int32_t max) {
  InputIntInRange(prompt, n, min, max);
}

void InputIntInRangeWord(std::string_view prompt, std::uint16_t& n, std::int32_t min, std::int32_t max) {
  if (min > max) std::swap(min, max);
  min = std::clamp<std::int32_t>(min, 0, 65535);
  max = std::clamp<std::int32_t>(max, 0, 65535);
  std::int32_t v = n;
  InputIntInRange(prompt, v, min, max);
  if (G().AbortFlag == 0) n = static_cast<std::uint16_t>(v);
}

// ---------------------------------------------------------------- small dialogs

DialogHelp StandardDialogHelp(bool clearAbort) {
  DialogHelp help;
  help.text = [clearAbort] {
    ShowHelpText(G().HelpNumber, "", 1);
    if (clearAbort) G().AbortFlag = 0;
  };
  help.picture = [clearAbort] {
    ShowHelpText(G().HelpNumber, "", 2);
    if (clearAbort) G().AbortFlag = 0;
  };
  return help;
}

void AskChoice(std::string_view prompt, int n, std::int16_t& choice) {
  const int count = std::clamp(n, 0, static_cast<int>(G().LineTable.size()) - 1);
  if (choice < 1 || choice > n) choice = 1;
  std::vector<std::string> items;
  for (int i = 1; i <= count; ++i) items.push_back(OemToAnsiStr(G().LineTable[i]));
  int index = choice - 1;
  FinishDialog(Ui().AskChoice(OemToAnsiStr(prompt), items, index, n >= 8, StandardDialogHelp(true)));
  if (G().AbortFlag == 0 && index >= 0 && index < count) choice = static_cast<std::int16_t>(index + 1);
}

void AskYesNoChar(std::string_view prompt, char& answer) {
  bool yes = answer != 'N' && answer != 'n';
  FinishDialog(Ui().AskYesNo(OemToAnsiStr(prompt), yes, StandardDialogHelp(false)));
  if (G().AbortFlag == 0) answer = yes ? 'J' : 'N';
}

void AskYesNo(std::string_view prompt, bool& flag) {
  char answer = flag ? 'J' : 'N';
  AskYesNoChar(prompt, answer);
  flag = answer != 'N';
}

void RunTextDialog(std::string_view prompt, int maxLength, std::string& text) {
  std::string edited = OemToAnsiStr(text);
  FinishDialog(Ui().InputText(OemToAnsiStr(prompt), maxLength, edited, StandardDialogHelp(true)));
  if (G().AbortFlag == 0) text = AnsiLineToOem(edited);
}

void InputText(std::string_view prompt, int maxLength, std::string& text) { RunTextDialog(prompt, maxLength, text); }

void ShowScreenDialog() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 22; ++i)
    lines.push_back(i < static_cast<int>(G().LineTable.size()) ? OemToAnsiStr(G().LineTable[i]) : std::string());
  Ui().ShowScreen(OemToAnsiStr(G().ProductName), lines);
}

// ---------------------------------------------------------------- cursor and title

void SetHourglassCursor() { Ui().SetCursor(CursorKind::Hourglass); }

void SetArrowCursor() { Ui().SetCursor(CursorKind::Arrow); }

void RestoreArrowCursor() { SetArrowCursor(); }

void ShowWaitMessage(std::string_view) {}

std::string CurrentFileShownName() {
  const BaseGlobals& g = G();
  if (g.CurrentFileName.empty()) return {};
  // The folder as the name was given, then the name of the file on disk
  // (whatever dots the name holds).
  const std::string path = CurrentSpringFilePath();
  const std::size_t slash = path.rfind('/'), typedSlash = g.CurrentFileName.rfind('/');
  const std::string folder =
      typedSlash == std::string::npos ? std::string() : g.CurrentFileName.substr(0, typedSlash + 1);
  return folder + (slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string CurrentFileTitleName() { return FromUtf8(CodePage::Cp1252, CurrentFileShownName()); }

std::string BuildApplicationTitle() {
  std::string title = OemToAnsiStr(G().ProgramTitle);
  if (const std::string name = CurrentFileTitleName(); !name.empty()) title += "  -  " + name;
  Ui().SetTitle(title);
  SetArrowCursor();
  return title;
}

}  // namespace zeb
