// `RayTrace`: the colour of a ray — background, shading with lamps and sun
// and their shadows, reflection, transmission through the material stack —
// and the packing of a primary ray's colour into a pixel.
//
// Fewer than true colours: outside true-colour mode every colour source is
// brought to the 16 levels of a 4-bit channel. Material colours already are;
// map texels are taken to the nearest multiple of 17; lamps count as white;
// and the packing rounds each channel × 15 (randomised, as in true colour)
// and expands the level × 17, so every channel of such a pixel is a multiple
// of 17 and the image maps onto the 12-bit palette without further error.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/console.h"
#include "renderer/engine/mapping.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

using Colour = std::array<float, 3>;

// The current material of a hit object.
struct Surface {
  double Kd = 0;
  double Ks = 0;
  double Ns = 0;
  double CfxTr = 0;
  double transparency = 0;
  Colour colour{};  // 0 … 255
  bool reflects = false;
};

bool TrueColour(const TraceScene& s) { return s.trace.trueColour; }

Colour Expand12(std::uint16_t col) {
  return {static_cast<float>(((col >> 8) & 15) * 17), static_cast<float>(((col >> 4) & 15) * 17),
          static_cast<float>((col & 15) * 17)};
}

Colour Unpack(std::uint32_t rgb, bool trueColour) {
  Colour c{static_cast<float>((rgb >> 16) & 255), static_cast<float>((rgb >> 8) & 255), static_cast<float>(rgb & 255)};
  if (!trueColour) {
    for (float& x : c) x = std::round(x / 17) * 17;
  }
  return c;
}

const MaterialEntry& Material(const TraceScene& s, int object) {
  static const MaterialEntry kNone;
  const auto& table = s.frame->TabMAT;
  return object >= 0 && object < static_cast<int>(table.size()) ? table[object] : kNone;
}

bool HasMap(const TraceScene& s, int object, int role) { return s.maps && s.maps->Image(object, role); }

// The colour of an object at a hit: its colour map, else its material colour.
Colour SurfaceColour(const TraceScene& s, int object, double u, double v, const Vec3& point) {
  if (HasMap(s, object, kColourMap)) {
    return Unpack(s.maps->Lookup(object, kColourMap, u, v, point, *s.frame), TrueColour(s));
  }
  return Expand12(Material(s, object).col);
}

// Makes the object's material current, with the opacity map's say.
Surface MakeCurrent(const TraceScene& s, int object, double u, double v, const Vec3& point) {
  const MaterialEntry& m = Material(s, object);
  Surface surf;
  surf.Kd = m.Kd;
  surf.Ks = m.Ks;
  surf.Ns = m.Ns;
  surf.CfxTr = m.CfxTr;
  surf.reflects = m.reflection != 0;
  if (HasMap(s, object, kOpacityMap)) {
    double tr = MapLuminance(s.maps->Lookup(object, kOpacityMap, u, v, point, *s.frame));
    if (surf.Ks + tr > 1) {
      surf.Ks = 1 - tr;
      if (surf.Ks > 0.025) surf.Ks -= 0.025;
      if (tr > 0.025) tr -= 0.025;
      surf.Kd = 0.05;
    } else {
      surf.Kd = 1 - tr - surf.Ks;
    }
    surf.transparency = tr;
    surf.CfxTr = tr;
  } else {
    surf.transparency = m.transmission / 100.0;
  }
  surf.colour = SurfaceColour(s, object, u, v, point);
  return surf;
}

// Light through the occluders of a shadow ray, farthest to nearest. False
// when they block it.
bool FilterLight(const TraceScene& s, HitList& hits, Colour& light) {
  hits.Sort();
  for (int i = 0; i < hits.Count(); ++i) {
    const MaterialEntry& m = Material(s, hits[i].object);
    if (m.transmission == 0 && !HasMap(s, hits[i].object, kOpacityMap)) return false;
  }
  double factor = 0;
  for (int i = hits.Count() - 1; i >= 0; --i) {
    const RayHit& h = hits[i];
    const MaterialEntry& m = Material(s, h.object);
    double cfx = m.CfxTr;
    if (HasMap(s, h.object, kOpacityMap)) {
      factor = MapLuminance(s.maps->Lookup(h.object, kOpacityMap, h.u, h.v, h.point, *s.frame));
      if (factor == 0) return false;
      cfx = factor;
    } else {
      factor = m.transmission / 100.0;
    }
    const Colour c = SurfaceColour(s, h.object, h.u, h.v, h.point);
    for (int ch = 0; ch < 3; ++ch) light[ch] = static_cast<float>(light[ch] * c[ch] / 255 * cfx);
  }
  return factor != 0;
}

