// RIFF chunk files (AVI): our stand-in for the platform's multimedia file
// I/O. Little-endian four-character chunks whose data is padded to an even
// length; "RIFF" and "LIST" chunks carry a four-character type and hold
// chunks. Reading is bounded: a chunk whose size passes its parent or the
// end of the file is never entered.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/bytes.h"

namespace tessaran {

struct RiffChunk {
  std::string id;                // four characters
  std::string type;              // the form or list type of "RIFF" and "LIST"
  std::uint32_t size = 0;        // bytes of data, the type included
  std::uint64_t dataOffset = 0;  // absolute offset of the data (after the size field)
  std::uint64_t End() const { return dataOffset + size; }
};

bool IsRiffList(std::string_view id);

class RiffFile {
 public:
  // Opens a file for reading; false when it cannot be opened.
  bool Open(const std::filesystem::path& file);
  // Creates (or empties) a file for writing.
  bool Create(const std::filesystem::path& file);
  // Closes the file; false when buffered writes failed.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }
  std::uint64_t FileSize() const { return fileSize_; }

  // From the current position, finds the next chunk tagged `id` (any chunk
  // when empty) whose list type is `type` (not checked when empty), within
  // `parent` or, without one, the whole file. Leaves the position at the
  // chunk's data, after the type of a list. False at the end of the parent,
  // or when a chunk reaches past it (then Truncated()).
  bool Descend(RiffChunk& chunk, const RiffChunk* parent, std::string_view id = {},
               std::string_view type = {});
  // The same, but a wanted chunk reaching past the parent is cut to it (a
  // file whose writing was cut short); Truncated() tells.
  bool DescendCut(RiffChunk& chunk, const RiffChunk* parent, std::string_view id,
                  std::string_view type = {});
  // Reading: moves past the chunk and its pad byte. Writing: patches the
  // chunk's size and writes the pad byte.
  bool Ascend(RiffChunk& chunk);
  // Writing: starts a chunk (with its type for "RIFF" and "LIST").
  bool CreateChunk(RiffChunk& chunk, std::string_view id, std::string_view type = {});

  std::size_t Read(void* into, std::size_t bytes);
  bool Write(const void* from, std::size_t bytes);
  bool Write(ByteSpan bytes) { return Write(bytes.data(), bytes.size()); }
  bool Seek(std::uint64_t offset);
  std::uint64_t Tell() const;
  bool Truncated() const { return truncated_; }
  // Reads a chunk's data whole (at most `limit` bytes); false when shorter.
  bool ReadData(const RiffChunk& chunk, Bytes& data, std::size_t limit);

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::uint64_t fileSize_ = 0;
  bool Find(RiffChunk& chunk, const RiffChunk* parent, std::string_view id, std::string_view type,
            bool cut);
  bool writing_ = false;
  bool truncated_ = false;
};

}  // namespace tessaran
