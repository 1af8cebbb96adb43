// Numbered help texts with their help pictures, and the message-help file
// (cause and remedy of each calculation message).
//
// Help files (code page 850, in the help folder): "talmore.hlp" for numbers
// below 4000, the lower-cased program short name + ".hlp" from 4000 on.
// An entry line starts with its number in 4 characters, optionally followed
// somewhere by ":" and the picture name; the next line is its text. Text N
// is entry N plus the entries N+1..N+4 (or unnumbered continuation lines)
// up to the next number that is a multiple of 5.
//
// Message-help file: short name lower-cased + ".err"; entries of three
// lines (message, cause, remedy), matched on the first 14 characters.
//
// Fixed names are lower case; a file whose name differs only in case is
// found when it is the only one.
#pragma once
#include <string>
#include <string_view>

namespace zeb {

void SetHelpTextNumber(int n);
// UTF-8 path of the help file of number n (0: the current HelpNumber).
std::string HelpFileName(int n);
// mode 0: box and picture, 1: box only, 2: picture only. text is unused.
void ShowHelpText(int n, std::string_view text, int mode);
// Help text n as one Windows-1252 line: its five lines joined by blanks.
std::string GetHelpText(int n);
std::string GetHelpTextB(int n);

// UTF-8 path of the message-help file as named (not resolved).
std::string ErrFileName();
void ShowErrorHelp(int k);
// Cause / remedy line of message k of the message list (code page 850, as
// stored); text unchanged when the file is missing.
void GetErrorCause(int k, std::string& text);
void GetErrorRemedy(int k, std::string& text);
// The error-help form; texts code page 850. Saves confirmed edits.
void OpenErrorHelpForm(std::string_view message, std::string_view cause, std::string_view remedy);
// Replaces cause and remedy of the entry of message (code page 850).
void WriteErrEntry(std::string_view message, std::string_view cause, std::string_view remedy);
// The list of the last calculation's messages with their help.
void ShowCalcMessages();

}  // namespace zeb
