// mktables CSV_FOLDER DBF_FOLDER WORK_FOLDER
//
// Writes the shipped dBase III tables (texts in code page 850) from the CSV
// files of CSV_FOLDER into DBF_FOLDER through the table engine. All CSVs are
// checked before anything is written; a malformed one ends the run with
// "<file>:<line>: <what>" and exit code 1. The header date is the day of
// SOURCE_DATE_EPOCH when that is set, so equal inputs give equal bytes.
//
// WORK_FOLDER keeps the last generated copy of each table. A table in
// DBF_FOLDER that differs from it (a user added a material) is kept, and
// the run says so; one that still equals it is replaced.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "csv.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/workarea.h"

namespace fs = std::filesystem;
using mktables::CsvFile;
using mktables::InputError;

namespace {

struct Field {
  std::string name;
  char type;  // C, N, L
  int length;
  int decimals = 0;
};

// One record: the stored text of every field (blank = spaces) and the mark.
struct Record {
  std::vector<std::string> stored;
  bool deleted = false;
};

struct Table {
  std::string name;  // file name without ".dbf"
  std::vector<Field> fields;
  std::vector<Record> records;
};

// Builds the stored texts of one record, field by field, checking widths.
class RecordBuilder {
 public:
  RecordBuilder(const CsvFile& csv, int line, const std::vector<Field>& fields)
      : csv_(csv), line_(line), fields_(fields) {}

  // value "" leaves the field blank.
  void Put(std::string_view value) {
    const Field& f = fields_.at(rec_.stored.size());
    std::string text;
    if (value.empty()) {
      text.assign(static_cast<std::size_t>(f.length), ' ');
    } else if (f.type == 'N') {
      auto s = mktables::StoredNumberText(value, f.length, f.decimals);
      if (!s) {
        if (!mktables::ParseScaled(value) && !mktables::StoredNumberText(value, 40, 20)) {
          csv_.Fail(line_, f.name + ": \"" + std::string(value) + "\" is not a number");
        }
        csv_.Fail(line_, f.name + ": " + std::string(value) + " does not fit N(" + std::to_string(f.length) + "," +
                             std::to_string(f.decimals) + ")");
      }
      text = *s;
    } else if (f.type == 'L') {
      if (value != "T" && value != "F") csv_.Fail(line_, f.name + ": \"" + std::string(value) + "\" is not T or F");
      text = value;
    } else {
      const std::size_t marks = static_cast<std::size_t>(std::count(value.begin(), value.end(), '?'));
      text = zeb::FromUtf8(zeb::CodePage::Cp850, value);
      if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '?')) != marks) {
        csv_.Fail(line_, f.name + ": \"" + std::string(value) + "\" has a character code page 850 lacks");
      }
      if (static_cast<int>(text.size()) > f.length) {
        csv_.Fail(line_, f.name + ": \"" + std::string(value) + "\" is longer than " + std::to_string(f.length));
      }
      text.resize(static_cast<std::size_t>(f.length), ' ');
    }
    rec_.stored.push_back(std::move(text));
  }

  Record Done(bool deleted) {
    rec_.deleted = deleted;
    return std::move(rec_);
  }

 private:
  const CsvFile& csv_;
  int line_;
  const std::vector<Field>& fields_;
  Record rec_;
};

std::string Cell(const CsvFile& csv, const mktables::CsvRow& row, std::string_view column) {
  return row.cells[csv.Column(column)];
}

std::string Path(const std::string& folder, const std::string& name) { return (fs::path(folder) / name).string(); }

// ------------------------------------------------------------ material table

