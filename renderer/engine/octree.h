// Preparation for tracing and the two levels of spatial hierarchy over it:
// a quadtree over the cells of every grid object (`MakeQuadTree`) and an
// octree over the whole scene (`MakeOctree`) whose leaves list the
// candidate elements (whole objects, and the facets of facet objects).
//
// After `PrepareScene` everything here is read-only: any number of threads
// may trace at once, each with its own `CandidateMarks`.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "renderer/engine/engine.h"
#include "renderer/engine/facets.h"
#include "renderer/engine/pools.h"
#include "renderer/engine/unset_vector.h"

namespace tessaran {

// A box (`Boite`). Cell u and v are −1 in every box that is not a quadtree
// leaf; a leaf holds its cell's centre in grid units.
struct Boite {
  double xmin = 0, ymin = 0, zmin = 0;
  double xmax = 0, ymax = 0, zmax = 0;
  float cellU = -1;
  float cellV = -1;
};

struct QuadNode {
  PoolIndex box = kNoRecord;
  PoolIndex child[4] = {kNoRecord, kNoRecord, kNoRecord, kNoRecord};
};

// Child i covers the upper half of its parent along x when bit 0 of i is
// set, along y for bit 1, along z for bit 2.
struct OctNode {
  PoolIndex box = kNoRecord;
  PoolIndex child[8] = {kNoRecord, kNoRecord, kNoRecord, kNoRecord, kNoRecord, kNoRecord, kNoRecord, kNoRecord};
  PoolIndex parent = kNoRecord;
  PoolIndex head = kNoRecord;  // the `RenderList`, in insertion order
  PoolIndex tail = kNoRecord;
};

struct RenderList {
  std::int32_t object = 0;
  std::int32_t element = -1;  // the facet's element number, −1 for the whole object
  PoolIndex next = kNoRecord;
};

// The `TabOBJ` entry of an object.
struct ObjectBoxes {
  Boite box;
  bool hasBox = false;             // false for an object with nothing to hit
  PoolIndex quadRoot = kNoRecord;  // HQN
  PoolIndex leaves = kNoRecord;    // first box of the leaf array in HBox
  int leafCount = 0;
  int leafStride = 0;              // leaf-array entries per row
  int wideTreeRoot = -1;           // a facet object's `WideFacetNode` root, −1 without
};

// A node of the bounding-volume tree over a facet object's facets, a
// culling aid of the ray caster only, made while the scene is prepared:
// its boxes are widened a little past the facets' own, so that a ray that
// misses a box cannot hit any facet below it. A leaf (count > 0) names
// `count` entries of the facet order from `first`; an inner node's
// children are the next node and `first`.
struct FacetTreeNode {
  float lo[3];
  float hi[3];
  std::int32_t first;
  std::int32_t count;
};

// The facet tree with two levels of nodes made one: a node of the wide
// tree holds the boxes of up to four nodes of the facet tree (the children
// of a node's children, or a child that is a leaf), axis by axis, so that
// a ray meets all four at once; a tree of one leaf has one node of one
// lane. Lane c refers to a wide node when child[c] >= 0, else to the facet
// at position −child[c] − 1 of the facet order (a leaf holds one). An
// unused lane has an empty box (lo +∞, hi −∞), which no ray meets.
struct WideFacetNode {
  float lo[3][4];
  float hi[3][4];
  std::int32_t child[4];
};

// The objects' boxes row by row (xmin of every object, then ymin, zmin,
// xmax, ymax, zmax), each row `stride` long, an even length, for the
// caster's box test of two objects at once.
struct ObjectBoxRows {
  int stride = 0;
  std::vector<double> rows;
  const double* Row(int r) const { return rows.data() + static_cast<std::size_t>(r) * stride; }
};

// Memo of one tracing thread: which octree nodes the present ray meets, so
// that the octree walk of one element tests each node box once per ray.
class NodeHits {
 public:
  void Resize(std::size_t nodes) {
    stamp_.assign(nodes, 0);
    epoch_ = 0;
  }
  void NewRay() {
    if (++epoch_ == 0x80000000u) {
      std::fill(stamp_.begin(), stamp_.end(), 0);
      epoch_ = 1;
    }
  }
  // 1 or 0 when the node was tested for this ray, −1 when not yet.
  int Known(PoolIndex node) const {
    const std::uint32_t s = stamp_[node];
    return (s >> 1) == epoch_ ? static_cast<int>(s & 1) : -1;
  }
  void Set(PoolIndex node, bool hit) { stamp_[node] = (epoch_ << 1) | (hit ? 1u : 0u); }
  std::size_t Size() const { return stamp_.size(); }

