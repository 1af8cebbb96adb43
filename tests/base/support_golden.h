// Golden files compared by value. The last digit of a printed real depends
// on the last bit of the extended-precision result before it, and that bit
// differs between processor makes: every number of a golden file matches
// when it lies within one unit of the last printed digit (of the finer of
// the two), every other byte must be the same.
//
//   text  (any name)  lines of tokens; a number that gains or loses a
//                     character at a rounding edge (9.99 / 10.0, 0.0 / -0.0)
//                     may take that many blanks from the gap beside it, or
//                     shift the rest of the line
//   .dxf             group codes and the values of integer and handle
//                     codes exactly, the other values as text lines
//   .igs             the sections' records: start lines as text, the
//                     global and parameter records parameter by parameter
//                     (reals by value, integers and strings exactly, line
//                     breaks and sequence numbers free), directory entries
//                     exactly but for their parameter pointer and line
//                     count, which must agree with the file's own records
//
// ZEB1_UPDATE_GOLDEN=1 writes the golden files instead of comparing.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace zeb::test {

// The first difference of got from want beyond the last digit of a number:
// "line L, column C: got 'x', want 'y'" and both lines; empty when they
// match. name (its extension) chooses the layout.
std::string GoldenDifference(std::string_view name, std::string_view got, std::string_view want);

// True when ZEB1_UPDATE_GOLDEN=1.
bool UpdatingGoldens();

// Compares actual with the golden file (a test failure naming the file and
// the difference), or writes the file when updating. True when it matches
// or was written.
bool ExpectGoldenFile(const std::filesystem::path& golden, const std::string& actual);

}  // namespace zeb::test
