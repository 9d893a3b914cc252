// Records the numbered messages core code reports, for the tests to check.
#pragma once

#include <string_view>
#include <vector>

#include "platform/report.h"

namespace tessaran {

class MessageRecorder : public MessageReporter {
 public:
  MessageRecorder() { InstallReporter(this); }
  ~MessageRecorder() override { InstallReporter(nullptr); }
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  std::vector<int> numbers;
};

}  // namespace tessaran
