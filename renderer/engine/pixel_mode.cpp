// The pixel mode: the objects in the frame's depth order scan-converted
// into a 16-bit depth buffer (0 = empty, larger is nearer), each visible
// sample lit by the ray tracer's shading; the ground plane and the sky as
// the ray tracer's background; with antialiasing, a larger image reduced
// at the end.
//
// Without shadows one pass keeps and shades every sample nearer than what
// the buffer holds. With shadows the tables of `RenderScreen` are prepared
// first (the shadow casts need them), a first pass only stores depths and
// a second shades the samples whose depth equals the stored one, so that
// each visible pixel is shaded once. Transparent objects come last, laid
// over the finished image where they are nearer than what it shows, with
// no reflected or refracted rays.
#include <algorithm>
#include <new>
#include <cmath>
#include <vector>

#include "platform/report.h"
#include "renderer/engine/facets.h"
#include "renderer/engine/mode_render.h"
#include "renderer/engine/raster.h"
#include "renderer/engine/surface_mesh.h"
#include "renderer/engine/vecmath.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

constexpr int kReductionSlot = 3;
// Steps of a curved cell at most, whatever its size on screen.
constexpr int kMaxCellSteps = 512;

// kBlend lays the transparent objects over the finished opaque image.
enum class Pass { kStoreAndShade, kStoreOnly, kShadeEqual, kBlend };

bool CastsShadows(const FrameTables& frame) {
  if (frame.sun.present && frame.sun.shadows && frame.sun.intensity > 0) return true;
  for (const EngineLamp& lamp : frame.lamps) {
    if (lamp.shadows && lamp.intensity > 0) return true;
  }
  return false;
}

struct PixelImage {
  const FrameTables& frame;
  const RasterView& view;
  const TraceScene& scene;
  RayState& state;
  const TraceSettings& trace;
  std::vector<std::uint16_t> depth;
  std::vector<std::uint32_t> colour;
  std::vector<char> shaded;

  PixelImage(const FrameTables& f, const RasterView& v, const TraceScene& s, RayState& st, const TraceSettings& t)
      : frame(f), view(v), scene(s), state(st), trace(t) {
    const std::size_t size = static_cast<std::size_t>(v.width) * v.height;
    depth.assign(size, 0);
    colour.assign(size, 0);
    shaded.assign(size, 0);
  }

  // Whether an object is drawn in the blending pass: its transmission, as
  // the ray tracer takes it (an opacity-mapped object has at least 1).
  bool Transparent(int object) const {
    return object >= 0 && object < static_cast<int>(frame.TabMAT.size()) && frame.TabMAT[object].transmission > 0;
  }

  // The packed colour of a sample, and its transparency (from the material
  // or the opacity map).
  std::uint32_t ShadeColour(int object, int x, int y, const Vec3& P, const Vec3& N, double u, double v,
                            double* transparency = nullptr) {
    const SurfaceShade shade = ShadeSurface(scene, state, object, u, v, P, N, EyeOf(view, P));
    if (transparency) *transparency = std::clamp(shade.transparency, 0.0, 1.0);
    SeedRounding(state, trace.frameNumber, x, y);
    return PackColour(state, shade.colour, trace.trueColour);
  }

  void Shade(std::size_t at, int object, int x, int y, const Vec3& P, const Vec3& N, double u, double v) {
    colour[at] = ShadeColour(object, x, y, P, N, u, v);
    shaded[at] = 1;
  }

