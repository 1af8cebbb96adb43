#include "drawings/support_drawings.h"

#include <algorithm>
#include <filesystem>

#include "base/globals.h"
#include "base/messages.h"
#include "base/services.h"
#include "graphics/cadsettings.h"
#include "mainwin/config.h"
#include "spring/dimension.h"
#include "spring/ref_spring.h"
#include "spring/springfile.h"

namespace zeb::test {

namespace fs = std::filesystem;

void DrawingTest::SetUp() {
  CadTest::SetUp();
  ResetSpringRecords();
  ResetConfigDefaults();
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

void ExpectDrawingGolden(const std::string& name, const std::string& actual) {
  ExpectGolden("../../drawings/golden/" + name, actual);
}

}  // namespace zeb::test
