#include "base/choosers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/ui_port.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/oem_literal.h"
#include "platform/process.h"

namespace zeb {

namespace {

std::string Oem(std::string_view path) { return FromUtf8(CodePage::Cp850, path); }

bool ArchiveMode() { return G().CommandLineFileLoaded != 0 && G().ArchiveFlag != 0; }

// A folder text as a dialog's start folder: without its trailing "/".
std::string StartFolderOf(std::string_view folder) {
  return folder.size() > 1 ? RemoveTrailingBackslash(folder) : std::string(folder);
}

// The chosen file's name without the folder and without the given
// extension (in any case); another extension stays part of the name.
std::string NameWithoutExtension(std::string_view chosen, std::string_view ext) {
  const std::size_t slash = chosen.rfind('/');
  std::string name(slash == std::string_view::npos ? chosen : chosen.substr(slash + 1));
  const std::string dotExt = "." + LowerStr(ext);
  if (name.size() > dotExt.size() && LowerStr(name.substr(name.size() - dotExt.size())) == dotExt)
    name.resize(name.size() - dotExt.size());
  return name;
}

// The name can be written when the system lets the user make a file in its
// folder (the write goes to a temporary there) and an existing file is
// writable; nothing is created to find out. A name longer than the folder's
// file system takes is refused here; characters it will not take are named
// when the file is written.
bool NameIsWritable(std::string_view path) {
  const std::string p(path);
  if (p.empty() || p.back() == '/') return false;
  struct stat st{};
  if (::stat(p.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return false;
    if (::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) != 0) return false;
    if (!S_ISREG(st.st_mode)) return S_ISCHR(st.st_mode);  // a device is written directly
  }
  std::string folder = ExtractFolderPart(p);
  if (folder.empty()) folder = ".";
  const std::string name = p.substr(p.rfind('/') == std::string::npos ? 0 : p.rfind('/') + 1);
  const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && name.size() > static_cast<std::size_t>(nameMax)) return false;
  return PathIsDirectory(folder) && ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Why an existing name cannot take the file ("" when it can): a FIFO,
// device or socket in its place (also behind a link) is refused rather than
// waited on or written into; a read-only file by its mode, also for root.
std::string WhyNotWritable(std::string_view path) {
  const std::string p(path);
  struct stat st {};
  if (p.empty() || ::stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return {};
  if (!S_ISREG(st.st_mode)) return "keine reguläre Datei"_oem;
  if ((st.st_mode & S_IWUSR) == 0 || ::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) != 0) return "schreibgeschützt"_oem;
  return {};
}

// Something the user has is at the name: a file, readable or not, or a
// link (also one that leads nowhere); a folder is refused as a name later.
bool SomethingToOverwrite(std::string_view path) {
  const std::string p(path);
  struct stat st {};
  if (p.empty() || ::lstat(p.c_str(), &st) != 0) return false;
  return !(::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

std::string NormalPath(std::string_view path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
  return (ec ? std::filesystem::path(path) : p).lexically_normal().string();
}

// The file the window's spring was read from or last written to; an
// unnamed spring (a new one, or the template's) has none.
bool IsWindowsOwnFile(std::string_view path) {
  const BaseGlobals& g = G();
  return g.CurrentFileStamp.taken && !g.CurrentFileName.empty() && !g.CurrentFilePath.empty() &&
         NormalPath(path) == NormalPath(g.CurrentFilePath);
}

}  // namespace

void ConfirmOverwriteFile(std::string_view path) {
  BaseGlobals& g = G();
  if (const std::string why = WhyNotWritable(path); !why.empty()) {
    ShowError("Datei "_oem + Oem(path) + " kann nicht geschrieben werden: "_oem + why);
    g.AbortFlag = 1;
    return;
  }
  // Only the window's own file, as it was read or written, is replaced
  // unasked; one changed since is named with its change, default No.
  if (SomethingToOverwrite(path)) {
    const bool own = IsWindowsOwnFile(path);
    const std::string change = own ? FileChangeText(g.CurrentFileStamp, path) : std::string();
    if (!change.empty()) {
      SetCurrentHelpNumber(3055);
      const std::string since = g.CurrentFileStamp.written ? std::string("seit dem Speichern"_oem)
                                                           : std::string("seit dem Öffnen"_oem);
      if (!AskYesNoCancelNoDefault(Oem(path) + " wurde " + since + " geändert ("_oem + change +
                                   ").   überschreiben ?"_oem))
        g.AbortFlag = 1;
    } else if (!own || (path.find("aktuell") == std::string_view::npos && g.ConfirmOverwrite == 1)) {
      SetCurrentHelpNumber(3055);
      // A file the window never read is kept on a plain Enter.
      const std::string question = Oem(path) + " existiert bereits.   überschreiben ?"_oem;
      if (!(own ? AskYesNoCancel(question) : AskYesNoCancelNoDefault(question))) g.AbortFlag = 1;
    }
  }
  if (g.AbortFlag != 0) return;
  if (!NameIsWritable(path)) {
    const std::string folder = ExtractFolderPart(path);
    const std::string dir = folder.empty() ? std::string(".") : folder;
    if (PathIsDirectory(dir) && ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
      ShowError("Datei "_oem + Oem(path) + " kann nicht geschrieben werden: Ordner schreibgeschützt"_oem);
    } else {
      ShowError("Ungültiger Dateiname \""_oem + Oem(path) + "\" !");
    }
    g.AbortFlag = 1;
  }
}

bool ConfirmChosenSaveFile(std::string_view path) {
  if (!SomethingToOverwrite(path)) return true;
  BaseGlobals& g = G();
  const Byte abort = g.AbortFlag;
  g.AbortFlag = 0;
  ConfirmOverwriteFile(path);
  const bool write = g.AbortFlag == 0;
  g.AbortFlag = abort;
  return write;
}

bool ChooseFileToWrite(std::string_view folder, std::string_view filter, std::string_view presetName,
                       std::string& path) {
  return Ui().ChooseSaveFile(folder, filter, presetName, path) && ConfirmChosenSaveFile(path);
}

std::string AskSaveFileName(std::string_view nameIn) {
  BaseGlobals& g = G();
  if (ArchiveMode() && nameIn != "aktuell") {
    ShowArchiveModeRefusal();
    g.AbortFlag = 1;
    return {};
  }
  if (g.CommandLineFileLoaded != 0 && g.ArchiveFlag == 0) g.CommandLineFileLoaded = 0;

  const std::string& ext = g.SpringFileExtension;
  std::string path;
  if (nameIn.empty()) {
    std::string name = g.CurrentFileName;
    const std::string filter = "*." + ext + "|*." + ext;
    std::string chosen;
    std::string folder;
    if (Ui().ChooseSaveFile(AddBackslash(g.CurrentDataFolder), filter, name, chosen)) {
      folder = ExtractFolderPart(chosen);
      name = NameWithoutExtension(chosen, ext);
    } else {
      g.AbortFlag = 1;
    }
    RestoreArrowCursor();
    if (g.AbortFlag != 0) return {};
    path = AddBackslash(folder) + name + "." + ext;
    ConfirmOverwriteFile(path);
    // The document moves only when the new name was accepted.
    if (g.AbortFlag == 0) {
      g.CurrentDataFolder = folder;
      g.CurrentFileName = name;
    }
    return path;
  }
  const std::size_t slash = nameIn.rfind('/');
  const std::string_view namePart = slash == std::string_view::npos ? nameIn : nameIn.substr(slash + 1);
  // The current spring's name stands for the file it was opened or saved
  // by, whichever way it was named then.
  if (nameIn == g.CurrentFileName && !CurrentSpringFilePath().empty())
    path = CurrentSpringFilePath();
  else if (namePart.find('.') == std::string_view::npos)
    path = AddBackslash(g.CurrentDataFolder) + std::string(nameIn) + "." + ext;
  else
    path = std::string(nameIn);
  ConfirmOverwriteFile(path);
  return path;
}

std::string AskOpenFileName(int mode, std::string& folder, std::string_view pattern, int /*unused*/) {
  const std::string filter = std::string(pattern) + "|" + std::string(pattern);
  std::string chosen;
  if (!Ui().ChooseOpenFile(StartFolderOf(folder), filter, chosen)) {
    G().AbortFlag = 1;
    return {};
  }
  folder = ExtractFolderPart(chosen);
  if (mode == 4) G().SpringFileExtension = FileExtAfterDot(chosen);
  return mode == 5 ? chosen : BareFileName(chosen);
}

std::string AskOpenFilePath(std::string_view defaultPath, std::string_view pattern) {
  std::string start(defaultPath);
  TrimInPlace(start);
  const std::string filter = std::string(pattern) + "|" + std::string(pattern);
  std::string chosen;
  if (!Ui().ChooseOpenFile(StartFolderOf(ExtractFolderPart(start)), filter, chosen)) {
    G().AbortFlag = 1;
    return std::string(defaultPath);
  }
  return chosen;
}

std::string AskProgramPath(std::string_view commandLine, std::string_view pattern) {
  const std::vector<std::string> words = SplitCommandLine(commandLine);
  const std::string chosen = AskOpenFilePath(words.empty() ? std::string() : words.front(), pattern);
  return G().AbortFlag != 0 ? std::string(commandLine) : CommandWord(chosen);
}

std::string BrowseForFolder(std::string_view folder) {
  const std::string start = FolderExistsByChDir(folder) ? StartFolderOf(folder) : std::string();
  std::string chosen;
  if (!Ui().ChooseFolder(start, chosen)) return std::string(folder);
  return StartFolderOf(chosen);
}

void CheckFileReadable(std::string_view name) {
  if (FileCanBeOpened(name)) return;
  std::string shown(name);
  TrimInPlace(shown);
  ShowError("Datei "_oem + Oem(shown) + " nicht gefunden oder kein Zugriffsrecht !"_oem);
  G().AbortFlag = 1;
}

std::string BuildFilePath(std::string_view name, std::string_view folder, std::string_view pattern) {
  return AddBackslash(folder) + std::string(name) + std::string(pattern.substr(pattern.empty() ? 0 : 1));
}

void DeleteFileWithConfirm(std::string_view folderIn, std::string_view pattern) {
  if (ArchiveMode()) {
    ShowArchiveModeRefusal();
    return;
  }
  std::string folder(folderIn);
  const std::string name = AskOpenFileName(1, folder, pattern);
  if (G().AbortFlag != 0) return;
  const std::string path = BuildFilePath(name, folder, pattern);
  CheckFileReadable(path);
  if (G().AbortFlag != 0) return;
  SetCurrentHelpNumber(1090);
  if (!AskYesNoCancel(Oem(name) + " wirklich löschen ?"_oem)) return;
  if (::unlink(path.c_str()) != 0) {
    // The system's own reason: the file stays.
    const int err = errno;
    ShowError(err == ENOENT || err == EACCES || err == EPERM
                  ? "Datei "_oem + Oem(path) + " nicht gefunden oder kein Zugriffsrecht !"_oem
                  : "Datei "_oem + Oem(path) + " kann nicht gelöscht werden: "_oem + SystemErrorText(err) + " !");
    G().AbortFlag = 1;
  }
}

}  // namespace zeb
