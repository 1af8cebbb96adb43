#include "graphics/support_checkers.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace zeb::test {

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

bool HaveProgram(const std::string& name) {
  std::string out;
  return RunCommand("command -v " + ShellQuote(name), out) == 0;
}

// Findings of a checker script over the files: their "FILE: problem" lines
// (the file's name kept when there are several), or the whole output when
// it ended otherwise.
CheckResult RunChecker(const std::string& command, const std::vector<std::string>& paths) {
  CheckResult r;
  if (paths.empty()) {
    r.ok = true;
    return r;
  }
  std::string args;
  for (const auto& path : paths) args += " " + ShellQuote(path);
  int status = RunCommand(command + args, r.output);
  if (status == 2 || status == 127) {  // 127: the script itself is not there
    r.missing = true;
    r.findings.push_back("checker tool missing: " + r.output);
    return r;
  }
  for (const auto& line : SplitLines(r.output)) {
    for (const auto& path : paths) {
      if (!StartsWith(line, path + ": ")) continue;
      r.findings.push_back(paths.size() == 1 ? line.substr(path.size() + 2) : line);
      break;
    }
  }
  r.ok = status == 0 && r.findings.empty();
  if (!r.ok && r.findings.empty()) r.findings.push_back("exit status " + std::to_string(status));
  return r;
}

}  // namespace

std::string CheckResult::Report() const {
  std::string s;
  for (const auto& f : findings) s += f + "\n";
  if (!ok) s += "--- tool output ---\n" + output;
  return s;
}

std::string ToolsDir() {
  if (const char* d = std::getenv("ZEB1_TOOLS_DIR"); d && *d) return d;
  if (const char* src = std::getenv("ZEB1_SOURCE_DIR"); src && *src) return std::string(src) + "/../shared/tools";
  // The source tree's neighbour, found from this file's own path.
  return (std::filesystem::path(__FILE__).parent_path() / "../../../shared/tools").lexically_normal().string();
}

std::string TestOutputDir(const std::string& sub) {
  // Beside the test program, whatever the working folder.
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::string dir = (ec ? std::filesystem::current_path(ec) : exe.parent_path()).string() + "/graphics_out";
  if (!sub.empty()) dir += "/" + sub;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  std::string full = "(" + command + ") 2>&1";
  FILE* p = ::popen(full.c_str(), "r");
  if (!p) return -1;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) output.append(buf.data(), n);
  int st = ::pclose(p);
  if (st == -1) return -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

CheckResult RunDxfCheck(const std::vector<std::string>& paths) {
  return RunChecker("/usr/bin/python3 " + ShellQuote(ToolsDir() + "/dxfcheck.py"), paths);
}
CheckResult RunDxfCheck(const std::string& path) { return RunDxfCheck(std::vector<std::string>{path}); }

CheckResult RunOgrInfo(const std::string& path) {
  CheckResult r;
  if (!HaveProgram("ogrinfo")) {
    r.missing = true;
    r.findings.push_back("ogrinfo is not installed (package gdal-bin)");
    return r;
  }
  int status = RunCommand("ogrinfo -ro -al -so " + ShellQuote(path), r.output);
  bool count = false;
  for (const auto& line : SplitLines(r.output)) {
    if (StartsWith(line, "ERROR")) r.findings.push_back("ogrinfo: " + line);
    if (line.find("Feature Count:") != std::string::npos) count = true;
  }
  if (status != 0) r.findings.push_back("ogrinfo: exit status " + std::to_string(status));
  if (!count) r.findings.push_back("ogrinfo: no Feature Count line");
  r.ok = r.findings.empty();
  return r;
}

CheckResult CheckDxf(const std::string& path) {
  CheckResult a = RunDxfCheck(path);
  CheckResult b = RunOgrInfo(path);
  CheckResult r;
  r.missing = a.missing || b.missing;
  r.ok = a.ok && b.ok;
  r.findings = a.findings;
  r.findings.insert(r.findings.end(), b.findings.begin(), b.findings.end());
  r.output = a.output + b.output;
  return r;
}

CheckResult CheckIges(const std::vector<std::string>& paths) {
  return RunChecker(ShellQuote(ToolsDir() + "/igescheck.sh"), paths);
}
CheckResult CheckIges(const std::string& path) { return CheckIges(std::vector<std::string>{path}); }

}  // namespace zeb::test
