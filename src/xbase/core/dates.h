// Dates of the table engine: date texts in the current format, stored
// YYYYMMDD, the American order in between, names and the day of the week.
// Date texts are at most 10 characters; inputs are cut at a NUL first.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb::xbase {

struct TzEngine;

// 0 MM/DD/YY, 1 YY.MM.DD, 2 DD/MM/YY, 3 DD-MM-YY, 4..8 DD.MM.YY.
void SetDateFormat(int code);
int DateFormat();
bool SetCentury(bool on);  // previous value
std::uint16_t SetEpoch(std::uint16_t year);
// The code of the locale: LC_ALL, else LC_TIME, else LANG.
int DateFormatFromLanguage();
// Date format and language code from the locale, decimal and thousands
// characters with them.
void InitDateFormat();
// The same on a given engine object (while it is being set up).
void ApplyLanguageDateFormat(TzEngine& e);

int CenturyOf(std::string_view twoDigitYear);
std::string CenturyDigits(std::string_view twoDigitYear);
std::string ExpandYear(std::string_view year);
std::string EmptyDatePicture(int code);
std::string DateToAmerican(std::string_view date);
std::string DateFromAmerican(std::string_view american);
bool IsDateText(std::string& date);
std::string DateToDbf(std::string_view date);
std::string DbfToDate(std::string_view yyyymmdd);
int DayOfWeek(std::string_view date);  // 1 = Sunday
std::string DayName(std::string_view date);    // code page 850 (866 Russian)
std::string MonthName(std::string_view date);
int MonthOf(std::string_view date);
int DayOf(std::string_view date);
int YearOf(std::string_view date);
bool IsLeapYear(int year);
void GetDate(int& year, int& month, int& day, int& dayOfWeek);

struct FileTimeParts {
  std::uint16_t year, month, day, hour, minute, second;
};
// DOS packed date and time (date in the high 16 bits).
FileTimeParts UnpackFileTime(std::uint32_t packed);
std::uint32_t TickCount();  // ms since system start
std::uint32_t TickSeconds();

}  // namespace zeb::xbase
