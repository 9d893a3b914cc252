// Texture mapping: the list of map images (`ListeMappName`), their binding
// to the objects' colour, bump and opacity slots, the ground map
// ("Mapping Sol") and the sky map ("Mapping Ciel"), and the colour and
// luminance lookups the tracer makes at a hit.
//
// Images are loaded once each, on the calling thread, by `LoadMaps` before
// the pixel loop starts (loading shows progress and messages, which belong
// to the calling thread); lookups only read and may run on any thread.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "renderer/engine/engine.h"
#include "scene/maps.h"
#include "scene/maq_scene.h"

namespace tessaran {

enum MapRole { kColourMap = 0, kBumpMap = 1, kOpacityMap = 2 };

// Mapping types of a property record.
constexpr int kParametricMapping = 0;
constexpr int kSphericalMapping = 2;
constexpr int kGroundMapping = 10;  // the ground's tiling (u, v: scene x and z)

// `MappPropriety`.
struct MappPropriety {
  int type = kParametricMapping;
  double repeatX = 1;
  double repeatY = 1;
  double bumpFactor = 1;
  double p1 = 100;
  double p2 = 100;
};

struct MapSlot {
  int map = -1;  // map number: position in the name list, −1 = none
  MappPropriety prop;
};

// A loaded map image as 0x00RRGGBB texels, top row first.
struct MapImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> texels;
  std::uint32_t At(int x, int y) const { return texels[static_cast<std::size_t>(y) * width + x]; }
};

struct MappName {
  std::string name;
  int slot = -1;  // virtual image slot, −1 until loaded
  std::shared_ptr<const MapImage> image;
};

// A map the material preview's request carries: repetition is x × 1000 + y.
struct PreviewMap {
  std::string name;
  int repetition = 1001;
};

// What the mapping reads of the render project.
struct MapSettings {
  std::filesystem::path directory;  // the scene's directory: map names are resolved there first
  std::filesystem::path dataDirectory;  // then the bare file name is looked for here
  bool mappingOn = true;
  bool rayTracing = true;           // slots 10 and up
  bool smoothing = false;           // texture smoothing
  std::string groundMap;            // "Mapping Sol", empty = off
  double groundTileX = 100;
  double groundTileY = 100;
  std::string skyMap;               // "Mapping Ciel", empty = off
  double skyRepeat = 1;
  int frameNumber = 0;              // the frame an IFF ANIM map shows
  std::array<PreviewMap, 3> previewMaps;  // colour, bump, opacity of the preview
};

// The first virtual image slot of the maps in the "Ray-Tracing" mode.
constexpr int kFirstMapSlot = 10;

// The file a map name stands for: the name as written (the system's "\\"
// read as "/") when it exists, else beside the scene (the name, then its
// bare file name), else the bare file name in the data directory. The name
// as written when none exists (the load then fails and reports it).
std::filesystem::path ResolveMapPath(const std::string& name, const std::filesystem::path& directory,
                                     const std::filesystem::path& dataDirectory);

// The map images of a whole render, so that each still image is read once
// however many frames use it; an IFF ANIM map is read again whenever the
// frame changes, and a map that failed is reported once and not retried.
// Owns the virtual image slots the images were loaded into (10 and up).
class MapImageCache {
 public:
  MapImageCache() = default;
  MapImageCache(const MapImageCache&) = delete;
  MapImageCache& operator=(const MapImageCache&) = delete;
  ~MapImageCache() { Clear(); }
  void Clear();

  struct Entry {
    std::shared_ptr<const MapImage> image;  // null: the file could not be used
    int slot = -1;
    bool animated = false;
    int frame = 0;  // the frame an animated map holds
  };
  // The entry of a resolved path; null when the path was never asked for.
  Entry* Find(const std::string& path);
  Entry& Add(const std::string& path) { return entries_[path]; }
  int NextSlot() { return nextSlot_++; }
  std::size_t Loads() const { return loads_; }  // files read since the cache was made
  void CountLoad() { ++loads_; }

 private:
  std::map<std::string, Entry> entries_;
  int nextSlot_ = kFirstMapSlot;
  std::size_t loads_ = 0;
};

