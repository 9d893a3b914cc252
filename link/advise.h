// What both servers answer to the transactions other than execute and
// poke: an advise loop starts on the format "QMXPlay" and the server's own
// name as item; requests get a 4-byte value; advise data is acknowledged
// and its 4 bytes kept as the conversation's user value.
#pragma once

#include <cstdint>
#include <string>

#include "link/instance.h"

namespace tessaran::link {

// The clipboard format every transaction of the suite uses.
constexpr const char* kSuiteFormat = "QMXPlay";

// `userValue`: the conversation's value, read by requests and set by
// advise data.
Reply AnswerAdvise(const Frame& frame, const std::string& serverName, std::uint32_t& userValue);

}  // namespace tessaran::link
