// The spring-file list: one row of main data per spring file of the data
// folder, sorted by a column, searched, and a row picked to open its file.
// Reading the files for the list leaves the current document as it was.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace zeb {

inline constexpr int kFileListColumns = 35;
inline constexpr int kMaxListedFiles = 1000;

// Titles of row 0.
const std::array<const char*, kFileListColumns>& FileListTitles();
// Regular files "*.zeb" (any case) of folder, in byte order of their
// names, at most kMaxListedFiles.
std::vector<std::string> ListSpringFileNames(const std::string& folder);

struct FileListGrid {
  std::vector<std::vector<std::string>> rows;  // row 0 the titles; cells 1252
  int currentRow = 0, currentColumn = 0;
  std::string searchText;                      // 1252
};

// The rows of the data folder's spring files. Each file is read and
// calculated in place of the current spring, which is put back afterwards
// with its material, name, modified flag and caption; a file that cannot
// be read gives a row with its name and date only.
FileListGrid BuildFileList();
// The row of the data set in memory for a file (name and date given).
std::vector<std::string> FileListRowOfCurrentSpring(const std::string& name, const std::string& date);

// Sorts rows 1.. by the texts of column (byte order); the current row
// follows its data.
void SortFileList(FileListGrid& grid, int column);
// Searches from the row after startRow on, columns from 0, for a cell that
// holds the search text; it becomes the current cell. None: the box
// "<text> not found." and false.
bool SearchFileList(FileListGrid& grid, int startRow);
// A user's pick of row r: the file is read as the current document
// (modified flag 0, caption updated); false when it could not be read.
bool OpenListedFile(const FileListGrid& grid, int row);

}  // namespace zeb
