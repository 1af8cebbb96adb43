// Every writing command of the file dataset on a dBase III and a dBase IV
// table with memos, cut at byte limits around every write (a file size
// limit in a child process) and on a full file system (the writes may grow
// the files by so many bytes in all). After each cut an independent reader
// (dbfread under /usr/bin/python3) reads every table: it is whole and reads
// as before or as meant (appends: the first records meant), no record
// twice; and what the user was told matches: nothing changed only when
// nothing did, the count appended as the table holds it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dataset_support.h"
#include "failure_tables.h"
#include "platform/codepage.h"
#include "xbase/dataset/filedataset.h"

namespace zeb::xbase::test {
namespace {

namespace fs = std::filesystem;
namespace fr = zeb::test::failure_roads;
using namespace failure_judges;

struct Command {
  const char* name;
  std::function<void(TTzDbf&, const fs::path&)> action;
  std::function<void(TTzDbf&)> position = nullptr;
  bool sorted = false;  // a view sorted by NAME through an index in the temporary folder
  bool appendsMany = false;
};

void Memo(TTzDbf& ds, const std::string& text) {
  TTzBlobStream(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write).Write(text.data(), static_cast<std::int32_t>(text.size()));
}

// Each command on the open table, the record found and the fields typed
// first (before the cut): the cut falls on the command's writes.
const Command kCommands[] = {
    {"Edit", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.Go(3), ds.Edit(), ds.FieldByName("NAME").SetAsString("Geaendert"); }},
    {"Delete", [](TTzDbf& ds, const fs::path&) { ds.Delete(); }, [](TTzDbf& ds) { ds.Go(2); }},
    {"Recall", [](TTzDbf& ds, const fs::path&) { ds.SetDeletedFlag(false); }, [](TTzDbf& ds) { ds.Go(4); }},
    {"NewRow", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.Append(), ds.FieldByName("NAME").SetAsString("Neu"); }},
    {"NewRowMemo", [](TTzDbf& ds, const fs::path&) { Memo(ds, FailureMemoText("Neu")), ds.Post(); },
     [](TTzDbf& ds) { ds.Append(), ds.FieldByName("NAME").SetAsString("Neu"); }},
    {"MemoEdit", [](TTzDbf& ds, const fs::path&) { Memo(ds, std::string(900, 'z')), ds.Post(); },
     [](TTzDbf& ds) { ds.Go(2), ds.Edit(); }},
    {"IndexOn", [](TTzDbf& ds, const fs::path& root) { ds.IndexOn("NUM", (root / "n.ndx").string()); }},
    {"Create",
     [](TTzDbf&, const fs::path& root) {
       TTzDbf made("C");
       made.dbfFields = {"NAME, C, 10, 0", "NOTE, M, 10, 0"};
       made.SetDbfFileName((root / "c.dbf").string());
       made.Open();
       made.Close();
     }},
    {"AppendDelimited", [](TTzDbf& ds, const fs::path& root) { ds.AppendFromDelimited((root / "d.txt").string()); },
     nullptr, false, true},
    {"AppendFrom", [](TTzDbf& ds, const fs::path& root) { ds.AppendFrom((root / "s.dbf").string()); }, nullptr, false,
     true},
    {"Pack", [](TTzDbf& ds, const fs::path&) { ds.Pack(); }},
    {"CopyToDelimited", [](TTzDbf& ds, const fs::path& root) { ds.CopyToDelimited((root / "out.txt").string()); }},
    {"SortedEdit", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.First(), ds.Edit(), ds.FieldByName("NAME").SetAsString("Z1"); }, true},
    {"SortedNewRow", [](TTzDbf& ds, const fs::path&) { ds.Post(); },
     [](TTzDbf& ds) { ds.Append(), ds.FieldByName("NAME").SetAsString("Neu"); }, true},
};

struct Layout {
  const char* name;
  std::uint8_t version;
};
const Layout kLayouts[] = {{"dBase3", 0x83}, {"dBase4", 0x8B}};

// How a run is cut: a file size limit, or room on the file system.
enum class Cut { SizeLimit, FullDisk };

