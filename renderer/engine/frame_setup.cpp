#include "renderer/engine/frame_setup.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/console.h"
#include "renderer/engine/parallel_ranges.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

constexpr double kDegree = 0.01745329252;
constexpr double kMinTurn = 0.00001;
// Points a thread places at least: fewer are placed sooner than a thread starts.
constexpr std::size_t kPointGrain = 20000;

int LerpInt(int a, int b, double t) { return static_cast<int>(std::lround(a + (b - a) * t)); }
std::uint8_t LerpByte(std::uint8_t a, std::uint8_t b, double t) {
  return static_cast<std::uint8_t>(std::clamp(LerpInt(a, b, t), 0, 255));
}

// The frame of an object of an older file (no "REPO"): its rotation angles
// (degrees) about x, then y, then z, and its scale factors in tenths.
void FrameFromRecord(const MaqObject& o, ObjectEntry& e) {
  Mat3 m = IdentityMatrix();
  Rotate(m, Axis::X, o.words[0] * kDegree);
  Rotate(m, Axis::Y, o.words[1] * kDegree);
  Rotate(m, Axis::Z, o.words[2] * kDegree);
  e.frameOrientation = m;
  for (int i = 0; i < 3; ++i) e.frameScale[i] = o.words[3 + i] / 10.0;
}

// The turn that carries orientation a onto b (rows are axes): its unit axis
// and angle.
void TurnBetween(const Mat3& a, const Mat3& b, Vec3& axis, double& angle) {
  // G = bᵀ·a maps a's axes (as columns) onto b's.
  Mat3 g{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      g[i][j] = b[0][i] * a[0][j] + b[1][i] * a[1][j] + b[2][i] * a[2][j];
    }
  }
  const double c = std::clamp((g[0][0] + g[1][1] + g[2][2] - 1) / 2, -1.0, 1.0);
  angle = std::acos(c);
  axis = Normalise(Vec3{g[2][1] - g[1][2], g[0][2] - g[2][0], g[1][0] - g[0][1]});
  if (Length(axis) == 0) {
    // A half turn: the axis is the column of G + I of largest length.
    Vec3 best{};
    for (int j = 0; j < 3; ++j) {
      const Vec3 col{g[0][j] + (j == 0), g[1][j] + (j == 1), g[2][j] + (j == 2)};
      if (Length(col) > Length(best)) best = col;
    }
    axis = Normalise(best);
    if (Length(axis) == 0) angle = 0;
  }
}

// Turns every axis (row) of m about a unit axis by an angle.
void TurnAbout(Mat3& m, const Vec3& axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  for (Vec3& v : m) {
    v = c * v + s * Cross(axis, v) + ((1 - c) * Dot(axis, v)) * axis;
  }
}

bool SameObject(const ObjectEntry& x, const ObjectEntry& y) {
  return x.nu == y.nu && x.nv == y.nv && x.pointCount == y.pointCount && x.faceGroup == y.faceGroup;
}

// Whether object k is the same object in both keyframes: the same mesh at
// the same place of the list.
bool InBoth(const Keyframe& a, const Keyframe& b, std::size_t k) {
  return k < a.objects.size() && k < b.objects.size() && SameObject(a.objects[k], b.objects[k]);
}

Vec3 AlongAxes(const Mat3& axes, const Vec3& v) { return {Dot(v, axes[0]), Dot(v, axes[1]), Dot(v, axes[2])}; }

MaterialEntry BlendMaterial(const MaterialEntry& a, const MaterialEntry& b, double t) {
  if (t <= 0) return a;
  if (t >= 1) return b;
  MaterialEntry m = b;
  m.reflection = LerpByte(a.reflection, b.reflection, t);
  m.transmission = LerpByte(a.transmission, b.transmission, t);
  m.refraction = LerpByte(a.refraction, b.refraction, t);
  m.KSpec = LerpByte(a.KSpec, b.KSpec, t);
  m.NSpec = LerpByte(a.NSpec, b.NSpec, t);
  m.isDefault = m.reflection == 0 && m.transmission == 0 && m.refraction == 0 && m.KSpec == 0 && m.NSpec == 0;
  // The class and surface bits stay those of the object.
  m.col = static_cast<std::uint16_t>((b.col & 0xF000) | BlendColour(a.col, b.col, t));
  return m;
}

