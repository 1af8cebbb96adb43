// Tables of other programs read by the file layer, and tables it writes
// read by other programs (python3-dbf, dbfread, GDAL).
#include <cstring>
#include <sstream>

#include "platform/real48.h"
#include "x1_support.h"
#include "xbase/support_shown.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/core/dates.h"
#include "xbase/core/text_utils.h"

namespace zeb::xbase {
namespace {

using namespace std::chrono;
using test::EngineTest;
using test::ReadBytes;
using test::RunCommand;
using test::RunPython;
using test::ScratchDir;

bool HavePython() {
  std::string out;
  return RunCommand("/usr/bin/python3 -c 'import dbf, dbfread' 2>&1", out) == 0;
}
bool HaveOgr() {
  std::string out;
  return RunCommand("ogrinfo --version 2>&1", out) == 0;
}

class Peers : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    SetTzErrorSwitch(false);
    SetDateFormat(5);
    SetCentury(false);
    SetEpoch(1956);
  }
  // Opens an OEM table and returns every record as text lines:
  // flag|field|field|...
  std::vector<std::string> ReadAll(const std::string& path, DbfTable& t) {
    std::vector<std::string> lines;
    t.fileName = path;
    t.oemText = true;
    OpenDbf(t, kModeShared);
    EXPECT_EQ(TzCurrentError(), 0) << TzTakeLastErrorText();
    std::vector<std::uint8_t> buf(RecordBufferSize(t));
    for (int r = 1; r <= t.recordCount; ++r) {
      GetDbfRecord(t, r);
      UnpackRecordData(t, buf.data());
      std::string line = buf[0] ? "*" : " ";
      for (int i = 1; i <= t.fieldCount; ++i) {
        const FieldDesc& f = t.fields[static_cast<std::size_t>(i - 1)];
        const std::uint8_t* p = &buf[FieldBufferOffset(t, i)];
        line += "|";
        switch (FieldBufferKind(f)) {
          case BufferKind::Text: line += TzTrimRight(ReadShortString(p, f.length)); break;
          case BufferKind::Date: line += ReadShortString(p, 10); break;
          case BufferKind::Int32:
          case BufferKind::MemoRef: {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            line += std::to_string(v);
            break;
          }
          case BufferKind::Int64: {
            std::int64_t v;
            std::memcpy(&v, p, 8);
            line += std::to_string(v);
            break;
          }
          case BufferKind::Real48: {
            zeb::Real48 r;
            std::memcpy(r.data(), p, 6);
            line += RealToText(Real48ToReal(r), 1, f.decimals);
            break;
          }
          case BufferKind::Double: {
            double v;
            std::memcpy(&v, p, 8);
            line += RealToText(v, 1, f.decimals);
            break;
          }
          case BufferKind::Logical: line += p[0] ? "T" : "F"; break;
          case BufferKind::None: break;
        }
      }
      lines.push_back(line);
    }
    return lines;
  }
  ScratchDir dir;
};

