// The HP-GL player: the commands of the help pictures, PE decoding, labels
// and hostile files, checked on the display list.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/support_decimal.h"
#include "base/globals.h"
#include "base/support_hang.h"
#include "graph_support.h"
#include "graphics/hpgl.h"

namespace zeb::test {
namespace {

class HpglTest : public GraphTest {
 protected:
  void SetUp() override {
    GraphTest::SetUp();
    ResetHpglState();
    f().GrafClear();
    f().GrafHeader(false, 0, 0, 160, 120);
    list().clear();
  }
  std::vector<std::string> Play(const std::string& bytes) {
    f().GrafClear();  // forgets the recorded colour
    PlayHpglBytes(f(), bytes);
    return list();
  }
  // The numbers of a record, rounded to 1e-9.
  static std::vector<double> Fields(const std::string& rec) {
    std::vector<double> v;
    std::size_t i = 0;
    while (i < rec.size()) {
      std::size_t j = rec.find(';', i);
      if (j == std::string::npos) j = rec.size();
      v.push_back(std::round(static_cast<double>(zeb::test::DecimalValue(rec.substr(i, j - i))) * 1e9) / 1e9 + 0.0);
      i = j + 1;
    }
    return v;
  }
  static std::string Ch(int c) { return std::string(1, static_cast<char>(c)); }
};

TEST_F(HpglTest, PenMovesAndLines) {
  EXPECT_EQ(Play("IN;SP1;PU0,0;PD400,0,400,400;"),
            (std::vector<std::string>{"8;12", "4;0;0;10;0", "4;10;0;10;10"}));
  // PU without coordinates lifts the pen and moves nothing.
  EXPECT_EQ(Play("PU0,0;PU;PD40,0;"), (std::vector<std::string>{"8;12", "4;0;0;1;0"}));
  // Lower case, blanks, CR and LF, the letters P and A inside numbers.
  EXPECT_EQ(Play("sp 2 ;\r\npu 0 , 0 ;pd 4P0,4A0;"), (std::vector<std::string>{"8;14", "4;0;0;1;1"}));
  // Pens map to window colours; unlisted pens stay, bad ones record nothing.
  EXPECT_EQ(Play("PU0,0;SP7;PD4,0;SP9;PD8,0;SP-1;PD12,0;SP300;PD16,0;SP;PD20,0;"),
            (std::vector<std::string>{"8;15", "4;0;0;0.1;0", "8;9", "4;0.1;0;0.2;0", "4;0.2;0;0.3;0",
                                      "4;0.3;0;0.4;0", "8;12", "4;0.4;0;0.5;0"}));
  EXPECT_EQ(HpglPenColor(0), 0);
  EXPECT_EQ(HpglPenColor(5), 9);
}

TEST_F(HpglTest, CirclesAndArcs) {
  EXPECT_EQ(Play("SP1;PU400,800;CI200;PD800,800;"),
            (std::vector<std::string>{"8;12", "3;10;20;5", "4;10;20;20;20"}));
  // AA 360 about (0, 0) from (10, 0): a full circle, the pen at the centre.
  auto r = Play("SP1;PU400,0;PD;AA0,0,360;PD0,400;");
  EXPECT_EQ(r, (std::vector<std::string>{"8;12", "3;0;0;10", "4;0;0;0;10"}));
  EXPECT_EQ(Play("PU400,0;PD;AA0,0,-360;")[1], "3;0;0;10");
  EXPECT_EQ(Play("PU400,0;PD;AA0,0,450;")[1], "3;0;0;10");
  // +90 counter-clockwise from 0 to 90; -90 clockwise, drawn from -90 to 0.
  EXPECT_EQ(Fields(Play("PU400,0;PD;AA0,0,90;")[1]), (std::vector<double>{5, -10, -10, 10, 10, 10, 0, 0, 10}));
  EXPECT_EQ(Fields(Play("PU400,0;PD;AA0,0,-90;")[1]), (std::vector<double>{5, -10, -10, 10, 10, 0, -10, 10, 0}));
  // Pen up: no arc, but the pen goes to the centre. r = 0: harmless.
  EXPECT_TRUE(Play("PU400,0;AA0,0,90;").empty());
  EXPECT_EQ(HpglState().x, 0);
  Play("PU0,0;PD;AA0,0,90;");
}

TEST_F(HpglTest, LabelsSizesDirectionAndUmlauts) {
  auto r = Play("SP1;PU400,400;SI0.3,0.5;DI0,1;LBab\r\nc\x03;");
  EXPECT_EQ(r, (std::vector<std::string>{"8;12", "9;5;3;2;90", "6;10;10;abc"}));
  // The state carries over: pen 1, size, direction.
  EXPECT_EQ(Play("CS3;PU400,400;LBa}b\x03")[2], "6;10;10;\xE4" "b");  // cp850 0x84 shown as 1252 0xE4
  EXPECT_EQ(Play("CS3;PU400,400;LBU}x}\x03")[2], "6;10;10;\xDCx");
  EXPECT_EQ(Play("CS1;PU400,400;LBa}b\x03")[2], "6;10;10;a}b");
  // No length limit; the rest is not read as commands.
  const std::string longText(300, 'X');
  EXPECT_EQ(Play("PU400,400;LB" + longText + "PD4,4;\x03;")[2], "6;10;10;" + longText + "PD4,4;");
  // A label cut by the end of the file still shows.
  EXPECT_EQ(Play("PU400,400;LBcut")[2], "6;10;10;cut");
  // DI 0,0 and huge or negative sizes stay finite.
  r = Play("DI0,0;SI-1e300,1e300;LBx\x03");
  EXPECT_EQ(r[1], "9;1e+301;-1e+301;2;0");
}

TEST_F(HpglTest, PolylineEncoded) {
  // (10, -5) plotter units relative: 20 -> 191 + 20, 11 -> 191 + 11.
  EXPECT_EQ(Play("SP1;PU40,40;PE" + Ch(211) + Ch(202) + ";"),
            (std::vector<std::string>{"8;12", "4;1;1;1.25;0.875"}));
  // 100 units: 200 = 8 + 3 * 64 -> 'G', 194; base 32: 8 + 6 * 32 -> 'G', 'e'.
  EXPECT_EQ(Play("PU0,0;PEG" + Ch(194) + Ch(191) + ";"), (std::vector<std::string>{"8;12", "4;0;0;2.5;0"}));
  EXPECT_EQ(Play("PU0,0;PE7Ge_;"), (std::vector<std::string>{"8;12", "4;0;0;2.5;0"}));
  // "=" absolute, "<" a move, ":" a pen (3 -> 6 -> 197).
  EXPECT_EQ(Play("PU0,0;PE<=G" + Ch(194) + Ch(191) + ":" + Ch(197) + "G" + Ch(194) + Ch(191) + ";"),
            (std::vector<std::string>{"8;10", "4;2.5;0;5;0"}));
  EXPECT_EQ(HpglState().pen, 3);
  // A 30-character number ends the command; the next one still runs.
  EXPECT_EQ(Play("PU0,0;PE" + std::string(30, '?') + Ch(191) + Ch(191) + ";PD40,0;"),
            (std::vector<std::string>{"8;10", "4;0;0;1;0"}));
  // Cut at the end of the file.
  EXPECT_TRUE(Play("PU0,0;PEG").empty());
}

TEST_F(HpglTest, HostileBytesNeverCrashOrRecordNonFiniteValues) {
  const std::vector<std::string> inputs = {
      "", ";;;;", std::string("\0\0\0PD", 5), "PD1e999,nan;", "PU1e300,1e300;PD-1e300,1e300;",
      "PD" + std::string(100, '9') + ",1;", "PD0,", "CI-400;CI1e300;", "\x1B.(;\x1B.I81;;17:", "SP;SP;;DI;SI;CS;",
      "LB" + std::string(1 << 20, 'x'), "PE" + std::string(100, 'z'), "AA0,0;AA;AA1,2,3,4,5;", "XX", "P",
      "INSP1PU0,0PD10,10"};
  for (const auto& in : inputs) {
    G().AbortFlag = 1;
    const auto r = Play(in);
    EXPECT_EQ(G().AbortFlag, 0);
    for (const auto& rec : r) {
      EXPECT_EQ(rec.find("nan"), std::string::npos) << rec;
      EXPECT_EQ(rec.find("inf"), std::string::npos) << rec;
    }
  }
  EXPECT_EQ(Play("PD1e999,nan;"), (std::vector<std::string>{"8;12", "4;-999;-999;0;0"}));
}

// Records of one kind ("3;" circles, "4;" lines, "6;" labels).
int CountKind(const std::vector<std::string>& list, const std::string& kind) {
  return static_cast<int>(std::count_if(list.begin(), list.end(), [&](const std::string& r) { return r.rfind(kind, 0) == 0; }));
}

// Pictures beyond the bounds end there and say so; below them nothing is
// added. 30,000 labels once took 13 s per repaint (the time of such a
// picture: bench_hpgl_play).
TEST_F(HpglTest, HugePicturesAreCutAndSaySo) {
  const std::string notice = "6;2;2;Bild gek\xFCrzt: zu viele Elemente";  // cp850 0x81 shown as 1252 0xFC
  std::string labels = "SP1;PU400,400;";
  for (int i = 0; i < 30000; ++i) labels += "LBx\x03";
  auto r = Play(labels);
  EXPECT_EQ(CountKind(r, "6;"), 1000 + 1);
  EXPECT_EQ(r.back(), notice);
  EXPECT_TRUE(PlayHpglBytes(f(), labels));

  std::string circles = "SP1;PU400,400;";
  for (int i = 0; i < 100000; ++i) circles += "CI9999999;";
  r = Play(circles);
  EXPECT_EQ(CountKind(r, "3;"), 2000);
  EXPECT_EQ(r.back(), notice);
  // Circles and arcs count together.
  std::string curves = "SP1;PU400,0;PD;";
  for (int i = 0; i < 1000; ++i) curves += "CI40;PU400,0;PD;AA0,0,90;";
  curves += "CI40;";
  r = Play(curves);
  EXPECT_EQ(CountKind(r, "3;") + CountKind(r, "5;"), 2000);
  EXPECT_EQ(r.back(), notice);

  // Lines and everything else count together.
  std::string mixed = "SP1;PU0,0;PD";
  for (int i = 0; i < 19000; ++i) mixed += std::to_string(i % 2) + ",0,";
  mixed += "0,0;CI40;PU400,400;";
  for (int i = 0; i < 1000; ++i) mixed += "LBy\x03";
  r = Play(mixed);
  EXPECT_EQ(CountKind(r, "4;") + CountKind(r, "3;") + CountKind(r, "6;"), 20000 + 1);
  EXPECT_EQ(r.back(), notice);

  // One label: its first 1000 characters; the rest up to its end is
  // dropped, not read as commands.
  r = Play("SP1;PU400,400;LB" + std::string(1000, 'a') + std::string(5000, 'b') + "PD4,4;\x03PD40,40;");
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r[2], "6;10;10;" + std::string(1000, 'a'));
  EXPECT_EQ(r[3], "4;10;10;1;1");
  // The notice: a white field 2 mm per character, red text on it.
  EXPECT_EQ(std::vector<std::string>(r.begin() + 4, r.end()),
            (std::vector<std::string>{"8;15", "7;1;1;65;1;65;6;1;6", "8;12", "9;3;2;2;0", notice}));

