// The DBF file layer: golden bytes, malformed headers, records, commit,
// share locks and the record buffer conversions.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/files.h"
#include "platform/real48.h"
#include "x1_support.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/core/dates.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {
namespace {

using namespace std::chrono;
using test::EngineTest;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

// Bytes from hex text; blanks and line breaks are ignored.
std::string Hex(std::string_view h) {
  std::string out;
  int hi = -1;
  for (char c : h) {
    int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      out += static_cast<char>(hi * 16 + v);
      hi = -1;
    }
  }
  return out;
}
std::string Zeros(std::size_t n) { return std::string(n, '\0'); }
std::string Le16(unsigned v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A hand-built dBase III table: 32-byte header, 32-byte descriptors.
struct HandField {
  std::string name;  // up to 11 bytes as stored
  char type;
  int length, decimals;
};
std::string Dbase3(const std::vector<HandField>& fields, const std::vector<std::string>& records, int version = 0x03,
                   int countOverride = -1, int recLenOverride = -1, bool eof = true) {
  int reclen = 1;
  for (auto& f : fields) reclen += f.length;
  if (recLenOverride >= 0) reclen = recLenOverride;
  const int hl = 32 + 32 * static_cast<int>(fields.size()) + 1;
  std::string h;
  h += static_cast<char>(version);
  h += Hex("7e 01 1f");
  h += Le32(countOverride >= 0 ? static_cast<std::uint32_t>(countOverride) : static_cast<std::uint32_t>(records.size()));
  h += Le16(hl) + Le16(reclen) + Zeros(20);
  for (auto& f : fields) {
    std::string d = f.name.substr(0, 11);
    d.resize(11, '\0');
    d += f.type;
    d += Zeros(4);
    d += static_cast<char>(f.length);
    d += static_cast<char>(f.decimals);
    d += Zeros(14);
    h += d;
  }
  h += '\x0D';
  for (auto& r : records) h += r;
  if (eof) h += '\x1A';
  return h;
}

class DbfFile : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SetTzErrorSwitch(false);
    SetTzToday(year_month_day{year{2026}, January, day{31}});
    SetDateFormat(5);
    SetCentury(false);
    SetEpoch(1956);
  }
  // Opens path; the code of the open.
  std::uint16_t Open(DbfTable& t, const std::string& path, std::uint16_t mode = kModeExclusive) {
    t.fileName = path;
    OpenDbf(t, mode);
    return TzCurrentError();
  }
  ScratchDir dir;
};

// --- golden bytes

const char* kGoldenHeader8B =
    "8b 7e 01 1f 00000000 c100 2600 0000000000000000 0000000000000000 00000000"
    // NAME C 10
    "4e414d45 00000000000000 43 00000000 0a 00 0000000000000000000000000000"
    // PRICE N 8 2
    "5052494345 000000000000 4e 00000000 08 02 0000000000000000000000000000"
    // DAY D 8
    "444159 0000000000000000 44 00000000 08 00 0000000000000000000000000000"
    // OK L 1
    "4f4b 000000000000000000 4c 00000000 01 00 0000000000000000000000000000"
    // NOTE M 10
    "4e4f5445 00000000000000 4d 00000000 0a 00 0000000000000000000000000000"
    "0d 1a";

std::vector<FieldDesc> GoldenFields(bool memo) {
  std::vector<FieldDesc> f = {{"name", 'c', 10, 0, 0}, {" PRICE ", 'N', 8, 2, 0}, {"Day", 'D', 0, 0, 0}, {"ok", 'L', 5, 3, 0}};
  if (memo) f.push_back({"NOTE", 'M', 0, 0, 0});
  return f;
}

TEST_F(DbfFile, NewTableWithMemoGoldenBytes) {
  DbfTable t;
  CreateDbf(t, dir / "golden", GoldenFields(true));
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(t.fileName, dir / "golden.DBF");
  const std::string bytes = ReadBytes(dir / "golden.DBF");
  EXPECT_EQ(bytes.size(), 194u);
  EXPECT_EQ(bytes, Hex(kGoldenHeader8B));
  const std::string memo = ReadBytes(dir / "golden.DBT");
  EXPECT_EQ(memo, Hex("01000000 00000000 676f6c64656e0000 0000 0201 0002 0000"));
  EXPECT_EQ(t.headerState, kHeaderClosed);
  EXPECT_FALSE(t.IsOpen());
}

TEST_F(DbfFile, NewTableWithoutMemoIsVersion3) {
  DbfTable t;
  CreateDbf(t, dir / "plain.dbf", GoldenFields(false));
  const std::string bytes = ReadBytes(dir / "plain.dbf");
  std::string expected = Hex(kGoldenHeader8B);
  expected[0] = 0x03;
  expected[8] = static_cast<char>(161);
  expected[10] = 28;
  expected.erase(32 + 4 * 32, 32);  // no NOTE descriptor
  EXPECT_EQ(bytes, expected);
  EXPECT_FALSE(PathExists(dir / "plain.dbt"));
}

