// The plot program: the command-line dialogue, the batch file for long
// lines, and the start of a command line (with a script that records its
// arguments).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/globals.h"
#include "base/support_hang.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/support_cadrun.h"
#include "graphics/support_checkers.h"
#include "platform/files.h"

namespace zeb::test {
namespace {

// Short folders, so that the built lines stay near 60 characters.
class PlotTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    char name[] = "/tmp/zpXXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    short_ = name;  // 13 characters
    G().TempFolder = short_;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(short_, ec);
    CadTest::TearDown();
  }
  // A program folder of the given length holding "gravelo.exe" and a
  // "GRAVELO" script that writes its arguments, one a line, to `out`.
  std::string ProgramFolder(std::size_t length) {
    std::string f = short_ + "/";
    f += std::string(length - f.size(), 'p');
    std::filesystem::create_directories(f);
    WriteFileBytes(f + "/gravelo.exe", "x");
    WriteRecorder(f + "/GRAVELO");
    return f;
  }
  void WriteRecorder(const std::string& path) {
    WriteFileBytes(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out() +
                             ".part' && mv '" + out() + ".part' '" + out() + "'\n");
    ::chmod(path.c_str(), 0755);
  }
  std::string out() const { return short_ + "/args.out"; }
  // The recorded arguments, waiting for the detached program.
  std::string WaitForArgs() {
    WaitUntil([this] { return std::filesystem::exists(out()); });
    return ReadFileBytes(out());
  }
  // The dialogue with MS-DOS, folder f, HP-GL, parallel port 1, no rotation
  // and the given scale.
  void ExpectDialogue(const std::string& f, const std::string& scale) {
    ui().ExpectChoice("GRAVELO/WGRAVELO", 2);
    ui().ExpectInputText("Programmverzeichnis von gravelo.exe", f);
    ui().ExpectChoice("Ausgabeformat", 1);
    ui().ExpectChoice("Ausgabeschnittstelle", 2);
    ui().ExpectInputText("LPT-Port", "1");
    ui().ExpectInputText("anpassen", scale);
    ui().ExpectYesNo("Plot um 90 Grad drehen ?", false);
    ui().ExpectInputText("x-Richtung", "0");
    ui().ExpectInputText("y-Richtung", "0");
  }
  std::string short_;
};

TEST_F(PlotTest, DialogueBuildsTheCommandLine) {
  // Defaults give folder, program, input file and format only; a scale of 0
  // gives "/M*"; a folder of 24 makes the line 60 characters long, still
  // used as built.
  const std::tuple<std::size_t, const char*, const char*> cases[] = {
      {20, "1", ""}, {18, "0", " /M*"}, {18, "2.5", " /M2.5"}, {24, "1", ""}};
  for (const auto& [length, scale, scaleSwitch] : cases) {
    const std::string f = ProgramFolder(length);
    ExpectDialogue(f, scale);
    std::string line = "C:\\GRAVELO\\WGRAVELO GRAVELO.DXF /M1.0";
    GraveloCommandLine(line);
    EXPECT_EQ(G().AbortFlag, 0);
    EXPECT_EQ(line, f + "/GRAVELO " + short_ + "/gravelo /CHPL" + scaleSwitch);
    EXPECT_TRUE(length != 24 || line.size() == 60u);
  }
}

TEST_F(PlotTest, SixtyOneCharactersRunThroughTheBatchFile) {
  std::string f = ProgramFolder(25);
  ExpectDialogue(f, "1");
  ui().ExpectMessageBox("Meldung", "Kommandozeile zu lang, Es wird eine Batch-Datei erzeugt.");
  ui().ExpectInputText("Name der Batch-Datei (ohne .bat)", short_ + "/a.b");  // a "." is asked again
  ui().ExpectInputText("Name der Batch-Datei (ohne .bat)", short_ + "/plot");
  std::string line;
  GraveloCommandLine(line);
  EXPECT_EQ(line, short_ + "/plot.BAT");
  std::string built = f + "/GRAVELO " + short_ + "/gravelo /CHPL";
  EXPECT_EQ(built.size(), 61u);
  EXPECT_EQ(ReadFileBytes(short_ + "/plot.BAT"), built + "\n");
  CadStartPlotProgram(line);
  EXPECT_EQ(WaitForArgs(), short_ + "/gravelo\n/CHPL\n");
}

TEST_F(PlotTest, QuotedArgumentArrivesWhole) {
  WriteRecorder(short_ + "/rec");
  CadStartPlotProgram(short_ + "/rec \"a b\" c");
  EXPECT_EQ(WaitForArgs(), "a b\nc\n");
}