TEST_F(Peers, TablesWrittenByPythonDbf) {
  if (!HavePython()) GTEST_SKIP() << "/usr/bin/python3 with dbf and dbfread is missing";
  std::string out;
  const std::string prog = "import dbf, datetime\nfolder = '" + dir.path() + R"('
t = dbf.Table(folder + '/p3.dbf', 'name C(10); price N(8,2); big N(12,0); day D; ok L', dbf_type='db3', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('Müller', 1.5, 9999999999, datetime.date(2026, 1, 31), True))
t.append(('Ärger', -2.25, 0, None, None))
t.append(('x', 0, 3, datetime.date(1999, 12, 31), False))
dbf.delete(t[1])
t.close()
t = dbf.Table(folder + '/p83.dbf', 'name C(10); note M', dbf_type='db3', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('a', 'first memo'))
t.append(('b', 'second'))
dbf.delete(t[0])
t.close()
t = dbf.Table(folder + '/pf.dbf', 'name C(10); note M; n N(5,1)', dbf_type='fp', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('Öl', 'memo one', 1.5))
t.append(('b', 'zwei', None))
t.close()
)";
  ASSERT_EQ(RunPython(dir, prog, out), 0) << out;

  DbfTable t3;
  EXPECT_EQ(ReadAll(dir / "p3.dbf", t3),
            (std::vector<std::string>{zeb::test::Shown(" |M\xFCller|1.50|9999999999|") + "31.01.26|T",
                                      zeb::test::Shown("*|\xC4rger|-2.25|0|") + "  .  .  |F",
                                      zeb::test::Shown(" |x|0.00|3|") + "31.12.99|F"}));
  EXPECT_EQ(t3.Version(), 0x03);

  DbfTable t83;
  auto lines = ReadAll(dir / "p83.dbf", t83);
  EXPECT_EQ(t83.Version(), 0x83);
  EXPECT_TRUE(t83.hasMemo);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 4), "*|a|");
  EXPECT_EQ(lines[1].substr(0, 4), " |b|");
  // The block numbers lead to the memo texts in the DBT file.
  const std::string dbt = ReadBytes(dir / "p83.dbt");
  int b1 = std::stoi(lines[0].substr(4)), b2 = std::stoi(lines[1].substr(4));
  EXPECT_GT(b1, 0);
  EXPECT_EQ(dbt.substr(static_cast<std::size_t>(b1) * 512, 10), "first memo");
  EXPECT_EQ(dbt.substr(static_cast<std::size_t>(b2) * 512, 6), "second");

  DbfTable tf;
  lines = ReadAll(dir / "pf.dbf", tf);
  EXPECT_EQ(tf.Version(), 0xF5);
  EXPECT_TRUE(tf.hasMemo);
  ASSERT_EQ(lines.size(), 2u);
  const std::string fpt = ReadBytes(dir / "pf.fpt");
  const unsigned blockSize = static_cast<unsigned char>(fpt[6]) * 256u + static_cast<unsigned char>(fpt[7]);
  std::istringstream s1(lines[0]), s2(lines[1]);
  std::string flag, name, memo, num;
  std::getline(s1, flag, '|');
  std::getline(s1, name, '|');
  std::getline(s1, memo, '|');
  std::getline(s1, num, '|');
  EXPECT_EQ(name, "\xD6l");
  EXPECT_EQ(num, zeb::test::Shown("1.5"));
  EXPECT_EQ(fpt.substr(std::stoul(memo) * blockSize + 8, 8), "memo one");
  EXPECT_EQ(lines[1].substr(lines[1].rfind('|')), zeb::test::Shown("|0.0"));
}

// Engine-made tables of four versions read by three peers.
class ToPeers : public Peers, public ::testing::WithParamInterface<int> {};