EngineLamp MakeLamp(const MaqLamp* a, const MaqLamp& b, double t, const RenderSettings& settings,
                    const Camera& camera) {
  if (!a || t >= 1) {
    a = &b;
    t = 0;
  }
  EngineLamp lamp;
  lamp.position = RenderCoordinates(camera, Lerp(a->frame.absOrigin, b.frame.absOrigin, t));
  Vec3 axis = Normalise(Lerp(a->frame.absOrientation[2], b.frame.absOrientation[2], t));
  if (Length(axis) == 0) axis = b.frame.absOrientation[2];
  lamp.axis = Normalise(AlongAxes(camera.axes, axis));
  if (t <= 0) {
    lamp.intensity = a->intensity;
    lamp.cone = a->aperture;
    lamp.colour = a->stored.colour & 0x0FFF;
  } else {
    lamp.intensity = LerpInt(a->intensity, b.intensity, t);
    lamp.cone = LerpInt(a->aperture, b.aperture, t);
    lamp.colour = BlendColour(a->stored.colour, b.stored.colour, t);
  }
  lamp.shadows = b.castsShadows && settings.lampShadows;
  if (lamp.cone >= 1 && lamp.cone <= 360) lamp.coneCos = std::cos(lamp.cone * kDegree * 0.5);
  return lamp;
}

// The sun: V turns about the vertical, H raises it; angles 0 put it behind
// the viewer. Relative angles are taken in the camera's axes, absolute ones
// in the scene's, then brought into camera coordinates.
Sun MakeSun(const RenderSettings& settings, const Camera& camera) {
  Sun sun;
  sun.present = settings.sunIntensity > 0;
  if (!sun.present) return sun;
  const double v = settings.sunV * kDegree, h = settings.sunH * kDegree;
  Vec3 d{std::cos(h) * std::sin(v), std::sin(h), std::cos(h) * std::cos(v)};
  if (!settings.sunRelative) d = AlongAxes(camera.axes, d);
  sun.direction = Normalise(d);
  sun.opposite = -1.0 * sun.direction;
  sun.intensity = settings.sunIntensity / 100.0;
  sun.shadows = settings.sunShadows;
  return sun;
}

// The frame's points in camera coordinates: those of an object in both
// keyframes moved to t, the others as the shown keyframe has them. Each
// thread takes a range of the frame's points and visits the objects in
// order, so a point that two objects name ends as the later one puts it,
// whatever the thread count.
void PlacePoints(const Keyframe& previous, const Keyframe& next, double t, int threads, FrameTables& frame) {
  const Keyframe& shown = t >= 1 ? next : previous;
  const std::size_t total = shown.points.size();
  frame.points.resize(total);
  std::vector<char> moving(total, 0);
  auto place = [&](std::size_t p, const Vec3& world) {
    const Vec3 c = RenderCoordinates(frame.camera, world);
    frame.points[p] = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
  };
  ForRanges(total, WorkerCount(threads), kPointGrain, [&](std::size_t begin, std::size_t end) {
    for (std::size_t k = 0; k < shown.objects.size(); ++k) {
      if (!InBoth(previous, next, k)) continue;
      const ObjectEntry &a = previous.objects[k], &b = next.objects[k];
      // The object's points that fall in [begin, end).
      const auto first = static_cast<std::size_t>(shown.objects[k].firstPoint);
      const RangePart part(first, static_cast<std::size_t>(a.pointCount), begin, end);
      for (std::size_t p = part.from; p < part.to; ++p) {
        const std::size_t i = p - first;
        place(p, Lerp(ToVec3(previous.points[a.firstPoint + i]), ToVec3(next.points[b.firstPoint + i]), t));
        moving[p] = 1;
      }
    }
    for (std::size_t p = begin; p < end; ++p) {
      if (!moving[p]) place(p, ToVec3(shown.points[p]));
    }
  });
}

}  // namespace

