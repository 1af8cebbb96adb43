// IGES writer: record layout, entities, blocks, colours, breaking of long
// records, collapsed entities, limits; every file goes through igescheck.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "base/globals.h"
#include "base/messages.h"
#include "base/support_fixture.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/iges.h"
#include "graphics/sink.h"
#include "graphics/support_checkers.h"
#include "platform/files.h"

namespace zeb {
namespace {

struct IgesEntity {
  int type = 0;
  int de = 0;
  std::string d1, d2;   // the two D lines (72 columns)
  std::string params;   // parameter text, 64 columns per record joined
  int pLines = 0;
};

struct IgesFile {
  std::vector<std::string> lines;  // without line ends
  std::map<char, std::vector<std::string>> sections;
  std::vector<IgesEntity> entities;
  std::vector<IgesEntity> OfType(int type) const {
    std::vector<IgesEntity> r;
    for (const auto& e : entities)
      if (e.type == type) r.push_back(e);
    return r;
  }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Field(const std::string& line, int k) {  // 1-based 8-column field
  return line.substr(static_cast<std::size_t>((k - 1) * 8), 8);
}

std::string Trim(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

IgesFile ParseIges(const std::string& path) {
  IgesFile f;
  std::string all = ReadAll(path);
  std::size_t pos = 0;
  while (pos < all.size()) {
    std::size_t e = all.find("\r\n", pos);
    if (e == std::string::npos) e = all.size();
    f.lines.push_back(all.substr(pos, e - pos));
    pos = e + 2;
  }
  for (const auto& l : f.lines) {
    if (l.size() == 80) f.sections[l[72]].push_back(l);
  }
  const auto& D = f.sections['D'];
  const auto& P = f.sections['P'];
  for (std::size_t i = 0; i + 1 < D.size(); i += 2) {
    IgesEntity e;
    e.d1 = D[i].substr(0, 72);
    e.d2 = D[i + 1].substr(0, 72);
    e.type = std::atoi(Field(e.d1, 1).c_str());
    e.de = static_cast<int>(i) + 1;
    int p0 = std::atoi(Field(e.d1, 2).c_str());
    e.pLines = std::atoi(Field(e.d2, 4).c_str());
    for (int k = p0; k < p0 + e.pLines && k >= 1 && k <= static_cast<int>(P.size()); ++k)
      e.params += P[static_cast<std::size_t>(k - 1)].substr(0, 64);
    f.entities.push_back(e);
  }
  return f;
}

class IgesTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    ResetCadSettings();
    ResetCadState();
    SetScreen(nullptr);
    SetIgesRecordLimit(kIgesMaxRecords);
    CadSettings().CommandLineExport = 1;
    G().TempFolder = test::TestOutputDir("iges_tmp");
  }
  void TearDown() override {
    ResetCadState();
    SetIgesRecordLimit(kIgesMaxRecords);
    SetIgesScratchThreshold(0);
    BaseTest::TearDown();
  }

