// Writes that fail as on a full disk in every write road of the file
// dataset (edit, new row, Append dbf with and without memos, Append
// delimited, Pack): the failure names the disk and counts what went in;
// another process then takes every lock, the kernel lists none of ours in
// the table's lock region, the dataset browses, the file is whole; with
// room again the same dataset edits and appends, and closing it leaves no
// semaphore file.
#include <filesystem>
#include <functional>
#include <optional>

#include "dataset_support.h"
#include "full_disk.h"
#include "platform/codepage.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/core/text_utils.h"
#include "xbase/dataset/filedataset.h"

namespace zeb::xbase::test {
namespace {

namespace fs = std::filesystem;
using ::zeb::test::DiskFullFrom;
using ::zeb::test::KernelLocks;
using ::zeb::test::LockedForOthers;

constexpr std::int64_t kLockBase = 0x40000000, kLockRegion = 0x40000000;  // base byte and file lock

std::uint32_t Le(const std::string& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  while (n-- > 0) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(n)]);
  return v;
}

// The table as its bytes hold it (NAME at offset 1, NOTE at 16).
struct DbfImage {
  explicit DbfImage(const std::string& path)
      : bytes(ReadBytes(path)), count(static_cast<std::int32_t>(Le(bytes, 4, 4))), header(Le(bytes, 8, 2)),
        length(Le(bytes, 10, 2)) {}
  // The header's count, the records and the end mark agree.
  bool Whole() const {
    const std::size_t end = header + static_cast<std::size_t>(count) * length;
    bool flags = true;
    for (std::int32_t r = 1; r <= count; ++r) flags = flags && (Text(r, 0, 1) == " " || Text(r, 0, 1) == "*");
    return flags && (bytes.size() == end || (bytes.size() == end + 1 && bytes[end] == '\x1A'));
  }
  std::string Text(std::int32_t r, std::size_t at, std::size_t n) const {
    return bytes.substr(header + static_cast<std::size_t>(r - 1) * length + at, n);
  }
  std::string Name(std::int32_t r) const { return AllTrimText(Text(r, 1, 10)); }
  std::string bytes;
  std::int32_t count;
  std::uint32_t header, length;
};

std::string MemoText(const std::string& name) { return name + " " + std::string(300, 'm'); }

// The memo a record names, as the dBASE IV memo file holds it.
std::string StoredMemo(const std::string& memo, const DbfImage& t, std::int32_t r) {
  const std::string m = ReadBytes(memo);
  const std::size_t at = std::stoul(t.Text(r, 16, 10)) * Le(m, 20, 2);
  if (m.size() < at + 8 || m.compare(at, 4, "\xFF\xFF\x08\x00", 4) != 0) return "(none)";
  return m.substr(at + 8, Le(m, at + 4, 4) - 8);
}

struct Paths {
  std::string table, memo, source, text, semaphore;
};

struct Road {
  const char* name;
  bool memo, sorted;  // a memo field; a sort index open, as after a column click
  std::function<std::int64_t(const Paths&, const DbfImage&)> fullFrom;
  std::function<void(TTzDbf&, const Paths&)> action;
  std::int32_t appended;  // in the message: -1 none, -2 what the file gained
  const char* consequence;
};
void PrintTo(const Road& r, std::ostream* os) { *os << r.name; }

std::int64_t AtEnd(const Paths& p, const DbfImage&) { return static_cast<std::int64_t>(fs::file_size(p.table)); }
std::int64_t After17(const Paths&, const DbfImage& t) { return t.header + (5 + 17) * t.length + t.length / 2; }

