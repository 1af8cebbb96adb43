#include "mainwin/filelist.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/dialogs.h"
#include "base/files.h"
#include "base/format.h"
#include "base/globals.h"
#include "base/mathx.h"
#include "base/text.h"
#include "mainwin/document_state.h"
#include "mainwin/documents_cmd.h"
#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/springfile.h"
#include "spring/valuetable.h"

namespace zeb {

namespace {

namespace fs = std::filesystem;

std::string Folder() {
  std::string folder = G().CurrentDataFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool IsSpringFileName(const std::string& name) {
  return name.size() > 4 && LowerStr(name.substr(name.size() - 4)) == ".zeb";
}

std::string Length(int i, int d, Real x) { return OemToAnsiStr(FormatLengthField(i, d, x)); }
std::string Force(int i, int d, Real x) { return OemToAnsiStr(FormatForceField(i, d, x)); }
std::string Stress(Real x) { return OemToAnsiStr(FormatStressField(4, 0, x)); }
std::string Number(int i, int d, Real x) { return FormatFloatField(i, d, x); }

}  // namespace

const std::array<const char*, kFileListColumns>& FileListTitles() {
  static const std::array<const char*, kFileListColumns> kTitles{
      "File", "Date  y/m/d", "No.",   "d",     "Dm",    "R",     "L0",    "L1",      "L2",       "Ln",
      "Lc",   "F1",          "F2",    "Fc",    "n",     "Material", "G",  "tauz",    "k",        "tauk1",
      "tauk2", "tauc",       "tauh",  "tauhz", "s1",    "s2",    "sn",    "sc",      "sh",       "sk",
      "tauz/k2", "tauhz/kh", "cycl. Mio.", "t life h", "m [g]"};
  return kTitles;
}

std::vector<std::string> ListSpringFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsSpringFileName(name)) continue;
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  if (names.size() > static_cast<std::size_t>(kMaxListedFiles)) names.resize(kMaxListedFiles);
  return names;
}

std::vector<std::string> FileListRowOfCurrentSpring(const std::string& name, const std::string& date) {
  const SpringDataRecord& s = SpringData();
  const bool isStatic = s.LoadType == 1;
  std::vector<std::string> r;
  r.reserve(kFileListColumns);
  r.push_back(name);
  r.push_back(date);
  r.push_back(OemToAnsiStr(s.DrawingNo));
  r.push_back(Length(3, 3, s.d));
  r.push_back(Length(3, 2, s.Dm));
  r.push_back(Number(3, 2, s.R));
  for (Real x : {s.L0, s.L1, s.L2, s.Ln, s.Lc}) r.push_back(Length(3, 2, x));
  for (Real x : {s.F1, s.F2, s.Fc}) r.push_back(Force(3, 2, x));
  r.push_back(Number(3, 2, s.n));
  r.push_back(OemToAnsiStr(ZEBWST_Record().Name1));
  r.push_back(Stress(s.G));
  r.push_back(KnownStress(s.tauzul, Stress(s.tauzul)));
  r.push_back(Number(1, 2, isStatic ? 1.0L : s.k));
  r.push_back(Stress(isStatic ? s.tau1 : s.tauk1));
  r.push_back(Stress(isStatic ? s.tau2 : s.tauk2));
  r.push_back(Stress(s.tauc));
  r.push_back(Stress(isStatic ? s.tau2 - s.tau1 : s.taukh));
  r.push_back(s.tauhzul > 0 ? Stress(s.tauhzul) : "");
  for (Real x : {s.s1, s.s2, s.sn, s.sc, s.sh}) r.push_back(Length(3, 2, x));
  r.push_back(s.sc > s.sk ? Length(3, 2, s.sk) : "");
  r.push_back(s.S2 > 0 ? Number(3, 2, s.S2) : "");
  r.push_back(SameFloat(s.Sh, 10.0L) || SameFloat(s.Sh, 0.0L) ? "" : Number(3, 2, s.Sh));
  std::string cycles, life;
  const LoadSpectrumRecord& spectrum = LoadSpectrum();
  if (spectrum.Count != 0) {
    if (spectrum.FatigueProof != 0) {
      cycles = " > 10 ", life = "infinite";
    } else {
      if (spectrum.Nn > 0) cycles = FloatToStrSigLess(1, spectrum.Nn * 1e-6L);
      if (spectrum.tN > 0) life = FloatToStrSigLess(1, spectrum.tN);
    }
  } else if (s.LoadType == 2 && s.tauhzul > 0) {
    if (s.Sh >= 1) {
      cycles = " > 10 ", life = "infinite";
    } else {
      cycles = FloatToStrSigLess(1, s.N * 1e-6L);
      if (s.f > 0 && s.N < 1e7L) life = FloatToStrSigLess(1, s.N / s.f / 3600.0L);
    }
  }
  r.push_back(cycles);
  r.push_back(life);
  r.push_back(Number(3, 2, s.m));
  return r;
}

