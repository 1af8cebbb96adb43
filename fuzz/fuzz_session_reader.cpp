// The session reader on arbitrary file contents: no crash, four entries
// without NUL bytes; a list that is written reads back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/globals.h"
#include "fuzz_support.h"
#include "mainwin/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zeb::fuzz::ScratchFolder scratch("fuzzcff");
  const std::string in = scratch.dir + "/in.cff", out = scratch.dir + "/out.cff";
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  zeb::ResetBaseGlobals();
  zeb::ReadSessionFile(in);
  const auto read = zeb::G().RecentFiles;
  for (int i = 1; i <= 4; ++i)
    if (read[i].find('\0') != std::string::npos || read[i].find('\n') != std::string::npos) std::abort();
  if (read[1].empty()) return 0;

  zeb::WriteSessionFile(out);
  if (zeb::G().AbortFlag != 0) std::abort();
  zeb::G().RecentFiles = {};
  zeb::ReadSessionFile(out);
  if (zeb::G().RecentFiles != read) std::abort();
  return 0;
}
