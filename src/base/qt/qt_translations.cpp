#include "base/qt/qt_translations.h"

#include "base/qt/qt_own_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace zeb {

QString QtLanguageName(int menuLanguage) {
  switch (menuLanguage) {
    case 2: return QStringLiteral("en");
    case 3: return QStringLiteral("fr");
    case 4: return QStringLiteral("it");
    case 5: return QStringLiteral("sv");
    case 6: return QStringLiteral("pt_BR");
    case 7: return QStringLiteral("ro");
    case 8: return QStringLiteral("ko");
    case 9: return QStringLiteral("es");
    case 12: return QStringLiteral("zh_CN");
    default: return QStringLiteral("de");
  }
}

bool UseQtTranslation(int menuLanguage) {
  static std::unique_ptr<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  const QString name = QtLanguageName(menuLanguage);
  if (name == QLatin1String("en")) return false;
  std::unique_ptr<QTranslator> t;
  if (name == QLatin1String("sv") || name == QLatin1String("ro")) {
    // Qt ships no file for these: the program's own words.
    t = std::make_unique<OwnQtTranslator>(name == QLatin1String("ro"));
  } else {
    t = std::make_unique<QTranslator>();
    if (!t->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  }
  QCoreApplication::installTranslator(t.get());
  installed = std::move(t);
  return true;
}

}  // namespace zeb