const std::vector<Field>& MaterialFields() {
  static const std::vector<Field> f{
      {"NAME1", 'C', 50},     {"NAME2", 'C', 30},   {"NAME3", 'C', 20},     {"NAME4", 'C', 20},
      {"G", 'N', 9},          {"E", 'N', 9},        {"RHO", 'N', 9, 4},     {"RM0", 'N', 6},
      {"DR0", 'N', 9, 4},     {"RMMAX", 'N', 6},    {"RMSLOPE", 'N', 9},    {"D0", 'N', 9, 4},
      {"TAUO0", 'N', 6},      {"TAUOSL", 'N', 9},   {"TAUH0", 'N', 6},      {"TAUHSL", 'N', 9},
      {"GOODSL", 'N', 10, 6}, {"TAUO0P", 'N', 6},   {"TAUOSLP", 'N', 9},    {"TAUH0P", 'N', 6},
      {"TAUHSLP", 'N', 9},    {"GOODSLP", 'N', 10, 6}, {"DMIN", 'N', 9, 4}, {"DMAX", 'N', 9, 4},
      {"TMAX", 'N', 5},       {"TEXT", 'C', 80},    {"MATNR", 'N', 9}};
  return f;
}

// CSV columns in field order (MATNR from "number").
const char* const kMaterialColumns[] = {
    "name1", "name2",     "name3",        "name4",       "G",           "E",           "density",
    "Rm0",   "DR0",       "RmMax",        "RmSlope",     "d0",          "tauo0",       "tauoSlope",
    "tauh0", "tauhSlope", "GoodmanSlope", "tauo0_p",     "tauoSlope_p", "tauh0_p",     "tauhSlope_p",
    "GoodmanSlope_p",     "dmin",         "dmax",        "Tmax",        "text",        "number"};

Table MaterialTable(const CsvFile& csv) {
  Table t{"zebwst", MaterialFields(), {}};
  int position = 0;
  for (const auto& row : csv.rows) {
    ++position;
    RecordBuilder b(csv, row.line, t.fields);
    for (const char* column : kMaterialColumns) {
      std::string v = Cell(csv, row, column);
      // Without fatigue laws the reference diameter stays 1 mm, as a reset
      // material record has it.
      if (v.empty() && std::string_view(column) == "d0") v = "1.0";
      if (std::string_view(column) == "number" && mktables::ParseScaled(v) != mktables::ParseScaled(std::to_string(position))) {
        csv.Fail(row.line, "number " + v + " is not the row's position " + std::to_string(position));
      }
      b.Put(v);
    }
    // Rows lacking a figure the calculation needs are not preferred.
    bool incomplete = false;
    for (const char* column : {"G", "E", "density", "Rm0"}) incomplete |= Cell(csv, row, column).empty();
    t.records.push_back(b.Done(incomplete));
  }
  return t;
}

// ------------------------------------------------- tensile-strength tables

struct RmRange {
  std::vector<std::string> grades;  // "SM+DM" split
  std::optional<std::int64_t> over, upto;
  std::string min, max;
};

std::vector<RmRange> ReadRanges(const CsvFile& csv) {
  std::vector<RmRange> out;
  for (const auto& row : csv.rows) {
    RmRange r;
    std::stringstream grades(Cell(csv, row, "grade"));
    for (std::string g; std::getline(grades, g, '+');) r.grades.push_back(g);
    const std::string over = Cell(csv, row, "over");
    const std::string upto = Cell(csv, row, "upto");
    if (!over.empty() && !(r.over = mktables::ParseScaled(over))) csv.Fail(row.line, "over is not a number");
    if (!(r.upto = mktables::ParseScaled(upto))) csv.Fail(row.line, "upto is not a number");
    r.min = Cell(csv, row, "min");
    r.max = Cell(csv, row, "max");
    if (!mktables::ParseScaled(r.min)) csv.Fail(row.line, "min is not a number");
    if (!r.max.empty() && !mktables::ParseScaled(r.max)) csv.Fail(row.line, "max is not a number");
    if (r.grades.empty()) csv.Fail(row.line, "no grade");
    out.push_back(std::move(r));
  }
  return out;
}

// Standard diameter of each of the 94 slots in mm scaled, 0 = unknown.
std::vector<std::int64_t> ReadSteps(const CsvFile& csv) {
  std::vector<std::int64_t> steps;
  for (const auto& row : csv.rows) {
    auto slot = mktables::ParseScaled(Cell(csv, row, "slot"));
    auto h = mktables::ParseScaled(Cell(csv, row, "hundredths"));
    if (!slot || *slot != static_cast<std::int64_t>(steps.size() + 1) * 1000000) {
      csv.Fail(row.line, "slot is not " + std::to_string(steps.size() + 1));
    }
    if (!h || *h < 0 || *h % 1000000 != 0) csv.Fail(row.line, "hundredths is not a whole number >= 0");
    steps.push_back(*h / 100);
  }
  if (steps.size() != 94) csv.Fail(static_cast<int>(csv.rows.size()) + 1, "94 slots expected");
  return steps;
}

