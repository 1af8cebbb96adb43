// Start-up of the graphics window in the Qt program.
#pragma once
#include <memory>

class QWidget;

namespace zeb {

class GraphCanvas;
class PrinterPort;

// The canvas of the installed facade as a child of parent, the Qt axis-
// limits and help-picture dialogs, and the graphics print job over the
// given printer port (its text jobs go on as before). Call after
// InstallGraphicsFacade(); returns the canvas (owned by parent).
GraphCanvas* InstallGraphicsQt(QWidget* parent, std::shared_ptr<PrinterPort> printer);

}  // namespace zeb
