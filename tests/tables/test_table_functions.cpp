// The table functions on the generated tables: opening with the write
// check, moving, reading and writing fields, seeking.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <tuple>
#include <utility>

#include "spring/material.h"
#include "support_tables.h"
#include "xbase/full_disk.h"
#include "tables/material_table.h"
#include "tables/table_services.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/workarea.h"
#include "xbase/core/engine.h"
#include "xbase/index/ndx.h"

namespace zeb {
namespace {

using test::ReadFileBytes;
using test::TablesTest;
namespace fs = std::filesystem;

class TableFunctions : public TablesTest {};

TEST_F(TableFunctions, NamesGetDbfOnlyWithoutAPoint) {
  TableOpen("din2077");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TableRecCount(), 71);
  EXPECT_EQ(TableFieldName(2), "TOL");
  TableClose();

  fs::copy_file(dbf() / "din2077.dbf", dbf() / "din2077.tab");
  TableOpen("din2077.tab");
  EXPECT_EQ(TheTableWindow().FileName(), (dbf() / "din2077.tab").string());
  EXPECT_EQ(TableRecCount(), 71);
  TableClose();

  // A table file in other case is found.
  fs::rename(dbf() / "din2077.dbf", dbf() / "DIN2077.DBF");
  TableOpen("din2077");
  EXPECT_EQ(TheTableWindow().FileName(), (dbf() / "DIN2077.DBF").string());
  TableClose();