TEST_F(PlotTest, StartFailuresAreShown) {
  ui().ExpectMessageBox("Fehler", "file not found");
  CadStartPlotProgram(short_ + "/missing x");
  WriteFileBytes(short_ + "/plain", "x");  // not executable
  ui().ExpectMessageBox("Fehler", "file not found");
  CadStartPlotProgram(short_ + "/plain");
  ui().ExpectMessageBox("Fehler", "file not found");
  CadStartPlotProgram(short_ + "/none.bat");
  ui().ExpectMessageBox("Fehler", "Kommandozeile fehlerhaft");
  CadStartPlotProgram("   ");
  ui().ExpectMessageBox("Fehler", "Kommandozeile fehlerhaft");
  CadStartPlotProgram(short_ + "/rec \"a b");
}

TEST_F(PlotTest, PlotRunHandsTheDxfToTheProgram) {
  WriteRecorder(short_ + "/rec");
  CadSettings().CadPlotCommandLines[0] = short_ + "/rec " + short_ + "/gravelo.dxf";
  RunCode(4, [] {
    CadSetLayer(17);
    CadLine(0, 0, 160, 120);
  });
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(WaitForArgs(), short_ + "/gravelo.dxf\n");
  ZEB_EXPECT_DXF_CLEAN(short_ + "/gravelo.dxf");
}

// The plot program finds its file where the started line names it, also
// after the run has ended and its own folder is gone; the dialogue never
// puts that folder into a line (a later session would look there in vain).
TEST_F(PlotTest, PlotFileOutlivesTheRunFolder) {
  ASSERT_EQ(MakeRunFolder(short_), 0);
  const std::string run = RunFolder();
  const std::string f = ProgramFolder(20);
  ExpectDialogue(f, "1");
  std::string line;
  GraveloCommandLine(line);
  EXPECT_EQ(line, f + "/GRAVELO " + short_ + "/gravelo /CHPL");
  // Even where the run's folder stands for the temporary folder: $TMPDIR
  // takes its place (a short one here: a $TMPDIR of more than 17 characters
  // takes this line past 60 to the batch file).
  G().TempFolder = run;
  const char* tmpdir = std::getenv("TMPDIR");
  const std::optional<std::string> oldTmpdir = tmpdir ? std::optional<std::string>(tmpdir) : std::nullopt;
  ::setenv("TMPDIR", short_.c_str(), 1);
  ExpectDialogue(f, "1");
  GraveloCommandLine(line);
  if (oldTmpdir)
    ::setenv("TMPDIR", oldTmpdir->c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  EXPECT_EQ(line, f + "/GRAVELO " + short_ + "/gravelo /CHPL");
  EXPECT_EQ(line.find(run), std::string::npos) << line;
  G().TempFolder = short_;

  CadSettings().CadPlotCommandLines[0] = f + "/GRAVELO " + short_ + "/gravelo /CHPL";
  RunCode(4, [] { CadLine(0, 0, 160, 120); });
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(WaitForArgs(), short_ + "/gravelo\n/CHPL\n");
  RemoveRunFolder();
  EXPECT_FALSE(std::filesystem::exists(run));
  ZEB_EXPECT_DXF_CLEAN(short_ + "/gravelo.dxf");
}

// In a folder others may write (as /tmp) the file gets a new name that
// takes the line's place, and a file of that name already there is never
// written; a line without such a word gets the file as its last argument;
// a named folder that is gone gives way to the temporary folder.
TEST_F(PlotTest, SharedFoldersGetANewNameInTheLine) {
  ASSERT_EQ(::chmod(short_.c_str(), 01777), 0);
  WriteRecorder(short_ + "/rec");
  WriteFileBytes(short_ + "/gravelo.dxf", "someone else's");
  const auto plot = [&](const std::string& line) {
    std::filesystem::remove(out());
    CadSettings().CadPlotCommandLines[0] = line;
    RunCode(4, [] { CadLine(0, 0, 160, 120); });
    EXPECT_EQ(G().AbortFlag, 0);
    return WaitForArgs();
  };
  EXPECT_EQ(plot(short_ + "/rec " + short_ + "/GRAVELO /CHPL"), short_ + "/gravelo-2\n/CHPL\n");
  EXPECT_EQ(ReadFileBytes(short_ + "/gravelo.dxf"), "someone else's");
  ZEB_EXPECT_DXF_CLEAN(short_ + "/gravelo-2.dxf");
  EXPECT_EQ(plot(short_ + "/rec /CHPL"), "/CHPL\n" + short_ + "/gravelo-3.dxf\n");
  ZEB_EXPECT_DXF_CLEAN(short_ + "/gravelo-3.dxf");
  EXPECT_EQ(plot(short_ + "/rec /tmp/zeb1-Gone12/gravelo.dxf /CHPL"), short_ + "/gravelo-4.dxf\n/CHPL\n");
  ZEB_EXPECT_DXF_CLEAN(short_ + "/gravelo-4.dxf");
}

}  // namespace
}  // namespace zeb::test
