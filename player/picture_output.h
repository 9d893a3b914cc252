// Writing a virtual image in the format of an output extension, shared by
// the picture and the animation operations of `tovix --batch`: the depth of
// the writer, widening palette pictures to true colour and reducing
// true-colour ones to 256 colours on the way.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tessaran::player {

// Work slots of the batch operations: the true-colour copy of a palette
// picture and the 8-bit reduction of a true-colour one.
constexpr int kTrueColourSlot = 3;
constexpr int kIndexedSlot = 4;

// Frees the player's picture slot and the work slots whatever way an
// operation ends.
struct WorkSlots {
  WorkSlots() = default;
  WorkSlots(const WorkSlots&) = delete;
  WorkSlots& operator=(const WorkSlots&) = delete;
  ~WorkSlots();
};

std::string Upper(std::string text);

// The extensions a picture can be written as, for messages.
constexpr const char* kWritableExtensions = ".LBM .I24 .TGA .PCX .BMP .RGB or .PPM";
// Whether `extension` (upper case, with its dot) is one of them.
bool IsWritableExtension(const std::string& extension);

// Loads any readable picture into the player's picture slot; false after
// saying why on `err`.
bool LoadPictureSlot(const std::filesystem::path& in, std::ostream& err);

// A true-colour copy of virtual image `source` at the given size in
// kTrueColourSlot (stretched when the size differs).
bool TrueColourCopy(int source, int width, int height);

// Writes virtual image `slot` with the writer of `extension` (upper case):
// `base` and `frame` name the file as the writers do (−1: `base` as it
// stands). .LBM is always 8-bit; .PCX and .BMP follow `depth`, or the
// picture's depth when it is 0. A true-colour picture written 8-bit is
// reduced to a palette of its own first. `runLength`: TGA with run-length
// packets. False when nothing or not all could be written.
bool WritePictureAs(int slot, const std::string& base, int frame, const std::string& extension,
                    int depth = 0, bool runLength = false);

// The files WritePictureAs writes for `base`, `frame` and `extension`: one,
// or for .RGB the three planes and the text that describes them.
std::vector<std::filesystem::path> PictureFiles(const std::string& base, int frame, const std::string& extension);

// Before an operation writes `files`, none of which it has written yet: an
// existing one is replaced only with `force`. Otherwise false after naming
// it on `err`, before anything is written.
bool MayReplace(const std::vector<std::filesystem::path>& files, bool force, std::ostream& err);

}  // namespace tessaran::player
