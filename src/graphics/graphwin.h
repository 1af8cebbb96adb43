// The graphics window: its coordinate state, the display list of text
// records, the recording methods, the replay onto a Renderer and the zoom,
// pan, mouse and key logic. No Qt: the canvas (graphics/qt) forwards its
// events here and paints through a Renderer; headless hosts record.
//
// The canvas is a logical device of the configured height H and the width
// Nearest(4H/3), so the keep-aspect rule (made for a 4:3 screen) keeps
// circles round at any configured resolution; the canvas scales it
// uniformly into the real window.
//
// Records: "op;field;field...", reals in the C locale with 8 significant
// digits. 1 move, 2 line to, 3 circle, 4 line, 5 arc, 6 text (Windows-1252,
// may hold ";"), 7 solid, 8 colour, 9 text style, 10 window, 11 line style,
// 12 line width, 13 pause (ms).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "graphics/renderer.h"

namespace zeb {

// What the window needs from the place it is shown in. Every hook has a
// headless default.
//
// Painting is deferred: a change of the list or the view asks for one
// replay, made once the program waits for input again, so any number of
// changes in between cost one paint and nothing a road draws needs a
// further event to appear. Flush() shows a pending picture at once, for
// the few places where it must be on the screen before a modal window.
class GraphicsHost {
 public:
  virtual ~GraphicsHost() = default;
  // The list grew: replay it at the next paint.
  virtual void Invalidate() {}
  // The list or the view changed as a whole: replay at the next paint,
  // without the immediate lines.
  virtual void Repaint() { Invalidate(); }
  // A pending replay now.
  virtual void Flush() {}
  virtual void SetWaitCursor(bool /*wait*/) {}
  // Draws at once in device pixels, over the picture; the next replay drops it.
  virtual void OverlayLine(DevPoint /*a*/, DevPoint /*b*/) {}
  // The animation-step window, modal; true when closed with "++".
  virtual bool ShowAniStep() { return false; }
  // A pause of the screen replay (a SleepMs record); the default sleeps.
  virtual void Pause(int ms);
};

struct DevRect {
  int x1 = 0, y1 = 0, x2 = 1, y2 = 1;
  bool operator==(const DevRect&) const = default;
};

struct WorldRect {
  Real xmin = 0, ymin = 0, xmax = 1, ymax = 1;
};

// Virtual key codes understood by ProcessKey.
enum GraphKey : int {
  kKeyEsc = 27,
  kKeyPageUp = 33,
  kKeyPageDown = 34,
  kKeyLeft = 37,
  kKeyUp = 38,
  kKeyRight = 39,
  kKeyDown = 40,
  kKeyAdd = 107,
  kKeySubtract = 109,
  kKeyF5 = 116,
};

enum class MouseButton { Left, Right, Other };

class GraphWindow {
 public:
  GraphWindow();
  // Start values of the window (the display list is kept).
  void Create();

  void SetHost(GraphicsHost* host) { host_ = host; }
  GraphicsHost& Host() { return host_ ? *host_ : nullHost_; }

  // Logical device: H = G().ScreenHeight (at least 2), W = Nearest(4H/3).
  int DeviceWidth() const;
  int DeviceHeight() const;

  std::vector<std::string>& DisplayList() { return list_; }
  const std::vector<std::string>& DisplayList() const { return list_; }
  // Counts the changes of the picture: a record added, a repaint asked for
  // (the list cleared, a zoom), an immediate line.
  std::uint64_t Changes() const { return changes_; }
  // The count of changes and where records land (viewport, world, zoom,
  // scale) as one text: equal texts, the same picture and the same
  // recording. A replay leaves the view as the recording did.
  std::string Stamp() const;

  // Settings of the window's colours (not kept in the base library).
  bool colourDisplay = true;
  int highestColour = 16;
  Byte animationStep = 0;
  Byte printing = 0;

  // ---- window and scale
  void SetWindow(Byte keepAspect, bool inset, Real fx1, Real fy1, Real fx2, Real fy2, Real wx1, Real wy1, Real wx2,
                 Real wy2);
  void Header(int flag, Real xmin, Real ymin, Real xmax, Real ymax);
  void SetScale(int x1, int y1, int x2, int y2);
  void SaveLimit() { saved_ = world_; }
  void RestoreLimit();
  void SaveViewPort() { savedDev_ = dev_; }
  void RetrieveViewPort() { dev_ = savedDev_; }
  void ReSetWindow();
  Real EinX(Real v) const { return (world_.xmax - world_.xmin) * v; }
  Real EinY(Real v) const { return (world_.ymax - world_.ymin) * v; }