 private:
  std::vector<std::uint32_t> stamp_;
  std::uint32_t epoch_ = 0;
};

// Sphere descriptions of the first ten objects (used by the preview only).
struct SphereDescription {
  Vec3 centre{};
  double radius = 0;
};

// Candidate flags of one tracing thread: an element is a candidate of the
// present ray when its stamp equals the ray's epoch, so a new ray costs one
// increment instead of a pass over every element.
class CandidateMarks {
 public:
  explicit CandidateMarks(int elements = 0) { Resize(elements); }
  void Resize(int elements) {
    stamp_.assign(static_cast<std::size_t>(elements > 0 ? elements : 0), 0);
    epoch_ = 0;
  }
  void NewRay() {
    if (++epoch_ == 0) {
      std::fill(stamp_.begin(), stamp_.end(), 0);
      epoch_ = 1;
    }
  }
  void Mark(int element) { stamp_[element] = epoch_; }
  bool IsCandidate(int element) const {
    return element >= 0 && element < static_cast<int>(stamp_.size()) && stamp_[element] == epoch_ && epoch_ != 0;
  }
  std::size_t Bytes() const { return stamp_.capacity() * sizeof(std::uint32_t); }

 private:
  std::vector<std::uint32_t> stamp_;
  std::uint32_t epoch_ = 0;
};

// Everything the ray tracer reads, prepared once per image.
struct PreparedScene {
  FacetTable facets;
  std::vector<Vec3> NPhong;
  std::vector<ObjectBoxes> TabOBJ;
  Pool<Boite> HBox;
  Pool<QuadNode> HQN;
  Pool<OctNode> HON;
  Pool<RenderList> HRL;
  PoolIndex OctScene = kNoRecord;
  Boite sceneBox;
  bool hasSceneBox = false;
  int objectCount = 0;     // N
  int elementCount = 0;    // N + 1, plus the facet slots when the file has faces
  int D = 0;               // effective octree depth
  int maxNodeElem = 8;
  int depth = 0;           // depth counter of the build
  int EffectMaxOctreeDepth = 0;
  bool octree = false;     // built and complete: candidates come from it
  bool flags = false;      // candidate flags could be had
  bool buildFailed = false;
  CandidateMarks OctreeFlags;  // the calling thread's flags
  std::vector<SphereDescription> spheres;
  ViewPyramid pyramid;
  UnsetVector<std::int32_t> facetOrder;  // facet indices in the trees' leaf order
  UnsetVector<WideFacetNode> wideTree;   // the facet trees made four-wide, one after another
  ObjectBoxRows objectBoxRows;           // the boxes of TabOBJ
  // The octree leaves that list each facet: those of facet i are
  // facetLeaves[facetLeafStart[i] … facetLeafStart[i + 1]). Empty without
  // an octree.
  std::vector<std::int32_t> facetLeafStart;
  std::vector<PoolIndex> facetLeaves;

