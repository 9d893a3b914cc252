// One end of a conversation: a non-blocking stream socket with the frames
// read from it and the bytes still to send.
#pragma once

#include <cstdint>
#include <vector>

#include "link/frame.h"

namespace tessaran::link {

class Channel {
 public:
  explicit Channel(int fd) : fd_(fd) {}
  ~Channel();
  Channel(Channel&& other) noexcept;
  Channel& operator=(Channel&&) = delete;
  Channel(const Channel&) = delete;

  int Fd() const { return fd_; }
  // Reads what the socket holds without waiting. False once the peer has
  // closed or the socket failed.
  bool ReadAvailable();
  FrameReader::Result Next(Frame& frame) { return reader_.Next(frame); }
  // Queues the frame and sends what the socket takes now. False when the
  // frame cannot be encoded, the socket failed, or more than a frame's
  // worth of bytes waits for a peer that does not read.
  bool Send(const Frame& frame);
  bool Flush();
  bool WantsWrite() const { return !out_.empty(); }

 private:
  int fd_;
  FrameReader reader_;
  std::vector<std::uint8_t> out_;
};

}  // namespace tessaran::link
