#include "imaging/runskipdump.h"

#include <cstring>

namespace tessaran {
namespace {

// A dump or run is cut at this many bytes and continued in a new one.
constexpr std::size_t kLongestItem = 0x3FFF;
// The encoder fails as soon as its output would come this close to the limit.
constexpr std::size_t kLimitMargin = 7;
constexpr std::size_t kLongestShortDump = 127;
constexpr std::size_t kLongestShortRun = 255;
constexpr std::size_t kLongestShortSkip = 127;
constexpr std::size_t kLongestLongSkip = 0x7FFF;
constexpr std::uint8_t kLongCode = 0x80;
constexpr std::uint16_t kLongDump = 0x8000;
constexpr std::uint16_t kLongRun = 0xC000;

// Writes the emission forms into the caller's output, failing (and staying
// failed) when one would not leave the margin before the limit.
class Emitter {
 public:
  Emitter(std::uint8_t* out, std::size_t limit, std::size_t lineBytes)
      : out_(out), limit_(limit), lineBytes_(lineBytes ? lineBytes : 1) {}

  void Dump(const std::uint8_t* frame, std::size_t start, std::size_t n) {
    if (n == 0) return;
    if (n <= kLongestShortDump && SameLine(start, n)) {
      if (!Room(1 + n)) return;
      Byte(static_cast<std::uint8_t>(n));
    } else {
      if (!Room(3 + n)) return;
      Long(static_cast<std::uint16_t>(kLongDump + n));
    }
    std::memcpy(out_ + size_, frame + start, n);
    size_ += n;
  }

  void Run(std::size_t start, std::size_t n, std::uint8_t value) {
    if (n == 0) return;
    if (n <= kLongestShortRun && SameLine(start, n)) {
      if (!Room(3)) return;
      Byte(0);
      Byte(static_cast<std::uint8_t>(n));
    } else {
      if (!Room(4)) return;
      Long(static_cast<std::uint16_t>(kLongRun + n));
    }
    Byte(value);
  }

  void Skip(std::size_t n) {
    if (n <= kLongestShortSkip) {
      if (Room(1)) Byte(static_cast<std::uint8_t>(0x80 + n));
    } else if (n <= 2 * kLongestShortSkip) {
      if (!Room(2)) return;
      Byte(0xFF);
      Byte(static_cast<std::uint8_t>(0x80 + n - kLongestShortSkip));
    } else {
      while (n > 0 && Room(3)) {
        std::size_t piece = n < kLongestLongSkip ? n : kLongestLongSkip;
        Long(static_cast<std::uint16_t>(piece));
        n -= piece;
      }
    }
  }

  void End() {
    if (Room(3)) Long(0);
  }

  bool Failed() const { return failed_; }
  std::size_t Size() const { return size_; }

 private:
  // A short form must end within the line in which it started.
  bool SameLine(std::size_t start, std::size_t n) const {
    return start / lineBytes_ == (start + n - 1) / lineBytes_;
  }
  bool Room(std::size_t n) {
    if (!failed_ && size_ + n + kLimitMargin > limit_) failed_ = true;
    return !failed_;
  }
  void Byte(std::uint8_t b) { out_[size_++] = b; }
  void Long(std::uint16_t word) {
    Byte(kLongCode);
    Byte(static_cast<std::uint8_t>(word & 0xFF));
    Byte(static_cast<std::uint8_t>(word >> 8));
  }

