#include "link/channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tessaran::link {

Channel::~Channel() {
  if (fd_ >= 0) close(fd_);
}

Channel::Channel(Channel&& other) noexcept
    : fd_(other.fd_), reader_(std::move(other.reader_)), out_(std::move(other.out_)) {
  other.fd_ = -1;
}

bool Channel::ReadAvailable() {
  std::uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      reader_.Append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

bool Channel::Send(const Frame& frame) {
  const std::vector<std::uint8_t> bytes = EncodeFrame(frame);
  if (bytes.empty() || out_.size() > kMaxFrame) return false;
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  return Flush();
}

bool Channel::Flush() {
  std::size_t sent = 0;
  while (sent < out_.size()) {
    const ssize_t n = send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      return false;
    }
  }
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(sent));
  return true;
}

}  // namespace tessaran::link
