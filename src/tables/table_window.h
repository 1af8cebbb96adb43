// The one table window of the program: the table it has open (its dataset
// over a DBF file), its titles, the found flag of the last seek and the
// globals its OK and Cancel buttons fill. Showing it to the user goes
// through a port: the Qt window, a script in tests, Cancel in batch runs.
//
// No exception leaves this library: an engine failure shows
// "Fehler : DBF Error <code>" with the engine's text, sets AbortFlag and
// closes a table whose open failed. A write the system refused (a full
// disk, no write right) is named in words instead: "Fehler : Die Datei
// <path> kann nicht geschrieben werden: <reason>. <what became of it>". Texts of the interface are code page
// 850; the engine hands field texts over in Windows-1252.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "platform/real48.h"
#include "xbase/dataset/filedataset.h"
#include "xbase/dataset/lldataset.h"

namespace zeb {

// Filled by the window's OK button (record, grid row and column, key 13)
// and Cancel (key 27, the numbers kept).
struct TableWindowGlobals {
  std::int32_t TableLastRecNo = 0;
  std::int32_t TableLastRow = 0;
  std::int32_t TableLastCol = 0;
  Byte LastKeyCode = 0;
};
TableWindowGlobals& TableGlobals();

class TableWindow;

// What the user did in the shown window.
struct BrowseAnswer {
  bool ok = false;
  std::int32_t record = 0;  // current record when OK was pressed (0: keep)
  std::int32_t row = 0;
  std::int32_t col = 0;
};

// Shows the window modally for the user to browse (modes 1, 4, 5) or edit
// (other modes) the open table.
class TableBrowserPort {
 public:
  virtual ~TableBrowserPort() = default;
  virtual BrowseAnswer Browse(TableWindow& window, int mode) = 0;
};

// Batch runs: nobody answers; every browse is cancelled.
class CancelTableBrowser : public TableBrowserPort {
 public:
  BrowseAnswer Browse(TableWindow&, int) override { return {}; }
};

// Tests: each browse takes the next answer; with none left it cancels.
// The window state at each call is noted ("mode 1 hide 1 titles a|b").
class ScriptedTableBrowser : public TableBrowserPort {
 public:
  void Answer(BrowseAnswer a) { answers_.push_back(a); }
  // Runs inside the browse, before the answer is taken (user edits).
  void During(std::function<void(TableWindow&)> f) { during_ = std::move(f); }
  BrowseAnswer Browse(TableWindow& window, int mode) override;
  const std::vector<std::string>& Seen() const { return seen_; }

 private:
  std::vector<BrowseAnswer> answers_;
  std::size_t next_ = 0;
  std::function<void(TableWindow&)> during_;
  std::vector<std::string> seen_;
};

void SetTableBrowser(std::shared_ptr<TableBrowserPort> port);  // nullptr: Cancel
TableBrowserPort& TableBrowser();

class TableWindow {
 public:
  // --- open and close
  // Opens the file at path (UTF-8); a failure reports the engine's error,
  // sets AbortFlag and leaves nothing open.
  void OpenFile(const std::string& path);
  // The write check of the DBF folder, then OpenFile (see table_functions.h);
  // a table with records past its header's count opens for its repair.
  void OpenWithWriteCheck(std::string_view name);
  void CloseTable();
  bool IsOpen() const { return open_; }
  // While a call on the dataset runs (events are processed inside it: a
  // table open, a progress window, a lock wait) or the window is shown, the
  // dataset is in use: an open, a close or a show that would replace it is
  // refused with a message and AbortFlag set.
  bool InUse() const { return depth_ > 0 || shown_; }
  // The open table (inactive while none is open).
  xbase::TTzDbf& Dataset() { return *tzdbf; }
  // An in-memory table the window holds; no command uses it.
  xbase::TTzVFile& VFile() { return *TzVFile1; }
  const std::string& FileName() const { return fileName_; }

  // --- titles (Windows-1252, as the window shows them)
  void SetTitles(std::string_view title1, std::string_view title2);
  const std::string& Title1() const { return title1_; }
  const std::string& Title2() const { return title2_; }
  // Browse modes 1, 4 and 5; every other mode edits.
  static bool BrowseMode(int mode) { return mode == 1 || mode == 4 || mode == 5; }
  // The window's caption in the mode it was last shown in (code page 850):
  // browsing title2 + 3 blanks + title1, editing title2 + 2 blanks + title1
  // + 2 blanks + "(" + the table's path + ")".
  std::string Caption850() const;

  // Shows the window (see TableBrowserPort); OK and Cancel fill
  // TableGlobals() and AbortFlag. Editing a table whose file holds records
  // past its header's count (an append cut short) asks first whether they
  // are taken in, dropped or left (MendRecordsPastCount).
  void ShowTable(int mode);
  // The question and the repair of records past the header's count: Ja
  // takes them in, Nein drops them, Abbrechen leaves the file as it is.
  void MendRecordsPastCount();
  // False (the reason shown) while records of a cut append stand past the
  // count, where an append would write over them; ask: the repair question
  // first.
  bool NoRecordsPastCount(bool ask);
  bool HidesDeleted();
  void SetHideDeleted(bool hide);

