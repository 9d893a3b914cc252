// Writing ILBM pictures: palette pictures from a 4-bit or 8-bit DIB, and
// 24-plane pictures from a 24-bit virtual image. Every plane row is packed
// with ByteRun1; the file replaces any older one only once it is complete.
#include <algorithm>
#include <new>
#include <vector>

#include "imaging/bitplanes.h"
#include "imaging/byterun1.h"
#include "imaging/format_io.h"
#include "imaging/ilbm.h"
#include "imaging/ilbm_format.h"
#include "platform/console.h"
#include "platform/report.h"
#include "storage/iff.h"

namespace tessaran {
namespace {

using namespace ilbm;

Bmhd HeaderFor(std::uint32_t width, std::uint32_t height, int planes, std::uint8_t yAspect) {
  Bmhd b;
  b.width = std::uint16_t(width);
  b.height = std::uint16_t(height);
  b.planes = std::uint8_t(planes);
  b.compression = kCompressByteRun1;
  b.xAspect = kXAspect;
  b.yAspect = yAspect;
  b.pageWidth = std::int16_t(width);
  b.pageHeight = std::int16_t(height);
  return b;
}

// Spreads the values of one line into its plane rows and packs each row.
void PackLine(const std::vector<std::uint32_t>& values, std::uint32_t width, int planes,
              std::vector<std::uint8_t>& rows, std::size_t rowBytes, Bytes& out) {
  ValuesToPlanes(values.data(), width, planes, rows.data(), rowBytes);
  for (int p = 0; p < planes; ++p) ByteRun1Pack(rows.data() + std::size_t(p) * rowBytes, rowBytes, out);
}

// "[name]", the subtitle of the writers' progress.
std::string Bracketed(const std::filesystem::path& name) {
  std::string text(1, '[');
  text += name.string();
  text += ']';
  return text;
}

}  // namespace

int WriteLbm(const std::filesystem::path& baseName, int frame, const VirtIm& dib) {
  std::filesystem::path name = MakeOutputName(baseName.string(), frame, ".LBM");
  if (dib.Empty() || dib.bytesPerPixel == 3) {
    Trace("WriteLbm [%s] : image non 4 ou 8 bits\n", name.string().c_str());
    ShowMessage(MessageKind::Warning, kMsgOpenError, name.string().c_str());
    return 1;
  }
  std::string shown = Bracketed(name);
  Trace("%s\n", shown.c_str());
  WriteProgress progress(MessageText(kMsgSaveLbm), shown);
  int planes = dib.BitCount();
  std::uint32_t width = dib.width, height = dib.height;
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup(kForm, kIlbm);
  iff.BeginChunk(kBmhd);
  WriteBmhd(iff.Data(), HeaderFor(width, height, planes, kYAspectLbm));
  iff.End();
  iff.BeginChunk(kCmap);
  for (int i = 0; i < (1 << planes); ++i) {
    std::uint32_t c = dib.PaletteColour(i);
    iff.Data().U8(std::uint8_t(c >> 16));
    iff.Data().U8(std::uint8_t(c >> 8));
    iff.Data().U8(std::uint8_t(c));
  }
  iff.End();
  iff.BeginChunk(kBody);
  std::size_t rowBytes = PlaneRowBytes(width);
  std::vector<std::uint8_t> rows(rowBytes * std::size_t(planes));
  std::vector<std::uint32_t> pixels(width);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* line = dib.Line(y);
    for (std::uint32_t x = 0; x < width; ++x)
      pixels[x] = planes == 8 ? line[x] : x % 2 ? line[x / 2] & 15 : line[x / 2] >> 4;
    PackLine(pixels, width, planes, rows, rowBytes, out);
    progress.Line(y, height);
  }
  iff.End();  // BODY, padded to even
  iff.End();  // FORM
  return WritePictureFile(name, out, kMsgOpenError) ? 0 : 1;
}

int WriteI24(const std::filesystem::path& baseName, int frame, int width, int height, int slot) {
  std::filesystem::path name = MakeOutputName(baseName.string(), frame, ".I24");
  const VirtIm* image = slot >= 0 && slot < kVirtImSlots ? &VimSlot(slot) : nullptr;
  if (!image || image->Empty() || image->bytesPerPixel != 3 || width <= 0 || height <= 0) {
    Trace("WriteI24 [%s] : pas d'image 24 bits\n", name.string().c_str());
    ShowMessage(MessageKind::Warning, kMsgOpenError, name.string().c_str());
    return 1;
  }
  std::uint32_t w = std::min(std::uint32_t(width), image->width);
  std::uint32_t h = std::min(std::uint32_t(height), image->height);
  std::vector<std::uint32_t> line;
  std::vector<std::uint8_t> rows;
  std::size_t rowBytes = PlaneRowBytes(w);
  Bytes out;
  try {
    line.assign(image->width, 0);
    rows.assign(rowBytes * kMaxPlanes, 0);
    out.reserve(std::size_t(w) * h * 3 / 2 + 64);
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgWriteMemory);
    return 1;
  }
  WriteProgress progress(MessageText(kMsgSaveI24), Bracketed(name));
  IffWriter iff(out);
  iff.BeginGroup(kForm, kIlbm);
  iff.BeginChunk(kBmhd);
  WriteBmhd(iff.Data(), HeaderFor(w, h, kMaxPlanes, kYAspectI24));
  iff.End();
  iff.BeginChunk(kBody);
  for (std::uint32_t y = 0; y < h; ++y) {
    VimGetLine(slot, line.data(), y, 1);
    // Planes 0-7 carry red, 8-15 green, 16-23 blue.
    for (std::uint32_t& v : line) v = (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
    PackLine(line, w, kMaxPlanes, rows, rowBytes, out);
    progress.Line(y, h);
  }
  iff.End();
  iff.End();
  return WritePictureFile(name, out, kMsgOpenError) ? 0 : 1;
}

}  // namespace tessaran
