// The render project (".RPJ"): how the renderer computes a scene. An IFF
// file of form type "KRPJ" holding the parameter block "RZPM", the image
// counts "IMPS", the plane image paths "FPAT" and the mapping records
// "EVMP", and for a run limited to a last image the chunk "LAST", for
// output files named after the whole scene name the chunk "NAMS", and for
// the project a stopped render saved to resume from the chunk "RESM". The
// struct is a plain value: the project dialog edits a working copy and
// hands it back.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"

namespace tessaran {

// Renderer messages of the project file.
constexpr int kMsgProjectCreateError = 91;  // "Erreur de Creation RPJ"
constexpr int kMsgProjectInvalid = 92;      // "Fichier RPJ invalide"

// Sizes of the fixed records and paths.
constexpr std::size_t kProjectBlockSize = 236;
constexpr std::size_t kMappingRecordSize = 216;
constexpr std::size_t kProjectPathSize = 152;  // NUL included
// A scene count above this is no scene file's: the project is damaged.
constexpr std::int32_t kMaxProjectScenes = 65535;

// Render modes (offset 200).
enum RenderMode : std::int16_t { kWireframe = 0, kPolygon = 1, kPixel = 2, kRayTracing = 3 };

// Output flags (offset 204).
constexpr std::uint16_t kOutBackPlane = 0x01;
constexpr std::uint16_t kOutFrontPlane = 0x02;
constexpr std::uint16_t kOutImages = 0x04;
constexpr std::uint16_t kOutAnimation = 0x08;
constexpr std::uint16_t kOutLoop = 0x10;
constexpr std::uint16_t kOutNumberFromOne = 0x20;
constexpr std::uint16_t kOutScreenImages = 0x40;
constexpr std::uint16_t kOut24BitImages = 0x80;

// Second flag word (offset 202).
constexpr std::uint16_t kFlagTrueColour = 0x08;
constexpr std::uint16_t kFlagAntialias = 0x10;

// Ray-tracing switches (offset 214).
constexpr std::uint16_t kSwitchGround = 0x01;
constexpr std::uint16_t kSwitchSky = 0x02;

// One mapping record: sky (first slot) or ground (second slot).
struct MappingRecord {
  std::int32_t kind = -1;  // -1: no mapping, and the record is not written
  std::int32_t on = 0;     // "Mapping Ciel" / "Mapping Sol" checked
  std::int32_t value8 = -5;
  std::int32_t scaleX = 100000;
  std::int32_t scaleY = 100000;
  std::array<std::uint8_t, kMappingRecordSize - 20> rest{};  // carried as stored

  bool operator==(const MappingRecord&) const = default;
};

// The record's image file (the sky or ground picture) is kept at offset 20,
// NUL-terminated, in the part the mapping dialogs own.
std::string MappingImage(const MappingRecord& mapping);
void SetMappingImage(MappingRecord& mapping, std::string_view path);

MappingRecord DefaultSkyMapping();     // first slot
MappingRecord DefaultGroundMapping();  // second slot

struct RenderProject {
  // The parameter block, field by field at its offsets.
  std::array<char, kProjectPathSize> scene{};  // 0: NUL-terminated; bytes after the NUL kept
  std::int16_t width = 320;                    // 152
  std::int16_t height = 200;                   // 154
  std::int16_t pixelRatio = 1200;              // 156, tenths of a percent
  std::int16_t sunIntensity = 100;             // 158, 0 … 160
  std::int16_t sunV = 0;                       // 160, −180 … 180
  std::int16_t sunH = 0;                       // 162, −90 … 90
  std::array<std::uint32_t, 5> skyColours{};   // 164, red in bits 0–7
  std::int16_t recursion = 4;                  // 184
  std::int16_t ambient = 10;                   // 186
  std::uint8_t raySunShadows = 1;              // 188
  std::uint8_t rayLampShadows = 1;             // 189
  std::uint8_t pixelSunShadows = 0;            // 190
  std::uint8_t pixelLampShadows = 0;           // 191
  std::array<std::uint8_t, 4> carried192{1, 1, 1, 1};
  std::array<std::uint8_t, 2> carried196{1, 1};
  std::int16_t carried198 = 1;
  std::int16_t mode = kPixel;                  // 200
  std::uint16_t flags = kFlagTrueColour;       // 202
  std::uint16_t output = 0x8C;                 // 204
  std::int16_t format24 = 5;                   // 206
  std::int16_t format8 = 0;                    // 208
  std::int16_t animFormat = 0;                 // 210
  std::int16_t sunRelative = 1;                // 212
  std::uint16_t raySwitches = 0;               // 214
  std::int32_t sceneCount = 0;                 // 216
  std::int32_t lastSeconds = 0;                // 220
  std::int16_t antialias = 0;                  // 224
  std::int16_t firstImage = 1;                 // 226
  std::int16_t resumeX = 0;                    // 228
  std::int16_t resumeY = 0;                    // 230
  std::int32_t carried232 = 0;

  std::string backPlane;                    // at most 151 characters
  std::string frontPlane;
  std::vector<std::int32_t> imageCounts;    // images from scene i to the next
  MappingRecord sky = DefaultSkyMapping();
  MappingRecord ground = DefaultGroundMapping();
  // The last image number to compute, so that a farm's share of an
  // animation, stopped and resumed, stays its share. −1: to the end, and
  // no "LAST" chunk (a file without one reads as −1).
  std::int32_t lastImage = -1;
  // Numbered output files keep the whole scene name rather than the 8.3
  // cut ("NAMS"; without the chunk: cut).
  bool fullNames = false;
  // What a stopped render saved for its resume ("RESM"): the frames its
  // animation file holds (−1: none to go on from) and whether the project
  // file was made by the stop rather than being the user's own.
  std::int32_t resumeFrames = -1;
  bool madeForResume = false;

  std::string SceneName() const;
  // Sets the scene path (cut to 151 characters); the rest of the field is cleared.
  void SetSceneName(std::string_view path);
  bool HasResume() const { return resumeX != 0 || resumeY != 0; }
  void ClearResume() {
    resumeX = resumeY = 0;
    resumeFrames = -1;
  }
  bool Output(std::uint16_t bit) const { return (output & bit) != 0; }
  void SetOutput(std::uint16_t bit, bool on) {
    output = static_cast<std::uint16_t>(on ? output | bit : output & ~bit);
  }

  bool operator==(const RenderProject&) const = default;
};

// The "\\" of the system's file texts (paths held in projects, command
// lines, settings) becomes "/".
std::string NativePath(std::string_view text);

// Every field to its default; no scene, plane paths or image counts.
void ResetProject(RenderProject& project);

// The file's bytes. Chunks the file lacks leave the project's fields as they
// were; a file that is not a render project or is damaged leaves the project
// untouched and returns false with the reason in *problem.
bool ParseProject(ByteSpan bytes, RenderProject& project, std::string* problem = nullptr);
Bytes SerializeProject(const RenderProject& project);

// Reads a project file; false after message 92 when it cannot be read or is
// not a sound project (the project is then unchanged).
bool ReadProject(RenderProject& project, const std::filesystem::path& path);

// Writes a project file, replacing any old one only once the new one is
// whole. With a write-redirect directory the file goes there under its own
// name. False after message 91.
bool WriteProject(const RenderProject& project, const std::filesystem::path& path,
                  const std::filesystem::path& redirect = {});

// Where a file of `path` is written while a redirect directory is set.
std::filesystem::path RedirectedPath(const std::filesystem::path& path,
                                     const std::filesystem::path& redirect);

}  // namespace tessaran