struct Case {
  Command command;
  Layout layout;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.command.name << "_" << c.layout.name; }

std::string Shown(const std::string& what) { return ToUtf8(CodePage::Cp1252, UserFailureText(what)); }

// The tables as dbfread reads them, one text per folder and table, with
// the header's count, the file's length and end mark and the memo file's
// next free block checked against the records.
const char* const kReader = R"(
import sys, os, struct, dbfread, dbfread.memo as memos
# A dBase IV memo's stored length counts its 8-byte head.
def db4(self, index):
    if index <= 0:
        return None
    self._seek(index * 512)
    return self._read(memos.DB4MemoHeader.read(self.file).length - 8)
memos.DB4MemoFile.__getitem__ = db4
# A negative reference in a dBase III table: a memo stored with the same
# head (FF FF 08 00 and its length), at the block of its absolute value.
db3 = memos.DB3MemoFile.__getitem__
def db3headed(self, index):
    if index is not None and index < 0:
        self._seek(-index * 512)
        head = self._read(8)
        if head[:4] != b'\xff\xff\x08\x00':
            raise ValueError('block %d holds no memo' % -index)
        return self._read(struct.unpack('<I', head[4:8])[0] - 8)
    return db3(self, index)
memos.DB3MemoFile.__getitem__ = db3headed
for folder in sys.argv[1:]:
    for name in ('t.dbf', 'c.dbf'):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            print(folder, name, 'absent'); continue
        try:
            raw = open(path, 'rb').read()
            count, head, length = struct.unpack('<IHH', raw[4:12])
            end = head + count * length
            if not (len(raw) == end or (len(raw) == end + 1 and raw[end] == 0x1A)):
                raise ValueError('length %d for %d records' % (len(raw), count))
            memo = os.path.join(folder, name[:-3] + 'dbt')
            refs = []
            if raw[0] in (0x83, 0x8B):
                m = open(memo, 'rb').read()
                nxt = struct.unpack('<I', m[0:4])[0]
                for r in range(count):
                    ref = raw[head + r * length + 16: head + r * length + 26].strip()
                    if ref and abs(int(ref)) >= nxt:
                        raise ValueError('memo block %s past the next free block %d' % (ref, nxt))
            t = dbfread.DBF(path, encoding='cp850', load=True)
            rows = [('*' if d else ' ') + repr(sorted(r.items())) for d, rs in ((0, t.records), (1, t.deleted)) for r in rs]
            print(folder, name, len(t.records) + len(t.deleted), '|'.join(sorted(rows)))
        except Exception as e:
            print(folder, name, 'unreadable:', type(e).__name__, e)
)";

