// Whole-table commands of the current area: Pack, Peek, Poke and Search;
// Locate and Continue; AppendFrom another table and delimited text import
// and export.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zeb::xbase {

// --- Pack, Peek, Poke, Search
// Removes the records marked deleted; true when packed (or empty).
bool Pack();
// The stored bytes of field n (0 = deleted flag) of record r, unconverted;
// empty outside the table.
void Peek(int n, std::int32_t r, std::string& text);
// Writes text into field n (0 = deleted flag) of record r in the file.
void Poke(std::string_view text, int n, std::int32_t r);
// Finds text (case ignored) in the stored records; field: 0 any field, or
// the field to search; on a hit set to the hit's field, the table on its
// record. From the current record on unless fromTop.
void Search(std::string_view text, int& field, bool fromTop);
// A call-back that vets each hit of Search: it sets the found flag.
void SetSearchCallback(std::function<void()> callback);
void SetSearchFound(bool found);
int SearchHitField();
// Whole records the table file holds past its header's count: an append
// cut between writing its record and the header's new count. They stay out
// of the table (the header's count holds) until mended.
std::int32_t RecordsPastCount();
// Mends such a file under the file lock (or exclusive use): takeIn counts
// the whole records past the count into the table, else they are dropped;
// either way the file ends after the counted records with its end mark.
// False when there was nothing to mend (or on an error, reported).
bool MendRecordsPastCount(bool takeIn);

// --- Locate
// A value of any field type: text, number, integer, logical.
using TzVariant = std::variant<std::string, long double, std::int64_t, bool>;

// "NAME [NOCASE] [EXACT] [CONTAINED]": the field number, 0 on error.
int Locate(std::string_view command);
void LocateFrom(std::int32_t start, int field, bool first);
void Continue();
bool LocateValue(std::string_view command, const TzVariant& value, bool noCase, std::int32_t start, bool exact);
// names separated by ";", one value per name.
bool LocateFields(std::string_view names, const std::vector<TzVariant>& values, bool noCase, bool move,
                  bool exact);
void FieldValueAt(int n, std::int32_t r, std::string& text);
bool MemoContains(std::string_view text, std::string_view reference);
// The search text Locate uses for LocateFrom (set before it).
void SetLocateText(std::string_view text);

// --- AppendFrom and delimited text
// A value of the source AppendFrom could not take: the source record, the
// destination field, the source's stored text, and why.
struct AppendFromLoss {
  enum class Why { TooWide, NotANumber, NotADate };
  std::int32_t record = 0;
  std::string field;
  std::string text;
  Why why = Why::TooWide;
};
// What the last AppendFrom did (also when it failed part way): the records
// it appended and the values it could not take. Between tables of other
// structure a field without source, or with a blank source, stays blank; a
// value too wide for its field, a text that is no number for a numeric
// field and one that is no date for a date field are listed (a numeric or
// date field keeps blanks then; a character field takes the "*" of a number
// too wide, as the conversion rules say).
struct AppendFromReport {
  std::int32_t appended = 0;
  std::vector<AppendFromLoss> lost;
};
const AppendFromReport& LastAppendFromReport();
void AppendFrom(std::string_view source, std::function<bool()> continueWhile = {});
void CopyToText(std::string_view fileName, bool header);
void CopyToTextPlain(std::string_view fileName);
void AppendFromText(std::string_view fileName, bool showProgress);

}  // namespace zeb::xbase