const Road kRoads[] = {
    {"Edit", false, true, [](const Paths&, const DbfImage& t) { return std::int64_t{t.header + t.length}; },
     [](TTzDbf& ds, const Paths&) { ds.Go(3), ds.Edit(), ds.FieldByName("NAME").SetAsString("X"), ds.Post(); }, -1,
     "Ihre Änderung ist nicht gespeichert."},
    {"NewRow", false, true, AtEnd,
     [](TTzDbf& ds, const Paths&) { ds.Append(), ds.FieldByName("NAME").SetAsString("X"), ds.Post(); }, 0,
     "Es wurde kein Datensatz angehängt."},
    // Under the caller's file lock, which stays the caller's.
    {"AppendDbf", false, false, After17,
     [](TTzDbf& ds, const Paths& p) {
       ASSERT_TRUE(ds.FLock());
       ds.AppendFrom(p.source);
     },
     17, "17 Datensätze angehängt, die übrigen nicht."},
    // The memo file has room for three more memos.
    {"AppendDbfMemos", true, false,
     [](const Paths& p, const DbfImage&) {
       return (static_cast<std::int64_t>(fs::file_size(p.memo)) + 511) / 512 * 512 + 3 * 512 + 100;
     },
     [](TTzDbf& ds, const Paths& p) { ds.AppendFrom(p.source); }, -2, " angehängt, die übrigen nicht."},
    {"AppendDelimited", false, false, After17, [](TTzDbf& ds, const Paths& p) { ds.AppendFromDelimited(p.text); },
     17, "17 Datensätze angehängt, die übrigen nicht."},
    // Records 1 and 2 marked; the packed table fits, its sort index cannot
    // be built again.
    {"Pack", false, true, AtEnd,
     [](TTzDbf& ds, const Paths&) { ds.Go(1), ds.Delete(), ds.Go(2), ds.Delete(), ds.Pack(); }, -1,
     "Die Tabelle ist gepackt; ihr Index ist nicht neu aufgebaut."},
    // The packed records fit; the packed copy of the memo file does not:
    // neither file changes.
    {"PackMemo", true, false, [](const Paths&, const DbfImage&) { return std::int64_t{600}; },
     [](TTzDbf& ds, const Paths&) { ds.Go(1), ds.Delete(), ds.Go(2), ds.Delete(), ds.Pack(); }, -1,
     "Pack ist nicht beendet; die Tabelle und ihre Memodatei sind unverändert."},
};

class FailedWrites : public DatasetTest, public ::testing::WithParamInterface<Road> {
 protected:
  std::string Table(const std::string& name, int records, bool memo, const std::string& prefix) {
    std::vector<FieldDesc> fields = {{"NAME", 'C', 10, 0, 0}, {"NUM", 'N', 5, 0, 0}};
    if (memo) fields.push_back({"NOTE", 'M', 10, 0, 0});
    TTzDbf ds("FILL");
    ds.SetDbfFileName(MakeTable(name, fields));
    ds.Open();
    for (int i = 1; i <= records; ++i) {
      ds.Append();
      ds.FieldByName("NAME").SetAsString(prefix + std::to_string(i));
      if (memo) {
        const std::string text = MemoText(prefix + std::to_string(i));
        TTzBlobStream(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write).Write(text.data(), static_cast<std::int32_t>(text.size()));
      }
      ds.Post();
    }
    return ds.DbfFileName();
  }
  // What another program cannot lock: the table's lock region, a shared
  // open of it, the memo's lock byte, the semaphore record.
  static std::string Locked(const Paths& p) {
    std::vector<::zeb::test::LockRange> r = {{"table", p.table, kLockBase, kLockRegion},
                                             {"open", p.table, kShareLockByte, 1, F_RDLCK}};
    if (!p.memo.empty()) r.push_back({"memo", p.memo, 10, 1});
    if (fs::exists(p.semaphore)) r.push_back({"semaphore", p.semaphore, 1, 4});
    return LockedForOthers(r);
  }
};