// zebrmmin (max = false) or zebrmmax: one row per material; slot i holds
// the published value of the first range of the material's grade that
// covers the slot's diameter, when the diameter is known and inside the
// material's dmin..dmax.
Table RmLimitTable(bool max, const CsvFile& materials, const std::vector<RmRange>& ranges,
                   const std::vector<std::int64_t>& steps) {
  Table t{max ? "zebrmmax" : "zebrmmin", {{"MATNR", 'N', 9}, {"NAME", 'C', 30}}, {}};
  for (int i = 1; i <= 94; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "V%02d", i);
    t.fields.push_back({name, 'N', 5});
  }
  for (const auto& row : materials.rows) {
    const std::string name1 = Cell(materials, row, "name1");
    const std::string grade = name1.substr(name1.find_last_of(' ') + 1);
    const auto dmin = mktables::ParseScaled(Cell(materials, row, "dmin"));
    const auto dmax = mktables::ParseScaled(Cell(materials, row, "dmax"));
    RecordBuilder b(materials, row.line, t.fields);
    b.Put(Cell(materials, row, "number"));
    b.Put(name1);
    for (std::int64_t d : steps) {
      std::string value;
      if (d > 0 && (!dmin || d >= *dmin) && (!dmax || d <= *dmax)) {
        for (const RmRange& r : ranges) {
          if (std::find(r.grades.begin(), r.grades.end(), grade) == r.grades.end()) continue;
          if ((r.over && d <= *r.over) || d > *r.upto) continue;
          value = max ? r.max : r.min;
          break;
        }
      }
      b.Put(value);
    }
    t.records.push_back(b.Done(false));
  }
  return t;
}

// ------------------------------------------------------------ plain tables

// A table whose CSV header names its fields in order.
Table PlainTable(const std::string& name, std::vector<Field> fields, const CsvFile* csv) {
  Table t{name, std::move(fields), {}};
  if (!csv) return t;
  if (csv->header.size() != t.fields.size()) {
    csv->Fail(1, "header has " + std::to_string(csv->header.size()) + " columns, the table " +
                     std::to_string(t.fields.size()));
  }
  for (std::size_t i = 0; i < t.fields.size(); ++i) {
    if (csv->header[i] != t.fields[i].name) csv->Fail(1, "column " + std::to_string(i + 1) + " must be " + t.fields[i].name);
  }
  for (const auto& row : csv->rows) {
    RecordBuilder b(*csv, row.line, t.fields);
    for (const auto& cell : row.cells) b.Put(cell);
    t.records.push_back(b.Done(false));
  }
  return t;
}

