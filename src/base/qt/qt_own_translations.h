// Qt's dialog texts in the menu languages Qt ships no translation file for.
#pragma once
#include <QHash>
#include <QString>
#include <QTranslator>

namespace zeb {

class OwnQtTranslator : public QTranslator {
 public:
  // Swedish, or Romanian when `romanian`.
  explicit OwnQtTranslator(bool romanian);
  QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                    int n = -1) const override;
  bool isEmpty() const override;

 private:
  QHash<QString, QString> words_;  // context NUL source -> words
};

// The number of texts each language has.
int OwnQtTranslationCount();

}  // namespace zeb