class WholeWrites : public DatasetTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    CheckFolder() = dir.path();
    fs::create_directories(dir / "template");
  }
  void Engine(std::uint8_t version) {
    ResetTzEngine();
    SetTzCallback(callback);
    InitTableEngineUnits();
    zeb::xbase::Engine().newTableVersion = version;
  }

  // One run in a child process on a fresh copy of the tables: the texts told.
  std::string Run(const fs::path& root, const Case& c, Cut cut, long limit) {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::copy(dir / "template", root, fs::copy_options::recursive);
    fs::create_directories(root / "tmp");
    int fds[2];
    if (::pipe(fds) != 0) return "pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
      Engine(c.layout.version);
      std::string told;
      const auto step = [&](const std::function<void()>& f) {
        try {
          f();
        } catch (const std::exception& e) {
          told += Shown(e.what()) + " | ";
        }
      };
      TTzDbf ds("T");
      step([&] {
        ds.SetDbfFileName((root / "t.dbf").string());
        ds.Open();
        ds.SetIndexToLFN((root / "t.ndx").string(), 1);
        if (c.command.sorted) ds.IndexOn("NAME", (root / "tmp" / "sort.ndx").string());
        if (c.command.position) c.command.position(ds);
      });
      if (limit >= 0) {
        if (cut == Cut::SizeLimit) {
          std::signal(SIGXFSZ, SIG_IGN);
          rlimit r{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
          ::setrlimit(RLIMIT_FSIZE, &r);
        } else {
          zeb::test::FileFaultPlan plan;
          plan.in = root.string();
          plan.room = limit;
          zeb::test::ArmFileFaults(plan);
        }
      }
      if (ds.Active()) step([&] { c.command.action(ds, root); });
      step([&] {
        if (ds.Active()) ds.Close();
      });
      for (const auto& e : callback->events)
        if (e.kind == "box") told += ToUtf8(CodePage::Cp1252, e.text) + " | ";
      (void)!::write(fds[1], told.data(), told.size());
      ::_exit(0);
    }
    ::close(fds[1]);
    std::string told;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) told.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) told += "(the run died: status " + std::to_string(status) + ")";
    return told;
  }

  // Each folder's tables as the reader reads them: folder -> table -> text.
  std::map<std::string, std::map<std::string, std::string>> Read(const std::vector<std::string>& folders) {
    std::map<std::string, std::map<std::string, std::string>> out;
    const std::string script = dir / "reader.py";
    WriteBytes(script, kReader);
    std::string cmd = "/usr/bin/python3 '" + script + "'";
    for (const std::string& f : folders) cmd += " '" + f + "'";
    std::string text;
    EXPECT_EQ(RunCommand(cmd + " 2>&1", text), 0) << text;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      const std::size_t a = line.find(' '), b = line.find(' ', a + 1);
      if (a == std::string::npos || b == std::string::npos) continue;
      out[line.substr(0, a)][line.substr(a + 1, b - a - 1)] = line.substr(b + 1);
    }
    return out;
  }
};

// The limits a run is cut at: every byte up to the end of the table file
// and a record past it; beyond, around every 512-byte block edge and every
// file's end, and every 37th byte between.
std::vector<long> Limits(long every, long top, const std::set<long>& ends) {
  std::set<long> at;
  for (long l = 0; l <= std::min(top, every); ++l) at.insert(l);
  for (long l = 0; l <= top; l += 37) at.insert(l);
  for (long b = 0; b <= top + 512; b += 512)
    for (long d = -3; d <= 3; ++d) at.insert(b + d);
  for (long e : ends)
    for (long d = -3; d <= 3; ++d) at.insert(e + d);
  std::vector<long> out;
  for (long l : at)
    if (l >= 0 && l <= top + 4) out.push_back(l);
  return out;
}

// The files of the folder but the temporary folder and the index
// semaphore of shared use, which are no files of the user's.
fr::FolderImage UserFiles(const fs::path& root) {
  fr::FolderImage image = fr::ImageOf(root);
  for (auto it = image.begin(); it != image.end();)
    it = it->first.rfind("tmp/", 0) == 0 || it->first == "t.@S@" ? image.erase(it) : ++it;
  return image;
}

// The words that say the table is unchanged.
bool SaysNothingChanged(const std::string& told) {
  for (const char* w : {"unverändert", "nicht gespeichert", "kein Datensatz angehängt", "nichts angehängt",
                        "nichts gelöscht", "wie sie war", "wie er war", "wie es war", "nicht angelegt",
                        "nicht erzeugen", "nicht gepackt", "nicht beendet", "Löschmarke ist nicht gesetzt",
                        "Löschmarke bleibt"})
    if (told.find(w) != std::string::npos) return true;
  return false;
}
std::string AppendedWords(std::int32_t n) {
  return n == 1 ? "1 Datensatz angehängt" : std::to_string(n) + " Datensätze angehängt";
}

