#include "graphics/sink.h"

#include <charconv>
#include <cmath>

namespace zeb {

namespace {

std::string Num(Real x) {
  if (!std::isfinite(x)) return std::isnan(x) ? "nan" : (x < 0 ? "-inf" : "inf");
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(x), std::chars_format::general, 10);
  std::string s(buf, r.ptr);
  if (s == "-0") s = "0";
  return s;
}

std::shared_ptr<ScreenSink>& SinkSlot() {
  static std::shared_ptr<ScreenSink> s = std::make_shared<RecordingSink>();
  return s;
}

}  // namespace

std::string SinkCall::ToString() const {
  std::string s = name + "(";
  bool first = true;
  if (name == "GrafOutTextXY") {
    s += "\"" + text + "\"";
    first = false;
  }
  for (Real a : args) {
    if (!first) s += ",";
    s += Num(a);
    first = false;
  }
  return s + ")";
}

void RecordingSink::Note(std::string_view name, std::vector<Real> args, std::string_view text) {
  calls_.push_back(SinkCall{std::string(name), std::move(args), std::string(text)});
}

void RecordingSink::GrafClear() { Note("GrafClear", {}); }
void RecordingSink::GrafHeader(int flag, Real xmin, Real ymin, Real xmax, Real ymax) {
  Note("GrafHeader", {Real(flag), xmin, ymin, xmax, ymax});
}
void RecordingSink::GrafClearViewPort() { Note("GrafClearViewPort", {}); }
void RecordingSink::GrafLine(Real x1, Real y1, Real x2, Real y2) { Note("GrafLine", {x1, y1, x2, y2}); }
void RecordingSink::GrafCircle(Real x, Real y, Real r) { Note("GrafCircle", {x, y, r}); }
void RecordingSink::GrafArc(Real x, Real y, Real a1, Real a2, Real r) { Note("GrafArc", {x, y, a1, a2, r}); }
void RecordingSink::GrafOutTextXY(std::string_view textOem, Real x, Real y) {
  Note("GrafOutTextXY", {x, y}, textOem);
}
void RecordingSink::GrafSolid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4) {
  Note("GrafSolid", {x1, y1, x2, y2, x3, y3, x4, y4});
}
void RecordingSink::GrafSetColorMapped(int cadColour) { Note("GrafSetColorMapped", {Real(cadColour)}); }
void RecordingSink::GrafSetLineStyle(int style) { Note("GrafSetLineStyle", {Real(style)}); }
void RecordingSink::GrafSetTextStyle(int font, Real angle, Real height, Real width) {
  Note("GrafSetTextStyle", {Real(font), angle, height, width});
}
void RecordingSink::SetLineWidth(int width) { Note("SetLineWidth", {Real(width)}); }
void RecordingSink::GrafSetWaitCursor() { Note("GrafSetWaitCursor", {}); }
void RecordingSink::GrafSetOldCursor() { Note("GrafSetOldCursor", {}); }

std::vector<std::string> RecordingSink::Lines() const {
  std::vector<std::string> out;
  out.reserve(calls_.size());
  for (const auto& c : calls_) out.push_back(c.ToString());
  return out;
}

std::vector<SinkCall> RecordingSink::Named(std::string_view name) const {
  std::vector<SinkCall> out;
  for (const auto& c : calls_)
    if (c.name == name) out.push_back(c);
  return out;
}

ScreenSink& Screen() { return *SinkSlot(); }
void SetScreen(std::shared_ptr<ScreenSink> sink) {
  SinkSlot() = sink ? std::move(sink) : std::make_shared<RecordingSink>();
}

}  // namespace zeb
