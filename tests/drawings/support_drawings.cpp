#include "base/support_decimal.h"
#include "drawings/support_drawings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "base/globals.h"
#include "base/messages.h"
#include "base/services.h"
#include "graphics/cadsettings.h"
#include "settings/config.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"
#include "spring/springfile.h"

namespace zeb::test {

namespace fs = std::filesystem;

void DrawingTest::SetUp() {
  CadTest::SetUp();
  ResetSpringRecords();
  ResetConfigDefaults();
  G().TempFolder = tmp();  // the configuration reset cleared it
  ClearErrorMessages();
  CadSettings().CommandLineExport = 1;
  UseFileName("out");
}

void DrawingTest::TearDown() {
  SetTables(nullptr);
  CadTest::TearDown();
}

std::string DrawingTest::UseFileName(const std::string& name) {
  G().CurrentFileName = dir() + "/" + name;
  return G().CurrentFileName;
}

std::vector<std::string> DrawingTest::Texts() {
  std::vector<std::string> out;
  for (const SinkCall& c : sink().Named("GrafOutTextXY")) out.push_back(c.text);
  return out;
}

bool DrawingTest::HasText(const std::string& text) {
  const auto t = Texts();
  return std::find(t.begin(), t.end(), text) != t.end();
}

double DxfEntity::Get(int code, int nth) const {
  for (const auto& [c, v] : groups)
    if (c == code && nth-- == 0) return static_cast<double>(zeb::test::DecimalValue(v));
  return std::nan("");
}

std::string DxfEntity::Text(int code) const {
  for (const auto& [c, v] : groups)
    if (c == code) return v;
  return {};
}

namespace {

std::vector<std::pair<int, std::string>> DxfPairs(const std::string& path) {
  std::istringstream in(ReadFileBytes(path));
  std::vector<std::pair<int, std::string>> pairs;
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (!value.empty() && value.back() == '\r') value.pop_back();
    pairs.emplace_back(std::stoi(code), value);
  }
  return pairs;
}

// Entities from pairs[from] up to the first ENDSEC or ENDBLK.
std::vector<DxfEntity> EntitiesFrom(const std::vector<std::pair<int, std::string>>& pairs, std::size_t from) {
  std::vector<DxfEntity> out;
  for (std::size_t k = from; k < pairs.size(); ++k) {
    const auto& [c, v] = pairs[k];
    if (c == 0) {
      if (v == "ENDSEC" || v == "ENDBLK") break;
      out.push_back({v, "", {}});
      continue;
    }
    if (out.empty()) continue;
    if (c == 8) out.back().layer = v;
    out.back().groups.emplace_back(c, v);
  }
  return out;
}

}  // namespace

std::vector<DxfEntity> ReadDxfEntities(const std::string& path) {
  const auto pairs = DxfPairs(path);
  for (std::size_t k = 0; k + 1 < pairs.size(); ++k)
    if (pairs[k].first == 2 && pairs[k].second == "ENTITIES") return EntitiesFrom(pairs, k + 1);
  return {};
}

std::vector<DxfEntity> ReadDxfBlock(const std::string& path, const std::string& name) {
  const auto pairs = DxfPairs(path);
  for (std::size_t k = 0; k + 2 < pairs.size(); ++k) {
    if (pairs[k].first != 0 || pairs[k].second != "BLOCK") continue;
    std::size_t j = k + 1;
    while (j < pairs.size() && pairs[j].first != 0 && !(pairs[j].first == 2 && pairs[j].second == name)) ++j;
    if (j < pairs.size() && pairs[j].first == 2) {
      while (j < pairs.size() && pairs[j].first != 0) ++j;
      return EntitiesFrom(pairs, j);
    }
  }
  return {};
}

void LoadRefSpring() {
  InstallRefMaterialTable();
  MakeRefSpring();
  RunRecalculation();
}

bool LoadExample(const std::string& name) {
  const fs::path path = fs::path(__FILE__).parent_path() / "../../examples" / name;
  G().AbortFlag = 0;
  ReadSpringFile(path.lexically_normal().string());
  return G().AbortFlag == 0;
}

std::vector<std::string> ExampleNames() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(fs::path(__FILE__).parent_path() / "../../examples"))
    if (e.path().extension() == ".zeb") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectDrawingGolden(const std::string& name, const std::string& actual) {
  ExpectGolden("../../drawings/golden/" + name, actual);
}

}  // namespace zeb::test