  // A name with a point is not given ".dbf".
  ui().ExpectMessageBox("", "nicht gefunden oder kein Zugriffsrecht !").Text("din2076.x");
  TableOpen("din2076.x");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(TheTableWindow().IsOpen());
}

TEST_F(TableFunctions, MissingTableOrAbortFlagOpensAndWritesNothing) {
  ui().ExpectMessageBox("", "Datei " + (dbf() / "nosuch.dbf").string() + " nicht gefunden oder kein Zugriffsrecht !");
  TableOpen("nosuch");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(TheTableWindow().IsOpen());
  // Already set: nothing opened, no message, no test file.
  bool tested = false;
  static bool* seen = nullptr;
  seen = &tested;
  SetFolderWriteTest([](const std::string&) { return *seen = true; });
  TableOpen("zebwst");
  EXPECT_FALSE(TheTableWindow().IsOpen());
  EXPECT_FALSE(tested);
  EXPECT_FALSE(fs::exists(dbf() / "TEST.$$$"));
}

TEST_F(TableFunctions, WritableFolderKeepsNoTestFileAndLeavesOwnOnesAlone) {
  TableOpen("zebwst");
  EXPECT_EQ(TheTableWindow().FileName(), (dbf() / "zebwst.dbf").string());
  EXPECT_FALSE(fs::exists(dbf() / "TEST.$$$"));
  TableClose();

  // A user's own TEST.$$$ is neither truncated nor erased.
  { std::ofstream(dbf() / "TEST.$$$", std::ios::binary) << "mine\r\n"; }
  TableOpen("zebwst");
  EXPECT_EQ(TheTableWindow().FileName(), (dbf() / "zebwst.dbf").string());
  EXPECT_EQ(ReadFileBytes(dbf() / "TEST.$$$"), "mine\r\n");
  std::size_t files = 0;
  for (const auto& e : fs::directory_iterator(dbf())) files += e.path().filename().string().starts_with("TEST") ? 1 : 0;
  EXPECT_EQ(files, 1u);
}

// The folder write test as another user: a folder the user cannot write
// fails, one open to all passes; neither keeps a file.
TEST_F(TableFunctions, WriteTestFollowsTheFolderPermissions) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  // A folder the other user can reach whatever folders the test's own
  // temporary folder lies in (a private one of mode 0700 too).
  char pattern[] = "/tmp/zeb1-permissions-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path reachable = pattern;
  struct Gone {
    fs::path path;
    ~Gone() { fs::remove_all(path); }
  } gone{reachable};
  ASSERT_EQ(::chmod(reachable.c_str(), 0711), 0);
  const fs::path closed = reachable / "closed", open = reachable / "open";
  fs::create_directories(closed);
  fs::create_directories(open);
  ASSERT_EQ(::chmod(closed.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
    if (FolderPassesWriteTest(closed.string())) ::_exit(11);
    if (!FolderPassesWriteTest(open.string())) ::_exit(12);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::is_empty(closed));
  EXPECT_TRUE(fs::is_empty(open));
}

TEST_F(TableFunctions, ReadOnlyTableIsEditedAsAWritableCopy) {
  const std::string before = ReadFileBytes(dbf() / "din2077.dbf");
  ::chmod((dbf() / "din2077.dbf").c_str(), 0444);
  TableOpen("din2077");
  ASSERT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TheTableWindow().FileName(), (temp() / "din2077.dbf").string());
  struct stat st{};
  ASSERT_EQ(::stat((temp() / "din2077.dbf").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
  TableGo(1);
  TablePutStrByName("TOL", "0.5");
  TableClose();
  EXPECT_EQ(ReadFileBytes(dbf() / "din2077.dbf"), before);
  EXPECT_NE(ReadFileBytes(temp() / "din2077.dbf"), before);
}

TEST_F(TableFunctions, FolderFailingTheWriteTestGivesACopyWithItsMemo) {
  SetFolderWriteTest([](const std::string&) { return false; });
  // A table with a memo field: the copy needs its memo file to open.
  {
    xbase::SetTzRaiseMode(true);
    xbase::DbfTable t;
    xbase::CreateDbf(t, (dbf() / "notes.dbf").string(), {{"NAME", 'C', 10, 0, 0}, {"NOTE", 'M', 10, 0, 0}});
  }
  ASSERT_TRUE(fs::exists(dbf() / "notes.dbt"));
  TableOpen("notes");
  EXPECT_EQ(G().AbortFlag, 0);
  EXPECT_EQ(TheTableWindow().FileName(), (temp() / "notes.dbf").string());
  EXPECT_TRUE(fs::exists(temp() / "notes.dbt"));
  EXPECT_FALSE(fs::exists(dbf() / "TEST.$$$"));
  TableClose();

  // No temporary folder: nothing opens, the copy's path is named.
  G().TempFolder = (temp() / "gone").string();
  ui().ExpectMessageBox("", (temp() / "gone" / "zebwst.dbf").string() + " nicht gefunden oder kein Zugriffsrecht !");
  TableOpen("zebwst");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(TheTableWindow().IsOpen());
}

TEST_F(TableFunctions, GoStaysInsideTheTable) {
  TableOpen("din2077");
  TableGo(0);
  EXPECT_EQ(TableRecNo(), 1);
  TableGo(-5);
  EXPECT_EQ(TableRecNo(), 1);
  EXPECT_TRUE(Messages().empty());
  TableGo(72);
  EXPECT_EQ(TableRecNo(), 71);
  EXPECT_EQ(Messages(), std::vector<std::string>{"DBF #72 not found."});
  TableGo(5);
  EXPECT_EQ(TableGetField(1), test::Shown("  9.00"));
  EXPECT_EQ(TableGetField(0), "");
  EXPECT_EQ(TableGetField(3), "");
  EXPECT_EQ(TableFieldName(0), "");
  EXPECT_EQ(TableFieldName(3), "");
  TableClose();

  ResetErrorMessages();
  TableOpen("printout");
  TableGo(1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"DBF #1 not found."});
  EXPECT_EQ(G().AbortFlag, 0);
}

TEST_F(TableFunctions, WritersByNumberAndName) {
  TableOpen("din2076");
  TableGo(3);
  const std::string before = ReadFileBytes(dbf() / "din2076.dbf");
  TablePutField(0, "1");
  TablePutInt(4, 7);
  TablePutFloat(4, MakeReal48(7));
  EXPECT_EQ(ReadFileBytes(dbf() / "din2076.dbf"), before);
  // Names are cut to 10 characters.
  TableClose();
  TableOpen("zebwst");
  TableGo(2);
  TablePutStrByName("NAME1", "Neu");
  TablePutIntByName("TMAX", 120);
  TablePutFloatByName("RHO", MakeReal48(7.8L));
  EXPECT_EQ(TableGetField(1), "Neu" + std::string(47, ' '));
  EXPECT_EQ(TableGetField(25), "  120");
  EXPECT_EQ(TableGetField(7), test::Shown("   7.8000"));
  TableClose();
  TableOpen("zebwst");
  TableGo(2);
  EXPECT_EQ(TableGetField(25), "  120");
}

TEST_F(TableFunctions, SeekRetriesOneDecimalComma) {
  TableOpen("din2077");
  TableMakeIndex("STR(D,6,2)", "d2077");
  EXPECT_TRUE(fs::exists(temp() / "d2077.ndx"));
  TableSeek("  7.50");
  EXPECT_TRUE(TableFound());
  EXPECT_EQ(TableRecNo(), 2);
  TableSeek("  8,50");
  EXPECT_TRUE(TableFound());
  EXPECT_EQ(TableRecNo(), 4);
  TableSeek("8,5,0");
  EXPECT_FALSE(TableFound());
  TableSeek(" 99.00");
  EXPECT_FALSE(TableFound());
}

// Another program indexing the same table holds the table lock for good:
// the window's sort index is its own (in its temporary folder) and is built
// and sought without the table to itself, without a wait, twice.
TEST_F(TableFunctions, IndexBuildNeedsNoTableLockOfAnotherProgram) {
  // The peer locks, says 'L', and unlocks when it reads a byte on release.
  const auto peer = [this](int locked[2], int release[2]) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      xbase::Select(30);
      xbase::USE((dbf() / "din2077.dbf").string());
      xbase::Index_On("TOL", (temp() / "peer.ndx").string());  // a user of the table's semaphore
      const char c = xbase::FLock() ? 'L' : 'F';
      (void)!::write(locked[1], &c, 1);
      char r = 0;
      (void)!::read(release[0], &r, 1);
      xbase::Unlock();
      xbase::CloseArea();
      ::_exit(0);
    }
    char c = 0;
    (void)!::read(locked[0], &c, 1);
    return std::make_pair(pid, c);
  };
  // The locks refused here.
  int refused = 0;
  struct Restore {
    xbase::SysLockFn sysLock = xbase::Engine().sysLock;
    ~Restore() { xbase::SetTzSysLock(sysLock); }
  } restore;
  xbase::SetTzSysLock([&](int fd, short type, std::int64_t offset, std::int64_t length) {
    const int r = restore.sysLock(fd, type, offset, length);
    if (r != 0 && type != F_UNLCK) ++refused;
    return r;
  });
  int locked[2], release[2];
  ASSERT_EQ(::pipe(locked), 0);
  ASSERT_EQ(::pipe(release), 0);
  TableOpen("din2077");
  auto [pid, got] = peer(locked, release);
  ASSERT_EQ(got, 'L');
  for (const char* key : {"STR(D,6,2)", "STR(D,6,2)"}) {
    TableMakeIndex(key, "d2077");
    EXPECT_EQ(G().AbortFlag, 0);
    TableSeek("  7.50");
    EXPECT_TRUE(TableFound());
    EXPECT_EQ(TableRecNo(), 2);
  }
  EXPECT_EQ(refused, 0);  // no lock of the table was asked for
  TableClose();
  (void)!::write(release[1], "r", 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  for (int fd : {locked[0], locked[1], release[0], release[1]}) ::close(fd);
}

