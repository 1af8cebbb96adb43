// The spring file (".zeb"): the inputs and settings of the spring data set,
// the production data, the load spectrum, the change log with the drawing
// information, the document links and the value table, one value per line
// in a fixed order.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "spring/changelog.h"
#include "spring/documents.h"
#include "spring/spring_data.h"
#include "spring/valuetable.h"

namespace zeb {

// The records a spring file fills.
struct SpringFileRecords {
  SpringDataRecord SpringData;
  ProductionDataRecord ProductionData;
  TransverseLoadRecord TransverseLoad;  // FQ is filed
  LoadSpectrumRecord LoadSpectrum;
  std::uint16_t MaterialSource = 3;
  std::string SpringDbName = "zeb";
  ChangeLogData ChangeLog;
  DocumentLinkTable DocumentLinks;
  ValueTableRecord ValueTable;
  std::array<std::string, 4> TitleBlockLines;  // 1..3; index 0 unused
};

// The program-start values of every record (the change log dated today).
SpringFileRecords DefaultSpringFileRecords();
// A copy of the current records.
SpringFileRecords CurrentSpringFileRecords();
// Replaces the current records by these, all at once.
void InstallSpringFileRecords(const SpringFileRecords& records);

// The text of a float line: 7 decimals, or 3 significant digits for whole
// numbers below 1, as with DecimalsSetting 3, where that text holds the
// value (ReadsBackAsHeld: a typed value exactly); else all the digits the
// value takes (FloatToExactText). A value that is not finite gives "0".
std::string SpringFileFloatText(Real x);

// The whole file, header block first, lines ended by CR LF. Texts go out
// as one line each (line breaks become "|"); the texts of the eight-field
// line hold no "|" (written as "/").
std::string FormatSpringFile(const SpringFileRecords& records);

// Reads a file's bytes (CR LF, LF and CR each end a line; Ctrl-Z after the
// last line end is ignored) into out, starting from the program-start
// values. A file must hold the whole layout and no line after it (a line end
// inside a line makes one line too many; only a file of a later version may
// hold more); only one whose header names an older version ("Version 26.5"
// and before) may end after line 80 between sections (what is missing keeps
// its start value). A file ending early or inside its last line is cut; a
// file that starts with a byte order mark is named as text of another
// encoding. Every number must lie in the range its input
// field holds (codes in their lists, results of the calculation within
// ±1e15), marks hold J or N and switches TRUE or FALSE (either case; read
// upper-case). On failure false, out unspecified,
// and error names the line and what belongs there, or where the file ends
// (code page 850).
bool ParseSpringFile(std::string_view bytes, SpringFileRecords& out, std::string& error);

// True when the file of these records reads back: every value within the
// range its line holds, every real as the value it was written from
// (ReadsBackAsHeld; one that is not finite cannot be written). error, when
// given, names the first line the reader would refuse (code page 850).
bool SpringFileReadsBack(const SpringFileRecords& records, std::string* error = nullptr);

// Writes the current spring. name empty: the save-as dialog asks for it;
// a name without "." is completed in the data folder; else it is the path.
// The file is replaced only when written completely; failures are shown
// and set AbortFlag. A spring whose file would not read back is named and
// not saved, before anything is asked. The descriptions of the change log
// are marked in memory as they are written.
void WriteSpringFile(std::string_view name);

// The material state the spring data name: a table material (MaterialSel
// 0) read by MaterialSource with its tensile-strength limits and its
// relaxation row, otherwise (or when it is not in the table) the empty
// record. False when the material table could not be read (named, the
// record empty).
bool InstallSpringMaterial();

// Reads a spring file into the current records and calculates it (error
// boxes off meanwhile). name empty: asks for the file in CurrentDataFolder
// and, after a good read, sets CurrentFileName (bare name) and
// CurrentDataFolder; a name without "." (the template "null") is taken from
// CurrentDataFolder with the spring-file extension; else it is the path.
// A file that cannot be read leaves every record as it was, shows why (a
// file that is there but cut or damaged also while error boxes are off)
// and sets AbortFlag.
void ReadSpringFile(std::string_view name);
// The same for the file at path exactly as given, with or without an
// extension.
void ReadSpringFilePath(std::string_view path);

}  // namespace zeb