TEST_P(WholeWrites, EveryCutLeavesTheTablesWholeAndToldAsTheyAre) {
  if (!HaveDbfreadPeer()) GTEST_SKIP() << "/usr/bin/python3 with dbfread is missing";
  const Case& c = GetParam();
  Engine(c.layout.version);
  MakeFailureTables(dir / "template");
  ResetTzEngine();

  const fs::path meantRoot = dir / "meant";
  const std::string wholeTold = Run(meantRoot, c, Cut::SizeLimit, -1);
  ASSERT_EQ(wholeTold, "");
  const fr::FolderImage before = UserFiles(dir / "template"), meant = UserFiles(meantRoot);
  long top = 0;
  std::set<long> ends;
  for (const auto* image : {&before, &meant})
    for (const auto& [file, bytes] : *image) {
      top = std::max(top, static_cast<long>(bytes.size()));
      ends.insert(static_cast<long>(bytes.size()));
    }
  long grown = 0;
  for (const auto& [file, bytes] : meant)
    grown += std::max(0L, static_cast<long>(bytes.size()) - (before.count(file) ? static_cast<long>(before.at(file).size()) : 0L));

  // Each distinct outcome once: the files after the run and the texts told.
  struct Seen {
    fr::FolderImage after;
    std::string told, folder, where;
  };
  std::map<std::pair<fr::FolderImage, std::string>, Seen> outcomes;
  int runs = 0;
  for (const Cut cut : {Cut::SizeLimit, Cut::FullDisk}) {
    const long every = static_cast<long>(before.at("t.dbf").size()) + 64;
    const std::vector<long> limits = cut == Cut::SizeLimit ? Limits(every, top, ends) : Limits(every, grown + 600, ends);
    for (const long limit : limits) {
      const fs::path root = dir / "run";
      const std::string told = Run(root, c, cut, limit);
      ++runs;
      fr::FolderImage after = UserFiles(root);
      auto key = std::make_pair(after, told);
      if (outcomes.count(key) != 0) continue;
      const std::string folder = dir / ("seen" + std::to_string(outcomes.size()));
      fs::rename(root, folder);
      outcomes[key] = {std::move(after), told, folder,
                       std::string(cut == Cut::SizeLimit ? "size limit " : "room ") + std::to_string(limit)};
    }
  }
  std::vector<std::string> folders = {(dir / "template"), meantRoot.string()};
  for (const auto& [key, seen] : outcomes) folders.push_back(seen.folder);
  auto read = Read(folders);
  const auto& readBefore = read[dir / "template"];
  const auto& readMeant = read[meantRoot.string()];
  ASSERT_NE(before, meant);
  for (const auto* reading : {&readBefore, &readMeant})
    for (const auto& [table, text] : *reading) ASSERT_EQ(text.rfind("unreadable", 0), std::string::npos) << text;

  int torn = 0, mismatched = 0, duplicated = 0, readRefused = 0;
  std::string wrongs;
  for (const auto& [key, seen] : outcomes) {
    const auto& r = read[seen.folder];
    std::string why;
    bool allBefore = true, allMeant = true;
    std::int32_t gained = 0;
    for (const std::string table : {"t.dbf", "c.dbf"}) {
      const std::string& now = r.at(table);
      if (now == readBefore.at(table)) {
        allMeant = allMeant && now == readMeant.at(table);
        continue;
      }
      allBefore = false;
      if (now == readMeant.at(table)) continue;
      allMeant = false;
      // An append part-way: whole records, the first ones meant.
      const std::int32_t count = now.rfind("unreadable", 0) == 0 || now == "absent" ? -1 : std::stoi(now);
      const std::int32_t counts[] = {Count(before), Count(meant)};
      if (count > counts[1]) {
        ++duplicated;
        why += table + " holds more records than meant; ";
      } else if (c.command.appendsMany && table == "t.dbf" && count > counts[0] && seen.after.count("t.dbf") &&
                 AppendedPart({}, AppendedWords(count - counts[0]), before, meant, seen.after).empty()) {
        gained = count - counts[0];
      } else {
        ++torn;
        const std::string& was = readBefore.at(table);
        std::size_t d = 0;
        while (d < now.size() && d < was.size() && now[d] == was[d]) ++d;
        why += table + " torn (reads " + now.substr(d > 60 ? d - 60 : 0, 200) + " where before " +
               was.substr(d > 60 ? d - 60 : 0, 200) + "); ";
      }
    }
    // Files other than tables: as before, as meant; the table's index holds
    // the table or is told not brought up to date.
    for (const auto* image : {&before, &meant, &seen.after})
      for (const auto& [file, bytes] : *image) {
        if (file.find(".dbf") != std::string::npos || file.find(".dbt") != std::string::npos) continue;
        const auto get = [&](const fr::FolderImage& i) { return i.count(file) ? i.at(file) : std::string("\1absent"); };
        const std::string a = get(seen.after);
        if (a == get(before) || a == get(meant)) {
          allBefore = allBefore && a == get(before);
          allMeant = allMeant && a == get(meant);
          continue;
        }
        allBefore = allMeant = false;
        if (file == "t.ndx" && (IndexHoldsTheTable(seen.after).empty() || IndexTold(seen.told))) continue;
        ++torn;
        why += file + " half-written; ";
      }
    const bool nothing = SaysNothingChanged(seen.told);
    // A file size limit below the size of the index's semaphore file refuses
    // its overwrite in place (no full disk does): the index cannot be read
    // before the command writes anything. Counted apart, not judged here.
    if (why.empty() && allBefore && !nothing && seen.told.find(".@S@") != std::string::npos) {
      ++readRefused;
      continue;
    }
    if (why.empty()) {
      if (allBefore && !allMeant && (seen.told.empty() || !nothing)) why = "the tables are as before, told otherwise";
      if (allMeant && nothing) why = "the change is on disk, told it is not";
      if (gained > 0 && (nothing || (seen.told.find(AppendedWords(gained)) == std::string::npos &&
                                     (gained != 1 || seen.told.find("Der Datensatz ist angehängt") == std::string::npos))))
        why = std::to_string(gained) + " records appended, told otherwise";
      if (!why.empty()) ++mismatched;
      if (!why.empty() && std::getenv("ZEB1_WHOLE_READS") != nullptr)
        why += "\n  after " + r.at("t.dbf") + "\n  before " + readBefore.at("t.dbf") + "\n  meant " + readMeant.at("t.dbf");
    }
    if (!why.empty()) wrongs += seen.where + ": " + why + " told \"" + seen.told + "\"\n";
  }
  EXPECT_EQ(torn + mismatched + duplicated, 0)
      << torn << " torn, " << mismatched << " mismatched, " << duplicated << " duplicated of " << runs << " runs ("
      << outcomes.size() << " outcomes; " << readRefused << " refused the index's semaphore)\n"
      << wrongs;
}

