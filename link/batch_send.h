// One send of a batch client (`qmx --batch --render`, `rz --batch
// --show-result`): a client-only instance, the send, the program it
// started left running, and the exit status with the reason on `err`.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "link/program_client.h"

namespace tessaran::link {

// 0 when the server acknowledged, 1 otherwise (after the message the
// client showed, or a sentence on `err`). `program` heads the sentences.
int SendFromBatch(ProgramClient& client, const std::string& program, const std::string& serverName,
                  const std::function<SendResult(ProgramClient&)>& send, std::ostream& err);

}  // namespace tessaran::link
