// The file-step failures of file_faults.cpp, linked into a test program:
// armed around the road a test runs, they fail one step (a write, fsync,
// link, rename, unlink, truncate or an open that makes a file) of the files whose
// path holds a text, and list every such step the road took.
#pragma once
#include <cerrno>
#include <string>
#include <vector>

namespace zeb::test {

struct FileFaultPlan {
  std::string in;     // the text a path holds (a test's folder); "" counts nothing
  std::string notIn;  // a text whose paths never count
  std::string calls;  // kinds counted, comma-separated ("write,fsync"); "" all but close
  long at = 0;        // the counted step that fails (1 the first), 0 none
  int err = ENOSPC;
  bool part = false;    // a failing write first stores part of its bytes
  bool sticky = false;  // every later step of the same kind fails too
  long room = -1;       // a full file system: the bytes the files may grow by in all (-1 no limit)
};

struct FileStepSeen {
  long number = 0;
  std::string kind;         // open, write, fsync, truncate, link, rename, unlink, close
  std::string path, path2;  // path2: a link's or rename's new name
  bool failed = false;
};

// Counting starts anew; the steps counted so far are forgotten.
void ArmFileFaults(const FileFaultPlan& plan);
// Stops counting and failing; the steps counted since ArmFileFaults.
std::vector<FileStepSeen> DisarmFileFaults();

}  // namespace zeb::test
