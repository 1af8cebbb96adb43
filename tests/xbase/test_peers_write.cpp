// Tables the engine writes, read back by other programs: dbfread,
// python3-dbf and GDAL.
#include "x2_support.h"

namespace zeb::xbase::test {
namespace {

class PeersWriteTest : public AreaTest, public ::testing::WithParamInterface<int> {};

// name|n4|big|price|day|ok per record, "*" in front of deleted ones.
const char* kExpected =
    "Müller|None|3000000000|1.5|2026-01-31|True\n"
    "*Ärger|7|-5|-2.25|None|False\n"
    "Groß|0|0|0.0|None|True\n"
    "count 3\n";

std::string Make(const ScratchDir& dir, int version) {
  const std::string path = dir / ("peer" + std::to_string(version) + ".dbf");
  std::vector<FieldDesc> fields{Fd("NAME", 'C', 10), Fd("N4", 'N', 4), Fd("BIG", 'N', 12), Fd("PRICE", 'N', 8, 2),
                                Fd("DAY", 'D', 8), Fd("OK", 'L', 1)};
  if (version != 0x03) fields.push_back(Fd("NOTE", 'M', 10));
  SetNewTableVersion(static_cast<std::uint8_t>(version == 0x03 ? 0x8B : version));
  CreateTable(path, fields);
  USE(path + " exclusive");
  AppendRow({"Müller"_ansi, "12345", "3000000000", "1.5", "20260131", "T"});
  AppendRow({"*", "Ärger"_ansi, "7", "-5", "-2.25", "", "F"});
  AppendRow({"Groß"_ansi, "0", "0", "0", "", "T"});
  CloseArea();
  return path;
}

TEST_P(PeersWriteTest, ValuesDeletionsAndCountAgree) {
  const int version = GetParam();
  const std::string path = Make(dir, version);
  EXPECT_EQ(static_cast<unsigned char>(ReadBytes(path)[0]), version);
  std::string out;
  int rc = RunPython(dir,
                     "import dbfread\n"
                     "t = dbfread.DBF('" + path + "', encoding='cp850', load=True)\n"
                     "def show(r, mark):\n"
                     "    n4 = r['N4']\n"
                     "    print(mark + '|'.join(str(v) for v in [r['NAME'], n4, r['BIG'], r['PRICE'], r['DAY'], r['OK']]))\n"
                     "recs = [(r, '') for r in t.records] + [(r, '*') for r in t.deleted]\n"
                     "recs.sort(key=lambda x: ['Müller', 'Ärger', 'Groß'].index(x[0]['NAME']))\n"
                     "for r, m in recs: show(r, m)\n"
                     "print('count', len(t.records) + len(t.deleted))\n",
                     out);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out, kExpected);
  if (version != 0x8B) {
    rc = RunPython(dir,
                   "import dbf, datetime\n"
                   "t = dbf.Table('" + path + "', codepage='cp850')\n"
                   "t.open(dbf.READ_ONLY)\n"
                   "def val(v):\n"
                   "    if isinstance(v, str): return v.rstrip()\n"
                   "    if isinstance(v, datetime.date): return v.isoformat()\n"
                   "    if v is None or type(v).__name__ in ('NullType', 'Date') and not v: return 'None'\n"
                   "    if isinstance(v, bool) or type(v).__name__ == 'Logical': return str(bool(v))\n"
                   "    if isinstance(v, float) and v == int(v) and abs(v) > 99: return str(int(v))\n"
                   "    return str(v)\n"
                   "for r in t:\n"
                   "    print(('*' if dbf.is_deleted(r) else '') + '|'.join(val(r[i]) for i in range(6)))\n"
                   "print('count', len(t))\n",
                   out);
    ASSERT_EQ(rc, 0) << out;
    EXPECT_EQ(out, kExpected);
  }
  rc = RunCommand("ogrinfo -ro -al -oo ENCODING=CP850 " + ShellQuote(path) + " 2>&1", out);
  ASSERT_NE(rc, 127) << "ogrinfo missing";
  EXPECT_NE(out.find("Feature Count: 3"), std::string::npos) << out;
  EXPECT_NE(out.find("NAME (String) = Müller"), std::string::npos) << out;
  EXPECT_NE(out.find("NAME (String) = Groß"), std::string::npos) << out;
  EXPECT_NE(out.find("BIG (Integer64) = 3000000000"), std::string::npos) << out;
  EXPECT_NE(out.find("N4 (Integer) = (null)"), std::string::npos) << out;  // "****"
  EXPECT_EQ(out.find("):1\n"), std::string::npos) << out;                 // deleted
  EXPECT_NE(out.find("DAY (Date) = 2026/01/31"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Versions, PeersWriteTest, ::testing::Values(0x03, 0x83, 0xF5, 0x8B));

}  // namespace
}  // namespace zeb::xbase::test
