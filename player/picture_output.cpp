#include "player/picture_output.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ostream>

#include "imaging/bmp.h"
#include "imaging/ilbm.h"
#include "imaging/palette.h"
#include "imaging/pcx.h"
#include "imaging/picture.h"
#include "imaging/ppm.h"
#include "imaging/rawrgb.h"
#include "imaging/rawrgb_format.h"
#include "imaging/tga.h"
#include "player/batch.h"
#include "storage/virtim.h"

namespace tessaran::player {
namespace {

// An 8-bit copy of true-colour image `slot` in kIndexedSlot, with a palette
// of its own.
bool Reduced(int slot) {
  const VirtIm& source = VimSlot(slot);
  ColourReduction pal;
  return VimCreate(kIndexedSlot, int(source.width), int(source.height), 8) == 1 &&
         ImageTo8Bit(pal, slot, VimSlot(kIndexedSlot), false) == 1;
}

}  // namespace

WorkSlots::~WorkSlots() {
  for (int slot : {kPictureSlot, kTrueColourSlot, kIndexedSlot}) VimFree(slot);
}

std::string Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsWritableExtension(const std::string& extension) {
  static const std::array<const char*, 7> kWritable = {".LBM", ".I24", ".TGA", ".PCX",
                                                       ".BMP", ".RGB", ".PPM"};
  return std::find(kWritable.begin(), kWritable.end(), extension) != kWritable.end();
}

bool LoadPictureSlot(const std::filesystem::path& in, std::ostream& err) {
  if (!std::filesystem::is_regular_file(in)) {
    err << "tovix: no such picture file: " << in.string() << "\n";
    return false;
  }
  PictureHeader header;
  if (LoadPicture(in, kPictureSlot, kOpaqueLoad, &header, 0) != 1 || VimSlot(kPictureSlot).Empty()) {
    err << "tovix: cannot read " << in.string() << " as a picture\n";
    return false;
  }
  return true;
}

bool TrueColourCopy(int source, int width, int height) {
  return VimCreate(kTrueColourSlot, width, height, 24) == 1 &&
         StrechCopy(source, kTrueColourSlot, 0) == 1;
}

bool WritePictureAs(int slot, const std::string& base, int frame, const std::string& extension,
                    int depth, bool runLength) {
  const VirtIm& image = VimSlot(slot);
  const int w = int(image.width), h = int(image.height);
  const bool palette = image.bytesPerPixel != 3;
  const bool eightBitWriter = extension == ".PCX" || extension == ".BMP";
  if (extension == ".LBM" || (eightBitWriter && (depth == 8 || (depth == 0 && palette)))) {
    int indexed = slot;
    if (!palette) {
      if (!Reduced(slot)) return false;
      indexed = kIndexedSlot;
    }
    const VirtIm& dib = VimSlot(indexed);
    if (extension == ".LBM") return WriteLbm(base, frame, dib) == 0;
    if (extension == ".PCX") return WritePcx(base, frame, dib) == 1;
    return WriteBmp(base, frame, dib) == 0;
  }
  int source = slot;
  if (palette) {
    if (!TrueColourCopy(slot, w, h)) return false;
    source = kTrueColourSlot;
  }
  if (extension == ".I24") return WriteI24(base, frame, w, h, source) == 0;
  if (extension == ".TGA") return WriteTga(base, frame, w, h, source, runLength) == 0;
  if (extension == ".PCX") return WritePcx(base, frame, source) == 1;
  if (extension == ".BMP") return WriteBmp(base, frame, source, h) == 0;
  if (extension == ".RGB") return WriteRawRgb(base, frame == -1 ? -2 : frame, w, h, source) == 1;
  if (extension == ".PPM") return WritePpm(base, frame, source) == 0;
  return false;
}


std::vector<std::filesystem::path> PictureFiles(const std::string& base, int frame, const std::string& extension) {
  if (extension != ".RGB") return {MakeOutputName(base, frame, extension)};
  std::vector<std::filesystem::path> files;
  for (const char* part : {rawrgb::kRedExtension, rawrgb::kGreenExtension, rawrgb::kBlueExtension,
                           rawrgb::kTextExtension}) {
    files.push_back(MakeOutputName(base, frame == -1 ? -2 : frame, part));
  }
  return files;
}

bool MayReplace(const std::vector<std::filesystem::path>& files, bool force, std::ostream& err) {
  if (force) return true;
  std::error_code error;
  for (const auto& file : files) {
    if (!std::filesystem::exists(file, error)) continue;
    err << "tovix: " << file.string() << " already exists and would be overwritten; nothing was written"
        << " (give --force to replace the existing files)\n";
    return false;
  }
  return true;
}

}  // namespace tessaran::player
