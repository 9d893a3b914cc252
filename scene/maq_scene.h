// One keyframe scene as the scene file (".MAQ") carries it, and the
// renderer's reader `ReadMaq`, which reads the scenes of a file one by one
// for render scene preparation. Values are those of the file, unscaled:
// lengths and matrix entries in model units, angles in radians, points as
// 32-bit floats.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "scene/faces.h"
#include "scene/frames.h"
#include "scene/lamps.h"
#include "scene/maps.h"

namespace tessaran {

// A frame of reference as stored: absolute values, the flags and the values
// relative to the parent named by its identifier (-1 = none).
struct MaqFrame {
  Vec3 absOrigin{};
  Mat3 absOrientation = IdentityMatrix();
  int state = 1;
  int identifier = 0;
  int parentFlag = 0;
  Vec3 relOrigin{};
  Mat3 relOrientation = IdentityMatrix();
  int parentId = -1;
};

// One object record; the closing record N carries only firstPoint
// (total points + 1).
struct MaqObject {
  int firstPoint = 1;
  int meshU = 0;
  int meshV = 0;
  std::uint16_t col = 0;
  std::uint8_t transmission = 0;
  std::uint8_t reflection = 0;
  std::uint8_t kSpec = 0;
  std::uint8_t refraction = 0;
  std::uint8_t nSpec = 0;
  // The words at record offsets 12 … 22, signed, as stored. With frames in
  // the file: words[1] … words[3] are the faceted object's face count,
  // point count and first face (else attribute words), words[4] its face
  // group. Without frames (older files): words[0] … words[2] are rotation
  // angles about X, Y, Z in degrees and words[3] … words[5] the object's
  // placement values.
  std::array<std::int16_t, 6> words{};

  int FaceCount() const { return words[1]; }
  int FacePointCount() const { return words[2]; }
  // Stored in 16 bits and read unsigned: files reach 65535 faces before the
  // last faceted object.
  int FirstFace() const { return static_cast<std::uint16_t>(words[3]); }
  int FaceGroup() const { return words[4]; }
};

struct MaqLamp {
  MaqFrame frame;
  LampParams stored;  // the four words as the file holds them
  // Normalised by the renderer's reader: intensity in tenths of a percent
  // (0 … 1000), aperture in degrees (0 … 360), and whether it casts shadows.
  int intensity = 0;
  int aperture = 0;
  bool castsShadows = true;
};

// The camera: viewing distance and focal value in model units, the angles
// TH and PH in radians, the target point.
struct MaqCamera {
  double distance = 40.0;
  double focal = 1000.0;
  double TH = 0.0;
  double PH = 0.0;
  Vec3 target{};
};

// What the renderer keeps of a map record besides its entry in the map
// list: the repeats with their decimals (the list's combined value holds
// whole repeats only) and the bump strength k, whose factor is
// (k + 50) / 50. Maps of the older per-object list repeat once and have
// strength 0.
struct MaqMapDetail {
  double repeatX = 1;
  double repeatY = 1;
  int bumpStrength = 0;
  bool operator==(const MaqMapDetail&) const = default;
};

// Everything one scene group holds.
struct MaqScene {
  std::array<std::int16_t, 10> sceneWords{};  // "SCEN" as stored
  int sceneNumber = 0;                        // SCEN word 0
  int objectCount = 0;                        // N
  bool hasCamera = false;                     // "CMRA" present; else the camera comes from SCEN
  MaqCamera camera;
  bool hasFrames = false;            // "REPO" present
  std::vector<MaqFrame> frames;      // N object frames, then the free frames
  std::vector<MaqLamp> lamps;        // at most 10
  std::vector<MaqObject> objects;    // N records and the closing record
  std::vector<Face> faces;           // "FACE"; only the first scene carries it
  std::vector<std::array<float, 3>> points;
  // The map list and assignments of the file (references are 1-based
  // indices into `maps`); the renderer reads them with the first scene.
  std::vector<MapEntry> maps;
  std::vector<Assignment> assignments;
  std::vector<MaqMapDetail> mapDetails;  // one per entry of `maps`

  int FreeFrameCount() const {
    return hasFrames ? static_cast<int>(frames.size()) - objectCount : 0;
  }
};

enum class MaqStatus {
  Ok,
  Missing,  // a chunk the scene needs is not in the file (or the scene is not)
  Invalid,  // the file is damaged or not a scene file
};

// An open scene file for the renderer: the whole file in memory and the
// position of the scene loop.
class MaqSceneFile {
 public:
  // Reads the file and its scene count ("SCHD"; one scene without it).
  // Invalid for a count below 1, Missing when the file cannot be read.
  MaqStatus Open(const std::filesystem::path& file);
  MaqStatus OpenBytes(Bytes bytes);

  int SceneCount() const { return sceneCount_; }
  // Why the last read failed, for the diagnostic console and batch mode.
  const std::string& Problem() const { return problem_; }

 private:
  friend MaqStatus ReadMaq(MaqSceneFile& file, int sceneNumber, MaqScene& scene, bool withMaps);
  MaqStatus ReadNext(MaqScene& scene, bool withMaps);

  Bytes bytes_;
  int sceneCount_ = 0;
  std::size_t position_ = 0;  // after the last scene read
  int nextScene_ = 1;
  std::vector<Face> firstFaces_;  // the first scene's faces serve every scene
  std::string problem_;
};

// Reads keyframe scene `sceneNumber` (1-based) of the file into `scene`.
// Scenes read in turn continue from the present position; any other number
// reads from the start. The first scene brings the faces and, with
// `withMaps`, the map list and assignments; later scenes leave `faces`
// empty (the first scene's faces serve them all).
MaqStatus ReadMaq(MaqSceneFile& file, int sceneNumber, MaqScene& scene, bool withMaps = true);

}  // namespace tessaran
