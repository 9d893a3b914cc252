#include "platform/bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

namespace {

// A plain file open for reading, closed with the object. A directory or a
// named pipe given for a file is refused at once: a pipe without a writer
// would block an open for ever. `failure` names the step that failed,
// with errno telling why.
struct PlainFile {
  explicit PlainFile(const std::filesystem::path& file) {
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      failure = "cannot open ";
      return;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
      failure = "cannot read ";
    } else if (!S_ISREG(status.st_mode)) {
      errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
      failure = "cannot read ";
    } else {
      size = static_cast<std::size_t>(status.st_size);
    }
  }
  ~PlainFile() {
    if (fd >= 0) ::close(fd);
  }
  PlainFile(const PlainFile&) = delete;
  PlainFile& operator=(const PlainFile&) = delete;

  // Reads into [data, data + n) until it is full or the file ends: the
  // count read, or −1 with errno set.
  long long ReadUpTo(std::byte* data, std::size_t n) const {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = ::read(fd, data + done, n - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return -1;
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
  }

  int fd = -1;
  std::size_t size = 0;
  const char* failure = nullptr;
};

}  // namespace

bool ReadWholeFile(const std::filesystem::path& file, Bytes& bytes, std::string* error) {
  const PlainFile in(file);
  auto fail = [&](const char* what) {
    if (error) *error = what + file.string() + ": " + std::strerror(errno);
    return false;
  };
  if (in.failure) return fail(in.failure);
  bytes.resize(in.size);
  const long long got = in.ReadUpTo(bytes.data(), bytes.size());
  if (got != static_cast<long long>(bytes.size())) {
    // A file cut while it is read is not taken as whole.
    if (got >= 0) errno = EIO;
    return fail("cannot read ");
  }
  return true;
}

Bytes ReadFileStart(const std::filesystem::path& file, std::size_t n) {
  const PlainFile in(file);
  if (in.failure) return {};
  Bytes start(std::min(n, in.size));
  start.resize(static_cast<std::size_t>(std::max(in.ReadUpTo(start.data(), start.size()), 0LL)));
  return start;
}

bool CanReadFile(const std::filesystem::path& file) { return !PlainFile(file).failure; }

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
