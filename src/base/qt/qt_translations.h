// Qt's own dialog texts (file dialogs, standard buttons, print dialog) in
// the menu language of the session.
#pragma once
#include <QString>

namespace zeb {

// The Qt locale name of menu language n: "de" for 0 and 1, "en" for 2, ...
QString QtLanguageName(int menuLanguage);
// Replaces the installed Qt translation by the one of menu language n (the
// application's own Qt translation folder; for Swedish and Romanian, which
// Qt has no file for, the program's own words); English, Qt's own language,
// needs none. True when a translation is installed.
bool UseQtTranslation(int menuLanguage);

}  // namespace zeb