TEST_F(DbfFile, DbaseSevenHeader) {
  SetNewTableVersion(0x8C);
  DbfTable t;
  CreateDbf(t, dir / "seven.dbf", {{"LONGNAME12", 'C', 12, 0, 0}, {"MEMO", 'M', 0, 0, 0}, {"PIC", 'G', 0, 0, 0}});
  ASSERT_EQ(TzCurrentError(), 0);
  const std::string expected = Hex(
      "8c 7e 01 1f 00000000 d500 2100 0000000000000000 0000000000000000 00000000"
      "4442 57494e 574530 00000000000000000000000000000000000000000000000000000000"
      "4c4f4e474e414d453132 00000000000000000000000000000000000000000000 43 0c 00 00000000000000000000000000"
      "4d454d4f 00000000000000000000000000000000000000000000000000000000 4d 0a 00 00000000000000000000000000"
      "504943 0000000000000000000000000000000000000000000000000000000000 47 0a 00 00000000000000000000000000"
      "0d 1a");
  EXPECT_EQ(ReadBytes(dir / "seven.dbf"), expected);
  EXPECT_EQ(ReadBytes(dir / "seven.dbt").size(), 24u);
  // It reads back: names, the G field as M.
  DbfTable r;
  ASSERT_EQ(Open(r, dir / "seven.dbf"), 0);
  ASSERT_EQ(r.fieldCount, 3);
  EXPECT_EQ(r.fields[0].name, "LONGNAME12");
  EXPECT_EQ(r.fields[2].type, 'M');
  EXPECT_TRUE(r.hasMemo);
  EXPECT_EQ(r.recordLength, 33);
  // Without memo fields: version 0x04.
  CreateDbf(t, dir / "seven4.dbf", {{"A", 'N', 5, 1, 0}});
  EXPECT_EQ(ReadBytes(dir / "seven4.dbf")[0], '\x04');
}

TEST_F(DbfFile, FreshMemoFiles) {
  NewMemoFile(dir / "t3.dbf", 0x83, 512, "T");
  const std::string m3 = ReadBytes(dir / "t3.dbt");
  EXPECT_EQ(m3, "\x01" + Zeros(511) + "\x1A");
  NewMemoFile(dir / "tf.dbf", 0xF5, 512, "T");
  EXPECT_EQ(ReadBytes(dir / "tf.fpt"), Hex("00000001 0000 0200") + Zeros(504));
  NewMemoFile(dir / "tg.dbf", 0xF5, 64, "T");
  EXPECT_EQ(ReadBytes(dir / "tg.fpt"), Hex("00000008 0000 0040") + Zeros(504));
  NewMemoFile(dir / "verylongname.dbf", 0x8B, 1024, "T");
  EXPECT_EQ(ReadBytes(dir / "verylongname.dbt"), Hex("01000000 00000000 766572796c6f6e67 0000 0201 0004 0000"));
  // Tables of the memo versions get their memo file.
  SetNewTableVersion(0xF5);
  DbfTable t;
  CreateDbf(t, dir / "fox.dbf", {{"N", 'F', 6, 2, 0}, {"M", 'M', 0, 0, 0}});
  EXPECT_EQ(ReadBytes(dir / "fox.dbf")[0], '\xF5');
  EXPECT_EQ(ReadBytes(dir / "fox.fpt").size(), 512u);
  SetNewTableVersion(0x83);
  CreateDbf(t, dir / "d3.dbf", {{"N", 'F', 6, 2, 0}, {"M", 'M', 0, 0, 0}});
  const std::string d3 = ReadBytes(dir / "d3.dbf");
  EXPECT_EQ(d3[0], '\x83');
  EXPECT_EQ(d3[32 + 11], 'N');  // F becomes N in dBase III
  EXPECT_EQ(ReadBytes(dir / "d3.dbt").size(), 513u);
  // The memo extension follows the case of the table's.
  EXPECT_EQ(MemoFileName(dir / "UP.DBF", 0x8B), dir / "UP.DBT");
  EXPECT_EQ(MemoFileName(dir / "Mixed.Dbf", 0xF5), dir / "Mixed.FPT");
  test::WriteBytes(dir / "old.Dbt", "");
  EXPECT_EQ(MemoFileName(dir / "old.dbf", 0x83), dir / "old.Dbt");
}

