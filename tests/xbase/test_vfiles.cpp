// Virtual files: insertion modes against a stable-sorted oracle, pops,
// positioning distances, errors with their texts, and the virtual-file
// dataset with its disk copies (read back by python3-dbfread).
#include <algorithm>
#include <random>

#include "base/support_clock.h"
#include "dataset_support.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dataset/lldataset.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/vfile/vfiles.h"

namespace zeb::xbase::test {
namespace {

class VFiles : public DatasetTest {
 protected:
  // A virtual file with one C(8) field in the current area.
  void OpenVirtual(const std::string& options = "") {
    buffer.assign(1 + 9, 0);
    Select(0);
    USE("*1* VIRTUAL FILE" + options, buffer.data(), buffer.size());
    ASSERT_EQ(TzCurrentError(), 0);
    AddStru({{"KEY", 'C', 8, 0, 0}});
    ASSERT_EQ(TzCurrentError(), 0);
  }
  void Add(const std::string& key) {
    WorkArea& a = *CurrentWorkArea();
    SetBufferText(a, 1, key);
    a.recordBuffer[0] = 0;
    Append();
    ASSERT_EQ(TzCurrentError(), 0);
  }
  std::vector<std::string> All() {
    std::vector<std::string> out;
    for (std::int32_t i = 1; i <= RecCount(); ++i) {
      GO(i);
      out.push_back(AllTrimText(BufferText(*CurrentWorkArea(), 1)));
    }
    return out;
  }
  std::vector<std::uint8_t> buffer;
};

TEST_F(VFiles, FifoAndLifoPops) {
  for (const char* mode : {" FIFO", " LIFO"}) {
    SCOPED_TRACE(mode);
    OpenVirtual(mode);
    Add("A");
    Add("B");
    Add("C");
    std::string popped;
    for (int i = 0; i < 3; ++i) {
      PopRec();
      popped += AllTrimText(BufferText(*CurrentWorkArea(), 1));
    }
    EXPECT_EQ(popped, std::string(mode) == " FIFO" ? "ABC" : "CBA");
    EXPECT_EQ(RecCount(), 0);
    SetTzErrorSwitch(false);
    PopRec();
    EXPECT_EQ(TzCurrentError(), 1100);
    EXPECT_EQ(Engine().lastErrorText, std::string("Leere virtuelle Datei: POP unmöglich von *1* [(PopRec) VFiles]"_ansi));
    SetTzErrorSwitch(true);
    CloseArea();
  }
}

TEST_F(VFiles, SortedInsertsEqualAStableSortedOracle) {
  for (LStatusType mode : {ASCENDING, DESCENDING}) {
    SCOPED_TRACE(mode == ASCENDING ? "ascending" : "descending");
    OpenVirtual(mode == ASCENDING ? " ASCENDING" : " DESCENDING");
    WorkArea* a = CurrentWorkArea();
    // The key is the first letter; the whole text tells equal keys apart.
    Set_VFileKey_To([a] { return BufferText(*a, 1).substr(0, 1); });
    std::mt19937 rng(mode);
    std::vector<std::string> oracle;
    for (int i = 0; i < 300; ++i) {
      const std::string k = std::string(1, static_cast<char>('A' + rng() % 6)) + std::to_string(i);
      Add(k);
      // Equal keys: before an equal head, after an equal tail; in between
      // the new record follows an equal one.
      oracle.push_back(k);
    }
    std::vector<std::string> got = All();
    // Keys ordered as asked.
    for (std::size_t i = 1; i < got.size(); ++i)
      EXPECT_TRUE(mode == ASCENDING ? got[i - 1][0] <= got[i][0] : got[i - 1][0] >= got[i][0]) << i;
    std::vector<std::string> sortedOracle = oracle;
    std::sort(sortedOracle.begin(), sortedOracle.end());
    std::vector<std::string> sortedGot = got;
    std::sort(sortedGot.begin(), sortedGot.end());
    EXPECT_EQ(sortedGot, sortedOracle);
    CloseArea();
  }
  // With distinct keys the order is exactly the sorted one.
  OpenVirtual(" ASCENDING");
  WorkArea* a = CurrentWorkArea();
  Set_VFileKey_To([a] { return BufferText(*a, 1); });
  std::vector<std::string> keys;
  std::mt19937 rng(5);
  for (int i = 0; i < 200; ++i) keys.push_back(std::to_string(10000 + rng() % 89999) + "_" + std::to_string(i % 10));
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  for (const auto& k : keys) Add(k.substr(0, 8));
  std::vector<std::string> want;
  for (const auto& k : keys) want.push_back(k.substr(0, 8));
  std::stable_sort(want.begin(), want.end(), [](const std::string& x, const std::string& y) {
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
      return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
    });
  });
  EXPECT_EQ(All(), want);
}

