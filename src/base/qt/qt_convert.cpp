#include "base/qt/qt_convert.h"

#include <QFile>

#include "base/globals.h"
#include "platform/codepage.h"

namespace zeb {

QString AnsiToQString(std::string_view text1252) {
  return QString::fromStdString(ToUtf8(CodePage::Cp1252, text1252));
}

std::string QStringToAnsi(const QString& text) { return FromUtf8(CodePage::Cp1252, text.toStdString()); }

QString PathToQString(std::string_view path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

namespace {

// "*.zeb" -> "*.[zZ][eE][bB]": wildcard sets that match either case.
QString AnyCaseMask(const QString& mask) {
  QString out;
  for (QChar c : mask) {
    const QChar lower = c.toLower(), upper = c.toUpper();
    if (lower != upper) {
      out += '[';
      out += lower;
      out += upper;
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

QStringList FilterToNameFilters(std::string_view filter) {
  QStringList result;
  const QStringList parts = AnsiToQString(filter).split('|');
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    const QString masks = i + 1 < parts.size() ? parts[i + 1] : parts[i];
    QStringList patterns;
    for (const QString& m : masks.split(';', Qt::SkipEmptyParts)) {
      // The plain mask first: a save dialog puts the first mask's extension
      // on a typed name. "*.*" is every file, as "*" (no "x.*" names).
      const QString mask = m.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : m.trimmed();
      if (mask.isEmpty()) continue;
      patterns << mask;
      if (AnyCaseMask(mask) != mask) patterns << AnyCaseMask(mask);
    }
    if (patterns.isEmpty()) continue;
    result << (description.isEmpty() ? masks.trimmed() : description) + " (" + patterns.join(' ') + ")";
  }
  return result;
}

QColor ColourValueToQColor(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

QColor ColourNumberToQColor(int number) {
  if (number < 0 || number >= static_cast<int>(G().ColourTable.size())) return QColor(Qt::black);
  return ColourValueToQColor(G().ColourTable[static_cast<std::size_t>(number)]);
}

std::uint32_t QColorToColourValue(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
         static_cast<std::uint32_t>(colour.blue()) << 16;
}

QColor BackgroundQColor() { return ColourValueToQColor(static_cast<std::uint32_t>(G().BackgroundColour) & 0xFFFFFFu); }

int FontStyleBits(const QFont& font) {
  return (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) | (font.strikeOut() ? 8 : 0);
}

QFont TextFont(std::string_view name1252, int pointSize, int styleBits) {
  QFont font(AnsiToQString(name1252));
  font.setStyleHint(QFont::TypeWriter);
  if (pointSize > 0) font.setPointSize(pointSize);
  font.setBold((styleBits & 1) != 0);
  font.setItalic((styleBits & 2) != 0);
  font.setUnderline((styleBits & 4) != 0);
  font.setStrikeOut((styleBits & 8) != 0);
  return font;
}

}  // namespace zeb
