// Binary PPM constants: the "P6" magic, the header of whitespace-separated
// decimal fields (comments from '#' to the end of the line), the sample
// range read and the one written.
#pragma once

#include <cstdint>

namespace tessaran::ppm {

constexpr char kMagic[] = "P6";
constexpr std::uint32_t kLargestMaxval = 65535;  // samples above 255 take two bytes, high first
constexpr std::uint32_t kWrittenMaxval = 255;
constexpr std::uint32_t kLargestSide = 65535;  // image coordinates are 16-bit

enum Message {
  kMsgFormat = 221,        // "Format PPM non reconnu."
  kMsgReadTitle = 231,     // "PPM->VirtIm(%02d) "
  kMsgWriteCaption = 233,  // "Enregistrement PPM "
};

}  // namespace tessaran::ppm
