// Writes PCX files: an 8-bit DIB as one plane of 8 bits with its 256-colour
// palette at the end (the renderer's " PCX" output), a 4-bit DIB as four
// planes of 1 bit, and 24-bit virtual images as three planes (" PCX24").
#include <algorithm>
#include <vector>

#include "imaging/format_io.h"
#include "imaging/pcx.h"
#include "imaging/pcx_format.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace pcx;

// Run-codes one plane line. A count byte goes before a run longer than one
// byte and before any single byte that would read as a count; runs stop at
// 63 bytes and at the end of the plane line.
void EncodePlaneLine(ByteWriter& out, const std::uint8_t* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n;) {
    std::uint8_t value = bytes[i];
    std::size_t run = 1;
    while (i + run < n && run < kMaxRun && bytes[i + run] == value) ++run;
    if (run > 1 || (value & kCountFlag) == kCountFlag) out.U8(std::uint8_t(kCountFlag | run));
    out.U8(value);
    i += run;
  }
}

// The plane lines of line y of the image, one after the other.
void SplitPlanes(const VirtIm& image, std::uint32_t y, std::size_t planeBytes,
                 std::vector<std::uint8_t>& planes) {
  const std::uint8_t* line = image.Line(y);
  std::fill(planes.begin(), planes.end(), 0);
  if (image.bytesPerPixel == 1) {
    std::copy_n(line, planeBytes, planes.begin());
  } else if (image.bytesPerPixel == 3) {
    // Plane 0 is red, 1 green, 2 blue.
    for (std::uint32_t x = 0; x < image.width; ++x) {
      planes[x] = line[3 * x + 2];
      planes[planeBytes + x] = line[3 * x + 1];
      planes[2 * planeBytes + x] = line[3 * x];
    }
  } else {
    // Plane i holds bit i of every 4-bit pixel; the even pixel is the high nibble.
    for (std::uint32_t x = 0; x < image.width; ++x) {
      int index = (line[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      for (int i = 0; i < 4; ++i)
        if (index >> i & 1) planes[i * planeBytes + x / 8] |= std::uint8_t(0x80 >> (x % 8));
    }
  }
}

Bytes EncodePicture(const VirtIm& image, const std::filesystem::path& name) {
  Header h;
  const int bpp = image.bytesPerPixel;
  h.bitsPerPlane = bpp == 0 ? 1 : 8;
  h.planes = bpp == 1 ? 1 : bpp == 3 ? 3 : 4;
  h.bytesPerPlaneLine = std::uint16_t(bpp == 1   ? image.stride
                                      : bpp == 3 ? image.width
                                                 : (image.width + 7) / 8);
  h.xMax = std::uint16_t(image.width - 1);
  h.yMax = std::uint16_t(image.height - 1);
  h.horizontalResolution = std::uint16_t(image.width);
  h.verticalResolution = std::uint16_t(image.height);
  for (int i = 0; i < 16; ++i) {
    std::uint32_t rgb = image.PaletteColour(i);
    h.palette[3 * i] = std::uint8_t(rgb >> 16);
    h.palette[3 * i + 1] = std::uint8_t(rgb >> 8);
    h.palette[3 * i + 2] = std::uint8_t(rgb);
  }

  Trace("[%s]\n", name.string().c_str());
  WriteProgress progress(MessageText(kMsgWriteCaption), "[" + name.string() + "]");
  Bytes bytes;
  bytes.reserve(kHeaderSize + std::size_t(image.height) * image.stride + 1 + kPaletteBytes);
  ByteWriter out(bytes);
  WriteHeader(out, h);
  const std::size_t planeBytes = h.bytesPerPlaneLine;
  std::vector<std::uint8_t> planes(planeBytes * h.planes);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    SplitPlanes(image, y, planeBytes, planes);
    for (int i = 0; i < h.planes; ++i)
      EncodePlaneLine(out, planes.data() + i * planeBytes, planeBytes);
    progress.Line(y, image.height);
  }
  if (bpp == 1) {
    out.U8(kPaletteMark);
    for (int i = 0; i < 256; ++i) {
      std::uint32_t rgb = image.PaletteColour(i);
      out.U8(std::uint8_t(rgb >> 16));
      out.U8(std::uint8_t(rgb >> 8));
      out.U8(std::uint8_t(rgb));
    }
  }
  return bytes;
}

// PCX sizes are 16-bit.
bool Writable(const VirtIm& image) {
  return !image.Empty() && image.width <= 0xFFFF && image.height <= 0xFFFF &&
         (image.bytesPerPixel != 1 || image.stride <= 0xFFFF);
}

int WriteDibPcx(const std::filesystem::path& baseName, int frame, const VirtIm& dib) {
  std::filesystem::path name = OutputName(baseName, frame, ".PCX");
  if (!Writable(dib)) {
    ShowMessage(MessageKind::Warning, kMsgCreateError, name.string().c_str());
    return 0;
  }
  Bytes bytes = EncodePicture(dib, name);
  return WritePictureFile(name, bytes, kMsgCreateError) ? 1 : 0;
}

int WriteSlotPcx(const std::filesystem::path& baseName, int frame, int slot) {
  std::filesystem::path name = OutputName(baseName, frame, ".PCX");
  const VirtIm* image = TrueColourSource(slot);
  if (image == nullptr) return 0;
  if (!Writable(*image)) {
    ShowMessage(MessageKind::Warning, kMsgCreateError, name.string().c_str());
    return 0;
  }
  Bytes bytes = EncodePicture(*image, name);
  return WritePictureFile(name, bytes, kMsgOpenError) ? 1 : 0;
}

}  // namespace

int WritePcx(const std::filesystem::path& baseName, int frame, const VirtIm& dib) {
  return GuardMemory(kMsgWriteMemory, 0, [&] { return WriteDibPcx(baseName, frame, dib); });
}

int WritePcx(const std::filesystem::path& baseName, int frame, int slot) {
  return GuardMemory(kMsgWriteMemory, 0, [&] { return WriteSlotPcx(baseName, frame, slot); });
}

}  // namespace tessaran