  // Exactly at the bounds: whole, no notice.
  std::string full = "SP1;PU400,400;";
  for (int i = 0; i < 1000; ++i) full += "LB" + std::string(1000, 'c') + "\x03";
  for (int i = 0; i < 2000; ++i) full += "CI40;";
  full += "PU0,0;PD";
  for (int i = 0; i < 16999; ++i) full += std::to_string(i % 2) + ",0,";
  full += "0,0;";
  EXPECT_FALSE(PlayHpglBytes(f(), full));
  r = Play(full);
  EXPECT_EQ(CountKind(r, "6;"), 1000);
  EXPECT_EQ(CountKind(r, "3;"), 2000);
  EXPECT_EQ(CountKind(r, "4;"), 17000);
  EXPECT_NE(r.back(), notice);
}

// A picture file is read only up to its bound, and a FIFO in its place is
// not waited on.
TEST_F(HpglTest, PictureFilesAreBoundedAndNeverWaitedOn) {
  const std::string dir = ::testing::TempDir() + "hpgl bounds_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  {
    std::ofstream big(dir + "/big.plt", std::ios::binary);
    big << "SP1;PU0,0;PD40,0;";
    big << std::string(kHpglMaxFileBytes, ' ');
    big << "PD40,40;";
  }
  f().PlayHpglFile(dir + "/big.plt");
  EXPECT_EQ(list(), (std::vector<std::string>{"8;12", "4;0;0;1;0", "8;15", "7;1;1;65;1;65;6;1;6", "8;12", "9;3;2;2;0",
                                      "6;2;2;Bild gek\xFCrzt: zu viele Elemente"}));
  list().clear();
  ASSERT_EQ(::mkfifo((dir + "/start.plt").c_str(), 0600), 0);
  ui().ExpectMessageBox("Meldung:", dir + "/start.plt nicht gefunden !");
  // A FIFO is refused, never waited on (hang bound; the refusal takes a
  // millisecond).
  EXPECT_TRUE(test::EndsWithinHangBound([&] { f().PlayHpglFile(dir + "/start.plt"); }));
  EXPECT_TRUE(list().empty());
  std::filesystem::remove_all(dir);
}

