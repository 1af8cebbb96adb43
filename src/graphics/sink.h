// The screen side of the CAD output layer: the graphics window calls the
// layer makes. The graphics window implements ScreenSink; until it exists
// (and in tests) a RecordingSink notes every call in order.
//
// Contract: coordinates are sheet millimetres, angles degrees; texts reach
// GrafOutTextXY as code page 850 (the window converts them). GrafClear also
// makes the window forget its remembered pen (colour, style, width), so the
// next pen call after it always takes effect.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

class ScreenSink {
 public:
  virtual ~ScreenSink() = default;
  virtual void GrafClear() = 0;
  virtual void GrafHeader(int flag, Real xmin, Real ymin, Real xmax, Real ymax) = 0;
  virtual void GrafClearViewPort() = 0;
  virtual void GrafLine(Real x1, Real y1, Real x2, Real y2) = 0;
  virtual void GrafCircle(Real x, Real y, Real r) = 0;
  virtual void GrafArc(Real x, Real y, Real a1, Real a2, Real r) = 0;
  virtual void GrafOutTextXY(std::string_view textOem, Real x, Real y) = 0;
  virtual void GrafSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) = 0;
  virtual void GrafSetColorMapped(int cadColour) = 0;
  virtual void GrafSetLineStyle(int style) = 0;
  virtual void GrafSetTextStyle(int font, Real angle, Real height, Real width) = 0;
  virtual void SetLineWidth(int width) = 0;
  virtual void GrafSetWaitCursor() = 0;
  virtual void GrafSetOldCursor() = 0;
};

// One recorded call: its name, numeric arguments in order and the text of
// GrafOutTextXY.
struct SinkCall {
  std::string name;
  std::vector<Real> args;
  std::string text;
  // "GrafLine(0,0,10,5)", numbers in shortest form (up to 10 significant
  // digits), the text first: "GrafOutTextXY(\"abc\",1,2)".
  std::string ToString() const;
};

class RecordingSink : public ScreenSink {
 public:
  void GrafClear() override;
  void GrafHeader(int flag, Real xmin, Real ymin, Real xmax, Real ymax) override;
  void GrafClearViewPort() override;
  void GrafLine(Real x1, Real y1, Real x2, Real y2) override;
  void GrafCircle(Real x, Real y, Real r) override;
  void GrafArc(Real x, Real y, Real a1, Real a2, Real r) override;
  void GrafOutTextXY(std::string_view textOem, Real x, Real y) override;
  void GrafSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) override;
  void GrafSetColorMapped(int cadColour) override;
  void GrafSetLineStyle(int style) override;
  void GrafSetTextStyle(int font, Real angle, Real height, Real width) override;
  void SetLineWidth(int width) override;
  void GrafSetWaitCursor() override;
  void GrafSetOldCursor() override;

  const std::vector<SinkCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Every call as ToString(), in order.
  std::vector<std::string> Lines() const;
  // The calls with the given name.
  std::vector<SinkCall> Named(std::string_view name) const;

 private:
  void Note(std::string_view name, std::vector<Real> args, std::string_view text = {});
  std::vector<SinkCall> calls_;
};

ScreenSink& Screen();
// nullptr puts back a fresh RecordingSink.
void SetScreen(std::shared_ptr<ScreenSink> sink);

}  // namespace zeb
