#include "imaging/riff.h"

#include <sys/types.h>

namespace tessaran {

bool IsRiffList(std::string_view id) { return id == "RIFF" || id == "LIST"; }

bool RiffFile::Open(const std::filesystem::path& file) {
  file_.reset(std::fopen(file.c_str(), "rb"));
  writing_ = false;
  truncated_ = false;
  if (!file_ || fseeko(file_.get(), 0, SEEK_END) != 0) return false;
  fileSize_ = static_cast<std::uint64_t>(ftello(file_.get()));
  return Seek(0);
}

bool RiffFile::Create(const std::filesystem::path& file) {
  file_.reset(std::fopen(file.c_str(), "w+b"));
  writing_ = true;
  truncated_ = false;
  fileSize_ = 0;
  return file_ != nullptr;
}

bool RiffFile::Close() {
  if (!file_) return false;
  bool ok = !writing_ || std::fflush(file_.get()) == 0;
  ok = std::fclose(file_.release()) == 0 && ok;
  return ok;
}

bool RiffFile::Seek(std::uint64_t offset) {
  return file_ && fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t RiffFile::Tell() const {
  return file_ ? static_cast<std::uint64_t>(ftello(file_.get())) : 0;
}

std::size_t RiffFile::Read(void* into, std::size_t bytes) {
  return file_ ? std::fread(into, 1, bytes, file_.get()) : 0;
}

bool RiffFile::Write(const void* from, std::size_t bytes) {
  return file_ && std::fwrite(from, 1, bytes, file_.get()) == bytes;
}

bool RiffFile::Descend(RiffChunk& chunk, const RiffChunk* parent, std::string_view id,
                       std::string_view type) {
  return Find(chunk, parent, id, type, false);
}

bool RiffFile::DescendCut(RiffChunk& chunk, const RiffChunk* parent, std::string_view id,
                          std::string_view type) {
  return Find(chunk, parent, id, type, true);
}

bool RiffFile::Find(RiffChunk& chunk, const RiffChunk* parent, std::string_view id,
                    std::string_view type, bool cut) {
  std::uint64_t end = parent ? std::min(parent->End(), fileSize_) : fileSize_;
  for (;;) {
    std::uint64_t at = Tell();
    if (at > end || end - at < 8) return false;
    std::uint8_t head[8];
    if (Read(head, 8) != 8) return false;
    ByteReader r(std::as_bytes(std::span(head)));
    chunk.id = r.Tag();
    chunk.size = r.U32LE();
    chunk.dataOffset = at + 8;
    chunk.type.clear();
    if (chunk.size > end - chunk.dataOffset) {
      truncated_ = true;
      if (!cut || chunk.id != id) return false;
      chunk.size = static_cast<std::uint32_t>(end - chunk.dataOffset);
    }
    bool list = IsRiffList(chunk.id) && chunk.size >= 4;
    if (list) {
      char form[4];
      if (Read(form, 4) != 4) return false;
      chunk.type.assign(form, 4);
    }
    if ((id.empty() || chunk.id == id) && (type.empty() || chunk.type == type)) return true;
    if (!Seek(chunk.End() + (chunk.size & 1))) return false;
  }
}

bool RiffFile::Ascend(RiffChunk& chunk) {
  if (!writing_) return Seek(chunk.End() + (chunk.size & 1));
  std::uint64_t end = Tell();
  std::uint64_t size = end - chunk.dataOffset;
  if (size > 0xFFFFFFFFu) return false;
  chunk.size = static_cast<std::uint32_t>(size);
  Bytes field;
  ByteWriter(field).U32LE(chunk.size);
  if (!Seek(chunk.dataOffset - 4) || !Write(field) || !Seek(end)) return false;
  if (chunk.size & 1) {
    std::uint8_t pad = 0;
    return Write(&pad, 1);
  }
  return true;
}

bool RiffFile::CreateChunk(RiffChunk& chunk, std::string_view id, std::string_view type) {
  Bytes head;
  ByteWriter w(head);
  w.Tag(id);
  w.U32LE(0);
  if (!type.empty()) w.Tag(type);
  chunk.id = std::string(id);
  chunk.type = std::string(type);
  chunk.size = 0;
  chunk.dataOffset = Tell() + 8;
  return Write(head);
}

bool RiffFile::ReadData(const RiffChunk& chunk, Bytes& data, std::size_t limit) {
  std::size_t bytes = std::min<std::size_t>(chunk.size, limit);
  data.resize(bytes);
  return Seek(chunk.dataOffset) && Read(data.data(), bytes) == bytes;
}

}  // namespace tessaran
