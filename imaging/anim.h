// IFF ANIM animated maps: an animation used as a texture map, asked for one
// frame at a time. The first ILBM picture of the file is frame 0; frame n is
// frame 0 with the first n deltas (DLTA, byte vertical delta) applied, n
// taken modulo the number of deltas. A map remembers the frame it holds and
// where the next delta lies, so that playing forward costs one delta a frame.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "imaging/ilbm_format.h"
#include "imaging/picture.h"
#include "platform/bytes.h"

namespace tessaran {

struct AnimMap {
  std::filesystem::path file;
  ilbm::Bmhd bmhd;                   // of the first picture
  std::vector<std::uint32_t> cmap;   // 0x00RRGGBB
  std::optional<std::uint32_t> camg;
  std::size_t rowBytes = 0;          // of one plane row
  // Two sets of bit planes (planes × height rows each) for double-buffered
  // files; frame k lies in set k mod 2.
  std::array<std::vector<std::uint8_t>, 2> sets;
  int frames = 0;          // deltas in the file: the number of frames
  int current = 0;         // the frame the planes hold
  int currentSet = 0;
  std::size_t next = 0;    // where the next delta's FORM lies within the ANIM
  bool loaded = false;

  // Row y of plane p of the frame held.
  const std::uint8_t* PlaneRow(int plane, std::size_t y) const {
    return sets[currentSet].data() + (std::size_t(plane) * bmhd.height + y) * rowBytes;
  }
};

// Whether the bytes are an IFF ANIM file.
bool IsAnimFile(ByteSpan file);

// Reads the first picture into both plane sets and counts the deltas.
// 1 on success; 0 (reported on the diagnostic console) otherwise.
int AnimLoad(AnimMap& map, ByteSpan file);

// Brings the map's planes to frame `frame` (modulo the number of frames).
// 1 on success; 0 when the map is not loaded.
int AnimSelectFrame(AnimMap& map, ByteSpan file, int frame);

// The frame the map holds as an uncompressed ILBM picture (BMHD, CMAP,
// CAMG, BODY), so that the ILBM reader turns its planes into pixels as it
// does for any BODY.
Bytes AnimFrameAsIlbm(const AnimMap& map);

// The process-wide list of animated maps, one per file for the life of the
// program ("CurAnimMap"); the record of `file`, created when new.
AnimMap& CurAnimMap(const std::filesystem::path& file);
// Forgets every map (a new scene, or the tests).
void FreeAnimMaps();

// LoadPicture's animation path: frame `frame` of the IFF ANIM file into
// `slot` with the loader's slot rules and modes. 1 on success, 0 on failure.
int LoadAnimFrame(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                  int frame, const PixelSink* sink = nullptr);

}  // namespace tessaran
