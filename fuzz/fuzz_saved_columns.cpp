// The grid's saved column list: any lines give columns without a crash.
#include <cstdint>
#include <string>
#include <vector>

#include "xbase/dataset/grid_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zeb::xbase;
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') lines.emplace_back();
    else lines.back().push_back(static_cast<char>(data[i]));
  }
  const std::vector<SavedColumn> cols = ReadSavedColumns(lines);
  if (cols.size() > 1000) __builtin_trap();
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].number != static_cast<int>(i) + 1) __builtin_trap();
    if (cols[i].font && (cols[i].font->size < 0 || cols[i].font->size > 255)) __builtin_trap();
  }
  return 0;
}
