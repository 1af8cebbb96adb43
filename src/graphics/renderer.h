// The drawing surface the graphics window replays its display list onto:
// device pixels (y down), pens, brushes, fonts and colours 0x00BBGGRR. The
// Qt canvas and the printer implement it; tests record the calls.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

struct DevPoint {
  int x = 0, y = 0;
  bool operator==(const DevPoint&) const = default;
};

struct RenderFont {
  std::string face;         // UTF-8
  int height = 0;           // cell in pixels, the baseline 3/4 of it below its top
  int width = 0;            // average character width in pixels
  int escapement = 0;       // tenths of a degree, counter-clockwise
  bool bold = false, italic = false, underline = false, strikeOut = false;
  bool operator==(const RenderFont&) const = default;
};

class Renderer {
 public:
  virtual ~Renderer() = default;
  // Page size in pixels (the printer mapping reads it).
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;
  // style: 0 solid, 1 dotted, 2 dash-dot, 3 dashed.
  virtual void SetPen(std::uint32_t colour, int style, int width) = 0;
  virtual void SetBrush(std::uint32_t colour) = 0;
  virtual void SetFont(const RenderFont& font) = 0;
  virtual void SetTextColour(std::uint32_t colour) = 0;
  virtual void Line(DevPoint a, DevPoint b) = 0;
  // Outline, transparent inside, inscribed in the box.
  virtual void Ellipse(DevPoint topLeft, DevPoint bottomRight) = 0;
  // Arc of the ellipse inscribed in the box, counter-clockwise (on screen)
  // from the ray through start to the ray through end.
  virtual void Arc(DevPoint topLeft, DevPoint bottomRight, DevPoint start, DevPoint end) = 0;
  // Text with its top left at p; the bytes are Windows-1252.
  virtual void Text(DevPoint p, std::string_view text1252) = 0;
  // Filled with the brush, outlined with the pen.
  virtual void Polygon(const std::vector<DevPoint>& points) = 0;
};

// Notes every call as a line ("Line(1,479,638,1)"); for tests.
class RecordingRenderer : public Renderer {
 public:
  explicit RecordingRenderer(int pageWidth = 640, int pageHeight = 480) : w_(pageWidth), h_(pageHeight) {}
  int PageWidth() const override { return w_; }
  int PageHeight() const override { return h_; }
  void SetPen(std::uint32_t colour, int style, int width) override;
  void SetBrush(std::uint32_t colour) override;
  void SetFont(const RenderFont& font) override;
  void SetTextColour(std::uint32_t colour) override;
  void Line(DevPoint a, DevPoint b) override;
  void Ellipse(DevPoint topLeft, DevPoint bottomRight) override;
  void Arc(DevPoint topLeft, DevPoint bottomRight, DevPoint start, DevPoint end) override;
  void Text(DevPoint p, std::string_view text1252) override;
  void Polygon(const std::vector<DevPoint>& points) override;

  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Calls starting with the prefix ("Line(").
  std::vector<std::string> Starting(std::string_view prefix) const;
  // The pen colour in force at the last primitive.
  std::uint32_t PenColour() const { return pen_; }

 private:
  int w_, h_;
  std::uint32_t pen_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace zeb