TEST_F(TableFunctions, AppendAddsOneBlankRecord) {
  TableOpen("printout");
  EXPECT_TRUE(TableAppend());
  TablePutStrByName("NAME", "A4 quer");
  TablePutBoolByName("LANDSCAPE", true);
  TablePutBoolByName("BORDERLINEXYZ", true);  // the first 10 characters name the field
  TablePutIntByName("XORIGIN", 15);
  TableClose();
  TableOpen("printout");
  EXPECT_EQ(TableRecCount(), 1);
  TableGo(1);
  EXPECT_TRUE(TableGetBoolByName("LANDSCAPE"));
  EXPECT_FALSE(TableGetBoolByName("MONOCHROM"));
  EXPECT_TRUE(TableGetBoolByName("BORDERLINE"));
  EXPECT_EQ(TableGetField(4), "    15");
}

// What the damage check lets pass: every shipped table, a table with its
// end mark, a stray tail or whole records past its count, a deleted record,
// and layouts it does not know (left to the engine).
TEST_F(TableFunctions, DamageCheckPassesSoundTables) {
  for (const auto& e : fs::directory_iterator(dbf())) {
    if (e.path().extension() != ".dbf") continue;
    EXPECT_EQ(DbfDamage(e.path().string()), "") << e.path();
  }
  const std::string good = test::ReadBytes(dbf() / "din2077.dbf");
  const fs::path t = dbf() / "t.dbf";
  const unsigned header = static_cast<unsigned char>(good[8]) | static_cast<unsigned char>(good[9]) << 8;
  const unsigned length = static_cast<unsigned char>(good[10]) | static_cast<unsigned char>(good[11]) << 8;
  test::WriteBytes(t, good + std::string(length - 2, ' '));
  EXPECT_EQ(DbfDamage(t.string()), "");
  std::string deleted = good;
  deleted[header] = '*';
  test::WriteBytes(t, deleted);
  EXPECT_EQ(DbfDamage(t.string()), "");
  std::string other = good;
  other[0] = 0x02;  // dBase II
  other[8] = other[9] = '\xff';
  test::WriteBytes(t, other);
  EXPECT_EQ(DbfDamage(t.string()), "");
  // One record's worth more than the count says (an append cut before its
  // count was written): the count holds, the table window offers to mend it.
  test::WriteBytes(t, good + std::string(length, ' '));
  EXPECT_EQ(DbfDamage(t.string()), "");
  // A numeric field holding a letter: that record is named.
  std::string letter = good;
  letter[header + 2 * length + 1] = 'x';
  test::WriteBytes(t, letter);
  EXPECT_EQ(DbfDamage(t.string()), "Satz 3, Feld D: keine Zahl (\"x 8.00\")");
  EXPECT_EQ(DbfDamage((dbf() / "fehlt.dbf").string()), "");
}

