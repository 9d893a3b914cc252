#include "imaging/byterun1.h"

#include <algorithm>
#include <cstring>

namespace tessaran {
namespace {

// Emits one packet for the bytes at row[0 …] and returns how many it covers.
std::size_t PackOne(const std::uint8_t* row, std::size_t length, Bytes& out) {
  std::size_t window = std::min<std::size_t>(length, 128);
  if (window >= 2 && row[0] == row[1]) {
    std::size_t more = 1;
    while (more + 1 < window && row[more + 1] == row[0]) ++more;
    out.push_back(std::byte(256 - more));
    out.push_back(std::byte(row[0]));
    return more + 1;
  }
  std::size_t k = 1;
  while (k < window) {
    bool pair = k + 1 < window && row[k] == row[k + 1];
    bool triple = pair && k + 2 < window && row[k + 2] == row[k];
    bool pairEndsRow = pair && k + 2 == length;
    if (triple || pairEndsRow) break;
    ++k;
  }
  out.push_back(std::byte(k - 1));
  const auto* bytes = reinterpret_cast<const std::byte*>(row);
  out.insert(out.end(), bytes, bytes + k);
  return k;
}

}  // namespace

void ByteRun1Pack(const std::uint8_t* row, std::size_t length, Bytes& out) {
  std::size_t done = 0;
  while (done < length) done += PackOne(row + done, length - done, out);
}

bool ByteRun1Unpack(ByteSpan stream, std::size_t& position, std::uint8_t* row, std::size_t length) {
  const auto* in = reinterpret_cast<const std::uint8_t*>(stream.data());
  std::size_t size = stream.size();
  std::size_t filled = 0;
  while (filled < length) {
    if (position >= size) {
      std::memset(row + filled, 0, length - filled);
      return false;
    }
    std::uint8_t n = in[position++];
    if (n == 128) continue;
    if (n > 128) {
      if (position >= size) {
        std::memset(row + filled, 0, length - filled);
        return false;
      }
      std::size_t count = std::min<std::size_t>(257 - n, length - filled);
      std::memset(row + filled, in[position++], count);
      filled += count;
    } else {
      std::size_t count = std::size_t(n) + 1;
      std::size_t available = std::min(count, size - position);
      std::size_t kept = std::min(available, length - filled);
      std::memcpy(row + filled, in + position, kept);
      filled += kept;
      position += available;
      if (available < count) {
        std::memset(row + filled, 0, length - filled);
        return false;
      }
    }
  }
  return true;
}

}  // namespace tessaran
