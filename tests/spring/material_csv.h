// The rows of the shipped material table's source, data/tables/materials.csv
// (ZEB1_TABLE_CSVS names its folder), by column name; no quoted cells.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zeb::test {

inline std::vector<std::map<std::string, std::string>> MaterialRows() {
  std::ifstream in(std::string(ZEB1_TABLE_CSVS) + "/materials.csv");
  std::vector<std::string> header;
  std::vector<std::map<std::string, std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream ss(line);
    for (std::string c; std::getline(ss, c, ',');) cells.push_back(c);
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    if (header.empty()) {
      header = cells;
      continue;
    }
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i) row[header[i]] = cells[i];
    rows.push_back(row);
  }
  return rows;
}

}  // namespace zeb::test
