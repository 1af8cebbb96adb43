// Shared pieces of the graphics window tests: a fixture with a fresh
// facade on a 640 x 480 logical device, a host that replays every repaint
// into a recording renderer, and small parsers of the recorded calls.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/support_fixture.h"
#include "graphics/facade.h"
#include "graphics/renderer.h"

namespace zeb::test {

class ReplayHost : public GraphicsHost {
 public:
  explicit ReplayHost(GraphWindow& w) : w_(w) {}
  void Repaint() override {
    ++repaints;
    last = RecordingRenderer(w_.DeviceWidth(), w_.DeviceHeight());
    w_.Replay(&last, nullptr);
  }
  void SetWaitCursor(bool wait) override { cursor.push_back(wait ? "wait" : "arrow"); }
  void OverlayLine(DevPoint a, DevPoint b) override {
    overlay.push_back(std::to_string(a.x) + "," + std::to_string(a.y) + "," + std::to_string(b.x) + "," +
                      std::to_string(b.y));
  }
  // Recorded, not slept.
  void Pause(int ms) override { pauses.push_back(ms); }
  int repaints = 0;
  RecordingRenderer last;
  std::vector<std::string> cursor, overlay;
  std::vector<int> pauses;

 private:
  GraphWindow& w_;
};

class GraphTest : public BaseTest {
 protected:
  void SetUp() override {
    BaseTest::SetUp();
    G().ScreenWidth = 640;
    G().ScreenHeight = 480;
    InitDefaultColours();
    InstallGraphicsFacade();
    host_ = std::make_unique<ReplayHost>(win());
    win().SetHost(host_.get());
  }
  void TearDown() override {
    win().SetHost(nullptr);
    BaseTest::TearDown();
  }
  static void InitDefaultColours();
  GraphicsFacade& f() { return Facade(); }
  GraphWindow& win() { return Facade().Window(); }
  ReplayHost& host() { return *host_; }
  std::vector<std::string>& list() { return win().DisplayList(); }
  // One replay onto a fresh recording renderer of the logical device.
  RecordingRenderer Paint() {
    RecordingRenderer r(win().DeviceWidth(), win().DeviceHeight());
    win().Replay(&r, nullptr);
    return r;
  }
  std::vector<std::string> Records(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& r : Facade().Window().DisplayList())
      if (r.rfind(prefix, 0) == 0) out.push_back(r);
    return out;
  }

 private:
  std::unique_ptr<ReplayHost> host_;
};

// The integers of a recorded call: "Ellipse(1,2,3,4)" -> {1, 2, 3, 4}.
std::vector<int> Ints(const std::string& call);

}  // namespace zeb::test