  // What lies behind shows through a transparent surface in proportion.
  void Blend(std::size_t at, int object, int x, int y, const Vec3& P, const Vec3& N, double u, double v) {
    double tr = 0;
    const std::uint32_t front = ShadeColour(object, x, y, P, N, u, v, &tr), back = colour[at];
    std::uint32_t mixed = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      const double c = (1 - tr) * ((front >> shift) & 255) + tr * ((back >> shift) & 255);
      mixed |= static_cast<std::uint32_t>(std::clamp(std::lround(c), 0L, 255L)) << shift;
    }
    colour[at] = mixed;
  }

  // One surface sample at depth D (1 … 65535) by the rule of the pass.
  void Sample(Pass pass, int D, int object, int x, int y, const Vec3& P, const Vec3& N, double u, double v) {
    const std::size_t at = static_cast<std::size_t>(y) * view.width + x;
    switch (pass) {
      case Pass::kStoreAndShade:
        if (D <= depth[at]) return;
        depth[at] = static_cast<std::uint16_t>(D);
        Shade(at, object, x, y, P, N, u, v);
        return;
      case Pass::kStoreOnly:
        if (D > depth[at]) depth[at] = static_cast<std::uint16_t>(D);
        return;
      case Pass::kShadeEqual:
        if (D == depth[at] && !shaded[at]) Shade(at, object, x, y, P, N, u, v);
        return;
      case Pass::kBlend:
        if (D > depth[at]) Blend(at, object, x, y, P, N, u, v);
        return;
    }
  }

  // The render poll, also asked within a large object now and then.
  RenderPoll* poll = nullptr;
  double fraction = 0;
  bool stopped = false;
  std::uint64_t triangles = 0;

  void Object(Pass pass, int k, const PreparedScene& prepared) {
    const CellSteps steps = [&](int object, int i, int j, int& s, int& t) {
      ScreenCellSteps(frame, view, object, i, j, kMaxCellSteps, s, t);
    };
    constexpr std::uint64_t kPollEvery = 8192;
    ObjectTriangles(frame, prepared.facets, prepared.NPhong, k, steps,
                    [&](const RasterVertex& a, const RasterVertex& b, const RasterVertex& c) {
                      if (stopped) return;
                      if (poll && ++triangles % kPollEvery == 0 && poll->Poll(fraction)) {
                        stopped = true;
                        return;
                      }
                      FillTriangle(view, a, b, c, [&](const RasterSample& s) {
                        const int D = PixelDepth(frame, s.p[2]);
                        // Depth 0 marks an empty pixel.
                        if (D < 1) return;
                        Sample(pass, D, k, s.x, s.y, s.p, s.n, s.u, s.v);
                      });
                    });
  }

  // The ground plane y = 0 of scene coordinates, through every pixel whose
  // ray meets it; its depth is held within the buffer's range, so it lies
  // behind every object it is farther than.
  void Ground(Pass pass) {
    if (!frame.hasGround || frame.objectCount >= static_cast<int>(frame.TabMAT.size())) return;
    const Camera& camera = frame.camera;
    const Vec3 up{camera.axes[0][1], camera.axes[1][1], camera.axes[2][1]};
    for (int y = 0; y < view.height; ++y) {
      for (int x = 0; x < view.width; ++x) {
        const CameraRay ray = PrimaryRay(camera, view.mapping, x, y);
        const double y0 = ScenePoint(camera, ray.origin)[1];
        const double dy = SceneDirection(camera, ray.direction)[1];
        if (dy == 0) continue;
        const double t = -y0 / dy;
        if (!(t > 0.001) || !std::isfinite(t)) continue;
        const Vec3 P = ray.origin + t * ray.direction;
        const Vec3 s = ScenePoint(camera, P);
        const double raw = (P[2] - frame.zmin) * frame.depthScale;
        if (!std::isfinite(raw)) continue;
        const int D = static_cast<int>(std::clamp(raw, 1.0, 65535.0));
        Sample(pass, D, frame.objectCount, x, y, P, up, s[0], s[2]);
      }
    }
  }

  // The sky everywhere first: what the ground and the objects leave
  // uncovered, and what transparent objects over nothing show through.
  void Background() {
    for (int y = 0; y < view.height; ++y) {
      for (int x = 0; x < view.width; ++x) {
        const std::size_t at = static_cast<std::size_t>(y) * view.width + x;
        const CameraRay ray = PrimaryRay(frame.camera, view.mapping, x, y);
        SeedRounding(state, trace.frameNumber, x, y);
        colour[at] = PackColour(state, BackgroundColour(scene, ray.direction), trace.trueColour);
      }
    }
  }

  // One pass over the ground and the opaque objects (the transparent ones
  // in the blending pass), far to near; false when the poll asks to stop.
  bool Run(Pass pass, const PreparedScene& prepared, double from, double span) {
    if (pass != Pass::kBlend) Ground(pass);
    const int n = static_cast<int>(frame.depthOrder.size());
    for (int i = 0; i < n; ++i) {
      const int k = frame.depthOrder[i];
      fraction = from + span * i / n;
      if (Transparent(k) == (pass == Pass::kBlend)) Object(pass, k, prepared);
      if (stopped || (poll && poll->Poll(from + span * (i + 1) / n))) return false;
    }
    return true;
  }
};

// Transparent objects let the light of shadow casts through as in the
// ray tracer, filtered by their colour and transmission, for the time of
// the image (the coefficient is only set for the "Ray-Tracing" mode).
class TransparentShadows {
 public:
  explicit TransparentShadows(FrameTables& frame) : frame_(frame) {
    for (MaterialEntry& m : frame.TabMAT) {
      saved_.push_back(m.CfxTr);
      if (m.transmission != 0) m.CfxTr = std::min(m.transmission / 100.0, 1.0);
    }
  }
  ~TransparentShadows() {
    for (std::size_t i = 0; i < saved_.size() && i < frame_.TabMAT.size(); ++i) frame_.TabMAT[i].CfxTr = saved_[i];
  }
  TransparentShadows(const TransparentShadows&) = delete;
  TransparentShadows& operator=(const TransparentShadows&) = delete;