  // A run to <build>/iges/<stem>.igs; blocks() inside the blocks section,
  // entities() inside the entities section.
  std::string Run(const std::string& stem, const std::function<void()>& entities,
                  const std::function<void()>& blocks = {}) {
    const std::string base = test::TestOutputDir("iges") + "/" + stem;
    G().CurrentFileName = base;
    CadBeginOutput(2);
    EXPECT_EQ(G().AbortFlag, 0);
    CadDrawingHeader(0, 0, 160, 120);
    CadTables(2);
    if (blocks) {
      CadBeginBlocks();
      blocks();
      CadEndSection();
    }
    CadBeginEntities();
    entities();
    CadEndSection();
    CadEndOutput();
    return base + ".igs";
  }
};

TEST_F(IgesTest, OneLineHasTheRecordCountsOfTheSpecifiedExample) {
  const std::string path = Run("one_line", [] { CadLine(0, 0, 10, 5); });
  IgesFile f = ParseIges(path);
  EXPECT_EQ(f.sections['S'].size(), 2u);
  EXPECT_EQ(f.sections['G'].size(), 5u);
  EXPECT_EQ(f.sections['D'].size(), 2u);
  EXPECT_EQ(f.sections['P'].size(), 1u);
  ASSERT_EQ(f.sections['T'].size(), 1u);
  EXPECT_EQ(f.sections['T'][0], std::string("S0000002G0000005D0000002P0000001") + std::string(40, ' ') + "T0000001");
  for (const auto& l : f.lines) EXPECT_EQ(l.size(), 80u) << l;
  EXPECT_EQ(f.lines[0], std::string("IGES-Datei generiert von ZEB1").append(43, ' ') + "S0000001");
  // The P record: text, blanks, the DE pointer ending in column 72, "P" in 73.
  const std::string& p = f.sections['P'][0];
  EXPECT_EQ(p.substr(0, 64), std::string("110,0.000,0.000,0.0,10.000,5.000,0.0;").append(27, ' '));
  EXPECT_EQ(p.substr(64, 8), "       1");
  EXPECT_EQ(p.substr(72), "P0000001");
  // D lines: type, P pointer, structure 1, font, level, matrix blank, status.
  EXPECT_EQ(f.sections['D'][0], "     110       1       1       1       0                        00000000D0000001");
  EXPECT_EQ(f.sections['D'][1], "     110               0       1                                        D0000002");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, GlobalSectionNamesTheFileAndTheMaximumCoordinate) {
  G().ProgramVersion = "26.6";
  const std::string path = Run("glob", [] { CadCircle(50, 50, 10); });
  IgesFile f = ParseIges(path);
  ASSERT_EQ(f.sections['G'].size(), 5u);
  auto g = [&](int k) { return Trim(f.sections['G'][static_cast<std::size_t>(k)].substr(0, 72)); };
  EXPECT_EQ(g(0), ",,4HFILE,4Hglob,10HZEB1 V26.6,3H3.1,");
  EXPECT_EQ(g(1), "16,38,6,99,15,");
  EXPECT_EQ(g(2), "4Hglob,1.0,2,2HMM,32767,3.2767D1,");
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char date[32];
  std::snprintf(date, sizeof date, "%02d%02d%02d", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday);
  EXPECT_EQ(g(3), std::string("13H") + date + ".140920,1.0D-8,160.000,");
  EXPECT_EQ(g(4), "4HZEB1,7HTALMORE,4,0;");
  // Circle: an arc of form 100 with start = end and matrix field "0".
  ASSERT_EQ(f.OfType(100).size(), 1u);
  EXPECT_EQ(Trim(f.OfType(100)[0].params), "100,0.0,50.000,50.000,60.000,50.000,60.000,50.000;");
  EXPECT_EQ(Field(f.OfType(100)[0].d1, 7), "       0");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, LongFileNameBreaksTheGlobalRecordsAfterADelimiter) {
  const std::string stem(70, 'n');
  const std::string path = Run(stem, [] { CadLine(0, 0, 10, 5); });
  IgesFile f = ParseIges(path);
  EXPECT_GT(f.sections['G'].size(), 5u);
  std::string joined;
  for (const auto& l : f.sections['G']) joined += l.substr(0, 72);
  // A string that does not fit fills its record to column 72; records
  // that fit stay whole.
  EXPECT_NE(joined.find("70H" + stem), std::string::npos);
  EXPECT_EQ(f.sections['G'][0].substr(0, 72), ",,4HFILE,70H" + stem.substr(0, 60));
  EXPECT_EQ(Trim(f.sections['G'][1].substr(0, 72)), stem.substr(0, 10) + ",7HZEB1 V?,3H3.1,");
  EXPECT_EQ(Trim(f.sections['G'][2].substr(0, 72)), "16,38,6,99,15,");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, TextWithCommasStaysOneHollerithString) {
  std::string text;
  while (text.size() < 100) text += "a,b;c ";
  text.resize(100);
  CadSettings().CadTextFactor = 1.0L;
  const std::string path = Run("text_commas", [&] {
    CadTextStyle(2, 30, 2.5L, 2.0L);
    CadText(text, 10, 20);
  });
  IgesFile f = ParseIges(path);
  auto notes = f.OfType(212);
  ASSERT_EQ(notes.size(), 1u);
  const std::string& p = notes[0].params;
  // NC, WT = NC * HT * width factor (2.0 / 2.5), HT, font 1, angle 30 deg.
  EXPECT_EQ(Trim(p.substr(0, 64)), "212,1,100,200.000,2.500,1,,0.523599,0,0,10.000,20.000,0.0,");
  const std::size_t h = p.find("100H");
  ASSERT_NE(h, std::string::npos);
  EXPECT_EQ(p.substr(h + 4, 100), text);
  EXPECT_EQ(p[h + 104], ';');
  EXPECT_EQ(notes[0].pLines, 3);  // record 1, then the string over two records
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, TextsAreConvertedForTheOutputAndCountedInBytes) {
  G().TextOutputConversion = 2;
  const std::string path = Run("umlaut", [] { CadText("\x84\x94\x81\xe1", 0, 0); });  // äöüß in code page 850
  IgesFile f = ParseIges(path);
  ASSERT_EQ(f.OfType(212).size(), 1u);
  EXPECT_NE(f.OfType(212)[0].params.find("4H\xe4\xf6\xfc\xdf;"), std::string::npos);
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, BlocksInsertsRotationAndLongNames) {
  const std::string path = Run(
      "blocks",
      [] {
        CadInsertBlock("LONGBLOCKNAME", 20, 30, 0, 1, 1);
        CadInsertBlock("LONGBLOCKNAME", 50, 60, 90, 1, 1);
        CadInsertBlock("B13", 0, 0, 0, 1, 1);
      },
      [] {
        CadBeginBlock("LONGBLOCKNAME");
        CadLine(0, 0, 10, 0);
        CadCircle(0, 0, 3);
        CadEndBlock();
        CadBeginBlock("B13");
        for (int k = 0; k < 13; ++k) CadLine(k, 0, k, 5);
        CadEndBlock();
      });
  IgesFile f = ParseIges(path);
  auto subs = f.OfType(308);
  ASSERT_EQ(subs.size(), 2u);
  // The label field holds the first 8 characters, the parameter the whole name.
  EXPECT_EQ(Field(subs[0].d2, 8), "LONGBLOC");
  EXPECT_EQ(Trim(subs[0].params.substr(0, 64)), "308,0,13HLONGBLOCKNAME,2,");
  EXPECT_EQ(Trim(subs[0].params.substr(64)), "1,3;");
  // Members carry status 00010000, the 308 itself 00000000.
  EXPECT_EQ(Field(f.entities[0].d1, 9), "00010000");
  EXPECT_EQ(Field(subs[0].d1, 9), "00000000");
  // 13 members: the pointers in two records of 12 and 1.
  EXPECT_EQ(subs[1].pLines, 3);
  const auto& P = f.sections['P'];
  const int p0 = std::atoi(Field(subs[1].d1, 2).c_str());
  EXPECT_EQ(Trim(P[static_cast<std::size_t>(p0 - 1)].substr(0, 64)), "308,0,3HB13,13,");
  EXPECT_EQ(Trim(P[static_cast<std::size_t>(p0)].substr(0, 64)), "7,9,11,13,15,17,19,21,23,25,27,29,");
  EXPECT_EQ(Trim(P[static_cast<std::size_t>(p0 + 1)].substr(0, 64)), "31;");

  auto inst = f.OfType(408);
  ASSERT_EQ(inst.size(), 3u);
  EXPECT_EQ(Trim(inst[0].params), "408," + std::to_string(subs[0].de) + ",20.000,30.000,0.0,1.0;");
  // Angle 90: a 124 rotation cos 0, sin 1 and the translation, pointed to
  // by the 408's matrix field.
  auto mats = f.OfType(124);
  ASSERT_EQ(mats.size(), 1u);
  std::string m = mats[0].params;
  std::erase(m, ' ');
  EXPECT_EQ(m, "124,0.000000,-1.000000,0.0,50.000,1.000000,0.000000,0.0,60.000,0.0,0.0,1.0,0.0;");
  EXPECT_EQ(Field(mats[0].d1, 9), "00010000");
  EXPECT_EQ(Field(mats[0].d2, 5), "       0");
  EXPECT_EQ(Trim(Field(inst[1].d1, 7)), std::to_string(mats[0].de));
  EXPECT_EQ(Trim(inst[1].params), "408," + std::to_string(subs[0].de) + ",0.0,0.0,0.0,1.0;");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, TextsOfBlocksAreWrittenAtEveryInstance) {
  const std::string path = Run(
      "block_texts",
      [] {
        CadInsertBlock("T", 10, 20, 90, 1, 1);
        CadInsertBlock("OUT", 100, 0, 0, 1, 1);
        CadInsertBlock("ONLYTEXT", 50, 50, 0, 1, 1);
      },
      [] {
        CadBeginBlock("T");
        CadTextStyle(2, 0, 2, 2);
        CadLine(0, 0, 5, 0);
        CadText("abc", 1, 2);
        CadEndBlock();
        CadBeginBlock("OUT");
        CadInsertBlock("T", 0, 10, 0, 1, 1);
        CadEndBlock();
        CadBeginBlock("ONLYTEXT");
        CadText("x", 0, 0);
        CadEndBlock();
      });
  IgesFile f = ParseIges(path);
  auto notes = f.OfType(212);
  ASSERT_EQ(notes.size(), 3u);
  // Turned by 90 degrees about the insertion point, the angle with it.
  EXPECT_EQ(Trim(notes[0].params.substr(0, 64)), "212,1,3,6.000,2.000,1,,1.570796,0,0,8.000,21.000,0.0,");
  EXPECT_EQ(Field(notes[0].d1, 9), "00000000");
  // Through the nested block: moved by both inserts.
  EXPECT_NE(notes[1].params.find(",101.000,12.000,0.0,"), std::string::npos);
  EXPECT_NE(notes[2].params.find(",50.000,50.000,0.0,"), std::string::npos);
  // The block holding only a text has no definition and no instance.
  EXPECT_EQ(f.OfType(308).size(), 2u);
  EXPECT_EQ(f.OfType(408).size(), 3u);
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, BlockOfAnEarlierFileIsNotFound) {
  Run("first", [] { CadInsertBlock("A", 0, 0, 0, 1, 1); },
      [] {
        CadBeginBlock("A");
        CadLine(0, 0, 1, 1);
        CadEndBlock();
      });
  ui().ExpectMessageBox("", "Blockname A not found !");
  const std::string path = Run("second", [] {
    CadLine(0, 0, 1, 1);
    CadInsertBlock("A", 0, 0, 0, 1, 1);
  });
  IgesFile f = ParseIges(path);
  EXPECT_EQ(f.OfType(408).size(), 0u);
  EXPECT_EQ(f.OfType(110).size(), 1u);
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, EmptyBlockWritesNeitherDefinitionNorInstances) {
  const std::string path = Run("empty_block",
                               [] {
                                 CadInsertBlock("EMPTY", 0, 0, 0, 1, 1);
                                 CadInsertBlock("EMPTY", 5, 5, 90, 1, 1);
                                 CadLine(0, 0, 5, 5);
                               },
                               [] {
                                 CadBeginBlock("EMPTY");
                                 CadEndBlock();
                               });
  IgesFile f = ParseIges(path);
  EXPECT_TRUE(f.OfType(308).empty());
  EXPECT_TRUE(f.OfType(408).empty());
  EXPECT_TRUE(f.OfType(124).empty());
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, ThreeHundredBlocksAndMembers) {
  const std::string path = Run("many_blocks",
                               [] {
                                 for (int b = 0; b < 300; ++b) CadInsertBlock("B" + std::to_string(b), b, 0, 0, 1, 1);
                               },
                               [] {
                                 for (int b = 0; b < 300; ++b) {
                                   CadBeginBlock("B" + std::to_string(b));
                                   const int members = b == 299 ? 300 : 1;
                                   for (int m = 0; m < members; ++m) CadLine(m, 0, m, 1 + b % 7);
                                   CadEndBlock();
                                 }
                               });
  IgesFile f = ParseIges(path);
  auto subs = f.OfType(308);
  ASSERT_EQ(subs.size(), 300u);
  EXPECT_EQ(subs.back().params.substr(0, 15), "308,0,4HB299,30");
  auto inst = f.OfType(408);
  ASSERT_EQ(inst.size(), 300u);
  // Every instance names the definition of its own block.
  for (int b = 0; b < 300; ++b)
    EXPECT_EQ(inst[static_cast<std::size_t>(b)].params.substr(0, 5 + std::to_string(subs[static_cast<std::size_t>(b)].de).size()),
              "408," + std::to_string(subs[static_cast<std::size_t>(b)].de) + ",");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, LayersColoursAndLineFonts) {
  auto& s = CadSettings();
  s.CadLayerColours = {1, 2, 3, 4, 5, 15};
  s.CadUserColours[0] = -1;  // layer 16
  s.CadUserColours[1] = 16;  // layer 17
  s.CadUserColours[2] = 300; // layer 18
  s.CadUserColours[3] = 9;   // layer 19
  const std::string path = Run("layers", [] {
    for (int layer : {0, 1, 2, 5, 16, 17, 18, 19, 7}) {
      CadSetLayer(layer);
      CadLine(0, layer, 10, layer + 1);
    }
    CadSetLayerMode(1);
    CadSetLayer(15);  // index 16 outside the map
    CadLine(0, 0, 1, 1);
  });
  IgesFile f = ParseIges(path);
  auto lines = f.OfType(110);
  ASSERT_EQ(lines.size(), 10u);
  // (font, level) per line: layer 0 takes colour 7 -> 0; 1 -> map(2) = 5
  // dash-dot font 4; 2 -> map(3) = 3 dashed font 2; 5 -> map(15) = 1;
  // colours -1, 16 and 300 -> 0; 9 -> 10; layer 7 -> index 8 -> 8.
  const std::vector<std::pair<int, int>> want = {{1, 0}, {4, 5}, {2, 3}, {1, 1}, {1, 0},
                                                 {1, 0}, {1, 0}, {1, 10}, {1, 8}, {1, 0}};
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_EQ(std::atoi(Field(lines[k].d1, 4).c_str()), want[k].first) << k;
    EXPECT_EQ(std::atoi(Field(lines[k].d1, 5).c_str()), want[k].second) << k;
    EXPECT_EQ(std::atoi(Field(lines[k].d2, 3).c_str()), want[k].second) << k;
  }
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, SolidOutlineRunsOneTwoFourThree) {
  const std::string path = Run("solids", [] {
    CadSolid(0, 0, 10, 0, 0, 10, 10, 10);  // screen order 1, 2, 4, 3 is a square
    CadArrowStd(50, 50, 30);
    CadSolid(20, 20, 30, 20, 25, 30, 25, 30);  // a triangle repeats corner 3
  });
  IgesFile f = ParseIges(path);
  auto solids = f.OfType(106);
  ASSERT_EQ(solids.size(), 3u);
  std::string p = solids[0].params;
  std::erase(p, ' ');
  EXPECT_EQ(p, "106,1,5,0.0,0.000,0.000,10.000,0.000,10.000,10.000,0.000,10.000,0.000,0.000;");
  EXPECT_EQ(solids[0].pLines, 6);  // each corner in a record of its own
  EXPECT_EQ(Field(solids[0].d2, 5), "      11");
  p = solids[2].params;
  std::erase(p, ' ');
  EXPECT_EQ(p, "106,1,5,0.0,20.000,20.000,30.000,20.000,25.000,30.000,25.000,30.000,20.000,20.000;");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, EntitiesThatCollapseAtThreeDecimalsAreNotWritten) {
  const std::string path = Run("collapse", [] {
    CadLine(1, 1, 1.0004L, 1.0001L);
    CadCircle(5, 5, 0.0004L);
    CadArc(5, 5, 0, 90, 0.0004L);
    CadArc(5, 5, 10, 10.00001L, 2);  // ends meet at 3 decimals
    CadSolid(3, 3, 3.0001L, 3, 3, 3.0002L, 3, 3);
    CadLine(0, 0, 1, 0);  // one survivor
    CadArc(5, 5, 350, 10, 2);
    CadArc(5, 5, 360, 0, 2);
  });
  IgesFile f = ParseIges(path);
  EXPECT_EQ(f.OfType(110).size(), 1u);
  EXPECT_EQ(f.OfType(106).size(), 0u);
  auto arcs = f.OfType(100);
  ASSERT_EQ(arcs.size(), 2u);
  EXPECT_EQ(Trim(arcs[0].params), "100,0.0,5.000,5.000,6.970,4.653,6.970,5.347;");
  EXPECT_EQ(Trim(arcs[1].params), "100,0.0,5.000,5.000,7.000,5.000,7.000,5.000;");
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, ThreeDLines) {
  const std::string path = Run("lines3d", [] {
    IgesMoveTo3D(0, 0, 0);
    IgesLineTo3D(10, 10, 10);
    IgesLineTo3D(10, 10, -5);
    IgesLineTo3D(10, 10, std::nanl(""));  // dropped
  });
  IgesFile f = ParseIges(path);
  auto lines = f.OfType(110);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Trim(lines[0].params), "110,0.000,0.000,0.000,10.000,10.000,10.000;");
  EXPECT_EQ(Trim(lines[1].params), "110,10.000,10.000,10.000,10.000,10.000,-5.000;");
  EXPECT_EQ(G().ErrorMessageList.count, 1);
  ZEB_EXPECT_IGES_CLEAN(path);
}

