#include "link/frame.h"

#include <limits>

namespace tessaran::link {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool PutString(std::vector<std::uint8_t>& out, const std::string& s) {
  if (s.size() > std::numeric_limits<std::uint16_t>::max()) return false;
  PutU16(out, static_cast<std::uint16_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
  return true;
}

bool PutData(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& d) {
  if (d.size() > kMaxFrame) return false;
  PutU32(out, static_cast<std::uint32_t>(d.size()));
  out.insert(out.end(), d.begin(), d.end());
  return true;
}

// A bounded cursor over a frame body: every read checks what is left.
class Fields {
 public:
  Fields(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  bool U8(std::uint8_t& v) {
    if (n_ - at_ < 1) return false;
    v = p_[at_++];
    return true;
  }
  bool String(std::string& s) {
    if (n_ - at_ < 2) return false;
    const std::size_t length = p_[at_] | std::size_t(p_[at_ + 1]) << 8;
    at_ += 2;
    if (n_ - at_ < length) return false;
    s.assign(reinterpret_cast<const char*>(p_ + at_), length);
    at_ += length;
    return true;
  }
  bool Data(std::vector<std::uint8_t>& d) {
    if (n_ - at_ < 4) return false;
    const std::size_t length = GetU32(p_ + at_);
    at_ += 4;
    if (n_ - at_ < length) return false;
    d.assign(p_ + at_, p_ + at_ + length);
    at_ += length;
    return true;
  }
  bool AtEnd() const { return at_ == n_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t at_ = 0;
};

bool HasItem(FrameKind kind) { return kind >= FrameKind::Poke && kind <= FrameKind::AdvData; }
bool HasData(FrameKind kind) {
  return kind == FrameKind::Execute || kind == FrameKind::Poke || kind == FrameKind::AdvData ||
         kind == FrameKind::Reply;
}

}  // namespace

std::vector<std::uint8_t> EncodeFrame(const Frame& f) {
  std::vector<std::uint8_t> out(4, 0);
  out.push_back(static_cast<std::uint8_t>(f.kind));
  bool ok = true;
  if (f.kind == FrameKind::Connect) ok = PutString(out, f.topic);
  if (HasItem(f.kind)) ok = PutString(out, f.item) && PutString(out, f.format);
  if (f.kind == FrameKind::Reply) out.push_back(static_cast<std::uint8_t>(f.status));
  if (ok && HasData(f.kind)) ok = PutData(out, f.data);
  const std::size_t length = out.size() - 4;
  if (!ok || length > kMaxFrame) return {};
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(length >> (8 * i));
  return out;
}

std::optional<Frame> DecodeFrame(const std::uint8_t* body, std::size_t size) {
  Fields in(body, size);
  std::uint8_t kind = 0;
  if (!in.U8(kind) || kind < 1 || kind > 9) return std::nullopt;
  Frame f;
  f.kind = static_cast<FrameKind>(kind);
  bool ok = true;
  if (f.kind == FrameKind::Connect) ok = in.String(f.topic);
  if (HasItem(f.kind)) ok = in.String(f.item) && in.String(f.format);
  if (f.kind == FrameKind::Reply) {
    std::uint8_t status = 0;
    ok = in.U8(status) && status <= 3;
    f.status = static_cast<ReplyStatus>(status);
  }
  if (ok && HasData(f.kind)) ok = in.Data(f.data);
  if (!ok || !in.AtEnd()) return std::nullopt;
  return f;
}

void FrameReader::Append(const std::uint8_t* bytes, std::size_t size) {
  if (malformed_) return;
  // What was consumed is dropped before the buffer grows again.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 4096 && start_ * 2 > buffer_.size()) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

FrameReader::Result FrameReader::Next(Frame& frame) {
  if (malformed_) return Result::Malformed;
  const std::size_t held = buffer_.size() - start_;
  if (held < 4) return Result::NeedMore;
  const std::uint32_t length = GetU32(buffer_.data() + start_);
  // Too long a frame is refused from its length alone, before its bytes come.
  if (length == 0 || length > kMaxFrame) {
    malformed_ = true;
    return Result::Malformed;
  }
  if (held - 4 < length) return Result::NeedMore;
  std::optional<Frame> decoded = DecodeFrame(buffer_.data() + start_ + 4, length);
  if (!decoded) {
    malformed_ = true;
    return Result::Malformed;
  }
  start_ += 4 + length;
  frame = std::move(*decoded);
  return Result::Frame;
}

}  // namespace tessaran::link
