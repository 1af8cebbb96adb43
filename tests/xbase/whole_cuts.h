// Writes cut at byte limits around every write (a file size limit in a
// child process) and on a full file system, and the judge of what each cut
// left: every table whole by an independent reader (dbfread under
// /usr/bin/python3) and as before or as meant, no record twice, and the
// texts told matching the files.
#pragma once
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/failure_roads.h"
#include "base/test_files_support.h"
#include "support_preload/file_faults.h"
#include "xbase/failure_tables.h"
#include "xbase/x1_support.h"

namespace zeb::xbase::test::whole_cuts {

namespace fs = std::filesystem;
namespace fr = zeb::test::failure_roads;
using namespace failure_judges;

// How a run is cut: a file size limit, or room on the file system.
enum class Cut { SizeLimit, FullDisk };

// The tables as dbfread reads them, one text per folder and table, with
// the header's count, the file's length and end mark and the memo file's
// next free block checked against the records.
inline const char* const kReader = R"(
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
            print(folder, name, 'absent', sep='\t'); continue
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
            print(folder, name, len(t.records) + len(t.deleted), '|'.join(sorted(rows)), sep='\t')
        except Exception as e:
            print(folder, name, 'unreadable: %s %s' % (type(e).__name__, e), sep='\t')
)";

// The limits a run is cut at: every byte up to the end of the table file
// and a record past it; beyond, around every 512-byte block edge and every
// file's end, and every 37th byte between.
inline std::vector<long> Limits(long every, long top, const std::set<long>& ends) {
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
inline fr::FolderImage UserFiles(const fs::path& root) {
  fr::FolderImage image = fr::ImageOf(root);
  for (auto it = image.begin(); it != image.end();)
    it = it->first.rfind("tmp/", 0) == 0 || it->first == "t.@S@" ? image.erase(it) : ++it;
  return image;
}

// The words that say the table is unchanged.
inline bool SaysNothingChanged(const std::string& told) {
  for (const char* w : {"unverändert", "nicht gespeichert", "kein Datensatz angehängt", "nichts angehängt",
                        "nichts gelöscht", "wie sie war", "wie er war", "wie es war", "nicht angelegt",
                        "nicht erzeugen", "nicht gepackt", "nicht beendet", "Löschmarke ist nicht gesetzt",
                        "Löschmarke bleibt"})
    if (told.find(w) != std::string::npos) return true;
  return false;
}
inline std::string AppendedWords(std::int32_t n) {
  return n == 1 ? "1 Datensatz angehängt" : std::to_string(n) + " Datensätze angehängt";
}

// Runs body in a child process and gives the text it returns.
inline std::string InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string told = body();
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

// From here on (in a child) the writes below root are cut at limit: the
// size a file may reach, or the bytes left on the disk; a limit below 0
// cuts nothing.
inline void CutFrom(const fs::path& root, Cut cut, long limit) {
  if (limit < 0) return;
  if (cut == Cut::SizeLimit) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = static_cast<rlim_t>(limit);
    ::setrlimit(RLIMIT_FSIZE, &r);
  } else {
    zeb::test::FileFaultPlan plan;
    plan.in = root.string();
    plan.room = limit;
    zeb::test::ArmFileFaults(plan);
  }
}

// Room again after CutFrom: the user's retry.
inline void LiftCut(Cut cut) {
  if (cut == Cut::SizeLimit) {
    rlimit r{};
    ::getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = r.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &r);
  } else {
    zeb::test::DisarmFileFaults();
  }
}

// Each folder's tables as the reader reads them: folder -> table -> text.
inline std::map<std::string, std::map<std::string, std::string>> Read(const fs::path& dir,
                                                                      const std::vector<std::string>& folders) {
  std::map<std::string, std::map<std::string, std::string>> out;
  const std::string script = dir / "reader.py";
  zeb::test::WriteBytes(script, kReader);
  std::string cmd = "/usr/bin/python3 '" + script + "'";
  for (const std::string& f : folders) cmd += " '" + f + "'";
  std::string text;
  EXPECT_EQ(RunCommand(cmd + " 2>&1", text), 0) << text;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    // Tabs between folder, table and text: a folder's path may hold blanks.
    const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    out[line.substr(0, a)][line.substr(a + 1, b - a - 1)] = line.substr(b + 1);
  }
  return out;
}

// The records the table holds after each retry (the run, the count): none
// more than the meant folder's table holds.
using RetriedCounts = std::vector<std::pair<std::string, std::int32_t>>;
inline void ExpectNoRecordTwice(const fs::path& meantFolder, const RetriedCounts& counts) {
  const std::int32_t meant = Count(fr::ImageOf(meantFolder));
  int twice = 0;
  std::string where;
  for (const auto& [run, count] : counts)
    if (count > meant) ++twice, where += run + ": " + std::to_string(count) + " records\n";
  EXPECT_EQ(twice, 0) << twice << " of " << counts.size() << " retries leave more than the " << meant
                      << " records meant\n"
                      << where;
}

// One run on a fresh copy of the tables in root, cut as given: the texts told.
using CutRun = std::function<std::string(const fs::path& root, Cut cut, long limit)>;

// The tables of dir/template written by run whole (told toldWhole), then
// cut at every limit and on a full disk (or by the cuts given); each
// distinct outcome judged once:
// 0 torn, 0 mismatched and 0 duplicated.
inline void ExpectEveryCutWhole(const fs::path& dir, const CutRun& run, bool appendsMany,
                                const std::string& toldWhole = "",
                                const std::vector<Cut>& cuts = {Cut::SizeLimit, Cut::FullDisk}) {
  const fs::path meantRoot = dir / "meant";
  const std::string wholeTold = run(meantRoot, Cut::SizeLimit, -1);
  ASSERT_EQ(wholeTold, toldWhole);
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
  for (const Cut cut : cuts) {
    const long every = static_cast<long>(before.at("t.dbf").size()) + 64;
    const std::vector<long> limits = cut == Cut::SizeLimit ? Limits(every, top, ends) : Limits(every, grown + 600, ends);
    for (const long limit : limits) {
      const fs::path root = dir / "run";
      const std::string told = run(root, cut, limit);
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
  auto read = Read(dir, folders);
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
      } else if (appendsMany && table == "t.dbf" && count > counts[0] && seen.after.count("t.dbf") &&
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

}  // namespace zeb::xbase::test::whole_cuts