  // ---- recording
  void circle(Real x, Real y, Real r);
  void line(Real x1, Real y1, Real x2, Real y2);
  void Arc(Real x, Real y, Real a1, Real a2, Real r);
  void OutTextXY(std::string_view text1252, Real x, Real y);
  void Solid(Real x1, Real y1, Real x2, Real y2, Real x3, Real y3, Real x4, Real y4);
  void SetTextStyle(int n, Real p1, Real p2, Real p3);
  void SleepMs(int ms);
  void Rectangle(Real x1, Real y1, Real x2, Real y2);
  void SetColor(int n);
  int GetColor() const { return lastColour_; }
  void SetLineStyle(int n);
  void SetLineWidth(int n);
  void SetLineStyleName(std::string_view name);
  static int GetDirection(Real angle);
  // Empties the list, forgets the recorded pen and repaints.
  void Clear();
  // Empties the list; the next colour, style and text style are recorded.
  void ClearList();
  // The picture and view of `kept` (a copy of this window made before),
  // repainted; the host stays.
  void Restore(const GraphWindow& kept);
  // Shows a pending picture now (before a modal window over it).
  void Flush() { Host().Flush(); }
  void ClearViewPort();
  void SetTextSizeMode(int m) { textSizeMode_ = m; }
  // Not recorded: drawn at once over the picture.
  void MoveTo(Real x, Real y);
  void LineTo(Real x, Real y);
  void DrawRectangle(int x1, int y1, int x2, int y2);
  void DrawLogo();

  // ---- replay
  // Replays every record onto the screen canvas and, when given, the
  // printer canvas (with the printer mapping, border and 4x pen widths).
  // Either may be null.
  // With the animation-step flag set, a screen replay stops before the
  // first background colour record (the step) not yet answered; the host
  // then shows the step window and passes its answer to StepAnswered.
  void Replay(Renderer* screen, Renderer* printer);
  // The screen replay as a paint makes it, without touching the host (no
  // wait cursor) and without the pauses: what a paint would draw, for
  // finding the part of the picture that changed. Not while stepping.
  void ReplayQuiet(Renderer& screen);
  // The list holds a pause record.
  bool HasPauses() const;
  // The last screen replay stopped at a step.
  bool StepWaiting() const { return stepWaiting_; }
  // "+" shows the next step, "++" (toEnd) the rest: the flag goes.
  void StepAnswered(bool toEnd);

  // ---- interaction
  void ResetZoom() { SetScale(dev_.x1, dev_.y1, dev_.x2, dev_.y2); }
  void Regen();
  void ProcessKey(int key);
  // Mouse points in logical device pixels.
  void MouseDown(MouseButton b, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(MouseButton b, int x, int y);
  void DoubleClick();
  bool Dragging() const { return dragging_ != 0; }
  DevPoint DragStart() const { return {sx_, sy_}; }
  DevPoint DragEnd() const { return {ex_, ey_}; }

  // ---- state
  const DevRect& Device() const { return dev_; }
  const DevRect& Zoom() const { return zoom_; }
  const WorldRect& World() const { return world_; }
  const WorldRect& Visible() const { return visible_; }
  Real ScaleX() const { return scaleX_; }
  Real ScaleY() const { return scaleY_; }
  Real AspectFactor() const { return aspect_; }

  // World to screen device pixels, before rounding.
  void ToScreen(Real x, Real y, double& dx, double& dy) const;

 private:
  void Add(std::string rec) {
    list_.push_back(std::move(rec));
    ++changes_;
    Host().Invalidate();
  }
  void Repaint() {
    ++changes_;
    Host().Repaint();
  }
  void Overlay(DevPoint a, DevPoint b) {
    ++changes_;
    Host().OverlayLine(a, b);
  }
  void Replay(Renderer* screen, Renderer* printer, bool quiet);

  GraphicsHost* host_ = nullptr;
  GraphicsHost nullHost_;
  std::vector<std::string> list_;
  std::uint64_t changes_ = 0;
  DevRect dev_, savedDev_, zoom_;
  WorldRect world_, saved_, visible_;
  Real scaleX_ = 0, scaleY_ = 0, aspect_ = 1;
  Byte keepAspect_ = 1;
  bool zoomFull_ = true;  // the zoom shows the whole device rectangle
  int lastColour_ = -1, lastStyle_ = 99, lastWidth_ = 1, textSizeMode_ = 0;
  struct TextStyleSet {
    int n = 0;
    Real angle = 0, height = 0, width = 0;
    bool set = false;
    bool operator==(const TextStyleSet&) const = default;
  } lastTextStyle_;
  char keyMode_ = 0, keyDir_ = 0;
  Byte dragging_ = 0, dblClick_ = 0;
  int sx_ = 0, sy_ = 0, ex_ = 0, ey_ = 0;
  Real curX_ = 0, curY_ = 0;  // MoveTo / LineTo
  int stepsAnswered_ = 0;     // animation steps passed in this picture
  bool stepWaiting_ = false;
};

// A drawing colour (0x00BBGGRR) as the screen shows it on background: kept
// where it stands out from it at 3:1 (relative luminance), else lightened on
// a dark background, darkened on a light one, just enough to reach 3:1.
std::uint32_t ShownOn(std::uint32_t colour, std::uint32_t background);

// Formats a display-list real: C locale, 8 significant digits, no "-0".
std::string ListReal(Real x);

}  // namespace zeb
