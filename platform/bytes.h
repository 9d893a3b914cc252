// Byte-order helpers: every fixed-layout record of every file is read and
// written field by field through these, never by casting structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaran {

using Bytes = std::vector<std::byte>;
using ByteSpan = std::span<const std::byte>;

// A bounded cursor over bytes. Reading past the end yields zeros and sets a
// sticky failure flag that callers test once after a record.
class ByteReader {
 public:
  explicit ByteReader(ByteSpan bytes) : bytes_(bytes) {}

  // Defined here so that the readers' record loops inline them.
  std::uint8_t U8() { return Have(1) ? std::to_integer<std::uint8_t>(bytes_[position_++]) : 0; }
  std::uint16_t U16BE() {
    if (!Have(2)) return 0;
    const std::byte* p = &bytes_[position_];
    position_ += 2;
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) << 8 | std::to_integer<unsigned>(p[1]));
  }
  std::uint16_t U16LE() {
    if (!Have(2)) return 0;
    const std::byte* p = &bytes_[position_];
    position_ += 2;
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[1]) << 8 | std::to_integer<unsigned>(p[0]));
  }
  std::uint32_t U32BE() {
    const std::uint32_t high = U16BE();
    return high << 16 | U16BE();
  }
  std::uint32_t U32LE() {
    const std::uint32_t low = U16LE();
    return static_cast<std::uint32_t>(U16LE()) << 16 | low;
  }
  std::int16_t I16BE() { return static_cast<std::int16_t>(U16BE()); }
  std::int16_t I16LE() { return static_cast<std::int16_t>(U16LE()); }
  std::int32_t I32BE() { return static_cast<std::int32_t>(U32BE()); }
  std::int32_t I32LE() { return static_cast<std::int32_t>(U32LE()); }
  // Four characters of a chunk tag.
  std::string Tag();
  // The next n bytes, or an empty span (and failure) when fewer remain.
  ByteSpan Take(std::size_t n);
  void Skip(std::size_t n) { Take(n); }

  bool Ok() const { return ok_; }
  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  // Moves to an absolute position; beyond the end fails.
  void Seek(std::size_t position);

 private:
  bool Have(std::size_t n) {
    if (ok_ && n <= bytes_.size() - position_) return true;
    ok_ = false;
    return false;
  }
  ByteSpan bytes_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

// Appends fields to a byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(Bytes& out) : out_(out) {}
  void U8(std::uint8_t v) { out_.push_back(std::byte{v}); }
  void U16BE(std::uint16_t v);
  void U16LE(std::uint16_t v);
  void U32BE(std::uint32_t v);
  void U32LE(std::uint32_t v);
  void Tag(std::string_view tag);  // four characters, blank-padded
  void Append(ByteSpan bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void Zeros(std::size_t n) { out_.insert(out_.end(), n, std::byte{0}); }
  std::size_t Size() const { return out_.size(); }
  // Overwrites a 32-bit big-endian value written earlier (chunk sizes).
  void PatchU32BE(std::size_t at, std::uint32_t v);
  void PatchU32LE(std::size_t at, std::uint32_t v);

 private:
  Bytes& out_;
};

// Reads a whole file; false with a reason when it cannot be read. These
// readers take plain files only: a directory or a named pipe is refused at
// once, never waited on.
bool ReadWholeFile(const std::filesystem::path& file, Bytes& bytes, std::string* error = nullptr);
// The first n bytes of a file, fewer when it is shorter, none when it
// cannot be read: enough to tell what kind of file it is.
Bytes ReadFileStart(const std::filesystem::path& file, std::size_t n);
// Whether the file can be opened for reading.
bool CanReadFile(const std::filesystem::path& file);

// Writes bytes to a temporary name in the same folder and renames it over
// file, so a failure (a full disk) never leaves a half-written file in place
// of a good one. False with a reason on failure; nothing is left behind.
bool WriteFileAtomically(const std::filesystem::path& file, ByteSpan bytes,
                         std::string* error = nullptr);

// The steps of a file replacement, for callers that tell a full disk from a
// file that cannot be opened.
enum class WriteStep { Done, Create, Write, Replace };

// As WriteFileAtomically, through the temporary the caller names (in the
// same folder as file). Returns the step that failed, or Done.
WriteStep WriteFileThrough(const std::filesystem::path& file, const std::filesystem::path& temporary,
                           ByteSpan bytes, std::string* error = nullptr);
// As WriteFileAtomically, returning the step that failed, or Done.
WriteStep WriteFileReplacing(const std::filesystem::path& file, ByteSpan bytes, std::string* error = nullptr);

inline ByteSpan AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

}  // namespace tessaran