struct LightSums {
  Colour diffuse{};
  Colour specular{};
};

// The six light sums at P with normal N seen from E.
LightSums Shade(const TraceScene& s, RayState& state, const Vec3& P, Vec3 N, const Vec3& E, const Surface& surf) {
  const FrameTables& f = *s.frame;
  const Vec3 V = Normalise(E - P);
  if (Dot(N, V) < 0) N = -1.0 * N;
  double greyD = s.trace.ambient, greyS = 0;
  Colour colD{}, colS{};
  bool coloured = false;

  // One light of direction L (unit, towards it) and colour: grey when
  // `grey`, else by channel; shadowed through `hits` when any.
  auto light = [&](const Vec3& L, double c, const Colour& channels, bool grey, bool shadowed) {
    const Vec3 R = 2 * c * N - L;
    const double rv = Dot(R, V);
    const double highlight = rv > 0.01 ? std::pow(rv, surf.Ns) : 0;
    if (!shadowed) {
      if (grey) {
        greyD += channels[0] * c;
        greyS += channels[0] * highlight;
      } else {
        for (int ch = 0; ch < 3; ++ch) {
          colD[ch] += static_cast<float>(c * channels[ch]);
          colS[ch] += static_cast<float>(highlight * channels[ch]);
        }
        coloured = true;
      }
      return;
    }
    Colour filtered = channels;
    if (!FilterLight(s, state.shadowHits, filtered)) return;
    for (int ch = 0; ch < 3; ++ch) {
      colD[ch] += static_cast<float>(c * filtered[ch]);
      colS[ch] += static_cast<float>(highlight * filtered[ch]);
    }
    coloured = true;
  };

  if (f.sun.present) {
    const Vec3& S = f.sun.direction;
    const double c = Dot(N, S);
    if (c > 0) {
      const bool shadowed = f.sun.shadows && RayCast(s, state, P, S, state.shadowHits, true) > 0;
      const float I = static_cast<float>(f.sun.intensity);
      light(S, c, {I, I, I}, true, shadowed);
    }
  }
  for (const EngineLamp& lamp : f.lamps) {
    Vec3 L = lamp.position - P;
    const double distance = Length(L);
    if (!(distance > 0)) continue;
    L = (1 / distance) * L;
    if (lamp.cone >= 1 && lamp.cone <= 359 && !(-Dot(lamp.axis, L) > lamp.coneCos)) continue;
    const double c = Dot(N, L);
    if (!(c > 0)) continue;
    const bool shadowed = lamp.shadows && RayCast(s, state, P, L, state.shadowHits, true, distance) > 0;
    const double k = lamp.intensity / (distance + 100);
    const bool white = lamp.colour == 0x0FFF || !TrueColour(s);
    Colour channels;
    if (white) {
      channels = {static_cast<float>(k), static_cast<float>(k), static_cast<float>(k)};
    } else {
      channels = {static_cast<float>(k * ((lamp.colour >> 8) & 15) / 15), static_cast<float>(k * ((lamp.colour >> 4) & 15) / 15),
                  static_cast<float>(k * (lamp.colour & 15) / 15)};
    }
    light(L, c, channels, white, shadowed);
  }

  LightSums sums;
  for (int ch = 0; ch < 3; ++ch) {
    const double d = coloured ? (colD[ch] + greyD) * surf.Kd : greyD * surf.Kd;
    const double sp = coloured ? (colS[ch] + greyS) * surf.Ks : greyS * surf.Ks;
    sums.diffuse[ch] = static_cast<float>(std::min(d, 1.0));
    sums.specular[ch] = static_cast<float>(std::min(sp, 1.0));
  }
  return sums;
}

// The surface's own colour under the light sums.
Colour LitColour(const Surface& surf, const LightSums& sums) {
  Colour c;
  for (int ch = 0; ch < 3; ++ch) c[ch] = surf.colour[ch] / 255 * sums.diffuse[ch] + sums.specular[ch];
  return c;
}

Colour Background(const TraceScene& s, const Vec3& D) {
  const Vec3 d = SceneDirection(s.frame->camera, D);
  if (s.maps && s.maps->HasSky()) {
    const Colour c = Unpack(s.maps->Sky(d), TrueColour(s));
    return {c[0] / 255, c[1] / 255, c[2] / 255};
  }
  const double y = std::clamp(d[1], -1.0, 1.0);
  const TraceSettings& t = s.trace;
  Colour c;
  for (int ch = 0; ch < 3; ++ch) {
    c[ch] = static_cast<float>(y > 0 ? (1 - y) * t.horizonUp[ch] + y * t.zenith[ch]
                                     : (1 + y) * t.horizonDown[ch] - y * t.nadir[ch]);
  }
  return c;
}