  // --- records and fields (nothing happens without an open table)
  void GoRecord(std::int32_t n);
  void GoTop();
  void Skip(std::int32_t n);
  bool IsEof();
  std::int32_t RecNo();
  std::int32_t RecCount();
  int FieldCount();
  bool Deleted();
  // "" outside 1..field count.
  std::string FieldName(int n);
  char FieldType(int n);  // 0 outside 1..field count
  int FieldDecimals(int n);  // the decimal count of the file; 0 outside 1..field count
  // The stored bytes of field n of the current record (blank numbers stay
  // blank); "" outside 1..field count.
  std::string RawField(int n);
  // Field n as text (Windows-1252); "" outside 1..field count.
  std::string GetField(int n);
  void PutStrByName(std::string_view name, std::string_view text);
  void PutIntByName(std::string_view name, std::int32_t value);
  void PutFloatByName(std::string_view name, const Real48& value);
  void PutBoolByName(std::string_view name, bool value);
  bool GetBoolByName(std::string_view name);
  // Sets or clears the deletion mark of the current record.
  void ToggleDeleted();
  // Append lock, a blank record, unlock. While another program holds the
  // lock the retry question "Die Tabelle <name> ist gerade von einem
  // anderen Programm gesperrt; ..." is asked;
  // Cancel gives false with AbortFlag set (nothing appended).
  // beforeAppend runs under the lock (numbering).
  bool AppendLocked(const std::function<void()>& beforeAppend = {});
  bool Pack();

  // --- index
  // False when the index could not be built (error shown).
  bool IndexOn(std::string_view expression, const std::string& indexPath);
  // Opens indexPath + ".ndx" as the master index.
  void SetIndexTo(const std::string& indexPath);
  // Seeks in the master index; a miss with exactly one "," retries with
  // "." in its place. Keeps the found flag.
  void Find(std::string_view key);
  bool Found() const { return found_; }

  // --- the window's commands
  // "Suchbegriff eingeben", then a search of every field from the top; a
  // miss retries with "." for ","; "<text> nicht gefunden" when both miss.
  // started runs once the text is given, before the search.
  void SearchCommand(const std::function<void()>& started = {});
  void SearchNextCommand();
  const std::string& SearchText() const { return searchText_; }
  // Orders the table by the field of a clicked column (0-based) through the
  // index "$tlmtemp.ndx" in the temporary folder; the record stays current.
  // Logical and memo columns keep the order.
  void SortByColumn(int column);
  // Pack after the engine's question "PACK <path>"; Cancel keeps the file.
  void PackCommand();
  // Records of another table or of a delimited text appended under the
  // file lock; the refused lock is named when another program holds it.
  // Append dbf ends with a message of the records appended and the values
  // that could not be taken.
  void AppendDbfCommand(const std::string& path);
  void AppendDelimitedCommand(const std::string& path);
  void SaveAsDelimitedCommand(const std::string& path);
  // The table as an HTML page (UTF-8), then the HTML viewer on it; false
  // when the file cannot be written (message shown).
  bool ExportHtml(const std::string& path);
  // The table as a report table through the output device, each column its
  // field's length + 1 wide, every record as stored. A table wider than a
  // report line or of more than seven fields is printed in parts ("Felder
  // <a> bis <b> von <n>"), each of the fields that fit a line after the
  // record number ("Satz"): every field is printed.
  void PrintCommand();

  // Runs body with the engine raising its errors; an engine or dataset
  // error is reported (box, AbortFlag) and false returned. An open hands a
  // damage the engine found to onDamage (code, the engine's text) instead.
  bool Guarded(const std::function<void()>& body,
               const std::function<bool(std::uint16_t, const std::string&)>& onDamage = {});
  // Posts a field change still pending on the current record; one that
  // cannot be written is given up.
  void Settle();

  TableWindow();
  ~TableWindow();
  TableWindow(const TableWindow&) = delete;
  TableWindow& operator=(const TableWindow&) = delete;

 private:
  void MakeDatasets();
  void CloseNow();
  // While in use: the message (its end given in code page 850), AbortFlag
  // set, true.
  bool RefusedInUse(std::string_view refusal);
  // The open table's file name, "Datensatz <n> der Tabelle <name>", and
  // the start of a refused lock's message (code page 850).
  std::string TableName() const;
  std::string RecordName();
  std::string LockedBy(bool record);
  // The closing message of Append dbf: the records appended from path and
  // the values that could not be taken (code page 850).
  std::string AppendedFrom(const std::string& path);
  // Settles a pending edit, then runs body guarded (false: not open).
  bool Run(const std::function<void()>& body);

  std::unique_ptr<xbase::TTzDbf> tzdbf;
  std::unique_ptr<xbase::TTzVFile> TzVFile1;
  bool open_ = false;
  int depth_ = 0;       // calls on the dataset running
  bool shown_ = false;  // the window shows the table
  int mode_ = 1;        // the mode it was last shown in
  std::string fileName_;
  std::string title1_, title2_;
  bool found_ = false;
  std::string searchText_;
};

// The program's one table window.
TableWindow& TheTableWindow();

// In an edit of a copy in the temporary folder: tells the user that the
// DBF folder cannot be written.
void WarnWhenTableIsACopy();

// Why the engine refused to open the table file path, in German (code page
// 850) without the engine's codes and routine names; "" when the failure is
// no damage of the file (a lock, a missing right).
std::string EngineOpenDamage(std::uint16_t code, const std::string& engineText, const std::string& path);

// Shows "Fehler : DBF Error <code>" (for a refused write its cause in
// words instead) and the engine's last text and sets AbortFlag (code 0:
// the engine's current code; text "": its last text).
void ReportDbfError(std::uint16_t code, std::string text = {});

}  // namespace zeb
