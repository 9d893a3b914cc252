#include "imaging/picture.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {
namespace {

constexpr std::array<std::string_view, kFileKinds> kExtensions = {
    ".LBM", ".I24", ".TGA", ".RED", ".GRN", ".BLU", ".RVB", ".PCX", ".BMP", ".ANM",
    ".ANI", ".FLI", ".FLC", ".TCH", ".SHW", ".RPJ", ".MAQ", ".DXF", ".SEE", ".AVI"};

std::filesystem::path& OutputDirectory() {
  static std::filesystem::path directory;
  return directory;
}

bool& FullOutputNames() {
  static bool full = false;
  return full;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string_view FileKindExtension(int index) {
  return index >= 0 && index < kFileKinds ? kExtensions[std::size_t(index)] : std::string_view();
}

std::optional<FileKind> FileKindOf(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (int i = 0; i < kFileKinds; ++i)
    if (SameText(extension, kExtensions[std::size_t(i)])) return FileKind(i);
  return std::nullopt;
}

std::filesystem::path MakeOutputName(std::string_view base, int frame, std::string_view extension) {
  // Names written in the system's own form ("C:\OUT\A.MAQ") use backslashes.
  std::string text(base);
  std::replace(text.begin(), text.end(), '\\', '/');
  std::filesystem::path name(text);
  if (frame == -2) {
    name.replace_extension(std::string(extension));
  } else if (frame != -1) {
    std::string stem = name.stem().string();
    std::string number = std::to_string(frame);
    if (number.size() < 4 && frame >= 0) number.insert(0, 4 - number.size(), '0');
    std::string suffix = number + std::string(extension);
    // Keep an 8.3 file part: a name of 13 characters or more is cut to 12.
    if (!FullOutputNames() && stem.size() + suffix.size() >= 13)
      stem.resize(suffix.size() < 12 ? 12 - suffix.size() : 0);
    name.replace_filename(stem + suffix);
  }
  if (!OutputDirectory().empty()) name = OutputDirectory() / name.filename();
  return name;
}

void SetOutputDirectory(const std::filesystem::path& directory) { OutputDirectory() = directory; }

void SetFullOutputNames(bool full) { FullOutputNames() = full; }

std::string ShortFileName(const std::filesystem::path& path) {
  std::string name = path.filename().string();
  if (name.size() > 13) name.resize(13);
  return name;
}

WriteProgress::WriteProgress(std::string_view caption, std::string_view subtitle) {
  Progress().Open(caption, subtitle);
}

WriteProgress::~WriteProgress() { Progress().Close(); }

void WriteProgress::Line(std::uint32_t y, std::uint32_t height) {
  if (y % 5 == 0 && height > 0) Progress().Set(double(y) / double(height));
}

PictureTarget::PictureTarget(const std::filesystem::path& path, int slot, int mode,
                             const PixelSink* sink)
    : path_(path), slot_(slot), mode_(mode), sink_(sink) {}

PictureTarget::~PictureTarget() {
  if (staged_) VimFree(kStagingSlot);
  if (progressOpen_) Progress().Close();
}

bool PictureTarget::Create(std::uint32_t width, std::uint32_t height, int depth) {
  if (width == 0 || height == 0 || width > 65535 || height > 65535) return false;
  width_ = width;
  height_ = height;
  rgbLine_.assign(width, 0);
  if (slot_ < 0) {
    fillSlot_ = -1;
    return true;
  }
  if (slot_ >= kVirtImSlots) return false;
  if (slot_ == 0) {
    const VirtIm& main = VimSlot(0);
    // An empty main image has no size to keep: the picture gives it one.
    if (main.Empty()) {
      if (VimCreate(0, int(width), int(height), depth) != 1) return false;
      fillSlot_ = 0;
      return true;
    }
    bool sameSize = main.width == width && main.height == height;
    // A true-colour picture cannot go straight into an 8-bit main image.
    bool fits = main.bytesPerPixel == 3 || depth <= 8;
    if (sameSize && fits) {
      fillSlot_ = 0;
      return true;
    }
    if (VimCreate(kStagingSlot, int(width), int(height), depth) != 1) return false;
    staged_ = true;
    fillSlot_ = kStagingSlot;
    return true;
  }
  if (VimCreate(slot_, int(width), int(height), depth) != 1) return false;
  fillSlot_ = slot_;
  return true;
}

VirtIm* PictureTarget::Image() {
  if (fillSlot_ < 0) return nullptr;
  VirtIm& image = VimSlot(fillSlot_);
  return image.Empty() ? nullptr : &image;
}

void PictureTarget::SetPaletteColour(int index, std::uint32_t rgb) {
  if (index < 0 || index > 255) return;
  palette_[std::size_t(index)] = rgb & 0xFFFFFF;
  if (VirtIm* image = Image()) image->SetPaletteColour(index, rgb);
}

void PictureTarget::OpenProgress(int titleMessage) {
  if (fillSlot_ < 0 || progressOpen_) return;
  int subtitle = slot_ == 0 || slot_ == kStagingSlot
                     ? (Keyed() ? kMsgOverlaySubtitle : kMsgBackgroundSubtitle)
                     : kMsgMappingSubtitle;
  std::string name = ShortFileName(path_);
  Progress().Open(MessageText(titleMessage, fillSlot_), MessageText(subtitle, name.c_str()));
  progressOpen_ = true;
}

void PictureTarget::LineDone(std::uint32_t y) {
  if (progressOpen_ && y % 5 == 0) Progress().Set(double(y) / double(height_));
}

void PictureTarget::StoreRgb(std::uint32_t y, const std::uint32_t* rgb, const std::uint8_t* keep) {
  if (y >= height_) return;
  if (fillSlot_ < 0) {
    if (!sink_ || !*sink_) return;
    for (std::uint32_t x = 0; x < width_; ++x)
      if (!keep || !keep[x]) (*sink_)(x, y, rgb[x] & 0xFFFFFF);
    return;
  }
  VirtIm* image = Image();
  if (!image || y >= image->height) return;
  std::uint8_t* line = image->Line(y);
  std::uint32_t n = std::min(width_, image->width);
  for (std::uint32_t x = 0; x < n; ++x) {
    if (keep && keep[x]) continue;
    std::uint8_t* p = line + 3 * x;
    p[0] = std::uint8_t(rgb[x]);
    p[1] = std::uint8_t(rgb[x] >> 8);
    p[2] = std::uint8_t(rgb[x] >> 16);
  }
}

void PictureTarget::PutIndexLine(std::uint32_t y, const std::uint8_t* indices,
                                 const std::uint8_t* keep) {
  VirtIm* image = Image();
  if (image && image->bytesPerPixel != 3) {
    if (y >= height_ || y >= image->height) return;
    std::uint8_t* line = image->Line(y);
    std::uint32_t n = std::min(width_, image->width);
    for (std::uint32_t x = 0; x < n; ++x) {
      if (keep && keep[x]) continue;
      if (image->bytesPerPixel == 1) {
        line[x] = indices[x];
      } else {
        int shift = x % 2 ? 0 : 4;
        line[x / 2] = std::uint8_t((line[x / 2] & ~(15 << shift)) | ((indices[x] & 15) << shift));
      }
    }
    return;
  }
  // True-colour image or the sink: through the palette.
  for (std::uint32_t x = 0; x < width_; ++x) rgbLine_[x] = palette_[indices[x]];
  StoreRgb(y, rgbLine_.data(), keep);
}

void PictureTarget::PutRgbLine(std::uint32_t y, const std::uint32_t* rgb, const std::uint8_t* keep) {
  VirtIm* image = Image();
  if (image && image->bytesPerPixel != 3) {
    // Only a staged or created image can differ in depth from the picture,
    // and they are created at the picture's depth: keep the low byte, as a
    // pixel written into an 8-bit image does.
    for (std::uint32_t x = 0; x < width_; ++x)
      if (!keep || !keep[x]) VimPutPixel(fillSlot_, rgb[x], y, x, 0);
    return;
  }
  StoreRgb(y, rgb, keep);
}

void PictureTarget::PutBgrLine(std::uint32_t y, const std::uint8_t* bgr, const std::uint8_t* keep) {
  for (std::uint32_t x = 0; x < width_; ++x)
    rgbLine_[x] = std::uint32_t(bgr[3 * x + 2]) << 16 | std::uint32_t(bgr[3 * x + 1]) << 8 |
                  bgr[3 * x];
  PutRgbLine(y, rgbLine_.data(), keep);
}

int PictureTarget::Finish() {
  if (progressOpen_) {
    Progress().Close();
    progressOpen_ = false;
  }
  if (!staged_) return 1;
  staged_ = false;
  int result = StrechCopy(kStagingSlot, 0, mode_ == kOpaqueLoad ? 0 : 1);
  VimFree(kStagingSlot);
  if (result != 1) {
    Trace("Erreur StrechCopy : virtim non initialise \n");
    ShowMessage(MessageKind::Warning, kMsgStretchError);
    return 0;
  }
  return 1;
}

}  // namespace tessaran
