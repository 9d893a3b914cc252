// The facet trees of a prepared scene: for each facet object, a binary tree
// of boxes over its facets that can be hit, made four-wide for the walk,
// which finds a ray's facets without testing them all.
//
// The build runs beside the octree's: `Start` hands the objects to helper
// threads, the calling thread goes on with other preparation, and `Finish`
// makes it take the objects left and wait for the helpers. Every object
// has its own ranges of the two tables, so the trees are laid out the same
// whatever the number of threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "renderer/engine/helper_threads.h"
#include "renderer/engine/octree.h"

namespace tessaran {

// A facet of a tree being built, with three times its centre: the build
// reads the centres in the order it moves the facets.
struct TreeItem {
  Vec3 centre;
  int facet;
};

// Whether x comes before y in the order a node's facets are split in along
// `axis` (0 … 2): by centre, then by facet number, a total order, so that
// the halves of a node, and with them the whole tree, do not depend on how
// the selection moves the items. Without branches: which way a comparison
// goes is as good as random in a selection.
inline bool ComesBefore(const TreeItem& x, const TreeItem& y, int axis) {
  const double cx = x.centre[axis], cy = y.centre[axis];
  return (cx < cy) | ((cx == cy) & (x.facet < y.facet));
}

// Moves the `half` items of items[0, count) that come first along `axis`
// in front of the others, in no particular order.
void SelectLowerHalf(TreeItem* items, int count, int half, int axis);

class FacetTreeBuild {
 public:
  // Plans the trees of the scene's facet objects that have a box and sizes
  // the tables. Without the memory for them the scene keeps no trees and
  // every facet of an object is tested.
  FacetTreeBuild(PreparedScene& s, const FrameTables& frame);
  ~FacetTreeBuild();  // finishes the build

  FacetTreeBuild(const FacetTreeBuild&) = delete;
  FacetTreeBuild& operator=(const FacetTreeBuild&) = delete;

  // Starts up to `helpers` threads on the objects (fewer when there are
  // fewer objects, or when threads cannot be had).
  void Start(int helpers);
  // Builds the objects no helper took, then waits for the helpers.
  void Finish();

 private:
  // One object's tree: its facets in facetOrder, its binary nodes in
  // nodes_ and its wide nodes in wideTree.
  struct Job {
    int object;
    int first;
    int count;
    int firstNode;
    int firstWide;
  };

  void Work();

  PreparedScene& s_;
  const FrameTables& frame_;
  std::vector<Job> jobs_;
  UnsetVector<TreeItem> items_;  // the trees' facets with their centres, in facetOrder's ranges
  UnsetVector<FacetTreeNode> nodes_;  // the binary trees, one after another, until the wide ones are made
  std::atomic<std::size_t> nextJob_{0};
  HelperGroup helpers_;
};

}  // namespace tessaran
