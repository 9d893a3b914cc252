// Reading ILBM pictures: the chunk walk (groups entered), the BMHD, CMAP and
// CAMG rules, and the BODY decoded line by line into the loader's target.
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
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

// How the plane values of a pixel become a colour.
enum class PictureMode { Palette, HalfBright, Ham6, Ham8, TrueColour };

class IlbmReader {
 public:
  IlbmReader(const std::filesystem::path& path, int slot, int mode, PictureHeader& header,
             const PixelSink* sink)
      : path_(path), header_(header), target_(path, slot, mode, sink) {}

  int Read(ByteSpan file);

 private:
  bool Walk(ByteSpan level);
  bool Visit(std::string_view tag, ByteSpan data);
  void ReadCmap(ByteSpan data);
  bool DecodeBody(ByteSpan body);
  PictureMode ChooseMode() const;
  bool Refuse(const char* reason);
  void BuildLine(PictureMode mode, const std::vector<std::uint32_t>& values);

  std::filesystem::path path_;
  PictureHeader& header_;
  PictureTarget target_;
  std::optional<Bmhd> bmhd_;
  bool chunky_ = false;                 // FORM "PBM ": one byte per pixel
  std::vector<std::uint32_t> cmap_;     // 0x00RRGGBB as read
  std::optional<std::uint32_t> camg_;   // masked with kCamgMask
  bool done_ = false;                   // a BODY was decoded (or refused)
  bool failed_ = false;
  bool truncated_ = false;
  std::vector<std::uint32_t> rgb_;
  std::vector<std::uint8_t> indices_, keep_;
};

int IlbmReader::Read(ByteSpan file) {
  Walk(file);
  if (failed_) return 0;
  if (!bmhd_) return Refuse("pas de chunk BMHD");
  if (target_.HeaderOnly()) return 1;
  if (!done_) return Refuse("pas de chunk BODY");
  if (truncated_) ReportTruncated(path_);  // the lines decoded so far stay
  return target_.Finish();
}

bool IlbmReader::Refuse(const char* reason) {
  Trace("IFF [%s] : %s\n", path_.string().c_str(), reason);
  ShowMessage(MessageKind::Warning, kMsgOpenError, path_.string().c_str());
  failed_ = true;
  return false;
}

// Visits the chunks of one level in order. A chunk whose size passes the end
// of its level (a truncated file) is visited with the bytes that are there
// and ends the walk. False once the walk is over.
bool IlbmReader::Walk(ByteSpan level) {
  IffWalker walker(level);
  IffChunk chunk;
  std::size_t next = 0;
  while (walker.Next(chunk)) {
    next = chunk.offset + 8 + chunk.data.size();
    if (next % 2 && next < level.size()) ++next;
    if (!Visit(chunk.tag, chunk.data)) return false;
  }
  if (walker.Truncated() && level.size() - next >= 8) {
    truncated_ = true;
    ByteReader header(level.subspan(next, 8));
    std::string tag = header.Tag();
    Visit(tag, level.subspan(next + 8));
    return false;
  }
  return true;
}

bool IlbmReader::Visit(std::string_view tag, ByteSpan data) {
  if (done_ || failed_) return false;
  if (IsIffGroup(tag)) {
    if (data.size() < 4) return false;
    std::string_view type(reinterpret_cast<const char*>(data.data()), 4);
    if (tag == kForm && type == kPbm) chunky_ = true;
    if (tag == kForm && type == kIlbm) chunky_ = false;
    return Walk(data.subspan(4));
  }
  if (tag == kBmhd) {
    Bmhd bmhd;
    if (!ReadBmhd(data, bmhd)) return Refuse("chunk BMHD trop court");
    bmhd_ = bmhd;
    header_.width = bmhd.width;
    header_.height = bmhd.height;
    header_.planes = bmhd.planes;
  } else if (tag == kCmap) {
    ReadCmap(data);
  } else if (tag == kCamg) {
    ByteReader r(data);
    std::uint32_t value = r.U32BE();
    if (r.Ok()) camg_ = value & kCamgMask;
  } else if (tag == kBody && bmhd_) {
    if (target_.HeaderOnly()) return false;
    DecodeBody(data);
    done_ = true;
    return false;
  }
  return true;
}