TEST_F(VFiles, HeadAndTailTieRules) {
  OpenVirtual(" ASCENDING");
  WorkArea* a = CurrentWorkArea();
  Set_VFileKey_To([a] { return BufferText(*a, 1).substr(0, 1); });
  Add("B1");
  Add("D1");
  Add("B2");  // equal to the head: first
  Add("D2");  // equal to the tail: last
  EXPECT_EQ(All(), (std::vector<std::string>{"B2", "B1", "D1", "D2"}));
}

TEST_F(VFiles, InOrderAppendsCostOneKeyCallEach) {
  OpenVirtual(" ASCENDING");
  WorkArea* a = CurrentWorkArea();
  Set_VFileKey_To([a] { return BufferText(*a, 1); });
  VFileCounter() = {};
  for (int i = 0; i < 2000; ++i) Add(std::to_string(10000000 + i));
  EXPECT_LE(VFileCounter().keyCalls, 2u * 2000u);
  // Positioning walks from the nearest of head, tail and current.
  std::mt19937 rng(3);
  std::int32_t cur = RecNo();
  const std::int32_t n = RecCount();
  for (int i = 0; i < 2000; ++i) {
    const std::int32_t t = 1 + static_cast<std::int32_t>(rng() % static_cast<unsigned>(n));
    const std::uint64_t before = VFileCounter().walkSteps;
    GO(t);
    const std::int64_t nearest = std::min<std::int64_t>({t - 1, n - t, std::llabs(t - cur)});
    ASSERT_EQ(static_cast<std::int64_t>(VFileCounter().walkSteps - before), nearest) << t << " from " << cur;
    cur = t;
  }
}

TEST_F(VFiles, ModesPositionsAndErrors) {
  OpenVirtual();
  SetTzErrorSwitch(false);
  Add("A");
  Set_VFileMode_To(ASCENDING);  // one record: allowed
  EXPECT_EQ(TzCurrentError(), 0);
  Set_VFileMode_To(FIFO);
  Add("B");
  Set_VFileMode_To(ASCENDING);
  EXPECT_EQ(TzCurrentError(), 1100);
  EXPECT_EQ(Engine().lastErrorText,
            std::string("Sortiermodus kann nicht gesetzt werden: Virtuelle Datei enthält Datensätze. (*1*) [(Set_VFileMode_To) VFiles]"_ansi));
  EXPECT_EQ(Get_VFileMode(), FIFO);
  SortVFile(ASCENDING);
  EXPECT_EQ(TzCurrentError(), 1100);
  EXPECT_EQ(Engine().lastErrorText,
            std::string("*1* hat keine Schlüsselfunktion.  Datensätze können nicht sortiert werden. [SortVFile]"_ansi));
  Set_VFileKey_To([] { return std::string("k"); });
  SortVFile(LIFO);
  EXPECT_EQ(TzCurrentError(), 220);
  GO(0);
  EXPECT_EQ(TzCurrentError(), 212);
  GO(3);
  EXPECT_EQ(TzCurrentError(), 212);
  AddStru({{"X", 'Q', 1, 0, 0}});
  EXPECT_EQ(TzCurrentError(), 211);
  EXPECT_EQ(Engine().lastErrorText, std::string("Ungültiger Typ \"Q\" in VFile-Felderliste. Alias= *1* [AddStru]"_ansi));
  AddStru({{"X", 'C', 0, 0, 0}});
  EXPECT_EQ(TzCurrentError(), 211);
  // Out of memory: 217 and the list unchanged.
  SetVFileAllocFailures(1);
  WorkArea& a = *CurrentWorkArea();
  SetBufferText(a, 1, "C");
  Append();
  EXPECT_EQ(TzCurrentError(), 217);
  EXPECT_EQ(RecCount(), 2);
  // Pack of all-deleted records leaves the file empty.
  GO(1);
  DeleteRec();
  GO(2);
  DeleteRec();
  Pack();
  EXPECT_EQ(RecCount(), 0);
  EXPECT_TRUE(dEOF() && dBOF());
  // Commands on an area without a virtual file.
  CloseArea();
  SnipRec();
  EXPECT_EQ(TzCurrentError(), 215);
  SetTzErrorSwitch(true);
}

class VFileDataset : public DatasetTest {};

