// Shared helpers of the drawing tests: a fixture with fresh spring, CAD
// and diagram state writing into its own folder, the texts and lines a
// screen run recorded, and golden files of tests/drawings/golden.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "graphics/sink.h"
#include "graphics/support_cadrun.h"

namespace zeb::test {

class DrawingTest : public CadTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // CurrentFileName of the command-line export: dir()/name.
  std::string UseFileName(const std::string& name);
  std::vector<std::string> Texts();
  bool HasText(const std::string& text);
  std::vector<SinkCall> Lines() { return sink().Named("GrafLine"); }
};

// One entity of a DXF file as read back: type, layer, group values.
struct DxfEntity {
  std::string type, layer;
  std::vector<std::pair<int, std::string>> groups;
  double Get(int code, int nth = 0) const;  // NaN when missing
  std::string Text(int code) const;
};
// The entities of the ENTITIES section (block references not expanded).
std::vector<DxfEntity> ReadDxfEntities(const std::string& path);
// The entities of one BLOCK definition.
std::vector<DxfEntity> ReadDxfBlock(const std::string& path, const std::string& name);

// The REF spring of tests/spring, calculated.
void LoadRefSpring();
// examples/<name>, read and calculated; false when it does not read.
bool LoadExample(const std::string& name);
// The names of the example springs (examples/*.zeb), sorted.
std::vector<std::string> ExampleNames();

// Compares with tests/drawings/golden/<name> (ZEB1_UPDATE_GOLDEN=1 writes it).
void ExpectDrawingGolden(const std::string& name, const std::string& actual);

}  // namespace zeb::test
