// The scene file's tags, record layouts and scales, shared by its writer
// and its two readers. Private to scene/.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "scene/maq_file.h"
#include "scene/maq_scene.h"

namespace tessaran::maq {

// Form types and chunk tags.
inline constexpr char kFileType[] = "TSRN";
inline constexpr char kHeaderType[] = "TSHD";
inline constexpr char kSceneType[] = "TSSC";
inline constexpr char kMAPX[] = "MAPX";
inline constexpr char kLSTM[] = "LSTM";
inline constexpr char kMAPP[] = "MAPP";
inline constexpr char kSCHD[] = "SCHD";
inline constexpr char kSCEN[] = "SCEN";
inline constexpr char kCMRA[] = "CMRA";
inline constexpr char kREPO[] = "REPO";
inline constexpr char kLAMP[] = "LAMP";
inline constexpr char kOBJE[] = "OBJE";
inline constexpr char kFACE[] = "FACE";
inline constexpr char kPTSX[] = "PTSX";

// Payload and record sizes.
inline constexpr std::size_t kSchdSize = 2;
inline constexpr std::size_t kScenSize = 20;
inline constexpr std::size_t kCmraSize = 32;
inline constexpr std::size_t kOlderCmraSize = 64;   // eight little-endian doubles
inline constexpr std::size_t kFrameSize = 112;
inline constexpr std::size_t kOlderFrameSize = 216; // the renderer's native frame
inline constexpr std::size_t kLampSize = 120;
inline constexpr std::size_t kObjectSize = 24;
inline constexpr std::size_t kFaceSize = 8;
inline constexpr std::size_t kPointSize = 12;
inline constexpr std::size_t kMapSize = 152;
inline constexpr std::size_t kMapNameSize = kMaqMapNameLength + 1;
inline constexpr std::size_t kAssignmentSize = 16;
inline constexpr std::size_t kOlderMapSize = 52;
inline constexpr std::size_t kOlderMapNameSize = 50;

// Scales of the integers in the file.
// (kLengthScale and kPointScale are in scene/maq_file.h, with the limits
// they set.)
inline constexpr double kAngleScale = 600000.0;   // CMRA angles, in radians
inline constexpr double kDegree = 0.01745329252;  // radians per degree, as the system has it

// The map entry the older per-object map list ("MAPP") stands for.
inline constexpr std::int32_t kOlderMapType = 2;
inline constexpr std::int32_t kOlderMapRepetition = 1001;

// A value times its scale, rounded to the nearest integer, so that a value
// read from a file (the integer divided by the scale) is written back as the
// same integer. Values beyond 32 bits are clamped.
std::int32_t ToFile(double value, double scale);

// The coarse copies in SCEN (zoom × 10, whole degrees, PERS): truncated, but
// of the value moved away from zero by the resolution of the value it comes
// from, so that 29.99999746° read back from CMRA gives 30 again while a zoom
// of 2.35 still gives 23. Clamped to 16 bits.
std::int16_t CoarseWord(double value, double resolution);
std::uint16_t CoarseUnsignedWord(double value, double resolution);

// The resolution of an angle in degrees read from CMRA.
inline constexpr double kAngleResolution = 1.0 / kAngleScale / kDegree;

// The camera derived from the view, as CMRA stores it: viewing distance
// D = PERS × 0.02 and focal value F = D × 25 / zoom. A PERS below 1 (an eye
// on the target, where nothing can be seen) counts as 1.
double CameraDistance(int PERS);
double CameraFocal(double distance, double zoom);

// The chunks of one scene group and the file's header chunks, as found.
struct SceneChunks {
  std::optional<ByteSpan> scen, cmra, repo, lamp, obje, face, ptsx;
  std::optional<ByteSpan> mapx, lstm, mapp;
};

// Decodes the chunks into `scene` and checks that every count fits its
// payload and every index its table: first points within the points,
// meshes matching their points, face groups within the faces and face
// numbers within their object, at most 10 lamps, assignments within the
// objects and maps. `faces` are the first scene's faces when the chunks
// carry none. False with the reason; `scene` is then unspecified.
bool DecodeScene(const SceneChunks& chunks, const std::vector<Face>* firstFaces, MaqScene& scene,
                 std::string& problem);

// The scene count of SCHD; 0 when the payload is too short.
int DecodeSceneCount(ByteSpan schd);

}  // namespace tessaran::maq
