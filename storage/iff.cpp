#include "storage/iff.h"

namespace tessaran {

bool IsIffGroup(std::string_view tag) {
  return tag == "FORM" || tag == "LIST" || tag == "PROP" || tag == "CAT ";
}

bool IffWalker::Next(IffChunk& chunk) {
  if (truncated_ || level_.size() - position_ < 8) {
    // Fewer than a header's bytes left over: junk after the last chunk.
    if (!truncated_ && position_ < level_.size()) truncated_ = level_.size() - position_ > 1;
    return false;
  }
  ByteReader header(level_.subspan(position_, 8));
  chunk.tag = header.Tag();
  std::uint32_t size = header.U32BE();
  if (size > level_.size() - position_ - 8) {
    truncated_ = true;
    return false;
  }
  chunk.offset = position_;
  chunk.data = level_.subspan(position_ + 8, size);
  position_ += 8 + size;
  if (size % 2 && position_ < level_.size()) ++position_;
  return true;
}

bool IffGroupContents(const IffChunk& group, std::string& type, ByteSpan& contents) {
  if (!IsIffGroup(group.tag) || group.data.size() < 4) return false;
  type.assign(reinterpret_cast<const char*>(group.data.data()), 4);
  contents = group.data.subspan(4);
  return true;
}

bool IffScanner::Next(IffChunk& chunk) {
  if (truncated_ || position_ > bytes_.size() || bytes_.size() - position_ < 8) return false;
  ByteReader header(bytes_.subspan(position_, 8));
  chunk.tag = header.Tag();
  const std::uint32_t size = header.U32BE();
  const std::size_t room = bytes_.size() - position_ - 8;
  chunk.offset = position_;
  chunk.whole = size <= room;
  if (IsIffGroup(chunk.tag)) {
    chunk.data = bytes_.subspan(position_ + 8, chunk.whole ? size : room);
    position_ += 12;  // enter: header and group type
    return true;
  }
  if (!chunk.whole) {
    truncated_ = true;
    return false;
  }
  chunk.data = bytes_.subspan(position_ + 8, size);
  position_ += 8 + size + (size % 2);
  return true;
}

std::optional<IffChunk> IffFind(ByteSpan bytes, std::string_view tag, std::size_t from) {
  IffScanner scanner(bytes, from);
  IffChunk chunk;
  while (scanner.Next(chunk)) {
    if (chunk.tag != tag) continue;
    if (!chunk.whole) return std::nullopt;
    return chunk;
  }
  return std::nullopt;
}

void IffWriter::BeginChunk(std::string_view tag) {
  writer_.Tag(tag);
  open_.push_back(writer_.Size());
  writer_.U32BE(0);
}

void IffWriter::BeginGroup(std::string_view group, std::string_view type) {
  BeginChunk(group);
  writer_.Tag(type);
}

void IffWriter::End() {
  std::size_t sizeField = open_.back();
  open_.pop_back();
  std::size_t size = writer_.Size() - sizeField - 4;
  writer_.PatchU32BE(sizeField, static_cast<std::uint32_t>(size));
  if (size % 2) writer_.U8(0);
}

void IffWriter::Chunk(std::string_view tag, ByteSpan payload) {
  BeginChunk(tag);
  writer_.Append(payload);
  End();
}

}  // namespace tessaran
