// Contrast of two colours as screens are judged by: the relative luminance
// of sRGB, ratio (lighter + 0.05) / (darker + 0.05), 1 to 21.
#pragma once
#include <algorithm>
#include <cmath>

namespace zeb::test {

inline double RelativeLuminance(int red, int green, int blue) {
  const auto lin = [](int v) {
    const double x = v / 255.0;
    return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(red) + 0.7152 * lin(green) + 0.0722 * lin(blue);
}

// Colours as 0xRRGGBB (a QRgb's low bytes).
inline double ContrastRgb(unsigned a, unsigned b) {
  const auto l = [](unsigned c) {
    return RelativeLuminance(static_cast<int>(c >> 16 & 0xFF), static_cast<int>(c >> 8 & 0xFF),
                             static_cast<int>(c & 0xFF)) + 0.05;
  };
  return std::max(l(a), l(b)) / std::min(l(a), l(b));
}

// Colours as the program holds them, 0x00BBGGRR.
inline double ContrastBgr(unsigned a, unsigned b) {
  const auto rgb = [](unsigned c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); };
  return ContrastRgb(rgb(a), rgb(b));
}

}  // namespace zeb::test
