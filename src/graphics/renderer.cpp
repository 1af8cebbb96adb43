#include "graphics/renderer.h"

#include <cstdio>

namespace zeb {

namespace {
std::string P(DevPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
std::string Hex(std::uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c));
  return buf;
}
}  // namespace

void RecordingRenderer::SetPen(std::uint32_t colour, int style, int width) {
  pen_ = colour;
  calls_.push_back("Pen(" + Hex(colour) + "," + std::to_string(style) + "," + std::to_string(width) + ")");
}
void RecordingRenderer::SetBrush(std::uint32_t colour) { calls_.push_back("Brush(" + Hex(colour) + ")"); }
void RecordingRenderer::SetFont(const RenderFont& f) {
  calls_.push_back("Font(" + f.face + "," + std::to_string(f.height) + "," + std::to_string(f.width) + "," +
                   std::to_string(f.escapement) + "," + (f.bold ? "b" : "") + (f.italic ? "i" : "") +
                   (f.underline ? "u" : "") + (f.strikeOut ? "s" : "") + ")");
}
void RecordingRenderer::SetTextColour(std::uint32_t colour) { calls_.push_back("TextColour(" + Hex(colour) + ")"); }
void RecordingRenderer::Line(DevPoint a, DevPoint b) { calls_.push_back("Line(" + P(a) + "," + P(b) + ")"); }
void RecordingRenderer::Ellipse(DevPoint a, DevPoint b) { calls_.push_back("Ellipse(" + P(a) + "," + P(b) + ")"); }
void RecordingRenderer::Arc(DevPoint a, DevPoint b, DevPoint s, DevPoint e) {
  calls_.push_back("Arc(" + P(a) + "," + P(b) + "," + P(s) + "," + P(e) + ")");
}
void RecordingRenderer::Text(DevPoint p, std::string_view text) {
  calls_.push_back("Text(" + P(p) + "," + std::string(text) + ")");
}
void RecordingRenderer::Polygon(const std::vector<DevPoint>& pts) {
  std::string s = "Polygon(";
  for (std::size_t i = 0; i < pts.size(); ++i) s += (i ? "," : "") + P(pts[i]);
  calls_.push_back(s + ")");
}

std::vector<std::string> RecordingRenderer::Starting(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const auto& c : calls_)
    if (std::string_view(c).substr(0, prefix.size()) == prefix) out.push_back(c);
  return out;
}

}  // namespace zeb
