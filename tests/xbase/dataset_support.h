// Helpers for the dataset tests: a fresh engine with every unit, a
// recording callback, a fixed short date format and small tables.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "x1_support.h"
#include "xbase/core/callbacks.h"
#include "xbase/core/dates.h"
#include "xbase/core/engine.h"
#include "xbase/core/errors.h"
#include "xbase/core/units.h"
#include "xbase/dataset/field_values.h"
#include "xbase/dbf/dbffile.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase::test {

inline bool HaveDbfreadPeer() {
  std::string out;
  return RunCommand("/usr/bin/python3 -c 'import dbfread' 2>&1", out) == 0;
}

class DatasetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTzEngine();
    SetTzExitHandler([this](int code) { exitCodes.push_back(code); });
    callback = std::make_shared<HeadlessTzCallback>();
    SetTzCallback(callback);
    InitTableEngineUnits();
    StartDatasetUnitOnce();
    ApplyShortDateFormat("dd.MM.yyyy");
  }
  void TearDown() override { ResetTzEngine(); }

  // Texts of the message boxes shown so far.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& e : callback->events)
      if (e.kind == "box") out.push_back(e.text);
    return out;
  }
  int CountEvents(const std::string& kind) const {
    int n = 0;
    for (const auto& e : callback->events) n += e.kind == kind ? 1 : 0;
    return n;
  }

  // Creates a table and leaves it closed.
  std::string MakeTable(const std::string& name, const std::vector<FieldDesc>& fields) {
    const std::string path = dir / name;
    DbfTable t;
    CreateDbf(t, path, fields);
    EXPECT_EQ(TzCurrentError(), 0);
    return path;
  }

  ScratchDir dir;
  std::shared_ptr<HeadlessTzCallback> callback;
  std::vector<int> exitCodes;
};

}  // namespace zeb::xbase::test
