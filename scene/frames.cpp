#include "scene/frames.h"

#include <algorithm>
#include <cmath>

#include "platform/console.h"
#include "scene/frames.h"

namespace tessaran {

namespace {

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The parent link of a record, or -1 when it points outside `parents`.
int ParentOf(const FrameRecord& record, const FrameTable& parents) {
  return record.parent < parents.Capacity() ? record.parent : -1;
}

// Sets f's absolute values from its parent p and its relative values.
void Derive(FrameTable& table, int f, const FrameTable& parents, int p) {
  table.AbsOrigin(f) = ToWorld(parents.AbsOrigin(p), parents.AbsOrientation(p), table.RelOrigin(f));
  table.AbsOrientation(f) = Multiply(table.RelOrientation(f), parents.AbsOrientation(p));
  table.Record(f).state = 1;
}

// Brings the frames of `parents` from the top of f's chain down to f up to
// date. A chain that loops is cut where it meets itself.
void UpdateChain(FrameTable& parents, int f) {
  std::vector<int> chain{f};
  for (;;) {
    const int p = ParentOf(parents.Record(chain.back()), parents);
    if (p < 0 || std::find(chain.begin(), chain.end(), p) != chain.end()) break;
    chain.push_back(p);
  }
  for (std::size_t i = chain.size() - 1; i-- > 0;) {
    const int p = chain[i + 1];
    if (parents.Record(p).state == 0) Derive(parents, chain[i], parents, p);
  }
}

}  // namespace

// ---------------------------------------------------------------- the table

int FrameTable::Resize(int n) {
  const auto count = static_cast<std::size_t>(n);
  if (!TryResize(absOrientation_, count, gate_)) return 1;
  if (!TryResize(absOrigin_, count, gate_)) return 2;
  if (!TryResize(records_, count, gate_)) return 3;
  if (!TryResize(relOrientation_, count, gate_)) return 4;
  if (!TryResize(relOrigin_, count, gate_)) return 5;
  return 0;
}

void FrameTable::ResizeBack(int step, int n) {
  const auto count = static_cast<std::size_t>(n);
  // Shrinking back never allocates, so it cannot fail.
  if (step >= 1) absOrientation_.resize(count);
  if (step >= 2) absOrigin_.resize(count);
  if (step >= 3) records_.resize(count);
  if (step >= 4) relOrientation_.resize(count);
}

int FrameTable::ReopenRepere(int n) {
  Trace("ReopenRepere(%d)\n", n);
  const int old = Capacity();
  if (n < 0) {
    Trace("ReopenRepere return error : erraloc=%d\n", 1);
    return 0;
  }
  if (const int step = Resize(n); step != 0) {
    Trace("ReopenRepere erraloc=%d\n", step);
    ResizeBack(step, old);
    // Frames refer to their values by index, so nothing moved: the frames
    // are left exactly as they were.
    Trace("ReopenRepere return error : erraloc=%d\n", step);
    return 0;
  }
  if (n > old) {
    // Frames refer to their values and parents by index, so growth moves
    // nothing: existing frames keep their links, and a model's hierarchy
    // survives a new object being added at capacity.
    for (int k = old; k < n; ++k) ResetFrame(k);
  } else {
    // Frames hanging from slots that no longer exist become roots.
    for (int k = 0; k < n; ++k) {
      if (records_[k].parent >= n) MakeRoot(k);
    }
  }
  Trace("ReopenRepere OK NbRep = %d\n", n);
  return 1;
}

void FrameTable::Allocate(int n) {
  const auto count = static_cast<std::size_t>(n);
  absOrientation_.resize(count);
  absOrigin_.resize(count);
  records_.resize(count);
  relOrientation_.resize(count);
  relOrigin_.resize(count);
  for (int k = 0; k < n; ++k) ResetFrame(k);
}

void FrameTable::ResetFrame(int k) {
  FrameRecord& r = records_[k];
  r.slice = k;
  r.parent = -1;
  r.parentId = -1;
  r.state = 1;
  r.identifier = identifierBase_ + k;
  r.parentFlag = 0;
  absOrigin_[k] = Vec3{};
  relOrigin_[k] = Vec3{};
  absOrientation_[k] = IdentityMatrix();
  relOrientation_[k] = IdentityMatrix();
}

void FrameTable::MakeRoot(int k) {
  records_[k].parent = -1;
  records_[k].parentId = -1;
  records_[k].state = 1;
}

void FrameTable::CopyFrame(int from, int to) {
  const FrameRecord& source = records_[from];
  absOrigin_[to] = absOrigin_[source.slice];
  absOrientation_[to] = absOrientation_[source.slice];
  relOrigin_[to] = relOrigin_[source.slice];
  relOrientation_[to] = relOrientation_[source.slice];
  records_[to] = source;
  records_[to].slice = to;
}

// ------------------------------------------------------- update and attach

void UpdateFrame(FrameTable& table, int f, FrameTable& parents) {
  const int p = ParentOf(table.Record(f), parents);
  if (p < 0) return;
  if (&table == &parents) {
    UpdateChain(parents, f);
    return;
  }
  UpdateChain(parents, p);
  if (parents.Record(p).state == 0) Derive(table, f, parents, p);
}

int AttachFrame(FrameTable& table, int a, FrameTable& parents, int b) {
  if (b < 0 || b >= parents.Capacity()) return 0;
  if (&table == &parents) {
    // Refuse a loop: b must not be a, nor hang (at any depth) from a.
    std::vector<int> seen;
    for (int k = b; k >= 0; k = ParentOf(table.Record(k), table)) {
      if (k == a) return 0;
      if (std::find(seen.begin(), seen.end(), k) != seen.end()) break;
      seen.push_back(k);
    }
  }
  UpdateFrame(table, a, parents);
  UpdateFrame(parents, b);

  FrameRecord& record = table.Record(a);
  record.parent = b;
  record.parentId = parents.Record(b).identifier;
  RefreshRelative(table, a, parents);
  parents.Record(b).parentFlag = 1;
  return 1;
}

void RefreshRelative(FrameTable& table, int f, const FrameTable& parents) {
  const int parent = table.Record(f).parent;
  if (parent < 0 || parent >= parents.Capacity()) return;
  const Mat3& axes = parents.AbsOrientation(parent);
  table.RelOrientation(f) = MultiplyTransposed(table.AbsOrientation(f), axes);
  Vec3 offset;
  for (int i = 0; i < 3; ++i) offset[i] = table.AbsOrigin(f)[i] - parents.AbsOrigin(parent)[i];
  for (int j = 0; j < 3; ++j) table.RelOrigin(f)[j] = Dot(offset, axes[j]);
}

// ---------------------------------------------------------------- rotations

Mat3 ElementaryRotation(Axis axis, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  switch (axis) {
    case Axis::X:
      return {{{1, 0, 0}, {0, c, s}, {0, -s, c}}};
    case Axis::Y:
      return {{{c, 0, -s}, {0, 1, 0}, {s, 0, c}}};
    case Axis::Z:
      break;
  }
  return {{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}};
}

void Rotate(Mat3& orientation, Axis axis, double angle, const Mat3& reference) {
  const Mat3 inReference = MultiplyTransposed(orientation, reference);
  orientation = Multiply(Multiply(inReference, ElementaryRotation(axis, angle)), reference);
}

Mat3 Multiply(const Mat3& a, const Mat3& b) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
  }
  return r;
}

Mat3 MultiplyTransposed(const Mat3& a, const Mat3& b) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r[i][j] = Dot(a[i], b[j]);
  }
  return r;
}

Vec3 ToWorld(const Vec3& origin, const Mat3& orientation, const Vec3& p) {
  Vec3 w = origin;
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) w[j] += p[i] * orientation[i][j];
  }
  return w;
}

}  // namespace tessaran