TEST_P(FailedWrites, LeaveNoLockAndTheTableEditsAgain) {
  const Road& road = GetParam();
  const std::string road1 = road.name;
  Paths p{Table("t.dbf", 5, road.memo, "N"), road.memo ? dir / "t.dbt" : "", Table("s.dbf", 40, road.memo, "S"),
          dir / "d.txt", dir / "t.@S@"};
  std::string text;
  for (int i = 1; i <= 40; ++i) text += "\"D" + std::to_string(i) + "\"," + std::to_string(i) + "\r\n";
  WriteBytes(p.text, text + "\x1A");
  TTzDbf ds("T");
  ds.SetDbfFileName(p.table);
  ds.Open();
  if (road.sorted) ds.IndexOn("NAME", dir / "sort.ndx"), ds.SetIndexTo("sort.ndx");
  ASSERT_EQ(fs::exists(p.semaphore), road.sorted);
  const DbfImage before(p.table);

  std::optional<ETzWriteError> failure;
  try {
    const DiskFullFrom full(road.fullFrom(p, before));
    ASSERT_TRUE(full.Active());
    road.action(ds, p);
  } catch (const ETzWriteError& e) {
    failure = e;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "not told as a refused write: " << e.what();
  }
  ASSERT_TRUE(failure.has_value());
  const std::string said = failure->what();
  EXPECT_NE(said.find("kann nicht geschrieben werden: Die Datei überschreitet die zulässige Dateigröße. "_ansi), std::string::npos) << said;
  EXPECT_NE(said.find(FromUtf8(CodePage::Cp1252, road.consequence)), std::string::npos) << said;
  EXPECT_EQ(said.find("Fehler Nr."), std::string::npos) << said;
  EXPECT_EQ(ds.State(), DataSetState::Browse);
  if (road1 == "AppendDbf") {
    EXPECT_EQ(Locked(p), "table");
    ds.UnLock();
  }
  EXPECT_EQ(Locked(p), "");
  EXPECT_TRUE(KernelLocks(p.table, kLockBase, kLockBase + kLockRegion - 1).empty());
  EXPECT_FALSE(KernelLocks(p.table, kShareLockByte, kShareLockByte).empty());  // our open is listed

  // The file is whole and holds what the message counts.
  const DbfImage after(p.table);
  EXPECT_TRUE(after.Whole());
  const std::int32_t gained = after.count - before.count;
  EXPECT_EQ(failure->Appended(), road.appended == -2 ? gained : road.appended);
  if (road.appended != -1) {
    EXPECT_EQ(gained, std::max(0, failure->Appended()));
  }
  if (road.appended == -2) {
    EXPECT_TRUE(gained > 0 && gained < 40 && said.find(std::to_string(gained) + " Datens") != std::string::npos);
  }
  if (road1 == "Edit") {
    EXPECT_EQ(after.Name(3), "N3");
  }
  if (road1 == "Pack") {
    EXPECT_EQ(after.count, 3);
    EXPECT_EQ(after.Name(1) + after.Name(3), "N3N5");
  }
  if (road1 == "PackMemo") {
    // Unpacked: records 1 and 2 still there with their marks.
    EXPECT_EQ(after.count, before.count);
    EXPECT_EQ(after.Text(1, 0, 1) + after.Text(2, 0, 1) + after.Name(1), "**N1");
    // The memo file is named, and it still holds every record's memo.
    EXPECT_EQ(failure->File(), p.memo);
    for (std::int32_t r = 1; r <= after.count; ++r) EXPECT_EQ(StoredMemo(p.memo, after, r), MemoText(after.Name(r)));
  }
  for (std::int32_t r = before.count + 1; r <= after.count; ++r) {
    EXPECT_EQ(after.Name(r), (road1 == "AppendDelimited" ? "D" : "S") + std::to_string(r - before.count));
    if (road.memo) {
      EXPECT_EQ(StoredMemo(p.memo, after, r), MemoText(after.Name(r)));
    }
  }

  // With room again the same dataset edits and appends.
  ds.Go(2), ds.Edit(), ds.FieldByName("NAME").SetAsString("AFTER"), ds.Post();
  ds.Append(), ds.FieldByName("NAME").SetAsString("LAST"), ds.Post();
  const DbfImage again(p.table);
  EXPECT_TRUE(again.Whole());
  EXPECT_EQ(again.count, after.count + 1);
  EXPECT_EQ(again.Name(2) + " " + again.Name(again.count), "AFTER LAST");
  EXPECT_EQ(Locked(p), "");
  ds.Close();
  EXPECT_TRUE(KernelLocks(p.table, 0, INT64_MAX).empty());
  EXPECT_FALSE(fs::exists(p.semaphore));
  EXPECT_TRUE(exitCodes.empty());
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedWrites, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<Road>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace zeb::xbase::test
