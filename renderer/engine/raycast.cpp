// `RayCast`: every intersection of one ray with the ground plane, the
// facets, the curved patches and the preview spheres.
#include <algorithm>
#include <cmath>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/console.h"
#include "platform/report.h"
#include "renderer/engine/mapping.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

constexpr int kMsgRayFrame = 270;
constexpr double kMinDistance = 0.001;  // hits nearer than this are the surface the ray starts on
// Patch roots nearer than kNearRoot along the ray are taken to a residual
// sum of kPolished, in at most kPolishSteps further Newton steps.
constexpr double kNearRoot = 1;
constexpr double kPolished = 1e-9;
constexpr int kPolishSteps = 4;
constexpr int kPreviewSpheres = 10;

struct Caster {
  const TraceScene& scene;
  const FrameTables& f;
  const PreparedScene& p;
  RayState& state;
  const Vec3& O;
  const Vec3& D;
  HitList& hits;
  bool shadow;
  double maxDistance;
  bool opaqueHit = false;
  double inverse[3] = {0, 0, 0};  // 1 / D where D is not 0
  bool marked = false;            // whether state.marks hold this ray's candidates
  // Nearest mode (a traced ray): only the nearest hit is kept. Of hits at
  // the same distance it keeps the one a full cast lists first: the earlier
  // object, and in one object the lower facet number.
  bool nearestOnly = false;
  bool haveBest = false;
  RayHit best{};
  int bestFacet = -1;
  double bestReach = 0;  // best.t + Margin(best.t), kept with the best hit

  // How far past `t` a hit computed from a box's span may still lie: the
  // rounding of the facet test, with a wide margin.
  static double Margin(double t) { return 1e-6 * (1 + std::fabs(t)); }
  // Whether nothing at distance t or beyond can matter any more.
  bool BeyondBest(double t) const { return haveBest && t > bestReach; }

  bool Opaque(int object) const {
    if (object >= static_cast<int>(f.TabMAT.size())) return true;
    if (f.TabMAT[object].transmission != 0) return false;
    return !(scene.maps && scene.maps->Image(object, kOpacityMap));
  }

  // The place of an object's hits among hits at one distance in a full
  // cast, which lists the ground first, then the objects in turn.
  int Rank(int object) const { return object == f.objectCount ? -1 : object; }

  void Add(const RayHit& h, int facet = -1) {
    if (nearestOnly) {
      // Objects may come in any order: of hits at the same distance the
      // one a full cast lists first is kept all the same.
      if (!haveBest || h.t < best.t ||
          (h.t == best.t && (Rank(h.object) < Rank(best.object) ||
                             (facet >= 0 && h.object == best.object && facet < bestFacet)))) {
        best = h;
        bestFacet = facet;
        bestReach = best.t + Margin(best.t);
        haveBest = true;
      }
      return;
    }
    // A shadow ray only cares for what lies between the point and the light.
    if (shadow && h.t >= maxDistance) return;
    hits.Add(h);
    if (shadow && Opaque(h.object)) opaqueHit = true;
  }

  void Ground() {
    const double y0 = ScenePoint(f.camera, O)[1];
    const double dy = SceneDirection(f.camera, D)[1];
    if (dy == 0) return;
    const double t = -y0 / dy;
    if (!(t > kMinDistance) || !std::isfinite(t)) return;
    RayHit h;
    h.object = f.objectCount;
    h.t = t;
    h.point = O + t * D;
    const Vec3 s = ScenePoint(f.camera, h.point);
    h.u = s[0];
    h.v = s[2];
    h.normal = {f.camera.axes[0][1], f.camera.axes[1][1], f.camera.axes[2][1]};
    Add(h);
  }

  // A wide bound of the rounding of a facet test's hit point on the ray
  // up to tfar: it grows with the coordinates.
  double RoundingSlack(double tfar) const {
    double scale = 1 + tfar;
    for (int a = 0; a < 3; ++a) scale = std::max(scale, std::fabs(O[a]));
    return scale * 1e-9;
  }

  void Facet(int k, int index, double tfar) {
    RayHit h;
    if (FacetHit(k, index, SegmentTo(tfar), h)) Add(h);
  }

  // The part of the ray an object's facets are tested on, up to tfar, with
  // what every facet test of it needs: its end and the rounding slack.
  struct Segment {
    Vec3 end{};
    double slack = 0;
  };
  Segment SegmentTo(double tfar) const { return {O + tfar * D, RoundingSlack(tfar)}; }

