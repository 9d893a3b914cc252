#include "platform/bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace tessaran {

std::string ByteReader::Tag() {
  ByteSpan tag = Take(4);
  return tag.empty() ? std::string() : std::string(reinterpret_cast<const char*>(tag.data()), 4);
}

ByteSpan ByteReader::Take(std::size_t n) {
  if (!Have(n)) return {};
  ByteSpan part = bytes_.subspan(position_, n);
  position_ += n;
  return part;
}

void ByteReader::Seek(std::size_t position) {
  if (position > bytes_.size()) {
    ok_ = false;
    position_ = bytes_.size();
    return;
  }
  position_ = position;
}

void ByteWriter::U16BE(std::uint16_t v) {
  U8(static_cast<std::uint8_t>(v >> 8));
  U8(static_cast<std::uint8_t>(v));
}

void ByteWriter::U16LE(std::uint16_t v) {
  U8(static_cast<std::uint8_t>(v));
  U8(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::U32BE(std::uint32_t v) {
  U16BE(static_cast<std::uint16_t>(v >> 16));
  U16BE(static_cast<std::uint16_t>(v));
}

void ByteWriter::U32LE(std::uint32_t v) {
  U16LE(static_cast<std::uint16_t>(v));
  U16LE(static_cast<std::uint16_t>(v >> 16));
}

void ByteWriter::Tag(std::string_view tag) {
  for (std::size_t i = 0; i < 4; ++i) U8(i < tag.size() ? static_cast<std::uint8_t>(tag[i]) : ' ');
}

void ByteWriter::PatchU32BE(std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.at(at + i) = std::byte(static_cast<std::uint8_t>(v >> (24 - 8 * i)));
}

void ByteWriter::PatchU32LE(std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.at(at + i) = std::byte(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool ReadWholeFile(const std::filesystem::path& file, Bytes& bytes, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + file.string();
    return false;
  }
  in.seekg(0, std::ios::end);
  auto size = in.tellg();
  in.seekg(0);
  if (size < 0) {
    if (error) *error = "cannot read " + file.string();
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (in.gcount() != size) {
    if (error) *error = "cannot read " + file.string();
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::filesystem::path& file, ByteSpan bytes, std::string* error) {
  return WriteFileReplacing(file, bytes, error) == WriteStep::Done;
}

WriteStep WriteFileReplacing(const std::filesystem::path& file, ByteSpan bytes, std::string* error) {
  std::filesystem::path temporary = file;
  temporary += ".tmp" + std::to_string(getpid());
  return WriteFileThrough(file, temporary, bytes, error);
}

WriteStep WriteFileThrough(const std::filesystem::path& file, const std::filesystem::path& temporary,
                           ByteSpan bytes, std::string* error) {
  auto fail = [&](WriteStep step, const std::string& reason) {
    if (error) *error = reason;
    return step;
  };
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail(WriteStep::Create, "cannot create " + file.string() + ": " + std::strerror(errno));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string reason = std::strerror(n < 0 ? errno : ENOSPC);
      ::close(fd);
      ::unlink(temporary.c_str());
      return fail(WriteStep::Write, "cannot write " + file.string() + ": " + reason);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    std::string reason = std::strerror(errno);
    ::unlink(temporary.c_str());
    return fail(WriteStep::Write, "cannot write " + file.string() + ": " + reason);
  }
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    std::string reason = std::strerror(errno);
    ::unlink(temporary.c_str());
    return fail(WriteStep::Replace, "cannot replace " + file.string() + ": " + reason);
  }
  return WriteStep::Done;
}

}  // namespace tessaran
