// TField values and table structure of the datasets: the date-time form of
// dates, the dataset unit's settings (short date format, texts, message
// mode), the structure list DbfFields with its normalisation, and the
// creation of a table from it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/dbf/dbffile.h"

namespace zeb::xbase {

// --- text helpers
std::string AllTrimText(std::string_view s);  // codes 0..32 at both ends
bool EqualNoCase(std::string_view a, std::string_view b);
std::string OemToAnsiText(std::string_view s);
// Windows-1252 to UTF-8 (texts that reach Qt or a terminal).
std::string AnsiToUtf8(std::string_view s);
std::string Utf8ToAnsi(std::string_view s);

// --- settings of the dataset unit
struct DatasetSettings {
  std::string shortDateFormat = "dd.MM.yyyy";
  char dateSeparator = '.';
  std::string trueText = "wahr", falseText = "falsch";
  std::string yesText = "ja", noText = "nein";
  int messageMode = 2;
};
DatasetSettings& DatasetUnit();
// Start-up of the dataset unit: the texts, the short date format of the
// locale, and the engine's century switch and date format code from it.
void InitDatasetUnit();
// InitDatasetUnit once per engine (the first dataset created).
void StartDatasetUnitOnce();
// The same for a given short date format ("dd.MM.yyyy", "yyyy-MM-dd", ...).
void ApplyShortDateFormat(std::string_view format);
// Shows the message (OEM text converted to ANSI) while the message mode is 2.
void ShowDatasetMessage(std::string_view text);
// Returns the mode; sets it when mode is not 0.
int SetMessageMode(int mode);

// --- dates as date-time (days since 1899-12-30)
double YmdToDateTime(int year, int month, int day);
bool DateTimeToYmd(double dt, int& year, int& month, int& day);
// The engine's date text of a date-time ("" for 0).
std::string DateTimeToText(double dt);
// Strict conversion in the short date format's order; EDatasetError when
// the text is no date.
double TextToDateTime(std::string_view text);
// The date-text rule: an engine date text to a date-time; blank or invalid
// gives 0, except that strict converts an invalid non-empty text directly.
double DateTextToDateTime(std::string_view text, bool strict);
// The blank date picture of the engine's current format.
std::string BlankDatePicture();

// --- structure
struct DbfFieldDef {
  std::string name;
  char type = 'C';
  int length = 0;
  int decimals = 0;
};
// Corrects a definition (types, lengths, decimals); reports a change once,
// naming the table (its file, else the component); true when it changed.
bool NormaliseFieldDef(DbfFieldDef& def, std::string_view table);
// "NAME, C, 20, 0".
std::string FormatDbfFieldLine(const DbfFieldDef& def);
// Reads DbfFields into definitions (normalised, type X skipped, at most
// 255); false when a line has not exactly three commas or a number is no
// number (length 0 and decimals 0 then count as such).
bool ParseDbfFields(const std::vector<std::string>& lines, bool memoAsNumber, std::string_view table,
                    std::vector<DbfFieldDef>& defs);
// Fills the structure list from an open table.
std::vector<std::string> DbfFieldsOf(const DbfTable& t, std::string_view component);
// Creates fileName from the list with the engine's error switch off; true
// when the engine reports no error. lines == nullptr: no list.
bool CreateTableFromDbfFields(const std::vector<std::string>* lines, std::string_view fileName,
                              bool memoAsNumber, std::string_view component);

}  // namespace zeb::xbase
