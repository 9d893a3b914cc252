// Frame set-up: everything of one frame interpolated between two keyframe
// scenes with t (0 at the previous keyframe, 1 at the next), the material
// coefficients of `TabMAT`, the points in camera coordinates, the sun, the
// depth order of the objects and the incremental moves of the objects'
// reference frames.
#pragma once

#include <array>
#include <vector>

#include "renderer/engine/engine.h"
#include "scene/maq_scene.h"

namespace tessaran {

// One keyframe scene as the engine keeps it: its object entries, material
// percentages and colour, lamps, camera and points (scene coordinates).
struct Keyframe {
  MaqCamera camera;
  std::vector<ObjectEntry> objects;      // N entries, no ground
  std::vector<MaterialEntry> materials;  // percentages, colour, default flag
  std::vector<MaqLamp> lamps;
  std::vector<std::array<float, 3>> points;
};

// Fills `key` from a scene read by `ReadMaq`. Face groups are numbered as
// they are met: the first scene appends them to `faceGroups`; later scenes
// (null) take the numbers the first scene gave.
void KeyframeFromScene(const MaqScene& scene, Keyframe& key, std::vector<FaceGroup>* faceGroups);
// The same, the scene's points moved into the keyframe instead of copied:
// the scene is left without its points, the rest as it was.
void KeyframeFromScene(MaqScene&& scene, Keyframe& key, std::vector<FaceGroup>* faceGroups);

// Whether two keyframes describe the same objects, so that one can be
// interpolated into the other (same objects, meshes and point count).
bool KeyframesMatch(const Keyframe& a, const Keyframe& b);

// The objects' reference frames as they move through an interval.
struct ReferenceFrames {
  std::vector<Vec3> origin;
  std::vector<Mat3> orientation;
};

// Starts an interval: the reference frames at the previous keyframe.
void StartReferenceFrames(const Keyframe& previous, ReferenceFrames& frames);

// Moves the reference frames on frame k (1-based) of `count` frames of an
// interval of n images: the origin by 1/(r + 2) of its remaining way, r the
// frames still to come (all of it on the last frame); a turn of more than
// 0.00001 between the keyframes by its angle ÷ n about its axis. Only the
// frames of objects in both keyframes move.
void AdvanceReferenceFrames(const Keyframe& previous, const Keyframe& next, int k, int count, int n,
                            ReferenceFrames& frames);

// Lighting coefficients of one `TabMAT` entry, by the rules of the default
// flag, the "Ray-Tracing" mode, transmission and an opacity map.
void ComputeMaterial(MaterialEntry& entry, bool rayTracing, bool opacityMapped);

// Every entry, with its console line.
void ComputeMaterials(FrameTables& frame, bool rayTracing);

// Fills the frame for t from two keyframes (give the same keyframe twice
// for a single scene): camera, lamps, materials and their coefficients,
// points in camera coordinates, the sun, the ground entry, the depth order
// and the depth scale. The reference frames are copied in. Keyframes of
// other objects are interpolated over what they share: the camera always;
// a lamp of one keyframe only fades in or out; an object in both (the same
// mesh at the same place of the list) moves; the others are shown as the
// keyframe the frame starts from has them (the next one at t = 1).
void SetUpFrame(const Keyframe& previous, const Keyframe& next, double t, const RenderSettings& settings,
                const ReferenceFrames& references, FrameTables& frame);

// A 12-bit colour blended channel by channel.
std::uint16_t BlendColour(std::uint16_t a, std::uint16_t b, double t);

// The depth order and depth scale of the frame's points (also used alone).
void SortByDepth(FrameTables& frame);

}  // namespace tessaran
