// The message list of a calculation: at most 12 distinct texts
// (code page 850) in the order of their first occurrence.
#pragma once
#include <string_view>

namespace zeb {

// Adds text unless an equal text (byte for byte) is stored; a text past the
// twelfth is dropped. Never touches FatalErrorFlag.
void AddErrorMessage(std::string_view text);
// count := 0 and FatalErrorFlag := 0; slot texts stay until overwritten.
void ResetErrorMessages();
// count := 0 and all slots emptied.
void ClearErrorMessages();

}  // namespace zeb
