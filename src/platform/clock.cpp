#include "platform/clock.h"

#include <cerrno>
#include <cstdlib>

namespace zeb {

std::optional<std::time_t> SourceDateEpoch() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text < '0' || *text > '9') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long seconds = std::strtoll(text, &end, 10);
  if (*end != '\0' || errno != 0 || seconds > 253402300799LL) return std::nullopt;
  return static_cast<std::time_t>(seconds);
}

StampTime StampNow() {
  StampTime now;
  if (const auto fixed = SourceDateEpoch()) {
    ::gmtime_r(&*fixed, &now.tm);
    return now;
  }
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  ::localtime_r(&ts.tv_sec, &now.tm);
  now.nanoseconds = ts.tv_nsec;
  return now;
}

}  // namespace zeb
