// Roads that write files, judged by what the disk holds against what the
// user is told. A road runs once whole on fresh files (what it means to
// write), then once more per file step it took (each write, fsync, link,
// rename, unlink, truncate, open for writing of its folder) with that step
// failing, part-way too for a write. After each run every file of the
// folder is compared by content with the files before and with the whole
// run's, and the texts shown with that:
//   - a failure is told exactly when a file is not what the road meant to
//     write; a road whose files came out whole tells none;
//   - it names a file that is not as meant, the one whose step failed
//     where that one is known, and the real cause (the errno's words);
//   - a text saying that nothing changed is said only when every file is
//     byte for byte as before; a text saying that one part was done only
//     when that part is as meant;
//   - no file is left half-written and no temporary file is left behind.
#pragma once
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support_preload/file_faults.h"

namespace zeb::test {

namespace failure_roads {
namespace fs = std::filesystem;

// Every regular file below root by its path relative to root, with its bytes.
using FolderImage = std::map<std::string, std::string>;

inline FolderImage ImageOf(const fs::path& root) {
  FolderImage image;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    image[fs::relative(it->path(), root, ec).string()] = bytes.str();
  }
  return image;
}

// What a run showed and the file steps it took.
struct Outcome {
  std::vector<std::string> texts;  // UTF-8, every box or line the user read
  std::vector<FileStepSeen> steps;
};

enum class State { Before, Meant, Other, Kept };  // Kept: the road leaves it as it was
inline const char* StateName(State s) {
  switch (s) {
    case State::Before:
      return "as before";
    case State::Meant:
      return "as meant";
    case State::Other:
      return "neither";
    case State::Kept:
      return "kept";
  }
  return "?";
}
using States = std::map<std::string, State>;

struct Road {
  std::string name;
  // Makes the files the road starts from in the fresh folder root.
  std::function<void(const fs::path& root)> prepare;
  // Runs the road under plan (its folder already in plan.in).
  std::function<Outcome(const fs::path& root, const FileFaultPlan& plan)> run;
  // Files (relative paths, or folders ending in "/") the judge leaves out:
  // scratch files of the run.
  std::vector<std::string> scratch;
  // A text of a road that went through; every other text tells a failure.
  std::function<bool(const std::string&)> success = [](const std::string&) { return false; };
  // Words of a failure text that say no file changed.
  std::vector<std::string> nothingChanged = {
      "unverändert",      "nichts gelöscht",     "nicht gespeichert", "kein Datensatz angehängt",
      "nichts angehängt", "bleibt, wie sie ist", "wie sie war",       "wie er war",
      "wie es war"};
  // Words of a failure text that say a part was done: the files that then
  // are as meant.
  std::vector<std::pair<std::string, std::vector<std::string>>> claims;
  // A state part-way that the road tells (appends of many records): ""
  // when the texts tell it right, else what is wrong. Unset: any file
  // neither as before nor as meant is half-written.
  std::function<std::string(const States&, const std::string& told, const FolderImage& before, const FolderImage& meant,
                            const FolderImage& after)>
      partial;
  // Errors each kind of step fails with.
  std::map<std::string, std::vector<int>> errors = {
      {"open", {EACCES}}, {"write", {ENOSPC}},  {"fsync", {EIO}},          {"truncate", {EIO}},
      {"link", {EPERM}},  {"rename", {EACCES}}, {"unlink", {EACCES, EIO}}, {"close", {EIO}}};
  // Words of a failure text that a later step of the road (closing the
  // file) may make good: after them the files may end as meant.
  std::vector<std::string> madeGoodLater;
  bool partWrites = true;  // a write also fails after storing part of its bytes
  // Kinds of step whose failure is also tried as one that lasts: every
  // later step of the kind fails too (a folder that stays read-only).
  std::set<std::string> lasting;
  std::string calls;  // the kinds of step counted ("" all but close)
  std::string notIn;  // a text of the paths whose steps are not counted
  // The name a file is judged by: a road that makes a file under a new
  // unique name each time gives those names one.
  std::function<std::string(const std::string&)> canonical;
};

// The folder's image under the road's names.
inline FolderImage ImageOf(const Road& road, const fs::path& root) {
  FolderImage image = ImageOf(root);
  if (!road.canonical) return image;
  FolderImage named;
  for (auto& [file, bytes] : image) named[road.canonical(file)] = std::move(bytes);
  return named;
}

// The words a text gives for the error.
inline std::vector<std::string> CauseWords(int err) {
  switch (err) {
    case ENOSPC:
      return {"voll"};
    case EDQUOT:
      return {"Kontingent", "voll"};
    case EIO:
      return {"Ein-/Ausgabefehler", "Schreibfehler"};
    case EACCES:
      return {"Zugriff", "Schreibberechtigung", "schreibgeschützt"};
    case EPERM:
      return {"nicht erlaubt", "Schreibberechtigung", "schreibgeschützt"};
    case EROFS:
      return {"schreibgeschützt", "Schreibberechtigung"};
    default:
      return {"Fehler"};
  }
}

inline std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "" : " | ") + t;
  return all;
}

