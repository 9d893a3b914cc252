// The renderer's reader: each chunk of a scene is looked up by tag from the
// present position, optional ones from a saved position that the search
// leaves where it was.
#include <algorithm>

#include "platform/console.h"
#include "scene/maq_format.h"
#include "scene/maq_scene.h"
#include "storage/iff.h"

namespace tessaran {

namespace {

using namespace maq;

enum class Found { Yes, No, Damaged };

// Looks for `tag` from byte `from`, entering "FORM", "PROP" and "LIST".
// Within a scene the search ends at the next scene's "SCEN": a chunk the
// scene lacks must not be taken from the scene after it.
Found Search(ByteSpan bytes, std::string_view tag, std::size_t from, bool withinScene,
             std::optional<ByteSpan>& data, std::size_t* after = nullptr) {
  IffScanner scanner(bytes, from);
  IffChunk chunk;
  while (scanner.Next(chunk)) {
    if (chunk.tag == tag && !IsIffGroup(chunk.tag)) {
      data = chunk.data;
      if (after) *after = scanner.Position();
      return Found::Yes;
    }
    if (withinScene && chunk.tag == kSCEN) return Found::No;
  }
  return scanner.Truncated() ? Found::Damaged : Found::No;
}

// The focal value of the coarse zoom of SCEN (whole tenths).
double FocalFromScene(const MaqScene& scene, double distance) {
  const auto zoom = static_cast<std::uint16_t>(scene.sceneWords[3]);
  return CameraFocal(distance, zoom >= 10 ? zoom / 10 : 1.0);
}

// A scene without CMRA: the camera from the coarse words of SCEN.
void CameraFromScene(MaqScene& scene) {
  MaqCamera& c = scene.camera;
  c = MaqCamera{};
  c.distance = static_cast<std::uint16_t>(scene.sceneWords[2]) / 50.0;
  c.focal = FocalFromScene(scene, c.distance);
  c.TH = scene.sceneWords[4] * kDegree;
  c.PH = scene.sceneWords[5] * kDegree;
}

// Intensity above 100 and below 200 is 100; 200 or more is a lamp that
// casts no shadows, of the intensity less 200; the aperture stops at 360.
void NormaliseLamp(MaqLamp& lamp) {
  int intensity = lamp.stored.intensity;
  lamp.castsShadows = intensity < kNoShadowingOffset;
  if (!lamp.castsShadows) intensity -= kNoShadowingOffset;
  lamp.intensity = std::min(intensity, 100) * 10;
  lamp.aperture = std::min<int>(lamp.stored.aperture, 360);
}

// Offsets within a MAPX record of what the map list leaves out.
constexpr std::size_t kMapDecimalsX = 104;
constexpr std::size_t kMapDecimalsY = 108;
constexpr std::size_t kMapRepeatX = 120;
constexpr std::size_t kMapRepeatY = 124;
constexpr std::size_t kMapBumpStrength = 128;
// More decimals than this no repeat needs: a larger count (or a negative
// one) is a damaged record, whose repeat is then taken as written.
constexpr std::int32_t kMaxMapDecimals = 9;

double MapRepeat(std::int32_t value, std::int32_t decimals) {
  if (decimals < 0 || decimals > kMaxMapDecimals) {
    Trace("ReadMaq MAPX decimales %d ignorees\n", decimals);
    decimals = 0;
  }
  double divisor = 1;
  for (std::int32_t i = 0; i < decimals; ++i) divisor *= 10;
  return value / divisor;
}

std::int32_t WordAt(ByteSpan record, std::size_t offset) {
  ByteReader r(record.subspan(offset, 4));
  return r.I32BE();
}

// One detail per map entry: the MAPX records first (as the map list holds
// them), then the older list's maps.
void DecodeMapDetails(const std::optional<ByteSpan>& mapx, MaqScene& scene) {
  scene.mapDetails.assign(scene.maps.size(), MaqMapDetail{});
  if (!mapx) return;
  const std::size_t records = std::min(mapx->size() / kMapSize, scene.maps.size());
  for (std::size_t i = 0; i < records; ++i) {
    const ByteSpan record = mapx->subspan(i * kMapSize, kMapSize);
    MaqMapDetail& d = scene.mapDetails[i];
    d.repeatX = MapRepeat(WordAt(record, kMapRepeatX), WordAt(record, kMapDecimalsX));
    d.repeatY = MapRepeat(WordAt(record, kMapRepeatY), WordAt(record, kMapDecimalsY));
    d.bumpStrength = WordAt(record, kMapBumpStrength);
  }
}

}  // namespace

MaqStatus MaqSceneFile::Open(const std::filesystem::path& file) {
  Bytes bytes;
  if (!ReadWholeFile(file, bytes, &problem_)) return MaqStatus::Missing;
  return OpenBytes(std::move(bytes));
}

MaqStatus MaqSceneFile::OpenBytes(Bytes bytes) {
  bytes_ = std::move(bytes);
  position_ = 0;
  nextScene_ = 1;
  firstFaces_.clear();
  sceneCount_ = 0;
  if (bytes_.size() < 12 || ByteReader(bytes_).Tag() != "FORM") {
    problem_ = "not an IFF file";
    return MaqStatus::Invalid;
  }
  const std::optional<IffChunk> schd = IffFind(bytes_, kSCHD);
  sceneCount_ = schd ? DecodeSceneCount(schd->data) : 1;
  if (sceneCount_ < 1) {
    problem_ = "SCHD of " + std::to_string(sceneCount_) + " scenes";
    sceneCount_ = 0;
    return MaqStatus::Invalid;
  }
  return MaqStatus::Ok;
}

MaqStatus MaqSceneFile::ReadNext(MaqScene& scene, bool withMaps) {
  const bool first = nextScene_ == 1;
  SceneChunks chunks;
  std::size_t position = position_;
  auto need = [&](const char* tag, std::optional<ByteSpan>& slot) {
    const Found found = Search(bytes_, tag, position, tag != std::string_view(kSCEN), slot, &position);
    if (found == Found::Yes) return MaqStatus::Ok;
    problem_ = std::string(found == Found::Damaged ? "a chunk passes the end of the file looking for "
                                                   : "no ") + tag + " in scene " + std::to_string(nextScene_);
    return found == Found::Damaged ? MaqStatus::Invalid : MaqStatus::Missing;
  };
  auto probe = [&](const char* tag, std::optional<ByteSpan>& slot, std::size_t from, bool withinScene) {
    if (Search(bytes_, tag, from, withinScene, slot) != Found::Damaged) return true;
    problem_ = std::string("a chunk passes the end of the file looking for ") + tag;
    return false;
  };

  MaqStatus status = need(kSCEN, chunks.scen);
  if (status != MaqStatus::Ok) return status;
  if (!probe(kCMRA, chunks.cmra, position, true) || !probe(kREPO, chunks.repo, position, true) ||
      !probe(kLAMP, chunks.lamp, position, true)) {
    return MaqStatus::Invalid;
  }
  if ((status = need(kOBJE, chunks.obje)) != MaqStatus::Ok) return status;
  Trace("ReadMaq OBJE OK\n");
  if (first && !probe(kFACE, chunks.face, position, true)) return MaqStatus::Invalid;
  if ((status = need(kPTSX, chunks.ptsx)) != MaqStatus::Ok) return status;
  // The map chunks lie in the header group: searched from the start.
  if (first && withMaps &&
      (!probe(kMAPX, chunks.mapx, 0, false) || !probe(kLSTM, chunks.lstm, 0, false) ||
       !probe(kMAPP, chunks.mapp, 0, false))) {
    return MaqStatus::Invalid;
  }

  if (!DecodeScene(chunks, first ? nullptr : &firstFaces_, scene, problem_)) return MaqStatus::Invalid;
  // The faces serve the scenes after the first; a file of one scene has none.
  if (first && sceneCount_ > 1) firstFaces_ = scene.faces;
  if (first && withMaps) DecodeMapDetails(chunks.mapx, scene);
  if (!scene.hasCamera) CameraFromScene(scene);
  // A focal value of 0 or less describes no camera: the zoom of SCEN's.
  if (!(scene.camera.focal > 0)) scene.camera.focal = FocalFromScene(scene, scene.camera.distance);
  for (MaqLamp& lamp : scene.lamps) NormaliseLamp(lamp);
  position_ = position;
  ++nextScene_;
  return MaqStatus::Ok;
}

MaqStatus ReadMaq(MaqSceneFile& file, int sceneNumber, MaqScene& scene, bool withMaps) {
  if (sceneNumber < 1 || sceneNumber > file.sceneCount_) {
    file.problem_ = "no scene " + std::to_string(sceneNumber);
    return MaqStatus::Missing;
  }
  if (sceneNumber != file.nextScene_) {
    // Another scene than the next one: from the start, through the scenes
    // before it (the first brings the faces).
    file.position_ = 0;
    file.nextScene_ = 1;
    file.firstFaces_.clear();
    MaqScene skipped;
    while (file.nextScene_ < sceneNumber) {
      const MaqStatus status = file.ReadNext(skipped, false);
      if (status != MaqStatus::Ok) return status;
    }
  }
  const MaqStatus status = file.ReadNext(scene, withMaps);
  if (status != MaqStatus::Ok) Trace("ReadMaq scene %d : %s\n", sceneNumber, file.problem_.c_str());
  return status;
}

}  // namespace tessaran
