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

// Help text n for a tool tip (Windows-1252, trailing blanks dropped);
// empty when the file or the entry is missing.
std::string HelpHintText(int n);

// UTF-8 path of the message-help file as named (not resolved).
std::string ErrFileName();
// The user's folder for edited help files: "$XDG_DATA_HOME/zeb1/" (else
// "~/.local/share/zeb1/").
std::string UserHelpDataFolder();
// The help folder's files a user edits (message help, picture catalogue),
// by name: edits go to the user's copy when the help folder is the shipped
// one or cannot be written; that copy, once made, is read instead.
std::string HelpDataFileToRead(std::string_view name);
// Where an edit is saved (the user's folder is created when needed).
std::string HelpDataFileToWrite(std::string_view name);
// The cause of message k for a tool tip; empty when the file has none.
std::string ErrorCauseHint(int k);
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
