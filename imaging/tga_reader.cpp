// Reads 24-bit Targa pictures, uncompressed (type 2) or run-length (type 10),
// stored top line first or bottom line first.
#include <cstring>
#include <string>
#include <vector>

#include "imaging/format_io.h"
#include "imaging/tga.h"
#include "imaging/tga_format.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace tga;

// Only true-colour 24-bit pictures without an identification field or a
// colour map are read; the y origin is not looked at.
// What of the header the reader does not take, empty when it takes it all:
// 24-bit true colour, type 2 or 10, without id or colour map, of some size.
std::string Refusal(const Header& h) {
  if (h.imageType != kUncompressed && h.imageType != kRunLength) {
    return "image type " + std::to_string(h.imageType) + " (only types 2 and 10, true colour, are read)";
  }
  if (h.bitsPerPixel != kBitsPerPixel) return std::to_string(h.bitsPerPixel) + " bits per pixel (only 24 are read)";
  if (h.idLength != 0) return "an image id field (none is read)";
  if (h.colourMapType != 0 || h.colourMapOrigin != 0 || h.colourMapLength != 0 || h.colourMapEntrySize != 0) {
    return "a colour map (none is read)";
  }
  if (h.xOrigin != 0) return "an x origin of " + std::to_string(h.xOrigin) + " (only 0 is read)";
  if (h.width == 0 || h.height == 0) return "no pixels";
  return {};
}

// The fewest bytes the pixels of a picture can take: every line of a
// run-length picture holds at least one 4-byte packet per 128 pixels.
std::uint64_t LeastPixelBytes(const Header& h) {
  if (h.imageType == kUncompressed) return std::uint64_t(h.width) * h.height * 3;
  return std::uint64_t(h.height) * ((h.width + kMaxPacket - 1) / kMaxPacket) * 4;
}

// Decodes one line of run-length packets into width blue-green-red pixels. A
// packet that runs past the end of the line loses its remainder: packets
// never carry over to the next line. False when the data ends first.
bool DecodeRunLengthLine(ByteReader& in, std::uint8_t* line, std::uint32_t width) {
  std::uint32_t x = 0;
  while (x < width) {
    std::uint8_t packet = in.U8();
    int count = (packet & 0x7F) + 1;
    if (packet & kRunPacket) {
      ByteSpan pixel = in.Take(3);
      if (pixel.empty()) break;
      for (; count > 0 && x < width; --count, ++x) std::memcpy(line + 3 * x, pixel.data(), 3);
    } else {
      ByteSpan pixels = in.Take(3 * std::size_t(count));
      if (pixels.empty()) break;
      std::uint32_t kept = std::min<std::uint32_t>(count, width - x);
      std::memcpy(line + 3 * x, pixels.data(), 3 * std::size_t(kept));
      x += kept;
    }
  }
  return in.Ok();
}

// A transparent key leaves the old pixel wherever all three bytes equal it.
void FlagKeyedPixels(const std::uint8_t* line, std::uint32_t width, std::uint32_t key,
                     std::uint8_t* keep) {
  for (std::uint32_t x = 0; x < width; ++x) {
    const std::uint8_t* p = line + 3 * x;
    keep[x] = p[0] == key && p[1] == key && p[2] == key;
  }
}

int ReadTgaFile(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                const PixelSink* sink) {
  Bytes file;
  if (!ReadPictureFile(path, file)) return 0;
  ByteReader in(file);
  Header h = ReadHeader(in);
  // A file the reader does not take is told as such, with what it holds,
  // rather than as a file that cannot be opened.
  if (const std::string refusal = in.Ok() ? Refusal(h) : "a header cut short"; !refusal.empty()) {
    Reporter().Report(MessageKind::Error, kMsgFormat,
                      MessageText(kMsgFormat) + " [" + path.string() + "]: " + refusal);
    return 0;
  }
  if (header) *header = PictureHeader{h.width, h.height, kBitsPerPixel, 0};

  PictureTarget target(path, slot, mode, sink);
  if (target.HeaderOnly()) return 1;
  if (!FileHoldsPicture(path, LeastPixelBytes(h), in.Remaining())) return 0;
  if (!target.Create(h.width, h.height, 24) || !TargetTakesTrueColour(target)) return 0;
  target.OpenProgress(kMsgReadTitle);

  const std::uint32_t width = h.width;
  std::vector<std::uint8_t> line(3 * std::size_t(width));
  std::vector<std::uint8_t> keep(target.Keyed() ? width : 0);
  const bool topFirst = h.descriptor & kTopLineFirst;
  for (std::uint32_t i = 0; i < h.height; ++i) {
    bool complete;
    if (h.imageType == kUncompressed) {
      ByteSpan pixels = in.Take(line.size());
      complete = !pixels.empty();
      if (complete)
        std::memcpy(line.data(), pixels.data(), line.size());
      else
        std::fill(line.begin(), line.end(), 0);
    } else {
      std::fill(line.begin(), line.end(), 0);
      complete = DecodeRunLengthLine(in, line.data(), width);
    }
    std::uint32_t y = topFirst ? i : h.height - 1 - i;
    if (!keep.empty()) FlagKeyedPixels(line.data(), width, target.Key(), keep.data());
    target.PutBgrLine(y, line.data(), keep.empty() ? nullptr : keep.data());
    target.LineDone(i);
    if (!complete) {
      ReportTruncated(path);
      break;
    }
  }
  return target.Finish();
}

}  // namespace

int ReadTga(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink) {
  return GuardMemory(kMsgReadMemory, 0,
                     [&] { return ReadTgaFile(path, slot, mode, header, sink); });
}

}  // namespace tessaran