  // The facet test alone: whether facet `index` of object k is hit, into h.
  bool FacetHit(int k, int index, const Segment& segment, RayHit& h) const {
    const tessaran::Facet& fa = p.facets[index];
    if (IsDegenerate(fa) || fa.a < 0) return false;
    const Vec3 A = ToVec3(f.points[fa.a]);
    const Vec3 B = ToVec3(f.points[fa.b]);
    const Vec3 C = ToVec3(f.points[fa.c]);
    const Vec3 e0 = B - A, e1 = C - B, e2 = A - C;
    const Vec3& n = fa.normal;
    const Vec3& end = segment.end;
    const double r = Dot(n, O - A);
    const double w = Dot(n, end - A);
    Vec3 hit;
    if (r * w >= 0) {
      if (r == 0 || w != 0) return false;
      hit = end;
    } else {
      const double ar = std::fabs(r), aw = std::fabs(w);
      hit = (1 / (ar + aw)) * (aw * O + ar * end);
    }
    // Points on an edge count as inside, so a ray through a shared edge
    // hits both facets. "On" the edge is within the rounding of the hit
    // point: each facet cuts the ray with its own plane, so a hit on a
    // shared edge may fall a hair outside both facets, and the ray would
    // pass between them.
    auto inside = [&](const Vec3& edge, const Vec3& vertex) {
      const double side = Dot(Cross(edge, hit - vertex), n);  // |edge| × the hit's distance inside
      if (side >= 0) return true;
      return side * side <= segment.slack * segment.slack * Dot(edge, edge);
    };
    if (!inside(e0, A) || !inside(e1, B) || !inside(e2, C)) return false;
    const double t = Dot(hit - O, D);
    if (!(t > kMinDistance)) return false;
    h.object = k;
    h.t = t;
    h.point = hit;
    h.normal = n;
    const ObjectEntry& e = f.objects[k];
    if (e.IsSmooth() && e.firstPhong >= 0) h.normal = PhongBlend(e, fa, A, e0, e2, hit);
    // A polygon grid's facets carry the grid parameters for its parametric maps.
    if (scene.maps && e.IsPolygonGrid() && scene.maps->UsesParameters(k)) {
      GridFacetParameters(e, fa.a, fa.b, fa.c, A, B, C, hit, h.u, h.v);
    }
    return true;
  }

  // The barycentric blend of the vertex normals, in the facet's plane
  // (edges e0 = B − A and e2 = A − C).
  Vec3 PhongBlend(const ObjectEntry& e, const tessaran::Facet& fa, const Vec3& A, const Vec3& e0, const Vec3& e2,
                  const Vec3& hit) const {
    auto normalAt = [&](int point) { return p.NPhong[e.firstPhong + point - e.firstPoint]; };
    const Vec3 v0 = e0;
    const Vec3 v1 = -1.0 * e2;  // C − A
    const Vec3 v2 = hit - A;
    const double d00 = Dot(v0, v0), d01 = Dot(v0, v1), d11 = Dot(v1, v1);
    const double d20 = Dot(v2, v0), d21 = Dot(v2, v1);
    const double denom = d00 * d11 - d01 * d01;
    if (denom < 0.00001) return Normalise(normalAt(fa.a));
    const double wb = (d11 * d20 - d01 * d21) / denom;
    const double wc = (d00 * d21 - d01 * d20) / denom;
    const double wa = 1 - wb - wc;
    const Vec3 blend = wa * normalAt(fa.a) + wb * normalAt(fa.b) + wc * normalAt(fa.c);
    const double l = Length(blend);
    return l > 0 ? (1 / l) * blend : fa.normal;
  }