double IndexOf(const TraceScene& s, int entry) {
  return entry < 0 ? 1.0 : RefractionIndex(Material(s, entry).refraction);
}

// Bends the normal of object k at (u, v), point P, by its bump map, along
// the surface's tangents.
Vec3 BumpNormal(const TraceScene& s, RayState& state, int k, double u, double v, const Vec3& point,
                const Vec3& normal) {
  const FrameTables& f = *s.frame;
  Vec3 tu, tv;
  const ObjectEntry* e = k < f.objectCount ? &f.objects[k] : nullptr;
  if (e && e->IsCurved() && u >= 0) {
    const int i = std::clamp(static_cast<int>(std::floor(u)), 0, e->nu - 3);
    const int j = std::clamp(static_cast<int>(std::floor(v)), 0, e->nv - 3);
    LoadPatchCell(f, k, i, j, state.patch);
    Vec3 P;
    PatchEval(state.patch.points, u - i, v - j, P, tu, tv);
  } else if (e) {
    // The projection's axes: the object's frame in camera coordinates.
    const Mat3& axes = f.camera.axes;
    auto toCamera = [&](const Vec3& w) { return Vec3{Dot(w, axes[0]), Dot(w, axes[1]), Dot(w, axes[2])}; };
    tu = toCamera(e->frameOrientation[0]);
    tv = toCamera(e->frameOrientation[1]);
  } else {
    const Mat3& axes = f.camera.axes;
    tu = {axes[0][0], axes[1][0], axes[2][0]};
    tv = {axes[0][2], axes[1][2], axes[2][2]};
  }
  return s.maps->Bump(k, u, v, point, normal, Normalise(tu), Normalise(tv), f);
}

void Transmit(const TraceScene& s, RayState& state, RayNode& node, const Surface& surf, double l) {
  const int limit = std::max(s.trace.transmissionLimit, 0);
  if (!node.stack) {
    node.stack = std::make_shared<StackMat>();
    node.stack->entries.assign(static_cast<std::size_t>(limit) + 1, -1);
  }
  StackMat& st = *node.stack;
  const int top = st.entries[st.count];
  const double ni = IndexOf(s, top);
  int at = -1;
  for (int i = st.count; i >= 0; --i) {
    if (st.entries[i] == node.object) {
      at = i;
      break;
    }
  }
  double nt;
  if (at < 0) {
    nt = IndexOf(s, node.object);
  } else if (top == node.object) {
    nt = st.count > 0 ? IndexOf(s, st.entries[st.count - 1]) : 1.0;
  } else {
    nt = IndexOf(s, top);
  }
  auto child = std::make_unique<RayNode>();
  child->origin = node.point;
  child->stack = node.stack;
  const bool refracted = RefractDirection(node.direction, node.normal, ni / nt, child->direction);
  if (refracted) {
    if (at >= 0) {
      st.entries.erase(st.entries.begin() + at);
      st.entries.push_back(-1);
      if (st.count > 0) --st.count;
    } else {
      if (st.count < limit) ++st.count;
      st.entries[st.count] = node.object;
    }
  }
  RayTrace(s, state, *child, refracted);
  for (int ch = 0; ch < 3; ++ch) {
    node.colour[ch] += refracted ? static_cast<float>(child->colour[ch] * surf.colour[ch] / 255 * surf.CfxTr)
                                 : static_cast<float>(child->colour[ch] * l * surf.transparency);
  }
  node.transmitted = std::move(child);
}

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

Vec3 MirrorDirection(const Vec3& D, const Vec3& N) {
  const Vec3 c = Cross(D, N);
  const double l = Length(c);
  if (!(l > 0)) return -1.0 * D;
  const Vec3 B = (1 / l) * Cross(N, c);
  return -Dot(N, D) * N + Dot(D, B) * B;
}

bool RefractDirection(const Vec3& D, const Vec3& N, double eta, Vec3& out) {
  const Vec3 c = Cross(D, N);
  const double l = Length(c);
  if (eta == 1 || !(l > 0)) {
    out = D;
    return true;
  }
  const Vec3 B = (1 / l) * Cross(N, c);
  const double sine = Dot(D, B);
  if (eta > 1 && sine > 1 / eta) {
    out = MirrorDirection(D, N);
    return false;
  }
  const double s2 = std::min(eta * sine, 1.0);
  const double cosine = std::sqrt(std::max(0.0, 1 - s2 * s2));
  out = (Dot(N, D) < 0 ? -cosine : cosine) * N + s2 * B;
  return true;
}

