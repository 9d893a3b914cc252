// Frames of reference: an origin and three axis vectors in world
// coordinates, optionally hung from a parent frame whose movements they
// follow through their values relative to it.
#pragma once

#include <array>
#include <vector>

#include "scene/growth.h"

namespace tessaran {

using Vec3 = std::array<double, 3>;
// An orientation: three axis vectors, one per row.
using Mat3 = std::array<Vec3, 3>;

constexpr Mat3 IdentityMatrix() { return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

// The record of one frame. Its numeric values live in the four value arrays
// of its table at index `slice`.
struct FrameRecord {
  int slice = 0;
  int state = 1;       // 1 for a root, or once the absolute values were derived from the parent
  int identifier = 0;  // unique; a fresh frame takes its slot index
  int parentFlag = 0;  // 1 when another frame has been attached to this one
  int parentId = -1;   // identifier of the parent, -1 for a root
  int parent = -1;     // parent link: slot in the scene's frame table, -1 for none
};

// A table of frames: the frame records and four parallel value arrays
// (absolute orientations and origins, relative orientations and origins).
class FrameTable {
 public:
  // Fresh frames of this table take identifier base + slot.
  explicit FrameTable(int identifierBase = 0) : identifierBase_(identifierBase) {}

  int Capacity() const { return static_cast<int>(records_.size()); }

  // Sets the capacity to n (`ReopenRepere`). On growth existing frames keep
  // their values and links and the new slots get fresh frames; on shrinking
  // links to removed slots are cut. Returns 1, or 0 with the table unchanged.
  int ReopenRepere(int n);

  // Sizes the table without traces and with every frame fresh.
  void Allocate(int n);

  // Identity orientations, zero origins, a root whose identifier is its slot.
  void ResetFrame(int k);
  // Cuts frame k from its parent; its absolute values are kept.
  void MakeRoot(int k);

  FrameRecord& Record(int k) { return records_[k]; }
  const FrameRecord& Record(int k) const { return records_[k]; }
  Vec3& AbsOrigin(int k) { return absOrigin_[records_[k].slice]; }
  const Vec3& AbsOrigin(int k) const { return absOrigin_[records_[k].slice]; }
  Mat3& AbsOrientation(int k) { return absOrientation_[records_[k].slice]; }
  const Mat3& AbsOrientation(int k) const { return absOrientation_[records_[k].slice]; }
  Vec3& RelOrigin(int k) { return relOrigin_[records_[k].slice]; }
  const Vec3& RelOrigin(int k) const { return relOrigin_[records_[k].slice]; }
  Mat3& RelOrientation(int k) { return relOrientation_[records_[k].slice]; }
  const Mat3& RelOrientation(int k) const { return relOrientation_[records_[k].slice]; }

  // Copies every field of frame `from` into slot `to`, record included.
  void CopyFrame(int from, int to);

  void SetGrowthGate(GrowthGate gate) { gate_ = std::move(gate); }

 private:
  int Resize(int n);  // 0, or the 1-based step that failed
  void ResizeBack(int step, int n);

  int identifierBase_;
  std::vector<Mat3> absOrientation_;
  std::vector<Vec3> absOrigin_;
  std::vector<FrameRecord> records_;
  std::vector<Mat3> relOrientation_;
  std::vector<Vec3> relOrigin_;
  GrowthGate gate_;
};

// Brings frame f of `table` up to date from its parent in `parents` (the
// scene's frame table; `table` itself for object and free frames). The
// parent chain is updated first; f is derived only when its parent's state
// flag is 0, after which f's state flag is 1.
void UpdateFrame(FrameTable& table, int f, FrameTable& parents);
inline void UpdateFrame(FrameTable& table, int f) { UpdateFrame(table, f, table); }

// Hangs frame a of `table` from frame b of `parents`, keeping a where it is.
// Returns 0 without change when b is a itself or hangs from a, since such a
// loop could never be brought up to date.
int AttachFrame(FrameTable& table, int a, FrameTable& parents, int b);
inline int AttachFrame(FrameTable& table, int a, int b) { return AttachFrame(table, a, table, b); }

// After frame f's absolute values changed, its values relative to its
// parent in `parents` follow, so that an update from the parent keeps them.
// Nothing for a root.
void RefreshRelative(FrameTable& table, int f, const FrameTable& parents);
inline void RefreshRelative(FrameTable& table, int f) { RefreshRelative(table, f, table); }

enum class Axis { X, Y, Z };

// The elementary rotation about an axis by an angle in radians; an axis
// vector v (a row) turns into v × R.
Mat3 ElementaryRotation(Axis axis, double angle);

// Turns an orientation about an axis of a reference orientation: expressed
// in the reference's axes, multiplied by the elementary rotation, and taken
// back to world axes.
void Rotate(Mat3& orientation, Axis axis, double angle, const Mat3& reference = IdentityMatrix());

// Row-vector products of the frame arithmetic.
Mat3 Multiply(const Mat3& a, const Mat3& b);            // a × b
Mat3 MultiplyTransposed(const Mat3& a, const Mat3& b);  // a × bᵀ
// The world position of p given in the axes of (origin, orientation).
Vec3 ToWorld(const Vec3& origin, const Mat3& orientation, const Vec3& p);

}  // namespace tessaran
