// The tables the failure roads of the table engine start from: t.dbf with
// its memo file t.dbt (five records with memos, record 4 marked deleted)
// and its index t.ndx on NAME; s.dbf (six records with memos) and d.txt
// (six delimited lines) to append from; and the judges of the states an
// append or a write stopped part-way leaves.
#pragma once
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/failure_roads.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/support_ndx_checker.h"

namespace zeb::xbase::test {

inline std::string FailureMemoText(const std::string& name) { return name + " " + std::string(300, 'm'); }

inline void MakeFailureTables(const std::filesystem::path& root, bool indexed = true) {
  const std::vector<FieldDesc> fields = {{"NAME", 'C', 10, 0, 0}, {"NUM", 'N', 5, 0, 0}, {"NOTE", 'M', 10, 0, 0}};
  for (const auto& [name, count, prefix] : {std::tuple{"t.dbf", 5, "N"}, std::tuple{"s.dbf", 6, "S"}}) {
    DbfTable t;
    CreateDbf(t, (root / name).string(), fields);
    TTzDbf ds("FILL");
    ds.SetDbfFileName((root / name).string());
    ds.Open();
    for (int i = 1; i <= count; ++i) {
      ds.Append();
      ds.FieldByName("NAME").SetAsString(std::string(prefix) + std::to_string(i));
      ds.FieldByName("NUM").SetAsInteger(i);
      const std::string text = FailureMemoText(std::string(prefix) + std::to_string(i));
      TTzBlobStream(ds.FieldByName("NOTE"), TTzBlobStream::Mode::Write)
          .Write(text.data(), static_cast<std::int32_t>(text.size()));
      ds.Post();
    }
    if (std::string(name) == "t.dbf") {
      ds.Go(4), ds.Delete();
      if (indexed) ds.IndexOn("NAME", (root / "t.ndx").string());
    }
    ds.Close();
  }
  std::string text;
  for (int i = 1; i <= 6; ++i) text += "\"D" + std::to_string(i) + "\"," + std::to_string(i) + "\r\n";
  std::ofstream((root / "d.txt").string(), std::ios::binary) << text << '\x1A';
}

namespace failure_judges {
namespace fs = std::filesystem;

// Little-endian number of n bytes at `at`.
std::uint32_t Le(const std::string& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  while (n-- > 0) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(n)]);
  return v;
}
std::int32_t Count(const zeb::test::failure_roads::FolderImage& image) {
  return static_cast<std::int32_t>(Le(image.at("t.dbf"), 4, 4));
}
// The memo block record r of t.dbf names (NOTE at offset 16, 10 bytes).
std::uint32_t MemoBlock(const zeb::test::failure_roads::FolderImage& image, std::int32_t r) {
  const std::string& t = image.at("t.dbf");
  const std::size_t at = Le(t, 8, 2) + static_cast<std::size_t>(r - 1) * Le(t, 10, 2) + 16;
  return static_cast<std::uint32_t>(std::stoul(t.substr(at, 10)));
}

// The index (only) is neither as before nor as meant, and the texts say
// that it is not brought up to date.
bool IndexTold(const std::string& told) {
  return told.find("Index ist nicht nachgeführt") != std::string::npos ||
         told.find("im Index nicht nachgeführt") != std::string::npos ||
         told.find("Index ist nicht neu aufgebaut") != std::string::npos;
}

std::string IndexBehind(const zeb::test::failure_roads::States& states, const std::string& told,
                        const zeb::test::failure_roads::FolderImage&, const zeb::test::failure_roads::FolderImage&,
                        const zeb::test::failure_roads::FolderImage&) {
  for (const auto& [file, state] : states)
    if (state == zeb::test::failure_roads::State::Other && !(file == "t.ndx" && IndexTold(told)))
      return file + " half-written";
  return {};
}

// The folder where an index's bytes are read by the checker.
fs::path& CheckFolder() {
  static fs::path folder;
  return folder;
}