inline bool Contains(const std::string& text, const std::string& word) { return text.find(word) != std::string::npos; }
// The same in any case of the ASCII letters.
inline bool ContainsAnyCase(std::string text, std::string word) {
  for (std::string* s : {&text, &word})
    for (char& c : *s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return Contains(text, word);
}

inline bool IsScratch(const Road& road, const std::string& file) {
  for (const std::string& s : road.scratch)
    if (file == s || (!s.empty() && s.back() == '/' && file.rfind(s, 0) == 0)) return true;
  return false;
}

inline std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Whether text names the file: its name, or for a name with "*" (a road's
// name for unique names) the parts before and after it in that order.
inline bool Names(const std::string& text, const std::string& file) {
  const std::string name = BaseName(file);
  const std::size_t star = name.find('*');
  // A file of a folder of the road's is named with its folder (files of the
  // same name lie in several of them).
  const std::size_t slash = file.find_last_of('/');
  if (star == std::string::npos && slash != std::string::npos) {
    const std::size_t from = file.find_last_of('/', slash - 1);
    return Contains(text, file.substr(from == std::string::npos ? 0 : from + 1));
  }
  if (star == std::string::npos) return Contains(text, name);
  const std::size_t head = text.find(name.substr(0, star));
  return head != std::string::npos && text.find(name.substr(star + 1), head + star) != std::string::npos;
}

// The file a step wrote: a temporary beside a file (".name.~zeb1~XXXXXX")
// stands for that file; "" for a file without a name.
inline std::string StepFile(const FileStepSeen& s) {
  std::string name = BaseName(s.kind == "link" || s.kind == "rename" ? (s.path2.empty() ? s.path : s.path2) : s.path);
  if (name.empty() || name[0] == '#') return {};
  const std::size_t mark = name.find(".~zeb1~");
  if (name[0] == '.' && mark != std::string::npos) name = name.substr(1, mark - 1);
  return name;
}

// Whether the step that failed was of that kind on a file of that name.
inline bool FailedStepIs(const Outcome& out, const std::string& kind, const std::string& name) {
  for (const FileStepSeen& s : out.steps)
    if (s.failed && s.kind == kind && BaseName(s.path) == name) return true;
  return false;
}

// What is wrong with one run whose step `failed` failed with err.
inline std::vector<std::string> Judge(const Road& road, const FolderImage& before, const FolderImage& meant,
                                      const FolderImage& after, const Outcome& out, int err) {
  std::vector<std::string> wrong;
  std::set<std::string> names;
  for (const auto* image : {&before, &meant, &after})
    for (const auto& [file, bytes] : *image)
      if (!IsScratch(road, file)) names.insert(file);
  const auto bytesOf = [](const FolderImage& image, const std::string& file) -> const std::string* {
    const auto it = image.find(file);
    return it == image.end() ? nullptr : &it->second;
  };
  const auto same = [](const std::string* a, const std::string* b) {
    return a == nullptr ? b == nullptr : b != nullptr && *a == *b;
  };
  States states;
  bool allMeant = true, allBefore = true, other = false;
  for (const std::string& file : names) {
    const std::string *b = bytesOf(before, file), *m = bytesOf(meant, file), *a = bytesOf(after, file);
    State s;
    if (same(b, m)) {
      s = State::Kept;
      // A temporary whose removal was the step that failed stays.
      // A file kept aside that the failure names (where the user finds it).
      const bool leftOnPurpose =
          b == nullptr && BaseName(file).find(".~zeb1~") != std::string::npos &&
          (FailedStepIs(out, "unlink", BaseName(file)) || Contains(Joined(out.texts), BaseName(file)));
      if (!same(a, b) && !leftOnPurpose) {
        // A file the road does not write changed, or one it made stayed.
        wrong.push_back(b == nullptr ? "left " + file + " behind" : "changed " + file + ", which it does not write");
        other = true;
      }
    } else if (same(a, m)) {
      s = State::Meant;
      allBefore = false;
    } else if (same(a, b)) {
      s = State::Before;
      allMeant = false;
    } else {
      s = State::Other;
      allMeant = allBefore = false;
      other = true;
    }
    states[file] = s;
  }
  std::string failures;
  for (const std::string& t : out.texts)
    if (!road.success(t)) failures += (failures.empty() ? "" : " | ") + t;
  std::string stateText;
  for (const auto& [file, s] : states)
    if (s != State::Kept) stateText += " " + file + ": " + StateName(s) + ";";
  const auto add = [&](const std::string& what) {
    wrong.push_back(what + " (files:" + stateText + " told: \"" + Joined(out.texts) + "\")");
  };
  if (allMeant && !other) {
    // A failure of something else than the road's files (a scratch file)
    // told with the words that its files are done, or one a later step
    // made good.
    bool madeGood = false;
    for (const std::string& w : road.madeGoodLater) madeGood = madeGood || Contains(failures, w);
    for (const auto& [words, files] : road.claims) madeGood = madeGood || Contains(failures, words);
    if (!failures.empty() && !madeGood) add("a failure told, but every file is as meant");
    return wrong;
  }
  if (failures.empty()) {
    add("no failure told, but not every file is as meant");
    return wrong;
  }
  bool partialTold = false;
  if (other && road.partial) {
    const std::string why = road.partial(states, failures, before, meant, after);
    if (!why.empty()) add(why);
    partialTold = why.empty();
  }
  if (other && !partialTold) {
    for (const auto& [file, s] : states)
      if (s == State::Other) add(file + " half-written");
  }
  // The cause in the errno's words.
  bool cause = false;
  for (const std::string& w : CauseWords(err)) cause = cause || ContainsAnyCase(failures, w);
  if (!cause) add("the cause of errno " + std::to_string(err) + " not told");
  // The file: one not as meant, the failed step's own where it is a file of
  // the road.
  bool named = false;
  for (const auto& [file, s] : states)
    if (s != State::Meant && s != State::Kept) named = named || Names(failures, file);
  for (const FileStepSeen& s : out.steps) {
    if (s.failed && !StepFile(s).empty()) named = named || Contains(failures, StepFile(s));
    // A file that could not be made under a name of its own: its folder.
    if (s.failed && s.kind == "open") named = named || Contains(failures, s.path.substr(0, s.path.find_last_of('/')));
  }
  if (!named) add("names no file that is not as meant");
  for (const FileStepSeen& s : out.steps) {
    if (!s.failed) continue;
    const std::string file = StepFile(s);
    bool ours = false;
    for (const auto& [f, st] : states) ours = ours || (st != State::Kept && BaseName(f) == file);
    if (ours && !Contains(failures, file)) add("the failed step's file " + file + " not named");
  }
  for (const std::string& w : road.nothingChanged)
    if (Contains(failures, w) && !allBefore) add("says \"" + w + "\", but a file changed");
  for (const auto& [words, files] : road.claims) {
    if (!Contains(failures, words)) continue;
    for (const std::string& f : files) {
      const auto it = states.find(f);
      if (it == states.end() || it->second != State::Meant)
        add("says \"" + words + "\", but " + f + " is not as meant");
    }
  }
  return wrong;
}

// The road whole, then with each of its steps failing: every fault found,
// each with the step, the error and what the files and texts were.
inline std::vector<std::string> EveryStepFailing(const Road& road, const fs::path& root) {
  std::vector<std::string> wrong;
  const auto fresh = [&] {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root);
    road.prepare(root);
  };
  fresh();
  const FolderImage before = ImageOf(road, root);
  FileFaultPlan plan;
  plan.in = root.string();
  plan.calls = road.calls;
  plan.notIn = road.notIn;
  const Outcome whole = road.run(root, plan);
  const FolderImage meant = ImageOf(road, root);
  for (const std::string& t : whole.texts)
    if (!road.success(t)) wrong.push_back(road.name + " whole: told \"" + t + "\"");
  if (meant == before) wrong.push_back(road.name + " whole: no file changed");
  if (whole.steps.empty()) wrong.push_back(road.name + " whole: took no file step");
  if (std::getenv("ZEB1_ROAD_STEPS") != nullptr)
    for (const FileStepSeen& s : whole.steps)
      std::fprintf(stderr, "%s %ld %s %s %s\n", road.name.c_str(), s.number, s.kind.c_str(), s.path.c_str(),
                   s.path2.c_str());
  for (std::size_t k = 1; k <= whole.steps.size(); ++k) {
    const FileStepSeen& step = whole.steps[k - 1];
    const auto errs = road.errors.find(step.kind);
    if (errs == road.errors.end()) continue;
    for (const int err : errs->second) {
      for (const int variant : {0, 1, 2}) {
        const bool part = variant == 1, lasting = variant == 2;
        if (part && (step.kind != "write" || !road.partWrites)) continue;
        if (lasting && road.lasting.count(step.kind) == 0) continue;
        fresh();
        plan.at = static_cast<long>(k);
        plan.err = err;
        plan.part = part;
        plan.sticky = lasting;
        const Outcome out = road.run(root, plan);
        const FolderImage after = ImageOf(road, root);
        const std::string where = road.name + " step " + std::to_string(k) + " (" + step.kind + " " +
                                  BaseName(step.path) + (step.path2.empty() ? "" : " -> " + BaseName(step.path2)) +
                                  (part ? ", part-way" : "") + (lasting ? ", lasting" : "") + ", errno " +
                                  std::to_string(err) + "): ";
        for (const std::string& w : Judge(road, before, meant, after, out, err)) wrong.push_back(where + w);
      }
    }
  }
  return wrong;
}

}  // namespace failure_roads

}  // namespace zeb::test
