// Conversions between the port's byte texts and Qt types.
#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb {

// Windows-1252 bytes <-> QString.
QString AnsiToQString(std::string_view text1252);
std::string QStringToAnsi(const QString& text);

// File-system path bytes <-> QString.
QString PathToQString(std::string_view path);
std::string QStringToPath(const QString& path);

// A chooser filter "description|mask|description|mask..." as Qt name
// filters. Masks match any case ("*.zeb" also takes "X.ZEB"), each given
// plain first; several masks of one entry are separated by ";".
QStringList FilterToNameFilters(std::string_view filter);

// A colour of the colour table (0x00BBGGRR).
QColor ColourValueToQColor(std::uint32_t bgr);
// Colour number 0..16 of G().ColourTable; other numbers give black.
QColor ColourNumberToQColor(int number);
// The colour back as 0x00BBGGRR.
std::uint32_t QColorToColourValue(const QColor& colour);
// G().BackgroundColour, a colour value 0x00BBGGRR.
QColor BackgroundQColor();
// Style bits of a font (1 bold, 2 italic, 4 underline, 8 strike-out).
int FontStyleBits(const QFont& font);

// Font by name (1252), point size and style bits (1 bold, 2 italic,
// 4 underline, 8 strike-out). A missing family falls back to a fixed pitch.
QFont TextFont(std::string_view name1252, int pointSize, int styleBits);

}  // namespace zeb
