// The scene file `qmx --batch` writes for some build options, to compare
// with what the windows made.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/bytes.h"

namespace tessaran {

inline Bytes FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  Bytes bytes(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) bytes[i] = static_cast<std::byte>(s[i]);
  return bytes;
}

// A number as the command line gives it back exactly.
inline std::string ExactWord(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The bytes of the file `qmx --batch WORDS --save` writes in `dir`; empty
// (with a failure) when the batch run fails.
inline Bytes BatchSceneBytes(const std::string& words, const std::filesystem::path& dir) {
  const std::filesystem::path file = dir / "BATCH.MAQ", errors = dir / "batch.err";
  const std::string command = std::string("'") + QMX_PROGRAM + "' --batch " + words + " --save '" + file.string() +
                              "' 2>'" + errors.string() + "'";
  if (std::system(command.c_str()) != 0) {
    std::ifstream why(errors);
    ADD_FAILURE() << command << ": " << why.rdbuf();
    return {};
  }
  return FileBytes(file);
}

}  // namespace tessaran
