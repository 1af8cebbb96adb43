#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "base/files.h"
#include "base/globals.h"
#include "base/support_clock.h"
#include "base/support_fixture.h"
#include "platform/clock.h"

namespace zeb {
namespace {

// Each test sets SOURCE_DATE_EPOCH and TZ as it needs; the suite's are put back.
class StampClockTest : public test::BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().DateFormat = 1;
    for (Saved& s : saved_)
      if (const char* v = std::getenv(s.name)) s.value = v, s.set = true;
  }
  void TearDown() override {
    for (const Saved& s : saved_) s.set ? ::setenv(s.name, s.value.c_str(), 1) : ::unsetenv(s.name);
    ::tzset();
    BaseTest::TearDown();
  }
  static void Set(const char* name, const char* value) {
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
    ::tzset();
  }
  // Today and the minute of the system clock in local time.
  static std::string SystemText() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour,
                  tm.tm_min);
    return buf;
  }

 private:
  struct Saved {
    const char* name;
    std::string value;
    bool set = false;
  };
  Saved saved_[2] = {{"SOURCE_DATE_EPOCH", {}}, {"TZ", {}}};
};

CLOCK_TEST_F(StampClockTest, SourceDateEpochIsReadAsUtcInAnyZone) {
  struct Case {
    const char* epoch;
    const char* text;
  };
  const Case cases[] = {
      {"0", "01.01.1970 0:00"},                    // the epoch itself
      {"1798761599", "31.12.2026 23:59"},          // a year's last second
      {"1835438400", "29.02.2028 12:00"},          // a leap day
      {"2147483648", "19.01.2038 3:14"},           // past 32-bit seconds
      {"1806195600", "28.03.2027 1:00"},           // Berlin changes to summer time here
      {"253402300799", "31.12.9999 23:59"},        // the last second it takes
  };
  for (const char* zone : {"UTC", "Europe/Berlin", "Pacific/Kiritimati", "America/Anchorage"}) {
    Set("TZ", zone);
    for (const Case& c : cases) {
      Set("SOURCE_DATE_EPOCH", c.epoch);
      EXPECT_EQ(StampText(), c.text) << zone << " " << c.epoch;
      const StampTexts t = StampNowTexts();
      EXPECT_EQ(t.date + " " + t.time, c.text);
      EXPECT_EQ(TodayDateString(), t.date);
      EXPECT_EQ(CurrentTimeString(), t.time);
    }
  }
}

CLOCK_TEST_F(StampClockTest, WithoutAUsableEpochTheSystemClockInLocalTime) {
  Set("TZ", "Europe/Berlin");
  for (const char* value : {static_cast<const char*>(nullptr), "", "abc", "-5", "12x", " 12", "253402300800",
                            "99999999999999999999999"}) {
    Set("SOURCE_DATE_EPOCH", value);
    EXPECT_FALSE(SourceDateEpoch().has_value()) << (value ? value : "(unset)");
    // Read between two readings of the system clock: a minute may turn over.
    const std::string before = SystemText();
    const std::string stamp = StampText();
    const std::string after = SystemText();
    EXPECT_TRUE(stamp == before || stamp == after) << stamp << " not " << before;
  }
}

}  // namespace
}  // namespace zeb