  // One quarter of a patch cell, its centre at grid parameters (s0, t0).
  void Patch(int k, double s0, double t0) {
    const ObjectEntry& e = f.objects[k];
    const int i = std::clamp(static_cast<int>(std::floor(s0)), 0, e.nu - 3);
    const int j = std::clamp(static_cast<int>(std::floor(t0)), 0, e.nv - 3);
    LoadPatchCell(f, k, i, j, state.patch);
    const double cs = s0 - i, ct = t0 - j;
    // The ray as the meet of two planes through it.
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
      if (std::fabs(D[a]) < std::fabs(D[axis])) axis = a;
    }
    Vec3 ex{};
    ex[axis] = 1;
    const Vec3 n1 = Normalise(Cross(D, ex));
    const Vec3 n2 = Normalise(Cross(D, n1));
    const double d1 = Dot(n1, O), d2 = Dot(n2, O);
    // One Newton evaluation at (s, t): the surface point and derivatives,
    // the sum of the plane residuals and the correction towards the root
    // (none when the Jacobian is singular).
    struct Newton {
      Vec3 P, Ps, Pt;
      double sum = 0, ds = 0, dt = 0;
      bool solvable = false;
    };
    auto evaluate = [&](double qs, double qt) {
      Newton n;
      PatchEval(state.patch.points, qs, qt, n.P, n.Ps, n.Pt);
      const double r1 = Dot(n1, n.P) - d1, r2 = Dot(n2, n.P) - d2;
      n.sum = std::fabs(r1) + std::fabs(r2);
      const double a00 = Dot(n1, n.Ps), a01 = Dot(n1, n.Pt), a10 = Dot(n2, n.Ps), a11 = Dot(n2, n.Pt);
      const double det = a00 * a11 - a01 * a10;
      n.solvable = std::fabs(det) >= 1e-14;
      if (n.solvable) {
        n.ds = (-r1 * a11 + r2 * a01) / det;
        n.dt = (-r2 * a00 + r1 * a10) / det;
      }
      return n;
    };
    auto inQuarter = [&](double qs, double qt, double slack) {
      return std::fabs(qs - cs) <= 0.25 + slack && std::fabs(qt - ct) <= 0.25 + slack;
    };
    // Newton steps near a root on the quarter's border may fall on either
    // side of it, and so may the point where they stop: both quarters that
    // share the border would then give the root up, and the ray would pass
    // between them. A point whose next correction lies in the quarter is
    // taken as in it: that estimate is within rounding of the root.
    constexpr double kSlack = 1e-9;
    auto headsInside = [&](const Newton& n, double qs, double qt) {
      return n.solvable && inQuarter(qs + n.ds, qt + n.dt, kSlack);
    };
    double s = cs, t = ct, previous = 0;
    Newton at;
    for (int step = 1;; ++step) {
      at = evaluate(s, t);
      if (!std::isfinite(at.sum)) return;
      if (at.sum < 0.001) break;
      if (step >= 5 && at.sum > previous) return;
      if (step >= 4 && !inQuarter(s, t, 0) && !headsInside(at, s, t)) return;
      if (step > 100) return;
      if (!at.solvable) return;
      s += at.ds;
      t += at.dt;
      previous = at.sum;
    }
    // A root outside the quarter lies on the polynomial's continuation,
    // not on this part of the surface (its own quarter finds it).
    if (!inQuarter(s, t, kSlack) && !headsInside(at, s, t)) return;
    double dist = Dot(at.P - O, D);
    if (dist < kNearRoot) {
      // Within the tolerance the stopping point may lie farther along the
      // ray than kMinDistance from a root at the ray's origin (more so as
      // the ray grazes the surface): a ray leaving this surface would meet
      // the very point it starts from. Such a near root is taken to full
      // precision.
      for (int step = 0; step < kPolishSteps && at.solvable && at.sum > kPolished; ++step) {
        const Newton next = evaluate(s + at.ds, t + at.dt);
        if (!(next.sum < at.sum)) break;
        s += at.ds;
        t += at.dt;
        at = next;
      }
      dist = Dot(at.P - O, D);
    }
    if (!(dist > kMinDistance)) return;
    RayHit h;
    h.object = k;
    h.u = i + s;
    h.v = j + t;
    h.t = dist;
    h.point = at.P;
    h.normal = Normalise(Cross(at.Ps, at.Pt));
    Add(h);
  }

  // The ray as the facet tree's slab test takes it: boxes are widened by
  // the segment's slack (which covers the rounding of the facet test's hit
  // point, and grows with the coordinates) and met between −slack and tmax.
  struct SlabRay {
    Segment segment;
    double inv[3] = {0, 0, 0};
    bool highFirst[3] = {false, false, false};  // the box's high bound is met first
    bool parallel = false;                      // a direction component is 0
    double tmax = 0;
#if defined(__SSE2__)
    // The same in both lanes of a register, for the two-box test.
    __m128d wideSlack, wideNear, wideTmax, wideOrigin[3], wideInv[3];
#endif
  };

  SlabRay Slabs(double tfar) const {
    SlabRay ray;
    ray.segment = SegmentTo(tfar);
    ray.tmax = tfar + ray.segment.slack;
    for (int a = 0; a < 3; ++a) {
      ray.parallel = ray.parallel || D[a] == 0;
      ray.inv[a] = D[a] != 0 ? 1 / D[a] : 0;
      ray.highFirst[a] = D[a] < 0;
    }
#if defined(__SSE2__)
    ray.wideSlack = _mm_set1_pd(ray.segment.slack);
    ray.wideNear = _mm_set1_pd(-ray.segment.slack);
    ray.wideTmax = _mm_set1_pd(ray.tmax);
    for (int a = 0; a < 3; ++a) {
      ray.wideOrigin[a] = _mm_set1_pd(O[a]);
      ray.wideInv[a] = _mm_set1_pd(ray.inv[a]);
    }
#endif
    return ray;
  }

  // Whether the ray meets lane c's widened box of a wide node, and from
  // where (tn). The bound met first along each axis is known from the
  // direction's sign, so no swap is needed; the values are those of the
  // textbook slab test.
  bool LaneSpan(const WideFacetNode& node, int c, const SlabRay& ray, double& tn) const {
    const double slack = ray.segment.slack;
    double tf = ray.tmax;
    tn = -slack;
    if (ray.parallel) {
      for (int a = 0; a < 3; ++a) {
        const double lo = node.lo[a][c] - slack, hi = node.hi[a][c] + slack;
        if (D[a] == 0) {
          if (!(O[a] >= lo && O[a] <= hi)) return false;
          continue;
        }
        double t1 = (lo - O[a]) * ray.inv[a], t2 = (hi - O[a]) * ray.inv[a];
        if (t1 > t2) std::swap(t1, t2);
        tn = std::max(tn, t1);
        tf = std::min(tf, t2);
      }
      return tn <= tf;
    }
    for (int a = 0; a < 3; ++a) {
      const double lo = node.lo[a][c] - slack, hi = node.hi[a][c] + slack;
      const double first = ray.highFirst[a] ? hi : lo, last = ray.highFirst[a] ? lo : hi;
      tn = std::max(tn, (first - O[a]) * ray.inv[a]);
      tf = std::min(tf, (last - O[a]) * ray.inv[a]);
    }
    return tn <= tf;
  }

  // The facet at position `at` of the facet order, of object k, for a cast
  // that needs one hit (see NearFirst); true when a shadow cast is settled.
  bool NearLeaf(int k, int at, const Segment& segment) {
    const int i = p.facetOrder[at];
    RayHit h;
    if (!FacetHit(k, i, segment, h)) return false;
    if (nearestOnly && BeyondBest(h.t)) return false;
    if (!nearestOnly && h.t >= maxDistance) return false;
    if (p.UsesOctree() && !ListedAtHit(p, f, k, p.FacetElement(i), O, D, h.point, state.nodeHits)) return false;
    Add(h, i);
    return shadow && opaqueHit;
  }

  // Appends the facet at position `at` of the facet order, of object k,
  // when the ray hits it and the octree lists it on the ray (see
  // CollectHits).
  void CollectLeaf(int k, int at, const Segment& segment, std::vector<int>& out) const {
    const int i = p.facetOrder[at];
    RayHit h;
    if (!FacetHit(k, i, segment, h)) return;
    // The octree is asked only about facets the ray hits.
    if (p.UsesOctree() && !ListedAtHit(p, f, k, p.FacetElement(i), O, D, h.point, state.nodeHits)) return;
    out.push_back(i);
  }

  // The four boxes of a wide node against the ray: bit c of the result
  // tells whether lane c is met, and tn[c] where. Without a zero direction
  // component the lanes are tested at once, each with the very operations
  // of LaneSpan (floats turn into doubles exactly; max and min of two
  // lanes pick as std::max and std::min do), so the answers are the same
  // to the bit.
  int WideSpans(const WideFacetNode& node, const SlabRay& ray, double (&tn)[4]) const {
#if defined(__SSE2__)
    if (!ray.parallel) {
      __m128d near01 = ray.wideNear, near23 = ray.wideNear, far01 = ray.wideTmax, far23 = ray.wideTmax;
      for (int a = 0; a < 3; ++a) {
        const __m128 lo4 = _mm_loadu_ps(node.lo[a]), hi4 = _mm_loadu_ps(node.hi[a]);
        const __m128d lo01 = _mm_sub_pd(_mm_cvtps_pd(lo4), ray.wideSlack);
        const __m128d lo23 = _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(lo4, lo4)), ray.wideSlack);
        const __m128d hi01 = _mm_add_pd(_mm_cvtps_pd(hi4), ray.wideSlack);
        const __m128d hi23 = _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(hi4, hi4)), ray.wideSlack);
        const bool high = ray.highFirst[a];
        const __m128d origin = ray.wideOrigin[a], inv = ray.wideInv[a];
        near01 = _mm_max_pd(_mm_mul_pd(_mm_sub_pd(high ? hi01 : lo01, origin), inv), near01);
        near23 = _mm_max_pd(_mm_mul_pd(_mm_sub_pd(high ? hi23 : lo23, origin), inv), near23);
        far01 = _mm_min_pd(_mm_mul_pd(_mm_sub_pd(high ? lo01 : hi01, origin), inv), far01);
        far23 = _mm_min_pd(_mm_mul_pd(_mm_sub_pd(high ? lo23 : hi23, origin), inv), far23);
      }
      _mm_storeu_pd(tn, near01);
      _mm_storeu_pd(tn + 2, near23);
      return _mm_movemask_pd(_mm_cmple_pd(near01, far01)) | _mm_movemask_pd(_mm_cmple_pd(near23, far23)) << 2;
    }
