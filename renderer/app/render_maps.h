// The texture maps of a render: the scene file's map records and
// assignments, the project's ground ("Mapping Sol") and sky ("Mapping
// Ciel") maps, and the material preview's maps, bound afresh for every
// frame (`InitListeMap`, `LoadMaps`, `Release`) while each image file is
// read once for the whole render.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "renderer/app/render_project.h"
#include "renderer/engine/mapping.h"
#include "scene/maq_scene.h"

namespace tessaran {

// Mapping scales of the project are stored in hundred-thousandths.
constexpr double kProjectMappingScale = 100000.0;

// What the mapping reads of the project: the ground map and its tile size
// when its record is on, the sky map and its repeat when its record is on.
// Map names are looked for beside the scene, then in the data directory.
MapSettings MapSettingsOf(const RenderProject& project, const std::filesystem::path& sceneDirectory,
                          const std::filesystem::path& dataDirectory);

class RenderMaps {
 public:
  // The scene file: map names are looked for beside it.
  void SetSceneFile(const std::filesystem::path& scene) { scenePath_ = scene; }
  // The scene's map records ("MAPX", "LSTM", "MAPP"), as read with its
  // first keyframe scene; none until given.
  void SetSceneMaps(std::vector<MapEntry> maps, std::vector<MaqMapDetail> details,
                    std::vector<Assignment> assignments);
  void SetDataDirectory(const std::filesystem::path& directory) { dataDirectory_ = directory; }
  // The colour, bump and opacity maps of the material preview.
  void SetPreviewMaps(const std::array<PreviewMap, 3>& maps) { previewMaps_ = maps; }

  // Binds and loads the maps of image `imageNumber` of `frame` (an IFF
  // ANIM map shows its frame of that number, modulo its frame count); null
  // when nothing is mapped.
  const TextureMaps* BeginFrame(const RenderProject& project, const FrameTables& frame, int imageNumber);
  // Frees the frame's bindings (the images stay for the next frame).
  void EndFrame() { maps_.Release(); }

  // Image files read so far.
  std::size_t Loads() const { return cache_.Loads(); }

 private:
  std::filesystem::path scenePath_;
  std::filesystem::path dataDirectory_;
  std::vector<MapEntry> sceneMaps_;
  std::vector<MaqMapDetail> details_;
  std::vector<Assignment> assignments_;
  std::array<PreviewMap, 3> previewMaps_;
  MapImageCache cache_;
  TextureMaps maps_;
};

}  // namespace tessaran
