// Peer-tool checks of the CAD files the graphics tests write:
// dxfcheck.py and ogrinfo for DXF, igescheck.sh for IGES.
//
//   auto r = zeb::test::CheckDxf(path);
//   if (r.missing) GTEST_SKIP() << r.Report();
//   EXPECT_TRUE(r.ok) << r.Report();
// or simply ZEB_EXPECT_DXF_CLEAN(path) / ZEB_EXPECT_IGES_CLEAN(path).
#pragma once
#include <string>
#include <vector>

#include "base/support_shell.h"

namespace zeb::test {

struct CheckResult {
  bool ok = false;       // the tool ran and found nothing
  bool missing = false;  // a tool is not installed
  std::vector<std::string> findings;  // problem lines (or why it failed)
  std::string output;                 // everything the tools printed
  std::string Report() const;
};

// Folder of the checker scripts: $ZEB1_TOOLS_DIR, else the shared tools
// beside the source tree ($ZEB1_SOURCE_DIR/../shared/tools, or found from
// this source file's path).
std::string ToolsDir();
// A folder in the build tree for the files a test writes (created):
// graphics_out/<sub> beside the test program.
std::string TestOutputDir(const std::string& sub = "");
// Runs a shell command; its exit status and everything it printed.
int RunCommand(const std::string& command, std::string& output);

CheckResult RunDxfCheck(const std::string& path);
// ogrinfo -ro -al -so: exit 0, no line starting with "ERROR", a
// "Feature Count:" line.
CheckResult RunOgrInfo(const std::string& path);
// Both DXF readers.
CheckResult CheckDxf(const std::string& path);
CheckResult CheckIges(const std::string& path);
// The checker scripts over many files in one run (no file: ok); missing
// when the tools folder or a tool it needs is not there.
CheckResult RunDxfCheck(const std::vector<std::string>& paths);
CheckResult CheckIges(const std::vector<std::string>& paths);

}  // namespace zeb::test

#define ZEB_EXPECT_CLEAN_(check, path)                               \
  do {                                                               \
    auto zebCheck_ = check(path);                                    \
    if (zebCheck_.missing) GTEST_SKIP() << zebCheck_.Report();       \
    EXPECT_TRUE(zebCheck_.ok) << (path) << "\n" << zebCheck_.Report(); \
  } while (0)
#define ZEB_EXPECT_DXF_CLEAN(path) ZEB_EXPECT_CLEAN_(::zeb::test::CheckDxf, path)
#define ZEB_EXPECT_IGES_CLEAN(path) ZEB_EXPECT_CLEAN_(::zeb::test::CheckIges, path)
