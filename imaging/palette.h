// Colour reduction: a true-colour image becomes 8-bit indices into an
// adaptive palette of at most 256 entries. The colours of the image are
// counted (6 bits a channel) in a table hashed by 4-bit channel keys, close
// colours are merged until the target count remains, and every pixel is
// mapped to its nearest palette entry, or dithered between the nearest
// darker and lighter ones.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "storage/virtab.h"
#include "storage/virtim.h"

namespace tessaran {

enum PaletteMessage {
  kMsgReductionMemory = 112,   // "Erreur de Mémoire réduction couleur."
  kMsgCountingColours = 113,   // "* Comptage couleurs *"
  kMsgPixelCount = 114,        // " - %d pixels"
  kMsgConversion = 115,        // " * 24 bits -> 8 bits conversion *"
  kMsgBucketMemory = 148,      // "Mémoire insuffisante pour allouer :%d Pointeur de classes(%dKo)"
  kMsgReducing = 151,          // "* Reduction palette couleurs *"
  kMsgReducingSubtitle = 152,  // " %u couleurs -> %u"
};

constexpr int kPalBuckets = 4096;
constexpr int kPalTarget = 255;  // palette index 0 is always black

// One colour of the table: 6-bit channels, state, count, and the distance
// in entries to the next entry of the same bucket (0 ends the chain).
struct ColourEntry {
  std::uint8_t red = 0, green = 0, blue = 0;
  std::uint8_t state = 0;  // 1 live, 0 merged away; 2 and 255 mark one partner search
  std::uint32_t count = 0;
  std::uint32_t link = 0;
};

struct PaletteColour {
  std::uint8_t red = 0, green = 0, blue = 0;  // 6 bits a channel
  bool continued = false;  // the next palette entry belongs to the same bucket
};

// The whole state of one reduction, and of the palette it built, which the
// later frames of an animation map with.
struct ColourReduction {
  // The colour table: in memory, or in a virtual table when memory is short.
  std::vector<ColourEntry> entries;
  VirTab spill;
  std::uint32_t used = 0;      // entries in the table
  std::uint32_t capacity = 0;
  std::uint32_t distinct = 0;  // live colours
  int target = kPalTarget;
  std::vector<std::uint32_t> heads;  // first entry of each bucket
  std::uint32_t lastColour = 0xFFFFFFFF;
  std::uint32_t lastEntry = 0;
  std::vector<std::uint32_t> marked;  // entries marked by the present merge attempt
  // The palette built.
  std::vector<PaletteColour> palette;
  std::array<std::uint16_t, kPalBuckets> paletteHeads{};
  std::uint8_t* destination = nullptr;  // 256 × (blue, green, red, 0)
  // Caches of the last lookups, and the dithering pair.
  std::uint32_t nearestColour = 0xFFFFFFFF;
  int nearestIndex = 0;
  std::uint32_t ditherColour = 0xFFFFFFFF;
  int ditherIndex = 0;
  bool ditherPair = false;
  int darker = 0, lighter = 0;
  int darkerDistance = 0, lighterDistance = 0;
  std::mt19937 random{0x7E55A2A1u};
  bool built = false;
  std::vector<std::uint8_t> paletteBytes;  // the palette built, 256 × (blue, green, red, 0)
  bool traceMerges = false;  // "ProxCol" lines on the diagnostic console
};

// Allocates the colour table for an image of `pixels` pixels (it spills to
// a virtual table when memory is short) and the bucket heads. 1, or 0 after
// message 148.
int PalBegin(ColourReduction& pal, std::uint8_t* paletteDestination, int target,
             std::uint64_t pixels = 0);
// Counts one colour (0x00RRGGBB): the number of distinct colours so far, −1
// when the table is full.
int PalAddColour(ColourReduction& pal, std::uint32_t rgb);
// Merges colours until at most the target remain.
void PalReduce(ColourReduction& pal);
// One merge attempt from entry `a` with threshold `t`; true when two
// colours were merged.
bool PalMerge(ColourReduction& pal, std::uint32_t a, int t);
// Writes the palette (to the destination given to PalBegin) and the lookup
// structure.
void PalBuild(ColourReduction& pal);
int PalNearest(ColourReduction& pal, std::uint32_t rgb);
int PalDither(ColourReduction& pal, std::uint32_t rgb);
// Takes up a palette PalBuild made (256 × blue, green, red, 0, as written
// into a picture or an animation), so that later frames map to it exactly
// as they would have in the reduction that built it.
void PalRestore(ColourReduction& pal, const std::uint8_t* paletteBytes);
// Releases the colour table; the palette built stays for later frames.
void PalEnd(ColourReduction& pal);

// Distance of two 6-bit colours: dR + dG + dB + max(dR, dG, dB).
int PalDistance(int r1, int g1, int b1, int r2, int g2, int b2);

// Converts 24-bit virtual image `slot` into the 8-bit image `dib` of the
// same size: its palette and its indices. With `reusePalette` the palette
// built for an earlier frame is used as it stands. `dither`: the DITHER256
// setting. 1 on success, 0 after a message.
int ImageTo8Bit(ColourReduction& pal, int slot, VirtIm& dib, bool reusePalette, bool dither = false);

// Replaces the available-memory figure the colour table is sized by (null:
// the platform's own), so tests can make the table spill.
void SetPalAvailableMemoryForTesting(std::uint64_t (*availableMemory)());

}  // namespace tessaran