TEST_F(IgesTest, SectionOverTheRecordLimitLeavesNoFile) {
  SetIgesRecordLimit(20);
  const std::string base = test::TestOutputDir("iges") + "/overflow";
  std::remove((base + ".igs").c_str());
  ui().ExpectMessageBox("Fehler", "mehr als 20");
  Run("overflow", [] {
    for (int k = 0; k < 15; ++k) CadLine(0, k, 1, k);
  });
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(PathExists(base + ".igs"));
}

TEST_F(IgesTest, LargeParameterSectionGoesThroughTheScratchFile) {
  SetIgesScratchThreshold(1u << 20);
  const std::string path = Run("large", [] {
    for (int k = 0; k < 20000; ++k) CadText("Text " + std::to_string(k), k % 100, k / 100);
  });
  IgesFile f = ParseIges(path);
  EXPECT_EQ(f.entities.size(), 20000u);
  EXPECT_EQ(f.sections['P'].size(), 40000u);
  const auto& last = f.entities.back();
  EXPECT_NE(last.params.find("10HText 19999;"), std::string::npos);
  const std::string& t = f.sections['T'][0];
  EXPECT_EQ(t.substr(0, 32), "S0000002G0000005D0040000P0040000");
  // Nothing is left in the temporary folder.
  EXPECT_EQ(std::system(("ls " + test::ShellQuote(G().TempFolder) + " | grep -q zebiges").c_str()) == 0, false);
}

TEST(IgesRecords, BreakingRule) {
  // After the last delimiter that fits; strings fill to the last column.
  EXPECT_EQ(IgesBreakRecords("1,22,333;", 5), (std::vector<std::string>{"1,22,", "333;"}));
  EXPECT_EQ(IgesBreakRecords("1,6HA,B,CD,2;", 6), (std::vector<std::string>{"1,6HA,", "B,CD,", "2;"}));
  EXPECT_EQ(IgesBreakRecords("12345678;", 4), (std::vector<std::string>{"1234", "5678", ";"}));
  // The count of a string never parts from its "H".
  EXPECT_EQ(IgesBreakRecords("1,12HABCDEFGHIJKL;", 4),
            (std::vector<std::string>{"1,", "12HA", "BCDE", "FGHI", "JKL;"}));
  EXPECT_EQ(IgesReal(-0.0004L), "0.000");
  EXPECT_EQ(IgesReal(-0.0006L), "-0.001");
  EXPECT_EQ(IgesReal(1234567.891L), "1234567.891");
  EXPECT_EQ(IgesReal(-2.5L, 6), "-2.500000");
  EXPECT_EQ(IgesHollerith("a,b"), "3Ha,b");
}

}  // namespace
}  // namespace zeb
