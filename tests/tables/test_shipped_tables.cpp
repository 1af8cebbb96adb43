// The generated wire tables against the tolerance routines the calculation
// uses, and the diameter slots of the strength tables against their CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "base/support_decimal.h"
#include "spring/spring_data.h"
#include "spring/tolerances.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/dbf/tablecmds.h"
#include "xbase/dbf/workarea.h"

namespace zeb {
namespace {

namespace xb = xbase;

struct WireRow {
  long double d;
  std::vector<long double> tol;
};

// Every record of a shipped table as numbers: the bytes each field holds,
// as the engine reads them (with a decimal point in any language).
std::vector<WireRow> ReadWireTable(const std::string& name) {
  xb::ResetTzEngine();
  xb::SetTzRaiseMode(true);
  xb::Select(1);
  xb::USE(std::string(ZEB1_DBF_FOLDER) + "/" + name + ".dbf");
  std::vector<WireRow> rows;
  for (std::int32_t r = 1; r <= xb::RecCount(); ++r) {
    xb::GO(r);
    const auto number = [&](int f) {
      std::string stored;
      xb::Peek(f, r, stored);
      return zeb::test::DecimalValue(stored);
    };
    WireRow row{number(1), {}};
    for (int f = 2; f <= xb::FieldCount(); ++f) row.tol.push_back(number(f));
    rows.push_back(row);
  }
  xb::CloseArea();
  return rows;
}

TEST(ShippedTables, EveryToleranceEqualsTheCalculations) {
  struct Case {
    const char* table;
    std::vector<int> codes;  // wire-standard code of each tolerance column
    std::size_t rows;
  };
  const Case cases[] = {{"din2076", {1, 2}, 87},  {"din2077", {3}, 71},   {"t10270_1", {9}, 87},
                        {"t10270_2", {10}, 62},   {"t10270_3", {11}, 75}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const auto rows = ReadWireTable(c.table);
    ASSERT_EQ(rows.size(), c.rows);
    for (const WireRow& row : rows) {
      ASSERT_EQ(row.tol.size(), c.codes.size());
      for (std::size_t k = 0; k < c.codes.size(); ++k) {
        const long double want = WireToleranceForStandard(c.codes[k], row.d);
        EXPECT_GT(want, 0) << row.d;
        EXPECT_NEAR(row.tol[k], want, 5e-7L) << "d " << row.d << " code " << c.codes[k];
      }
    }
  }
}

TEST(ShippedTables, DiameterSlotsEqualTheirCsv) {
  std::ifstream in(std::string(ZEB1_TABLE_CSVS) + "/std_diameter_steps.csv");
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "slot,hundredths");
  std::vector<std::int32_t> slots;
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    ASSERT_EQ(std::stoi(line.substr(0, comma)), static_cast<int>(slots.size()) + 1);
    slots.push_back(std::stoi(line.substr(comma + 1)));
  }
  ASSERT_EQ(slots.size(), kStandardDiameterSteps.size());
  for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(kStandardDiameterSteps[i], slots[i]) << "slot " << i + 1;
  // Ascending where known: the diagrams draw them as a staircase.
  std::int32_t last = 0;
  for (std::int32_t h : kStandardDiameterSteps) {
    if (h == 0) continue;
    EXPECT_GT(h, last);
    last = h;
  }
}

}  // namespace
}  // namespace zeb
