// The engine's own record buffer takes a record's fields when they are
// read: whatever the order of moves, reads and writes, it shows what a
// buffer filled at every move would show, and Replace writes every field.
#include <gtest/gtest.h>

#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

class RecordBuffer : public AreaTest {
 protected:
  void SetUp() override {
    AreaTest::SetUp();
    path = dir / "r.dbf";
    CreateTable(path, {Fd("NAME", 'C', 10), Fd("NUM", 'N', 5), Fd("VAL", 'N', 12, 3), Fd("DAY", 'D', 8),
                       Fd("OK", 'L', 1), Fd("SMALL", 'N', 6, 2)});
    USE(path + " EXCLUSIVE");
    AppendRow({"M\xFCller", "1", "1.5", "20260131", "T", "1.25"});
    AppendRow({"*", "Zweite", "-22", "-1234.125", "", "F", "-0.5"});
    AppendRow({"Dritte", "333", "0", "19991231", "T", "99.99"});
    CloseArea();
  }
  std::string path;
};

// The whole buffer (flag and every field) of the current area.
std::string WholeBuffer() {
  const std::uint8_t* p = FieldAddress(0);
  return std::string(reinterpret_cast<const char*>(p), CurrentWorkArea()->recordBufferSize);
}

TEST_F(RecordBuffer, MatchesABufferFilledAtEveryMove) {
  // Area 2 holds the caller's own buffer, filled at every move.
  Select(2);
  USE(path + " ALIAS FILLED");
  std::vector<std::uint8_t> own(CurrentWorkArea()->recordBufferSize, 0xAA);
  CloseArea();
  USE(path + " ALIAS FILLED", own.data(), own.size());
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  Select(1);
  USE(path);
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  WorkArea& a = *CurrentWorkArea();
  auto same = [&](int record) {
    Select(2);
    GO(record);
    Select(1);
    return WholeBuffer() == std::string(own.begin(), own.end());
  };

  GO(1);
  EXPECT_EQ(BufferInteger(a, 2), 1);  // one field read, then a move
  GO(2);
  EXPECT_TRUE(Deleted());
  EXPECT_EQ(TzTrimRight(BufferText(a, 1)), "Zweite");
  EXPECT_TRUE(same(2));
  // A field written and not saved is gone after the move, and back.
  SetBufferText(a, 1, "anders");
  SKIP();
  EXPECT_EQ(TzTrimRight(BufferText(a, 1)), "Dritte");
  EXPECT_NEAR(static_cast<double>(BufferNumber(a, 6)), 99.99, 1e-9);
  SKIP(-2);
  EXPECT_FALSE(Deleted());
  EXPECT_TRUE(same(1));
  for (GoTop(); !dEOF(); SKIP()) EXPECT_TRUE(same(RecNo())) << RecNo();
  GoBottom();
  EXPECT_TRUE(BufferLogical(a, 5));
  EXPECT_TRUE(same(3));
}

TEST_F(RecordBuffer, ReplaceAfterOneFieldWritesEveryField) {
  USE(path + " EXCLUSIVE");
  WorkArea& a = *CurrentWorkArea();
  GO(3);
  GO(1);
  SetBufferInteger(a, 2, 77);  // the only field touched
  Replace();
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  GO(3);
  SetBufferLogical(a, 5, false);
  Replace();
  ASSERT_EQ(TzCurrentError(), 0) << Engine().lastErrorText;
  CloseArea();
  // Stored bytes of the three records, by hand.
  const std::string b = ReadBytes(path);
  const std::size_t header = 32 + 6 * 32 + 1, len = 1 + 10 + 5 + 12 + 8 + 1 + 6;
  ASSERT_GE(b.size(), header + 3 * len);
  EXPECT_EQ(b.substr(header, len), std::string(" M\x81ller    ") + "   77" + "       1.500" + "20260131" + "T" +
                                        "  1.25");
  EXPECT_EQ(b.substr(header + len, len), std::string("*Zweite    ") + "  -22" + "   -1234.125" + "        " + "F" +
                                             " -0.50");
  EXPECT_EQ(b.substr(header + 2 * len, len), std::string(" Dritte    ") + "  333" + "       0.000" + "19991231" +
                                                 "F" + " 99.99");
}

}  // namespace
}  // namespace zeb::xbase::test
