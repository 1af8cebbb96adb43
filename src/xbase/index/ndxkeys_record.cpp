// The key of the current record for an open index: an evaluated key
// expression or a caller's KeyMaker.
#include "xbase/core/hooks.h"
#include "xbase/index/ndx_internal.h"
#include "xbase/index/ndxkeys.h"
#include "xbase/expr/parser.h"
#include "xbase/core/errors.h"
#include "xbase/core/text_utils.h"
#include "xbase/dbf/workarea.h"

namespace zeb::xbase {

std::string CharKeyBytes(std::string_view value, int keyLength, bool oem) {
  std::string t(value.substr(0, static_cast<std::size_t>(std::max(keyLength, 0))));
  if (oem) t = StrAnsiToOem(t);
  t.resize(static_cast<std::size_t>(std::max(keyLength, 0)), ' ');
  if (keyLength <= 0) return {};
  t = FoldGermanKey(t, keyLength);
  t.resize(static_cast<std::size_t>(keyLength), ' ');
  return t;
}

double ValueAsKeyNumber(const ExprValue& v) {
  if (v.type == 'D' && v.number == 0.0 && !v.text.empty()) return DateTextToJulian(v.text);
  return NormalKeyNumber(v.number);
}

std::string KeyOfIndex(IndexControl& ic, int order) {
  WorkArea* a = CurrentWorkArea();
  const bool oem = a != nullptr && a->oemText;
  const int k = ic.KeyLen();
  if (ic.keyMaker) {
    std::string t;
    ic.keyMaker(order, t);
    if (t.size() > 255) t.resize(255);
    if (oem) t = StrAnsiToOem(t);
    if (ic.soundex) t = Soundex(t);
    t.resize(static_cast<std::size_t>(std::max(k, 0)), ' ');
    if (ic.descending) t = ComplementText(t);
    return t;
  }
  static const ExprValue kNone;
  const ExprValue* v = ic.compiled ? EvaluateExpr(ic.compiled) : nullptr;
  if (!v) v = &kNone;
  if (ic.charKey) return CharKeyBytes(v->text, k, oem);
  return FloatKeyBytes(ValueAsKeyNumber(*v));
}

std::string CurrentRecordKey(int slot) {
  IndexControl* ic = SlotOf(slot);
  if (!ic) return {};
  Ndx().currentKeySlot = static_cast<std::uint8_t>(slot);
  return KeyOfIndex(*ic, ic->ownOrder);
}

}  // namespace zeb::xbase