// The checks of a table hold for its file state: a table changed in place
// right after its check (same size, within the file times' tick) is
// checked again; one unchanged for seconds, its file time in the future
// too, is read from the bytes its check held, rows and keys alike, until
// it changes, also where the change keeps size and file time. The print presets,
// opened by path, are checked as the tables opened by name.
TEST_F(TableFunctions, ChecksHoldForTheFileStateOnly) {
  const fs::path t = dbf() / "zebrmmin.dbf";
  const std::string good = test::ReadBytes(t);
  const unsigned header = static_cast<unsigned char>(good[8]) | static_cast<unsigned char>(good[9]) << 8;
  const unsigned length = static_cast<unsigned char>(good[10]) | static_cast<unsigned char>(good[11]) << 8;
  const std::size_t v01 = header + 4 * length + 1 + 9 + 30;  // record 5, after MATNR and NAME
  ASSERT_EQ(good.substr(v01, 5), " 2800");
  const std::map<std::int32_t, std::int32_t>* keys = nullptr;
  const auto twin = [&](std::string b) {  // record 6 numbered 5
    b.replace(header + 5 * length + 1, 9, "        5");
    return b;
  };
  const auto comma = [&](std::string b) {
    b.replace(v01, 5, "  2,8");
    return b;
  };
  const std::string twinNamed = "Satz 5 und Satz 6, Feld MATNR: Werkstoffnummer 5 doppelt";
  const std::string commaNamed = "Satz 5, Feld V01: Komma statt Dezimalpunkt (\"2,8\")";
  EXPECT_EQ(DbfKeyRecords(t.string(), 1, keys), "");
  test::WriteBytes(t, twin(good));
  EXPECT_EQ(DbfKeyRecords(t.string(), 1, keys), twinNamed);
  test::WriteBytes(t, comma(good));
  EXPECT_EQ(DbfDamage(t.string()), commaNamed);
  test::WriteBytes(t, good);
  EXPECT_EQ(DbfDamage(t.string()), "");
  // A file time a day ahead (a copy from a machine whose clock runs
  // ahead) is no change to come: the checks are held all the same.
  const auto dated = [&](const std::string& bytes) {
    test::WriteBytes(t, bytes);
    timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = ::time(nullptr) + 86400;
    ASSERT_EQ(::utimensat(AT_FDCWD, t.c_str(), times, 0), 0);
  };
  dated(good);
  ::sleep(4);  // past the tick of the file times: the checks are held now
  ASSERT_EQ(DbfKeyRecords(t.string(), 1, keys), "");
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->at(5), 5);
  std::vector<std::string> fields;
  ASSERT_TRUE(DbfHeldFields(t.string(), 5, fields));
  EXPECT_EQ(fields.at(2), " 2800");
  ASSERT_TRUE(LoadRmTables(5));
  EXPECT_EQ(RmTable().Min[0], 2800);
  // A change of the same size that leaves the file time as it was: seen.
  dated(twin(good));
  EXPECT_FALSE(DbfHeldFields(t.string(), 5, fields));
  EXPECT_EQ(DbfKeyRecords(t.string(), 1, keys), twinNamed);
  test::WriteBytes(t, comma(good));
  ui().ExpectMessageBox("Fehler", "Tabelle " + t.string() + " besch\u00e4digt: " + commaNamed);
  EXPECT_FALSE(LoadRmTables(5));

  G().AbortFlag = 0;
  const fs::path presets = dbf() / "printout.dbf";
  std::string bytes = test::ReadBytes(presets);
  bytes[32 + 17] = 2;  // NAME, a text of 25, with decimals: no damage
  bytes[2 * 32 + 17] = 12;  // XSCALE, 10 wide
  test::WriteBytes(presets, bytes);
  ui().ExpectMessageBox("Fehler", "Tabelle " + presets.string() +
                                      " besch\u00e4digt: Feld XSCALE: Dezimalstellenzahl 12 zu gro\u00df f\u00fcr die Feldl\u00e4nge 10");
  EngineTables().TableOpenFile(presets.string());
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(TheTableWindow().IsOpen());
}

