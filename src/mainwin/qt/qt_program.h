// The interactive program start on Qt. Kept free of Qt headers.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeb {

class PrinterPort;
class QtUi;
class Thh;

// Runs an interactive start: with a display a QApplication, the Qt UI port,
// the default printer (or PDF output) for printouts, the screen's metrics
// and the main window, then the event loop; on a platform that shows nothing
// (offscreen, minimal) the batch UI port on stderr, the start-up and exit,
// so the start never waits for an answer. Without any display it says so on
// stderr and returns 1. The arguments are taken as given, before Qt sees
// them. Returns the exit code.
int RunInteractiveProgram(int argc, char** argv);

// The main window built and installed, then the start-up run with the
// arguments (args[0] the program name). When the start-up ends the program,
// `ended` holds its exit code and the window is closed again (null). Needs
// a QApplication and the UI port in place.
// With the graphics facade installed, its canvas is the client area and
// prints through `printer` (the installed printer port when null).
std::unique_ptr<Thh> StartMainWindow(const std::vector<std::string>& args, std::optional<int>& ended,
                                     std::shared_ptr<PrinterPort> printer = nullptr);

// The Qt side of an interactive start with a display: the UI port, the table
// engine's windows, the printer port (returned), the drawing dialogs, the
// table window, the material form and the screen's metrics. Needs a
// QApplication.
std::shared_ptr<PrinterPort> InstallQtProgramPorts(const std::shared_ptr<QtUi>& ui);

// The one line shown when there is no display.
const char* NoDisplayMessage();

}  // namespace zeb