FileListGrid BuildFileList() {
  FileListGrid grid;
  grid.rows.emplace_back(FileListTitles().begin(), FileListTitles().end());
  const std::string folder = Folder();
  const DocumentState kept;
  for (const std::string& name : ListSpringFileNames(folder)) {
    const std::string path = folder + name;
    struct stat st {};
    const std::string date = ::stat(path.c_str(), &st) == 0 ? FileDateString(st.st_mtime) : std::string();
    SetMainCaptionText(G().ProgramTitle + " -> " + name);
    kept.Restore();
    G().AbortFlag = 0;
    ReadSpringFile(path);
    if (G().AbortFlag != 0) {
      std::vector<std::string> row(kFileListColumns);
      row[0] = name, row[1] = date;
      grid.rows.push_back(std::move(row));
    } else {
      grid.rows.push_back(FileListRowOfCurrentSpring(name, date));
    }
  }
  kept.Restore();
  UpdateMainCaption();
  return grid;
}

void SortFileList(FileListGrid& grid, int column) {
  const int n = static_cast<int>(grid.rows.size()) - 1;
  if (n < 2 || column < 0 || column >= kFileListColumns) return;
  std::vector<std::string> keys(static_cast<std::size_t>(n + 1));
  std::vector<int> order(static_cast<std::size_t>(n + 1));
  for (int i = 1; i <= n; ++i) {
    const auto& row = grid.rows[static_cast<std::size_t>(i)];
    keys[static_cast<std::size_t>(i)] = column < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(column)] : "";
    order[static_cast<std::size_t>(i)] = i;
  }
  // Quicksort of keys and numbers together (byte order).
  auto sort = [&](auto& self, int lo, int hi) -> void {
    const std::string pivot = keys[static_cast<std::size_t>((lo + hi) / 2)];
    int i = lo, j = hi;
    while (i <= j) {
      while (keys[static_cast<std::size_t>(i)] < pivot) ++i;
      while (pivot < keys[static_cast<std::size_t>(j)]) --j;
      if (i <= j) {
        std::swap(keys[static_cast<std::size_t>(i)], keys[static_cast<std::size_t>(j)]);
        std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
        ++i, --j;
      }
    }
    if (j > lo) self(self, lo, j);
    if (i < hi) self(self, i, hi);
  };
  sort(sort, 1, n);
  std::vector<std::vector<std::string>> sorted{grid.rows[0]};
  int current = grid.currentRow;
  for (int k = 1; k <= n; ++k) {
    const int old = order[static_cast<std::size_t>(k)];
    sorted.push_back(std::move(grid.rows[static_cast<std::size_t>(old)]));
    if (old == grid.currentRow) current = k;
  }
  grid.rows = std::move(sorted);
  grid.currentRow = current;
}

bool SearchFileList(FileListGrid& grid, int startRow) {
  if (!grid.searchText.empty())
    for (int r = std::max(startRow + 1, 1); r < static_cast<int>(grid.rows.size()); ++r) {
      const auto& row = grid.rows[static_cast<std::size_t>(r)];
      for (int c = 0; c < static_cast<int>(row.size()); ++c)
        if (row[static_cast<std::size_t>(c)].find(grid.searchText) != std::string::npos) {
          grid.currentRow = r, grid.currentColumn = c;
          return true;
        }
    }
  ShowMessageText(AnsiLineToOem(grid.searchText) + " not found.");
  return false;
}

bool OpenListedFile(const FileListGrid& grid, int row) {
  if (row < 1 || row >= static_cast<int>(grid.rows.size())) return false;
  const std::string name = grid.rows[static_cast<std::size_t>(row)][0];
  G().AbortFlag = 0;
  const std::string folder = Folder();
  ReadSpringFile(folder + name);
  if (G().AbortFlag != 0) return false;
  G().CurrentFileName = fs::path(name).stem().string();
  G().CurrentDataFolder = folder;
  G().ModifiedFlag = 0;
  UpdateMainCaption();
  return true;
}

}  // namespace zeb