// A FIFO or a device named as a table (or its memo or index) is refused at
// once, never waited on; run in a child that the test ends after 10 s (a
// hang bound; the refusals take milliseconds).
TEST_F(DbfFile, FifosAndDevicesAreNoTables) {
  ASSERT_EQ(::mkfifo((dir / "pipe.dbf").c_str(), 0600), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(10);
    ResetTzEngine();
    SetTzErrorSwitch(false);
    for (const std::string& name : {dir / "pipe.dbf", std::string("/dev/zero")}) {
      // Read-only (access 0) as well: an open for reading alone would wait.
      for (std::uint16_t mode : {kModeExclusive, kModeShared, std::uint16_t{kModeShared & ~0x0F}}) {
        DbfTable t;
        t.fileName = name;
        OpenDbf(t, mode);
        if (TzCurrentError() == 0) _exit(1);
      }
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "killed: the open waited on the FIFO";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(DbfFile, BadDefinitionsCreateNothing) {
  DbfTable t;
  CreateDbf(t, dir / "bad.dbf", {{"A", 'C', 0, 0, 0}});
  EXPECT_EQ(TzCurrentError(), 211);
  EXPECT_EQ(TzTakeLastErrorText(), "Felddefinition ung\xFCltig [CreateDBF]");
  CreateDbf(t, dir / "bad.dbf", {{"  ", 'C', 5, 0, 0}});
  EXPECT_EQ(TzCurrentError(), 211);
  CreateDbf(t, dir / "bad.dbf", {{"B", 'B', 10, 0, 0}});  // B needs 0x8B/0x8C: allowed with the default
  EXPECT_EQ(TzCurrentError(), 0);
  SetNewTableVersion(0x83);
  CreateDbf(t, dir / "bad2.dbf", {{"B", 'B', 10, 0, 0}});
  EXPECT_EQ(TzCurrentError(), 211);
  CreateDbf(t, dir / "bad2.dbf", {});
  EXPECT_EQ(TzCurrentError(), 211);
  EXPECT_FALSE(PathExists(dir / "bad2.dbf"));
}

// --- hand-built files of other programs

TEST_F(DbfFile, DbaseTwoReadsAndWritesItsOwnHeader) {
  std::string h = Hex("02") + Le16(2) + Hex("0c 18 5a") + Le16(1 + 5 + 3 + 8);
  auto slot = [](std::string name, char type, int len, int dec) {
    name.resize(11, '\0');
    return name + type + static_cast<char>(len) + Zeros(2) + static_cast<char>(dec);
  };
  h += slot("NAME", 'C', 5, 0) + slot("NUM", 'N', 3, 0) + slot("DAY", 'D', 8, 0) + "\x0D";
  h.resize(521, '\0');
  h += " Anna  4219991231";
  h += "*Bert   720260131";
  h += '\x1A';
  WriteBytes(dir / "two.dbf", h);
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "two.dbf"), 0);
  EXPECT_EQ(t.headerLength, 521);
  EXPECT_EQ(t.recordCount, 2);
  EXPECT_EQ(t.lastUpdate, "19901224");  // bytes 3..5: month, day, year - 1900
  ASSERT_EQ(t.fieldCount, 3);
  EXPECT_FALSE(t.hasMemo);
  std::vector<std::uint8_t> buf(RecordBufferSize(t));
  GetDbfRecord(t, 2);
  UnpackRecordData(t, buf.data());
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(ReadShortString(&buf[FieldBufferOffset(t, 1)], 5), "Bert ");
  std::int32_t n;
  std::memcpy(&n, &buf[FieldBufferOffset(t, 2)], 4);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(ReadShortString(&buf[FieldBufferOffset(t, 3)], 10), "31.01.26");
  // Append and close: 16-bit count and month, day, year - 1900.
  buf[0] = 0;
  AppendDbfRecord(t);
  EXPECT_EQ(TzCurrentError(), 0);
  CloseDbf(t);
  const std::string after = ReadBytes(dir / "two.dbf");
  EXPECT_EQ(after.substr(0, 8), Hex("02 0300 01 1f 7e") + Le16(17));
  EXPECT_EQ(after.size(), 521u + 3 * 17 + 1);
  EXPECT_EQ(after.back(), '\x1A');
}

TEST_F(DbfFile, DbaseTwoStopsAt65535Records) {
  std::string h = Hex("02") + Le16(65535) + Hex("01 01 50") + Le16(2);
  std::string s = "A";
  s.resize(11, '\0');
  h += s + "C" + "\x01" + Zeros(3) + "\x0D";
  h.resize(521, '\0');
  h += std::string(65535 * 2, 'x');
  WriteBytes(dir / "full.dbf", h);
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "full.dbf"), 0);
  EXPECT_EQ(t.recordCount, 65535);
  t.stored = " y";
  AppendDbfRecord(t);
  EXPECT_EQ(TzCurrentError(), 212);
  EXPECT_EQ(t.recordCount, 65535);
  EXPECT_EQ(ReadBytes(dir / "full.dbf").size(), h.size());
}