TEST_F(HpglTest, FilesMissingFoldersAndCase) {
  // A folder name in mixed case, as a user's may be.
  const std::string dir = ::testing::TempDir() + "Hpgl Files_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir + "/sub.plt");
  {
    std::ofstream(dir + "/ABC.PLT") << "SP1;PU0,0;PD40,0;";
  }
  ui().ExpectMessageBox("Meldung:", dir + "/missing.plt nicht gefunden !");
  G().AbortFlag = 0;
  f().PlayHpglFile(dir + "/missing.plt");
  EXPECT_EQ(G().AbortFlag, 1);
  ui().ExpectMessageBox("Meldung:", dir + "/sub.plt nicht gefunden !");
  f().PlayHpglFile(dir + "/sub.plt");
  // ShowHelpPictureFile: lower-case name, found in any case; the sheet's
  // window record comes first and stays.
  G().HelpFolder = dir;
  G().AbortFlag = 0;
  f().ShowHelpPictureFile("abc");
  EXPECT_EQ(list(), (std::vector<std::string>{"10;1;1;639;479;0;0;160;120", "11;0", "8;12", "4;0;0;1;0"}));
  EXPECT_EQ(G().PrinterMode, 1);
  // A name with its folder: the folder is taken as it is written.
  G().HelpFolder.clear();
  list().clear();
  f().ShowHelpPictureFile(dir + "/Abc");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(list(), (std::vector<std::string>{"10;1;1;639;479;0;0;160;120", "11;0", "8;12", "4;0;0;1;0"}));
  G().HelpFolder = dir;
  // A double click returns the picture to its first paint.
  const auto first = Paint().Calls();
  win().ProcessKey(kKeyAdd);
  win().DoubleClick();
  EXPECT_EQ(Paint().Calls(), first);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zeb::test
