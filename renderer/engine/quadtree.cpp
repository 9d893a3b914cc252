// Leaf boxes and quadtrees of grid objects (curved patch objects and
// polygon grids).
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "platform/console.h"
#include "platform/report.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

enum : int {
  kMsgRefineMemory = 264,
  kMsgLeafMemory = 265,
  kMsgQuadBoxMemory = 266,
  kMsgQuadNodeMemory = 267,
};

constexpr double kInf = std::numeric_limits<double>::infinity();

Boite EmptyBox() {
  Boite b;
  b.xmin = b.ymin = b.zmin = kInf;
  b.xmax = b.ymax = b.zmax = -kInf;
  return b;
}

void Widen(Boite& b, const Vec3& p) {
  b.xmin = std::min(b.xmin, p[0]);
  b.ymin = std::min(b.ymin, p[1]);
  b.zmin = std::min(b.zmin, p[2]);
  b.xmax = std::max(b.xmax, p[0]);
  b.ymax = std::max(b.ymax, p[1]);
  b.zmax = std::max(b.zmax, p[2]);
}

void Union(Boite& b, const Boite& o) {
  Widen(b, {o.xmin, o.ymin, o.zmin});
  Widen(b, {o.xmax, o.ymax, o.zmax});
}

// A box thinner than one preview pixel along an axis is widened by a pixel
// on both sides, so that flat cells are still hit.
void WidenThin(Boite& b, const ScreenMapping& mapping) {
  const double px = 1 / mapping.scaleX, py = 1 / mapping.scaleY;
  auto widen = [](double& lo, double& hi, double amount) {
    if (hi - lo < amount) {
      lo -= amount;
      hi += amount;
    }
  };
  widen(b.xmin, b.xmax, px);
  widen(b.ymin, b.ymax, py);
  widen(b.zmin, b.zmax, px);
}

enum class Quad { Empty, Filled, Failed };

struct QuadBuild {
  PreparedScene& s;
  PoolIndex leaves;
  int stride;

  // `MakeQuadTree` over [ua, ub] × [va, vb]: a cell belongs to the range
  // holding its centre.
  Quad Build(PoolIndex node, double ua, double ub, double va, double vb) {
    const double fu = std::floor(ua), fv = std::floor(va);
    const double c = ua - fu > 0.5 ? fu + 1.5 : fu + 0.5;
    const double cv = va - fv > 0.5 ? fv + 1.5 : fv + 0.5;
    if (ub <= c + 1 && vb <= cv + 1) {
      if (ub <= c || vb <= cv) return Quad::Empty;
      s.HQN[node].box = leaves + static_cast<PoolIndex>(static_cast<int>(c) + static_cast<int>(cv) * stride);
      return Quad::Filled;
    }
    const PoolIndex box = s.HBox.Alloc();
    if (box == kNoRecord) {
      Trace("HeapAlloc(1) error CountHBoite=%ld\n", s.HBox.allocs);
      ShowMessage(MessageKind::Error, kMsgQuadBoxMemory);
      return Quad::Failed;
    }
    s.HQN[node].box = box;
    const double um = (ua + ub) / 2, vm = (va + vb) / 2;
    const double range[4][4] = {{ua, um, va, vm}, {um, ub, va, vm}, {ua, um, vm, vb}, {um, ub, vm, vb}};
    bool any = false;
    for (int i = 0; i < 4; ++i) {
      const PoolIndex child = s.HQN.Alloc();
      if (child == kNoRecord) {
        Trace("HeapAlloc(1) error CountHQN=%ld\n", s.HQN.allocs);
        ShowMessage(MessageKind::Error, kMsgQuadNodeMemory);
        return Quad::Failed;
      }
      const Quad q = Build(child, range[i][0], range[i][1], range[i][2], range[i][3]);
      if (q == Quad::Failed) return q;
      if (q == Quad::Empty) {
        s.HQN.Free(child);
        continue;
      }
      s.HQN[node].child[i] = child;
      any = true;
    }
    if (!any) {
      s.HBox.Free(box);
      s.HQN[node].box = kNoRecord;
      return Quad::Empty;
    }
    return Quad::Filled;
  }