std::vector<Table> BuildTables(const std::string& csvFolder) {
  const CsvFile materials = mktables::ReadCsv(Path(csvFolder, "materials.csv"));
  const CsvFile ranges = mktables::ReadCsv(Path(csvFolder, "rm_ranges.csv"));
  const CsvFile steps = mktables::ReadCsv(Path(csvFolder, "std_diameter_steps.csv"));
  std::vector<Table> out;
  out.push_back(MaterialTable(materials));
  const auto r = ReadRanges(ranges);
  const auto s = ReadSteps(steps);
  out.push_back(RmLimitTable(false, materials, r, s));
  out.push_back(RmLimitTable(true, materials, r, s));

  std::vector<Field> relax{{"MATNR", 'N', 9}, {"NAME", 'C', 30}, {"T1", 'N', 5},
                           {"T2", 'N', 5},    {"D1", 'N', 8, 3}, {"D2", 'N', 8, 3}};
  for (int i = 1; i <= 8; ++i) {
    relax.push_back({"TAU" + std::to_string(i), 'N', 6});
    relax.push_back({"RX" + std::to_string(i), 'N', 7, 3});
  }
  out.push_back(PlainTable("zebwstr", relax, nullptr));

  const std::vector<Field> wire{{"D", 'N', 6, 2}, {"TOL", 'N', 6, 3}};
  const CsvFile din2076 = mktables::ReadCsv(Path(csvFolder, "din2076.csv"));
  out.push_back(PlainTable("din2076", {{"D", 'N', 6, 2}, {"TOLB", 'N', 6, 3}, {"TOLC", 'N', 6, 3}}, &din2076));
  for (const char* name : {"din2077", "t10270_1", "t10270_2", "t10270_3"}) {
    const CsvFile csv = mktables::ReadCsv(Path(csvFolder, std::string(name) + ".csv"));
    out.push_back(PlainTable(name, wire, &csv));
  }
  out.push_back(PlainTable("printout",
                           {{"NAME", 'C', 25},
                            {"XSCALE", 'N', 10, 4},
                            {"YSCALE", 'N', 10, 4},
                            {"XORIGIN", 'N', 6},
                            {"YORIGIN", 'N', 6},
                            {"LANDSCAPE", 'L', 1},
                            {"MONOCHROM", 'L', 1},
                            {"VARIABLE", 'L', 1},
                            {"BORDERLINE", 'L', 1}},
                           nullptr));
  return out;
}

// ------------------------------------------------------------------ writing

void WriteTable(const Table& t, const std::string& path) {
  namespace xb = zeb::xbase;
  std::vector<xb::FieldDesc> defs;
  for (const Field& f : t.fields) {
    defs.push_back({f.name, f.type, static_cast<std::uint8_t>(f.length), static_cast<std::uint8_t>(f.decimals), 0});
  }
  xb::DbfTable created;
  xb::CreateDbf(created, path, defs);
  xb::USE(path + " EXCLUSIVE");
  for (const Record& r : t.records) {
    xb::ClearRecord();
    xb::Append();
    const std::int32_t n = xb::RecNo();
    for (std::size_t i = 0; i < r.stored.size(); ++i) xb::Poke(r.stored[i], static_cast<int>(i + 1), n);
    if (r.deleted) xb::Poke("*", 0, n);
  }
  xb::CloseArea();
}

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void CopyFile(const std::string& from, const std::string& to) {
  const auto bytes = ReadBytes(from);
  const int err = bytes ? zeb::WriteWholeFile(to, *bytes) : ENOENT;
  if (err != 0) throw std::runtime_error(to + ": " + std::strerror(err));
}

// The header date comes from the stamp clock, which reads SOURCE_DATE_EPOCH;
// a value it cannot read is refused, not passed over for today.
void CheckHeaderDate() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch != nullptr && *epoch != '\0' && !zeb::SourceDateEpoch()) {
    throw InputError(std::string("SOURCE_DATE_EPOCH \"") + epoch + "\" is not a time in seconds");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: mktables CSV_FOLDER DBF_FOLDER WORK_FOLDER\n";
    return 2;
  }
  const std::string csvFolder = argv[1], dbfFolder = argv[2], work = argv[3];
  std::vector<Table> tables;
  try {
    CheckHeaderDate();
    tables = BuildTables(csvFolder);
  } catch (const InputError& e) {
    std::cerr << "mktables: " << e.what() << "\n";
    return 1;
  }
  try {
    zeb::xbase::SetTzRaiseMode(true);
    fs::create_directories(dbfFolder);
    fs::create_directories(work);
    for (const Table& t : tables) {
      const std::string file = t.name + ".dbf";
      const std::string fresh = Path(work, t.name + ".new.dbf");
      const std::string last = Path(work, file);
      const std::string target = Path(dbfFolder, file);
      fs::remove(fresh);
      WriteTable(t, fresh);
      const auto now = ReadBytes(target);
      const auto freshBytes = ReadBytes(fresh);
      if (now && now != ReadBytes(last) && now != freshBytes) {
        std::cout << "mktables: " << target << " changed since it was generated; kept\n";
        fs::remove(fresh);
        continue;
      }
      if (now != freshBytes) CopyFile(fresh, target);
      fs::rename(fresh, last);
    }
  } catch (const std::exception& e) {
    std::cerr << "mktables: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