// The grid parameters of a point on a facet of a polygon grid object:
// (column, row) of the grid points blended barycentrically from the
// facet's three vertices (point-table indices a, b, c at A, B, C), so
// that a parametric map covers the grid as it covers the curved surface
// the grid stands for. u and v are left as they are for a degenerate facet.
void GridFacetParameters(const ObjectEntry& object, int a, int b, int c, const Vec3& A, const Vec3& B,
                         const Vec3& C, const Vec3& hit, double& u, double& v);

// Luminance of a packed colour (0 … about 0.996).
double MapLuminance(std::uint32_t rgb);

// The texel coordinates of the lookups (before truncation); false when the
// projection has no answer.
bool ParametricTexel(double u, double v, double uRange, double vRange, const MappPropriety& prop, int width,
                     int height, double& x, double& y);
bool GroundTexel(double u, double v, double tileX, double tileY, int width, int height, double& x, double& y);
// d: the point in the mapping's frame; sky: the sky's variant of the rule.
bool SphericalTexel(const Vec3& d, double repeatX, double repeatY, bool sky, int width, int height, double& x,
                    double& y);

class TextureMaps {
 public:
  // `InitListeMap`: frees the previous list, empties every object's slots
  // (objects of the frame, ground included) and applies the bindings of the
  // scene's map records, the ground map, the preview's maps and the sky.
  void InitListeMap(const std::vector<MapEntry>& maps, const std::vector<Assignment>& assignments,
                    const FrameTables& frame, const MapSettings& settings);
  // The same with the records' repeats (decimals included) and bump
  // strengths, one per map entry (entries without one: whole repeats of
  // the map list, strength 0).
  void InitListeMap(const std::vector<MapEntry>& maps, const std::vector<MaqMapDetail>& details,
                    const std::vector<Assignment>& assignments, const FrameTables& frame,
                    const MapSettings& settings);
  // Adds a name once; its map number. −1 after message 295.
  int PutNextMapp(std::string_view name);
  // Loads every image a slot uses into its virtual image slot; an image
  // that cannot be loaded is reported (message 325) and removed from every
  // slot that used it.
  void LoadMaps();
  // The same through a render's cache: images already read are taken from
  // it and new ones added; the cache keeps the slots.
  void LoadMaps(MapImageCache& cache);
  // Frees the list and the map slots (those of a cache stay its own).
  void Release();

  int NameCount() const { return static_cast<int>(names_.size()); }
  const MappName& Name(int map) const { return names_[map]; }
  const MapSlot& Slot(int object, int role) const;
  // The slot's image, null when the slot has none (or mapping is off).
  const MapImage* Image(int object, int role) const;
  // Whether a slot of the object holds a parametric map (which needs the
  // hit's surface parameters).
  bool UsesParameters(int object) const;
  bool HasSky() const { return sky_ >= 0 && settings_.mappingOn && names_[sky_].image != nullptr; }
  const MapSettings& Settings() const { return settings_; }

  // The colour of a map at a hit: u and v its parameters (the ground's
  // scene x and z), `point` the hit in camera coordinates. White when the
  // projection has no answer.
  std::uint32_t Lookup(int object, int role, double u, double v, const Vec3& point, const FrameTables& frame) const;
  // The normal bent by the bump map; tu and tv the surface's unit tangents
  // along u and v (camera coordinates).
  Vec3 Bump(int object, double u, double v, const Vec3& point, const Vec3& normal, const Vec3& tu, const Vec3& tv,
            const FrameTables& frame) const;
  // The sky's colour in a direction of scene coordinates.
  std::uint32_t Sky(const Vec3& direction) const;

 private:
  bool Texel(int object, int role, double u, double v, const Vec3& point, const FrameTables& frame, double& x,
             double& y, const MapImage*& image) const;
  std::uint32_t Sample(const MapImage& image, double x, double y, double area) const;
  double TexelArea(int object, int role, const MapImage& image, const FrameTables& frame) const;
  void Bind(int object, int role, int map, const MappPropriety& prop);
  void RemoveMap(int map);

  bool LoadImage(MappName& entry, int slot);

  MapSettings settings_;
  bool cacheSlots_ = false;  // the loaded slots belong to a MapImageCache
  std::vector<MappName> names_;
  std::vector<std::array<MapSlot, 3>> slots_;  // per object, the ground last
  int sky_ = -1;
  int nextSlot_ = kFirstMapSlot;
};

}  // namespace tessaran
