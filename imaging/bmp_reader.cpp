// Reads uncompressed BMP pictures of 1, 4, 8, 16, 24 and 32 bits, with the
// 40-, 108- or 124-byte info header, colour masks (BI_BITFIELDS) for 16 and
// 32 bits, stored bottom line first or, with a negative height, top first.
#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "imaging/bmp.h"
#include "imaging/bmp_format.h"
#include "imaging/format_io.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace bmp;

// One colour channel under a mask, widened to 8 bits by repeating its bits
// (a 5-bit channel c becomes c × 8 + c / 4).
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  static bool Make(std::uint32_t mask, unsigned pixelBits, Channel& channel) {
    channel = {};
    if (mask == 0) return true;  // the channel is absent: always 0
    if (pixelBits < 32 && (mask >> pixelBits) != 0) return false;
    channel.mask = mask;
    channel.shift = std::countr_zero(mask);
    channel.bits = std::popcount(mask);
    // The mask must be one run of bits.
    return (mask >> channel.shift) == (channel.bits == 32 ? ~0u : (1u << channel.bits) - 1);
  }

  std::uint8_t Value(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    std::uint32_t c = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(c >> (bits - 8));
    int position = 8 - bits;
    std::uint32_t out = c << position;
    while (position > 0) {
      position -= bits;
      out |= position >= 0 ? c << position : c >> -position;
    }
    return static_cast<std::uint8_t>(out);
  }
};

struct Picture {
  InfoHeader info;
  std::uint32_t pixelOffset = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool topFirst = false;
  int colours = 0;
  Channel red, green, blue;
};

