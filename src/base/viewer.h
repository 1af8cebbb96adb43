// Text files of the program (code page 850) on the screen, on the printer
// and in a spreadsheet.
#pragma once
#include <functional>
#include <bitset>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zeb {

enum class FontStyle { Bold = 0, Italic = 1, Underline = 2, StrikeOut = 3 };

// A set of font styles; its number is the sum of 1 bold, 2 italic,
// 4 underline and 8 strike-out.
class FontStyleSet {
 public:
  FontStyleSet() = default;
  FontStyleSet(std::initializer_list<FontStyle> styles) {
    for (FontStyle s : styles) Add(s);
  }
  void Add(FontStyle s) { bits_.set(static_cast<std::size_t>(s)); }
  bool Has(FontStyle s) const { return bits_.test(static_cast<std::size_t>(s)); }
  bool operator==(const FontStyleSet&) const = default;

 private:
  friend int FontStyleToBits(FontStyleSet styles);
  friend FontStyleSet BitsToFontStyle(int bits, FontStyleSet defaultSet);
  std::bitset<4> bits_;
};

int FontStyleToBits(FontStyleSet styles);
// Numbers 0..15 give their set, anything else the default set.
FontStyleSet BitsToFontStyle(int bits, FontStyleSet defaultSet);

// The viewer over the converted copy "outwin.txt" of the temp folder,
// titled with what it shows (subject, Windows-1252); printFile is the code
// page 850 file it was made from (UTF-8 path). The window opens where the
// last one was closed. Its "Drucken" runs print (by default PrintTextFile
// of printFile).
void ShowTextFileViewer(std::string_view subject, std::string_view printFile, std::function<void()> print = {});
// The box for a program that could not be started (errno `error`): the
// reason ("file not found", "out of memory !" or "Exec error n"), the
// program, and the setting where another program is entered. OEM texts.
void ShowProgramStartError(int error, std::string_view program, std::string_view setting);
// Hands a document to the program of a configured text (split at blanks,
// quotes group; "xdg-open" when empty) as one more, absolute argument; the
// program's output goes nowhere. Returns at once: "" when it started, else
// what went wrong, naming the program (code page 850). A program that ends
// with an error within the settle time (xdg-open without a program for the
// file) is named later, through failed, once no command runs (inWindow:
// also while a window such as the table window is open).
std::string OpenDocumentWith(std::string_view program, std::string_view file,
                             std::function<void(const std::string& why)> failed, bool inWindow = false);
// How long a helper is watched for an early failure.
inline constexpr int kHelperSettleMs = 3000;
// Where the text program and the HTML browser are set.
inline constexpr const char* kTextProgramSetting = "Datei > Einstellungen > Extern > Textprogramm";
inline constexpr const char* kHtmlBrowserSetting = "Datei > Einstellungen > Extern > HTML Browser";
// UTF-8 path of the viewer's display file.
std::string ViewerDisplayFile();

// Prints a code page 850 text file; a line beginning with a form feed
// starts the next page and is not printed.
void PrintTextFile(std::string_view fileName);
// Copies source to destination, each line to Windows text. Any error sets
// AbortFlag and leaves the destination as it was.
int ConvertTextFileOemToAnsi(std::string_view source, std::string_view destination);
// The same conversion of text held in memory.
int ConvertTextOemToAnsi(std::string_view text, std::string_view destination);
// Writes the lines of a code page 850 text file as a one-column UTF-8 CSV
// into the temp folder and opens it with the table program.
void ExportTextFileToExcel(std::string_view fileName);

}  // namespace zeb
