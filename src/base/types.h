// Basic value types of the program.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace zeb {

using Real = long double;                  // 80-bit extended
using Real48Bytes = std::array<std::uint8_t, 6>;  // 6-byte real as stored
using Byte = std::uint8_t;

}  // namespace zeb
