// Text helpers: code page 850 <-> Windows-1252, plain-ASCII transliteration,
// unit signs, and the small column, trim, wrap and search operations.
// Positions and columns are 1-based.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zeb {

// Code page 850 byte -> plain ASCII text; bytes not listed map to themselves.
const std::array<std::string, 256>& OemTransliterationTable();
// Code page 850 byte -> Windows-1252 byte of the program's own table.
const std::array<unsigned char, 256>& OemAnsiCharTable();

// Code page 850 <-> Windows-1252 over the whole text, same length.
std::string OemToAnsiBuf(std::string_view s);
std::string AnsiToOemBuf(std::string_view s);

// Code page 850 text for display: in plain-text mode transliterated and
// mapped by the table, else OemToAnsiBuf. Any length.
std::string OemLineToAnsi(std::string_view s);
std::string OemToAnsiStr(std::string_view s);
// Windows input to code page 850. Any length.
std::string AnsiLineToOem(std::string_view s);
std::string TransliterateOem(std::string_view s);
std::string OemToAnsiByTable(std::string_view s);
// By TextOutputConversion: 2 Windows text, 3 ASCII, else unchanged.
std::string ConvertForTextOutput(std::string_view s);
std::string ReplaceBoxBar(std::string_view s);

// Signs in the current mode (code page 850).
std::string DegreeSign();
std::string DensityUnitName();
std::string PlusMinusSign();

std::string UpperStr(std::string_view s);  // ASCII letters only
std::string LowerStr(std::string_view s);
// Exactly n characters: cut or filled with blanks on the right.
std::string PadRightStr(std::string_view s, int n);
// Trimmed; blanks in front up to n, or its first n characters.
std::string PadLeftStr(std::string_view s, int n);
std::string LeftStr(std::string_view s, int n);
std::string RightStr(std::string_view s, int n);
// Characters a..b inclusive (cut to the text).
std::string MidStrFromTo(std::string_view s, int a, int b);
// Places a at column p of b when it fits whole; b keeps its length.
void OverwriteAt(std::string_view a, std::string& b, int p);
void ReplaceChar(char c, char d, std::string& s);
void DeleteBlanks(std::string& s);
std::string WithoutBlanks(std::string_view s);
// Leading and trailing blanks removed (only ' ').
std::string TrimBlanks(std::string_view s);
std::string PointToComma(std::string_view s);
std::string CommaToPoint(std::string_view s);
std::string CommaToPointB(std::string_view s);
// Position of the last occurrence of sub in s, 0 if none.
int LastPos(std::string_view sub, std::string_view s);
int CountChar(char c, std::string_view s);
// The one line rule of the program's text files: CR LF, LF and CR each end
// a line. Gives the line that starts at pos (without its end) and moves pos
// past its end; false at the end of the text. ended tells whether the line
// had its end (false for a last line that stops inside it).
bool NextTextLine(std::string_view text, std::size_t& pos, std::string_view& line, bool* ended = nullptr);
// Every line end of the text (by that rule) replaced by mark.
std::string JoinTextLines(std::string_view text, std::string_view mark);
// Control characters (below 32, and 127) as blanks; with keepLineEnds CR
// and LF stay.
std::string ControlCharsToBlanks(std::string text, bool keepLineEnds = false);
// Breaks s into lines of at most w characters into G().WrapLines[1..],
// each ending after the last separator that fits; returns the number of
// lines and sets longest to the longest line (at least 1).
int WrapTextLines(std::string_view s, char separator, int w, int& longest);
// True when a command-line parameter equals text, both in upper case.
bool HasCommandLineSwitch(std::string_view text);

}  // namespace zeb