#endif
    int met = 0;
    for (int c = 0; c < 4; ++c) met |= LaneSpan(node, c, ray, tn[c]) ? 1 << c : 0;
    return met;
  }

  // Facet object k through its wide tree, nearer boxes first, for a cast
  // that needs one hit: the nearest (nearest mode), or any opaque one that
  // blocks a shadow ray. Boxes beyond what is already found are skipped.
  // Every facet is tested with the object's tfar, as in a full cast, so a
  // hit found here is the very record a full cast makes.
  void NearFirst(int k, const SlabRay& ray, int root) {
    // The stack of wide nodes (or −position − 1 of a facet) and where the
    // ray enters them, in two arrays: an entry copied whole would be read
    // with its padding, which stalls the load on the stores of its fields.
    // Each node taken leaves at most three entries more: 64 hold a tree of
    // 16 wide levels, more than int-counted facets make.
    constexpr int kStack = 64;
    int refs[kStack];
    double nears[kStack];
    int top = 0;
    refs[top] = root;
    nears[top++] = -ray.segment.slack;
    while (top > 0) {
      --top;
      const double entryNear = nears[top];
      const int ref = refs[top];
      if (nearestOnly ? BeyondBest(entryNear) : entryNear > maxDistance + Margin(maxDistance)) continue;
      if (ref < 0) {
        if (NearLeaf(k, -ref - 1, ray.segment)) return;
        continue;
      }
      const WideFacetNode& node = p.wideTree[ref];
      double tn[4];
      const int met = WideSpans(node, ray, tn);
      // The lanes met, farthest first, so that the nearest is taken next.
      int lanes[4];
      int count = 0;
      for (int c = 0; c < 4; ++c) {
        if (!(met & (1 << c))) continue;
        int i = count++;
        for (; i > 0 && tn[lanes[i - 1]] < tn[c]; --i) lanes[i] = lanes[i - 1];
        lanes[i] = c;
      }
      for (int i = 0; i < count; ++i) {
        refs[top] = node.child[lanes[i]];
        nears[top++] = tn[lanes[i]];
      }
    }
  }

  // Appends the facets of object k that the ray hits (tested with the
  // object's tfar) and that the octree lists on the ray, from its wide tree
  // root `root`: only the facets of boxes the ray meets can be hit.
  void CollectHits(int k, const SlabRay& ray, int root, std::vector<int>& out) const {
    constexpr int kStack = 64;  // as in NearFirst
    int stack[kStack];
    int top = 0;
    stack[top++] = root;
    while (top > 0) {
      const int ref = stack[--top];
      if (ref < 0) {
        CollectLeaf(k, -ref - 1, ray.segment, out);
        continue;
      }
      const WideFacetNode& node = p.wideTree[ref];
      double tn[4];
      const int met = WideSpans(node, ray, tn);
      for (int c = 3; c >= 0; --c) {
        if (met & (1 << c)) stack[top++] = node.child[c];
      }
    }
  }

  // Adds the hits of object k's facets in `list` (which the ray hits) in
  // facet order, each with the record of the facet test.
  void AddInFacetOrder(int k, double tfar, std::vector<int>& list) {
    std::sort(list.begin(), list.end());
    const Segment segment = SegmentTo(tfar);
    for (const int i : list) {
      RayHit h;
      FacetHit(k, i, segment, h);
      Add(h);
      if (shadow && opaqueHit) return;
    }
  }

  // A quicker, looser `RayBox` (reciprocals for divisions, a margin for
  // their rounding): false only where `RayBox` would miss the box.
  bool MayMeetBox(const Boite& box) const {
    const double lo[3] = {box.xmin, box.ymin, box.zmin};
    const double hi[3] = {box.xmax, box.ymax, box.zmax};
    double tn = -std::numeric_limits<double>::infinity(), tf = std::numeric_limits<double>::infinity();
    for (int a = 0; a < 3; ++a) {
      if (D[a] == 0) {
        if (O[a] < lo[a] || O[a] > hi[a]) return false;
        continue;
      }
      double t1 = (lo[a] - O[a]) * inverse[a], t2 = (hi[a] - O[a]) * inverse[a];
      if (t1 > t2) std::swap(t1, t2);
      tn = std::max(tn, t1);
      tf = std::min(tf, t2);
    }
    const double margin = 1e-9 * (std::fabs(tn) + std::fabs(tf));
    return !(tf < tn - margin) && !(tf <= -margin);
  }

  // Calls visit(k) in turn for each object k below n whose box MayMeetBox
  // lets through, while visit returns true. Without a zero direction
  // component the boxes are tested two at once, lane by lane with the
  // operations of MayMeetBox (a lane's max and min pick the values the
  // swap and std::max and std::min do, but for the sign of a zero, which
  // the verdict does not see), so the same objects come through.
  template <class Visit>
  void ForObjectsMayMeet(int n, Visit&& visit) const {
#if defined(__SSE2__)
    const ObjectBoxRows& rows = p.objectBoxRows;
    if (D[0] != 0 && D[1] != 0 && D[2] != 0 && rows.stride >= n) {
      const __m128d inf = _mm_set1_pd(std::numeric_limits<double>::infinity());
      const __m128d sign = _mm_set1_pd(-0.0);
      // Read once: the visits write memory these may alias.
      const __m128d origin[3] = {_mm_set1_pd(O[0]), _mm_set1_pd(O[1]), _mm_set1_pd(O[2])};
      const __m128d inv[3] = {_mm_set1_pd(inverse[0]), _mm_set1_pd(inverse[1]), _mm_set1_pd(inverse[2])};
      const double* row[6];
      for (int r = 0; r < 6; ++r) row[r] = rows.Row(r);
      for (int k = 0; k < n; k += 2) {
        __m128d tn = _mm_xor_pd(inf, sign), tf = inf;
        for (int a = 0; a < 3; ++a) {
          const __m128d t1 = _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(row[a] + k), origin[a]), inv[a]);
          const __m128d t2 = _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(row[3 + a] + k), origin[a]), inv[a]);
          tn = _mm_max_pd(tn, _mm_min_pd(t1, t2));
          tf = _mm_min_pd(tf, _mm_max_pd(t1, t2));
        }
        const __m128d margin =
            _mm_mul_pd(_mm_set1_pd(1e-9), _mm_add_pd(_mm_andnot_pd(sign, tn), _mm_andnot_pd(sign, tf)));
        const __m128d missed =
            _mm_or_pd(_mm_cmplt_pd(tf, _mm_sub_pd(tn, margin)), _mm_cmple_pd(tf, _mm_xor_pd(margin, sign)));
        const int met = ~_mm_movemask_pd(missed);
        if ((met & 1) && !visit(k)) return;
        if ((met & 2) && k + 1 < n && !visit(k + 1)) return;
      }
      return;
    }
