// A render's claim on the names of its numbered output files. The claim
// file "NAME.LCK" in the output directory (NAME: the images' name without
// its number, as the naming rule cuts it) is locked while a render writes
// those names, so that a second render into them is refused rather than
// mixed with the first, and it records the scene that wrote them last, so
// that a scene whose cut name meets another's is told before it replaces
// that scene's images. The lock goes with the process, however it ends.
#pragma once

#include <filesystem>
#include <string>

namespace tessaran {

class OutputClaim {
 public:
  OutputClaim() = default;
  ~OutputClaim();
  OutputClaim(const OutputClaim&) = delete;
  OutputClaim& operator=(const OutputClaim&) = delete;

  // The claim file of the output files named from `base` (MakeOutputName).
  static std::filesystem::path FileFor(const std::string& base);

  enum class Result { Taken, InUse, Unavailable };
  // Locks `file` for `scene` and records it. InUse: another render holds
  // it. Unavailable: the file cannot be made (the render goes on without
  // a claim). *previous receives the scene recorded before, if any.
  Result Take(const std::filesystem::path& file, const std::string& scene, std::string* previous);

 private:
  int fd_ = -1;
};

}  // namespace tessaran
