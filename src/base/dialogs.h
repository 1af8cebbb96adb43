// Message boxes, questions, range-checked input and the small input dialogs.
//
// Texts handed in are code page 850 and are converted for the screen here.
// A Cancel sets AbortFlag; OK only closes the dialog, so callers clear
// AbortFlag before a step and test it afterwards. Results are taken only
// while AbortFlag is 0.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/types.h"
#include "base/ui_port.h"
#include "platform/real48.h"

namespace zeb {

// Plain boxes with OK. Caption by kind: 12 "Fehler : ", 3 "Hilfe", else
// "Meldung:".
void ShowMessageBox(std::string_view text, int kind);
void ShowErrorBox(std::string_view text);
// Only while ShowErrorsSwitch is not 0.
void ShowError(std::string_view text);
void ShowMessageText(std::string_view text);
void ShowMessageKind11(std::string_view text);
void ShowInfoBox(std::string_view caption, std::string_view text);
void ShowOemMessage(std::string_view text);
void ShowArchiveModeRefusal();

// Yes true; No false; Cancel false and AbortFlag := 1.
bool AskYesNoCancel(std::string_view question);
bool AskYesNoCancelB(std::string_view question);
// The same with No as the default button.
bool AskYesNoCancelNoDefault(std::string_view question);
// Retry true; Cancel false and AbortFlag := 1. Shown whatever
// ShowErrorsSwitch says (a failed file creation asks it).
bool AskRetryCancel(std::string_view text);

void SetCurrentHelpNumber(int n);

// Asks until the answer lies in [min, max] or the dialog is cancelled
// (AbortFlag 1, value unchanged). OK on the text as shown keeps the value
// at full precision.
void InputFloatInRange(std::string_view prompt, Real& x, Real min, Real max);
void InputReal48InRange(std::string_view prompt, Real48& x, Real min, Real max);
// Bounds in either order.
void InputIntInRange(std::string_view prompt, std::int32_t& n, std::int32_t min, std::int32_t max);
void InputIntInRangeLong(std::string_view prompt, std::int32_t& n, std::int32_t min, std::int32_t max);
// Bounds are also held to 0..65535.
void InputIntInRangeWord(std::string_view prompt, std::uint16_t& n, std::int32_t min, std::int32_t max);

// Choice among LineTable entries 1..n, numbered from 1; radio buttons up to
// 7 entries, a list box from 8. A choice outside 1..n becomes 1 first.
void AskChoice(std::string_view prompt, int n, std::int16_t& choice);
// Answer "J" or "N"; "N" (either case) preselects No.
void AskYesNoChar(std::string_view prompt, char& answer);
void AskYesNo(std::string_view prompt, bool& flag);
// Text input with the text preset; the result is code page 850.
void InputText(std::string_view prompt, int maxLength, std::string& text);
void RunTextDialog(std::string_view prompt, int maxLength, std::string& text);
// LineTable entries 1..22 under the product name.
void ShowScreenDialog();

void SetHourglassCursor();
void SetArrowCursor();
void RestoreArrowCursor();
// Shows nothing.
void ShowWaitMessage(std::string_view text);
// Program title and current file (Windows-1252); also sets the window
// title and the arrow cursor.
std::string BuildApplicationTitle();
// The current spring file's name as that title shows it: the file's name on
// disk, after the folder it was given with; "" without one. UTF-8, and the
// same in Windows-1252.
std::string CurrentFileShownName();
std::string CurrentFileTitleName();

// The two help buttons of the input dialogs: help text or help picture of
// HelpNumber; with clearAbort they clear AbortFlag afterwards.
DialogHelp StandardDialogHelp(bool clearAbort);

}  // namespace zeb