#endif
    for (int k = 0; k < n; ++k) {
      if (MayMeetBox(p.TabOBJ[k].box) && !visit(k)) return;
    }
  }

  // Whether the ray meets the box of object k, which MayMeetBox lets
  // through, and where (tnear, tfar).
  bool ObjectSpan(int k, double& tnear, double& tfar) const {
    const ObjectBoxes& ob = p.TabOBJ[k];
    return ob.hasBox && RayBox(O, D, ob.box, tnear, tfar);
  }

  // Object k, whose box the ray meets from tnear to tfar.
  void Object(int k, double tnear, double tfar) {
    const ObjectEntry& e = f.objects[k];
    const ObjectBoxes& ob = p.TabOBJ[k];
    const bool octree = p.UsesOctree();
    if (nearestOnly && BeyondBest(tnear)) return;
    if (octree && !e.IsFacetObject()) {
      // Grids and curved objects: one marking pass over the octree serves
      // all of them, made when the ray first reaches one.
      if (!marked && !f.previewMaterial) {
        MarkCandidates(p, O, D, state.marks);
        marked = true;
      }
      if (!state.marks.IsCandidate(k)) return;
    }
    if (e.IsFacetObject()) {
      if (ob.wideTreeRoot < 0) {
        for (int i = e.firstFacet; i < e.firstFacet + e.facetCount; ++i) {
          if (octree && !ListedOnRay(p, f, k, p.FacetElement(i), O, D, state.nodeHits)) continue;
          Facet(k, i, tfar);
          if (shadow && opaqueHit) return;
        }
        return;
      }
      // One hit settles a nearest cast, and a shadow cast through an opaque
      // object (while the hit list has room, so the hit is kept).
      const SlabRay ray = Slabs(tfar);
      if (nearestOnly || (shadow && Opaque(k) && hits.Count() < HitList::kMaxHits)) {
        NearFirst(k, ray, ob.wideTreeRoot);
        return;
      }
      // Every hit, added in facet order like a pass over all the facets:
      // the tree finds the facets hit, which are then tested again in order
      // (the test gives the same record each time).
      std::vector<int>& list = state.facetList;
      list.clear();
      CollectHits(k, ray, ob.wideTreeRoot, list);
      AddInFacetOrder(k, tfar, list);
      return;
    }
    const bool curved = e.IsCurved();
    DescendQuadTree(p, k, O, D, [&](const Boite& leaf, double leafNear, double leafFar) {
      if (curved) {
        Patch(k, leaf.cellU / 2.0, leaf.cellV / 2.0);
      } else {
        // A cell's two facets lie in its leaf box: a box beyond the nearest
        // hit holds none nearer. (A patch's Newton point may stray from the
        // ray by its tolerance, so patch cells are all tried.)
        if (nearestOnly && BeyondBest(leafNear)) return true;
        const int c = static_cast<int>(leaf.cellU), r = static_cast<int>(leaf.cellV);
        const int first = e.firstFacet + 2 * (r * e.nu + c);
        Facet(k, first, leafFar);
        Facet(k, first + 1, leafFar);
      }
      return !(shadow && opaqueHit);
    });
  }

  // A nearest cast over the objects whose boxes the ray meets, the
  // nearest box first: once a box begins beyond the best hit, so do all
  // that follow, and their objects need no walk.
  void NearestObjectsFirst(int n) {
    std::vector<ObjectSpanOnRay>& met = state.objectSpans;
    met.clear();
    ForObjectsMayMeet(n, [&](int k) {
      ObjectSpanOnRay span{k, 0, 0};
      if (!ObjectSpan(k, span.tnear, span.tfar)) return true;
      // Insertion by tnear; objects at the same tnear stay in turn.
      met.push_back(span);
      std::size_t i = met.size() - 1;
      for (; i > 0 && span.tnear < met[i - 1].tnear; --i) met[i] = met[i - 1];
      met[i] = span;
      return true;
    });
    for (const ObjectSpanOnRay& span : met) {
      if (BeyondBest(span.tnear)) break;
      Object(span.object, span.tnear, span.tfar);
    }
  }

  int Run() {
    Cast();
    if (nearestOnly) {
      hits.Clear();
      if (haveBest) hits.Add(best);
    }
    return hits.Count();
  }

  int Cast() {
    hits.Clear();
    marked = false;
    for (int a = 0; a < 3; ++a) inverse[a] = D[a] != 0 ? 1 / D[a] : 0;
    const bool groundOn = f.hasGround && scene.settings->groundOn && scene.settings->rayTracing &&
                          f.objectCount < static_cast<int>(f.objects.size());
    double tnear, tfar;
    const bool inScene = f.previewMaterial || (p.hasSceneBox && RayBox(O, D, p.sceneBox, tnear, tfar));
    if (groundOn) {
      Ground();
      if (shadow && opaqueHit) return hits.Count();
    }
    if (!inScene) return hits.Count();
    if (p.UsesOctree()) {
      // Octree nodes are tested as elements ask for them, once per ray.
      if (state.nodeHits.Size() < p.HON.Size()) state.nodeHits.Resize(p.HON.Size());
      state.nodeHits.NewRay();
    }
    const int n = std::min(f.objectCount, static_cast<int>(p.TabOBJ.size()));
    if (!f.previewMaterial) {
      if (nearestOnly) {
        NearestObjectsFirst(n);
        return hits.Count();
      }
      ForObjectsMayMeet(n, [&](int k) {
        double tnear, tfar;
        if (ObjectSpan(k, tnear, tfar)) Object(k, tnear, tfar);
        return !(shadow && opaqueHit);
      });
      return hits.Count();
    }
    for (int k = 0; k < n; ++k) {
      if (k < kPreviewSpheres) {
        if (k < static_cast<int>(p.spheres.size())) {
          HitList local;
          if (!SphereHits(O, D, p.spheres[k].centre, p.spheres[k].radius, k, local) && state.frameMessages++ == 0) {
            ShowMessage(MessageKind::Error, kMsgRayFrame);
          }
          for (int i = 0; i < local.Count(); ++i) Add(local[i]);
        }
      } else {
        double tnear, tfar;
        if (MayMeetBox(p.TabOBJ[k].box) && ObjectSpan(k, tnear, tfar)) Object(k, tnear, tfar);
      }
      if (shadow && opaqueHit) break;
    }
    return hits.Count();
  }
};

}  // namespace

