// Print presets on the real table functions over a copy of the shipped
// "printout.dbf": a preset appended and read back by dbfread and
// python3-dbf, a preset written by python3-dbf loaded into the form, and an
// append refused while another process holds the append lock.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/services.h"
#include "reports/printsetup.h"
#include "tables/support_tables.h"
#include "tables/table_services.h"
#include "xbase/lock_holder.h"
#include "xbase/x1_support.h"

namespace zeb {
namespace {

using xbase::test::RunCommand;
using xbase::test::RunPython;
using xbase::test::ScratchDir;

bool HavePeers() {
  std::string out;
  return RunCommand("/usr/bin/python3 -c 'import dbf, dbfread' 2>&1", out) == 0;
}

// The record count of a dBase header (bytes 4 to 7, little endian).
std::uint32_t HeaderCount(const std::string& bytes) {
  if (bytes.size() < 8) return 0xFFFFFFFFu;
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = n * 256 + static_cast<unsigned char>(bytes[static_cast<std::size_t>(4 + i)]);
  return n;
}

class PresetPeers : public test::TablesTest {
 protected:
  void SetUp() override {
    TablesTest::SetUp();
    InstallTableServices();
    LastPresetRecord() = 0;
  }
  void TearDown() override {
    SetTables(nullptr);
    TablesTest::TearDown();
  }
  std::string Table() const { return (dbf() / "printout.dbf").string(); }
  // Runs a python program; its output (ASSERT in the caller on the code).
  int Python(const std::string& program, std::string& out) { return RunPython(scratch_, program, out); }
  ScratchDir scratch_;
};

// Every record as dbfread and as python3-dbf read it, values by ascii().
const char kReadBack[] = R"(
import dbf, dbfread
t = dbfread.DBF(path, encoding='cp850')
print('dbfread', len(t))
for r in t:
    print('|'.join(k + '=' + ascii(v) for k, v in r.items()))
t = dbf.Table(path, codepage='cp850')
t.open(dbf.READ_ONLY)
print('dbf', len(t))
for r in t:
    print('|'.join(ascii(v.rstrip() if isinstance(v, str) else v) for v in r))
t.close()
)";

TEST_F(PresetPeers, AppendedPresetReadByPeers) {
  if (!HavePeers()) GTEST_SKIP() << "/usr/bin/python3 with dbf and dbfread is missing";
  ASSERT_EQ(HeaderCount(test::ReadFileBytes(Table())), 0u);
  const PrintSetupForm f{
      .scaleX = "0,5", .scaleY = "1.25", .originX = "-12", .originY = "30", .fit = true, .orientation = 1};
  ui().ExpectInputText("Name", TextAnswer("\xC3\x9C" "bersicht 1:2"));
  AppendPrintPreset(f);
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(HeaderCount(test::ReadFileBytes(Table())), 1u);

  std::string out;
  ASSERT_EQ(Python("path = '" + Table() + "'\n" + kReadBack, out), 0) << out;
  EXPECT_EQ(out,
            "dbfread 1\n"
            "NAME='\\xdcbersicht 1:2'|XSCALE=0.5|YSCALE=1.25|XORIGIN=-12|YORIGIN=30|LANDSCAPE=True|MONOCHROM=True|"
            "VARIABLE=True|BORDERLINE=False\n"
            "dbf 1\n"
            "'\\xdcbersicht 1:2'|0.5|1.25|-12|30|True|True|True|False\n");

  // A second preset goes after the first and leaves it as it was.
  const PrintSetupForm g{.scaleX = "2", .scaleY = "abc", .originX = "0", .originY = "7", .border = true, .colour = 1};
  ui().ExpectInputText("Name", TextAnswer("A4 hoch"));
  AppendPrintPreset(g);
  EXPECT_EQ(HeaderCount(test::ReadFileBytes(Table())), 2u);
  ASSERT_EQ(Python("path = '" + Table() + "'\n" + kReadBack, out), 0) << out;
  EXPECT_EQ(out,
            "dbfread 2\n"
            "NAME='\\xdcbersicht 1:2'|XSCALE=0.5|YSCALE=1.25|XORIGIN=-12|YORIGIN=30|LANDSCAPE=True|MONOCHROM=True|"
            "VARIABLE=True|BORDERLINE=False\n"
            "NAME='A4 hoch'|XSCALE=2.0|YSCALE=0.0|XORIGIN=0|YORIGIN=7|LANDSCAPE=False|MONOCHROM=False|"
            "VARIABLE=False|BORDERLINE=True\n"
            "dbf 2\n"
            "'\\xdcbersicht 1:2'|0.5|1.25|-12|30|True|True|True|False\n"
            "'A4 hoch'|2.0|0.0|0|7|False|False|False|True\n");
}

TEST_F(PresetPeers, PresetWrittenByPythonDbfLoadsIntoTheForm) {
  if (!HavePeers()) GTEST_SKIP() << "/usr/bin/python3 with dbf and dbfread is missing";
  ASSERT_TRUE(std::filesystem::remove(Table()));
  std::string out;
  ASSERT_EQ(Python("import dbf\npath = '" + Table() + R"('
t = dbf.Table(path, 'name C(25); xscale N(10,4); yscale N(10,4); xorigin N(6,0); yorigin N(6,0); landscape L; monochrom L; variable L; borderline L', dbf_type='db3', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('Erster', 1.9, 1.0, 0, 0, False, True, False, True))
t.append(('Übersicht 1:2', 0.5, 2.0, 10, -20, True, False, True, False))
t.close()
)",
                   out),
            0)
      << out;

