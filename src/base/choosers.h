// File choosers and the confirmation before a file is written or erased.
// Cancel and failure set AbortFlag; errors are shown by ShowError. Paths are
// UTF-8; they are converted to code page 850 only inside a message.
#pragma once
#include <string>
#include <string_view>

namespace zeb {

// Before a file is written: asks before anything at the name is
// overwritten, a file that cannot be read or a link too; No and Cancel set
// AbortFlag. Only the window's own spring file (CurrentFilePath of a named
// spring, as CurrentFileStamp holds it) is replaced without a question when
// ConfirmOverwrite is 0 or the path contains "aktuell"; changed on disk
// since, it is named with its change and asked about, No the default. Then
// checks that the name can be written. The file itself is not touched: the
// caller's write replaces it when complete.
void ConfirmOverwriteFile(std::string_view path);

// A file chosen in a save dialog (which leaves the question to its caller):
// where something is at the name, asked about as ConfirmOverwriteFile does;
// true to write it. AbortFlag is left as it was.
bool ConfirmChosenSaveFile(std::string_view path);
// The save dialog, then ConfirmChosenSaveFile: true with the path to write.
bool ChooseFileToWrite(std::string_view folder, std::string_view filter, std::string_view presetName,
                       std::string& path);

// The save-as step of the spring file; returns the path ("" when refused or
// cancelled).
std::string AskSaveFileName(std::string_view name);

// The open dialog in folder with the filter of pattern. Returns the bare
// name (the full path in mode 5) and sets folder to the chosen file's folder
// (with "/"); mode 4 also sets SpringFileExtension. Cancelled: "" and
// AbortFlag.
std::string AskOpenFileName(int mode, std::string& folder, std::string_view pattern, int unused = 0);

// The open dialog in the folder of defaultPath; cancelled: defaultPath and
// AbortFlag.
std::string AskOpenFilePath(std::string_view defaultPath, std::string_view pattern);
// The program of a command line setting chosen in the open dialog, started
// in the folder of the line's program: the chosen path as the line's word
// (in quotes when it holds a blank); cancelled: the line and AbortFlag.
std::string AskProgramPath(std::string_view commandLine, std::string_view pattern);

// A folder chosen starting in folder (when it exists); cancelled: folder.
std::string BrowseForFolder(std::string_view folder);

// Shows "Datei ... nicht gefunden oder kein Zugriffsrecht !" and sets
// AbortFlag when the file cannot be opened for reading.
void CheckFileReadable(std::string_view name);

// AddBackslash(folder) + name + the pattern from its second character
// ("*.zeb" gives ".zeb").
std::string BuildFilePath(std::string_view name, std::string_view folder, std::string_view pattern);

// The delete-file command: choose, confirm, erase.
void DeleteFileWithConfirm(std::string_view folder, std::string_view pattern);

}  // namespace zeb