TEST_F(DbfFile, DbaseSevenHandBuilt) {
  std::string h = Hex("04 7e 01 1f") + Le32(1) + Le16(68 + 2 * 48 + 1) + Le16(1 + 4 + 1) + Zeros(20);
  h += "DBWINWE0" + Zeros(28);
  std::string d1 = "A_VERY_LONG_FIELD_NAME";
  d1.resize(32, '\0');
  d1 += "N" + std::string("\x04\x00", 2) + Zeros(13);
  std::string d2 = "FLAG";
  d2.resize(32, '\0');
  d2 += "L" + std::string("\x01\x00", 2) + Zeros(13);
  h += d1 + d2 + "\x0D" + "   42T" + "\x1A";
  WriteBytes(dir / "d7.dbf", h);
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "d7.dbf"), 0);
  ASSERT_EQ(t.fieldCount, 2);
  EXPECT_EQ(t.fields[0].name, "A_VERY_LON");
  std::vector<std::uint8_t> buf(RecordBufferSize(t));
  GetDbfRecord(t, 1);
  UnpackRecordData(t, buf.data());
  std::int32_t n;
  std::memcpy(&n, &buf[1], 4);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(buf[5], 1);
}

// --- malformed tables

struct Malformed {
  const char* what;
  std::string bytes;
  std::uint16_t code;
};

std::vector<Malformed> MalformedCases() {
  const std::vector<HandField> two = {{"NAME", 'C', 5, 0}, {"N", 'N', 3, 0}};
  std::vector<Malformed> m;
  for (int n : {0, 1, 31}) m.push_back({"short prolog", Dbase3(two, {}).substr(0, static_cast<std::size_t>(n)), 210});
  std::string v30 = Dbase3(two, {});
  v30[0] = 0x30;
  m.push_back({"version 0x30", v30, 210});
  for (int hl : {0, 31, 33, 65535}) {
    std::string b = Dbase3(two, {"      1"});
    b[8] = static_cast<char>(hl & 0xFF);
    b[9] = static_cast<char>(hl >> 8);
    m.push_back({"header length", b, 210});
  }
  m.push_back({"record length 0", Dbase3(two, {}, 3, -1, 0), 210});
  m.push_back({"record length below the fields", Dbase3(two, {"     1"}, 3, -1, 6), 210});
  std::vector<HandField> many(256, HandField{"F", 'C', 1, 0});
  m.push_back({"256 descriptors", Dbase3(many, {}), 210});
  m.push_back({"type X", Dbase3({{"NAME", 'C', 5, 0}, {"ODD", 'X', 3, 0}}, {}), 211});
  m.push_back({"date not 8 long", Dbase3({{"DAY", 'D', 6, 0}}, {}), 210});
  std::string first = Dbase3(two, {});
  first[32] = 0x0D;
  m.push_back({"terminator first", first, 222});
  std::string cut = Dbase3(two, {});
  m.push_back({"descriptors cut", cut.substr(0, 50), 100});
  std::string d2 = Hex("02 0000 01 01 50 0200");
  m.push_back({"dBase II under 521 bytes", d2 + std::string(400, '\0'), 210});
  std::string full = d2;
  for (int i = 0; i < 32; ++i) full += "ABCDEFGHIJK" + std::string("C\x01\0\0\0", 5);
  full.resize(521, '\0');
  m.push_back({"dBase II with 32 full slots", full, 210});
  std::string d2first = d2 + "\x0D";
  d2first.resize(521, '\0');
  m.push_back({"dBase II terminator first", d2first, 222});
  return m;
}

TEST_F(DbfFile, MalformedTablesEndInADefinedCode) {
  for (const auto& c : MalformedCases()) {
    WriteBytes(dir / "bad.dbf", c.bytes);
    DbfTable t;
    EXPECT_EQ(Open(t, dir / "bad.dbf"), c.code) << c.what;
    EXPECT_FALSE(t.IsOpen()) << c.what;
    EXPECT_TRUE(t.fields.empty()) << c.what;
    EXPECT_EQ(t.headerState, kHeaderClosed) << c.what;
  }
  WriteBytes(dir / "bad.dbf", MalformedCases()[0].bytes);
  DbfTable t;
  Open(t, dir / "bad.dbf");
  EXPECT_EQ(TzTakeLastErrorText(),
            dir / "bad.dbf" + " ist keine dBASE-Datenbank. (Prolog ist kleiner als 32 Bytes) [USE/OpenDBF]");
  WriteBytes(dir / "bad.dbf", Dbase3({{"NAME", 'C', 5, 0}}, {}, 3, -1, 3));
  Open(t, dir / "bad.dbf");
  EXPECT_EQ(TzTakeLastErrorText(), dir / "bad.dbf" + " ist keine dBASE-Datenbank. (Datensatzl\xE4nge ung\xFCltig) [Use/OpenDbf]");
  WriteBytes(dir / "bad.dbf", Dbase3({{"ODD", 'X', 3, 0}}, {}));
  Open(t, dir / "bad.dbf");
  EXPECT_EQ(TzTakeLastErrorText(), "Field: ODD [X] in " + (dir / "bad.dbf") + " ist kein g\xFCltiger Feldtyp");
  std::string hl33 = Dbase3({{"NAME", 'C', 5, 0}}, {});
  hl33[8] = 33;
  WriteBytes(dir / "bad.dbf", hl33);
  Open(t, dir / "bad.dbf");
  EXPECT_EQ(TzTakeLastErrorText(), "bad.dbf ist keine dBASE-Datenbank. (Zu viele Datenfelder) [Use/OpenDbf]");
  Open(t, dir / "missing.dbf");
  EXPECT_EQ(TzCurrentError(), 2);
}

