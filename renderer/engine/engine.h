// The renderer engine's tables for one frame: what the scene loop and the
// frame set-up fill, and the settings and hooks they read. Everything here
// is in the renderer's camera coordinates once a frame is set up: eye at
// the origin, looking along −z, y up.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "renderer/engine/unset_vector.h"
#include "scene/camera.h"
#include "scene/faces.h"
#include "scene/frames.h"
#include "scene/objects.h"  // FaceGroup: the faces of one facet object

namespace tessaran {

// What the engine reads of the render project and of the renderer's
// settings ("RZ_ENV"), already converted by the shell.
struct RenderSettings {
  int width = 320;
  int height = 200;
  int pixelRatio = 1200;        // tenths of a percent
  bool rayTracing = true;       // render mode "Ray-Tracing"
  bool groundOn = false;        // a ground colour is set
  std::uint16_t groundColour = 0x0888;  // 12-bit RGB
  bool lampShadows = true;      // shadow option for the modeler's lamps
  bool sunShadows = true;
  int sunIntensity = 100;       // 0 = no sun
  int sunV = 0;                 // degrees about the vertical, −180 … 180
  int sunH = 0;                 // degrees of elevation, −90 … 90
  bool sunRelative = true;      // angles taken in the camera's axes, else the scene's
  bool loop = false;            // one more interval from the last scene back to the first
  std::vector<int> imageCounts; // images from keyframe scene i to the next
  int maxOctreeDepth = 4;       // "MAX_OCTREE_DEPTH", kept within 1 … 8
  int octreeMaxNodeElem = 8;    // "OCTREE_MAX_NODE_ELEM", kept within 1 … 1000
  int threads = 0;              // worker threads of the preparation; 0: every core
  bool limitPools = false;      // the memory-limit option: each pool gets a maximum
  // Bytes the pools may take; 0 means what the system has available.
  std::uint64_t poolMemory = 0;
};

// The worker count for a requested count (0: every core, at least 1).
int WorkerCount(int requested);

// Where the engine reports progress: the status line of the renderer's
// window, the stop request, and the preview window the preparation draws
// on. The defaults show nothing and never stop.
class EngineHooks {
 public:
  virtual ~EngineHooks() = default;
  // Status line text: a message number of the renderer's library.
  virtual void Status(int /*message*/) {}
  // Per-point progress of the Phong normals (278 with one index, 279 with
  // two); called often, so only a window that shows it should override.
  virtual void PointProgress(int /*message*/, long /*i*/, long /*j*/) {}
  // The fraction done; true when the user asked to stop.
  virtual bool Stop(double /*fraction*/) { return false; }
  // The preview window: cleared to black, then lines in window pixels.
  virtual bool WantsPreview() const { return false; }
  virtual void PreviewClear() {}
  virtual void PreviewLine(double /*x0*/, double /*y0*/, double /*x1*/, double /*y1*/, std::uint32_t /*rgb*/) {}
};

// Bits of the flags word (the colour word `Col`).
inline int SurfaceKind(std::uint16_t flags) { return flags >> 14; }
inline int MaterialClass(std::uint16_t flags) { return (flags >> 12) & 3; }
constexpr int kCurvedSurface = 0;
constexpr int kSmoothSurface = 1;

// Object entry: one per object in file order, and the ground after them.
struct ObjectEntry {
  int nu = 0;               // grid points per row
  int nv = 0;               // rows
  int firstPoint = 0;       // 0-based index into the point table
  int pointCount = 0;
  std::uint16_t flags = 0;  // colour, material class, surface kind
  int faceGroup = 0;        // 1-based face group of a facet object, 0 for a grid
  int firstFacet = 0;       // into the facet table
  int facetCount = 0;       // facet slots reserved
  int firstPhong = -1;      // into the Phong normal table, −1 without
  // The object's reference frame (scene coordinates), for mappings and the
  // preview sphere; the scale from older files without frames.
  Vec3 frameOrigin{};
  Mat3 frameOrientation = IdentityMatrix();
  Vec3 frameScale{1, 1, 1};

  bool IsFacetObject() const { return faceGroup > 0; }
  bool IsCurved() const { return !IsFacetObject() && SurfaceKind(flags) == kCurvedSurface; }
  bool IsPolygonGrid() const { return !IsFacetObject() && SurfaceKind(flags) != kCurvedSurface; }
  bool IsSmooth() const { return SurfaceKind(flags) == kSmoothSurface; }
};

// One `TabMAT` entry.
struct MaterialEntry {
  std::uint8_t reflection = 0;
  std::uint8_t transmission = 0;
  std::uint8_t refraction = 0;
  std::uint8_t KSpec = 0;
  std::uint8_t NSpec = 0;
  bool isDefault = true;  // all five percentages 0: the class defaults
  std::uint16_t col = 0;
  double Ks = 0;
  double Ns = 0;
  double Kd = 0;
  double CfxTr = 0;
};

// A lamp in the engine's form.
struct EngineLamp {
  Vec3 position{};
  Vec3 axis{};               // unit spot axis, from the lamp into the scene
  std::uint16_t colour = 0x0FFF;  // 4095 = white
  int intensity = 0;         // 0 … 1000
  int cone = 0;              // degrees, 0 … 360
  double coneCos = 1;        // cos of half the cone; set for cones of 1 … 360
  bool lit = true;
  bool shadows = true;
};

struct Sun {
  bool present = false;
  Vec3 direction{};  // unit, towards the sun
  Vec3 opposite{};
  double intensity = 0;
  bool shadows = false;
};

// The frame being rendered: filled by the scene loop and the frame set-up.
struct FrameTables {
  Camera camera;
  ScreenMapping mapping;       // the output image's screen scales
  int width = 320;             // the output image
  int height = 200;
  int objectCount = 0;         // N; the ground, when on, is entry N
  bool hasGround = false;
  std::vector<ObjectEntry> objects;
  std::vector<MaterialEntry> TabMAT;
  std::vector<char> opacityMapped;  // per object: an opacity map is assigned
  std::vector<FaceGroup> faceGroups;
  std::vector<Face> faces;     // `VTabFace`
  bool fileHasFaces = false;
  // Camera coordinates; sized unset, since every point is placed right after.
  UnsetVector<std::array<float, 3>> points;
  std::vector<EngineLamp> lamps;
  Sun sun;
  std::vector<double> objectDepth;  // largest z of each object's points
  std::vector<int> depthOrder;      // objects, farthest first
  double zmin = 0;
  double zmax = 0;
  double depthScale = 1;       // 65535 / (zmax − zmin), for the depth buffer
  bool previewMaterial = false;     // the material-preview sphere scene
};

}  // namespace tessaran
