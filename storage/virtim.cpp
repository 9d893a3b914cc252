#include "storage/virtim.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/console.h"
#include "platform/report.h"
#include "platform/sysinfo.h"

namespace tessaran {
namespace {

constexpr int kMsgCreateMemory = 156;  // "Mémoire insuffisante (création de l'image)"
constexpr int kMsgFinalAntialias = 157;
constexpr int kMsgStretchSubtitle = 158;
constexpr int kMsgStretchBackground = 159;
constexpr int kMsgStretchForeground = 160;

std::array<VirtIm, kVirtImSlots>& Slots() {
  static std::array<VirtIm, kVirtImSlots> slots;
  return slots;
}

std::uint64_t (*memoryFigure)() = nullptr;

VirtIm* Find(int slot) {
  if (slot < 0 || slot >= kVirtImSlots) return nullptr;
  VirtIm& image = Slots()[slot];
  return image.Empty() ? nullptr : &image;
}

void PutLe16(std::uint8_t* at, std::uint16_t v) {
  at[0] = std::uint8_t(v);
  at[1] = std::uint8_t(v >> 8);
}
void PutLe32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = std::uint8_t(v >> (8 * i));
}

void FillHeader(VirtIm& image) {
  image.header.fill(0);
  PutLe32(&image.header[0], 40);
  PutLe32(&image.header[4], image.width);
  PutLe32(&image.header[8], image.height);  // positive: bottom-up
  PutLe16(&image.header[12], 1);
  PutLe16(&image.header[14], std::uint16_t(image.BitCount()));
  PutLe32(&image.header[20], image.height * std::uint32_t(image.stride));
}

std::uint32_t Bgr(const std::uint8_t* p) {
  return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

void StoreBgr(std::uint8_t* p, std::uint32_t rgb) {
  p[0] = std::uint8_t(rgb);
  p[1] = std::uint8_t(rgb >> 8);
  p[2] = std::uint8_t(rgb >> 16);
}

std::uint32_t Raw(const VirtIm& image, const std::uint8_t* line, std::uint32_t x) {
  switch (image.bytesPerPixel) {
    case 3: return Bgr(line + 3 * x);
    case 1: return line[x];
    default: return (line[x / 2] >> (x % 2 ? 0 : 4)) & 15;
  }
}

// near(v) of the stretch: the integer part of v + 0.5.
long Near(double v) { return static_cast<long>(v + 0.5); }

class ProgressScope {
 public:
  ProgressScope(const std::string& caption, const std::string& subtitle) {
    Progress().Open(caption, subtitle);
  }
  ~ProgressScope() { Progress().Close(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;
};

}  // namespace

std::uint32_t VirtIm::PaletteColour(int i) const {
  if (palette.size() < 1024 || i < 0 || i > 255) return 0;
  const std::uint8_t* p = &palette[std::size_t(i) * 4];
  return Bgr(p);
}

void VirtIm::SetPaletteColour(int i, std::uint32_t rgb) {
  if (palette.size() < 1024 || i < 0 || i > 255) return;
  std::uint8_t* p = &palette[std::size_t(i) * 4];
  StoreBgr(p, rgb);
  p[3] = 0;
}

VirtIm& VimSlot(int slot) { return Slots()[std::clamp(slot, 0, kVirtImSlots - 1)]; }

void SetVimMemoryForTesting(std::uint64_t (*availableMemory)()) { memoryFigure = availableMemory; }

int VimCreate(int slot, int width, int height, int depth) {
  if (slot < 0 || slot >= kVirtImSlots) return 0;
  VimFree(slot);
  // Coordinates are 16-bit: an image holds 1 … 65535 pixels each way.
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return 0;
  VirtIm image;
  image.width = std::uint32_t(width);
  image.height = std::uint32_t(height);
  image.bytesPerPixel = depth > 8 ? 3 : depth == -4 ? 0 : 1;
  image.slot = slot;
  std::uint32_t lineBytes =
      image.bytesPerPixel == 0 ? (image.width + 1) / 2 : image.width * image.bytesPerPixel;
  image.stride = std::int32_t((lineBytes + 3) / 4 * 4);
  FillHeader(image);
  std::uint64_t bytes = std::uint64_t(image.height) * std::uint64_t(image.stride) + 4;
  // The buffer is zero-filled at once, so it must fit in what the machine has.
  std::uint64_t available = memoryFigure ? memoryFigure() : AvailableMemory();
  bool fits = bytes + 1024 <= available;
  if (fits) {
    try {
      image.pixels.assign(bytes, 0);
      image.palette.assign(1024, 0);
    } catch (const std::bad_alloc&) {
      fits = false;
    }
  }
  if (!fits) {
    ShowMessage(MessageKind::Error, kMsgCreateMemory);
    return 0;
  }
  Trace("VimCreate(%02d) %dx%d %d bits\n", slot, width, height, image.BitCount());
  Slots()[slot] = std::move(image);
  return 1;
}

void VimFree(int slot) {
  if (slot < 0 || slot >= kVirtImSlots) return;
  Slots()[slot] = VirtIm{};
}

void VimSwap(int a, int b) {
  if (a < 0 || a >= kVirtImSlots || b < 0 || b >= kVirtImSlots || a == b) return;
  std::swap(Slots()[a], Slots()[b]);
  // The slot number stays with the slot, not the image.
  Slots()[a].slot = a;
  Slots()[b].slot = b;
}

std::int32_t VimGetPixel(int slot, std::uint32_t y, std::uint32_t x) {
  const VirtIm* image = Find(slot);
  if (!image) return -1;
  if (x >= image->width || y >= image->height) return 0;
  std::uint32_t raw = Raw(*image, image->Line(y), x);
  return std::int32_t(image->bytesPerPixel == 3 ? raw : image->PaletteColour(int(raw)));
}

int VimPutPixel(int slot, std::uint32_t value, std::uint32_t y, std::uint32_t x, int mode) {
  VirtIm* image = Find(slot);
  if (!image || x >= image->width || y >= image->height) return 0;
  std::uint8_t* line = image->Line(y);
  if (mode == 1 && (value & (image->bytesPerPixel == 3 ? 0xFFFFFFu : 0xFFu)) == 0) return 1;
  if (mode == -1 && Raw(*image, line, x) != 0) return 1;
  switch (image->bytesPerPixel) {
    case 3: StoreBgr(line + 3 * x, value); break;
    case 1: line[x] = std::uint8_t(value); break;
    default: {
      std::uint8_t& byte = line[x / 2];
      int shift = x % 2 ? 0 : 4;
      byte = std::uint8_t((byte & ~(15 << shift)) | ((value & 15) << shift));
    }
  }
  return 1;
}

int VimGetLine(int slot, void* buffer, std::uint32_t y, int asIntegers) {
  const VirtIm* image = Find(slot);
  if (!image || y >= image->height || !buffer) return 0;
  const std::uint8_t* line = image->Line(y);
  if (asIntegers == 1 && image->bytesPerPixel == 3) {
    // Bytes 0-2 of each integer get blue, green, red; byte 3 is left alone.
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::uint32_t x = 0; x < image->width; ++x) std::memcpy(out + 4 * x, line + 3 * x, 3);
  } else {
    std::memcpy(buffer, line, std::size_t(image->stride));
  }
  return 1;
}

int VimPutLine(int slot, const void* buffer, std::uint32_t y, int asIntegers, int mode) {
  VirtIm* image = Find(slot);
  if (!image || y >= image->height || !buffer) return 0;
  std::uint8_t* line = image->Line(y);
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  if (image->bytesPerPixel == 3) {
    std::uint32_t step = asIntegers == 1 ? 4 : 3;
    if (mode != 1 && step == 3) {
      std::memcpy(line, in, std::size_t(image->stride));
      return 1;
    }
    for (std::uint32_t x = 0; x < image->width; ++x) {
      const std::uint8_t* p = in + step * x;
      if (mode == 1 && (p[0] | p[1] | p[2]) == 0) continue;
      std::memcpy(line + 3 * x, p, 3);
    }
  } else if (mode != 1) {
    std::memcpy(line, in, std::size_t(image->stride));
  } else if (image->bytesPerPixel == 1) {
    for (std::uint32_t x = 0; x < image->width; ++x)
      if (in[x]) line[x] = in[x];
  } else {
    for (std::uint32_t x = 0; x < image->width; ++x) {
      int shift = x % 2 ? 0 : 4;
      std::uint8_t v = (in[x / 2] >> shift) & 15;
      if (v) line[x / 2] = std::uint8_t((line[x / 2] & ~(15 << shift)) | (v << shift));
    }
  }
  return 1;
}

std::int32_t VimAverage(int slot, std::uint32_t y, std::uint32_t x, std::uint32_t w, std::uint32_t h) {
  const VirtIm* image = Find(slot);
  if (!image) return -1;
  if (x >= image->width || y >= image->height) return 0;
  std::uint32_t x1 = std::uint32_t(std::min<std::uint64_t>(std::uint64_t(x) + w, image->width));
  std::uint32_t y1 = std::uint32_t(std::min<std::uint64_t>(std::uint64_t(y) + h, image->height));
  std::uint64_t count = std::uint64_t(x1 - x) * (y1 - y);
  if (count == 0) return -1;
  std::uint64_t r = 0, g = 0, b = 0;
  for (std::uint32_t yy = y; yy < y1; ++yy) {
    const std::uint8_t* line = image->Line(yy);
    for (std::uint32_t xx = x; xx < x1; ++xx) {
      std::uint32_t raw = Raw(*image, line, xx);
      std::uint32_t c = image->bytesPerPixel == 3 ? raw : image->PaletteColour(int(raw));
      r += c >> 16 & 255;
      g += c >> 8 & 255;
      b += c & 255;
    }
  }
  return std::int32_t((r / count) << 16 | (g / count) << 8 | (b / count));
}

namespace {

// The spans of one direction of a stretch: for each walked index i, the first
// destination index, how many destination indices it covers, the first
// source index and how many source indices it covers.
struct Span {
  long destination, destinationCount, source, sourceCount;
};

std::vector<Span> Spans(std::uint32_t sourceSize, std::uint32_t destinationSize) {
  std::vector<Span> spans;
  double ratio = double(sourceSize) / double(destinationSize);
  if (ratio < 1) {
    spans.reserve(sourceSize);
    for (std::uint32_t s = 0; s < sourceSize; ++s) {
      long d0 = Near(s / ratio);
      spans.push_back({d0, Near((s + 1) / ratio) - d0, long(s), 1});
    }
  } else {
    spans.reserve(destinationSize);
    for (std::uint32_t d = 0; d < destinationSize; ++d) {
      long s0 = Near(d * ratio);
      spans.push_back({long(d), 1, s0, Near((d + 1) * ratio) - s0});
    }
  }
  return spans;
}

}  // namespace

int StrechCopy(int source, int destination, int mode) {
  VirtIm* s = Find(source);
  VirtIm* d = Find(destination);
  if (!s || !d) return 0;
  std::string caption = MessageText(source == 0   ? kMsgFinalAntialias
                                    : mode == 0 ? kMsgStretchBackground
                                                : kMsgStretchForeground);
  ProgressScope progress(caption, MessageText(kMsgStretchSubtitle, source, destination));
  std::vector<Span> rows = Spans(s->height, d->height);
  std::vector<Span> columns = Spans(s->width, d->width);
  bool shrinks = s->height > d->height || s->width > d->width;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Span& row = rows[i];
    for (const Span& column : columns) {
      // A span may start past the image's end through rounding; the pixel
      // calls ignore such coordinates.
      std::int32_t value =
          shrinks ? VimAverage(source, std::uint32_t(row.source), std::uint32_t(column.source),
                               std::uint32_t(std::max(column.sourceCount, 1L)),
                               std::uint32_t(std::max(row.sourceCount, 1L)))
                  : VimGetPixel(source, std::uint32_t(row.source), std::uint32_t(column.source));
      for (long dy = row.destination; dy < row.destination + row.destinationCount; ++dy)
        for (long dx = column.destination; dx < column.destination + column.destinationCount; ++dx)
          VimPutPixel(destination, std::uint32_t(value), std::uint32_t(dy), std::uint32_t(dx), mode);
    }
    Progress().Set(double(i) / double(rows.size()));
  }
  return 1;
}

int VimFinalAntialias(int source, int destination) {
  VirtIm* s = Find(source);
  VirtIm* d = Find(destination);
  if (!s || !d) return StrechCopy(source, destination, 0);
  int step = 0;
  if (s->height == d->height + 1 && s->width == d->width + 1) step = 1;
  else if (s->height == 2 * d->height && s->width == 2 * d->width) step = 2;
  if (s->bytesPerPixel != 3 || d->bytesPerPixel != 3 || step == 0)
    return StrechCopy(source, destination, 0);
  std::vector<std::uint32_t> upper(s->width), lower(s->width), out(d->width);
  ProgressScope progress(MessageText(kMsgFinalAntialias), "");
  for (std::uint32_t i = 0; i < d->height; ++i) {
    std::uint32_t line = i * std::uint32_t(step);
    VimGetLine(source, upper.data(), line, 1);
    VimGetLine(source, lower.data(), line + 1, 1);
    for (std::uint32_t x = 0; x < d->width; ++x) {
      std::uint32_t k = std::uint32_t(step) * x;
      std::uint32_t pixel = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t sum = (upper[k] >> shift & 255) + (upper[k + 1] >> shift & 255) +
                            (lower[k] >> shift & 255) + (lower[k + 1] >> shift & 255);
        pixel |= (sum / 4) << shift;
      }
      out[x] = pixel;
    }
    VimPutLine(destination, out.data(), i, 1, 0);
    Progress().Set(double(i) / double(d->height));
  }
  return 1;
}

Bytes VimPackedDib(int slot) {
  Bytes dib;
  const VirtIm* image = Find(slot);
  if (!image) return dib;
  auto append = [&dib](const std::uint8_t* p, std::size_t n) {
    const auto* b = reinterpret_cast<const std::byte*>(p);
    dib.insert(dib.end(), b, b + n);
  };
  dib.reserve(40 + 1024 + image->pixels.size());
  append(image->header.data(), image->header.size());
  if (image->bytesPerPixel != 3) append(image->palette.data(), image->palette.size());
  append(image->pixels.data(), std::size_t(image->height) * std::size_t(image->stride));
  return dib;
}

}  // namespace tessaran
