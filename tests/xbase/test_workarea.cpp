// Opening tables in work areas, aliases, the record buffer, field access
// and the stored forms of numbers after Replace.
#include <cstring>

#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

class WorkAreaTest : public AreaTest {};

TEST_F(WorkAreaTest, UseKeepsPathCaseAndTakesOptionsInAnyCase) {
  std::filesystem::create_directories(dir / "data");
  MakeNumbered(dir / "data/Kunden.dbf", 3);
  USE(dir / "data/Kunden.dbf exclusive alias k1");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(AliasOf(), "K1");
  EXPECT_EQ(AreaName(), dir / "data/Kunden.dbf");
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  EXPECT_EQ(RecCount(), 3);
  EXPECT_EQ(RecNo(), 1);
  // Without an alias: the base name, upper case; shared by default.
  Select(2);
  USE(dir / "data/Kunden.dbf");
  EXPECT_EQ(TzCurrentError(), 32);  // held exclusively by area 1
  Select(1);
  CloseArea();
  Select(2);
  USE(dir / "data/Kunden.dbf");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(AliasOf(), "KUNDEN");
  EXPECT_FALSE(CurrentWorkArea()->exclusive);
}

TEST_F(WorkAreaTest, MissingNameFindsTheFileIgnoringCase) {
  MakeNumbered(dir / "kunden.dbf", 2);
  USE(dir / "kunden");
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(AreaName(), dir / "kunden.dbf");
  USE(dir / "KUNDEN.DBF");  // closes and opens again
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(AreaName(), dir / "kunden.dbf");
  USE("");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  USE(dir / "nothere");
  EXPECT_EQ(TzCurrentError(), 2);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
}

