// The work text file's line readers on arbitrary file contents: no crash, no
// hang, finite numbers; what was read writes back and reads the same.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/globals.h"
#include "base/textfile.h"
#include "fuzz_support.h"

namespace {
std::string ScratchFile() {
  static zeb::fuzz::ScratchFolder scratch("fuzzwtf");
  return scratch.dir + "/work.txt";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zeb::ResetBaseGlobals();
  const std::string path = ScratchFile();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  if (!zeb::OpenWorkTextFileForReading(path)) return 0;
  std::string line, a, b, c, d;
  std::vector<std::string> lines;
  for (int k = 0; k < 64 && !zeb::WorkTextFile().Eof(); ++k) {
    switch (k % 8) {
      case 0: zeb::ReadTextLine(line); lines.push_back(line); break;
      case 1: { zeb::Real x = 0; zeb::ReadTextLineExt(x); if (!std::isfinite(x)) std::abort(); break; }
      case 2: { std::int32_t n = 0; zeb::ReadTextLineInt(n); break; }
      case 3: { std::uint16_t w = 0; zeb::ReadTextLineWord(w); break; }
      case 4: { zeb::Real48 r{}; zeb::ReadTextLineReal48(r); break; }
      case 5: zeb::ReadTextLineFields4(a, b, c, d); break;
      case 6: { bool t = false; zeb::ReadTextLineTrue(t); zeb::ReadTextLineNotFalse(t); break; }
      default: { char ch = 0; zeb::ReadTextLineChar(ch); break; }
    }
  }
  zeb::WorkTextFile().Close();
  // Lines written back read back unchanged (lines hold no CR or LF).
  zeb::G().AbortFlag = 0;
  if (!zeb::OpenWorkTextFileForWriting(path)) return 0;
  for (const std::string& l : lines) zeb::WriteTextLine(l);
  zeb::WorkTextFile().Close();
  if (!zeb::OpenWorkTextFileForReading(path)) std::abort();
  for (const std::string& l : lines) {
    std::string again;
    zeb::ReadTextLine(again);
    if (again != l && l.find('\r') == std::string::npos) std::abort();
  }
  zeb::WorkTextFile().Close();
  return 0;
}
