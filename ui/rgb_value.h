// Colours as the system's colour values hold them: 0x00BBGGRR.
#pragma once

#include <QColor>
#include <cstdint>

namespace tessaran {

inline QColor ColourOfRgbValue(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

inline std::uint32_t RgbValueOfColour(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
         static_cast<std::uint32_t>(colour.blue()) << 16;
}

}  // namespace tessaran
