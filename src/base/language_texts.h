// Texts outside the menus that follow the menu language of the session
// (G().MenuLanguage), one column per language as in the menu caption
// tables.
#pragma once
#include <string>

namespace zeb {

enum class LanguageTextId {
  FoldersPage,  // the folder page of the settings dialog
};

// The text in the session's language (UTF-8); German for a language
// without texts.
std::string LanguageText(LanguageTextId id);
// The same for language number n.
std::string LanguageText(LanguageTextId id, int n);

}  // namespace zeb
