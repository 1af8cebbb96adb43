// The configuration window: binds the widgets of the configuration form
// model (objectNames as the controls are named) and runs its buttons.
#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "mainwin/config_form.h"

namespace zeb {

// A font as the font dialog gives it: name (1252), point size, style bits
// (1 bold, 2 italic, 4 underline, 8 strike-out).
struct FontChoice {
  std::string name;
  int size = 0;
  int style = 0;
};

// The colour and font dialogs the configuration window opens. Each returns
// false when cancelled and leaves its argument unchanged then.
struct ConfigDialogSeams {
  // From colour (0x00BBGGRR) to the chosen one.
  std::function<bool(std::uint32_t& colour)> chooseColour;
  // Scalable fonts without a size choice, or (fixedPitch) fixed-pitch fonts
  // with their size.
  std::function<bool(FontChoice& font, bool fixedPitch)> chooseFont;
};
// Empty members take the Qt dialogs; {} puts both back.
void SetConfigDialogSeams(ConfigDialogSeams seams);

// The runner of the configuration dialog: shows it modally over owner.
std::function<bool(ConfigForm&)> QtConfigRunner(QWidget* owner);

}  // namespace zeb