// Checks the headers and reads the masks. 0 when the picture can be read,
// else the message that tells why not (message 259 follows it).
int ParseHeaders(ByteReader& in, Picture& p) {
  FileHeader file = ReadFileHeader(in);
  if (!in.Ok() || file.magic[0] != 'B' || file.magic[1] != 'M' || file.reserved1 != 0 ||
      file.reserved2 != 0)
    return kMsgNotBmp;
  p.pixelOffset = file.pixelOffset;
  InfoHeader& info = p.info;
  info = ReadInfoHeader(in);
  if (!in.Ok()) return kMsgNotBmp;
  if (info.size != kInfoHeaderSize && info.size != kInfoHeaderV4Size &&
      info.size != kInfoHeaderV5Size)
    return kMsgInfoHeader;
  if (kFileHeaderSize + info.size > in.Position() + in.Remaining()) return kMsgNotBmp;
  // The pixels follow the headers.
  if (p.pixelOffset < kFileHeaderSize + info.size) return kMsgNotBmp;
  const unsigned bits = info.bitCount;
  const bool masked = info.compression == kBitFields && (bits == 16 || bits == 32);
  if (info.compression != kRgb && !masked) return kMsgCompressed;
  if (info.planes != 1 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return kMsgNotBmp;
  if (info.width <= 0 || info.width > 0xFFFF || info.height == 0 || info.height < -0xFFFF ||
      info.height > 0xFFFF)
    return kMsgNotBmp;
  p.width = std::uint32_t(info.width);
  p.topFirst = info.height < 0;
  p.height = std::uint32_t(p.topFirst ? -info.height : info.height);

  if (masked) ReadMasks(in, info);  // after a 40-byte header, or inside a longer one
  if (!in.Ok()) return kMsgNotBmp;
  std::uint32_t r = 0x7C00, g = 0x03E0, b = 0x001F;  // 5-5-5
  if (bits == 32) r = 0xFF0000, g = 0xFF00, b = 0xFF;
  if (masked) r = info.redMask, g = info.greenMask, b = info.blueMask;
  if (bits == 16 || bits == 32) {
    if (!Channel::Make(r, bits, p.red) || !Channel::Make(g, bits, p.green) ||
        !Channel::Make(b, bits, p.blue))
      return kMsgNotBmp;
  }
  // Only palette pictures carry a palette; more entries than the bits can
  // index are not read.
  if (bits <= 8) {
    int full = 1 << bits;
    p.colours = info.clrUsed == 0 ? full : int(std::min<std::uint32_t>(info.clrUsed, full));
  }
  return 0;
}

// The palette follows the info header. Entries the file does not hold
// before the pixels stay black, as do indices beyond the palette.
void ReadPalette(ByteSpan file, const Picture& p, PictureTarget& target) {
  ByteReader in(file);
  const std::size_t start = kFileHeaderSize + p.info.size;
  std::size_t end = p.pixelOffset >= start ? p.pixelOffset : file.size();
  end = std::min(end, file.size());
  const int held =
      start < end ? int(std::min<std::size_t>((end - start) / kPaletteEntrySize, 256)) : 0;
  in.Seek(start);
  for (int i = 0; i < std::min(p.colours, held); ++i) {
    std::uint32_t b = in.U8(), g = in.U8(), r = in.U8();
    in.U8();
    target.SetPaletteColour(i, r << 16 | g << 8 | b);
  }
}

// Converts one stored line; palette pictures give indices, the others
// blue, green, red.
void IndexLine(const std::uint8_t* line, unsigned bits, std::uint32_t width, std::uint8_t* out) {
  for (std::uint32_t x = 0; x < width; ++x) {
    if (bits == 1)
      out[x] = (line[x / 8] >> (7 - x % 8)) & 1;
    else if (bits == 4)
      out[x] = (line[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    else
      out[x] = line[x];
  }
}

void BgrLine(const std::uint8_t* line, const Picture& p, std::uint8_t* out) {
  const unsigned bits = p.info.bitCount;
  if (bits == 24) {
    std::memcpy(out, line, 3 * std::size_t(p.width));
    return;
  }
  for (std::uint32_t x = 0; x < p.width; ++x) {
    std::uint32_t v;
    if (bits == 16)
      v = line[2 * x] | std::uint32_t(line[2 * x + 1]) << 8;
    else
      v = line[4 * x] | std::uint32_t(line[4 * x + 1]) << 8 | std::uint32_t(line[4 * x + 2]) << 16 |
          std::uint32_t(line[4 * x + 3]) << 24;
    out[3 * x] = p.blue.Value(v);
    out[3 * x + 1] = p.green.Value(v);
    out[3 * x + 2] = p.red.Value(v);
  }
}

bool KeyedColour(std::uint32_t rgb, std::uint32_t key) {
  return (rgb & 0xFF) == key && (rgb >> 8 & 0xFF) == key && (rgb >> 16 & 0xFF) == key;
}

int ReadBmpFile(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                const PixelSink* sink) {
  Bytes file;
  if (!ReadPictureFile(path, file)) return 0;
  const std::string name = path.filename().string();
  auto refuse = [&](int message) {
    if (message != kMsgNotBmp) ShowMessage(MessageKind::Error, message);
    ShowMessage(MessageKind::Error, kMsgNotBmp, name.c_str());
    return 0;
  };

  ByteReader in(file);
  Picture p;
  if (int message = ParseHeaders(in, p)) return refuse(message);
  const unsigned bits = p.info.bitCount;
  if (header) *header = PictureHeader{p.width, p.height, int(bits), p.colours};

  PictureTarget target(path, slot, mode, sink);
  if (target.HeaderOnly()) return 1;
  const std::size_t pixelOffset = p.pixelOffset;
  const std::uint64_t lineBytes = LineBytes(p.width, bits);
  if (pixelOffset > file.size()) return refuse(kMsgNotBmp);
  if (!FileHoldsPicture(path, lineBytes * p.height, file.size() - pixelOffset)) return 0;

  const int depth = bits == 4 ? -4 : bits <= 8 ? 8 : 24;
  if (!target.Create(p.width, p.height, depth)) return 0;
  if (bits > 8 && !TargetTakesTrueColour(target)) return 0;
  ReadPalette(file, p, target);
  target.OpenProgress(kMsgReadTitle);

  std::vector<std::uint8_t> pixels(std::size_t(p.width) * (bits <= 8 ? 1 : 3));
  std::vector<std::uint8_t> keep(target.Keyed() ? p.width : 0);
  for (std::uint32_t i = 0; i < p.height; ++i) {
    const std::uint8_t* line =
        reinterpret_cast<const std::uint8_t*>(file.data()) + pixelOffset + i * lineBytes;
    const std::uint32_t y = p.topFirst ? i : p.height - 1 - i;
    if (bits <= 8) {
      IndexLine(line, bits, p.width, pixels.data());
      for (std::size_t x = 0; x < keep.size(); ++x)
        keep[x] = KeyedColour(target.PaletteColour(pixels[x]), target.Key());
      target.PutIndexLine(y, pixels.data(), keep.empty() ? nullptr : keep.data());
    } else {
      BgrLine(line, p, pixels.data());
      for (std::size_t x = 0; x < keep.size(); ++x)
        keep[x] = pixels[3 * x] == target.Key() && pixels[3 * x + 1] == target.Key() &&
                  pixels[3 * x + 2] == target.Key();
      target.PutBgrLine(y, pixels.data(), keep.empty() ? nullptr : keep.data());
    }
    target.LineDone(i);
  }
  return target.Finish();
}

}  // namespace

int ReadBmp(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink) {
  return GuardMemory(kMsgReadMemory, 0,
                     [&] { return ReadBmpFile(path, slot, mode, header, sink); });
}

}  // namespace tessaran
