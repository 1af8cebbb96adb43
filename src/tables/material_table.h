// The material table zebwst.dbf and the tensile-strength tables zebrmmin.dbf
// and zebrmmax.dbf of the DBF folder, moved into and out of the material
// record (ZEBWST_Record) and RmTable. Field 27 is the material number, the
// key by which a spring names its material.
#pragma once
#include <cstdint>
#include <string>

#include "spring/material.h"

namespace zeb {

// Fields 1..27 of the current record into ZEBWST_Record (unless AbortFlag):
// texts to code page 850 without trailing blanks, numbers from their text
// (a text that does not convert or does not fit gives 0).
void MaterialReadRecord();
// ZEBWST_Record into fields 1..27 of the current record (unless AbortFlag).
void MaterialWriteRecord();
std::string MaterialNameFieldName();

// Opens zebwst.dbf; on failure "Fatal  : ZEBWST DBF error" joins the
// message list and false is returned.
bool MaterialOpenTable();
// The material-number index (temporary folder, rebuilt each time) as master.
void MaterialMakeNumberIndex();
// The 9-character key of a material number ("        7").
std::string MaterialKey(std::int32_t number);

// The material of that number into ZEBWST_Record and the spring data;
// false when the table cannot be opened or the number is not there
// (ZEBWST_Record unchanged).
bool MaterialLoadByNumber(std::uint16_t number);
// The table opened with its number index as master, left open.
bool MaterialOpenIndexed();
// For the spring-file reader: the material of that number into
// ZEBWST_Record, its tensile-strength limits into RmTable and its relaxation
// row into the relaxation record (all cleared first); false for a missing
// table or number. Closes the table. AbortFlag is left set when the table
// could not be read or holds no row of that number (named), else as it
// was.
bool LoadMaterialRow(std::int32_t number);

// The figures a calculation needs that a material lacks (shear modulus,
// modulus of elasticity, density), as the material form names them and
// joined by "und" (code page 850); empty when it has them all. Of the
// record, or of the current record of the open table (a field that holds
// no number at all counts as damage, not as lacking).
std::string MaterialLacks(const MaterialRecord& m);
std::string MaterialRowLacks();
// Text field n of the current material row in code page 850, control
// characters as blanks, trailing blanks cut.
std::string MaterialTextField(int n);
// The message that refuses a material lacking these figures.
std::string MaterialNotChoosableText(const std::string& name, const std::string& lacks);

// Lets the user choose a material in the table window. Mode 0 first asks
// whether a new one is to be entered; modes 1 and 3 first go to
// MaterialSource. OK: MaterialSource := the chosen material's number, the
// record read and taken into the spring data with its tensile-strength
// limits (the relaxation row is read again when needed); Cancel, or OK on
// a material that lacks a figure the calculation needs (a message names
// it): AbortFlag, nothing changed.
void MaterialSelect(int mode);

// The relaxation row of that material from zebwstr.dbf into the relaxation
// record (cleared first), the one lookup of every caller; a table that
// cannot be read, or whose row or keys are damaged, is named, marked
// (RelaxationTableBad) and listed ("Fatal  : ZEBWSTR.DBF error"): false
// with AbortFlag set.
bool LoadRelaxationRow(std::int32_t number);
// The rows of that material from zebrmmin and zebrmmax into RmTable; true
// when found in at least one.
bool LoadRmTables(std::uint16_t number);
// The current record of the open table into RmTable as table k (1 min, 2 max).
void ReadRmRecord(int k);

}  // namespace zeb
