// The antialias corner ring of an interrupted render, as the ring file
// (".ALS") keeps it for a later resume: the ring size (`CyclSize`), the
// write position, then every ring entry, all 32-bit little-endian integers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/bytes.h"

namespace tessaran {

struct CornerRing {
  std::vector<std::uint32_t> entries;  // `CyclSize` packed corner colours
  int writePosition = 0;               // where the next corner goes
};

// The ring size of an image W pixels wide: W + 3 entries.
constexpr int RingSize(int width) { return width + 3; }

enum class RingStatus {
  Ok,
  Missing,    // no file, or it cannot be read
  OtherSize,  // made for another image width
  Damaged,    // short, or a write position outside the ring
};

Bytes SerializeRing(const CornerRing& ring);

// Reads the ring of `expectedSize` entries from the file's bytes. The file's
// own size goes to *fileSize whenever it has one. Nothing but Ok fills `ring`.
RingStatus ParseRing(ByteSpan bytes, int expectedSize, CornerRing& ring, int* fileSize = nullptr);
RingStatus ReadRingFile(const std::filesystem::path& file, int expectedSize, CornerRing& ring,
                        int* fileSize = nullptr);

// Replaces the file only once the whole ring is written.
bool WriteRingFile(const std::filesystem::path& file, const CornerRing& ring);

}  // namespace tessaran