void IlbmReader::ReadCmap(ByteSpan data) {
  std::size_t entries = data.size() / 3;
  if (entries > kMaxPaletteEntries) {
    Trace("Attention chunk CMAP non standard ncol= %d ???\n", int(entries));
    entries = kMaxPaletteEntries;
  }
  cmap_.resize(entries);
  ByteReader r(data);
  for (std::uint32_t& colour : cmap_) {
    std::uint32_t red = r.U8(), green = r.U8(), blue = r.U8();
    colour = red << 16 | green << 8 | blue;
  }
  header_.paletteSize = int(entries);
}

PictureMode IlbmReader::ChooseMode() const {
  int planes = bmhd_->planes;
  bool ham = camg_ && (*camg_ & kCamgHam);
  if (chunky_) return PictureMode::Palette;
  if (planes == 24) return PictureMode::TrueColour;
  if (planes == 8 && ham) return PictureMode::Ham8;
  if (planes != 6) return PictureMode::Palette;
  // Six planes: the display mode says; without one, a palette of at most 16
  // colours can only be HAM, a larger one is a 64-colour picture.
  if (camg_ && (*camg_ & kCamgHalfBright)) return PictureMode::HalfBright;
  if (ham) return PictureMode::Ham6;
  if (!camg_ && cmap_.size() <= 16) return PictureMode::Ham6;
  return PictureMode::Palette;
}

// The colour of a 4-bit-per-channel palette entry, widened back to 8 bits.
std::uint32_t Widen12(std::uint32_t r4, std::uint32_t g4, std::uint32_t b4) {
  return (r4 * 17) << 16 | (g4 * 17) << 8 | b4 * 17;
}

void IlbmReader::BuildLine(PictureMode mode, const std::vector<std::uint32_t>& values) {
  std::uint32_t width = bmhd_->width;
  switch (mode) {
    case PictureMode::Palette:
      for (std::uint32_t x = 0; x < width; ++x) indices_[x] = std::uint8_t(values[x]);
      return;
    case PictureMode::TrueColour:
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint32_t v = values[x];
        rgb_[x] = (v & 255) << 16 | (v & 0xFF00) | (v >> 16 & 255);
      }
      return;
    case PictureMode::HalfBright:
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint32_t v = values[x] & 63;
        std::uint32_t c = (v & 31) < cmap_.size() ? cmap_[v & 31] : 0;
        std::uint32_t r4 = c >> 20 & 15, g4 = c >> 12 & 15, b4 = c >> 4 & 15;
        if (v >= 32) r4 >>= 1, g4 >>= 1, b4 >>= 1;
        rgb_[x] = Widen12(r4, g4, b4);
      }
      return;
    case PictureMode::Ham6: {
      std::uint32_t r4 = 0, g4 = 0, b4 = 0;
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint32_t v = values[x] & 63, data = v & 15;
        switch (v >> 4) {
          case 0: {
            std::uint32_t c = data < cmap_.size() ? cmap_[data] : 0;
            r4 = c >> 20 & 15, g4 = c >> 12 & 15, b4 = c >> 4 & 15;
            break;
          }
          case 1: b4 = data; break;
          case 2: r4 = data; break;
          default: g4 = data; break;
        }
        rgb_[x] = Widen12(r4, g4, b4);
      }
      return;
    }
    case PictureMode::Ham8: {
      // Six data bits replace the top six bits of a channel.
      std::uint32_t r = 0, g = 0, b = 0;
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint32_t v = values[x] & 255, data = v & 63;
        switch (v >> 6) {
          case 0: {
            std::uint32_t c = data < cmap_.size() ? cmap_[data] : 0;
            r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
            break;
          }
          case 1: b = data << 2 | (b & 3); break;
          case 2: r = data << 2 | (r & 3); break;
          default: g = data << 2 | (g & 3); break;
        }
        rgb_[x] = r << 16 | g << 8 | b;
      }
      return;
    }
  }
}

