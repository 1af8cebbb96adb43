#include "spring/valuetable.h"

namespace zeb {

ValueTableRecord& ValueTable() {
  static ValueTableRecord record;
  return record;
}

}  // namespace zeb