void SeedRounding(RayState& state, int frame, double px, double py) {
  std::uint64_t x, y;
  std::memcpy(&x, &px, sizeof x);
  std::memcpy(&y, &py, sizeof y);
  std::uint64_t seed = static_cast<std::uint64_t>(static_cast<std::uint32_t>(frame)) * 0xD1B54A32D192ED03ull;
  seed ^= SplitMix(x) + 0x632BE59BD9B4E019ull;
  seed ^= SplitMix(y) * 3;
  state.random = seed;
}

std::uint32_t PackColour(RayState& state, const std::array<float, 3>& colour, bool trueColour) {
  const double scale = trueColour ? 255 : 15;
  std::uint32_t packed = 0;
  for (int ch = 0; ch < 3; ++ch) {
    double v = colour[ch] * scale;
    if (!std::isfinite(v) || v < 0) v = 0;
    v = std::min(v, scale);
    // Rounds up with the probability of the fraction: within one unit of
    // the plain rounding, and without banding on smooth gradients.
    const double lo = std::floor(v);
    const double draw = static_cast<double>(SplitMix(state.random) >> 11) * (1.0 / 9007199254740992.0);
    int level = static_cast<int>(lo) + (draw < v - lo ? 1 : 0);
    level = std::min(level, static_cast<int>(scale));
    if (!trueColour) level *= 17;
    packed = (packed << 8) | static_cast<std::uint32_t>(level);
  }
  return packed;
}

int RayTrace(const TraceScene& s, RayState& state, RayNode& node, bool transmitted) {
  int& counter = transmitted ? state.transmissionDepth : state.reflectionDepth;
  ++counter;
  const bool primary = state.reflectionDepth == 1 && state.transmissionDepth == 0 && !transmitted;
  int result = 1;
  auto finish = [&] {
    --counter;
    if (state.reflectionDepth == 0 && state.transmissionDepth == 0) {
      node.packed = PackColour(state, node.colour, TrueColour(s));
    }
    return result;
  };
  node.colour = {0, 0, 0};
  if (state.reflectionDepth > s.trace.reflectionLimit || state.transmissionDepth > s.trace.transmissionLimit) {
    if (transmitted) Trace("RAYDEPTHTR ATTEINT \n");
    return finish();
  }
  if (RayCastNearest(s, state, node.origin, node.direction, state.hits) == 0) {
    node.colour = Background(s, node.direction);
    return finish();
  }
  const RayHit hit = state.hits.Nearest();
  node.object = hit.object;
  node.u = hit.u;
  node.v = hit.v;
  node.distance = hit.t;
  node.point = hit.point;
  node.normal = hit.normal;

  const Surface surf = MakeCurrent(s, hit.object, hit.u, hit.v, hit.point);
  if (HasMap(s, hit.object, kBumpMap)) {
    node.normal = BumpNormal(s, state, hit.object, hit.u, hit.v, hit.point, hit.normal);
  }
  const LightSums sums = Shade(s, state, node.point, node.normal, node.origin, surf);
  node.colour = LitColour(surf, sums);

  const double l = primary ? 1 : 200 / (hit.t + 200);
  try {
    if (surf.reflects) {
      auto child = std::make_unique<RayNode>();
      child->origin = node.point;
      child->direction = MirrorDirection(node.direction, node.normal);
      if (node.stack) child->stack = std::make_shared<StackMat>(*node.stack);
      RayTrace(s, state, *child, false);
      for (int ch = 0; ch < 3; ++ch) node.colour[ch] += static_cast<float>(child->colour[ch] * surf.Ks * l);
      node.reflected = std::move(child);
    }
    if (surf.transparency > 0) Transmit(s, state, node, surf, l);
  } catch (const std::bad_alloc&) {
    Trace("Recurs Total ray plus de memoire\n");
    result = 0;
  }
  return finish();
}

std::uint32_t TracePrimary(const TraceScene& scene, RayState& state, const Vec3& origin, const Vec3& direction,
                           double px, double py) {
  state.reflectionDepth = 0;
  state.transmissionDepth = 0;
  SeedRounding(state, scene.trace.frameNumber, px, py);
  RayNode root;
  root.origin = origin;
  root.direction = direction;
  RayTrace(scene, state, root, false);
  return root.packed;
}

SurfaceShade ShadeSurface(const TraceScene& scene, RayState& state, int object, double u, double v, const Vec3& P,
                          const Vec3& N, const Vec3& E) {
  const Surface surf = MakeCurrent(scene, object, u, v, P);
  const Vec3 normal = HasMap(scene, object, kBumpMap) ? BumpNormal(scene, state, object, u, v, P, N) : N;
  return {LitColour(surf, Shade(scene, state, P, normal, E, surf)), surf.transparency};
}

std::array<float, 3> BackgroundColour(const TraceScene& scene, const Vec3& direction) {
  return Background(scene, direction);
}

}  // namespace tessaran
