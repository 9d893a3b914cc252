// The frames of the program link: every message between a client and a
// server is a u32 little-endian length of the rest, a u8 kind, then the
// kind's fields (strings: u16 LE length and bytes; data: u32 LE length and
// bytes). A frame over 1 MiB, a field that runs past the frame, bytes left
// after the fields, an unknown kind or reply status is malformed, and the
// peer that sent it is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaran::link {

enum class FrameKind : std::uint8_t {
  Connect = 1,   // topic
  Execute = 2,   // data: the command text with its NUL
  Poke = 3,      // item, format, data
  Request = 4,   // item, format
  AdvStart = 5,  // item, format
  AdvStop = 6,   // item, format
  AdvData = 7,   // item, format, data
  Reply = 8,     // status, data
  Disconnect = 9,
};

// The answer of a server to every client frame.
enum class ReplyStatus : std::uint8_t { NotProcessed = 0, Ack = 1, Busy = 2, Refused = 3 };

// The largest frame, length field excluded.
constexpr std::uint32_t kMaxFrame = 1u << 20;

struct Frame {
  FrameKind kind = FrameKind::Disconnect;
  std::string topic;   // Connect
  std::string item;    // Poke, Request, Adv*
  std::string format;  // Poke, Request, Adv*
  std::vector<std::uint8_t> data;  // Execute, Poke, AdvData, Reply
  ReplyStatus status = ReplyStatus::NotProcessed;  // Reply

  bool operator==(const Frame&) const = default;
};

// The frame's bytes, length field included. A field too long for its
// length field, or a frame over kMaxFrame, gives an empty vector.
std::vector<std::uint8_t> EncodeFrame(const Frame& frame);

// Decodes the bytes after the length field; nothing when malformed.
std::optional<Frame> DecodeFrame(const std::uint8_t* body, std::size_t size);

// Collects the bytes of a stream and cuts them into frames.
class FrameReader {
 public:
  enum class Result { Frame, NeedMore, Malformed };

  void Append(const std::uint8_t* bytes, std::size_t size);
  // The next whole frame. Malformed is sticky: the stream cannot be
  // resynchronised, so its peer must be dropped.
  Result Next(Frame& frame);
  // Bytes held that are not yet a whole frame.
  std::size_t Buffered() const { return buffer_.size() - start_; }

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;
  bool malformed_ = false;
};

}  // namespace tessaran::link
