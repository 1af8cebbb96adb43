#include <memory>
#include <string>
#include <vector>

#include "base/services.h"
#include "support_fixture.h"

namespace zeb {
namespace {

class ServicesTest : public test::BaseTest {};

using Calls = std::vector<std::string>;

TEST_F(ServicesTest, FakesAreTheDefaultsAndRecordInOrder) {
  SetGraphics(nullptr);
  auto* graphics = dynamic_cast<RecordingGraphics*>(&Graphics());
  ASSERT_NE(graphics, nullptr);
  Graphics().GrafClear();
  Graphics().GrafHeader(false, 0, 0, 160, 120);
  Graphics().GrafSetWindow(true, true, 0.1L, 0.05L, 0.95L, 0.95L, 0, 0, 36.9L, 32.0L);
  Graphics().PlayHpglFile("/x/pic.plt");
  EXPECT_EQ(graphics->Calls(), (Calls{"GrafClear()", "GrafHeader(0,0,0,160,120)",
                                      "GrafSetWindow(1,1,0.1,0.05,0.95,0.95,0,0,36.9,32)",
                                      "PlayHpglFile(/x/pic.plt)"}));
  SetGraphics(nullptr);  // a fresh fake
  EXPECT_TRUE(dynamic_cast<RecordingGraphics&>(Graphics()).Calls().empty());
}

TEST_F(ServicesTest, InstalledServicesAreUsed) {
  auto drawings = std::make_shared<RecordingDrawings>();
  auto tables = std::make_shared<RecordingTables>();
  SetDrawings(drawings);
  SetTables(tables);
  Drawings().DrawSpringView(3, kCadScreen, true);
  Drawings().ShowDiagram(2, kCadDxf);
  EXPECT_EQ(drawings->Calls(), (Calls{"DrawSpringView(3,3,1)", "ShowDiagram(2,1)"}));

  EXPECT_FALSE(Tables().LoadMaterialRow(7));
  EXPECT_EQ(Tables().TableFieldName(27), "");
  Tables().TablePutFloatByName("DRAHT", Real48{0x81, 0, 0, 0, 0, 0xc0});
  Tables().TableOpen("printout");
  EXPECT_EQ(tables->Calls(), (Calls{"LoadMaterialRow(7)", "TableFieldName(27)", "TablePutFloatByName(DRAHT,-1.5)",
                                    "TableOpen(printout)"}));
  SetDrawings(nullptr);
  SetTables(nullptr);
}

}  // namespace
}  // namespace zeb