TEST_F(DbfFile, LenientCasesOpenWithEveryFieldInside) {
  // No terminator, names without NUL (cut to 10), padding after the fields.
  std::string b = Dbase3({{"ABCDEFGHIJK", 'C', 3, 0}, {"N", 'N', 2, 0}}, {"*abc12 "}, 3, -1, 7);
  b[32 + 64] = 'Z';  // where the terminator was
  WriteBytes(dir / "odd.dbf", b);
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "odd.dbf"), 0);
  EXPECT_EQ(t.fields[0].name, "ABCDEFGHIJ");
  EXPECT_EQ(t.recordLength, 7);
  GetDbfRecord(t, 1);
  EXPECT_EQ(t.stored, "*abc12 ");
}

TEST_F(DbfFile, CutOrOvercountedTablesKeepTheirWholeRecords) {
  const std::vector<HandField> f = {{"NAME", 'C', 5, 0}};
  std::vector<std::string> recs = {" rec1 ", " rec2 ", " rec3 ", " rec4 ", " rec5 "};
  std::string b = Dbase3(f, recs);
  const std::size_t hl = 32 + 32 + 1;
  WriteBytes(dir / "cut.dbf", b.substr(0, hl + 3 * 6 + 2));  // cut inside record 4
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "cut.dbf"), 0);
  EXPECT_EQ(t.recordCount, 3);
  for (int r = 1; r <= 3; ++r) {
    GetDbfRecord(t, r);
    EXPECT_EQ(t.stored, recs[static_cast<std::size_t>(r - 1)]);
  }
  GetDbfRecord(t, 4);
  EXPECT_EQ(TzCurrentError(), 212);
  EXPECT_EQ(t.recordNumber, 3);
  CloseDbf(t);
  WriteBytes(dir / "huge.dbf", Dbase3(f, recs, 3, 1000000000));
  ASSERT_EQ(Open(t, dir / "huge.dbf"), 0);
  EXPECT_EQ(t.recordCount, 5);
  CloseDbf(t);
  std::string neg = Dbase3(f, recs);
  neg.replace(4, 4, Le32(0xFFFFFFF9u));
  WriteBytes(dir / "neg.dbf", neg);
  ASSERT_EQ(Open(t, dir / "neg.dbf"), 0);
  EXPECT_EQ(t.recordCount, 0);
  EXPECT_TRUE(t.eof && t.bof);
  EXPECT_EQ(t.recordNumber, 0);
  GetDbfRecord(t, 1);
  EXPECT_EQ(TzCurrentError(), 212);
  CloseDbf(t);
  SetRecordCountRepair(true);
  ASSERT_EQ(Open(t, dir / "neg.dbf"), 0);
  EXPECT_EQ(t.recordCount, 5);
}

// --- records and the header

TEST_F(DbfFile, AppendPastTheEndCommitsOnlyOnCommit) {
  std::vector<std::string> recs;
  for (int i = 1; i <= 10; ++i) recs.push_back(" r" + std::to_string(i % 10) + "  ");
  WriteBytes(dir / "ten.dbf", Dbase3({{"NAME", 'C', 4, 0}}, recs));
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "ten.dbf"), 0);
  t.stored = " new ";
  PutDbfRecord(t, 1000);
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(t.recordCount, 11);
  EXPECT_EQ(t.recordNumber, 11);
  std::string bytes = ReadBytes(dir / "ten.dbf");
  EXPECT_EQ(bytes.substr(4, 4), Le32(10));
  EXPECT_EQ(bytes.substr(1, 3), Hex("7e 01 1f"));
  SetTzToday(year_month_day{year{2027}, March, day{4}});
  CommitDbf(t);
  ASSERT_EQ(TzCurrentError(), 0);
  bytes = ReadBytes(dir / "ten.dbf");
  EXPECT_EQ(bytes.substr(4, 4), Le32(11));
  EXPECT_EQ(bytes.substr(1, 3), Hex("7f 03 04"));
  EXPECT_EQ(bytes.size(), 65u + 11 * 5 + 1);
  EXPECT_EQ(bytes.substr(65 + 50), " new \x1A");
  EXPECT_EQ(t.headerState, kHeaderOnDisk);
  EXPECT_EQ(t.lastUpdate, "20270304");
}

TEST_F(DbfFile, ReplaceRewritesHeaderDateOnClose) {
  WriteBytes(dir / "r.dbf", Dbase3({{"NAME", 'C', 4, 0}}, {" abcd", " efgh"}));
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "r.dbf"), 0);
  GetDbfRecord(t, 2);
  t.stored = " EFGH";
  PutDbfRecord(t, 2);
  EXPECT_EQ(t.headerState, kHeaderReplaced);
  WriteDeletedFlag(t, 3);
  EXPECT_EQ(TzCurrentError(), 212);
  t.stored[0] = '*';
  SetTzCurrentError(0);
  WriteDeletedFlag(t, 1);
  EXPECT_EQ(TzCurrentError(), 0);
  CloseDbf(t);
  EXPECT_EQ(ReadBytes(dir / "r.dbf").substr(65), "*abcd EFGH\x1A");
  EXPECT_FALSE(t.IsOpen());
}