TEST_P(ToPeers, ReadTheSameRecords) {
  if (!HavePython()) GTEST_SKIP() << "/usr/bin/python3 with dbf and dbfread is missing";
  const int version = GetParam();
  SetNewTableVersion(static_cast<std::uint8_t>(version));
  const bool memo = version != 0x03;
  std::vector<FieldDesc> defs = {{"NAME", 'C', 10, 0, 0}, {"CNT", 'N', 4, 0, 0}, {"BIG", 'N', 12, 0, 0},
                                 {"PRICE", 'N', 8, 2, 0}, {"DAY", 'D', 8, 0, 0}, {"OK", 'L', 1, 0, 0}};
  if (memo) defs.push_back({"NOTE", 'M', 10, 0, 0});
  const std::string path = dir / "out.dbf";
  DbfTable t;
  CreateDbf(t, path, defs);
  ASSERT_EQ(TzCurrentError(), 0);
  t.fileName = path;
  t.oemText = true;
  OpenDbf(t, kModeExclusive);
  ASSERT_EQ(TzCurrentError(), 0);
  struct Row {
    const char* name;
    std::int32_t cnt;
    std::int64_t big;
    long double price;
    const char* day;
    bool ok;
    bool deleted;
  };
  const Row rows[] = {{"M\xFCller", 12345, 3000000000LL, 1.5L, "31.01.26", true, false},
                      {"\xC4rger", 12, -5, -2.25L, "", false, true},
                      {"\xD6l", 0, 0, 0, "29.02.24", true, false}};
  std::vector<std::uint8_t> buf(RecordBufferSize(t));
  for (const Row& r : rows) {
    std::fill(buf.begin(), buf.end(), 0);
    buf[0] = r.deleted ? 1 : 0;
    WriteShortString(&buf[FieldBufferOffset(t, 1)], 10, r.name);
    std::memcpy(&buf[FieldBufferOffset(t, 2)], &r.cnt, 4);
    std::memcpy(&buf[FieldBufferOffset(t, 3)], &r.big, 8);
    zeb::Real48 p;
    ASSERT_TRUE(RealToReal48(r.price, p));
    std::memcpy(&buf[FieldBufferOffset(t, 4)], p.data(), 6);
    WriteShortString(&buf[FieldBufferOffset(t, 5)], 10, r.day);
    buf[FieldBufferOffset(t, 6)] = r.ok ? 1 : 0;
    PackRecordData(t, buf.data());
    AppendDbfRecord(t);
    ASSERT_EQ(TzCurrentError(), 0);
  }
  CloseDbf(t);
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(ReadBytes(path).back(), '\x1A');

  // One line per record from each reader: deleted|name|cnt|big|price|day|ok.
  const std::string prog = "import dbf, dbfread\npath = '" + path + "'\nversion = " + std::to_string(version) + R"(
def show(v):
    if v is None: return '-'
    if isinstance(v, bool): return 'T' if v else 'F'
    if isinstance(v, float): return '%.2f' % v
    if hasattr(v, 'strftime'): return v.strftime('%Y%m%d')
    return str(v).rstrip()
t = dbfread.DBF(path, encoding='cp850', load=True)
for deleted, recs in ((False, t.records), (True, t.deleted)):
    for r in recs:
        print('dbfread', '*' if deleted else ' ', '|'.join(show(r[k]) for k in ('NAME','CNT','BIG','PRICE','DAY','OK')))
if version != 0x8B:
    t = dbf.Table(path, codepage='cp850')
    t.open(dbf.READ_ONLY)
    for r in t:
        vals = []
        for k in ('name','cnt','big','price','day','ok'):
            try:
                vals.append(show(r[k]))
            except Exception as e:
                vals.append('!')
        print('dbf', '*' if dbf.is_deleted(r) else ' ', '|'.join(vals))
    t.close()
)";
  std::string out;
  ASSERT_EQ(RunPython(dir, prog, out), 0) << out;
  std::string expected =
      "dbfread   M\xC3\xBCller|-|3000000000|1.50|20260131|T\n"
      "dbfread   \xC3\x96l|0|0|0.00|20240229|T\n"
      "dbfread * \xC3\x84rger|12|-5|-2.25|-|F\n";
  if (version != 0x8B)
    expected +=
        "dbf   M\xC3\xBCller|-|3000000000|1.50|20260131|T\n"
        "dbf * \xC3\x84rger|12|-5|-2.25|-|F\n"
        "dbf   \xC3\x96l|0|0|0.00|20240229|T\n";
  EXPECT_EQ(out, expected);

  if (!HaveOgr()) GTEST_SKIP() << "ogrinfo is missing";
  ASSERT_EQ(RunCommand("ogrinfo -ro -al -oo ENCODING=CP850 " + test::ShellQuote(path) + " 2>&1", out), 0) << out;
  EXPECT_NE(out.find("Feature Count: 3"), std::string::npos) << out;
  EXPECT_NE(out.find("NAME (String) = M\xC3\xBCller"), std::string::npos) << out;
  EXPECT_NE(out.find("BIG (Integer64) = 3000000000"), std::string::npos) << out;
  EXPECT_NE(out.find("NAME (String) = \xC3\x96l"), std::string::npos) << out;
  EXPECT_NE(out.find("DAY (Date) = 2024/02/29"), std::string::npos) << out;
  // GDAL passes over the deleted record 2 (feature 1).
  EXPECT_NE(out.find("OGRFeature(out):0"), std::string::npos) << out;
  EXPECT_EQ(out.find("OGRFeature(out):1"), std::string::npos) << out;
  EXPECT_NE(out.find("OGRFeature(out):2"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Versions, ToPeers, ::testing::Values(0x03, 0x83, 0xF5, 0x8B));

}  // namespace
}  // namespace zeb::xbase
