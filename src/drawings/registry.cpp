#include "drawings/registry.h"

#include <map>
#include <utility>

namespace zeb {

namespace {

std::map<DrawingRef, DrawingFunction>& Registry() {
  static std::map<DrawingRef, DrawingFunction> r;
  return r;
}

}  // namespace

void RegisterDrawing(DrawingRef ref, DrawingFunction draw) { Registry()[ref] = std::move(draw); }

bool DrawingRegistered(DrawingRef ref) {
  auto it = Registry().find(ref);
  return it != Registry().end() && static_cast<bool>(it->second);
}

void ClearDrawingRegistry() { Registry().clear(); }

bool RunRegisteredDrawing(DrawingRef ref, int cadCode) {
  auto it = Registry().find(ref);
  if (it == Registry().end() || !it->second) return false;
  it->second(cadCode);
  return true;
}

}  // namespace zeb
