// The interactive program start on Qt. Kept free of Qt headers so the
// executable's main needs none.
#pragma once

namespace zeb {

// Runs an interactive start: with a display a QApplication, the Qt UI port,
// the default printer (or PDF output) for text printouts and the screen's
// metrics; on a platform that shows nothing (offscreen,
// minimal) or without any display the batch UI port on stderr and the
// headless metrics, so the start never waits for an answer. The arguments
// are taken as given, before Qt sees them. Returns the exit code.
int RunInteractiveProgram(int argc, char** argv);

}  // namespace zeb
