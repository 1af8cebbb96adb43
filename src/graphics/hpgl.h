// HP-GL player of the help pictures: a small subset of HP-GL and HP-GL/2
// (PU, PD, PA, SP, CI, SI, DI, LB, AA, PE, CS) drawn through the drawing
// facade; other commands are skipped to their ";". Plotter units of
// 0.025 mm land 1:1 in the millimetres of a 160 x 120 sheet.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "base/types.h"

namespace zeb {

class GraphicsFacade;

// State that carries over from picture to picture.
struct HpglPlayerState {
  Real x = 0, y = 0;  // current point, mm
  bool penDown = false;
  int pen = 0;
  Real charWidth = 5.0L, charHeight = 5.0L;  // cm
  Real run = 1.0L, rise = 0.0L;
  Real charSet = 1.0L;
};

HpglPlayerState& HpglState();
void ResetHpglState();

// Bounds of one picture: lines, circles, arcs and labels together; circles
// and arcs (a huge one costs a repaint about 0.6 ms); labels; characters of one label (the rest up to its end is dropped); bytes
// read from a file. A picture that reaches one is cut there and says so in
// its lower left corner (kHpglCutNotice, code page 850).
inline constexpr int kHpglMaxElements = 20000;
inline constexpr int kHpglMaxCurves = 2000;
inline constexpr int kHpglMaxLabels = 1000;
inline constexpr std::size_t kHpglMaxLabelLength = 1000;
inline constexpr std::size_t kHpglMaxFileBytes = 4u << 20;
extern const char* const kHpglCutNotice;

// Window colour of a pen: 1..7 to 12, 14, 10, 11, 9, 13, 15; others unchanged.
int HpglPenColor(int pen);

// Plays the bytes of a plot file (the file loop without the file); true
// when the picture reached a bound and was cut.
bool PlayHpglBytes(GraphicsFacade& f, std::string_view bytes);
// Plays a plot file; a file that cannot be read gets the "nicht gefunden"
// box and leaves AbortFlag set, otherwise AbortFlag ends clear.
void PlayHpglFile(GraphicsFacade& f, std::string_view path);

}  // namespace zeb
