// Small helpers of the table engine: texts in Windows-1252 (case and letter
// tests of that code page), number texts with the engine's decimal
// character, file names and files, and facts about the machine.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::xbase {

// --- texts (Windows-1252)
std::string TzTrimRight(std::string_view s);  // drops codes 0..32
std::string TzTrimLeft(std::string_view s);
std::string AllTrim(std::string_view s);
std::string TzUpper(std::string_view s);
std::string TzLower(std::string_view s);
bool IsAlphaText(std::string_view s);
char CharToUpper(char c);
char CharToLower(char c);
bool IsCharAlpha1252(char c);
int Occurs(std::string_view sub, std::string_view text);
// 1-based position of the n-th (n < 0: from the right) occurrence; 0 if none.
int AtNth(int n, std::string_view sub, std::string_view text);
std::string Replicate(char c, int count);
std::string PadRightTo(std::string_view s, int width);
std::string IIfText(bool condition, std::string_view a, std::string_view b);
// 1-based position of a in b ignoring case; 0 when absent.
int ContainsTextAt(std::string_view a, std::string_view b);
// Removes every occurrence of keyword (matched on an upper-cased copy) that
// is not followed by a digit, backslash, underscore or letter, from the
// text as given (its case kept); trims both ends. True when one was removed.
bool RemoveKeyword(std::string_view keyword, std::string& text);
std::string StrAnsiToOem(std::string_view s);  // 1252 -> 850, same length
std::string StrOemToAnsi(std::string_view s);  // 850 -> 1252

// --- numbers
void CleanNumberText(std::string& s);
// The value rounded to a 6-byte real; empty text 0.
long double TextToReal(std::string_view s);
std::int32_t TextToInt(std::string_view s);
std::int16_t TextToSmallInt(std::string_view s);
// A number the user typed or a field holds, read alike in every locale:
// blanks around, an optional sign, "." or "," as the point, an optional
// exponent. False for any other text, or a value beyond a double.
bool ReadNumberText(std::string_view s, double& value);
// Up to 15 significant digits with "." as the point, whatever the locale.
std::string ShortNumberText(double value);
// Right-aligned in width with decimals; the point is the decimal character.
std::string RealToText(long double value, int width, int decimals);
std::string IntToText(std::int64_t value, int width);

// --- file names ("/" is the only separator)
void FileSplit(std::string_view path, std::string& folder, std::string& name, std::string& extension);
std::string DefaultExtension(std::string_view name, std::string_view extension);
std::string ForceExtension(std::string_view name, std::string_view extension);
std::string FullPathName(std::string_view name);  // extension removed
std::string ExpandPath(std::string_view name);    // absolute, "." and ".." resolved
std::string BareFileName(std::string_view name);  // name.ext
std::string BaseFileName(std::string_view name);  // name
std::string ShortPathName(std::string_view path); // the path itself

// --- files
bool FileExistsTz(std::string_view name);
// Packed DOS date/time of the file (date high 16 bits); 0 on failure with
// the last find result set to the code.
std::uint32_t FileDateOf(std::string_view name);
bool FileChangedToday(std::string_view name);
// 0 = deleted, else the engine code (32 when the file is open as a table
// elsewhere: share lock held).
std::uint16_t DeleteFileChecked(std::string_view name);
void DeleteByMask(std::string_view mask);
std::int64_t DiskFreeKB(std::string_view path);
std::int64_t DriveFreeKB(int drive);  // 0 = current folder
// A new empty temporary file "TZP..." in the temporary folder.
std::string UniqueFilename();

struct TzSearchRec {
  std::string name;      // name without folder
  std::uint32_t time = 0;
  std::int64_t size = 0;
  std::uint8_t attr = 0;  // 16 folder, 32 archive (regular file)
  // search state
  std::string folder;
  std::string pattern;
  std::vector<std::string> pending;
  std::uint8_t wanted = 0;
};
// Wildcards "*" and "?"; attribute 16 includes folders. 0 found, else 18.
int TzFindFirst(std::string_view mask, std::uint8_t attributes, TzSearchRec& rec);
int TzFindNext(TzSearchRec& rec);
void TzFindClose(TzSearchRec& rec);

// --- machine
std::uint16_t GetWindowsVersion();  // major low byte, minor high byte (uname)
std::int64_t MemoryInfo(int mode);  // 1 KB, 2 MB, else bytes
int CountFloppyDrives();
void InitSystemInfo();

}  // namespace zeb::xbase
