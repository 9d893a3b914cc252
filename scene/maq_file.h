// The modeler's side of the scene file (".MAQ"): saving the scene, opening
// a file in place of the scene and inserting a file into it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "platform/bytes.h"
#include "scene/scene_model.h"
#include "storage/iff.h"

namespace tessaran {

struct MaqWriteOptions {
  // Saved from a view in display mode 3: unselected plain objects are
  // marked in their record.
  bool markUnselected = false;
  // SCEN word 0 in place of the scene's own number, when 0 or more: the
  // position a scene-list edit gives the scene.
  int sceneNumber = -1;
};

// The complete file of the present scene: "FORM" "TSRN", the header group
// (maps, assignments, a scene count of 1) and one scene group.
Bytes MaqFileBytes(const SceneModel& scene, const MaqWriteOptions& options = {});

// The present scene's group ("FORM" "TSSC"), as scene `number` of a file;
// only the first scene of a file carries the faces.
void WriteSceneGroup(IffWriter& iff, const SceneModel& scene, bool withFaces,
                     const MaqWriteOptions& options = {});

namespace maq {
// Scales of the 32-bit integers the file stores in place of numbers.
inline constexpr double kLengthScale = 100000.0;  // CMRA lengths, frame origins and matrices
inline constexpr double kPointScale = 1000.0;     // PTSX coordinates
}  // namespace maq

// The largest values the file's integers hold, either sign: lengths (frame
// origins, lamp positions, the camera's target, distance and focal value)
// and point coordinates in 32 bits at their scales, the view angles in
// whole degrees in 16 bits, PERS in 16 bits (from 1: below counts as 1).
inline constexpr double kMaqLengthLimit = std::numeric_limits<std::int32_t>::max() / maq::kLengthScale;
inline constexpr double kMaqCoordinateLimit = std::numeric_limits<std::int32_t>::max() / maq::kPointScale;
inline constexpr double kMaqAngleLimit = std::numeric_limits<std::int16_t>::max();
inline constexpr int kMaqMaxPERS = std::numeric_limits<std::uint16_t>::max();
// The longest map image name the file keeps whole.
inline constexpr std::size_t kMaqMapNameLength = 99;

// Whether the file holds the value: finite and within the limit.
bool FitsLimit(double value, double limit);

// Whether the file holds the view's angles, PERS, target and the focal
// value PERS and zoom give. False with the reason.
bool ViewFitsTheFile(const ViewCamera& view, std::string* reason);

// Whether the file holds the scene: its view, every frame origin of its
// objects and lamps and every point within the limits above, and the first
// face of every faceted object within 16 bits (at most 65535 faces before
// it). False with the reason; the writer refuses such a scene rather than
// store other numbers than the scene's.
bool SceneFitsTheFile(const SceneModel& scene, std::string* reason);

// "Save": writes the file in place of any file of that name, never leaving
// a half-written one. 1 on success; 0 after message 32 ("Sorry, I can't
// open this file ! ") or, when the disk is full, 33; 0 with a clear error,
// writing nothing, for a scene the file cannot hold.
int WriteMaq(const SceneModel& scene, const std::filesystem::path& file,
             const MaqWriteOptions& options = {});

enum class ReadMode { Open = 1, Insert = 2 };

// Opens scene `sceneNumber` (1-based) of a file in place of the scene, or
// inserts the file's first scene after the present objects. Returns 0 on
// success, 1 on failure with the scene exactly as it was: message 32 for a
// file that cannot be read or is not a sound scene file, 31 when the scene
// cannot hold it (objects, frames, points, lamps, maps or assignments).
int ReadModel(SceneModel& scene, const std::filesystem::path& file, ReadMode mode,
              int sceneNumber = 1);
// The same on the bytes of a file; `problem` says what was wrong.
int ReadModelBytes(SceneModel& scene, ByteSpan bytes, ReadMode mode, int sceneNumber = 1,
                   std::string* problem = nullptr);

}  // namespace tessaran