// A record written back unchanged, on another day, leaves every byte of the
// file as it was, the header's date too.
TEST_F(DbfFile, UnchangedRecordWrittenBackTouchesNothing) {
  WriteBytes(dir / "u.dbf", Dbase3({{"NAME", 'C', 4, 0}}, {" abcd", " efgh"}));
  const std::string before = ReadBytes(dir / "u.dbf");
  SetTzToday(year_month_day{year{2030}, May, day{5}});
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "u.dbf"), 0);
  GetDbfRecord(t, 2);
  PutDbfRecord(t, 2);
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(t.headerState, kHeaderOnDisk);
  CloseDbf(t);
  EXPECT_EQ(ReadBytes(dir / "u.dbf"), before);
}

TEST_F(DbfFile, ForwardScanOfAnExclusiveTableReadsAhead) {
  std::vector<std::string> recs;
  for (int i = 0; i < 5000; ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, " %06d", i + 1);
    recs.push_back(buf);
  }
  WriteBytes(dir / "scan.dbf", Dbase3({{"N", 'N', 6, 0}}, recs));
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "scan.dbf"), 0);
  for (int r = 1; r <= 5000; ++r) {
    GetDbfRecord(t, r);
    ASSERT_EQ(t.stored, recs[static_cast<std::size_t>(r - 1)]);
    if (r == 2500) {
      t.stored = " 999999";
      PutDbfRecord(t, 2501);
      recs[2500] = " 999999";
    }
  }
  GetDbfRecord(t, 2501);
  EXPECT_EQ(t.stored, " 999999");
}

TEST_F(DbfFile, FlushSwitchCommitsEachAppend) {
  WriteBytes(dir / "f.dbf", Dbase3({{"NAME", 'C', 2, 0}}, {}));
  SetFlushSwitch(true);
  DbfTable t;
  ASSERT_EQ(Open(t, dir / "f.dbf"), 0);
  t.stored = " ab";
  AppendDbfRecord(t);
  const std::string bytes = ReadBytes(dir / "f.dbf");
  EXPECT_EQ(bytes.substr(4, 4), Le32(1));
  EXPECT_EQ(bytes.substr(65), " ab\x1A");
}

TEST_F(DbfFile, AppendBeyondTheFileSizeLimitChangesNothing) {
  WriteBytes(dir / "lim.dbf", Dbase3({{"NAME", 'C', 20, 0}}, {" " + std::string(20, 'a')}));
  const std::string before = ReadBytes(dir / "lim.dbf");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit rl{static_cast<rlim_t>(before.size() + 5), static_cast<rlim_t>(before.size() + 5)};
    setrlimit(RLIMIT_FSIZE, &rl);
    ResetTzEngine();
    SetTzErrorSwitch(false);
    DbfTable t;
    t.fileName = dir / "lim.dbf";
    OpenDbf(t, kModeExclusive);
    if (TzCurrentError() != 0) _exit(10);
    t.stored = " " + std::string(20, 'b');
    AppendDbfRecord(t);
    int code = TzCurrentError();
    int ok = code == 101 && t.recordCount == 1 && t.recordNumber == 1 && t.headerState == kHeaderOnDisk;
    CloseDbf(t);
    _exit(ok ? 0 : 20);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(dir / "lim.dbf"), before);
}

// --- share locks and the header under the append byte

TEST_F(DbfFile, ExclusiveAndSharedOpensExcludeEachOther) {
  WriteBytes(dir / "s.dbf", Dbase3({{"NAME", 'C', 2, 0}}, {" ab"}));
  DbfTable a, b, c;
  ASSERT_EQ(Open(a, dir / "s.dbf", kModeExclusive), 0);
  EXPECT_EQ(Open(b, dir / "s.dbf", kModeShared), 32);
  EXPECT_FALSE(b.IsOpen());
  CloseDbf(a);
  ASSERT_EQ(Open(a, dir / "s.dbf", kModeShared), 0);
  ASSERT_EQ(Open(b, dir / "s.dbf", kModeShared), 0);
  EXPECT_EQ(Open(c, dir / "s.dbf", kModeExclusive), 32);
  EXPECT_EQ(DbfSetShareMode(a, true), 32);
  // The area's own range locks survive the conversion.
  ASSERT_EQ(SysLockRange(a.file.get(), F_WRLCK, Engine().lockBase + 7, 3), 0);
  CloseDbf(b);
  EXPECT_EQ(DbfSetShareMode(a, true), 0);
  EXPECT_TRUE(IsExclusiveMode(a.fileMode));
  int fd = ::open((dir / "s.dbf").c_str(), O_RDWR);
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = Engine().lockBase + 8;
  fl.l_len = 1;
  ASSERT_EQ(fcntl(fd, F_OFD_GETLK, &fl), 0);
  EXPECT_EQ(fl.l_type, F_WRLCK);
  EXPECT_EQ(fl.l_start, Engine().lockBase + 7);
  EXPECT_EQ(fl.l_len, 3);
  ::close(fd);
  EXPECT_EQ(DbfSetShareMode(a, false), 0);
  EXPECT_EQ(Open(b, dir / "s.dbf", kModeShared), 0);
  // Shared mode off: no system lock call at all.
  CloseDbf(a);
  CloseDbf(b);
  int calls = 0;
  SetTzSysLock([&calls](int, short, std::int64_t, std::int64_t) { ++calls; return 0; });
  SetSharedMode(false);
  ASSERT_EQ(Open(a, dir / "s.dbf", kModeExclusive), 0);
  CloseDbf(a);
  EXPECT_EQ(calls, 0);
}