// The index as the independent reader finds it: a sound tree holding the
// key (NAME) of every record of the table, and nothing else.
std::string IndexHoldsTheTable(const zeb::test::failure_roads::FolderImage& after) {
  const fs::path copy = CheckFolder() / "check.ndx";
  std::ofstream(copy, std::ios::binary | std::ios::trunc) << after.at("t.ndx");
  const NdxReport r = CheckNdxFile(copy.string());
  if (!r.Ok()) return "the index is damaged: " + r.Text();
  const std::string& t = after.at("t.dbf");
  std::vector<std::pair<std::string, std::uint32_t>> keys, held;
  for (std::int32_t n = 1; n <= Count(after); ++n)
    keys.emplace_back(t.substr(Le(t, 8, 2) + static_cast<std::size_t>(n - 1) * Le(t, 10, 2) + 1, 10),
                      static_cast<std::uint32_t>(n));
  for (const NdxLeafEntry& e : r.entries) held.emplace_back(e.key, e.record);
  // The index keeps its keys in lower case.
  for (auto& [k, n] : keys)
    for (char& c : k) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  std::sort(keys.begin(), keys.end());
  std::sort(held.begin(), held.end());
  if (keys == held) return {};
  std::string why = "the index does not hold the keys of the table's records:";
  for (const auto& [k, n] : keys) why += " " + k + "#" + std::to_string(n);
  why += " / held:";
  for (const auto& [k, n] : held) why += " " + k + "#" + std::to_string(n);
  return why;
}

// An append stopped part-way: the table holds the first records it meant
// to append, as meant, and the texts count them; the memo file holds their
// memos and nothing after them (the bytes of the whole run up to the next
// record's memo); an index not brought up to date is told so.
std::string AppendedPart(const zeb::test::failure_roads::States& states, const std::string& told,
                         const zeb::test::failure_roads::FolderImage& before,
                         const zeb::test::failure_roads::FolderImage& meant,
                         const zeb::test::failure_roads::FolderImage& after) {
  if (after.count("t.dbf") == 0) return "the table is gone";
  const std::int32_t gained = Count(after) - Count(before);
  if (gained <= 0) return "the table is neither as before nor as meant";
  // The table: the whole run's records up to its count, and its end mark.
  const std::string& t = after.at("t.dbf");
  const std::size_t end = Le(t, 8, 2) + static_cast<std::size_t>(Count(after)) * Le(t, 10, 2);
  if (t.size() != end + 1 || t.compare(32, end - 32, meant.at("t.dbf"), 32, end - 32) != 0 || t[end] != '\x1A')
    return "the table holds other records than the whole run's first ones";
  if (states.count("t.dbt") != 0 && states.at("t.dbt") == zeb::test::failure_roads::State::Other) {
    // The memo file: the whole run's bytes after the header, up to where
    // the next record's memo begins at most.
    const std::string& m = after.at("t.dbt");
    const std::string& whole = meant.at("t.dbt");
    const std::uint32_t block = Le(m, 20, 2) != 0 ? Le(m, 20, 2) : 512;
    const std::int32_t next = Count(after) + 1;
    const std::size_t limit = next <= Count(meant) ? MemoBlock(meant, next) * block : whole.size();
    if (m.size() > limit || m.size() < 36 || m.compare(36, m.size() - 36, whole, 36, m.size() - 36) != 0)
      return "the memo file holds more than the appended records' memos";
  }
  const std::string n = gained == 1 ? "1 Datensatz angehängt" : std::to_string(gained) + " Datensätze angehängt";
  if (told.find(n) == std::string::npos &&
      (gained != 1 || told.find("Der Datensatz ist angehängt") == std::string::npos))
    return "the table gained " + std::to_string(gained) + " records";
  for (const auto& [file, state] : states) {
    if (state != zeb::test::failure_roads::State::Other || file == "t.dbf" || file == "t.dbt") continue;
    if (file == "t.ndx" && IndexTold(told)) continue;
    if (file != "t.ndx") return file + " half-written";
    if (const std::string why = IndexHoldsTheTable(after); !why.empty()) return why;
  }
  return {};
}

}  // namespace failure_judges

}  // namespace zeb::xbase::test
