#include "renderer/engine/facet_trees.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>
#include <new>

#include "renderer/engine/parallel_ranges.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Leaves of at most kTreeLeaf facets; a node is split at the median of its
// facet centres along the widest axis of the centres. One facet a leaf: the
// two boxes of a node are tested at once for less than one facet test
// costs, so a ray's facets are best culled box by box.
constexpr int kTreeLeaf = 1;

// The float next below and next above a finite x: std::nextafter towards
// −∞ and +∞, by the bits, without the library call a box corner cost.
float FloatBelow(float x) {
  if (x == 0) return -std::numeric_limits<float>::denorm_min();
  const auto bits = std::bit_cast<std::uint32_t>(x);
  return std::bit_cast<float>(x > 0 ? bits - 1 : bits + 1);
}
float FloatAbove(float x) { return -FloatBelow(-x); }

// Builds one object's tree into the node range reserved for it, over the
// object's range of `items`, which it puts in leaf order.
struct TreeBuilder {
  UnsetVector<FacetTreeNode>& nodes;
  const FrameTables& frame;
  const FacetTable& facets;
  UnsetVector<TreeItem>& items;
  int next;  // the next node of the object's range

  // The box of a node's facets before it is widened.
  struct Bounds {
    double lo[3] = {kInf, kInf, kInf};
    double hi[3] = {-kInf, -kInf, -kInf};
  };

  // Node over items[first, first + count); its index. The box of an
  // inner node is the union of its children's, which holds the same
  // corner values as one taken over all its facets.
  int Build(int first, int count, Bounds& bounds) {
    const int index = next++;
    FacetTreeNode node{};
    if (count <= kTreeLeaf) {
      for (int i = first; i < first + count; ++i) {
        const Facet& f = facets[items[i].facet];
        for (const int v : {f.a, f.b, f.c}) {
          for (int a = 0; a < 3; ++a) {
            bounds.lo[a] = std::min<double>(bounds.lo[a], frame.points[v][a]);
            bounds.hi[a] = std::max<double>(bounds.hi[a], frame.points[v][a]);
          }
        }
      }
      node.first = first;
      node.count = count;
    } else {
      double clo[3] = {kInf, kInf, kInf}, chi[3] = {-kInf, -kInf, -kInf};
      for (int i = first; i < first + count; ++i) {
        const Vec3& c = items[i].centre;
        for (int a = 0; a < 3; ++a) {
          clo[a] = std::min(clo[a], c[a]);
          chi[a] = std::max(chi[a], c[a]);
        }
      }
      int axis = 0;
      for (int a = 1; a < 3; ++a) {
        if (chi[a] - clo[a] > chi[axis] - clo[axis]) axis = a;
      }
      const int half = count / 2;
      SelectLowerHalf(items.data() + first, count, half, axis);
      Bounds low, high;
      Build(first, half, low);
      node.first = Build(first + half, count - half, high);
      node.count = 0;
      for (int a = 0; a < 3; ++a) {
        bounds.lo[a] = std::min(low.lo[a], high.lo[a]);
        bounds.hi[a] = std::max(low.hi[a], high.hi[a]);
      }
    }
    // Widened by a millionth of the coordinates' size and rounded outwards
    // to floats: rounding in the facet test cannot reach past it.
    double size = 1;
    for (int a = 0; a < 3; ++a) size = std::max({size, std::fabs(bounds.lo[a]), std::fabs(bounds.hi[a])});
    for (int a = 0; a < 3; ++a) {
      node.lo[a] = FloatBelow(static_cast<float>(bounds.lo[a] - 1e-6 * size));
      node.hi[a] = FloatAbove(static_cast<float>(bounds.hi[a] + 1e-6 * size));
    }
    nodes[index] = node;
    return index;
  }
};

// A leaf lane names one facet: its position in the facet order.
static_assert(kTreeLeaf == 1);

// Builds the wide nodes of one object's tree into the range reserved for it.
struct WideBuilder {
  PreparedScene& s;
  const UnsetVector<FacetTreeNode>& nodes;
  int next;  // the next wide node of the object's range

  // The wide node over the children's children of node `binary` (or over
  // the node itself, a tree of one leaf); its index.
  int Build(int binary) {
    const int index = next++;
    WideFacetNode wide;
    for (int c = 0; c < 4; ++c) {
      for (int a = 0; a < 3; ++a) {
        wide.lo[a][c] = std::numeric_limits<float>::infinity();
        wide.hi[a][c] = -std::numeric_limits<float>::infinity();
      }
      wide.child[c] = -1;
    }
    int lane = 0;
    const FacetTreeNode& node = nodes[binary];
    if (node.count > 0) {
      Lane(wide, lane, binary);
    } else {
      for (const int c : {binary + 1, node.first}) {
        const FacetTreeNode& child = nodes[c];
        if (child.count > 0) {
          Lane(wide, lane++, c);
        } else {
          Lane(wide, lane++, c + 1);
          Lane(wide, lane++, child.first);
        }
      }
    }
    s.wideTree[index] = wide;
    return index;
  }

  void Lane(WideFacetNode& wide, int lane, int binary) {
    const FacetTreeNode& node = nodes[binary];
    for (int a = 0; a < 3; ++a) {
      wide.lo[a][lane] = node.lo[a];
      wide.hi[a][lane] = node.hi[a];
    }
    wide.child[lane] = node.count > 0 ? -node.first - 1 : Build(binary);
  }
};

