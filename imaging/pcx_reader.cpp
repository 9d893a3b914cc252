// Reads PCX pictures: one plane of 8 bits (256 colours), three planes of
// 8 bits (true colour) and one to four planes of 1 bit (up to 16 colours).
#include <algorithm>
#include <vector>

#include "imaging/format_io.h"
#include "imaging/pcx.h"
#include "imaging/pcx_format.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace pcx;

enum class Kind { Indexed8, TrueColour, BitPlanes, Unknown };

Kind KindOf(const Header& h) {
  if (h.bitsPerPlane == 8 && h.planes == 1) return Kind::Indexed8;
  if (h.bitsPerPlane == 8 && h.planes == 3) return Kind::TrueColour;
  if (h.bitsPerPlane == 1 && h.planes >= 1 && h.planes <= 4) return Kind::BitPlanes;
  return Kind::Unknown;
}

// Bytes of one plane line that the picture's width needs.
std::uint32_t PlaneLineBytesNeeded(const Header& h, std::uint32_t width) {
  return h.bitsPerPlane == 1 ? (width + 7) / 8 : width;
}

// The 16 header entries, then for 8-bit files the 256 entries after the
// mark byte at the very end. A one-bit picture whose header palette is all
// black is drawn black on white, as such files are meant.
int LoadPalette(const Header& h, Kind kind, ByteSpan file, PictureTarget& target) {
  for (int i = 0; i < 16; ++i)
    target.SetPaletteColour(i, std::uint32_t(h.palette[3 * i]) << 16 |
                                   std::uint32_t(h.palette[3 * i + 1]) << 8 | h.palette[3 * i + 2]);
  if (kind == Kind::BitPlanes && h.planes == 1 &&
      std::all_of(h.palette.begin(), h.palette.begin() + 6, [](auto b) { return b == 0; }))
    target.SetPaletteColour(1, 0xFFFFFF);
  if (kind == Kind::BitPlanes) return 16;
  if (file.size() < kHeaderSize + kPaletteBytes + 1) return 16;
  std::size_t mark = file.size() - kPaletteBytes - 1;
  if (std::to_integer<std::uint8_t>(file[mark]) != kPaletteMark) return 16;
  ByteReader in(file.subspan(mark + 1));
  for (int i = 0; i < 256; ++i) {
    std::uint32_t r = in.U8(), g = in.U8(), b = in.U8();
    target.SetPaletteColour(i, r << 16 | g << 8 | b);
  }
  return 256;
}

// Decodes the planes of one line into `line`. The run state starts afresh
// on every line but carries from one plane to the next; a run that passes
// the end of the line loses its remainder. False when the data ends first:
// the rest of the line stays 0.
bool DecodeLine(ByteReader& in, std::vector<std::uint8_t>& line) {
  std::fill(line.begin(), line.end(), 0);
  std::size_t n = 0;
  while (n < line.size()) {
    std::uint8_t b = in.U8();
    if (!in.Ok()) return false;
    if ((b & kCountFlag) == kCountFlag) {
      std::size_t count = std::min<std::size_t>(b & kMaxRun, line.size() - n);
      std::uint8_t value = in.U8();
      if (!in.Ok()) return false;
      std::fill_n(line.begin() + n, count, value);
      n += count;
    } else {
      line[n++] = b;
    }
  }
  return true;
}

struct LineBuilder {
  Kind kind;
  std::uint32_t width;
  std::size_t planeBytes;
  int planes;

  // Planes 0, 1, 2 are red, green, blue; pixels are stored blue, green, red.
  void Bgr(const std::uint8_t* planesData, std::uint8_t* bgr) const {
    for (std::uint32_t x = 0; x < width; ++x) {
      bgr[3 * x] = planesData[2 * planeBytes + x];
      bgr[3 * x + 1] = planesData[planeBytes + x];
      bgr[3 * x + 2] = planesData[x];
    }
  }

