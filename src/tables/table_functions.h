// The procedural table functions: every subsystem reaches a dBase table
// through them, one table at a time, in the program's one table window.
// Tables are opened by bare name from the DBF folder; when that folder
// cannot be written or the file is read-only, a copy in the temporary folder
// is worked on. Texts are code page 850 on this side (field texts as the
// engine gives them: Windows-1252).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/real48.h"

namespace zeb {

// --- opening and closing
// name with or without extension (".dbf" added when it has no "."). A
// missing or unreadable table shows "Datei <path> nicht gefunden oder kein
// Zugriffsrecht !" and sets AbortFlag; nothing happens while AbortFlag is
// already set.
void TableOpen(std::string_view name);
void TableOpenFile(const std::string& path);
void TableClose();

// Whether the DBF folder holds a file of that table name (in any case).
bool TableFileExists(std::string_view name);
// The path TableOpen opens for name after its write check: the DBF folder's
// file, or its copy in the temporary folder; "" with AbortFlag set when it
// cannot be opened or is damaged ("Tabelle <path> beschädigt: <why>").
// Records past the header's count (an append cut short) are named so for
// the program's reads; with forRepair the table window opens such a table
// (the count holds, its edit offers to take them in or drop them).
std::string TablePathWithWriteCheck(std::string_view name, bool forRepair = false);
// Why a table file of the dBase III, IV or 7 layout is damaged, in German
// (code page 850): a head, field list or record length that do not agree, a
// file shorter than its record count says (records past the count are no
// damage: the count holds), or a record no dBase program writes (a deletion
// mark other than " " or "*", a byte a date or logical field cannot hold,
// number bytes no program writes: a NUL, a blank inside or after the
// number, a comma, any other byte that is no part of a number; a number
// its field's decimal count does not read as stored: named with record and
// field). "" when nothing is wrong, for other layouts and for a file that
// cannot be opened. Checked once per file state (xbase::CheckDbfFile).
std::string DbfDamage(const std::string& path);
// The records of the material numbers in numeric field `field` (1-based)
// of a sound table file, each number's first record, into keys (null for a
// file that cannot be read, for layouts other than dBase III, IV and 7 and
// for damage); why the file or that field is damaged: the file's damage, a
// key (of any record, marked ones too: a lookup finds them) that names no
// material (blank, no whole number from 1 on), or a number two records
// hold (named with both). Made once per file state.
std::string DbfKeyRecords(const std::string& path, int field, const std::map<std::int32_t, std::int32_t>*& keys);
// The bytes of each field of that record (1-based) of a sound table file
// as its checks read them, when they hold it (a small table, unchanged
// since); false else.
bool DbfHeldFields(const std::string& path, std::int32_t record, std::vector<std::string>& texts);
// Why a number field's stored bytes hold no number, with the bytes quoted;
// "" for a number or blanks.
std::string NumberTextDamage(std::string_view bytes);
// Why a key field's stored bytes name no material, as DbfKeyRecords says
// it; "" when they do (number set).
std::string KeyTextDamage(std::string_view bytes, std::int32_t& number);
// Stored bytes as the messages above show them: quoted, control
// characters as "?", without leading blanks.
std::string QuotedBytes(std::string_view bytes);
// Whether the table file at path may be read: its damage (DbfDamage), and
// unless forRepair records past its count, named as above (AbortFlag set)
// when not.
bool TableFileSound(const std::string& path, bool forRepair = false);
// Shows "Tabelle <path> beschädigt: <why>" (why in code page 850) and sets
// AbortFlag.
void ReportDamagedTable(const std::string& path, std::string_view why);

// --- positioning
// n beyond the end: "DBF #<n> not found." in the message list and the last
// record; n < 1: record 1.
void TableGo(std::int32_t n);
void TableSelectRecord(std::int32_t n);
void TableGoTop();
void TableSkip(std::int32_t n);
bool TableEof();
std::int32_t TableRecNo();
std::int32_t TableRecCount();
bool TableDeleted();
void TableShowDeleted();

// --- fields by number (1-based); outside 1..field count: "" / nothing
std::string TableFieldName(int n);
std::string TableGetField(int n);
void TablePutField(int n, std::string_view text);
void TablePutInt(int n, std::int32_t value);
void TablePutFloat(int n, const Real48& value);

// --- fields by name (cut to 10 characters)
void TablePutStrByName(std::string_view name, std::string_view text);
void TablePutIntByName(std::string_view name, std::int32_t value);
void TablePutFloatByName(std::string_view name, const Real48& value);
void TablePutBoolByName(std::string_view name, bool value);
bool TableGetBoolByName(std::string_view name);

// Append lock, one blank record (now current), unlock; false when the lock
// fails (nothing appended).
bool TableAppend();

// --- the window
void TableSetTitles(std::string_view title1, std::string_view title2);  // code page 850
void TableBrowse(int mode);

// --- index
std::string TempFolderFile(std::string_view name);
// False when the index could not be built (error shown, AbortFlag set).
bool TableIndexOnFile(std::string_view keyExpression, const std::string& indexPath);
// Builds the index "<temp folder>/<indexName>.ndx" and makes it the master.
void TableMakeIndex(std::string_view keyExpression, std::string_view indexName);
void TableSeek(std::string_view key);
bool TableFound();

// Test seam: the write test of a folder (true: writable). Default: write a
// line into a file without a name there (or, where the file system has no
// such files, into "TEST.$$$" made exclusively, then erased).
void SetFolderWriteTest(bool (*test)(const std::string& folder));
bool FolderPassesWriteTest(const std::string& folder);
// Why the last FolderPassesWriteTest failed: an errno value, 0 when the
// test gave none.
int FolderWriteTestError();

}  // namespace zeb