TEST_F(DbfFile, HeaderWriteNeverOverwritesAnotherProgramsRecord) {
  WriteBytes(dir / "h.dbf", Dbase3({{"NAME", 'C', 2, 0}}, {" aa"}));
  DbfTable a, b;
  ASSERT_EQ(Open(a, dir / "h.dbf", kModeShared), 0);
  ASSERT_EQ(Open(b, dir / "h.dbf", kModeShared), 0);
  a.stored = " bb";
  AppendDbfRecord(a);  // record 2, header not yet written
  b.recordCount = DbfRecordsInFile(b);
  b.stored = " cc";
  AppendDbfRecord(b);  // record 3
  ASSERT_EQ(b.recordNumber, 3);
  CloseDbf(a);  // counts from the file: 3, end mark after record 3
  std::string bytes = ReadBytes(dir / "h.dbf");
  EXPECT_EQ(bytes.substr(4, 4), Le32(3));
  EXPECT_EQ(bytes.substr(65), " aa bb cc\x1A");
  CloseDbf(b);
  EXPECT_EQ(ReadBytes(dir / "h.dbf"), bytes);
}

TEST_F(DbfFile, HeaderLeftToTheHolderOfTheAppendByte) {
  WriteBytes(dir / "h.dbf", Dbase3({{"NAME", 'C', 2, 0}}, {" aa"}));
  Engine().headerLockWaitMs = 30;
  DbfTable a;
  ASSERT_EQ(Open(a, dir / "h.dbf", kModeShared), 0);
  int other = ::open((dir / "h.dbf").c_str(), O_RDWR);
  ASSERT_EQ(SysLockRange(other, F_WRLCK, Engine().lockBase + 1, 1), 0);
  GetDbfRecord(a, 1);
  a.stored = " zz";
  PutDbfRecord(a, 1);
  SetTzToday(year_month_day{year{2030}, May, day{5}});
  CloseDbf(a);
  EXPECT_EQ(TzCurrentError(), 0);
  const std::string bytes = ReadBytes(dir / "h.dbf");
  EXPECT_EQ(bytes.substr(1, 3), Hex("7e 01 1f"));  // the holder writes the header
  EXPECT_EQ(bytes.substr(65), " zz\x1A");
  ::close(other);
}

TEST_F(DbfFile, MissingFileFoundIgnoringCase) {
  WriteBytes(dir / "kunden.dbf", Dbase3({{"NAME", 'C', 2, 0}}, {}));
  DbfTable t;
  EXPECT_EQ(Open(t, dir / "kunden"), 0);
  EXPECT_EQ(t.fileName, dir / "kunden.dbf");
  EXPECT_EQ(t.shortName, "kunden.dbf");
  CloseDbf(t);
  EXPECT_EQ(Open(t, dir / "KUNDEN.Dbf"), 0);
  EXPECT_EQ(t.fileName, dir / "kunden.dbf");
}

// --- record buffer

class RecordBuffer : public DbfFile {
 protected:
  void Load(const std::vector<HandField>& f, const std::string& record) {
    WriteBytes(dir / "b.dbf", Dbase3(f, {record}));
    ASSERT_EQ(Open(t, dir / "b.dbf"), 0);
    GetDbfRecord(t, 1);
    buf.assign(RecordBufferSize(t), 0xEE);
    UnpackRecordData(t, buf.data());
  }
  template <class T>
  T At(int field) {
    T v;
    std::memcpy(&v, &buf[FieldBufferOffset(t, field)], sizeof v);
    return v;
  }
  template <class T>
  void Set(int field, T v) {
    std::memcpy(&buf[FieldBufferOffset(t, field)], &v, sizeof v);
  }
  DbfTable t;
  std::vector<std::uint8_t> buf;
};

