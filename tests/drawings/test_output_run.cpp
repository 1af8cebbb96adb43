// The shared output run and the installed drawing entries.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/globals.h"
#include "base/services.h"
#include "drawings/drawings.h"
#include "drawings/output_run.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/diagram.h"
#include "drawings/support_drawings.h"
#include "graphics/support_cadrun.h"
#include "mainwin/dispatch.h"
#include "spring/spring_data.h"

namespace zeb::test {
namespace {

class OutputRunTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    UseFileName("run");
  }
};

TEST_F(OutputRunTest, OneRunWritesHeaderBlocksAndEntitiesOnce) {
  SpringData().DrawingName = "Probe";
  ZEBWST_Record().Name1 = "Stahl";
  int entityPasses = 0, blockPasses = 0, opened = 0;
  DrawingRun run;
  run.extents = {-10, -5, 30, 40};
  run.opened = [&] { ++opened; };
  run.blocks = [&] {
    ++blockPasses;
    CadBeginBlock("B1");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
  };
  run.entities = [&] {
    ++entityPasses;
    CadInsertBlock("B1", 2, 3, 0, 1, 1);
    CadLine(0, 0, 10, 10);
  };
  EXPECT_TRUE(RunDrawingOutput(1, run));
  EXPECT_EQ(1, entityPasses);
  EXPECT_EQ(1, blockPasses);
  EXPECT_EQ(1, opened);
  EXPECT_EQ("Probe", DiagramData().DrawingName);
  EXPECT_EQ("Stahl", DiagramData().MaterialRecordName1);
  const std::string dxf = ReadFileBytes(dir() + "/run.dxf");
  EXPECT_NE(std::string::npos, dxf.find("$EXTMIN\r\n 10\r\n-10.000000\r\n 20\r\n-5.000000"));
  EXPECT_NE(std::string::npos, dxf.find("BLOCK\r\n  8\r\n0\r\n  2\r\nB1"));
}

TEST_F(OutputRunTest, FatalFlagRefusalAndCancelWriteNothing) {
  int passes = 0;
  DrawingRun run;
  run.entities = [&] { ++passes; };
  G().FatalErrorFlag = 1;
  ui().ExpectMessageBox("", "");
  EXPECT_FALSE(RunDrawingOutput(1, run));
  G().FatalErrorFlag = 0;
  run.before = [](DrawingRun&) { return false; };
  EXPECT_FALSE(RunDrawingOutput(1, run));
  run.before = [](DrawingRun&) {
    G().AbortFlag = 1;
    return true;
  };
  EXPECT_FALSE(RunDrawingOutput(1, run));
  EXPECT_EQ(0, passes);
  EXPECT_FALSE(std::filesystem::exists(dir() + "/run.dxf"));
}

TEST_F(OutputRunTest, InstallRegistersDrawingIndexesAndServices) {
  ClearDrawingRegistry();
  InstallDrawings();
  for (int j = 12; j <= 17; ++j) EXPECT_TRUE(DrawingRegistered(*CadDrawingOfIndex(j))) << j;
  EXPECT_TRUE(DrawingRegistered({DrawingEntry::ProductionDrawingEN, 0}));
  EXPECT_EQ(nullptr, dynamic_cast<RecordingDrawings*>(&Drawings()));
  SetDrawings(nullptr);
  ClearDrawingRegistry();
}

// The print macro's boxes 5 to 7 draw the projection and both production
// drawings on the screen through the installed entries.
TEST_F(OutputRunTest, PrintMacroDrawsViewAndProductionDrawings) {
  LoadRefSpring();
  ClearDrawingRegistry();
  InstallDrawings();
  auto form = std::make_shared<ScriptedPrintMacroForm>();
  form->Answer({5, 6, 7});
  SetPrintMacroForm(form);
  sink().ClearCalls();
  RunPrintMacro();
  int frames = 0, en = 0, arcs = 0;
  for (const SinkCall& c : sink().Calls()) {
    frames += c.text == "Zust.";
    en += c.text.rfind("Fc,th = ", 0) == 0;
    arcs += c.name == "GrafArc" && c.args[4] == 1;  // wire arcs of the projection (d 2)
  }
  EXPECT_EQ(2, frames);
  EXPECT_EQ(1, en);
  EXPECT_GT(arcs, 10);
  SetPrintMacroForm(nullptr);
  SetDrawings(nullptr);
  ClearDrawingRegistry();
}

}  // namespace
}  // namespace zeb::test
