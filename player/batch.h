// The player's batch operations: what `tovix --batch` does, callable from
// the windows and the tests as well. Messages go through the process-wide
// reporter; the operations' own explanations go to `err`.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tessaran::player {

// Exit statuses of the program.
// kStopped: a window's progress box stopped the operation.
enum ExitStatus { kSuccess = 0, kFailure = 1, kBadUsage = 2, kStopped = 3 };

// The picture slot a batch operation loads into (the player's own picture).
constexpr int kPictureSlot = 1;

// Converts any readable picture to the format named by the extension of
// `out` (.LBM .I24 .TGA .PCX .BMP .RGB .PPM). depth 0 follows the source's
// depth; 8 or 24 chooses the writer of .PCX and .BMP.
ExitStatus ConvertPicture(const std::filesystem::path& in, const std::filesystem::path& out,
                          int depth, std::ostream& err);

// Writes one JSON object describing a picture file:
// {"kind":"ILBM","width":W,"height":H,"depth":D,"frames":1}.
ExitStatus PictureInfo(const std::filesystem::path& file, std::ostream& out, std::ostream& err);

// The text of `tovix --help`.
std::string HelpText();

// Runs the command line (arguments after the program name).
ExitStatus RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                          std::ostream& err);

}  // namespace tessaran::player
