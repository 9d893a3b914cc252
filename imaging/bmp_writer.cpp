// Writes BMP files: a 4-bit or 8-bit DIB with its palette (the renderer's
// " BMP" output) and 24-bit virtual images (" BMP24"), bottom line first.
#include <algorithm>

#include "imaging/bmp.h"
#include "imaging/bmp_format.h"
#include "imaging/format_io.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace bmp;

// Sizes in a BMP file are 32-bit: larger pictures cannot be written.
constexpr std::uint64_t kLargestPixelBytes = 0xFFFFFFFFull - 2048;

// The file header and the info header of a picture of `colours` palette
// entries whose pixels take `pixelBytes`. The size field holds the file's
// size in bytes, as every program reading BMP files expects.
void WriteHeaders(ByteWriter& out, std::uint32_t width, std::uint32_t height, int bits, int colours,
                  std::uint32_t pixelBytes) {
  FileHeader file;
  file.pixelOffset = std::uint32_t(kFileHeaderSize + kInfoHeaderSize + kPaletteEntrySize * colours);
  file.fileSize = file.pixelOffset + pixelBytes;
  WriteFileHeader(out, file);
  InfoHeader info;
  info.width = std::int32_t(width);
  info.height = std::int32_t(height);
  info.bitCount = std::uint16_t(bits);
  info.sizeImage = pixelBytes;
  WriteInfoHeader(out, info);
}

int WriteDibBmp(const std::filesystem::path& baseName, int frame, const VirtIm& dib) {
  std::filesystem::path name = OutputName(baseName, frame, ".BMP");
  if (dib.Empty() || std::uint64_t(dib.height) * std::uint32_t(dib.stride) > kLargestPixelBytes) {
    ShowMessage(MessageKind::Error, kMsgNotBmp, name.filename().string().c_str());
    return 1;
  }
  WriteProgress progress(MessageText(kMsgWriteCaption), "[" + name.string() + "]");
  const int bits = dib.BitCount();
  const int colours = bits == 24 ? 0 : 1 << bits;
  const std::uint32_t pixelBytes = dib.height * std::uint32_t(dib.stride);
  Bytes bytes;
  bytes.reserve(kFileHeaderSize + kInfoHeaderSize + kPaletteEntrySize * colours + pixelBytes);
  ByteWriter out(bytes);
  WriteHeaders(out, dib.width, dib.height, bits, colours, pixelBytes);
  for (int i = 0; i < colours; ++i) {
    std::uint32_t rgb = dib.PaletteColour(i);
    out.U8(std::uint8_t(rgb));
    out.U8(std::uint8_t(rgb >> 8));
    out.U8(std::uint8_t(rgb >> 16));
    out.U8(0);
  }
  // The DIB is stored bottom line first, as the file wants it.
  out.Append(ByteSpan(reinterpret_cast<const std::byte*>(dib.pixels.data()), pixelBytes));
  progress.Line(dib.height - 1, dib.height);
  return WritePictureFile(name, bytes, kMsgOpenError) ? 0 : 1;
}

int WriteSlotBmp(const std::filesystem::path& baseName, int frame, int slot, int height) {
  std::filesystem::path name = OutputName(baseName, frame, ".BMP");
  const VirtIm* image = TrueColourSource(slot);
  if (image == nullptr) return 1;
  // The picture is the top `height` lines of the image.
  const std::uint32_t h =
      height > 0 ? std::min<std::uint32_t>(std::uint32_t(height), image->height) : image->height;
  const std::uint32_t lineBytes = std::uint32_t(LineBytes(image->width, 24));
  const std::uint32_t used = 3 * image->width;
  if (std::uint64_t(lineBytes) * h > kLargestPixelBytes) {
    ShowMessage(MessageKind::Error, kMsgNotBmp, name.filename().string().c_str());
    return 1;
  }
  WriteProgress progress(MessageText(kMsgWriteCaption), "[" + name.string() + "]");
  Bytes bytes;
  bytes.reserve(kFileHeaderSize + kInfoHeaderSize + std::size_t(lineBytes) * h);
  ByteWriter out(bytes);
  WriteHeaders(out, image->width, h, 24, 0, lineBytes * h);
  for (std::uint32_t i = 0; i < h; ++i) {
    const std::uint32_t y = h - 1 - i;
    out.Append(ByteSpan(reinterpret_cast<const std::byte*>(image->Line(y)), used));
    out.Zeros(lineBytes - used);
    progress.Line(i, h);
  }
  return WritePictureFile(name, bytes, kMsgOpenError) ? 0 : 1;
}

}  // namespace

int WriteBmp(const std::filesystem::path& baseName, int frame, const VirtIm& dib) {
  return GuardMemory(kMsgWriteMemory, 1, [&] { return WriteDibBmp(baseName, frame, dib); });
}

int WriteBmp(const std::filesystem::path& baseName, int frame, int slot, int height) {
  return GuardMemory(kMsgWriteMemory, 1,
                     [&] { return WriteSlotBmp(baseName, frame, slot, height); });
}

}  // namespace tessaran
