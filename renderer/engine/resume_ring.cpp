#include "renderer/engine/resume_ring.h"


namespace tessaran {

Bytes SerializeRing(const CornerRing& ring) {
  Bytes bytes;
  bytes.reserve(8 + 4 * ring.entries.size());
  ByteWriter out(bytes);
  out.U32LE(static_cast<std::uint32_t>(ring.entries.size()));
  out.U32LE(static_cast<std::uint32_t>(ring.writePosition));
  for (std::uint32_t entry : ring.entries) out.U32LE(entry);
  return bytes;
}

RingStatus ParseRing(ByteSpan bytes, int expectedSize, CornerRing& ring, int* fileSize) {
  ByteReader in(bytes);
  const std::int32_t size = in.I32LE();
  if (!in.Ok()) return RingStatus::Damaged;
  if (fileSize) *fileSize = size;
  if (size != expectedSize || expectedSize < 1) return RingStatus::OtherSize;
  const std::int32_t position = in.I32LE();
  // The size is checked against what the file holds before anything is
  // allocated from it.
  if (!in.Ok() || position < 0 || position >= size || in.Remaining() / 4 < static_cast<std::size_t>(size)) {
    return RingStatus::Damaged;
  }
  CornerRing read;
  read.writePosition = position;
  read.entries.resize(static_cast<std::size_t>(size));
  for (auto& entry : read.entries) entry = in.U32LE();
  ring = std::move(read);
  return RingStatus::Ok;
}

RingStatus ReadRingFile(const std::filesystem::path& file, int expectedSize, CornerRing& ring, int* fileSize) {
  Bytes bytes;
  if (!ReadWholeFile(file, bytes)) return RingStatus::Missing;
  return ParseRing(bytes, expectedSize, ring, fileSize);
}

bool WriteRingFile(const std::filesystem::path& file, const CornerRing& ring) {
  return WriteFileAtomically(file, SerializeRing(ring));
}

}  // namespace tessaran
