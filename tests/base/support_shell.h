// Paths as words of command lines: a shell's (any path, blanks, quotes and
// all) and a program setting's; a program started in a folder of its own.
#pragma once
#include <fcntl.h>
#include <spawn.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zeb::test {

// s in single quotes, each single quote of it written '\''.
inline std::string ShellQuote(std::string_view s) {
  std::string q = "'";
  for (const char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// A path as a word of a program setting, a command line the program
// splits at blanks: in double quotes.
inline std::string SettingWord(std::string_view path) { return "\"" + std::string(path) + "\""; }

// The environment that preloads a library into a program: LD_PRELOAD by
// the library's name and its folder on LD_LIBRARY_PATH, as the loader
// splits LD_PRELOAD at blanks (a build folder may hold some).
inline std::vector<std::pair<std::string, std::string>> PreloadEnvironment(const std::string& library) {
  const std::size_t slash = library.find_last_of('/');
  if (slash == std::string::npos) return {{"LD_PRELOAD", library}};
  return {{"LD_PRELOAD", library.substr(slash + 1)}, {"LD_LIBRARY_PATH", library.substr(0, slash)}};
}

// argv[0] started (posix_spawn, so threads may start runs) in folder cwd
// with exactly the environment env, its stdout to /dev/null and its stderr
// to errPath: 0 and its pid, or the error of the start.
inline int SpawnInFolder(std::vector<std::string> argv, std::vector<std::string> env, const std::string& cwd,
                         const std::string& errPath, pid_t& pid) {
  std::vector<char*> av, ev;
  for (std::string& a : argv) av.push_back(a.data());
  av.push_back(nullptr);
  for (std::string& e : env) ev.push_back(e.data());
  ev.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid = -1;
  const int spawned = posix_spawn(&pid, av[0], &actions, nullptr, av.data(), ev.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned;
}

}  // namespace zeb::test
