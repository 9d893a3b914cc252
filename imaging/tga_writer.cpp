// Writes 24-bit virtual images as Targa files, uncompressed (type 2) or
// run-length (type 10), top line first.
#include <algorithm>
#include <cstring>

#include "imaging/format_io.h"
#include "imaging/tga.h"
#include "imaging/tga_format.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace tga;

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b) {
  return std::memcmp(a, b, 3) == 0;
}

// Packs one line of blue-green-red pixels. Packets stay within the line: a
// run covers 2 to 128 equal pixels; a literal grows until two equal pixels
// follow (they start the next run) or the line ends, at most 128 pixels.
void PackLine(ByteWriter& out, const std::uint8_t* line, std::uint32_t width) {
  std::uint32_t x = 0;
  while (x < width) {
    const std::uint8_t* start = line + 3 * x;
    std::uint32_t ahead = std::min<std::uint32_t>(width - x, kMaxPacket);
    if (ahead >= 2 && SamePixel(start, start + 3)) {
      std::uint32_t run = 2;
      while (run < ahead && SamePixel(start, start + 3 * run)) ++run;
      out.U8(static_cast<std::uint8_t>(kRunPacket | (run - 1)));
      out.Append(ByteSpan(reinterpret_cast<const std::byte*>(start), 3));
      x += run;
    } else {
      std::uint32_t count = 1;
      while (count < ahead &&
             !(count + 1 < ahead && SamePixel(start + 3 * count, start + 3 * (count + 1))))
        ++count;
      out.U8(static_cast<std::uint8_t>(count - 1));
      out.Append(ByteSpan(reinterpret_cast<const std::byte*>(start), 3 * std::size_t(count)));
      x += count;
    }
  }
}

int WriteTgaFile(const std::filesystem::path& baseName, int frame, int width, int height, int slot,
                 bool runLength, int bits) {
  std::filesystem::path name = OutputName(baseName, frame, ".TGA");
  if (bits != kBitsPerPixel) {
    ShowMessage(MessageKind::Error, kMsgFormat);
    return 1;
  }
  const VirtIm* image = TrueColourSource(slot);
  if (image == nullptr) return 1;
  // The picture is the top-left part of the image the caller names.
  const std::uint32_t w = std::min<std::uint32_t>(std::max(width, 0), image->width);
  const std::uint32_t h = std::min<std::uint32_t>(std::max(height, 0), image->height);
  if (w == 0 || h == 0 || w > 0xFFFF || h > 0xFFFF) {
    ShowMessage(MessageKind::Error, kMsgFormat);
    return 1;
  }

  WriteProgress progress(MessageText(kMsgWriteCaption), "[" + name.string() + "]");
  Bytes bytes;
  bytes.reserve(kHeaderSize + std::size_t(w) * h * 3);
  ByteWriter out(bytes);
  Header header;
  header.imageType = runLength ? kRunLength : kUncompressed;
  header.width = static_cast<std::uint16_t>(w);
  header.height = static_cast<std::uint16_t>(h);
  header.bitsPerPixel = kBitsPerPixel;
  header.descriptor = kTopLineFirst;
  WriteHeader(out, header);
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* line = image->Line(y);
    if (runLength)
      PackLine(out, line, w);
    else
      out.Append(ByteSpan(reinterpret_cast<const std::byte*>(line), 3 * std::size_t(w)));
    progress.Line(y, h);
  }
  return WritePictureFile(name, bytes, kMsgOpenError) ? 0 : 1;
}

}  // namespace

int WriteTga(const std::filesystem::path& baseName, int frame, int width, int height, int slot,
             bool runLength, int bits) {
  return GuardMemory(kMsgWriteMemory, 1, [&] {
    return WriteTgaFile(baseName, frame, width, height, slot, runLength, bits);
  });
}

}  // namespace tessaran
