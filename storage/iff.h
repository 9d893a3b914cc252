// The IFF chunk walk and write shared by ILBM pictures, IFF ANIM maps, the
// scene file and the render project: four-character tag, big-endian 32-bit
// size, payload padded to an even length; "FORM", "LIST", "PROP" and "CAT "
// groups carry a four-character type before their chunks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"

namespace tessaran {

struct IffChunk {
  std::string tag;          // four characters
  std::size_t offset = 0;   // of the chunk header within the walked bytes
  ByteSpan data;            // the payload, as long as its size says
  bool whole = true;        // false for a group entered by IffScanner whose
                            // size passes the end: data then stops there
};

bool IsIffGroup(std::string_view tag);

// Walks the chunks of one level, in order. A chunk whose size passes the end
// stops the walk and marks it truncated; a missing pad byte at the very end
// is tolerated.
class IffWalker {
 public:
  explicit IffWalker(ByteSpan level) : level_(level) {}
  bool Next(IffChunk& chunk);
  bool Truncated() const { return truncated_; }

 private:
  ByteSpan level_;
  std::size_t position_ = 0;
  bool truncated_ = false;
};

// The type and contents of a group chunk ("FORM" + "ILBM" + chunks).
// False when the chunk is no group or too short to hold its type.
bool IffGroupContents(const IffChunk& group, std::string& type, ByteSpan& contents);

// Walks every chunk in file order from byte `from`, entering each group
// rather than skipping it: the group itself is yielded (its data begins with
// its type), then the chunks inside it. Group sizes are not used, so a
// reader sees the chunks whatever the groups claim. A plain chunk whose size
// passes the end stops the walk and marks it truncated.
class IffScanner {
 public:
  explicit IffScanner(ByteSpan bytes, std::size_t from = 0) : bytes_(bytes), position_(from) {}
  bool Next(IffChunk& chunk);
  bool Truncated() const { return truncated_; }
  // Where the next chunk header would start.
  std::size_t Position() const { return position_; }

 private:
  ByteSpan bytes_;
  std::size_t position_;
  bool truncated_ = false;
};

// Finds the first chunk tagged `tag` at or after byte `from`, entering every
// group on the way rather than skipping it. Offsets are within `bytes`.
std::optional<IffChunk> IffFind(ByteSpan bytes, std::string_view tag, std::size_t from = 0);

// Writes chunks and groups, nesting allowed; sizes are patched at End().
class IffWriter {
 public:
  explicit IffWriter(Bytes& out) : writer_(out) {}
  void BeginChunk(std::string_view tag);
  void BeginGroup(std::string_view group, std::string_view type);
  // Closes the innermost open chunk or group: patches its size and pads it.
  void End();
  // Writes a whole chunk at once.
  void Chunk(std::string_view tag, ByteSpan payload);
  ByteWriter& Data() { return writer_; }

 private:
  ByteWriter writer_;
  std::vector<std::size_t> open_;  // offsets of the open chunks' size fields
};

}  // namespace tessaran
