// Writes virtual images as binary PPM (P6, maxval 255) for other tools.
#include <string>

#include "imaging/format_io.h"
#include "imaging/ppm.h"
#include "imaging/ppm_format.h"
#include "platform/report.h"

namespace tessaran {

namespace {

int WritePpmFile(const std::filesystem::path& baseName, int frame, int slot) {
  using namespace ppm;
  std::filesystem::path name = OutputName(baseName, frame, ".PPM");
  if (slot < 0 || slot >= kVirtImSlots || VimSlot(slot).Empty()) {
    ShowMessage(MessageKind::Error, kMsgFormat);
    return 1;
  }
  const VirtIm& image = VimSlot(slot);
  WriteProgress progress(MessageText(kMsgWriteCaption), "[" + name.string() + "]");
  const std::string head = std::string(kMagic) + "\n" + std::to_string(image.width) + " " +
                           std::to_string(image.height) + "\n" + std::to_string(kWrittenMaxval) +
                           "\n";
  Bytes bytes(head.size() + std::size_t(image.width) * image.height * 3);
  std::copy(AsBytes(head).begin(), AsBytes(head).end(), bytes.begin());
  auto* out = reinterpret_cast<std::uint8_t*>(bytes.data()) + head.size();
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* line = image.Line(y);
    for (std::uint32_t x = 0; x < image.width; ++x, out += 3) {
      if (image.bytesPerPixel == 3) {
        out[0] = line[3 * x + 2];
        out[1] = line[3 * x + 1];
        out[2] = line[3 * x];
        continue;
      }
      // Palette pictures: 8-bit indices, or 4-bit with the even pixel high.
      int index = image.bytesPerPixel == 1 ? line[x] : (line[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      std::uint32_t rgb = image.PaletteColour(index);
      out[0] = std::uint8_t(rgb >> 16);
      out[1] = std::uint8_t(rgb >> 8);
      out[2] = std::uint8_t(rgb);
    }
    progress.Line(y, image.height);
  }
  return WritePictureFile(name, bytes, kMsgOpenError) ? 0 : 1;
}

}  // namespace

int WritePpm(const std::filesystem::path& baseName, int frame, int slot) {
  return GuardMemory(kMsgWriteMemory, 1, [&] { return WritePpmFile(baseName, frame, slot); });
}

}  // namespace tessaran
