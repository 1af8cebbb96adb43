// The plot-program command line, typed out by hand for each case, and the
// colour picker's lines and results.
#include <gtest/gtest.h>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "mainwin/plot_form.h"
#include "platform/process.h"

namespace zeb {
namespace {

class PlotFormTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().TempFolder = "/tmp/zeb";
  }
};

TEST_F(PlotFormTest, CommandLinesOfTheStartValuesAndEachSwitch) {
  PlotCommandForm f = StartPlotCommandForm("alt /CPS");
  const std::string head = "c:\\gravelo\\wgravelo /tmp/zeb/gravelo";
  EXPECT_EQ(BuildPlotCommandLine(f), head + " /CHPL");
  // Nothing changed: the given line is the result.
  EXPECT_EQ(PlotCommandResult(f), "alt /CPS");

  f.interface = 0;
  f.com = "2";
  PlotControlChanged(f);
  EXPECT_EQ(PlotCommandResult(f), head + " /CHPL /D1 /P3");
  f.com = "1";
  EXPECT_EQ(BuildPlotCommandLine(f), head + " /CHPL /D1");
  EXPECT_EQ(PlotInterfaceFields(f), (std::array<bool, 3>{true, false, false}));

  f.interface = 1;
  f.lpt = "2";
  SetFitScale(f, true);
  EXPECT_EQ(f.scale, "0");
  EXPECT_EQ(BuildPlotCommandLine(f), head + " /CHPL /P3 /M*");

  f = StartPlotCommandForm("");
  f.format = 1;
  f.psFont = "Courier";
  f.scale = "2.5";
  f.xShift = "10";
  f.yShift = "-5";
  f.textWidth = "0.8";
  f.rotate = true;
  EXPECT_TRUE(PlotFontEnabled(f));
  EXPECT_EQ(BuildPlotCommandLine(f), head + " /CPS /M2.5 /X10 /Y-5 /B0.8 /R /TCourier");

  // A file without a folder: no /F part; with one, the folder closes with "/".
  f = StartPlotCommandForm("");
  f.interface = 2;
  f.outputFolder = "";
  EXPECT_EQ(BuildPlotCommandLine(f), "c:\\gravelo\\wgravelo /gravelo /CHPL /D3");
  f.outputFolder = "/plots/";
  f.format = 4;
  EXPECT_EQ(BuildPlotCommandLine(f), "c:\\gravelo\\wgravelo /plots/gravelo /CART /D3 /F/plots/gravelo");
  // A folder with blanks: the plot program gets the file as one argument,
  // after /F too.
  f.outputFolder = "/tmp/mit Leer/";
  EXPECT_EQ(SplitCommandLine(BuildPlotCommandLine(f)),
            (std::vector<std::string>{"c:\\gravelo\\wgravelo", "/tmp/mit Leer/gravelo", "/CART", "/D3",
                                      "/F/tmp/mit Leer/gravelo"}));
  EXPECT_FALSE(PlotFontEnabled(f));
  EXPECT_EQ(PostScriptFontNames().size(), 35u);
  EXPECT_EQ(PostScriptFontNames().back(), "other fonts");
}

TEST_F(PlotFormTest, ColourPicker) {
  FillColourNames();
  const std::vector<std::string> lines = ColourPickerLines();
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "1 (rot)");
  EXPECT_EQ(lines[2], "3 (gr\xFCn)");  // Windows text
  EXPECT_EQ(lines[6], "7 (wei\xDF)");
  EXPECT_EQ(lines[15], "16 (schwarz)");
  EXPECT_EQ(ColourPickerIndex(0), -1);
  EXPECT_EQ(ColourPickerIndex(17), -1);
  EXPECT_EQ(ColourPickerIndex(16), 15);
  // OK with no line keeps the old number; Cancel keeps it with AbortFlag 0.
  EXPECT_EQ(ColourPickerResult(0, true, -1), 0);
  EXPECT_EQ(ColourPickerResult(20, true, -1), 20);
  EXPECT_EQ(ColourPickerResult(5, true, 2), 3);
  G().AbortFlag = 1;
  EXPECT_EQ(ColourPickerResult(5, false, 2), 5);
  EXPECT_EQ(G().AbortFlag, 0);
}

}  // namespace
}  // namespace zeb
