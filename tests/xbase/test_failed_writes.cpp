// Writes that fail as on a full disk, in every write road of the file
// dataset (an edit, a new row, Append dbf with and without memos, Append
// delimited, Pack): the failure names the disk and counts the records that
// went in; another process then takes every lock the action took, the
// kernel lists none of this process in the table's lock region, the
// dataset is in browse mode and the file whole. With room again the same
// dataset edits and appends, and closing it leaves no semaphore file.
#include <filesystem>
#include <functional>
#include <optional>

#include "dataset_support.h"
#include "full_disk.h"
#include "platform/codepage.h"
#include "xbase/core/ansi_literal.h"
#include "xbase/dataset/filedataset.h"

namespace zeb::xbase::test {
namespace {

namespace fs = std::filesystem;
using ::zeb::test::DiskFullFrom;
using ::zeb::test::KernelLocks;
using ::zeb::test::LockedForOthers;
using ::zeb::test::LockRange;

constexpr std::int64_t kLockBase = 0x40000000;
constexpr std::int64_t kLockRegion = 0x40000000;  // the base byte and the file lock's range

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// The table as its bytes hold it: NAME at offset 1, NUM at 11, NOTE at 16.
struct DbfImage {
  explicit DbfImage(const std::string& path)
      : bytes(ReadBytes(path)), count(static_cast<std::int32_t>(Le(bytes, 4, 4))),
        header(Le(bytes, 8, 2)), length(Le(bytes, 10, 2)) {}
  // The header's count, the records and the end mark agree; every record
  // starts with a deletion flag.
  bool Whole() const {
    const std::size_t end = header + static_cast<std::size_t>(count) * length;
    if (bytes.size() != end && !(bytes.size() == end + 1 && bytes[end] == '\x1A')) return false;
    for (std::int32_t r = 1; r <= count; ++r)
      if (Text(r, 0, 1) != " " && Text(r, 0, 1) != "*") return false;
    return true;
  }
  std::string Text(std::int32_t record, std::size_t offset, std::size_t n) const {
    return bytes.substr(header + static_cast<std::size_t>(record - 1) * length + offset, n);
  }
  std::string Name(std::int32_t record) const {
    std::string s = Text(record, 1, 10);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
  std::string bytes;
  std::int32_t count;
  std::uint32_t header, length;
};

std::string MemoText(const std::string& name) { return name + " " + std::string(300, 'm'); }

// The memo a record's NOTE names, as the dBASE IV memo file holds it.
std::string StoredMemo(const std::string& memoPath, const DbfImage& t, std::int32_t record) {
  const std::string m = ReadBytes(memoPath);
  const std::uint32_t blockSize = Le(m, 20, 2);
  const std::size_t at = static_cast<std::size_t>(std::stoul(t.Text(record, 16, 10))) * blockSize;
  if (m.size() < at + 8 || m.compare(at, 4, "\xFF\xFF\x08\x00", 4) != 0) return "(no memo)";
  return m.substr(at + 8, Le(m, at + 4, 4) - 8);
}

struct Paths {
  std::string table, memo, source, text, index, semaphore;
};

struct Road {
  const char* name;
  bool memo = false;    // tables with a memo field
  bool sorted = false;  // a sort index open, as after a column click
  std::function<void(TTzDbf&)> prepare{};
  // The first file offset no write may reach.
  std::function<std::int64_t(const Paths&, const DbfImage&)> fullFrom{};
  std::function<void(TTzDbf&, const Paths&)> action{};
  std::int32_t appended = -1;  // counted in the message; -1 no count, -2 as many as the file gained
  const char* consequence = "";
  bool callerHoldsFileLock = false;
};

void PrintTo(const Road& r, std::ostream* os) { *os << r.name; }

class FailedWrites : public DatasetTest, public ::testing::WithParamInterface<Road> {
 protected:
  std::string Table(const std::string& name, int records, bool memo, const std::string& prefix) {
    std::vector<FieldDesc> fields = {{"NAME", 'C', 10, 0, 0}, {"NUM", 'N', 5, 0, 0}};
    if (memo) fields.push_back({"NOTE", 'M', 10, 0, 0});
    const std::string path = MakeTable(name, fields);
    TTzDbf ds("FILL");
    ds.SetDbfFileName(path);
    ds.Open();
    for (int i = 1; i <= records; ++i) {
      ds.Append();
      ds.FieldByName("NAME").SetAsString(prefix + std::to_string(i));
      ds.FieldByName("NUM").SetAsInteger(i);
      if (memo) {
        const std::string text = MemoText(prefix + std::to_string(i));
        TTzBlobStream w(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write);
        w.Write(text.data(), static_cast<std::int32_t>(text.size()));
      }
      ds.Post();
    }
    return path;
  }
  std::string Delimited(const std::string& name, int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += "\"D" + std::to_string(i) + "\"," + std::to_string(i) + "\r\n";
    WriteBytes(dir / name, text + "\x1A");
    return dir / name;
  }
  // What another program cannot lock now: the table's lock region, its
  // opening (a shared open), the memo's lock byte, the semaphore record.
  std::string Locked(const Paths& p) const {
    std::vector<LockRange> r = {{"table", p.table, kLockBase, kLockRegion},
                                {"open", p.table, kShareLockByte, 1, F_RDLCK}};
    if (!p.memo.empty()) r.push_back({"memo", p.memo, 10, 1});
    if (!p.semaphore.empty() && fs::exists(p.semaphore)) r.push_back({"semaphore", p.semaphore, 1, 4});
    return LockedForOthers(r);
  }
};

// Record 3 changed in the sorted view; the disk takes no record write.
const Road kEdit{
    .name = "Edit",
    .sorted = true,
    .fullFrom = [](const Paths&, const DbfImage& t) { return std::int64_t{t.header + t.length}; },
    .action =
        [](TTzDbf& ds, const Paths&) {
          ds.Go(3);
          ds.Edit();
          ds.FieldByName("NAME").SetAsString("CHANGED");
          ds.Post();
        },
    .consequence = "Ihre Änderung ist nicht gespeichert.",
};

// A new row in the sorted view; the disk is full at the table's end.
const Road kNewRow{
    .name = "NewRow",
    .sorted = true,
    .fullFrom = [](const Paths& p, const DbfImage&) { return static_cast<std::int64_t>(fs::file_size(p.table)); },
    .action =
        [](TTzDbf& ds, const Paths&) {
          ds.Append();
          ds.FieldByName("NAME").SetAsString("NEW");
          ds.Post();
        },
    .appended = 0,
    .consequence = "Es wurde kein Datensatz angehängt.",
};

// 40 records appended under the caller's file lock; room for 17 and a half.
const Road kAppendDbf{
    .name = "AppendDbf",
    .fullFrom = [](const Paths&, const DbfImage& t) { return std::int64_t{t.header + (5 + 17) * t.length + t.length / 2}; },
    .action =
        [](TTzDbf& ds, const Paths& p) {
          ASSERT_TRUE(ds.FLock());
          ds.AppendFrom(p.source);
        },
    .appended = 17,
    .consequence = "17 Datensätze angehängt, die übrigen nicht.",
    .callerHoldsFileLock = true,
};

// 40 records with memos; the memo file has room for three more memos.
const Road kAppendDbfMemos{
    .name = "AppendDbfMemos",
    .memo = true,
    .fullFrom =
        [](const Paths& p, const DbfImage&) {
          const auto size = static_cast<std::int64_t>(fs::file_size(p.memo));
          return (size + 511) / 512 * 512 + 3 * 512 + 100;
        },
    .action = [](TTzDbf& ds, const Paths& p) { ds.AppendFrom(p.source); },
    .appended = -2,
    .consequence = "Datensätze angehängt, die übrigen nicht.",
};

const Road kAppendDelimited{
    .name = "AppendDelimited",
    .fullFrom = kAppendDbf.fullFrom,
    .action = [](TTzDbf& ds, const Paths& p) { ds.AppendFromDelimited(p.text); },
    .appended = 17,
    .consequence = "17 Datensätze angehängt, die übrigen nicht.",
};

// Records 1 and 2 marked; the sort index cannot be rebuilt after the pack.
const Road kPack{
    .name = "Pack",
    .sorted = true,
    .prepare =
        [](TTzDbf& ds) {
          for (const std::int32_t r : {1, 2}) {
            ds.Go(r);
            ds.Delete();
          }
        },
    .fullFrom = [](const Paths& p, const DbfImage&) { return static_cast<std::int64_t>(fs::file_size(p.table)); },
    .action = [](TTzDbf& ds, const Paths&) { ds.Pack(); },
    .consequence = "Pack ist nicht beendet.",
};

TEST_P(FailedWrites, LeaveNoLockAndTheTableEditsAgain) {
  const Road& road = GetParam();
  Paths p;
  p.table = Table("t.dbf", 5, road.memo, "N");
  if (road.memo) p.memo = dir / "t.dbt";
  p.source = Table("s.dbf", 40, road.memo, "S");
  p.text = Delimited("d.txt", 40);
  TTzDbf ds("T");
  ds.SetDbfFileName(p.table);
  ds.Open();
  if (road.sorted) {
    p.index = dir / "sort.ndx";
    p.semaphore = dir / "t.@S@";
    ds.IndexOn("NAME", p.index);
    ds.SetIndexTo(p.index);
    ASSERT_TRUE(fs::exists(p.semaphore));
  }
  if (road.prepare) road.prepare(ds);
  const DbfImage before(p.table);
  ASSERT_TRUE(before.Whole());

  std::optional<ETzWriteError> failure;
  {
    DiskFullFrom full(road.fullFrom(p, before));
    ASSERT_TRUE(full.Active());
    try {
      road.action(ds, p);
    } catch (const ETzWriteError& e) {
      failure = e;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "not told as a refused write: " << e.what();
    }
  }
  ASSERT_TRUE(failure.has_value()) << "the write did not fail";
  const std::string message = failure->what();
  EXPECT_NE(message.find("kann nicht geschrieben werden: Der Datenträger ist voll. "_ansi), std::string::npos)
      << message;
  EXPECT_NE(message.find(FromUtf8(CodePage::Cp1252, road.consequence)), std::string::npos) << message;
  EXPECT_EQ(message.find("Fehler Nr."), std::string::npos) << message;
  EXPECT_FALSE(failure->File().empty());
  EXPECT_EQ(ds.State(), DataSetState::Browse);

  // Nothing of this process is left for another program to wait for.
  if (road.callerHoldsFileLock) {
    EXPECT_EQ(Locked(p), "table");  // the caller's own lock stays its own
    ds.UnLock();
  }
  EXPECT_EQ(Locked(p), "");
  EXPECT_TRUE(KernelLocks(p.table, kLockBase, kLockBase + kLockRegion - 1).empty());
  // The kernel does list this process's shared open of the table.
  EXPECT_FALSE(KernelLocks(p.table, kShareLockByte, kShareLockByte).empty());
  if (road.memo) {
    EXPECT_TRUE(KernelLocks(p.memo, 0, INT64_MAX).empty());
  }

  // The file is whole and holds what the message counts.
  const DbfImage after(p.table);
  EXPECT_TRUE(after.Whole());
  const std::int32_t gained = after.count - before.count;
  if (road.appended == -2) {
    EXPECT_GT(gained, 0);
    EXPECT_LT(gained, 40);
    EXPECT_EQ(failure->Appended(), gained);
    EXPECT_NE(message.find(std::to_string(gained) + " Datens"), std::string::npos) << message;
  } else if (road.appended >= 0) {
    EXPECT_EQ(failure->Appended(), road.appended);
    EXPECT_EQ(gained, road.appended);
  } else {
    EXPECT_EQ(failure->Appended(), -1);
  }
  if (std::string(road.name) == "Edit") {
    EXPECT_EQ(after.Name(3), "N3");
  }
  if (std::string(road.name) == "Pack") {
    EXPECT_EQ(after.count, 3);
    for (std::int32_t r = 1; r <= 3; ++r) EXPECT_EQ(after.Name(r), "N" + std::to_string(r + 2));
  }
  const char* prefix = std::string(road.name) == "AppendDelimited" ? "D" : "S";
  for (std::int32_t r = before.count + 1; r <= after.count; ++r) {
    EXPECT_EQ(after.Name(r), prefix + std::to_string(r - before.count));
    if (road.memo) {
      EXPECT_EQ(StoredMemo(p.memo, after, r), MemoText(after.Name(r)));
    }
  }

  // With room again the same dataset edits and appends.
  ds.Go(2);
  ds.Edit();
  ds.FieldByName("NAME").SetAsString("AFTER");
  ds.Post();
  ds.Append();
  ds.FieldByName("NAME").SetAsString("LAST");
  ds.Post();
  const DbfImage again(p.table);
  EXPECT_TRUE(again.Whole());
  EXPECT_EQ(again.count, after.count + 1);
  EXPECT_EQ(again.Name(2), "AFTER");
  EXPECT_EQ(again.Name(again.count), "LAST");
  EXPECT_EQ(Locked(p), "");
  ds.Close();
  EXPECT_TRUE(KernelLocks(p.table, 0, INT64_MAX).empty());
  if (road.sorted) {
    EXPECT_FALSE(fs::exists(p.semaphore));
  }
  EXPECT_TRUE(exitCodes.empty());
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedWrites,
                         ::testing::Values(kEdit, kNewRow, kAppendDbf, kAppendDbfMemos, kAppendDelimited, kPack),
                         [](const ::testing::TestParamInfo<Road>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace zeb::xbase::test
