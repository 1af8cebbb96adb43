// Shared pieces of the fuzz targets.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace zeb::fuzz {

// A scratch folder under the temporary folder, removed at exit.
struct ScratchFolder {
  std::string dir;
  explicit ScratchFolder(std::string_view prefix) {
    auto p = MakeUniqueFile(TempDirectory(), prefix);
    if (!p) std::abort();
    dir = *p;
    std::filesystem::remove(dir);
    std::filesystem::create_directory(dir);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace zeb::fuzz
