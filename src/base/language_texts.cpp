#include "base/language_texts.h"

#include "base/globals.h"

namespace zeb {

namespace {

// Columns German, English, French, Italian, Swedish, Portuguese, Romanian,
// Korean, Spanish, Chinese.
constexpr const char* kTexts[][10] = {
    {"Ordner", "Directories", "Dossiers", "Cartelle", "Mappar", "Pastas", "Directoare", "폴더", "Carpetas", "文件夹"},
};

int Column(int n) {
  switch (n) {
    case 2: return 1;
    case 3: return 2;
    case 4: return 3;
    case 5: return 4;
    case 6: return 5;
    case 7: return 6;
    case 8: return 7;
    case 9: return 8;
    case 12: return 9;
    default: return 0;  // German, also at start (0) and for numbers without texts
  }
}

}  // namespace

std::string LanguageText(LanguageTextId id, int n) { return kTexts[static_cast<int>(id)][Column(n)]; }

std::string LanguageText(LanguageTextId id) { return LanguageText(id, G().MenuLanguage); }

}  // namespace zeb
