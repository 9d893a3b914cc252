// What every fuzz target shares: a user who is told nothing (messages and
// progress are dropped, so the run measures the readers), and a scratch
// file of this process for readers that take a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/bytes.h"
#include "platform/report.h"

namespace tessaran::fuzzing {

class Silence : public MessageReporter, public ProgressDisplay {
 public:
  void Report(MessageKind, int, std::string_view) override {}
  void Open(std::string_view, std::string_view) override {}
  void Set(double) override {}
  void Close() override {}
};

// Installs the silent reporter and progress display.
inline void SilenceTheUser() {
  static Silence silence;
  InstallReporter(&silence);
  InstallProgress(&silence);
}

// A folder of this process for the targets' files, made once.
inline const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("tessaran-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

inline ByteSpan Input(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const std::byte*>(data), size};
}

// Writes the input as the scratch file `name` and returns its path.
inline std::filesystem::path InputFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::filesystem::path file = ScratchFolder() / name;
  WriteFileAtomically(file, Input(data, size));
  return file;
}

}  // namespace tessaran::fuzzing
