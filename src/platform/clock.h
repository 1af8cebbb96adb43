// The clock of everything the program stamps with a date or a time.
#pragma once
#include <ctime>
#include <optional>

namespace zeb {

// SOURCE_DATE_EPOCH in seconds when it holds a time from 1970 to the end of
// 9999; nothing when it is unset, empty or not such a number.
std::optional<std::time_t> SourceDateEpoch();

// The moment stamped on drawings, printouts, table headers, the change log
// and the input screens: SOURCE_DATE_EPOCH when it is set, in UTC, so that
// equal inputs give equal bytes on any machine and in any zone; else the
// system clock in local time.
struct StampTime {
  std::tm tm{};
  long nanoseconds = 0;
};
StampTime StampNow();

}  // namespace zeb