  int FacetElement(int facet) const { return objectCount + 1 + facet; }
  bool UsesOctree() const { return octree; }
  CandidateMarks NewMarks() const { return CandidateMarks(elementCount); }
  // Bytes held by the tables and pools (not the frame's points).
  std::size_t Bytes() const;
};

// Builds facets, Phong normals, leaf boxes and quadtrees, object and scene
// boxes, and the octree. 1 when the scene can be traced; 0 when the render
// is abandoned (its message shown, or the user stopped). A scene that
// cannot have its octree is traced without it.
int PrepareScene(FrameTables& frame, const RenderSettings& settings, EngineHooks& hooks, PreparedScene& prepared);

// Frees the object table, the four pools, the octree, the flags and the
// facet and normal tables.
void ReleaseScene(PreparedScene& prepared);

// The octree depth for an element count: element count ÷ 8, at most the
// setting (kept within 1 … 8); below 2 there is no octree.
int EffectiveDepth(int elementCount, int maxOctreeDepth);

// Creates the pools from the scene's figures (with their console lines).
// False after message 272 when the quadtree pools cannot be had; without
// octree pools (message 274) or flags (273) the octree is left out.
bool SizeHeaps(const FrameTables& frame, const RenderSettings& settings, PreparedScene& prepared);

// Leaf boxes and quadtree of grid object k. False when the render must be
// abandoned (message 264 or 265 shown, or stopped).
bool MakeObjectTree(PreparedScene& prepared, const FrameTables& frame, int k, EngineHooks& hooks);

// Builds the octree below `node`, whose box is set (at the root, with no
// parent, from the objects; below it, from the parent's list). False when
// the node came out empty.
bool MakeOctree(PreparedScene& prepared, const FrameTables& frame, PoolIndex node, EngineHooks& hooks);

// Whether a facet meets a box (bounds included).
bool FacetMeetsBox(const Facet& facet, std::span<const std::array<float, 3>> points, const Boite& box);

// Slab test of a ray (unit direction) against a box: a hit when the ray's
// span in the box is not empty and not behind the origin; tnear and tfar
// are left for the caller. A flat box is hit where the ray crosses it.
bool RayBox(const Vec3& origin, const Vec3& direction, const Boite& box, double& tnear, double& tfar);

// Marks every element listed in an octree leaf whose box the ray hits.
void MarkCandidates(const PreparedScene& prepared, const Vec3& origin, const Vec3& direction,
                    CandidateMarks& marks);

// Whether the element (object k's facet element, or −1 for the whole
// object) is listed in an octree leaf whose box the ray hits: the question
// `MarkCandidates` answers for every element at once, here for one, by
// following the element down the branches it was filed into.
bool ListedOnRay(const PreparedScene& prepared, const FrameTables& frame, int k, int element, const Vec3& origin,
                 const Vec3& direction, NodeHits& hits);

// `ListedOnRay` of a facet element that the ray hits at `point`: when the
// point lies well inside a leaf that lists the facet, the ray meets that
// leaf and every box above it, and the answer is yes without a walk.
bool ListedAtHit(const PreparedScene& prepared, const FrameTables& frame, int k, int element, const Vec3& origin,
                 const Vec3& direction, const Vec3& point, NodeHits& hits);

// Visits, in child order, the leaves of object k's quadtree whose boxes the
// ray hits: visit(leaf box, tnear, tfar) is handed each leaf (its cell in
// cellU, cellV) and returns false to stop. Returns false when stopped.
template <class Visit>
bool DescendQuadTree(const PreparedScene& prepared, int k, const Vec3& origin, const Vec3& direction,
                     Visit&& visit) {
  const PoolIndex root = prepared.TabOBJ[k].quadRoot;
  if (root == kNoRecord) return true;
  PoolIndex stack[256];
  int top = 0;
  stack[top++] = root;
  while (top > 0) {
    const QuadNode& node = prepared.HQN[stack[--top]];
    const Boite& box = prepared.HBox[node.box];
    double tnear, tfar;
    if (!RayBox(origin, direction, box, tnear, tfar)) continue;
    if (box.cellU >= 0) {
      if (!visit(box, tnear, tfar)) return false;
      continue;
    }
    for (int i = 3; i >= 0; --i) {
      if (node.child[i] != kNoRecord && top < 256) stack[top++] = node.child[i];
    }
  }
  return true;
}

}  // namespace tessaran
