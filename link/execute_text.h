// The servers' reading of an execute text: a command word and an argument
// word, each free of blanks (an argument with a blank is cut there). Given
// only a command, the argument of the previous execute is used again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaran::link {

class ExecuteText {
 public:
  // The text runs to its NUL or to the end of the data.
  void Split(const std::vector<std::uint8_t>& data, std::string& command, std::string& argument);

 private:
  std::string previousArgument_;
};

// The data of an execute: "command argument" and its NUL.
std::vector<std::uint8_t> ExecuteData(const std::string& command, const std::string& argument);

}  // namespace tessaran::link
