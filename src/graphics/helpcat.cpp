#include "graphics/facade.h"

namespace zeb {

void GraphicsFacade::HelpPictureCatalog() {}

}  // namespace zeb
