#include "renderer/app/render_maps.h"

#include <algorithm>
#include <cmath>

namespace tessaran {

namespace {

bool MappingOn(const MappingRecord& record) { return record.kind != -1 && record.on != 0; }

// A scale of 0 or less (or a damaged one) would collapse the map: the
// default then holds.
double Scale(std::int32_t stored, double fallback) {
  const double v = stored / kProjectMappingScale;
  return v > 0 && std::isfinite(v) ? v : fallback;
}

}  // namespace

MapSettings MapSettingsOf(const RenderProject& project, const std::filesystem::path& sceneDirectory,
                          const std::filesystem::path& dataDirectory) {
  MapSettings s;
  s.directory = sceneDirectory;
  s.dataDirectory = dataDirectory;
  s.rayTracing = project.mode == kRayTracing;
  if (MappingOn(project.ground)) {
    s.groundMap = NativePath(MappingImage(project.ground));
    s.groundTileX = Scale(project.ground.scaleX, s.groundTileX);
    s.groundTileY = Scale(project.ground.scaleY, s.groundTileY);
  }
  if (MappingOn(project.sky)) {
    s.skyMap = NativePath(MappingImage(project.sky));
    s.skyRepeat = Scale(project.sky.scaleX, 1);
  }
  return s;
}

void RenderMaps::SetSceneMaps(std::vector<MapEntry> maps, std::vector<MaqMapDetail> details,
                              std::vector<Assignment> assignments) {
  sceneMaps_ = std::move(maps);
  details_ = std::move(details);
  assignments_ = std::move(assignments);
}

const TextureMaps* RenderMaps::BeginFrame(const RenderProject& project, const FrameTables& frame, int imageNumber) {
  MapSettings settings = MapSettingsOf(project, scenePath_.parent_path(), dataDirectory_);
  settings.frameNumber = std::max(imageNumber, 0);
  settings.previewMaps = previewMaps_;
  maps_.InitListeMap(sceneMaps_, details_, assignments_, frame, settings);
  if (maps_.NameCount() == 0) return nullptr;
  maps_.LoadMaps(cache_);
  return &maps_;
}

}  // namespace tessaran
