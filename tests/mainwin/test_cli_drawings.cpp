// "/CADi:j" for the spring views, the production drawing and the 3D view,
// tried as a new user would: every example, DXF, IGES and TXT, one fresh
// folder per run; every file read back by the peer checkers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/support_checkers.h"
#include "program_fixture.h"

#ifndef ZEB1_WZEB1
#error "ZEB1_WZEB1 names the program under test"
#endif

namespace fs = std::filesystem;

namespace {

using zeb::test::ShellQuote;

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliDrawings, EveryExampleEveryFormatAndDrawing) {
  const fs::path root = zeb::test::FreshTestFolder("zeb1_cli15_", {"xdg", "tmp"});
  std::vector<std::string> dxf, igs;
  int runs = 0, examples = 0;
  for (const auto& e : fs::directory_iterator(zeb::test::SourceDir() / "examples")) {
    if (e.path().extension() != ".zeb") continue;
    ++examples;
    const bool rectangular = e.path().stem() == "rectangular";
    for (int i : {1, 2, 5}) {
      for (int j = 12; j <= 17; ++j) {
        const std::string tag = e.path().stem().string() + "_" + std::to_string(i) + "_" + std::to_string(j);
        SCOPED_TRACE(tag);
        const fs::path work = root / tag;
        fs::create_directories(work);
        fs::copy_file(e.path(), work / "t.zeb");
        // timeout: a hang bound; a run takes a tenth of a second here.
        const int rc = Shell("cd " + ShellQuote(work.string()) + " && XDG_CONFIG_HOME=" + ShellQuote((root / "xdg").string()) +
                             " TMPDIR=" + ShellQuote((root / "tmp").string()) + " timeout 10 " + ShellQuote(ZEB1_WZEB1) +
                             " t.zeb /CAD" + std::to_string(i) + ":" + std::to_string(j) + " >out 2>err");
        ++runs;
        const char* ext = i == 1 ? "dxf" : i == 2 ? "igs" : "txt";
        const fs::path out = work / (std::string("t.") + ext);
        const std::string err = zeb::test::ReadBytes(work / "err");
        if (rectangular && (j == 12 || j == 13 || j == 16)) {
          EXPECT_EQ(2, rc);
          EXPECT_FALSE(fs::exists(out));
          EXPECT_NE(std::string::npos, err.find("nur f\xC3\xBCr runden Drahtquerschnitt")) << err;
          continue;
        }
        EXPECT_EQ(0, rc) << err;
        ASSERT_TRUE(fs::exists(out));
        EXPECT_GT(fs::file_size(out), 100u);
        if (i == 1) dxf.push_back(out.string());
        if (i == 2) igs.push_back(out.string());
      }
    }
  }
  EXPECT_GE(examples, 5);
  EXPECT_EQ(examples * 3 * 6, runs);
  for (const auto& f : dxf) {
    EXPECT_EQ(0, Shell("ogrinfo -ro -al -so " + ShellQuote(f) + " > " + ShellQuote(f + ".ogr") + " 2>&1"));
    const std::string ogr = zeb::test::ReadBytes(f + ".ogr");
    EXPECT_EQ(std::string::npos, ogr.find("ERROR")) << f << "\n" << ogr;
    EXPECT_NE(std::string::npos, ogr.find("Feature Count:")) << f;
  }
  const zeb::test::CheckResult dxfCheck = zeb::test::RunDxfCheck(dxf);
  const zeb::test::CheckResult igsCheck = zeb::test::CheckIges(igs);
  fs::remove_all(root);
  if (dxfCheck.missing || igsCheck.missing)
    GTEST_SKIP() << "checker tools missing (" << zeb::test::ToolsDir() << ")\n" << dxfCheck.Report() << igsCheck.Report();
  EXPECT_TRUE(dxfCheck.ok) << dxfCheck.Report();
  EXPECT_TRUE(igsCheck.ok) << igsCheck.Report();
}

}  // namespace