// Wide nodes below (and with) one over an inner node of `count` facets:
// one for each inner node whose depth below it is even.
std::size_t WideNodes(std::size_t count) {
  if (count <= static_cast<std::size_t>(kTreeLeaf)) return 0;
  std::size_t nodes = 1;
  for (const std::size_t child : {count / 2, count - count / 2}) {
    if (child > static_cast<std::size_t>(kTreeLeaf)) nodes += WideNodes(child / 2) + WideNodes(child - child / 2);
  }
  return nodes;
}

// Wide nodes of the tree over `count` facets (a tree of one leaf has one).
std::size_t WideTreeNodes(std::size_t count) { return std::max<std::size_t>(WideNodes(count), 1); }

// Nodes of a tree over `count` facets.
std::size_t TreeNodes(std::size_t count) {
  return count <= static_cast<std::size_t>(kTreeLeaf) ? 1 : 1 + TreeNodes(count / 2) + TreeNodes(count - count / 2);
}

bool TreeFacet(const Facet& f) { return f.a >= 0 && !IsDegenerate(f); }

}  // namespace

// Moves the `half` items of items[0, count) that come first along `axis`
// in front of the others. A quickselect on the median of three whose
// partition swaps without branches; a run that makes too little progress
// (and the last few items) goes to std::nth_element, which puts the same
// items in front.
void SelectLowerHalf(TreeItem* items, int count, int half, int axis) {
  constexpr int kSmall = 24;
  auto before = [axis](const TreeItem& x, const TreeItem& y) { return ComesBefore(x, y, axis); };
  int lo = 0, hi = count;  // the items at `half` and before it that are not yet in place lie in [lo, hi)
  for (int rounds = 2 * std::bit_width(static_cast<unsigned>(count)); hi - lo > kSmall && rounds > 0; --rounds) {
    // The median of the first, middle and last items as the pivot, put last.
    int a = lo, b = lo + (hi - lo) / 2, c = hi - 1;
    if (before(items[b], items[a])) std::swap(a, b);
    if (before(items[c], items[b])) b = before(items[c], items[a]) ? a : c;
    std::swap(items[b], items[hi - 1]);
    const TreeItem pivot = items[hi - 1];
    // [lo, store) come before the pivot, [store, i) after it.
    int store = lo;
    for (int i = lo; i < hi - 1; ++i) {
      const TreeItem item = items[i];
      const bool less = before(item, pivot);
      items[i] = items[store];
      items[store] = item;
      store += less;
    }
    std::swap(items[store], items[hi - 1]);
    if (store == half) return;
    if (store < half) {
      lo = store + 1;
    } else {
      hi = store;
    }
  }
  if (lo < half && half < hi) std::nth_element(items + lo, items + half, items + hi, before);
}

FacetTreeBuild::FacetTreeBuild(PreparedScene& s, const FrameTables& frame) : s_(s), frame_(frame) {
  // Both tables get their exact sizes, each object its ranges in them;
  // they are left unset, to be filled (and their pages first touched) by
  // the threads that build the trees.
  std::size_t facets = 0, nodes = 0, wide = 0;
  for (int k = 0; k < s.objectCount; ++k) {
    const ObjectEntry& e = frame.objects[k];
    if (!e.IsFacetObject() || !s.TabOBJ[k].hasBox) continue;
    int count = 0;
    for (int i = e.firstFacet; i < e.firstFacet + e.facetCount; ++i) count += TreeFacet(s.facets[i]) ? 1 : 0;
    if (count == 0) continue;
    jobs_.push_back({k, static_cast<int>(facets), count, static_cast<int>(nodes), static_cast<int>(wide)});
    facets += static_cast<std::size_t>(count);
    nodes += TreeNodes(static_cast<std::size_t>(count));
    wide += WideTreeNodes(static_cast<std::size_t>(count));
  }
  try {
    s.facetOrder.resize(facets);
    nodes_.resize(nodes);
    s.wideTree.resize(wide);
    items_.resize(facets);
  } catch (const std::bad_alloc&) {
    s.facetOrder = {};
    nodes_ = {};
    s.wideTree = {};
    items_ = {};
    jobs_.clear();
  }
}

FacetTreeBuild::~FacetTreeBuild() { Finish(); }

void FacetTreeBuild::Start(int helpers) {
  // Fewer threads when they cannot be had: the jobs they would have taken
  // are done by Finish.
  helpers_ = StartHelpers(std::min(helpers, static_cast<int>(jobs_.size())) + 1, [this](int) { Work(); });
}

void FacetTreeBuild::Finish() {
  Work();
  helpers_.Join();
  // The wide trees hold all the walk needs.
  nodes_ = {};
  items_ = {};
}

void FacetTreeBuild::Work() {
  for (std::size_t j = nextJob_++; j < jobs_.size(); j = nextJob_++) {
    const Job& job = jobs_[j];
    const ObjectEntry& e = frame_.objects[job.object];
    int n = job.first;
    for (int i = e.firstFacet; i < e.firstFacet + e.facetCount; ++i) {
      const Facet& f = s_.facets[i];
      if (!TreeFacet(f)) continue;
      items_[n++] = {ToVec3(frame_.points[f.a]) + ToVec3(frame_.points[f.b]) + ToVec3(frame_.points[f.c]), i};
    }
    TreeBuilder builder{nodes_, frame_, s_.facets, items_, job.firstNode};
    TreeBuilder::Bounds bounds;
    const int root = builder.Build(job.first, job.count, bounds);
    for (int i = job.first; i < job.first + job.count; ++i) s_.facetOrder[i] = items_[i].facet;
    s_.TabOBJ[job.object].wideTreeRoot = WideBuilder{s_, nodes_, job.firstWide}.Build(root);
  }
}

}  // namespace tessaran