// A table of material numbers and one value per record, every byte written
// here: the dBase III layout, or the dBase 7 one (68 head bytes, 48-byte
// field descriptors), under the version byte given.
std::string NumberTable(bool dbase7, char version, std::uint32_t count) {
  const std::size_t first = dbase7 ? 68 : 32, slot = dbase7 ? 48 : 32, header = first + 2 * slot + 1;
  std::string b(header, '\0');
  b[0] = version;
  const auto le = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  };
  le(4, count, 4);
  le(8, static_cast<std::uint32_t>(header), 2);
  le(10, 1 + 9 + 5, 2);
  const std::size_t type = dbase7 ? 32 : 11, width = dbase7 ? 33 : 16;
  b.replace(first, 5, "MATNR");
  b[first + type] = 'N';
  b[first + width] = 9;
  b.replace(first + slot, 1, "V");
  b[first + slot + type] = 'N';
  b[first + slot + width] = 5;
  b[header - 1] = '\x0D';
  char record[16];
  for (std::uint32_t r = 1; r <= count; ++r) {
    std::snprintf(record, sizeof record, " %9u%5u", r, r % 1000);
    b += record;
  }
  return b + '\x1A';
}

// Every layout the check reads is read as the engine's open reads it (the
// dBase III and 7 layouts by their version bytes; with own version bytes
// set, the engine's dBase III layout under any of them), and every record
// is checked: a NUL in a number past record 100,000 is named where the
// table is opened by name, and the sound table opens with its values.
TEST_F(TableFunctions, EveryLayoutIsCheckedWholeAsTheEngineReadsIt) {
  struct Layout {
    const char* name;
    bool dbase7;
    char version;
    std::uint8_t own;  // the engine's own version byte 1, 0 for none
  };
  constexpr std::uint32_t kCount = 120000, kDamaged = 119990;
  for (const Layout& l : {Layout{"dBase III", false, '\x03', 0}, Layout{"dBase 7", true, '\x04', 0},
                          Layout{"own byte 0x04", false, '\x04', 0x04}}) {
    SCOPED_TRACE(l.name);
    xbase::Engine().ownVersion1 = l.own;
    const fs::path t = dbf() / "big.dbf";
    const std::string sound = NumberTable(l.dbase7, l.version, kCount);
    std::string damaged = sound;
    const std::size_t header = l.dbase7 ? 165 : 97;
    const std::size_t v = header + (kDamaged - 1) * 15 + 1 + 9;
    ASSERT_EQ(damaged.substr(v, 5), "  990");
    damaged[v + 4] = '\0';
    test::WriteBytes(t, damaged);
    ui().ExpectMessageBox("", "Tabelle " + t.string() + " besch\u00e4digt: Satz 119990, Feld V: NUL-Zeichen in der "
                                                        "Zahl (\"99?\")");
    TableOpen("big");
    EXPECT_EQ(G().AbortFlag, 1);
    EXPECT_FALSE(TheTableWindow().IsOpen());
    G().AbortFlag = 0;
    test::WriteBytes(t, sound);
    TableOpen("big");
    ASSERT_EQ(G().AbortFlag, 0);
    EXPECT_EQ(TableRecCount(), static_cast<std::int32_t>(kCount));
    TableGo(kDamaged);
    EXPECT_EQ(TableGetField(1), "   119990");
    EXPECT_EQ(TableGetField(2), "  990");
    TableClose();
    fs::remove(t);
  }
}

