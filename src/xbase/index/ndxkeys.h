// Index keys: the folding of character keys, soundex and descending
// transforms, key comparison, the normal form of key expressions, and the
// julian day numbers that date keys and the date functions of the
// expression parser share.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb::xbase {

// --- character keys (code page 850 texts)
// Folds a key: A-Z to lower case, the OEM upper-case umlauts to lower case,
// then umlauts and sharp s written as two letters, never longer than L
// (L = count, or the text's length when count <= 0). Text cut to 100 first.
std::string FoldGermanKey(std::string_view text, int count);
// Four characters; see the soundex rules (H and W act like vowels).
std::string Soundex(std::string_view text);
constexpr int kSoundexLength = 4;
// Every byte b becomes 255 - b (text cut to 100 characters).
std::string ComplementText(std::string_view text);

// --- comparison
// 0 when the first n bytes are equal, else a[i] - b[i] (unsigned bytes).
int CompareBytes(const void* a, const void* b, int n);
// -1, 0, 1 for the two 64-bit floats a and b stored at the addresses.
int CompareFloatKeys(const void* a, const void* b);
// A double as a key holds it: -0.0 as +0.0 (keys compare bytewise on
// equality), NaN as 0, infinities as the largest finite values.
double NormalKeyNumber(double x);
// The 8 key bytes of a numeric or date key (little-endian IEEE).
std::string FloatKeyBytes(double x);
double FloatFromKeyBytes(const void* p);

// Rewrites a key expression: letters upper-cased and blanks dropped outside
// quotes; keepBlanks keeps one blank before anything but the end, a blank,
// a tab, a quote or "="; without it both quote kinds become double quotes.
void NormaliseKeyExpression(std::string& text, bool keepBlanks);

// --- dates as julian day numbers
// 1 January of the year 1 is 1721426; 31 December 9999 is 5373484.
constexpr double kFirstJulian = 1721425.0;
constexpr double kLastJulian = 5373484.0;
// Days before 1 January of year y (0 for y < 2).
std::int64_t DaysBeforeYear(int y);
// 1 for 1 January; 0 when the date is invalid.
int DayOfYear(int y, int m, int d);
// 0.0 when the date is invalid.
double JulianFromYMD(int y, int m, int d);
// YYYYMMDD (the stored date form); blank or invalid gives 0.0.
double DateTextToJulian(std::string_view yyyymmdd);
// YYYYMMDD, or 8 blanks outside the valid range.
std::string JulianToDateText(double j);
// The date in the engine's current date format and century setting; a
// blank picture outside the valid range.
std::string JulianToDisplayDate(double j);
// A date text in the current format; 0.0 when invalid.
double DisplayDateToJulian(std::string_view text);
// The same parsing, YYYYMMDD; "00000000" becomes 8 blanks.
std::string DisplayDateToDateText(std::string_view text);
// Decimal text of n with "0" prefixed up to width characters.
std::string ZeroPadInt(std::int64_t n, int width);

}  // namespace zeb::xbase
