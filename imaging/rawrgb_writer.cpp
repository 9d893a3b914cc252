// Writes a 24-bit virtual image as three raw colour planes and the ".RGB"
// text that describes them for the programs that read such planes.
#include <algorithm>
#include <cstdio>

#include "imaging/format_io.h"
#include "imaging/rawrgb.h"
#include "imaging/rawrgb_format.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace rawrgb;

// A message of the current language as a line of the text.
std::string TextLine(int number) {
  std::string text = MessageText(number);
  if (text.empty() || text.back() != '\n') text += '\n';
  return text;
}

std::string Describe(const std::filesystem::path (&planes)[3], std::uint32_t width,
                     std::uint32_t height) {
  std::string text = TextLine(kMsgTextFiles);
  // The text lies beside the planes, so it names them without a directory.
  for (const auto& plane : planes) text += "\t" + plane.filename().string() + "\n";
  text += TextLine(kMsgTextRaw);
  text += TextLine(kMsgTextSize);
  char size[64];
  std::snprintf(size, sizeof size, "\t\tX : %u\n\n\t\tY : %u\n\n\t...\n\n", unsigned(width),
                unsigned(height));
  return text + size;
}

int WriteRawRgbFiles(const std::filesystem::path& baseName, int frame, int width, int height,
                     int slot) {
  const VirtIm* image = TrueColourSource(slot);
  if (image == nullptr) return 0;
  // The picture is the top-left part of the image the caller names.
  const std::uint32_t w = std::min<std::uint32_t>(std::max(width, 0), image->width);
  const std::uint32_t h = std::min<std::uint32_t>(std::max(height, 0), image->height);
  const std::filesystem::path planes[3] = {OutputName(baseName, frame, kRedExtension),
                                           OutputName(baseName, frame, kGreenExtension),
                                           OutputName(baseName, frame, kBlueExtension)};
  WriteProgress progress(MessageText(kMsgWriteCaption), "[" + planes[2].string() + ".GRN.RED.RGB]");
  Bytes red(std::size_t(w) * h), green(red.size()), blue(red.size());
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* line = image->Line(y);
    const std::size_t at = std::size_t(y) * w;
    for (std::uint32_t x = 0; x < w; ++x) {
      blue[at + x] = std::byte{line[3 * x]};
      green[at + x] = std::byte{line[3 * x + 1]};
      red[at + x] = std::byte{line[3 * x + 2]};
    }
    progress.Line(y, h);
  }
  if (!WritePictureFile(planes[0], red, kMsgOpenError) ||
      !WritePictureFile(planes[1], green, kMsgOpenError) ||
      !WritePictureFile(planes[2], blue, kMsgOpenError))
    return 0;
  const std::string text = Describe(planes, w, h);
  return WritePictureFile(OutputName(baseName, frame, kTextExtension), AsBytes(text), kMsgOpenError)
             ? 1
             : 0;
}

}  // namespace

int WriteRawRgb(const std::filesystem::path& baseName, int frame, int width, int height, int slot) {
  return GuardMemory(kMsgWriteMemory, 0,
                     [&] { return WriteRawRgbFiles(baseName, frame, width, height, slot); });
}

}  // namespace tessaran
