// Starting external programs: an argument vector, never a shell.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// Splits a configured program text at blanks; double quotes group.
std::vector<std::string> SplitCommandLine(std::string_view text);
// A word SplitCommandLine reads back as it is: in double quotes when it
// holds a blank or a tab.
std::string CommandWord(std::string_view word);

struct ProcessResult {
  bool started = false;
  int error = 0;  // errno when not started
  int exitCode = -1;  // with wait
};

// Starts argv[0] (PATH searched) with argv. With wait, waits and reports the
// exit code; without, the child is reaped in the background (no zombie).
ProcessResult StartProgram(const std::vector<std::string>& argv, bool wait = false);
// Starts a helper that hands a document on (xdg-open and its kind) like
// StartProgram without waiting, its output and error streams on /dev/null:
// a helper's complaints do not belong on the user's terminal. Returns at
// once with the child's process id in pid: the caller asks HelperExitCode
// until it has an answer or hands the child to ReapHelperLater.
ProcessResult SpawnHelperProgram(const std::vector<std::string>& argv, int& pid);
// A spawned helper's exit code (128 + signal) once it has ended, -1 while it
// runs. The answer is given once: the child is reaped with it.
int HelperExitCode(int pid);
// A spawned helper left running: reaped in the background when it ends.
void ReapHelperLater(int pid);

}  // namespace zeb