void HitList::Add(const RayHit& hit) {
  if (count_ < kMaxHits) {
    hits_[count_++] = hit;
    sorted_ = false;
    if (count_ == kMaxHits) Sort();
    return;
  }
  // Full and sorted: a nearer hit takes the farthest one's place.
  if (!(hit.t < hits_[kMaxHits - 1].t)) return;
  int i = kMaxHits - 1;
  while (i > 0 && hits_[i - 1].t > hit.t) {
    hits_[i] = hits_[i - 1];
    --i;
  }
  hits_[i] = hit;
}

void HitList::Sort() {
  if (sorted_) return;
  // By distance, hits at equal distances in the order they came: an
  // insertion sort, stable and without the buffer a stable sort would
  // allocate for a list this short.
  for (int i = 1; i < count_; ++i) {
    const RayHit hit = hits_[i];
    int j = i;
    for (; j > 0 && hit.t < hits_[j - 1].t; --j) hits_[j] = hits_[j - 1];
    hits_[j] = hit;
  }
  sorted_ = true;
}

const RayHit& HitList::Nearest() {
  Sort();
  return hits_[0];
}

Vec3 SceneDirection(const Camera& camera, const Vec3& d) {
  const Mat3& a = camera.axes;
  return {d[0] * a[0][0] + d[1] * a[1][0] + d[2] * a[2][0], d[0] * a[0][1] + d[1] * a[1][1] + d[2] * a[2][1],
          d[0] * a[0][2] + d[1] * a[1][2] + d[2] * a[2][2]};
}