std::uint16_t BlendColour(std::uint16_t a, std::uint16_t b, double t) {
  int out = 0;
  for (int shift = 0; shift <= 8; shift += 4) {
    const int channel = std::clamp(LerpInt((a >> shift) & 15, (b >> shift) & 15, t), 0, 15);
    out |= channel << shift;
  }
  return static_cast<std::uint16_t>(out);
}

namespace {

// Everything of the keyframe but its points.
void KeyframeEntries(const MaqScene& scene, Keyframe& key, std::vector<FaceGroup>* faceGroups) {
  const int n = std::max(0, std::min<int>(scene.objectCount, static_cast<int>(scene.objects.size()) - 1));
  const int totalPoints = static_cast<int>(scene.points.size());
  key.camera = scene.camera;
  key.lamps = scene.lamps;
  key.objects.assign(n, ObjectEntry{});
  key.materials.assign(n, MaterialEntry{});
  int groups = 0;
  for (int k = 0; k < n; ++k) {
    const MaqObject& o = scene.objects[k];
    ObjectEntry& e = key.objects[k];
    e.nu = std::max(0, o.meshU);
    e.nv = std::max(0, o.meshV);
    e.firstPoint = std::clamp(o.firstPoint - 1, 0, totalPoints);
    e.pointCount = std::clamp(scene.objects[k + 1].firstPoint - 1, e.firstPoint, totalPoints) - e.firstPoint;
    e.flags = o.col;
    if (scene.hasFrames && o.FaceGroup() != 0) {
      e.faceGroup = ++groups;
      if (faceGroups) {
        FaceGroup group;
        group.faceCount = static_cast<std::int16_t>(o.FaceCount());
        group.pointCount = o.FacePointCount();
        group.firstFace = o.FirstFace();
        faceGroups->push_back(group);
      }
    }
    if (scene.hasFrames && k < static_cast<int>(scene.frames.size())) {
      e.frameOrigin = scene.frames[k].absOrigin;
      e.frameOrientation = scene.frames[k].absOrientation;
    } else if (!scene.hasFrames) {
      FrameFromRecord(o, e);
    }
    MaterialEntry& m = key.materials[k];
    m.reflection = o.reflection;
    m.transmission = o.transmission;
    m.refraction = o.refraction;
    m.KSpec = o.kSpec;
    m.NSpec = o.nSpec;
    m.col = o.col;
    m.isDefault = !(o.reflection || o.transmission || o.refraction || o.kSpec || o.nSpec);
  }
}

}  // namespace

void KeyframeFromScene(const MaqScene& scene, Keyframe& key, std::vector<FaceGroup>* faceGroups) {
  KeyframeEntries(scene, key, faceGroups);
  key.points = scene.points;
}

void KeyframeFromScene(MaqScene&& scene, Keyframe& key, std::vector<FaceGroup>* faceGroups) {
  KeyframeEntries(scene, key, faceGroups);
  key.points = std::move(scene.points);
  scene.points.clear();
}

bool KeyframesMatch(const Keyframe& a, const Keyframe& b) {
  if (a.objects.size() != b.objects.size() || a.points.size() != b.points.size()) return false;
  for (std::size_t k = 0; k < a.objects.size(); ++k) {
    if (!SameObject(a.objects[k], b.objects[k]) || a.objects[k].firstPoint != b.objects[k].firstPoint) return false;
  }
  return true;
}

void StartReferenceFrames(const Keyframe& previous, ReferenceFrames& frames) {
  frames.origin.clear();
  frames.orientation.clear();
  for (const ObjectEntry& e : previous.objects) {
    frames.origin.push_back(e.frameOrigin);
    frames.orientation.push_back(e.frameOrientation);
  }
}

