// The frames of an ".ANM", ".AVI" or IFF ANIM file, one after the other, in
// the player's picture slot: what playing, cutting and rewriting an
// animation read, in the window and in batch mode alike. Past the last
// frame the play goes round to the first again.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "imaging/anm.h"
#include "imaging/avi.h"

namespace tessaran::player {

// Whether the file holds an IFF ANIM, whatever its name.
bool IsIffAnim(const std::filesystem::path& file);

class AnimFrameSource {
 public:
  // False after saying why on `err`.
  bool Open(const std::filesystem::path& file, std::ostream& err);

  // Says that the file ends before the frames its header counts; false
  // when it does not.
  bool ReportCutShort(std::ostream& err) const;

  // The next frame into the player's picture slot.
  bool Next();

  std::string kind;  // "ANM", "AVI" or "ANIM"
  int width = 0, height = 0, bits = 0;
  int count = 0;      // the frames the file holds
  int announced = 0;  // the frames its header counts

 private:
  bool Refuse(std::ostream& err, const char* what);

  std::filesystem::path file_;
  AnmReader anm_;
  AviReader avi_;
  std::vector<std::uint8_t> palette_ = std::vector<std::uint8_t>(1024, 0);
  int next_ = 0;
};

}  // namespace tessaran::player