  // Interior boxes become the union of their children's.
  void Unite(PoolIndex node) {
    const QuadNode n = s.HQN[node];
    if (s.HBox[n.box].cellU >= 0) return;
    Boite b = EmptyBox();
    for (const PoolIndex child : n.child) {
      if (child == kNoRecord) continue;
      Unite(child);
      Union(b, s.HBox[s.HQN[child].box]);
    }
    s.HBox[n.box] = b;
  }
};

// The leaf array: one box per cell, `stride` entries per row, the unused
// entries empty. Curved: the box of the 3 × 3 refined points of the cell;
// polygon grid: of its 2 × 2 points.
bool FillLeaves(PreparedScene& s, const FrameTables& frame, const ObjectEntry& e, const std::vector<Vec3>& net,
                ObjectBoxes& ob, int cellsU, int cellsV, int span, EngineHooks& hooks) {
  for (int j = 0; j < cellsV; ++j) {
    for (int i = 0; i < cellsU; ++i) {
      Boite b = EmptyBox();
      for (int dv = 0; dv < span; ++dv) {
        for (int du = 0; du < span; ++du) {
          const int p = (j + dv) * ob.leafStride + i + du;
          Widen(b, net.empty() ? ToVec3(frame.points[e.firstPoint + p]) : net[p]);
        }
      }
      WidenThin(b, frame.mapping);
      b.cellU = static_cast<float>(i + 0.5);
      b.cellV = static_cast<float>(j + 0.5);
      s.HBox[ob.leaves + j * ob.leafStride + i] = b;
      Union(ob.box, b);
    }
    if (hooks.Stop(static_cast<double>(j + 1) / cellsV)) return false;
  }
  return true;
}

}  // namespace

bool MakeObjectTree(PreparedScene& s, const FrameTables& frame, int k, EngineHooks& hooks) {
  const ObjectEntry& e = frame.objects[k];
  ObjectBoxes& ob = s.TabOBJ[k];
  const bool curved = e.IsCurved();
  if (e.nu < 2 || e.nv < 2 || std::int64_t{e.nu} * e.nv > e.pointCount) return true;  // no cells
  std::vector<Vec3> net;
  int cellsU, cellsV, span;
  if (curved) {
    if (e.nu < 3 || e.nv < 3) return true;
    try {
      net = RefineNet(frame.points, e.firstPoint, e.nu, e.nv);
    } catch (const std::bad_alloc&) {
      ShowMessage(MessageKind::Error, kMsgRefineMemory);
      return false;
    }
    ob.leafStride = 2 * e.nu - 2;
    ob.leafCount = ob.leafStride * (2 * e.nv - 2);
    cellsU = 2 * e.nu - 4;
    cellsV = 2 * e.nv - 4;
    span = 3;
  } else {
    ob.leafStride = e.nu;
    ob.leafCount = e.nu * e.nv;
    cellsU = e.nu - 1;
    cellsV = e.nv - 1;
    span = 2;
  }
  ob.leaves = s.HBox.AllocBlock(ob.leafCount);
  if (ob.leaves == kNoRecord) {
    Trace("HeapAlloc(%d) error CountHBoite=%ld\n", ob.leafCount, s.HBox.allocs);
    ShowMessage(MessageKind::Error, kMsgLeafMemory);
    return false;
  }
  const int bytes = static_cast<int>(sizeof(Boite)) * ob.leafCount;
  Trace("1Feuilles=%d*nbfeuilles=%d =%d TAILLE BLOC RESULTANT :%d\n", static_cast<int>(sizeof(Boite)), ob.leafCount,
        bytes, bytes);
  for (int i = 0; i < ob.leafCount; ++i) s.HBox[ob.leaves + i] = EmptyBox();
  ob.box = EmptyBox();
  if (!FillLeaves(s, frame, e, net, ob, cellsU, cellsV, span, hooks)) return false;
  ob.hasBox = true;

  // The quadtree over the parameter range of the cells.
  const PoolIndex root = s.HQN.Alloc();
  if (root == kNoRecord) {
    Trace("HeapAlloc(1) error CountHQN=%ld\n", s.HQN.allocs);
    ShowMessage(MessageKind::Error, kMsgQuadNodeMemory);
    return true;  // the object is left without tree
  }
  QuadBuild build{s, ob.leaves, ob.leafStride};
  const Quad q = build.Build(root, 0, cellsU, 0, cellsV);
  if (q != Quad::Filled) {
    s.HQN.Free(root);
    return true;
  }
  build.Unite(root);
  ob.quadRoot = root;
  return true;
}

}  // namespace tessaran
