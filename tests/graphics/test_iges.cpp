// IGES writer: record layout, entities, blocks, colours, breaking of long
// records, collapsed entities, limits. The fixture runs igescheck on every
// file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "base/globals.h"
#include "graphics/cad.h"
#include "graphics/cadsettings.h"
#include "graphics/iges.h"
#include "graphics/support_cadrun.h"
#include "platform/files.h"

namespace zeb::test {
namespace {

struct IgesEntity {
  int type = 0, de = 0, pLines = 0;
  std::string d1, d2;  // the two D lines (72 columns)
  std::string params;  // parameter text, 64 columns per record joined
};

struct IgesFile {
  std::map<char, std::vector<std::string>> sections;
  std::vector<IgesEntity> entities;
  std::vector<IgesEntity> OfType(int type) const {
    std::vector<IgesEntity> r;
    for (const auto& e : entities)
      if (e.type == type) r.push_back(e);
    return r;
  }
};

std::string Field(const std::string& line, int k) {  // 1-based 8-column field
  return line.substr(static_cast<std::size_t>((k - 1) * 8), 8);
}

int IntField(const std::string& line, int k) { return std::atoi(Field(line, k).c_str()); }

std::string Trim(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

IgesFile ParseIges(const std::string& path) {
  IgesFile f;
  const std::string all = ReadFileBytes(path);
  for (std::size_t pos = 0; pos + 80 <= all.size(); pos += 82) f.sections[all[pos + 72]].push_back(all.substr(pos, 80));
  const auto& D = f.sections['D'];
  const auto& P = f.sections['P'];
  for (std::size_t i = 0; i + 1 < D.size(); i += 2) {
    IgesEntity e;
    e.d1 = D[i].substr(0, 72);
    e.d2 = D[i + 1].substr(0, 72);
    e.type = IntField(e.d1, 1);
    e.de = static_cast<int>(i) + 1;
    e.pLines = IntField(e.d2, 4);
    for (int k = IntField(e.d1, 2), end = k + e.pLines; k < end && k >= 1 && k <= static_cast<int>(P.size()); ++k)
      e.params += P[static_cast<std::size_t>(k - 1)].substr(0, 64);
    f.entities.push_back(e);
  }
  return f;
}

std::string NoBlanks(std::string s) {
  std::erase(s, ' ');
  return s;
}

class IgesTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    SetIgesRecordLimit(kIgesMaxRecords);
  }
  void TearDown() override {
    SetIgesRecordLimit(kIgesMaxRecords);
    SetIgesScratchThreshold(0);
    CadTest::TearDown();
  }
  IgesFile Run(const std::string& stem, const std::function<void()>& entities,
               const std::function<void()>& blocks = {}) {
    return ParseIges(RunToFile(2, dir() + "/" + stem, entities, blocks));
  }
};

TEST_F(IgesTest, OneLineHasTheRecordCountsOfTheSpecifiedExample) {
  IgesFile f = Run("one_line", [] { CadLine(0, 0, 10, 5); });
  ASSERT_EQ(f.sections['T'].size(), 1u);
  EXPECT_EQ(f.sections['T'][0], "S0000002G0000005D0000002P0000001" + std::string(40, ' ') + "T0000001");
  EXPECT_EQ(f.sections['S'][0], "IGES-Datei generiert von ZEB1" + std::string(43, ' ') + "S0000001");
  // The P record: text, blanks, the DE pointer ending in column 72, "P" in 73.
  EXPECT_EQ(f.sections['P'][0],
            "110,0.000,0.000,0.0,10.000,5.000,0.0;" + std::string(27, ' ') + "       1P0000001");
  // D lines: type, P pointer, structure 1, font, level, matrix blank, status.
  EXPECT_EQ(f.sections['D'][0], "     110       1       1       1       0                        00000000D0000001");
  EXPECT_EQ(f.sections['D'][1], "     110               0       1                                        D0000002");
  // The file date and time: the moment the tests' clock is set to
  // (07.12.2026 9:05:00 UTC).
  EXPECT_EQ(f.sections['G'][3].rfind("13H261207.090500,", 0), 0u) << f.sections['G'][3];
}

TEST_F(IgesTest, LongFileNameBreaksTheGlobalRecordsAfterADelimiter) {
  const std::string stem(70, 'n');
  IgesFile f = Run(stem, [] { CadLine(0, 0, 10, 5); });
  // A string that does not fit fills its record to column 72; records that
  // fit stay whole.
  ASSERT_GT(f.sections['G'].size(), 5u);
  EXPECT_EQ(f.sections['G'][0].substr(0, 72), ",,4HFILE,70H" + stem.substr(0, 60));
  EXPECT_EQ(Trim(f.sections['G'][1].substr(0, 72)), stem.substr(0, 10) + ",7HZEB1 V?,3H3.1,");
  EXPECT_EQ(Trim(f.sections['G'][2].substr(0, 72)), "16,38,6,99,15,");
}

TEST_F(IgesTest, TextWithCommasStaysOneHollerithString) {
  std::string text;
  while (text.size() < 100) text += "a,b;c ";
  text.resize(100);
  CadSettings().CadTextFactor = 1.0L;
  auto notes = Run("text_commas", [&] {
                 CadTextStyle(2, 30, 2.5L, 2.0L);
                 CadText(text, 10, 20);
               }).OfType(212);
  ASSERT_EQ(notes.size(), 1u);
  const std::string& p = notes[0].params;
  // NC, WT = NC * HT * width factor (2.0 / 2.5), HT, font 1, angle 30 deg.
  EXPECT_EQ(Trim(p.substr(0, 64)), "212,1,100,200.000,2.500,1,,0.523599,0,0,10.000,20.000,0.0,");
  const std::size_t h = p.find("100H");
  ASSERT_NE(h, std::string::npos);
  EXPECT_EQ(p.substr(h + 4, 101), text + ";");
  EXPECT_EQ(notes[0].pLines, 3);  // record 1, then the string over two records
}

TEST_F(IgesTest, BlocksInsertsRotationAndLongNames) {
  IgesFile f = Run(
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
  EXPECT_EQ(NoBlanks(subs[1].params), "308,0,3HB13,13,7,9,11,13,15,17,19,21,23,25,27,29,31;");
  EXPECT_EQ(Trim(subs[1].params.substr(64, 64)), "7,9,11,13,15,17,19,21,23,25,27,29,");

  auto inst = f.OfType(408);
  ASSERT_EQ(inst.size(), 3u);
  const std::string outer = std::to_string(subs[0].de);
  EXPECT_EQ(Trim(inst[0].params), "408," + outer + ",20.000,30.000,0.0,1.0;");
  // Angle 90: a 124 rotation cos 0, sin 1 and the translation, pointed to
  // by the 408's matrix field.
  auto mats = f.OfType(124);
  ASSERT_EQ(mats.size(), 1u);
  EXPECT_EQ(NoBlanks(mats[0].params),
            "124,0.000000,-1.000000,0.0,50.000,1.000000,0.000000,0.0,60.000,0.0,0.0,1.0,0.0;");
  EXPECT_EQ(Field(mats[0].d1, 9), "00010000");
  EXPECT_EQ(Field(mats[0].d2, 5), "       0");
  EXPECT_EQ(IntField(inst[1].d1, 7), mats[0].de);
  EXPECT_EQ(Trim(inst[1].params), "408," + outer + ",0.0,0.0,0.0,1.0;");
}

TEST_F(IgesTest, TextsOfBlocksAreWrittenAtEveryInstance) {
  IgesFile f = Run(
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
}

TEST_F(IgesTest, BlockOfAnEarlierFileIsNotFound) {
  auto blockA = [] {
    CadBeginBlock("A");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
  };
  Run("first", [] { CadInsertBlock("A", 0, 0, 0, 1, 1); }, blockA);
  ui().ExpectMessageBox("", "Blockname A not found !");
  IgesFile f = Run("second", [] {
    CadLine(0, 0, 1, 1);
    CadInsertBlock("A", 0, 0, 0, 1, 1);
  });
  EXPECT_EQ(f.OfType(408).size(), 0u);
  EXPECT_EQ(f.OfType(110).size(), 1u);
}

TEST_F(IgesTest, EmptyBlockWritesNeitherDefinitionNorInstances) {
  IgesFile f = Run(
      "empty_block",
      [] {
        CadInsertBlock("EMPTY", 0, 0, 0, 1, 1);
        CadInsertBlock("EMPTY", 5, 5, 90, 1, 1);
        CadLine(0, 0, 5, 5);
      },
      [] {
        CadBeginBlock("EMPTY");
        CadEndBlock();
      });
  EXPECT_TRUE(f.OfType(308).empty() && f.OfType(408).empty() && f.OfType(124).empty());
}

TEST_F(IgesTest, ThreeHundredBlocksAndMembers) {
  IgesFile f = Run(
      "many_blocks", [] { for (int b = 0; b < 300; ++b) CadInsertBlock("B" + std::to_string(b), b, 0, 0, 1, 1); },
      [] {
        for (int b = 0; b < 300; ++b) {
          CadBeginBlock("B" + std::to_string(b));
          for (int m = 0; m < (b == 299 ? 300 : 1); ++m) CadLine(m, 0, m, 1 + b % 7);
          CadEndBlock();
        }
      });
  auto subs = f.OfType(308);
  auto inst = f.OfType(408);
  ASSERT_EQ(subs.size(), 300u);
  ASSERT_EQ(inst.size(), 300u);
  EXPECT_EQ(subs.back().params.substr(0, 16), "308,0,4HB299,300");
  // Every instance names the definition of its own block.
  for (std::size_t b = 0; b < 300; ++b)
    EXPECT_EQ(inst[b].params.rfind("408," + std::to_string(subs[b].de) + ",", 0), 0u) << b;
}

TEST_F(IgesTest, LayersColoursAndLineFonts) {
  auto& s = CadSettings();
  s.CadLayerColours = {1, 2, 3, 4, 5, 15};
  s.CadUserColours[0] = -1;   // layer 16
  s.CadUserColours[1] = 16;   // layer 17
  s.CadUserColours[2] = 300;  // layer 18
  s.CadUserColours[3] = 9;    // layer 19
  auto lines = Run("layers", [] {
                 for (int layer : {0, 1, 2, 5, 16, 17, 18, 19, 7}) {
                   CadSetLayer(layer);
                   CadLine(0, layer, 10, layer + 1);
                 }
                 CadSetLayerMode(1);
                 CadSetLayer(15);  // index 16 outside the map
                 CadLine(0, 0, 1, 1);
               }).OfType(110);
  ASSERT_EQ(lines.size(), 10u);
  // (font, level) per line: layer 0 takes colour 7 -> 0; 1 -> map(2) = 5
  // dash-dot font 4; 2 -> map(3) = 3 dashed font 2; 5 -> map(15) = 1;
  // colours -1, 16 and 300 -> 0; 9 -> 10; layer 7 -> index 8 -> 8.
  const std::pair<int, int> want[] = {{1, 0}, {4, 5}, {2, 3}, {1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 8}, {1, 0}};
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(IntField(lines[k].d1, 4), want[k].first) << k;
    EXPECT_EQ(IntField(lines[k].d1, 5), want[k].second) << k;
    EXPECT_EQ(IntField(lines[k].d2, 3), want[k].second) << k;
  }
}

TEST_F(IgesTest, SolidOutlineRunsOneTwoFourThree) {
  auto solids = Run("solids", [] {
                  CadSolid(0, 0, 10, 0, 0, 10, 10, 10);  // screen order 1, 2, 4, 3 is a square
                  CadArrowStd(50, 50, 30);
                  CadSolid(20, 20, 30, 20, 25, 30, 25, 30);  // a triangle repeats corner 3
                }).OfType(106);
  ASSERT_EQ(solids.size(), 3u);
  EXPECT_EQ(NoBlanks(solids[0].params), "106,1,5,0.0,0.000,0.000,10.000,0.000,10.000,10.000,0.000,10.000,0.000,0.000;");
  EXPECT_EQ(solids[0].pLines, 6);  // each corner in a record of its own
  EXPECT_EQ(Field(solids[0].d2, 5), "      11");
  EXPECT_EQ(NoBlanks(solids[2].params),
            "106,1,5,0.0,20.000,20.000,30.000,20.000,25.000,30.000,25.000,30.000,20.000,20.000;");
}

TEST_F(IgesTest, EntitiesThatCollapseAtThreeDecimalsAreNotWritten) {
  IgesFile f = Run("collapse", [] {
    CadLine(1, 1, 1.0004L, 1.0001L);
    CadCircle(5, 5, 0.0004L);
    CadArc(5, 5, 0, 90, 0.0004L);
    CadArc(5, 5, 10, 10.00001L, 2);  // ends meet at 3 decimals
    CadSolid(3, 3, 3.0001L, 3, 3, 3.0002L, 3, 3);
    CadLine(0, 0, 1, 0);  // the survivors
    CadArc(5, 5, 350, 10, 2);
    CadArc(5, 5, 360, 0, 2);
  });
  EXPECT_EQ(f.OfType(110).size(), 1u);
  EXPECT_EQ(f.OfType(106).size(), 0u);
  auto arcs = f.OfType(100);
  ASSERT_EQ(arcs.size(), 2u);
  EXPECT_EQ(Trim(arcs[0].params), "100,0.0,5.000,5.000,6.970,4.653,6.970,5.347;");
  EXPECT_EQ(Trim(arcs[1].params), "100,0.0,5.000,5.000,7.000,5.000,7.000,5.000;");
}

TEST_F(IgesTest, ThreeDLines) {
  auto lines = Run("lines3d", [] {
                 IgesMoveTo3D(0, 0, 0);
                 IgesLineTo3D(10, 10, 10);
                 IgesLineTo3D(10, 10, -5);
                 IgesLineTo3D(10, 10, std::nanl(""));  // dropped
               }).OfType(110);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Trim(lines[0].params), "110,0.000,0.000,0.000,10.000,10.000,10.000;");
  EXPECT_EQ(Trim(lines[1].params), "110,10.000,10.000,10.000,10.000,10.000,-5.000;");
  EXPECT_EQ(G().ErrorMessageList.count, 1);
}

TEST_F(IgesTest, SectionOverTheRecordLimitLeavesNoFile) {
  SetIgesRecordLimit(20);
  ui().ExpectMessageBox("Fehler", "mehr als 20");
  RunToFile(2, dir() + "/overflow", [] {
    for (int k = 0; k < 15; ++k) CadLine(0, k, 1, k);
  });
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(PathExists(dir() + "/overflow.igs"));
}

TEST_F(IgesTest, LargeParameterSectionGoesThroughTheScratchFile) {
  SetIgesScratchThreshold(1u << 20);
  IgesFile f = Run("large", [] {
    for (int k = 0; k < 20000; ++k) CadText("Text " + std::to_string(k), k % 100, k / 100);
  });
  EXPECT_EQ(f.entities.size(), 20000u);
  EXPECT_NE(f.entities.back().params.find("10HText 19999;"), std::string::npos);
  EXPECT_EQ(f.sections['T'][0].substr(0, 32), "S0000002G0000005D0040000P0040000");
  EXPECT_TRUE(std::filesystem::is_empty(tmp()));  // the scratch file is gone
}

TEST(IgesRecords, BreakingRule) {
  using Records = std::vector<std::string>;
  // After the last delimiter that fits; strings fill to the last column.
  EXPECT_EQ(IgesBreakRecords("1,22,333;", 5), (Records{"1,22,", "333;"}));
  EXPECT_EQ(IgesBreakRecords("1,6HA,B,CD,2;", 6), (Records{"1,6HA,", "B,CD,", "2;"}));
  EXPECT_EQ(IgesBreakRecords("12345678;", 4), (Records{"1234", "5678", ";"}));
  // The count of a string never parts from its "H".
  EXPECT_EQ(IgesBreakRecords("1,12HABCDEFGHIJKL;", 4), (Records{"1,", "12HA", "BCDE", "FGHI", "JKL;"}));
  EXPECT_EQ(IgesReal(-0.0004L), "0.000");
  EXPECT_EQ(IgesReal(-0.0006L), "-0.001");
  EXPECT_EQ(IgesReal(1234567.891L), "1234567.891");
  EXPECT_EQ(IgesReal(-2.5L, 6), "-2.500000");
  EXPECT_EQ(IgesHollerith("a,b"), "3Ha,b");
}

}  // namespace
}  // namespace zeb::test
