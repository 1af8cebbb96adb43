// Appends to a shared table are counted in its header before the append
// lock is let go: other programs (python3-dbf, dbfread) see the record at
// once, a program appending meanwhile does not write over it, a killed
// process leaves it counted, and bytes after the counted records are never
// taken for records.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "dataset_support.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dbf/locking.h"
#include "xbase/dbf/tablecmds.h"

namespace zeb::xbase::test {
namespace {

bool HavePeers() {
  std::string out;
  return RunCommand("/usr/bin/python3 -c 'import dbf, dbfread' 2>&1", out) == 0;
}

// The record count in bytes 4..7 of the file.
std::uint32_t HeaderCount(const std::string& path) {
  const std::string b = ReadBytes(path);
  if (b.size() < 8) return 0;
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[4]) | static_cast<unsigned char>(b[5]) << 8 |
                                    static_cast<unsigned char>(b[6]) << 16 |
                                    static_cast<unsigned char>(b[7]) << 24);
}

class SharedAppend : public DatasetTest {
 protected:
  // A shared table of NAME C(10), NUM N(5) with rows N1..Nn.
  std::string Names(int count) {
    const std::string path = MakeTable("t.dbf", {{"NAME", 'C', 10, 0, 0}, {"NUM", 'N', 5, 0, 0}});
    TTzDbf ds("FILL");
    ds.SetDbfFileName(path);
    ds.SetExclusive(true);
    ds.Open();
    for (int i = 1; i <= count; ++i) {
      ds.Append();
      ds.FieldByName("NAME").SetAsString("N" + std::to_string(i));
      ds.FieldByName("NUM").SetAsInteger(i);
      ds.Post();
    }
    ds.Close();
    return path;
  }
  // What python3-dbf (count from the header) reads: "count: names".
  std::string PyDbf(const std::string& path) {
    std::string out;
    RunPython(dir,
              "import dbf\n"
              "t = dbf.Table('" + path + "', codepage='cp850')\n"
              "t.open(dbf.READ_ONLY)\n"
              "print(str(len(t)) + ': ' + ' '.join(r['name'].strip() for r in t), end='')\n",
              out);
    return out;
  }
  // What dbfread (records up to the end mark) reads: the names.
  std::string DbfRead(const std::string& path) {
    std::string out;
    RunPython(dir,
              "import dbfread\n"
              "print(' '.join(r['NAME'] for r in dbfread.DBF('" + path + "', encoding='cp850')), end='')\n",
              out);
    return out;
  }
  // A second program appends one record with python3-dbf.
  int PyAppend(const std::string& path, const std::string& name) {
    std::string out;
    return RunPython(dir,
                     "import dbf\n"
                     "t = dbf.Table('" + path + "', codepage='cp850')\n"
                     "t.open(dbf.READ_WRITE)\n"
                     "t.append(('" + name + "', 99))\n"
                     "t.close()\n",
                     out);
  }
  static void Add(TTzDbf& ds, const std::string& name) {
    ds.Insert();
    ds.FieldByName("NAME").SetAsString(name);
    ds.FieldByName("NUM").SetAsInteger(7);
    ds.Post();
  }
};

// Post, another program appends, post again, close: every record is there
// once, counted, in order.
TEST_F(SharedAppend, PostedRecordIsCountedBeforeTheTableCloses) {
  if (!HavePeers()) GTEST_SKIP() << "/usr/bin/python3 with dbf and dbfread is missing";
  const std::string path = Names(3);
  TTzDbf ds("SHARED");
  ds.SetDbfFileName(path);
  ds.Open();
  ASSERT_FALSE(ds.Exclusive());
  Add(ds, "NEU");
  EXPECT_EQ(HeaderCount(path), 4u);
  EXPECT_EQ(PyDbf(path), "4: N1 N2 N3 NEU");
  ASSERT_EQ(PyAppend(path, "PEER"), 0);
  EXPECT_EQ(PyDbf(path), "5: N1 N2 N3 NEU PEER");
  Add(ds, "DANACH");
  EXPECT_EQ(HeaderCount(path), 6u);
  EXPECT_EQ(ds.RecCount(), 6);
  ds.Close();
  EXPECT_EQ(PyDbf(path), "6: N1 N2 N3 NEU PEER DANACH");
  EXPECT_EQ(DbfRead(path), "N1 N2 N3 NEU PEER DANACH");
}

// The engine's own append under the append lock: the header counts the
// record while the lock is still held.
TEST_F(SharedAppend, EngineAppendRaisesTheCountUnderTheLock) {
  const std::string path = Names(2);
  USE(path);
  ASSERT_EQ(TzCurrentError(), 0);
  ASSERT_FALSE(CurrentWorkArea()->exclusive);
  ASSERT_TRUE(ALock());
  ClearRecord();
  Append();
  ASSERT_EQ(TzCurrentError(), 0);
  EXPECT_EQ(HeaderCount(path), 3u);
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.size(), CurrentWorkArea()->headerLength + 3u * CurrentWorkArea()->recordLength + 1u);
  Unlock();
  CloseArea();
  EXPECT_EQ(HeaderCount(path), 3u);
}

// A process killed after its post leaves the record in the file and in
// the count.
TEST_F(SharedAppend, KilledAfterPostTheRecordStaysCounted) {
  if (!HavePeers()) GTEST_SKIP() << "/usr/bin/python3 with dbf and dbfread is missing";
  const std::string path = Names(2);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    TTzDbf ds("KILLED");
    ds.SetDbfFileName(path);
    ds.Open();
    Add(ds, "ERSCHOSSEN");
    ::kill(::getpid(), SIGKILL);
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  EXPECT_EQ(HeaderCount(path), 3u);
  EXPECT_EQ(PyDbf(path), "3: N1 N2 ERSCHOSSEN");
  EXPECT_EQ(DbfRead(path), "N1 N2 ERSCHOSSEN");
}

// 5,000 NUL bytes after the last record are no records: the count stays
// 87, a post makes it 88 and the bytes after the end mark stay unread.
TEST_F(SharedAppend, TrailingBytesAreNotAdoptedAsRecords) {
  const std::string path = Names(87);
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << std::string(5000, '\0');
  }
  TTzDbf ds("TAIL");
  ds.SetDbfFileName(path);
  ds.Open();
  EXPECT_EQ(ds.RecCount(), 87);
  Add(ds, "NR88");
  EXPECT_EQ(ds.RecCount(), 88);
  EXPECT_EQ(HeaderCount(path), 88u);
  ds.Close();
  EXPECT_EQ(HeaderCount(path), 88u);

  USE(path);
  EXPECT_EQ(RecCount(), 88);
  GoBottom();
  EXPECT_EQ(RecNo(), 88);
  CloseArea();
  EXPECT_EQ(HeaderCount(path), 88u);
  if (HavePeers()) {
    const std::string names = DbfRead(path);
    EXPECT_EQ(names.substr(names.size() < 8 ? 0 : names.size() - 8), "N87 NR88");
    EXPECT_EQ(PyDbf(path).substr(0, 4), "88: ");
  }
}

}  // namespace
}  // namespace zeb::xbase::test