void AdvanceReferenceFrames(const Keyframe& previous, const Keyframe& next, int k, int count, int n,
                            ReferenceFrames& frames) {
  const std::size_t objects = std::min(next.objects.size(), frames.origin.size());
  const int remaining = count - k;
  const double d = remaining <= 0 ? 1.0 : 1.0 / (remaining + 2);
  for (std::size_t i = 0; i < objects; ++i) {
    if (!InBoth(previous, next, i)) continue;
    frames.origin[i] = frames.origin[i] + d * (next.objects[i].frameOrigin - frames.origin[i]);
    Vec3 axis;
    double angle;
    TurnBetween(previous.objects[i].frameOrientation, next.objects[i].frameOrientation, axis, angle);
    if (std::fabs(angle) > kMinTurn && n > 0) TurnAbout(frames.orientation[i], axis, angle / n);
  }
}

void ComputeMaterial(MaterialEntry& m, bool rayTracing, bool opacityMapped) {
  // Traced as transparent so that the map decides what shows through.
  if (opacityMapped && m.transmission == 0) m.transmission = 1;
  if (m.isDefault) {
    static constexpr double kd[4] = {0.7, 0.8, 0.5, 0.8};
    static constexpr double ks[4] = {0.7, 0.5, 1.1, 0.4};
    static constexpr double ns[4] = {50, 20, 130, 20};
    const int c = MaterialClass(m.col);
    m.Kd = kd[c];
    m.Ks = ks[c];
    m.Ns = ns[c];
    m.CfxTr = 0;
  } else {
    m.Ks = m.reflection != 0 && rayTracing ? m.reflection / 100.0 : m.KSpec / 142.0;
    m.Ns = (100 - m.NSpec) / 2.0 + 1;
    if (m.transmission != 0 && rayTracing) {
      m.CfxTr = m.transmission / 100.0;
      if (m.CfxTr + m.Ks >= 1) {
        m.Ks = 1 - m.CfxTr;
        if (m.CfxTr > 0.025) m.CfxTr -= 0.025;
        if (m.Ks > 0.025) m.Ks -= 0.025;
        m.Kd = 0.05;
      } else {
        m.Kd = 1 - m.CfxTr - m.Ks;
      }
    } else {
      m.CfxTr = 0;
      m.Kd = 1 - m.Ks;
    }
  }
  m.Ks = std::max(m.Ks, 0.0);
  m.Ns = std::max(m.Ns, 0.0);
  m.Kd = std::max(m.Kd, 0.0);
  m.CfxTr = std::max(m.CfxTr, 0.0);
}

void ComputeMaterials(FrameTables& frame, bool rayTracing) {
  for (std::size_t k = 0; k < frame.TabMAT.size(); ++k) {
    MaterialEntry& m = frame.TabMAT[k];
    ComputeMaterial(m, rayTracing, k < frame.opacityMapped.size() && frame.opacityMapped[k]);
    Trace("Obj(%d) Col=%06x Ks=%6f Ns=%6f Kd=%6f CfxTr=%6f\n", static_cast<int>(k), m.col, m.Ks, m.Ns, m.Kd,
          m.CfxTr);
  }
}

void SortByDepth(FrameTables& frame) {
  const int n = frame.objectCount;
  frame.objectDepth.assign(n, -std::numeric_limits<double>::infinity());
  double zmin = std::numeric_limits<double>::infinity(), zmax = -zmin;
  for (int k = 0; k < n; ++k) {
    const ObjectEntry& e = frame.objects[k];
    for (int p = e.firstPoint; p < e.firstPoint + e.pointCount; ++p) {
      const double z = frame.points[p][2];
      frame.objectDepth[k] = std::max(frame.objectDepth[k], z);
      zmin = std::min(zmin, z);
      zmax = std::max(zmax, z);
    }
  }
  frame.depthOrder.resize(n);
  for (int k = 0; k < n; ++k) frame.depthOrder[k] = k;
  auto trace = [&] {
    for (int i = 0; i < n; ++i) {
      Trace("position(%03d) : objet :%03d z=%f\n", i, frame.depthOrder[i], frame.objectDepth[frame.depthOrder[i]]);
    }
  };
  if (ConsoleEnabled()) {
    Trace("Avant TRI : \n");
    trace();
  }
  std::stable_sort(frame.depthOrder.begin(), frame.depthOrder.end(),
                   [&](int a, int b) { return frame.objectDepth[a] < frame.objectDepth[b]; });
  if (ConsoleEnabled()) {
    Trace("Aprés TRI : \n");
    trace();
  }
  if (!(zmin < zmax)) {
    if (!(zmin <= zmax)) zmin = zmax = 0;  // no points at all
    zmin -= 1;
    zmax += 1;
  }
  const double margin = (zmax - zmin) / 50;
  frame.zmin = zmin - margin;
  frame.zmax = zmax + margin;
  frame.depthScale = 65535 / (frame.zmax - frame.zmin);
}

