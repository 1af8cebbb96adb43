// Hand-over to a spreadsheet program: the saved spring file and the full
// printout as CSV documents (UTF-8, every cell quoted, CR LF), each under a
// new name in the temporary folder, opened by the table editor program
// (TableEditorPath, "xdg-open" when empty) with the document's absolute
// path as one argument. A program that holds an earlier document keeps it.
// A cell beginning with "=", "@", or a "+" or "-" that does not begin a
// number is written with a leading "'", so that it shows as text.
#pragma once
#include <string>
#include <vector>

#include "base/files.h"

namespace zeb {

// Writes the document; its path, or "" after an error box.
std::string WriteCsvDocument(const std::vector<std::vector<std::string>>& rowsUtf8);
// Starts the table editor with the document; false, after a message that
// names the program and the document (which stays), when it cannot start.
// One that ends at once with an error is named so once no command runs,
// and the export item is off again.
bool OpenSpreadsheetDocument(const std::string& path);


// Start: the saved spring file, one line a row. An unnamed spring gets the
// save request; a failure sets AbortFlag. Enables the export on success.
void StartSpreadsheet();
// Export: saves a modified spring first (the modified flag stays), then a
// new document as Start makes.
void ExportInputDataToSpreadsheet();
// The full printout as its TXT copy split at tabs; a spring with a fatal
// message shows the message window instead.
void PrintoutToSpreadsheet();
// Start succeeded once (the export item's state).
bool& SpreadsheetStarted();

}  // namespace zeb