  PrintSetupForm f;
  f.scaleX = f.scaleY = "1";
  f.originX = f.originY = "0";
  std::int32_t browsedAt = -1;
  browser().During([&](TableWindow& w) { browsedAt = w.RecNo(); });
  browser().Answer({true, 2, 0, 0});
  EXPECT_TRUE(LoadPrintPreset(f));
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(f.scaleX, test::Shown("0.5000"));
  EXPECT_EQ(f.scaleY, test::Shown("2.0000"));
  EXPECT_EQ(f.originX, "10");
  EXPECT_EQ(f.originY, "-20");
  EXPECT_EQ(f.orientation, 1);  // landscape
  EXPECT_EQ(f.colour, 1);       // "monochrom" false: the second item
  EXPECT_TRUE(f.fit);
  EXPECT_FALSE(f.border);
  EXPECT_EQ(LastPresetRecord(), 2);
  ASSERT_EQ(browser().Seen().size(), 1u);
  EXPECT_EQ(browser().Seen()[0], "mode 0 hide 0 titles Printout|");  // editable, marked records shown
  EXPECT_FALSE(TheTableWindow().IsOpen());

  // The next load starts on that preset; the other one fills every field.
  browser().Answer({true, 1, 0, 0});
  EXPECT_TRUE(LoadPrintPreset(f));
  EXPECT_EQ(browsedAt, 2);
  EXPECT_EQ(f.scaleX, test::Shown("1.9000"));
  EXPECT_EQ(f.scaleY, test::Shown("1.0000"));
  EXPECT_EQ(f.originX, "0");
  EXPECT_EQ(f.originY, "0");
  EXPECT_EQ(f.orientation, 0);
  EXPECT_EQ(f.colour, 0);
  EXPECT_FALSE(f.fit);
  EXPECT_TRUE(f.border);
  EXPECT_EQ(LastPresetRecord(), 1);

  // A cancelled pick changes nothing and does not cancel the dialog.
  const PrintSetupForm before = f;
  EXPECT_FALSE(LoadPrintPreset(f));
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(f.scaleX, before.scaleX);
  EXPECT_EQ(f.colour, before.colour);
  EXPECT_EQ(LastPresetRecord(), 1);
}

TEST_F(PresetPeers, AppendRefusedWhileAnotherProcessHoldsTheAppendLock) {
  PrintSetupForm f;
  f.scaleX = "1";
  f.scaleY = "1";
  f.originX = "5";
  f.originY = "6";
  ui().ExpectInputText("Name", TextAnswer("Erster"));
  AppendPrintPreset(f);
  const std::string before = test::ReadFileBytes(Table());
  ASSERT_EQ(HeaderCount(before), 1u);

  PrintSetupForm g;
  g.scaleX = "0,5";
  g.scaleY = "2";
  g.originX = "99";
  g.originY = "-99";
  g.orientation = 1;
  g.border = true;
  {
    xbase::test::LockHolder other(Table(), true);
    ASSERT_TRUE(other.locked);
    ui().ExpectInputText("Name", TextAnswer("Zweiter"));
    ui().ExpectQuestion("", "von einem anderen Programm gesperrt; der neue Datensatz", Answer::Cancel);
    AppendPrintPreset(g);
    EXPECT_FALSE(TheTableWindow().IsOpen());
    // Neither a new record nor a change to the stored preset.
    EXPECT_EQ(test::ReadFileBytes(Table()), before);
  }
  EXPECT_EQ(test::ReadFileBytes(Table()), before);

  // Once the other process lets go the same preset is appended.
  ui().ExpectInputText("Name", TextAnswer("Zweiter"));
  AppendPrintPreset(g);
  const std::string after = test::ReadFileBytes(Table());
  EXPECT_EQ(HeaderCount(after), 2u);
  TableOpen("printout");
  TableGo(1);
  EXPECT_EQ(TableGetField(1), "Erster" + std::string(19, ' '));
  EXPECT_EQ(TableGetField(4), "     5");
  TableGo(2);
  EXPECT_EQ(TableGetField(1), "Zweiter" + std::string(18, ' '));
  EXPECT_EQ(TableGetField(2), test::Shown("    0.5000"));
  EXPECT_EQ(TableGetField(4), "    99");
  EXPECT_TRUE(TableGetBoolByName("BORDERLINE"));
  TableClose();
}

}  // namespace
}  // namespace zeb
