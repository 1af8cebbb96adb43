#include "mainwin/session.h"

#include <unistd.h>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/globals.h"
#include "base/text.h"
#include "base/textfile.h"
#include "platform/files.h"
#include "settings/config.h"

namespace zeb {

std::string SessionFilePath() {
  return AddBackslash(G().ProgramFolder) + LowerStr(G().ProgramShortName) + ".cff";
}

void ReadSessionFile() { ReadSessionFile(SessionFilePath()); }

void ReadSessionFile(std::string_view path) {
  BaseGlobals& g = G();
  for (int i = 1; i <= 4; ++i) g.RecentFiles[i].clear();
  // Only a regular file is read (a FIFO would block, a device never end);
  // anything else counts as no session, without a message.
  const std::string p = ResolvePathCaseInsensitive(path);
  TextFile& f = WorkTextFile();
  if (!PathIsRegularFile(p) || f.IsOpen()) return;
  if (RefusedAsTooLarge(p)) return;
  f.Assign(p);
  if (f.Reset() != 0) return;
  const Byte abort = g.AbortFlag;
  std::string line;
  f.ReadLine(line);  // program name and data folder: not used
  for (int i = 1; i <= 4; ++i) {
    f.ReadLine(line);
    // A path cannot hold a NUL byte: such an entry is dropped.
    g.RecentFiles[i] = line.find('\0') == std::string::npos ? line : std::string();
  }
  f.Close();
  g.AbortFlag = abort;
}

void WriteSessionFile() {
  if (G().RecentFiles[1].empty()) return;
  EnsureUserConfigFolder(G().ProgramFolder);
  WriteSessionFile(SessionFilePath());
}

void WriteSessionFile(std::string_view path) {
  BaseGlobals& g = G();
  if (g.RecentFiles[1].empty()) return;
  g.AbortFlag = 0;
  // A name with a line break would shift the later entries: it is left out.
  auto oneLine = [](const std::string& s) { return s.find('\n') == std::string::npos ? s : std::string(); };
  WriteSettingsFile(path, [&] {
    WriteTextLine(g.ProgramShortName + " Session " + oneLine(g.CurrentDataFolder));
    for (int i = 1; i <= 4; ++i) WriteTextLine(oneLine(g.RecentFiles[i]));
  });
}

}  // namespace zeb