TEST_F(WorkAreaTest, AliasClashAmongCallerAreasOnly) {
  MakeNumbered(dir / "a.dbf", 1);
  MakeNumbered(dir / "b.dbf", 1);
  MakeNumbered(dir / "c.dbf", 1);
  Select(33);
  USE(dir / "a.dbf alias same");
  ASSERT_EQ(TzCurrentError(), 0);
  Select(2);
  USE(dir / "b.dbf ALIAS Same");
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_EQ(TzTakeLastErrorText(), "Alias-Name \"SAME\" bereits benutzt. [USE]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  // Areas 34 and 35 do not count.
  SelectArea(34);
  USE(dir / "c.dbf alias other");
  ASSERT_EQ(TzCurrentError(), 0);
  Select(3);
  USE(dir / "b.dbf alias other");
  EXPECT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(AliasOf(), "OTHER");
}

TEST_F(WorkAreaTest, CallerBufferMustMatchTheComputedSize) {
  CreateTable(dir / "t.dbf", {Fd("NAME", 'C', 10), Fd("D", 'D', 8), Fd("N", 'N', 8, 2), Fd("I", 'N', 5),
                              Fd("W", 'N', 12), Fd("L", 'L', 1), Fd("M", 'M', 10)});
  // flag 1 + C 11 + D 11 + N(8,2) 6 + N(5) 4 + N(12) 8 + L 1 + M 4
  const std::size_t size = 1 + 11 + 11 + 6 + 4 + 8 + 1 + 4;
  std::vector<std::uint8_t> buf(size);
  USE(dir / "t.dbf", buf.data(), size - 1);
  EXPECT_EQ(TzCurrentError(), 266);
  EXPECT_NE(TzTakeLastErrorText().find("Record Size=46, Buffer Size=45"), std::string::npos);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  USE(dir / "t.dbf", buf.data(), 0);
  EXPECT_EQ(TzCurrentError(), 220);
  USE(dir / "t.dbf", buf.data(), size);
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(FieldAddress(0), buf.data());
  EXPECT_EQ(FieldAddress(2), buf.data() + 12);
  EXPECT_EQ(FieldAddress(7), buf.data() + size - 4);
  EXPECT_EQ(FieldAddress(8), nullptr);
  EXPECT_EQ(TzCurrentError(), 220);
  // An empty table stands on the phantom record.
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(FieldNo("name"), 1);
  EXPECT_EQ(FieldNo("nothing"), 0);
  EXPECT_EQ(FieldLen(2), 8);
  SetCentury(true);
  EXPECT_EQ(FieldLen(2), 10);
  EXPECT_EQ(FieldType(7), 'M');
  EXPECT_EQ(FieldType(0), '\0');
  EXPECT_EQ(TzCurrentError(), 220);
}

TEST_F(WorkAreaTest, RaiseModeThrowsAndLeavesTheAreaEmpty) {
  MakeNumbered(dir / "r.dbf", 2);
  SetTzErrorSwitch(true);
  SetTzRaiseMode(true);
  EXPECT_THROW(USE(dir / "none.dbf"), ETzError);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  USE(dir / "r.dbf exclusive");
  EXPECT_THROW(GO(7), ETzError);
  EXPECT_TRUE(dEOF());
  EXPECT_THROW(SKIP(1), ETzError);
  GoTop();
  EXPECT_EQ(RecNo(), 1);
  EXPECT_TRUE(exitCodes.empty());
}

TEST_F(WorkAreaTest, SelectRefusesEngineAreas) {
  Select(5);
  Select(34);
  EXPECT_EQ(TzCurrentError(), 220);
  EXPECT_EQ(CurrentArea(), 5);
  Select(0);
  EXPECT_EQ(CurrentArea(), 1);
  RecNo();
  EXPECT_EQ(TzCurrentError(), 215);
}

TEST_F(WorkAreaTest, NumbersKeepTheirStoredForm) {
  SetDateFormat(5);
  Engine().decimalChar = ',';
  CreateTable(dir / "n.dbf", {Fd("N4", 'N', 4), Fd("N12", 'N', 12), Fd("N18", 'N', 18), Fd("N82", 'N', 8, 2),
                              Fd("L", 'L', 1), Fd("C", 'C', 5)});
  USE(dir / "n.dbf exclusive");
  AppendRow({"12345", "9999999999", "-99999999999999999", "1.5", "T", "a"});
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(StoredField(1), "****");
  EXPECT_EQ(StoredField(2), "  9999999999");
  EXPECT_EQ(StoredField(3), "-99999999999999999");
  EXPECT_EQ(StoredField(4), "    1.50");
  EXPECT_EQ(FieldAsString(4), "    1,50");
  EXPECT_EQ(FieldAsString(5), "Y");
  // Replace of another field rewrites the wide numbers byte for byte.
  SetBufferText(*CurrentWorkArea(), 6, "b");
  Replace();
  ASSERT_EQ(TzCurrentError(), 0);
  GO(1);
  EXPECT_EQ(StoredField(2), "  9999999999");
  EXPECT_EQ(StoredField(3), "-99999999999999999");
  EXPECT_EQ(StoredField(6), "b    ");
  // A stored "y" reads as true and keeps its byte while its value stays;
  // a value set is written as "T" or "F".
  Poke("y", 5, 1);
  GO(1);
  EXPECT_TRUE(BufferLogical(*CurrentWorkArea(), 5));
  Replace();
  GO(1);
  EXPECT_EQ(StoredField(5), "y");
  SetBufferLogical(*CurrentWorkArea(), 5, false);
  Replace();
  GO(1);
  EXPECT_EQ(StoredField(5), "F");
}

TEST_F(WorkAreaTest, DeleteAndRecallMarkTheStoredFlag) {
  MakeNumbered(dir / "d.dbf", 3);
  USE(dir / "d.dbf exclusive");
  GO(2);
  DeleteRec();
  EXPECT_TRUE(Deleted());
  std::string flag;
  Peek(0, 2, flag);
  EXPECT_EQ(flag, "*");
  RecallRec();
  Peek(0, 2, flag);
  EXPECT_EQ(flag, " ");
  GO(3);
  SKIP(1);
  RecallRec();
  EXPECT_EQ(TzCurrentError(), 1103);
  CloseArea();
  std::string bytes = ReadBytes(dir / "d.dbf");
  EXPECT_EQ(bytes.back(), '\x1A');
}

}  // namespace
}  // namespace zeb::xbase::test