  std::uint8_t* out_;
  std::size_t limit_;
  std::size_t lineBytes_;
  std::size_t size_ = 0;
  bool failed_ = false;
};

enum class State { Dump, Run, Skip };

}  // namespace

std::size_t RunSkipDumpEncode(const std::uint8_t* previous, const std::uint8_t* frame,
                              std::size_t length, std::size_t lineBytes, bool skipsAllowed,
                              std::uint8_t* out, std::size_t limit) {
  Emitter emit(out, limit, lineBytes);
  State state = State::Dump;
  std::size_t start = 0;  // first byte of the pending dump, run or skip
  std::size_t same = 0;   // bytes in a row equal to the previous frame
  std::size_t repeats = 0;  // bytes in a row of the dump equal to each other
  std::uint8_t value = 0;   // the byte of the pending run

  for (std::size_t i = 0; i < length && !emit.Failed(); ++i) {
    std::uint8_t b = frame[i];
    bool unchanged = b == previous[i];
    switch (state) {
      case State::Dump: {
        same = unchanged ? same + 1 : 0;
        repeats = (i > start && b == frame[i - 1]) ? repeats + 1 : 1;
        std::size_t n = i - start + 1;
        if (skipsAllowed && same == 2) {
          emit.Dump(frame, start, n - 2);
          state = State::Skip;
          start = i - 1;
        } else if (repeats == 4) {
          emit.Dump(frame, start, n - 4);
          state = State::Run;
          start = i - 3;
          value = b;
        } else if (n == kLongestItem) {
          emit.Dump(frame, start, n);
          start = i + 1;
          same = repeats = 0;
        }
        break;
      }
      case State::Run:
        if (b == value) {
          same = unchanged ? same + 1 : 0;
          std::size_t n = i - start + 1;
          if (skipsAllowed && same == 4) {
            emit.Run(start, n - 4, value);
            state = State::Skip;
            start = i - 3;
          } else if (n == kLongestItem) {
            emit.Run(start, n, value);
            start = i + 1;
            same = 0;
          }
        } else {
          emit.Run(start, i - start, value);
          state = State::Dump;
          start = i;
          same = unchanged ? 1 : 0;
          repeats = 1;
        }
        break;
      case State::Skip:
        if (!unchanged) {
          emit.Skip(i - start);
          state = State::Dump;
          start = i;
          same = 0;
          repeats = 1;
        }
        break;
    }
  }
  // A pending skip is dropped: the end code leaves the rest unchanged.
  if (state == State::Dump) emit.Dump(frame, start, length - start);
  if (state == State::Run) emit.Run(start, length - start, value);
  emit.End();
  return emit.Failed() ? 0 : emit.Size();
}

RunSkipDumpResult RunSkipDumpDecode(const std::uint8_t* stream, std::size_t streamLength,
                                    std::uint8_t* frame, std::size_t length) {
  std::size_t in = 0;
  std::size_t out = 0;
  auto have = [&](std::size_t n) { return streamLength - in >= n; };
  auto fits = [&](std::size_t n) { return length - out >= n; };
  while (have(1)) {
    std::uint8_t c = stream[in++];
    std::size_t n = 0;
    if (c >= 1 && c < 0x80) {  // short dump
      n = c;
      if (!have(n) || !fits(n)) break;
      std::memcpy(frame + out, stream + in, n);
      in += n;
    } else if (c == 0) {  // short run
      if (!have(2)) break;
      n = stream[in];
      if (!fits(n)) break;
      std::memset(frame + out, stream[in + 1], n);
      in += 2;
    } else if (c > 0x80) {  // short skip
      n = c - 0x80u;
      if (!fits(n)) break;
    } else {
      if (!have(2)) break;
      std::uint16_t w = static_cast<std::uint16_t>(stream[in] | stream[in + 1] << 8);
      in += 2;
      if (w == 0) return {true, out};
      if (w < kLongDump) {
        n = w;
        if (!fits(n)) break;
      } else if (w < kLongRun) {
        n = w - kLongDump;
        if (!have(n) || !fits(n)) break;
        std::memcpy(frame + out, stream + in, n);
        in += n;
      } else {
        n = w - kLongRun;
        if (!have(1) || !fits(n)) break;
        std::memset(frame + out, stream[in++], n);
      }
    }
    out += n;
  }
  return {false, out};
}

}  // namespace tessaran
