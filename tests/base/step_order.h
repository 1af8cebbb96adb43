// The order a road's file steps must keep to be durable, written out by the
// test: each expected step is "<kind> <file>" or "<kind> <file> -> <file>",
// file names without folder, "*" for the random part of a temporary name.
#pragma once
#include <string>
#include <vector>

#include "support_preload/file_faults.h"

namespace zeb::test {

// name matched against a pattern whose "*" stands for any characters.
inline bool NameMatches(const std::string& pattern, const std::string& name) {
  const std::size_t star = pattern.find('*');
  if (star == std::string::npos) return pattern == name;
  const std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
  return name.size() >= head.size() + tail.size() && name.compare(0, head.size(), head) == 0 &&
         name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

inline std::string StepText(const FileStepSeen& s) {
  const auto base = [](const std::string& p) { return p.substr(p.find_last_of('/') + 1); };
  return s.kind + " " + base(s.path) + (s.path2.empty() ? "" : " -> " + base(s.path2));
}

// "" when the expected steps come in this order among the steps taken, else
// the first one missing after those found and the steps taken.
inline std::string MissingInOrder(const std::vector<FileStepSeen>& taken, const std::vector<std::string>& expected) {
  std::size_t k = 0;
  for (const FileStepSeen& s : taken) {
    if (k == expected.size()) break;
    const std::string e = expected[k];
    const std::size_t blank = e.find(' ');
    const std::string kind = e.substr(0, blank), rest = e.substr(blank + 1);
    const std::size_t arrow = rest.find(" -> ");
    const std::string text = StepText(s);
    const std::string from = text.substr(s.kind.size() + 1);
    const std::size_t takenArrow = from.find(" -> ");
    if (s.kind != kind || (arrow == std::string::npos) != (takenArrow == std::string::npos)) continue;
    if (arrow == std::string::npos ? NameMatches(rest, from)
                                   : NameMatches(rest.substr(0, arrow), from.substr(0, takenArrow)) &&
                                         NameMatches(rest.substr(arrow + 4), from.substr(takenArrow + 4)))
      ++k;
  }
  if (k == expected.size()) return "";
  std::string list, last;
  for (const FileStepSeen& s : taken) {
    const std::string t = StepText(s);
    if (t != last) list += t + "\n";
    last = t;
  }
  return "missing in order: \"" + expected[k] + "\"; the steps taken:\n" + list;
}

}  // namespace zeb::test