 private:
  FrameTables& frame_;
  std::vector<double> saved_;
};

// The reduction of the larger image in the result slot to W × H.
bool Reduce(int W, int H) {
  if (!VimCreate(kReductionSlot, W, H, 24)) return false;
  const bool ok = VimFinalAntialias(kResultSlot, kReductionSlot) != 0;
  if (ok) VimSwap(kResultSlot, kReductionSlot);
  VimFree(kReductionSlot);
  return ok;
}

int PixelMode(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace, const TextureMaps* maps,
              EngineHooks& hooks, RenderPoll* poll, int antialias, bool backPlane) {
  const int W = frame.width, H = frame.height;
  if (W < 1 || H < 1) return kScreenAbandoned;
  antialias = std::clamp(antialias, 0, 3);
  const bool shadows = CastsShadows(frame);
  PreparedScene prepared;
  struct Release {
    PreparedScene& prepared;
    ~Release() { ReleaseScene(prepared); }
  } release{prepared};
  if (shadows) {
    ScreenOptions prepare;
    prepare.prepareOnly = true;
    if (RenderScreen(frame, settings, trace, maps, hooks, nullptr, prepare, prepared) != kScreenFinished) {
      return kScreenAbandoned;
    }
  } else if (!BuildFacets(frame, prepared.facets, hooks) ||
             !BuildPhongNormals(frame, prepared.facets, prepared.NPhong, hooks)) {
    return kScreenAbandoned;
  }

  int CW = W, CH = H;
  PixelModeSize(W, H, antialias, CW, CH);
  ScreenMapping mapping = frame.mapping;
  if (antialias == 1) {
    // Pixel corners: half a pixel up and left of the pixel centres.
    mapping = ImageMapping(W, settings.pixelRatio, mapping.centreX + 0.5, mapping.centreY + 0.5);
  } else if (antialias >= 2) {
    mapping = ImageMapping(CW, CH, settings.pixelRatio);
  }
  const RasterView view = MakeRasterView(frame.camera, mapping, CW, CH);
  const TransparentShadows transparent(frame);
  TraceScene scene{&frame, &prepared, &settings, maps, trace};
  RayState state(scene);
  PixelImage image(frame, view, scene, state, trace);

  image.poll = poll;
  image.Background();
  bool going;
  if (shadows) {
    hooks.Status(kMsgHiddenParts);
    going = image.Run(Pass::kStoreOnly, prepared, 0, 0.4);
    hooks.Status(kMsgRendering);
    going = going && image.Run(Pass::kShadeEqual, prepared, 0.4, 0.4);
  } else {
    hooks.Status(kMsgRendering);
    going = image.Run(Pass::kStoreAndShade, prepared, 0, 0.8);
  }
  going = going && image.Run(Pass::kBlend, prepared, 0.8, 0.2);
  if (!going) return kScreenStopped;
  if (backPlane) ShowUnderBlack(kResultSlot, image.colour, CW, CH);
  if (!StoreImage(kResultSlot, image.colour, CW, CH)) return kScreenAbandoned;
  if ((CW != W || CH != H) && !Reduce(W, H)) {
    // The larger image stays: better written unreduced than lost.
    ShowMessage(MessageKind::Error, kMsgAntialiasFailed);
  }
  return kScreenFinished;
}

}  // namespace

int PixelDepth(const FrameTables& frame, double z) {
  const double D = (z - frame.zmin) * frame.depthScale;
  if (!(D >= 0 && D <= 65535)) return -1;
  return static_cast<int>(D);
}

void PixelModeSize(int width, int height, int antialias, int& computeWidth, int& computeHeight) {
  computeWidth = width;
  computeHeight = height;
  if (antialias == 1) {
    computeWidth = width + 1;
    computeHeight = height + 1;
  } else if (antialias >= 2) {
    computeWidth = 2 * width;
    computeHeight = 2 * height;
  }
}


int RenderPixelMode(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                    const TextureMaps* maps, EngineHooks& hooks, RenderPoll* poll, int antialias, bool backPlane) {
  // The buffers of a large image may not be had: abandoned, not a crash.
  try {
    return PixelMode(frame, settings, trace, maps, hooks, poll, antialias, backPlane);
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgImageMemory);
    return kScreenAbandoned;
  }
}

}  // namespace tessaran
