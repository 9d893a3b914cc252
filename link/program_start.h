// Starting a program of the suite when no server answers: the system's
// program file names ("\\RZ.OVL", "\\TOVIX.EXE") name the Linux programs
// in the program directory.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tessaran::link {

// "rz" for "\\RZ.OVL", "tovix" for "\\TOVIX.EXE"; other names lose their
// leading "\\" and extension and are taken in lower case.
std::string ProgramFileName(const std::string& systemName);

// "CHEMIN" of section "TESSARAN" in "TESSARAN.INI" ("\\" or empty: the
// directory of the running program).
std::string ProgramDirectory();

// Whether StartProgram started this program, to serve the suite: such a
// program serves from its window and has nothing else to do without a
// display. (The started program's environment says so.)
bool StartedToServe();

// A program StartProgram started, as this program sees it: false when it
// could not be started; else whether it has ended since (its end is
// collected as soon as it comes).
class StartedProgram {
 public:
  explicit operator bool() const { return ended_ != nullptr; }
  bool Ended() const { return ended_ && ended_->load(std::memory_order_acquire); }

 private:
  friend StartedProgram StartProgram(const std::string& directory, const std::string& systemName,
                                     const std::vector<std::string>& arguments);
  std::shared_ptr<std::atomic<bool>> ended_;
};

// Starts directory/ProgramFileName(systemName) with the arguments. The
// program is not waited for. It reads nothing of this program's input,
// and writes to this program's output and error only when they are a
// terminal or a file, never a pipe, which would stay open as long as the
// started server runs.
StartedProgram StartProgram(const std::string& directory, const std::string& systemName,
                            const std::vector<std::string>& arguments);

}  // namespace tessaran::link
