// Starting a program of the suite when no server answers: the system's
// program file names ("\\RZ.OVL", "\\TOVIX.EXE") name the Linux programs
// in the program directory.
#pragma once

#include <string>
#include <vector>

namespace tessaran::link {

// "rz" for "\\RZ.OVL", "tovix" for "\\TOVIX.EXE"; other names lose their
// leading "\\" and extension and are taken in lower case.
std::string ProgramFileName(const std::string& systemName);

// "CHEMIN" of section "TESSARAN" in "TESSARAN.INI" ("\\" or empty: the
// directory of the running program).
std::string ProgramDirectory();

// Starts directory/ProgramFileName(systemName) with the arguments; false
// when it cannot be run. The program is not waited for. It reads nothing
// of this program's input, and writes to this program's output and error
// only when they are a terminal or a file, never a pipe, which would stay
// open as long as the started server runs.
bool StartProgram(const std::string& directory, const std::string& systemName,
                  const std::vector<std::string>& arguments);

}  // namespace tessaran::link
