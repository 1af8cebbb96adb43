// The document commands of the File menu (New, Open, Save, Save As, the
// four recent files), the save-changes question and the window caption.
// The document is the current spring data set; its name is
// G().CurrentFileName, its folder G().CurrentDataFolder, the recent files
// G().RecentFiles[1..4] (full paths, entry 1 the most recent).
#pragma once
#include <string>
#include <string_view>

namespace zeb {

// Before the document is replaced or the program ends. AbortFlag set
// means: do not go on.
void QuerySaveChanges();
// Writes the document under name without the overwrite question.
void SaveCurrentFile(std::string_view name);

void FileNew();
void FileOpen();
void FileSave();
void FileSaveAs();

// Recent files (n = 1..4). Paths are compared exactly.
void AddRecentFile(std::string_view name);
void RemoveRecentFile(int n);
void OpenRecentFile(int n);
// A path of 50 characters or more whose first "/" stands before its last
// one: up to the first "/", "...", from the last "/" on.
std::string ShortenMenuPath(std::string_view path);
void SetRecentFileItem(int n);
void ShowRecentFileEntries();
void FillRecentFileMenu(int exitItemIndex);

// Caption and application title: ProgramTitle, and the file name when
// there is one.
void UpdateMainCaption();
// The main window's caption (code page 850 text).
void SetMainCaptionText(std::string_view text);

}  // namespace zeb