TEST_F(TableFunctions, DamagedTableReportsTheEngineErrorWithoutThrowing) {
  {
    std::ofstream out(dbf() / "zebwst.dbf", std::ios::binary | std::ios::trunc);
    out << std::string("\x03\x7b\x0b\x0e", 4) << std::string(20, '\xff');
  }
  // The program's table is named as damaged before the engine reads it.
  ui().ExpectMessageBox("", "Tabelle " + (dbf() / "zebwst.dbf").string() + " besch\u00e4digt: k\u00fcrzer als ihr Kopf");
  TableOpen("zebwst");
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(TheTableWindow().IsOpen());
  // Opened as a file, the engine finds the damage: named the same way.
  G().AbortFlag = 0;
  ui().ExpectMessageBox("", "Tabelle " + (dbf() / "zebwst.dbf").string() +
                                " besch\u00e4digt: keine dBASE-Tabelle (Prolog ist kleiner als 32 Bytes)");
  TableOpenFile((dbf() / "zebwst.dbf").string());
  EXPECT_EQ(G().AbortFlag, 1);
  EXPECT_FALSE(TheTableWindow().IsOpen());
  EXPECT_EQ(TableGetField(1), "");
  EXPECT_EQ(TableRecCount(), 0);
  EXPECT_FALSE(TableAppend());
}

}  // namespace
}  // namespace zeb

namespace zeb {
namespace {

// The sort index cannot be written (the disk is full): the box says so and
// names the index a temporary file, without its path or the engine's
// routine.
TEST_F(TableFunctions, AnIndexNotWrittenIsNamedAsATemporaryFile) {
  TableOpen("din2077");
  std::string said;
  ui().ExpectMessageBox("", "Fehler beim Schreiben der Index-Datei (tempor\u00e4re Datei)").Then([&](const UiShown& s) {
    said = s.text;
  });
  {
    const zeb::test::DiskFullFrom full(100);
    ASSERT_TRUE(full.Active());
    TableMakeIndex("STR(D,6,2)", "d2077");
  }
  EXPECT_EQ(said.find('['), std::string::npos) << said;
  EXPECT_EQ(said.find(temp().string()), std::string::npos) << said;
  EXPECT_EQ(said.find(".ndx"), std::string::npos) << said;
  TableClose();
}

}  // namespace
}  // namespace zeb