void SetUpFrame(const Keyframe& previous, const Keyframe& next, double t, const RenderSettings& settings,
                const ReferenceFrames& references, FrameTables& frame) {
  const MaqCamera &ca = previous.camera, &cb = next.camera;
  frame.camera = CameraFromRecord(ca.distance + (cb.distance - ca.distance) * t, ca.focal + (cb.focal - ca.focal) * t,
                                  ca.TH + (cb.TH - ca.TH) * t, ca.PH + (cb.PH - ca.PH) * t,
                                  Lerp(ca.target, cb.target, t));
  frame.mapping = ImageMapping(settings.width, settings.height, settings.pixelRatio);
  frame.width = settings.width;
  frame.height = settings.height;

  // The frame holds the objects of the keyframe it starts from (of the
  // next one once it is reached): an object that is in both keyframes, the
  // same mesh at the same place in the list, moves from one to the other;
  // any other object stays as that keyframe has it, so that it appears or
  // vanishes at the keyframe that has it or not.
  const Keyframe& shown = t >= 1 ? next : previous;
  const int n = static_cast<int>(shown.objects.size());
  frame.objectCount = n;
  frame.hasGround = settings.groundOn;
  frame.objects = shown.objects;
  frame.TabMAT.resize(n);
  for (int k = 0; k < n; ++k) {
    if (!InBoth(previous, next, k)) {
      frame.TabMAT[k] = shown.materials[k];
      continue;
    }
    frame.TabMAT[k] = BlendMaterial(previous.materials[k], next.materials[k], t);
    if (k < static_cast<int>(references.origin.size())) {
      frame.objects[k].frameOrigin = references.origin[k];
      frame.objects[k].frameOrientation = references.orientation[k];
    }
  }
  PlacePoints(previous, next, t, settings.threads, frame);
  if (frame.hasGround) {
    ObjectEntry ground;
    ground.flags = settings.groundColour & 0x0FFF;
    ground.firstPoint = static_cast<int>(shown.points.size());
    frame.objects.push_back(ground);
    MaterialEntry m;
    m.KSpec = 40;
    m.isDefault = false;
    m.col = ground.flags;
    frame.TabMAT.push_back(m);
  }
  frame.opacityMapped.resize(frame.TabMAT.size(), 0);
  ComputeMaterials(frame, settings.rayTracing);

  // A lamp of one keyframe only fades in from, or out to, nothing.
  frame.lamps.clear();
  for (std::size_t i = 0; i < std::max(previous.lamps.size(), next.lamps.size()); ++i) {
    if (i < previous.lamps.size() && i < next.lamps.size()) {
      frame.lamps.push_back(MakeLamp(&previous.lamps[i], next.lamps[i], t, settings, frame.camera));
      continue;
    }
    const bool fadingIn = i < next.lamps.size();
    EngineLamp lamp = MakeLamp(nullptr, fadingIn ? next.lamps[i] : previous.lamps[i], 0, settings, frame.camera);
    lamp.intensity = fadingIn ? LerpInt(0, lamp.intensity, t) : LerpInt(lamp.intensity, 0, t);
    frame.lamps.push_back(lamp);
  }

  frame.sun = MakeSun(settings, frame.camera);
  SortByDepth(frame);
}

}  // namespace tessaran