  // Plane i gives bit i of the index; bit 7 of a byte is the leftmost pixel.
  void Indices(const std::uint8_t* planesData, std::uint8_t* indices) const {
    if (kind == Kind::Indexed8) {
      std::copy_n(planesData, width, indices);
      return;
    }
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t index = 0;
      for (int i = 0; i < planes; ++i)
        index |= ((planesData[i * planeBytes + x / 8] >> (7 - x % 8)) & 1) << i;
      indices[x] = index;
    }
  }
};

int ReadPcxFile(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                const PixelSink* sink) {
  Bytes file;
  if (!ReadPictureFile(path, file)) return 0;
  ByteReader in(file);
  Header h = ReadHeader(in);
  const Kind kind = KindOf(h);
  const int width = int(h.xMax) - int(h.xMin) + 1;
  const int height = int(h.yMax) - int(h.yMin) + 1;
  if (!in.Ok() || h.manufacturer != kManufacturer || h.encoding != kRunEncoding ||
      kind == Kind::Unknown || width <= 0 || height <= 0 ||
      h.bytesPerPlaneLine < PlaneLineBytesNeeded(h, width)) {
    ShowMessage(MessageKind::Error, kMsgFormat);
    return 0;
  }
  const int depth = h.bitsPerPlane * h.planes;
  if (header) *header = PictureHeader{std::uint32_t(width), std::uint32_t(height), depth, 0};

  PictureTarget target(path, slot, mode, sink);
  if (target.HeaderOnly()) return 1;
  const std::size_t lineBytes = std::size_t(h.planes) * h.bytesPerPlaneLine;
  // Every pair of bytes codes at most 63 bytes of a line.
  const std::uint64_t least = std::uint64_t(height) * ((lineBytes + kMaxRun - 1) / kMaxRun) * 2;
  const std::size_t data = file.size() > kHeaderSize ? file.size() - kHeaderSize : 0;
  if (!FileHoldsPicture(path, least, data)) return 0;
  if (!target.Create(width, height, kind == Kind::TrueColour ? 24 : 8)) return 0;
  if (kind == Kind::TrueColour && !TargetTakesTrueColour(target)) return 0;
  const int paletteSize = kind == Kind::TrueColour ? 0 : LoadPalette(h, kind, file, target);
  if (header) header->paletteSize = paletteSize;
  target.OpenProgress(kMsgReadTitle);

  in.Seek(kHeaderSize);
  const LineBuilder builder{kind, std::uint32_t(width), h.bytesPerPlaneLine, h.planes};
  const VirtIm* image = target.Image();
  const bool trueColourImage = image && image->bytesPerPixel == 3;
  std::vector<std::uint8_t> planes(lineBytes);
  std::vector<std::uint8_t> pixels(std::size_t(width) * (kind == Kind::TrueColour ? 3 : 1));
  // A keyed load leaves the old pixel under every zero pixel of the picture.
  std::vector<std::uint8_t> keep(target.Keyed() ? width : 0);
  for (int y = 0; y < height; ++y) {
    bool complete = DecodeLine(in, planes);
    if (kind == Kind::TrueColour) {
      builder.Bgr(planes.data(), pixels.data());
      for (std::size_t x = 0; x < keep.size(); ++x)
        keep[x] = (pixels[3 * x] | pixels[3 * x + 1] | pixels[3 * x + 2]) == 0;
      target.PutBgrLine(y, pixels.data(), keep.empty() ? nullptr : keep.data());
    } else {
      builder.Indices(planes.data(), pixels.data());
      for (std::size_t x = 0; x < keep.size(); ++x)
        keep[x] = trueColourImage ? target.PaletteColour(pixels[x]) == 0 : pixels[x] == 0;
      target.PutIndexLine(y, pixels.data(), keep.empty() ? nullptr : keep.data());
    }
    target.LineDone(y);
    if (!complete) {
      ReportTruncated(path);
      break;
    }
  }
  return target.Finish();
}

}  // namespace

int ReadPcx(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink) {
  return GuardMemory(kMsgReadMemory, 0,
                     [&] { return ReadPcxFile(path, slot, mode, header, sink); });
}

}  // namespace tessaran