Vec3 ScenePoint(const Camera& camera, const Vec3& p) { return camera.centre + SceneDirection(camera, p); }

void PatchEval(const std::array<Vec3, 9>& net, double s, double t, Vec3& point, Vec3& ds, Vec3& dt) {
  const double bs[3] = {(1 - s) * (1 - s) / 2, (1 - s) * s + 0.5, s * s / 2};
  const double bt[3] = {(1 - t) * (1 - t) / 2, (1 - t) * t + 0.5, t * t / 2};
  const double gs[3] = {s - 1, 1 - 2 * s, s};
  const double gt[3] = {t - 1, 1 - 2 * t, t};
  point = ds = dt = Vec3{};
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a) {
      const Vec3& q = net[b * 3 + a];
      point = point + (bs[a] * bt[b]) * q;
      ds = ds + (gs[a] * bt[b]) * q;
      dt = dt + (bs[a] * gt[b]) * q;
    }
  }
}

void LoadPatchCell(const FrameTables& frame, int k, int i, int j, PatchCache& cache) {
  if (cache.object == k && cache.i == i && cache.j == j) return;
  const ObjectEntry& e = frame.objects[k];
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a) cache.points[b * 3 + a] = ToVec3(frame.points[e.firstPoint + (j + b) * e.nu + i + a]);
  }
  cache.object = k;
  cache.i = i;
  cache.j = j;
}

