// Every write road of the file dataset with each of its file steps failing
// in turn: an edit, a new record and a deletion mark of a table with a memo
// file and an index of its own, appends from a table with memos and from a
// delimited text, Pack, an index built, a copy to a delimited text. What the
// user reads (the failure's text as the grid shows it) is judged against
// the bytes of table, memo file and index after the failure.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/failure_roads.h"
#include "base/step_order.h"
#include "dataset_support.h"
#include "failure_tables.h"
#include "platform/codepage.h"
#include "xbase/dataset/filedataset.h"

namespace zeb::xbase::test {
namespace {

namespace fs = std::filesystem;
namespace fr = zeb::test::failure_roads;
using namespace failure_judges;

// The failure as the grid shows it.
std::string Shown(const std::exception& e) { return ToUtf8(CodePage::Cp1252, UserFailureText(e.what())); }

// The road on t.dbf opened with its index: open, the action, close, each
// told by what it throws.
fr::Road DatasetRoad(const std::string& name, std::function<void(TTzDbf&, const fs::path&)> action,
                     decltype(fr::Road::partial) partial = IndexBehind) {
  fr::Road road;
  road.name = name;
  // The index semaphore of shared use is no file of the user's.
  road.scratch = {"t.@S@"};
  road.notIn = ".@S@";
  road.prepare = [](const fs::path& root) {
    ResetTzEngine();
    InitTableEngineUnits();
    MakeFailureTables(root);
  };
  road.run = [action](const fs::path& root, const zeb::test::FileFaultPlan& plan) {
    fr::Outcome out;
    ResetTzEngine();
    InitTableEngineUnits();
    zeb::test::ArmFileFaults(plan);
    TTzDbf ds("T");
    const auto step = [&](const std::function<void()>& f) {
      try {
        f();
        return true;
      } catch (const std::exception& e) {
        out.texts.push_back(Shown(e));
        return false;
      }
    };
    if (step([&] {
          ds.SetDbfFileName((root / "t.dbf").string());
          ds.Open();
          // One file by its full name: a folder with blanks stays one name.
          ds.SetIndexToLFN((root / "t.ndx").string(), 1);
        }))
      step([&] { action(ds, root); });
    step([&] {
      if (ds.Active()) ds.Close();
    });
    out.steps = zeb::test::DisarmFileFaults();
    ResetTzEngine();
    return out;
  };
  road.partial = std::move(partial);
  // The index's header written again when the table is closed.
  road.madeGoodLater = {"Index ist nicht nachgeführt", "im Index nicht nachgeführt"};
  return road;
}

std::vector<fr::Road> Roads() {
  std::vector<fr::Road> roads = {
      DatasetRoad("Edit",
                  [](TTzDbf& ds, const fs::path&) {
                    ds.Go(3), ds.Edit(), ds.FieldByName("NAME").SetAsString("X3");
                    ds.Post();
                  }),
      DatasetRoad("NewRecord",
                  [](TTzDbf& ds, const fs::path&) {
                    ds.Append(), ds.FieldByName("NAME").SetAsString("A6");
                    ds.Post();
                  }),
      DatasetRoad("DeleteMark", [](TTzDbf& ds, const fs::path&) { ds.Go(2), ds.Delete(); }),
      // The edit with the steps of the index semaphore counted too: each
      // of its writes failing leaves the table and the index as they were
      // or as meant, told, and never keeps the next write waiting.
      DatasetRoad("EditSemaphore",
                  [](TTzDbf& ds, const fs::path&) {
                    ds.Go(3), ds.Edit(), ds.FieldByName("NAME").SetAsString("X3");
                    ds.Post();
                  }),
      DatasetRoad(
          "AppendDbf", [](TTzDbf& ds, const fs::path& root) { ds.AppendFrom((root / "s.dbf").string()); },
          AppendedPart),
      DatasetRoad(
          "AppendDelimited",
          [](TTzDbf& ds, const fs::path& root) { ds.AppendFromDelimited((root / "d.txt").string()); }, AppendedPart),
      DatasetRoad("Pack", [](TTzDbf& ds, const fs::path&) { ds.Pack(); }),
      DatasetRoad("IndexOn", [](TTzDbf& ds, const fs::path& root) { ds.IndexOn("NUM", (root / "n.ndx").string()); }),
      DatasetRoad("CopyToDelimited",
                  [](TTzDbf& ds, const fs::path& root) { ds.CopyToDelimited((root / "out.txt").string()); }),
  };
  for (fr::Road& r : roads)
    if (r.name == "EditSemaphore") r.notIn.clear();
  return roads;
}

class FailedSteps : public DatasetTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // The roads' folder lies outside the temporary folder, whose indexes a
  // failure text names as temporary files.
  void SetUp() override {
    DatasetTest::SetUp();
    CheckFolder() = dir.path();
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr) oldTmp_ = tmp;
    fs::create_directories(dir / "tmp");
    ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (oldTmp_.empty())
      ::unsetenv("TMPDIR");
    else
      ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    DatasetTest::TearDown();
  }

 private:
  std::string oldTmp_;
};

TEST_P(FailedSteps, TellWhatTheFilesHold) {
  for (const fr::Road& road : Roads()) {
    if (road.name != GetParam()) continue;
    const std::vector<std::string> wrong = fr::EveryStepFailing(road, fs::path(dir.path()) / "road");
    for (const std::string& w : wrong) ADD_FAILURE() << w;
  }
}

// A pack's copies reach the disk before either takes its file's place, and
// the table's copy goes in last: a power cut at any moment leaves the table
// and its memo file both as before or both packed.
TEST_F(FailedSteps, APacksCopiesAreOnTheDiskBeforeTheyTakeTheirPlaces) {
  for (const fr::Road& road : Roads()) {
    if (road.name != "Pack") continue;
    const fs::path root = fs::path(dir.path()) / "order";
    fs::create_directories(root);
    road.prepare(root);
    zeb::test::FileFaultPlan plan;
    plan.in = root.string();
    plan.notIn = road.notIn;
    const fr::Outcome out = road.run(root, plan);
    EXPECT_EQ(zeb::test::MissingInOrder(out.steps, {"write .t.dbt.~zeb1~*", "fsync .t.dbt.~zeb1~*",
                                                    "write .t.dbf.~zeb1~*", "fsync .t.dbf.~zeb1~*",
                                                    "rename .t.dbt.~zeb1~* -> t.dbt",
                                                    "rename .t.dbf.~zeb1~* -> t.dbf"}),
              "");
    std::string lastPlaced;
    for (const auto& s : out.steps)
      if (s.kind == "rename" || s.kind == "link") lastPlaced = zeb::test::StepText(s);
    EXPECT_TRUE(zeb::test::NameMatches("rename .t.dbf.~zeb1~* -> t.dbf", lastPlaced)) << lastPlaced;
  }
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedSteps,
                         ::testing::Values("Edit", "NewRecord", "DeleteMark", "EditSemaphore", "AppendDbf",
                                           "AppendDelimited", "Pack", "IndexOn", "CopyToDelimited"));

}  // namespace
}  // namespace zeb::xbase::test
