#include "link/advise.h"

namespace tessaran::link {

Reply AnswerAdvise(const Frame& frame, const std::string& serverName, std::uint32_t& userValue) {
  const bool own = frame.format == kSuiteFormat && frame.item == serverName;
  switch (frame.kind) {
    case FrameKind::AdvStart:
    case FrameKind::AdvStop:
      return {own ? ReplyStatus::Ack : ReplyStatus::NotProcessed, {}};
    case FrameKind::Request:
      return {ReplyStatus::Ack,
              {std::uint8_t(userValue), std::uint8_t(userValue >> 8), std::uint8_t(userValue >> 16),
               std::uint8_t(userValue >> 24)}};
    case FrameKind::AdvData:
      if (frame.data.size() >= 4) {
        userValue = frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16 | std::uint32_t(frame.data[3]) << 24;
      }
      return {ReplyStatus::Ack, {}};
    default:
      return {};
  }
}

}  // namespace tessaran::link
