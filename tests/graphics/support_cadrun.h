// Shared helpers of the CAD layer tests: a fixture with fresh CAD, diagram
// and hatch state, a private folder and a recording screen sink; file runs;
// the drawings of the golden files; golden file comparison.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/support_fixture.h"
#include "graphics/cad.h"
#include "graphics/sink.h"

namespace zeb::test {

// TearDown runs the peer checkers on every DXF and IGES file left in dir().
class CadTest : public BaseTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The screen's record with what the CAD layer holds back drawn.
  RecordingSink& sink() {
    CadFlush();
    return *sink_;
  }
  // Private folder of this test (in the build tree), emptied at start.
  const std::string& dir() const { return dir_; }
  // The configured temporary folder of this test (dir()/tmp).
  const std::string& tmp() const { return tmp_; }

 private:
  std::shared_ptr<RecordingSink> sink_;
  std::string dir_, tmp_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& data);

// One whole output run of code 1, 2 or 5 into base + extension (the
// command-line export path, no dialog): header (0, 0, 160, 120), tables 2,
// blocks() between CadBeginBlocks and CadEndSection when given, entities()
// in the entities section. Returns the file's path.
std::string RunToFile(int code, const std::string& base, const std::function<void()>& entities,
                      const std::function<void()>& blocks = {});
// A screen run of the same shape.
void RunToScreen(const std::function<void()>& entities, const std::function<void()>& blocks = {});
// A run of any code as the settings stand (no blocks section): header
// (0, 0, width, height), layer tables of the given mode. Returns the file's
// path.
std::string RunCode(int code, const std::function<void()>& entities, int tables = 2, long double width = 160,
                    long double height = 120);

// Every primitive with its edge cases (entities) and two blocks, OUTER
// inserting INNER (blocks): reference.dxf and reference.txt.
void DrawReferenceEntities();
void DrawReferenceBlocks();
// The same cases placed for primitives.igs, with blocks nested three deep.
void DrawPrimitiveEntities();
void DrawPrimitiveBlocks();

// Compares with tests/graphics/golden/<name> by value (base/support_golden.h),
// the IGES file date masked; with ZEB1_UPDATE_GOLDEN=1 the golden file is
// written instead (review it by eye before keeping it).
void ExpectGolden(const std::string& name, const std::string& actual);

}  // namespace zeb::test
