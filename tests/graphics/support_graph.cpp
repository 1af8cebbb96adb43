#include "graph_support.h"

#include <cstdlib>

#include "base/colors.h"

namespace zeb::test {

void GraphTest::InitDefaultColours() { InitDefaultColors(); }

std::vector<int> Ints(const std::string& call) {
  std::vector<int> out;
  std::size_t i = call.find('(');
  if (i == std::string::npos) return out;
  ++i;
  while (i < call.size()) {
    char* end = nullptr;
    const long v = std::strtol(call.c_str() + i, &end, 10);
    if (end == call.c_str() + i) break;
    out.push_back(static_cast<int>(v));
    i = static_cast<std::size_t>(end - call.c_str()) + 1;
  }
  return out;
}

}  // namespace zeb::test
