// Pack, Peek, Poke and Search.
#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

class PackTest : public AreaTest {};

// The undeleted names dbfread sees, in order.
std::string PeerNames(const ScratchDir& dir, const std::string& path) {
  std::string out;
  RunPython(dir,
            "import dbfread\n"
            "print(','.join(r['NAME'] for r in dbfread.DBF('" + path + "', encoding='cp850')))\n",
            out);
  return out;
}

TEST_F(PackTest, KeepsExactlyTheUndeletedRecordsInOrder) {
  MakeNumbered(dir / "p.dbf", 9, {1, 4, 5, 9});
  const std::string before = PeerNames(dir, dir / "p.dbf");
  ASSERT_EQ(before, "R2,R3,R6,R7,R8\n");
  USE(dir / "p.dbf");
  ASSERT_TRUE(Pack());
  EXPECT_EQ(RecCount(), 5);
  EXPECT_EQ(RecNo(), 1);
  EXPECT_FALSE(CurrentWorkArea()->exclusive);  // shared again
  EXPECT_EQ(TzTrimRight(FieldAsString(1)), "R2");
  CloseArea();
  EXPECT_EQ(PeerNames(dir, dir / "p.dbf"), before);
  std::string bytes = ReadBytes(dir / "p.dbf");
  EXPECT_EQ(bytes.size(), 32u * 2 + 33 + 5 * 16 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 5);
}

TEST_F(PackTest, AllDeletedLeavesTheHeaderAndTheEndMark) {
  MakeNumbered(dir / "a.dbf", 3, {1, 2, 3});
  USE(dir / "a.dbf exclusive");
  ASSERT_TRUE(Pack());
  EXPECT_EQ(RecCount(), 0);
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  CloseArea();
  EXPECT_EQ(ReadBytes(dir / "a.dbf").size(), 32u * 2 + 33 + 1);
}

TEST_F(PackTest, FailedWriteKeepsEveryRecordAndSharesAgain) {
  MakeNumbered(dir / "f.dbf", 8, {2, 3});
  USE(dir / "f.dbf");
  // Every write of the pack fails.
  SetFileFault([](FileStep s, std::size_t&) { return s == FileStep::Write ? EIO : 0; });
  ClearWriteFailure();
  EXPECT_FALSE(Pack());
  SetFileFault(nullptr);
  EXPECT_EQ(TzCurrentError(), 31);
  EXPECT_EQ(TzTakeLastErrorText(), "Fehler beim Packen von " + dir / "f.dbf" + " [Pack]");
  // Not packed, and told so: the refused write is the table's.
  EXPECT_FALSE(Engine().packCommitted);
  EXPECT_EQ(LastWriteFailure().err, EIO);
  EXPECT_EQ(LastWriteFailure().file, dir / "f.dbf");
  EXPECT_FALSE(CurrentWorkArea()->exclusive);
  // Another program can share the file again.
  Select(2);
  USE(dir / "f.dbf alias b");
  EXPECT_EQ(TzCurrentError(), 0);
  CloseArea();
  Select(1);
  CloseArea();
  EXPECT_EQ(PeerNames(dir, dir / "f.dbf"), "R1,R4,R5,R6,R7,R8\n");
}

TEST_F(PackTest, ConfirmationCancelLeavesTheTable) {
  MakeNumbered(dir / "c.dbf", 3, {2});
  auto cb = std::make_shared<HeadlessTzCallback>();
  cb->answers.push_back(2);
  SetTzCallback(cb);
  SetConfirmPack(true);
  USE(dir / "c.dbf");
  EXPECT_FALSE(Pack());
  EXPECT_EQ(RecCount(), 3);
  ASSERT_FALSE(cb->events.empty());
  EXPECT_EQ(cb->events.back().text, "PACK " + dir / "c.dbf");
  EXPECT_FALSE(CurrentWorkArea()->exclusive);
}

TEST_F(PackTest, PeekAndPoke) {
  CreateTable(dir / "k.dbf", {Fd("NAME", 'C', 10), Fd("NUM", 'N', 5)});
  USE(dir / "k.dbf exclusive");
  AppendRow({"ABCDEFGHIJ", "1"});
  AppendRow({"Müller"_ansi, "2"});
  std::string t;
  Poke("AB", 1, 2);
  Peek(1, 2, t);
  EXPECT_EQ(t, "ABller    ");  // only the first two characters
  GO(1);
  Poke("*", 0, 1);
  Peek(0, 1, t);
  EXPECT_EQ(t, "*");
  EXPECT_FALSE(Deleted());  // the buffer is not touched...
  SKIP(0);
  EXPECT_TRUE(Deleted());   // ...until the record is read again
  Peek(1, 3, t);
  EXPECT_EQ(t, "");
  EXPECT_EQ(TzCurrentError(), 0);
  // Through the read cache, kept in step by Poke and Replace.
  SetReadCacheSize(4096);
  Peek(2, 1, t);
  EXPECT_EQ(t, "    1");
  Poke("    7", 2, 1);
  Peek(2, 1, t);
  EXPECT_EQ(t, "    7");
  GO(2);
  SetBufferInteger(*CurrentWorkArea(), 2, 42);
  Replace();
  Peek(2, 2, t);
  EXPECT_EQ(t, "   42");
}

TEST_F(PackTest, SearchFindsCaseIgnoredAndReturnsOnAMiss) {
  CreateTable(dir / "s.dbf", {Fd("NAME", 'C', 10), Fd("CITY", 'C', 10)});
  USE(dir / "s.dbf exclusive");
  AppendRow({"Meier", "Bonn"});
  AppendRow({"Bonner", "Köln"_ansi});
  AppendRow({"Müller"_ansi, "Bonn"});
  GO(1);
  int field = 2;
  Search("bonn", field, true);
  EXPECT_EQ(RecNo(), 1);
  EXPECT_EQ(field, 2);
  field = 1;  // only NAME: passes the CITY hits
  Search("BONN", field, true);
  EXPECT_EQ(RecNo(), 2);
  EXPECT_EQ(field, 1);
  field = 0;
  Search("bonn", field, false);
  EXPECT_EQ(RecNo(), 3);
  field = 0;
  Search("nowhere", field, true);
  EXPECT_EQ(RecNo(), 3);  // back where it started
  EXPECT_EQ(field, 0);
  field = 0;
  Search("MÜLLER"_ansi, field, true);  // stored in code page 850
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(field, 1);
  std::string raw;
  Peek(1, 3, raw);
  EXPECT_EQ(static_cast<unsigned char>(raw[1]), 0x81);  // ü in code page 850
  // A call-back vets the hits.
  GO(1);
  SetSearchCallback([] { SetSearchFound(SearchHitField() == 2 && RecNo() == 3); });
  field = 0;
  Search("bonn", field, true);
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(field, 2);
  SetSearchCallback(nullptr);
}

}  // namespace
}  // namespace zeb::xbase::test