TEST_F(RecordBuffer, LayoutSizes) {
  Load({{"C", 'C', 5, 0}, {"D", 'D', 8, 0}, {"N4", 'N', 9, 0}, {"R6", 'N', 8, 2}, {"I8", 'N', 12, 0}, {"F8", 'F', 14, 3},
        {"L", 'L', 1, 0}, {"M", 'M', 10, 0}},
       " abcde20260131        1    1.50           1         2.500T         7");
  EXPECT_EQ(RecordBufferSize(t), 1u + 6 + 11 + 4 + 6 + 8 + 8 + 1 + 4);
  EXPECT_EQ(ReadShortString(&buf[1], 5), "abcde");
  EXPECT_EQ(ReadShortString(&buf[7], 10), "31.01.26");
  EXPECT_EQ(At<std::int32_t>(3), 1);
  EXPECT_EQ(At<std::int64_t>(5), 1);
  EXPECT_DOUBLE_EQ(At<double>(6), 2.5);
  EXPECT_EQ(buf[FieldBufferOffset(t, 7)], 1);
  EXPECT_EQ(At<std::int32_t>(8), 7);
}

TEST_F(RecordBuffer, WideNumbersSurviveAReplaceOfAnotherField) {
  const std::string rec = " Anna  9999999999-99999999999999999  123456789";
  Load({{"NAME", 'C', 4, 0}, {"BIG", 'N', 12, 0}, {"HUGE", 'N', 18, 0}, {"NINE", 'N', 9, 0}}, rec);
  EXPECT_EQ(At<std::int64_t>(2), 9999999999LL);
  EXPECT_EQ(At<std::int64_t>(3), -99999999999999999LL);
  WriteShortString(&buf[1], 4, "Bert");
  PackRecordData(t, buf.data());
  PutDbfRecord(t, 1);
  CloseDbf(t);
  EXPECT_EQ(ReadBytes(dir / "b.dbf").substr(32 * 5 + 1, rec.size()), " Bert" + rec.substr(5));
}

TEST_F(RecordBuffer, NumbersLogicalsMemosAndDates) {
  Load({{"N4", 'N', 4, 0}, {"P", 'N', 8, 2}, {"L", 'L', 1, 0}, {"M", 'M', 10, 0}, {"D", 'D', 8, 0}, {"W", 'F', 12, 4}},
       " ****    1.50y         0        ********0000");
  EXPECT_EQ(At<std::int32_t>(1), 0);  // "****" reads as 0
  EXPECT_EQ(buf[FieldBufferOffset(t, 3)], 1);  // "y" is true
  EXPECT_EQ(At<std::int32_t>(4), 0);
  EXPECT_EQ(ReadShortString(&buf[FieldBufferOffset(t, 5)], 10), "  .  .  ");
  Engine().decimalChar = ',';  // a German start: stored numbers keep "."
  Set<std::int32_t>(1, 12345);
  zeb::Real48 r;
  ASSERT_TRUE(RealToReal48(1.5L, r));
  std::memcpy(&buf[FieldBufferOffset(t, 2)], r.data(), 6);
  Set<std::int32_t>(4, 0);
  WriteShortString(&buf[FieldBufferOffset(t, 5)], 10, "31.02.26");  // no such day
  Set<double>(6, 1234567.0);
  PackRecordData(t, buf.data());
  EXPECT_EQ(t.stored, " ****    1.50T                  1234567.0000");
  Set<std::int32_t>(4, 5);
  WriteShortString(&buf[FieldBufferOffset(t, 5)], 10, "29.2.24");
  Set<double>(6, -0.00001);
  PackRecordData(t, buf.data());
  EXPECT_EQ(t.stored.substr(14), "         520240229      0.0000");
  Set<double>(6, 1e300);
  PackRecordData(t, buf.data());
  EXPECT_EQ(t.stored.substr(32), "************");
}

TEST_F(RecordBuffer, TextsOfOemTablesAreConvertedBothWays) {
  WriteBytes(dir / "o.dbf", Dbase3({{"NAME", 'C', 6, 0}}, {" M\x81ller"}));
  t.oemText = true;
  ASSERT_EQ(Open(t, dir / "o.dbf"), 0);
  GetDbfRecord(t, 1);
  EXPECT_EQ(t.stored, " M\xFCller");
  t.stored = " \xC4rger";  // Ärger in 1252
  t.stored.resize(7, ' ');
  PutDbfRecord(t, 1);
  EXPECT_EQ(t.stored, " \xC4rger ");
  CloseDbf(t);
  EXPECT_EQ(ReadBytes(dir / "o.dbf").substr(33 + 32, 7), " \x8Erger ");
  // The user procedures run around the conversion.
  std::vector<std::string> seen;
  char rec[] = " \x8E" "b*\x99" "c";
  RecordCodePage(CodePageDirection::AfterRead, true, [&](char* p, std::size_t n) { seen.emplace_back(p, n); }, 6, 3, rec);
  EXPECT_EQ(seen, (std::vector<std::string>{"\x8E" "b", "\x99" "c"}));
  EXPECT_EQ(std::string(rec, 6), " \xC4" "b*\xD6" "c");
}

}  // namespace
}  // namespace zeb::xbase
