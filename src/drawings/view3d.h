// The 3D layer over the diagram toolkit (points in space either written as
// true 3-D lines to DXF, IGES and TXT files or projected for the screen and
// the plot program), the rotation dialog and the wire centre line.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zeb {

// (cx, cy) of the x, y and z axis: the projected point is the sum of the
// pairs weighted by the coordinates. Start values (1, 0), (0, 1), (-1, -1).
std::array<Real, 6>& Projection3D();
void ResetProjection3D();

Real Project3DX(Real x, Real y, Real z);
Real Project3DY(Real x, Real y, Real z);
void MoveTo3D(Real x, Real y, Real z);
void LineTo3D(Real x, Real y, Real z);
void Line3D(Real x1, Real y1, Real z1, Real x2, Real y2, Real z2);
void Text3D(std::string_view text, Real x, Real y, Real z);
// The view of a projected drawing of the given box; angles in radians
// (all three 0 keep the stored ones). Files get no view at all.
void Setup3DView(std::string_view title, Real xmin, Real xmax, Real ymin, Real ymax, Real zmin, Real zmax, Real ax,
                 Real ay, Real az);

// The rotation dialog's logic: three angle edits in degrees and their
// scroll bars (-360..360).
class RotationLogic {
 public:
  RotationLogic();  // edits from the stored angles, bars synchronised
  const std::string& Edit(int axis) const { return edits_[static_cast<std::size_t>(axis)]; }
  int Bar(int axis) const { return bars_[static_cast<std::size_t>(axis)]; }
  // Typing into an edit; leaving it moves its bar (clamped, text kept).
  void SetEdit(int axis, std::string_view text);
  void LeaveEdit(int axis);
  void SetBar(int axis, int position);
  void PressXY();
  void PressXZ();
  void PressYZ();
  void PressReset();  // "<"
  void Ok();          // the edits as the view angles
  static void Cancel();

 private:
  void SyncBars();
  std::array<std::string, 3> edits_;
  std::array<int, 3> bars_{};
};

class RotationDialog {
 public:
  virtual ~RotationDialog() = default;
  virtual void Run() = 0;
};

// Steps from a script, then OK or Cancel; without steps left it cancels.
class ScriptedRotationDialog : public RotationDialog {
 public:
  enum class Step { XY, XZ, YZ, Reset, Ok, Cancel };
  void Add(Step step) { steps_.push_back({step, -1, {}}); }
  void Type(int axis, std::string text) { steps_.push_back({Step::Ok, axis, std::move(text)}); }
  void Run() override;
  int shown = 0;
  std::vector<std::array<std::string, 3>> shownEdits;

 private:
  struct Item {
    Step step;
    int axis;  // >= 0: typing into that edit
    std::string text;
  };
  std::vector<Item> steps_;
  std::size_t next_ = 0;
};

RotationDialog& RotationForm();
void SetRotationDialog(std::shared_ptr<RotationDialog> dialog);

// The helix of the wire centre line into the open run.
void DrawSpring3DCenterline();
// Step in coils of the centre line for a resolution in degrees and the
// coils to draw.
Real CenterlineStep(Real resolution, Real coils);

}  // namespace zeb