bool SphereHits(const Vec3& O, const Vec3& D, const Vec3& centre, double radius, int object, HitList& hits) {
  // The ray's frame: its third axis along D.
  static const Vec3 kAxes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  Vec3 X{};
  bool found = false;
  for (const Vec3& axis : kAxes) {
    const Vec3 c = Cross(D, axis);
    if (Length(c) >= 0.00001) {
      X = Normalise(c);
      found = true;
      break;
    }
  }
  if (!found) return false;
  const Vec3 Y = Cross(D, X);
  const Vec3 rel = centre - O;
  const double x = Dot(rel, X), y = Dot(rel, Y), z = Dot(rel, D);
  const double m = radius * radius - x * x - y * y;
  auto add = [&](double t) {
    RayHit h;
    h.object = object;
    h.t = t;
    h.point = O + t * D;
    const Vec3 r = h.point - centre;
    const double l = Length(r);
    if (std::fabs(l - radius) > 0.0001) Trace("Intersection Sphere VNorme=%f!=R=%f\n", l, radius);
    h.normal = radius > 0 ? (1 / radius) * r : Vec3{0, 0, 1};
    hits.Add(h);
  };
  if (m < 0 || !std::isfinite(m)) return true;
  if (m == 0) {
    if (z > kMinDistance) add(z);
    return true;
  }
  const double root = std::sqrt(m);
  if (z + root < kMinDistance) return true;
  add(z + root);
  if (z - root >= kMinDistance) add(z - root);
  return true;
}

RayState::RayState(const TraceScene& scene) : marks(scene.prepared ? scene.prepared->NewMarks() : CandidateMarks()) {}

int RayCastNearest(const TraceScene& scene, RayState& state, const Vec3& origin, const Vec3& direction,
                   HitList& hits) {
  Caster caster{scene, *scene.frame, *scene.prepared, state, origin, direction, hits, false, 1e300};
  caster.nearestOnly = true;
  return caster.Run();
}

int RayCast(const TraceScene& scene, RayState& state, const Vec3& origin, const Vec3& direction, HitList& hits,
            bool shadow, double maxDistance) {
  Caster caster{scene, *scene.frame, *scene.prepared, state, origin, direction, hits, shadow, maxDistance};
  return caster.Run();
}

}  // namespace tessaran