std::vector<Case> Cases() {
  std::vector<Case> out;
  for (const Command& c : kCommands)
    for (const Layout& l : kLayouts) out.push_back({c, l});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Commands, WholeWrites, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& i) {
                           return std::string(i.param.command.name) + "_" + i.param.layout.name;
                         });

}  // namespace
}  // namespace zeb::xbase::test

namespace zeb::xbase::test {
namespace {

// Pack of a table whose file or memo file has a second name (a hard link):
// refused, naming why, and every name keeps the table as it was.
class PackLinked : public DatasetTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PackLinked, RefusesAndEveryNameKeepsTheTable) {
  const std::string linked = GetParam();
  MakeFailureTables(dir.path(), false);
  const std::string second = dir / ("second." + linked.substr(2));
  fs::create_hard_link(dir / linked, second);
  const fr::FolderImage before = fr::ImageOf(dir.path());
  TTzDbf ds("T");
  ds.SetDbfFileName(dir / "t.dbf");
  ds.Open();
  std::string told;
  try {
    ds.Pack();
  } catch (const std::exception& e) {
    told = Shown(e.what());
  }
  ds.Close();
  EXPECT_NE(told.find("weitere Namen"), std::string::npos) << told;
  EXPECT_NE(told.find("unverändert"), std::string::npos) << told;
  EXPECT_EQ(fr::ImageOf(dir.path()), before);
  EXPECT_TRUE(fs::equivalent(dir / linked, second));
}

INSTANTIATE_TEST_SUITE_P(Files, PackLinked, ::testing::Values("t.dbf", "t.dbt"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                           return std::string(i.param).substr(2);
                         });

}  // namespace
}  // namespace zeb::xbase::test
