#include "graphics/qt/install.h"

#include "graphics/diagram.h"
#include "graphics/facade.h"
#include "graphics/helpcat.h"
#include "graphics/qt/canvas.h"
#include "graphics/qt/forms.h"
#include "graphics/qt/qt_print.h"

namespace zeb {

GraphCanvas* InstallGraphicsQt(QWidget* parent, std::shared_ptr<PrinterPort> printer) {
  auto* canvas = new GraphCanvas(Facade().Window(), parent);
  SetDiagramLimitsDialog(std::make_shared<QtDiagramLimitsDialog>());
  SetHelpPictureDialog(std::make_shared<QtHelpPictureDialog>());
  SetPrinterPort(std::make_shared<QtGraphicsPrinterPort>(std::move(printer)));
  return canvas;
}

}  // namespace zeb
