#include "base/messages.h"

#include <string>

#include "base/globals.h"

namespace zeb {

namespace {
constexpr std::uint16_t kMaxMessages = 12;
}

void AddErrorMessage(std::string_view text) {
  ErrorMessageListT& list = G().ErrorMessageList;
  for (std::uint16_t i = 1; i <= list.count; ++i)
    if (list.slot[i] == text) return;
  if (list.count >= kMaxMessages) return;
  ++list.count;
  list.slot[list.count].assign(text);  // keeps the slot's storage
}

void ResetErrorMessages() {
  G().ErrorMessageList.count = 0;
  G().FatalErrorFlag = 0;
}

void ClearErrorMessages() {
  ErrorMessageListT& list = G().ErrorMessageList;
  list.count = 0;
  for (std::string& s : list.slot) s.clear();
}

}  // namespace zeb
