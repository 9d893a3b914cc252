#include "renderer/engine/octree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "platform/console.h"
#include "platform/report.h"
#include "platform/sysinfo.h"
#include "renderer/engine/facet_trees.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

enum : int {
  kMsgQuadPools = 272,
  kMsgFlags = 273,
  kMsgOctreePools = 274,
  kMsgHierarchy = 280,
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr int kSpheres = 10;

bool Overlap(const Boite& a, const Boite& b) {
  return a.xmin <= b.xmax && b.xmin <= a.xmax && a.ymin <= b.ymax && b.ymin <= a.ymax && a.zmin <= b.zmax &&
         b.zmin <= a.zmax;
}

bool Inside(const Vec3& p, const Boite& b) {
  return p[0] >= b.xmin && p[0] <= b.xmax && p[1] >= b.ymin && p[1] <= b.ymax && p[2] >= b.zmin && p[2] <= b.zmax;
}

Vec3 Corner(const Boite& b, int j) {
  return {j & 1 ? b.xmax : b.xmin, j & 2 ? b.ymax : b.ymin, j & 4 ? b.zmax : b.zmin};
}

Boite Octant(const Boite& b, int i) {
  const double xm = (b.xmin + b.xmax) / 2, ym = (b.ymin + b.ymax) / 2, zm = (b.zmin + b.zmax) / 2;
  Boite o;
  o.xmin = i & 1 ? xm : b.xmin;
  o.xmax = i & 1 ? b.xmax : xm;
  o.ymin = i & 2 ? ym : b.ymin;
  o.ymax = i & 2 ? b.ymax : ym;
  o.zmin = i & 4 ? zm : b.zmin;
  o.zmax = i & 4 ? b.zmax : zm;
  return o;
}

// The box of a facet's three corners.
Boite CornerBox(const Vec3 (&v)[3]) {
  Boite b;
  b.xmin = std::min({v[0][0], v[1][0], v[2][0]});
  b.ymin = std::min({v[0][1], v[1][1], v[2][1]});
  b.zmin = std::min({v[0][2], v[1][2], v[2][2]});
  b.xmax = std::max({v[0][0], v[1][0], v[2][0]});
  b.ymax = std::max({v[0][1], v[1][1], v[2][1]});
  b.zmax = std::max({v[0][2], v[1][2], v[2][2]});
  return b;
}

void DrawBox(const PreparedScene& s, const FrameTables& frame, const Boite& b, EngineHooks& hooks) {
  static constexpr int kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                        {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (const auto& edge : kEdges) {
    DrawClipped(s.pyramid, frame.camera, frame.mapping, Corner(b, edge[0]), Corner(b, edge[1]), kWhite, hooks);
  }
}

// The box of the vertices of a facet object's faces, widened like a leaf
// box where it is flat so that the ray–box test can meet it.
void FacetObjectBox(PreparedScene& s, const FrameTables& frame, int k) {
  const ObjectEntry& e = frame.objects[k];
  ObjectBoxes& ob = s.TabOBJ[k];
  Boite b;
  b.xmin = b.ymin = b.zmin = kInf;
  b.xmax = b.ymax = b.zmax = -kInf;
  for (int i = 0; i < e.facetCount; ++i) {
    const Facet& f = s.facets[e.firstFacet + i];
    if (f.a < 0) continue;
    for (const int v : {f.a, f.b, f.c}) {
      const auto& p = frame.points[v];
      b.xmin = std::min<double>(b.xmin, p[0]);
      b.ymin = std::min<double>(b.ymin, p[1]);
      b.zmin = std::min<double>(b.zmin, p[2]);
      b.xmax = std::max<double>(b.xmax, p[0]);
      b.ymax = std::max<double>(b.ymax, p[1]);
      b.zmax = std::max<double>(b.zmax, p[2]);
    }
  }
  if (!(b.xmin <= b.xmax)) return;
  const double px = 1 / frame.mapping.scaleX, py = 1 / frame.mapping.scaleY;
  if (b.xmax - b.xmin < px) b.xmin -= px, b.xmax += px;
  if (b.ymax - b.ymin < py) b.ymin -= py, b.ymax += py;
  if (b.zmax - b.zmin < px) b.zmin -= px, b.zmax += px;
  ob.box = b;
  ob.hasBox = true;
}

// Appends an element to a node's list; false when the pool is exhausted.
bool Append(PreparedScene& s, PoolIndex node, int object, int element) {
  const PoolIndex r = s.HRL.Alloc();
  if (r == kNoRecord) {
    Trace("HeapAlloc(1) error CountHRL=%ld\n", s.HRL.allocs);
    return false;
  }
  s.HRL[r] = RenderList{object, element, kNoRecord};
  OctNode& n = s.HON[node];
  if (n.tail == kNoRecord) {
    n.head = r;
  } else {
    s.HRL[n.tail].next = r;
  }
  n.tail = r;
  return true;
}

void FreeList(PreparedScene& s, PoolIndex node) {
  for (PoolIndex r = s.HON[node].head; r != kNoRecord;) {
    const PoolIndex next = s.HRL[r].next;
    s.HRL.Free(r);
    r = next;
  }
  s.HON[node].head = s.HON[node].tail = kNoRecord;
}

// Whether an element passes the node's box.
bool Passes(const PreparedScene& s, const FrameTables& frame, int object, int element, const Boite& box) {
  if (element < 0) return Overlap(s.TabOBJ[object].box, box);
  return FacetMeetsBox(s.facets[element - s.objectCount - 1], frame.points, box);
}

// The box of a listed element: a whole object's, or a facet's corners.
Boite ElementBox(const PreparedScene& s, const FrameTables& frame, const RenderList& element) {
  if (element.element < 0) return s.TabOBJ[element.object].box;
  const Facet& f = s.facets[element.element - s.objectCount - 1];
  const Vec3 v[3] = {ToVec3(frame.points[f.a]), ToVec3(frame.points[f.b]), ToVec3(frame.points[f.c])};
  return CornerBox(v);
}

// An element of a node's list, with the octants of the node's box that
// its box overlaps (bit i for octant i): it can pass only the children its
// bits name, the others skip its test.
struct ListedElement {
  std::int32_t object;
  std::int32_t element;
  std::uint8_t octants;
};

// The elements of a node's list, in list order, gathered for its children
// to read one after another instead of along the list's links, which the
// pool's reuse of freed records scatters. Empty when the memory cannot be
// had: the children then follow the links and test every element.
std::vector<ListedElement> ListedElements(const PreparedScene& s, const FrameTables& frame, PoolIndex node,
                                          int count) {
  std::vector<ListedElement> listed;
  try {
    listed.reserve(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    return listed;
  }
  const Boite box = s.HBox[s.HON[node].box];
  Boite octants[8];
  for (int i = 0; i < 8; ++i) octants[i] = Octant(box, i);
  for (PoolIndex r = s.HON[node].head; r != kNoRecord; r = s.HRL[r].next) {
    const RenderList& e = s.HRL[r];
    const Boite own = ElementBox(s, frame, e);
    std::uint8_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= Overlap(own, octants[i]) ? 1 << i : 0;
    listed.push_back({e.object, e.element, bits});
  }
  return listed;
}

// The node's `RenderList`: from the objects at the root, from the parent's
// list below it (`parentElements`, or the parent's own list when they could
// not be had), where this node is octant `octant` of the parent. False when
// the pool ran out.
bool BuildList(PreparedScene& s, const FrameTables& frame, PoolIndex node,
               const std::vector<ListedElement>& parentElements, int octant, int& count) {
  count = 0;
  const Boite box = s.HBox[s.HON[node].box];
  const PoolIndex parent = s.HON[node].parent;
  if (parent == kNoRecord) {
    for (int k = 0; k < s.objectCount; ++k) {
      const ObjectBoxes& ob = s.TabOBJ[k];
      if (!ob.hasBox || !Overlap(ob.box, box)) continue;
      const ObjectEntry& e = frame.objects[k];
      if (!e.IsFacetObject()) {
        if (!Append(s, node, k, -1)) return false;
        ++count;
        continue;
      }
      for (int i = 0; i < e.facetCount; ++i) {
        const Facet& f = s.facets[e.firstFacet + i];
        // A degenerate facet is never hit: it needs no place in the tree.
        if (IsDegenerate(f) || !FacetMeetsBox(f, frame.points, box)) continue;
        if (!Append(s, node, k, s.FacetElement(e.firstFacet + i))) return false;
        ++count;
      }
    }
    return true;
  }
  auto take = [&](int object, int element) {
    if (!Passes(s, frame, object, element, box)) return true;
    ++count;
    return Append(s, node, object, element);
  };
  if (!parentElements.empty()) {
    for (const ListedElement& e : parentElements) {
      if ((e.octants >> octant & 1) && !take(e.object, e.element)) return false;
    }
    return true;
  }
  for (PoolIndex r = s.HON[parent].head; r != kNoRecord; r = s.HRL[r].next) {
    const RenderList element = s.HRL[r];
    if (!take(element.object, element.element)) return false;
  }
  return true;
}

// The pools are reserved from estimates before the build and only read
// after it: what the build left unused is given back.
void TrimPools(PreparedScene& s) {
  s.HBox.Trim();
  s.HQN.Trim();
  s.HON.Trim();
  s.HRL.Trim();
}

void ReportPools(const char* when, const PreparedScene& s) {
  Trace("%s CountHON=%ld CountHONFREE=%ld; CountHBoite=%ld  CountHBoiteFREE=%ld CountHRL=%ld CountHRLF=%ld\n", when,
        s.HON.allocs, s.HON.frees, s.HBox.allocs, s.HBox.frees, s.HRL.allocs, s.HRL.frees);
}

// Fills the table of the leaves that list each facet, from the leaves'
// lists. Without the memory the table stays empty and every question
// takes the walk.
void IndexFacetLeaves(PreparedScene& s) {
  const std::size_t facets = s.facets.size();
  std::vector<PoolIndex> leaves;
  std::vector<PoolIndex> stack{s.OctScene};
  while (!stack.empty()) {
    const PoolIndex n = stack.back();
    stack.pop_back();
    const OctNode& node = s.HON[n];
    if (node.head != kNoRecord) leaves.push_back(n);
    for (const PoolIndex child : node.child) {
      if (child != kNoRecord) stack.push_back(child);
    }
  }
  auto facetOf = [&](const RenderList& e) { return e.element < 0 ? -1 : e.element - s.objectCount - 1; };
  try {
    s.facetLeafStart.assign(facets + 1, 0);
    for (const PoolIndex leaf : leaves) {
      for (PoolIndex r = s.HON[leaf].head; r != kNoRecord; r = s.HRL[r].next) {
        const int f = facetOf(s.HRL[r]);
        if (f >= 0) ++s.facetLeafStart[static_cast<std::size_t>(f) + 1];
      }
    }
    for (std::size_t i = 0; i < facets; ++i) s.facetLeafStart[i + 1] += s.facetLeafStart[i];
    s.facetLeaves.resize(static_cast<std::size_t>(s.facetLeafStart[facets]));
    std::vector<std::int32_t> fill(s.facetLeafStart.begin(), s.facetLeafStart.end() - 1);
    for (const PoolIndex leaf : leaves) {
      for (PoolIndex r = s.HON[leaf].head; r != kNoRecord; r = s.HRL[r].next) {
        const int f = facetOf(s.HRL[r]);
        if (f >= 0) s.facetLeaves[static_cast<std::size_t>(fill[static_cast<std::size_t>(f)]++)] = leaf;
      }
    }
  } catch (const std::bad_alloc&) {
    s.facetLeafStart = {};
    s.facetLeaves = {};
  }
}

}  // namespace

std::size_t PreparedScene::Bytes() const {
  return facets.capacity() * sizeof(Facet) + NPhong.capacity() * sizeof(Vec3) +
         TabOBJ.capacity() * sizeof(ObjectBoxes) + HBox.Bytes() + HQN.Bytes() + HON.Bytes() + HRL.Bytes() +
         OctreeFlags.Bytes() + spheres.capacity() * sizeof(SphereDescription) +
         objectBoxRows.rows.capacity() * sizeof(double) + wideTree.capacity() * sizeof(WideFacetNode) + facetOrder.capacity() * sizeof(std::int32_t) +
         facetLeafStart.capacity() * sizeof(std::int32_t) + facetLeaves.capacity() * sizeof(PoolIndex);
}

int EffectiveDepth(int elementCount, int maxOctreeDepth) {
  const int setting = std::clamp(maxOctreeDepth, 1, 8);
  return std::min(elementCount / 8, setting);
}

bool SizeHeaps(const FrameTables& frame, const RenderSettings& settings, PreparedScene& s) {
  const std::uint64_t memory = settings.poolMemory ? settings.poolMemory : AvailableMemory();
  // The box budget of the quadtrees: every leaf and the nodes of a full
  // quadtree over them.
  long B = 0;
  for (const ObjectEntry& e : frame.objects) {
    if (e.IsFacetObject() || e.nu < 2 || e.nv < 2) continue;
    const long L = e.IsCurved() ? 4L * (e.nu - 1) * (e.nv - 1) : long{e.nu} * e.nv;
    if (e.IsCurved() && (e.nu < 3 || e.nv < 3)) continue;
    B += L;
    const int levels = static_cast<int>(std::floor(std::log(static_cast<double>(L)) / std::log(4.0) + 0.5)) + 1;
    for (long k = 0, power = 1; k < levels; ++k, power *= 4) B += power;
    Trace("NbMinBoite initiale=%ld 4puissmax=%f NbMinBoite final:%ld\n", L, static_cast<double>(levels), B);
  }
  s.D = EffectiveDepth(s.elementCount, settings.maxOctreeDepth);
  const long F = static_cast<long>(s.facets.size());
  long M = 0;
  s.flags = false;
  if (s.D >= 2) {
    try {
      s.OctreeFlags.Resize(s.elementCount);
      s.flags = true;
    } catch (const std::bad_alloc&) {
      ShowMessage(MessageKind::Error, kMsgFlags);
    }
    M = std::lround(std::pow(8.0, s.D));
    Trace("Nombre de boite max possible :(%ld + %ld)*(%d octets)\n", B, M, static_cast<int>(sizeof(Boite)));
    const long E = 2L * s.elementCount;
    if (s.D >= 6 && E < M) {
      M = std::max(M / 64, E);
    } else if (s.D >= 4 && s.D < 6 && E < M) {
      M = std::max(M / 8, E);
    } else if (s.D < 4 && M < 4L * s.elementCount) {
      M = 4L * s.elementCount;
    }
    Trace("Nombre de boite Allouée:%ld\n", B + M);
  }
  const bool limit = settings.limitPools;
  if (!s.HBox.Create(B + M, limit ? 10 * (B + M) : 0, memory) ||
      (B >= 1 && !s.HQN.Create(B, limit ? 10 * B : 0, memory))) {
    ShowMessage(MessageKind::Error, kMsgQuadPools, static_cast<int>(19 * B / 256));
    return false;
  }
  if (B < 1) s.HQN.Create(0, 0, memory);
  if (s.D < 2) return true;
  const long D = s.D;
  if (!s.HRL.Create(M / 2 + F * D, limit ? 5 * (M + F * D) : 0, memory) ||
      !s.HON.Create(M / 2, limit ? 5 * M : 0, memory)) {
    ShowMessage(MessageKind::Error, kMsgOctreePools);
    s.HRL.Destroy();
    s.HON.Destroy();
  }
  return true;
}


bool FacetMeetsBox(const Facet& f, std::span<const std::array<float, 3>> points, const Boite& box) {
  const Vec3 v[3] = {ToVec3(points[f.a]), ToVec3(points[f.b]), ToVec3(points[f.c])};
  for (const Vec3& p : v) {
    if (Inside(p, box)) return true;
  }
  if (!Overlap(CornerBox(v), box)) return false;
  // The plane meets the box unless every corner lies strictly on one side;
  // a corner on the plane counts as meeting, so that a facet lying in a
  // face of the box is kept by the boxes on both sides.
  double lo = kInf, hi = -kInf;
  for (int j = 0; j < 8; ++j) {
    const double value = Dot(f.normal, Corner(box, j) - v[0]);
    lo = std::min(lo, value);
    hi = std::max(hi, value);
  }
  const double slack = 1e-12 * (std::fabs(lo) + std::fabs(hi));
  return lo <= slack && hi >= -slack;
}

bool RayBox(const Vec3& o, const Vec3& d, const Boite& box, double& tnear, double& tfar) {
  const double lo[3] = {box.xmin, box.ymin, box.zmin};
  const double hi[3] = {box.xmax, box.ymax, box.zmax};
  tnear = -kInf;
  tfar = kInf;
  for (int i = 0; i < 3; ++i) {
    if (d[i] == 0) {
      if (o[i] < lo[i] || o[i] > hi[i]) return false;
      continue;
    }
    double t1 = (lo[i] - o[i]) / d[i], t2 = (hi[i] - o[i]) / d[i];
    if (d[i] < 0) std::swap(t1, t2);
    tnear = std::max(tnear, t1);
    tfar = std::min(tfar, t2);
  }
  // Bounds included: a ray crossing a flat box (tnear = tfar) meets it.
  return tfar >= tnear && tfar > 0;
}

void MarkCandidates(const PreparedScene& s, const Vec3& origin, const Vec3& direction, CandidateMarks& marks) {
  marks.NewRay();
  if (!s.octree) return;
  PoolIndex stack[8 * 9 + 1];
  int top = 0;
  stack[top++] = s.OctScene;
  while (top > 0) {
    const OctNode& node = s.HON[stack[--top]];
    double tnear, tfar;
    if (!RayBox(origin, direction, s.HBox[node.box], tnear, tfar)) continue;
    if (node.head != kNoRecord) {
      for (PoolIndex r = node.head; r != kNoRecord; r = s.HRL[r].next) {
        const RenderList& e = s.HRL[r];
        marks.Mark(e.element < 0 ? e.object : e.element);
      }
      continue;
    }
    for (int i = 7; i >= 0; --i) {
      if (node.child[i] != kNoRecord) stack[top++] = node.child[i];
    }
  }
}

bool ListedOnRay(const PreparedScene& s, const FrameTables& frame, int k, int element, const Vec3& origin,
                 const Vec3& direction, NodeHits& hits) {
  if (!s.octree || s.OctScene == kNoRecord) return false;
  const ObjectBoxes& ob = s.TabOBJ[k];
  const Facet* facet = element < 0 ? nullptr : &s.facets[element - s.objectCount - 1];
  auto meets = [&](PoolIndex n) {
    const int known = hits.Known(n);
    if (known >= 0) return known == 1;
    double tnear, tfar;
    const bool hit = RayBox(origin, direction, s.HBox[s.HON[n].box], tnear, tfar);
    hits.Set(n, hit);
    return hit;
  };
  auto passes = [&](PoolIndex n) {
    const Boite& box = s.HBox[s.HON[n].box];
    return facet ? FacetMeetsBox(*facet, frame.points, box) : Overlap(ob.box, box);
  };
  // A facet meets only boxes its own box overlaps: that cheap test first
  // spares the ray's box test of most children of a node.
  Boite own = ob.box;
  if (facet) {
    const Vec3 v[3] = {ToVec3(frame.points[facet->a]), ToVec3(frame.points[facet->b]),
                       ToVec3(frame.points[facet->c])};
    own = CornerBox(v);
  }
  auto near = [&](PoolIndex n) { return Overlap(own, s.HBox[s.HON[n].box]); };
  // The root's list takes the objects whose boxes meet it, and of a facet
  // object the facets that can be hit and meet it.
  const Boite& rootBox = s.HBox[s.HON[s.OctScene].box];
  if (!ob.hasBox || !Overlap(ob.box, rootBox) || (facet && IsDegenerate(*facet))) return false;
  if (!meets(s.OctScene) || (facet && !passes(s.OctScene))) return false;
  PoolIndex stack[8 * 9 + 1];
  int top = 0;
  stack[top++] = s.OctScene;
  while (top > 0) {
    const OctNode& node = s.HON[stack[--top]];
    if (node.head != kNoRecord) return true;  // a leaf: its list holds the element
    for (const PoolIndex child : node.child) {
      if (child != kNoRecord && near(child) && meets(child) && passes(child)) stack[top++] = child;
    }
  }
  return false;
}

bool ListedAtHit(const PreparedScene& s, const FrameTables& frame, int k, int element, const Vec3& origin,
                 const Vec3& direction, const Vec3& point, NodeHits& hits) {
  const int facet = element - s.objectCount - 1;
  if (s.octree && facet >= 0 && static_cast<std::size_t>(facet) + 1 < s.facetLeafStart.size()) {
    // Well inside: by far more than the rounding of the slab test and of
    // the hit point, so the ray's span in the leaf (and in each box above
    // it, which holds the leaf) surrounds the point's distance.
    double scale = 1;
    for (int a = 0; a < 3; ++a) scale = std::max({scale, std::fabs(origin[a]), std::fabs(point[a])});
    for (std::int32_t i = s.facetLeafStart[facet]; i < s.facetLeafStart[facet + 1]; ++i) {
      const Boite& b = s.HBox[s.HON[s.facetLeaves[i]].box];
      const double size = std::max({scale, std::fabs(b.xmin), std::fabs(b.xmax), std::fabs(b.ymin),
                                    std::fabs(b.ymax), std::fabs(b.zmin), std::fabs(b.zmax)});
      const double margin = 1e-7 * size;
      if (point[0] - b.xmin > margin && b.xmax - point[0] > margin && point[1] - b.ymin > margin &&
          b.ymax - point[1] > margin && point[2] - b.zmin > margin && b.zmax - point[2] > margin) {
        return true;
      }
    }
  }
  return ListedOnRay(s, frame, k, element, origin, direction, hits);
}

namespace {

// The boxes of the first n objects into the scene's rows; the padding's
// box is the first object's (any box does: the caster looks at the first
// n only).
void FillObjectBoxRows(PreparedScene& s, int n) {
  ObjectBoxRows& rows = s.objectBoxRows;
  rows.stride = (n + 1) / 2 * 2;
  rows.rows.assign(6 * static_cast<std::size_t>(rows.stride), 0);
  for (int k = 0; k < rows.stride; ++k) {
    const Boite& b = s.TabOBJ[k < n ? k : 0].box;
    const double values[6] = {b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax};
    for (int r = 0; r < 6; ++r) rows.rows[static_cast<std::size_t>(r) * rows.stride + k] = values[r];
  }
}

// `MakeOctree` of a node that is octant `octant` of its parent, from the
// parent's elements.
bool MakeNode(PreparedScene& s, const FrameTables& frame, PoolIndex node,
              const std::vector<ListedElement>& parentElements, int octant, EngineHooks& hooks) {
  ++s.depth;
  s.EffectMaxOctreeDepth = std::max(s.EffectMaxOctreeDepth, s.depth);
  int count = 0;
  const bool listed = BuildList(s, frame, node, parentElements, octant, count);
  if (!listed || count == 0) {
    if (!listed) s.buildFailed = true;
    FreeList(s, node);
    --s.depth;
    return false;
  }
  const Boite box = s.HBox[s.HON[node].box];
  if (hooks.WantsPreview()) DrawBox(s, frame, box, hooks);
  if (count > s.maxNodeElem && s.depth < s.D) {
    const std::vector<ListedElement> elements = ListedElements(s, frame, node, count);
    bool any = false;
    for (int i = 0; i < 8; ++i) {
      const PoolIndex child = s.HON.Alloc();
      if (child == kNoRecord) {
        Trace("HeapAlloc(1) error CountHON=%ld\n", s.HON.allocs);
        s.buildFailed = true;
        continue;
      }
      const PoolIndex childBox = s.HBox.Alloc();
      if (childBox == kNoRecord) {
        Trace("HeapAlloc(1) error CountHBoite=%ld\n", s.HBox.allocs);
        s.buildFailed = true;
        s.HON.Free(child);
        continue;
      }
      s.HBox[childBox] = Octant(box, i);
      s.HON[child].box = childBox;
      s.HON[child].parent = node;
      if (MakeNode(s, frame, child, elements, i, hooks)) {
        s.HON[node].child[i] = child;
        any = true;
      } else {
        s.HBox.Free(childBox);
        s.HON.Free(child);
      }
    }
    if (any) {
      FreeList(s, node);  // elements live only in the leaves
    } else {
      // Elements that meet the node but none of its children (they touch
      // it only where their bounds say so): the node stays a leaf with its
      // list, so that they are not lost.
      Trace("MakeOctree error node final sans objet Depth=%d\n", s.depth);
    }
  }
  --s.depth;
  return true;
}

}  // namespace

bool MakeOctree(PreparedScene& s, const FrameTables& frame, PoolIndex node, EngineHooks& hooks) {
  return MakeNode(s, frame, node, {}, 0, hooks);
}

int PrepareScene(FrameTables& frame, const RenderSettings& settings, EngineHooks& hooks, PreparedScene& s) {
  ReleaseScene(s);
  if (!BuildFacets(frame, s.facets, hooks, WorkerCount(settings.threads))) return 0;
  if (!BuildPhongNormals(frame, s.facets, s.NPhong, hooks)) return 0;
  s.objectCount = frame.objectCount;
  s.maxNodeElem = std::clamp(settings.octreeMaxNodeElem, 1, 1000);
  s.elementCount = s.objectCount + 1 + (frame.fileHasFaces ? static_cast<int>(s.facets.size()) : 0);
  s.pyramid = MakeViewPyramid(frame.camera, frame.mapping, frame.width, frame.height);
  try {
    s.TabOBJ.assign(frame.objects.size(), ObjectBoxes{});
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, 271);
    return 0;
  }
  if (!SizeHeaps(frame, settings, s)) return 0;

  hooks.Status(kMsgHierarchy);
  const int n = s.objectCount;
  for (int k = 0; k < n; ++k) {
    const ObjectEntry& e = frame.objects[k];
    if (e.IsFacetObject()) {
      FacetObjectBox(s, frame, k);
    } else if (!MakeObjectTree(s, frame, k, hooks)) {
      return 0;
    }
    if (hooks.Stop(static_cast<double>(k + 1) / std::max(n, 1))) return 0;
  }
  s.sceneBox.xmin = s.sceneBox.ymin = s.sceneBox.zmin = kInf;
  s.sceneBox.xmax = s.sceneBox.ymax = s.sceneBox.zmax = -kInf;
  for (int k = 0; k < n; ++k) {
    const ObjectBoxes& ob = s.TabOBJ[k];
    if (!ob.hasBox) continue;
    s.hasSceneBox = true;
    s.sceneBox.xmin = std::min(s.sceneBox.xmin, ob.box.xmin);
    s.sceneBox.ymin = std::min(s.sceneBox.ymin, ob.box.ymin);
    s.sceneBox.zmin = std::min(s.sceneBox.zmin, ob.box.zmin);
    s.sceneBox.xmax = std::max(s.sceneBox.xmax, ob.box.xmax);
    s.sceneBox.ymax = std::max(s.sceneBox.ymax, ob.box.ymax);
    s.sceneBox.zmax = std::max(s.sceneBox.zmax, ob.box.zmax);
  }
  FillObjectBoxRows(s, n);

  // Sphere descriptions: centre at the reference point, radius half the
  // smallest extent of the box (the preview sphere: 200).
  for (int k = 0; k < std::min(n, kSpheres); ++k) {
    SphereDescription sphere;
    sphere.centre = RenderCoordinates(frame.camera, frame.objects[k].frameOrigin);
    const Boite& b = s.TabOBJ[k].box;
    if (frame.previewMaterial) {
      sphere.radius = 200;
    } else if (s.TabOBJ[k].hasBox) {
      sphere.radius = std::min({b.xmax - b.xmin, b.ymax - b.ymin, b.zmax - b.zmin}) / 2;
    }
    s.spheres.push_back(sphere);
  }

  // The facet trees are built on helper threads while this one builds the
  // octree: the two read the same facets and boxes and write apart.
  FacetTreeBuild trees(s, frame);
  trees.Start(WorkerCount(settings.threads) - 1);
  if (s.D < 2 || !s.HON.Created() || !s.HRL.Created() || !s.flags || !s.hasSceneBox) {
    TrimPools(s);
    return 1;
  }
  Trace("Avant MakeOctree CountHBoite=%ld CountHBoiteFREE=%ld\n", s.HBox.allocs, s.HBox.frees);
  if (hooks.WantsPreview()) hooks.PreviewClear();
  s.OctScene = s.HON.Alloc();
  const PoolIndex rootBox = s.OctScene == kNoRecord ? kNoRecord : s.HBox.Alloc();
  if (rootBox == kNoRecord) {
    Trace("Erreur d'allocation OctScene\n");
    s.OctScene = kNoRecord;
    return 1;
  }
  s.HBox[rootBox] = s.sceneBox;
  s.HON[s.OctScene].box = rootBox;
  s.depth = 0;
  s.buildFailed = false;
  const bool filled = MakeOctree(s, frame, s.OctScene, hooks);
  s.OctreeFlags.NewRay();
  ReportPools("Apres MakeOctree", s);
  Trace("EffectMaxOctreeDepth=%d/%d\n", s.EffectMaxOctreeDepth, s.D);
  // A tree that lost branches for want of pool space would hide what it
  // lost: the scene is then traced without it.
  if (s.buildFailed) {
    ShowMessage(MessageKind::Error, kMsgOctreePools);
    s.HON.Destroy();
    s.HRL.Destroy();
    s.OctScene = kNoRecord;
    return 1;
  }
  s.octree = filled;
  TrimPools(s);
  if (s.octree) IndexFacetLeaves(s);
  return 1;
}

void ReleaseScene(PreparedScene& s) {
  s.TabOBJ = {};
  s.HQN.Destroy();
  s.HBox.Destroy();
  s.HON.Destroy();
  s.HRL.Destroy();
  s.OctScene = kNoRecord;
  s.octree = false;
  s.flags = false;
  s.hasSceneBox = false;
  s.OctreeFlags.Resize(0);
  s.facets = {};
  s.NPhong = {};
  s.spheres.clear();
  s.wideTree = {};
  s.objectBoxRows = {};
  s.facetOrder = {};
  s.facetLeafStart = {};
  s.facetLeaves = {};
  s.depth = s.EffectMaxOctreeDepth = 0;
}

}  // namespace tessaran
