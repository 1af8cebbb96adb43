// The session file: the recent spring files from one run to the next. It
// lies beside the configuration file (ProgramFolder), named
// ProgramShortName + ".cff".
#pragma once
#include <string>
#include <string_view>

namespace zeb {

// ProgramFolder + ProgramShortName + ".cff".
std::string SessionFilePath();

// Fills RecentFiles[1..4]; a missing or unreadable file leaves them empty,
// without a message.
void ReadSessionFile();
void ReadSessionFile(std::string_view path);

// At program end: nothing while RecentFiles[1] is empty. On failure the old
// file stays, AbortFlag is set and an error box names the file.
void WriteSessionFile();
void WriteSessionFile(std::string_view path);

}  // namespace zeb