bool IlbmReader::DecodeBody(ByteSpan body) {
  const Bmhd& b = *bmhd_;
  int planes = b.planes;
  if (b.width == 0 || b.height == 0) return Refuse("dimensions nulles");
  if (planes == 0 || (planes > 8 && planes != kMaxPlanes) || (chunky_ && planes > 8))
    return Refuse("nombre de plans non reconnu");
  if (b.compression != kCompressNone && b.compression != kCompressByteRun1)
    return Refuse("compression non reconnue");
  std::uint32_t rowBytes = chunky_ ? ChunkyRowBytes(b.width) : PlaneRowBytes(b.width);
  std::uint32_t rows = chunky_ ? 1 : std::uint32_t(planes) + (b.masking == kMaskHasMask ? 1 : 0);
  // The smallest BODY that can describe the picture (every row one ByteRun1
  // replicate packet per 128 bytes): a BODY shorter than that announces a
  // picture the file cannot hold.
  std::uint64_t smallest = std::uint64_t(b.height) * rows * ((rowBytes + 127) / 128) * 2;
  if (!FileHoldsPicture(path_, smallest, body.size())) {
    Trace("IFF [%s] : chunk BODY trop court pour l'image annoncee\n", path_.string().c_str());
    failed_ = true;
    return false;
  }

  PictureMode mode = ChooseMode();
  if (planes <= 4 && !chunky_ && mode == PictureMode::Palette &&
      cmap_.size() != (std::size_t(1) << planes)) {
    Trace("Attention chunk CMAP et BMHD incompatibles\nCoupure palette\n");
    cmap_.resize(std::size_t(1) << planes, 0);
  }
  bool palette = mode == PictureMode::Palette;
  if (!target_.Create(b.width, b.height, palette ? 8 : 24)) return Refuse("image non creee");
  for (std::size_t i = 0; palette && i < cmap_.size(); ++i) target_.SetPaletteColour(int(i), cmap_[i]);
  std::vector<std::uint8_t> rowData;
  std::vector<std::uint32_t> values;
  try {
    rowData.assign(std::size_t(rows) * rowBytes, 0);
    values.assign(b.width, 0);
    rgb_.assign(b.width, 0);
    indices_.assign(b.width, 0);
    keep_.assign(b.width, 0);
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgLineMemory);
    failed_ = true;
    return false;
  }
  target_.OpenProgress(kMsgReadTitle);
  bool keyed = target_.Keyed();
  std::uint32_t key = target_.Key();
  std::size_t position = 0;
  for (std::uint32_t y = 0; y < b.height; ++y) {
    bool complete = true;
    for (std::uint32_t r = 0; r < rows && complete; ++r) {
      std::uint8_t* row = rowData.data() + std::size_t(r) * rowBytes;
      if (b.compression == kCompressByteRun1) {
        complete = ByteRun1Unpack(body, position, row, rowBytes);
      } else {
        std::size_t n = std::min<std::size_t>(rowBytes, body.size() - position);
        std::memcpy(row, body.data() + position, n);
        position += n;
        complete = n == rowBytes;
      }
    }
    if (!complete) {
      truncated_ = true;  // what was decoded stays
      break;
    }
    if (chunky_) {
      for (std::uint32_t x = 0; x < b.width; ++x) values[x] = rowData[x];
    } else {
      PlanesToValues(rowData.data(), rowBytes, planes, b.width, values.data());
    }
    BuildLine(mode, values);
    if (palette) {
      if (keyed)
        for (std::uint32_t x = 0; x < b.width; ++x) keep_[x] = indices_[x] == key;
      target_.PutIndexLine(y, indices_.data(), keyed ? keep_.data() : nullptr);
    } else {
      if (keyed)
        for (std::uint32_t x = 0; x < b.width; ++x) keep_[x] = rgb_[x] == key;
      target_.PutRgbLine(y, rgb_.data(), keyed ? keep_.data() : nullptr);
    }
    target_.LineDone(y);
  }
  return true;
}

}  // namespace

int ReadIlbm(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
             const PixelSink* sink) {
  Bytes file;
  if (!ReadWholeFile(path, file)) {
    ShowMessage(MessageKind::Warning, kMsgOpenError, path.string().c_str());
    return 0;
  }
  return ReadIlbmBytes(file, path, slot, mode, header, sink);
}

int ReadIlbmBytes(ByteSpan file, const std::filesystem::path& path, int slot, int mode,
                  PictureHeader* header, const PixelSink* sink) {
  PictureHeader local;
  IlbmReader reader(path, slot, mode, header ? *header : local, sink);
  return reader.Read(file);
}

}  // namespace tessaran
