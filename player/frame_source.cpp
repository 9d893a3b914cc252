#include "player/frame_source.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "imaging/anim.h"
#include "imaging/picture.h"
#include "player/batch.h"
#include "player/picture_output.h"
#include "storage/virtim.h"

namespace tessaran::player {
namespace {

// The frame goes into the player's picture slot.
constexpr int kFrameSlot = kPictureSlot;

}  // namespace

bool IsIffAnim(const std::filesystem::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  std::uint8_t head[12] = {};
  std::size_t got = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return IsAnimFile(ByteSpan(reinterpret_cast<const std::byte*>(head), got));
}

bool AnimFrameSource::Open(const std::filesystem::path& file, std::ostream& err) {
  file_ = file;
  std::string extension = Upper(file.extension().string());
  if (extension == ".ANM") {
    kind = "ANM";
    if (!AnmOpenRead(anm_, file, palette_.data(), width, height, bits)) return Refuse(err, "cannot read");
    announced = int(anm_.header.frames) - (anm_.header.hasLastDelta ? 1 : 0);
    if (announced <= 0) announced = int(anm_.header.records);
    // A file cut short plays only the frames whose pages it holds.
    count = std::min<long long>(announced, AnmRecordsHeld(anm_));
  } else if (extension == ".AVI") {
    kind = "AVI";
    if (!AviOpen(avi_, file, palette_.data(), width, height, bits)) return Refuse(err, "cannot read");
    count = int(avi_.index.size());
  } else if (IsIffAnim(file)) {
    kind = "ANIM";
    Bytes bytes;
    AnimMap map;
    if (!ReadWholeFile(file, bytes) || !AnimLoad(map, bytes)) return Refuse(err, "cannot read");
    count = map.frames;
    width = map.bmhd.width;
    height = map.bmhd.height;
    FreeAnimMaps();
    if (!LoadAnimFrame(file, kFrameSlot, kOpaqueLoad, nullptr, 0)) return Refuse(err, "cannot read");
    bits = VimSlot(kFrameSlot).BitCount();
  } else {
    return Refuse(err, "is not an animation (.ANM, .AVI or IFF ANIM) in");
  }
  if (bits != 8 && bits != 24 && bits != 4) return Refuse(err, "has frames of a depth the player cannot show:");
  if (announced < count) announced = count;
  return true;
}

bool AnimFrameSource::ReportCutShort(std::ostream& err) const {
  if (count >= announced) return false;
  err << "tovix: " << file_.string() << " is cut short: it holds " << count << " of its " << announced
      << " frames\n";
  return true;
}

bool AnimFrameSource::Next() {
  int frame = next_++;
  if (kind == "ANIM") return LoadAnimFrame(file_, kFrameSlot, kOpaqueLoad, nullptr, frame) == 1;
  VirtIm& image = VimSlot(kFrameSlot);
  if (image.Empty() || int(image.width) != width || int(image.height) != height || image.BitCount() != bits) {
    if (!VimCreate(kFrameSlot, width, height, bits == 4 ? -4 : bits)) return false;
  }
  std::copy(palette_.begin(), palette_.end(), image.palette.begin());
  if (kind == "ANM") return lpfTab(anm_, image.pixels.data()) >= 0;
  return AviNextFrame(avi_, image.pixels.data()) > 0;
}

bool AnimFrameSource::Refuse(std::ostream& err, const char* what) {
  err << "tovix: " << file_.string() << ": " << what << " " << file_.string() << "\n";
  return false;
}

}  // namespace tessaran::player
