#include "mainwin/documents_cmd.h"

#include <memory>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/services.h"
#include "base/text.h"
#include "mainwin/commands.h"
#include "mainwin/document_state.h"
#include "mainwin/program.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "spring/changelog.h"
#include "spring/springfile.h"

namespace zeb {

namespace {

std::string OemOfPath(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

std::string TemplatePath() {
  const BaseGlobals& g = G();
  return AddBackslash(g.CurrentDataFolder) + "null." + g.SpringFileExtension;
}

// The three lines of the drawing's title block emptied.
void ResetTitleBlockLines() {
  for (std::size_t k = 1; k < G().TitleBlockLines.size(); ++k) G().TitleBlockLines[k].clear();
}

bool ValidRecentIndex(int n) { return n >= 1 && n <= 4; }

}  // namespace

void QuerySaveChanges() {
  BaseGlobals& g = G();
  if (g.CommandLineFileLoaded == 1 && g.ArchiveFlag == 1) {
    g.ModifiedFlag = 0;
    return;
  }
  if (!g.CurrentFileName.empty() && g.ModifiedFlag == 1) {
    // A command-line name is a path as typed; it stays one after a save
    // has cleared CommandLineFileLoaded.
    const std::string path = CurrentSpringFilePath();
    const bool yes = AskYesNoCancel("Datei speichern (" + OemOfPath(path) + ") ?");
    if (yes) {
      if (g.AbortFlag == 0) {
        SaveCurrentFile(g.CurrentFileName);
        if (g.AbortFlag == 0) g.ModifiedFlag = 0;
      }
    } else if (g.AbortFlag == 0) {
      g.ModifiedFlag = 0;
    }
    return;
  }
  if (g.ModifiedFlag == 1) {
    if (AskYesNoCancelNoDefault("Bisherige Eingaben verwerfen ?"))
      g.ModifiedFlag = 0;
    else
      g.AbortFlag = 1;
  }
}

void SaveCurrentFile(std::string_view name) {
  BaseGlobals& g = G();
  g.ConfirmOverwrite = 0;
  WriteSpringFile(name);
  g.ConfirmOverwrite = 1;
}

void FileNew() {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  const Byte modified = g.ModifiedFlag;
  QuerySaveChanges();
  if (g.AbortFlag != 0) return;
  // Cancelled in any of its steps, the new spring leaves the document as
  // it was: its spring, change log, name, file, title and picture, and its
  // unsaved changes.
  const DocumentState kept;
  const std::unique_ptr<KeptPicture> picture = Graphics().KeepPicture();
  if (FileCanBeOpened(TemplatePath())) ReadSpringFile("null");
  g.CurrentFileName.clear();
  UpdateMainCaption();
  ResetChangeLog();
  ResetTitleBlockLines();
  NewSpringCancelled() = false;
  MainWindow().RunNewSpringSequence();
  if (NewSpringCancelled()) {
    kept.Restore();
    if (picture != nullptr) Graphics().RestorePicture(*picture);
    g.ModifiedFlag = modified;
    g.AbortFlag = 1;
    UpdateMainCaption();
    ShowMessageCountItem();
    return;
  }
  if (g.AbortFlag == 0) {
    MainWindow().RefreshMainWindow();
    g.ModifiedFlag = 1;
  }
}

void FileOpen() {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  QuerySaveChanges();
  // A cancelled (or failed) save question keeps the document.
  if (g.AbortFlag != 0) return;
  ReadSpringFile("");
  if (g.AbortFlag != 0) return;
  g.ModifiedFlag = 0;
  AddRecentFile(g.CurrentFileName);
  MainWindow().SetMenuCaptions();
  MainWindow().RefreshMainWindow();
  UpdateMainCaption();
}

void FileSave() {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  SaveCurrentFile(g.CurrentFileName);
  if (g.AbortFlag == 0) g.ModifiedFlag = 0;
  UpdateMainCaption();
}

void FileSaveAs() {
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  // A declined or failed save keeps the document where it was.
  const std::string oldName = g.CurrentFileName;
  const std::string oldFolder = g.CurrentDataFolder;
  const auto oldCommandLine = g.CommandLineFileLoaded;
  WriteSpringFile("");
  if (g.AbortFlag == 0) {
    g.ModifiedFlag = 0;
    AddRecentFile(g.CurrentFileName);
  } else {
    g.CurrentFileName = oldName;
    g.CurrentDataFolder = oldFolder;
    g.CommandLineFileLoaded = oldCommandLine;
  }
  UpdateMainCaption();
}

void AddRecentFile(std::string_view name) {
  BaseGlobals& g = G();
  // A name that carries its folder (a command-line file) is not put into
  // the data folder a second time.
  const std::size_t slash = name.rfind('/');
  const bool hasExtension = name.find('.', slash == std::string_view::npos ? 0 : slash + 1) != std::string_view::npos;
  const std::string path = slash != std::string_view::npos
                               ? std::string(name) + (hasExtension ? "" : "." + g.SpringFileExtension)
                               : AddBackslash(g.CurrentDataFolder) + std::string(name) + "." + g.SpringFileExtension;
  for (int n = 4; n >= 1; --n)
    if (g.RecentFiles[static_cast<std::size_t>(n)] == path) RemoveRecentFile(n);
  for (int n = 4; n >= 2; --n) g.RecentFiles[static_cast<std::size_t>(n)] = g.RecentFiles[static_cast<std::size_t>(n - 1)];
  g.RecentFiles[1] = path;
}

void RemoveRecentFile(int n) {
  if (!ValidRecentIndex(n)) return;
  BaseGlobals& g = G();
  for (int k = n; k < 4; ++k) g.RecentFiles[static_cast<std::size_t>(k)] = g.RecentFiles[static_cast<std::size_t>(k + 1)];
  g.RecentFiles[4].clear();
}

void OpenRecentFile(int n) {
  if (!ValidRecentIndex(n)) return;
  BaseGlobals& g = G();
  g.AbortFlag = 0;
  QuerySaveChanges();
  if (g.AbortFlag != 0) return;
  const std::string path = g.RecentFiles[static_cast<std::size_t>(n)];
  if (!path.empty() && PathExists(path)) {
    // A failed read keeps the document, so it keeps its name too.
    const std::string oldName = g.CurrentFileName;
    const std::string oldFolder = g.CurrentDataFolder;
    g.CurrentFileName = BareFileName(path);
    g.CurrentDataFolder = ExtractFolderPart(path);
    ReadSpringFile(path);
    if (g.AbortFlag == 0) {
      AddRecentFile(g.CurrentFileName);
      g.ModifiedFlag = 0;
      MainWindow().RefreshMainWindow();
    } else {
      g.CurrentFileName = oldName;
      g.CurrentDataFolder = oldFolder;
    }
    UpdateMainCaption();
    return;
  }
  RemoveRecentFile(n);
  MainWindow().SetMenuCaptions();
  ShowMessageText("File " + OemOfPath(path) + " not found !");
}

std::string ShortenMenuPath(std::string_view path) {
  if (path.size() >= 50) {
    const std::size_t first = path.find('/');
    const std::size_t last = path.rfind('/');
    if (first != std::string_view::npos && first < last)
      return std::string(path.substr(0, first + 1)) + "..." + std::string(path.substr(last));
  }
  return std::string(path);
}

void SetRecentFileItem(int n) {
  if (!ValidRecentIndex(n)) return;
  const std::string& entry = G().RecentFiles[static_cast<std::size_t>(n)];
  if (entry.empty()) {
    MainWindow().SetRecentFileItem(n, false, "");
    return;
  }
  MainWindow().SetRecentFileItem(n, true, "&" + IntToText(n) + " " + FromUtf8(CodePage::Cp1252, ShortenMenuPath(entry)));
}

void ShowRecentFileEntries() {
  MainWindow().SetRecentSeparator(!G().RecentFiles[1].empty());
  for (int n = 1; n <= 4; ++n) SetRecentFileItem(n);
}

void FillRecentFileMenu(int exitItemIndex) {
  PS().ExitItemIndex = exitItemIndex;
  ShowRecentFileEntries();
}

void UpdateMainCaption() {
  const std::string title = BuildApplicationTitle();
  MainWindow().SetCaption(title);
  ShowRecentFileEntries();
}

void SetMainCaptionText(std::string_view text) { MainWindow().SetCaption(OemToAnsiStr(text)); }

}  // namespace zeb
