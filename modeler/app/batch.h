// The modeler without windows: `qmx --batch` applies the operations of its
// command line in order to one scene, as the menu commands would.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tessaran {

// Exit statuses of the programs in batch mode.
inline constexpr int kBatchDone = 0;
inline constexpr int kBatchFailed = 1;    // an operation failed; its message is on stderr
inline constexpr int kBatchBadUsage = 2;

// The options `qmx --help` lists.
std::string ModelerBatchHelp();

// Checks the whole command line (the arguments after the program name),
// then runs its operations in order on a new scene. Usage errors are
// reported on `err` before anything runs.
int RunModelerBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `--info`: one JSON object with each scene's counts and camera, and the
// file's map and assignment counts. False after the reader's message when
// the file cannot be read.
bool ModelerFileInfo(const std::filesystem::path& file, std::string& json);

}  // namespace tessaran