TEST_F(VFileDataset, InsertionAppendsAndSorting) {
  TTzVFile v("VF");
  v.dbfFields = {"NAME, C, 8, 0", "NUM, N, 5, 0", "TXT, M, 10, 0"};
  v.SetAppendMode(INSERTION);
  v.Open();
  EXPECT_EQ(v.FieldByName("TXT").Type(), TFieldType::LargeInt);  // memo as number
  for (const char* n : {"B", "D"}) {
    v.Append();
    v.FieldByName("NAME").SetAsString(n);
    v.Post();
  }
  // At the end it lands last; elsewhere before the current record.
  v.First();
  v.Next();  // on D
  v.Insert();
  v.FieldByName("NAME").SetAsString("C");
  v.Post();
  v.Append();
  v.FieldByName("NAME").SetAsString("E");
  v.Post();
  std::vector<std::string> names;
  for (v.First(); !v.Eof(); v.Next()) names.push_back(v.FieldByName("NAME").AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"B", "C", "D", "E"}));
  // Descending without a key maker sorts by the first field.
  v.SetAppendMode(DESCENDING);
  names.clear();
  for (v.First(); !v.Eof(); v.Next()) names.push_back(v.FieldByName("NAME").AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"E", "D", "C", "B"}));
  // Two opens give two names.
  TTzVFile w("VG");
  w.dbfFields = {"A, C, 1, 0"};
  w.Open();
  EXPECT_NE(w.VirtualName(), v.VirtualName());
}

CLOCK_TEST_F(VFileDataset, DiskCopies) {
  const std::string path = dir / "disk.dbf";
  {
    TTzVFile v("VF");
    v.dbfFields = {"NAME, C, 8, 0", "NUM, N, 5, 0", "DAY, D, 8, 0"};
    v.SetDbfFileName(path);
    v.saveToDisk = true;
    v.SetHideDeletedRecs(true);
    v.Open();
    for (int i = 1; i <= 4; ++i) {
      v.Append();
      v.FieldByName("NAME").SetAsString("R" + std::to_string(i));
      v.FieldByName("NUM").SetAsInteger(i);
      v.FieldByName("DAY").SetAsDateTime(YmdToDateTime(2026, 1, i));
      v.Post();
    }
    v.First();
    v.Delete();  // hidden records are not written
    v.Close();
  }
  ASSERT_TRUE(std::filesystem::exists(path));
  if (HaveDbfreadPeer()) {
    std::string out;
    ASSERT_EQ(RunPython(dir,
                        "import dbfread\n"
                        "for r in dbfread.DBF('" + path + "', load=True):\n"
                        "    print(r['NAME'], r['NUM'], r['DAY'])\n",
                        out),
              0)
        << out;
    EXPECT_EQ(out, "R2 2 2026-01-02\nR3 3 2026-01-03\nR4 4 2026-01-04\n");
  }
  // Read back in LIFO mode: the file's order is kept.
  {
    TTzVFile v("VR");
    v.dbfFields = {"NAME, C, 8, 0", "NUM, N, 5, 0", "DAY, D, 8, 0"};
    v.SetDbfFileName(path);
    v.populateFromDisk = true;
    v.SetAppendMode(LIFO);
    v.Open();
    std::vector<std::string> names;
    for (v.First(); !v.Eof(); v.Next()) names.push_back(v.FieldByName("NAME").AsString());
    EXPECT_EQ(names, (std::vector<std::string>{"R2", "R3", "R4"}));
    EXPECT_FALSE(v.IsModified());
  }
  // An unchanged dataset writes nothing at close.
  const auto stamp = std::filesystem::last_write_time(path);
  {
    TTzVFile v("VU");
    v.dbfFields = {"NAME, C, 8, 0", "NUM, N, 5, 0", "DAY, D, 8, 0"};
    v.SetDbfFileName(path);
    v.saveToDisk = true;
    v.populateFromDisk = true;
    v.Open();
    EXPECT_EQ(v.RecCount(), 3);
  }
  EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
  // Other fields than the file's: 266, nothing read or written.
  TTzVFile m("VM");
  m.dbfFields = {"NAME, C, 20, 0"};
  m.SetDbfFileName(path);
  m.Open();
  EXPECT_THROW(m.ReadFromDisk(), ETzError);
  EXPECT_EQ(m.RecCount(), 0);
  m.Append();
  m.FieldByName("NAME").SetAsString("X");
  m.Post();
  m.dbfFields = {"NAME, C, 30, 0"};  // no longer the virtual file's fields
  EXPECT_THROW(m.WriteToDisk(), ETzError);
  EXPECT_EQ(m.RecCount(), 1);
  TTzDbf check("CHK");
  check.SetDbfFileName(path);
  check.Open();
  EXPECT_EQ(check.RecCount(), 3);
}

}  // namespace
}  // namespace zeb::xbase::test
