// The octree's private pools: arenas of one record kind each, sized in
// advance from the scene, optionally capped, with the allocation and free
// counters that the diagnostic console reports. Records are named by index
// so that the whole structure is freed by dropping four arenas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace tessaran {

using PoolIndex = std::uint32_t;
constexpr PoolIndex kNoRecord = 0xFFFFFFFFu;

template <class T>
class Pool {
 public:
  // Reserves `initial` records; `maximum` caps the pool (0: it grows as far
  // as `memory` bytes allow). False when the reservation cannot be made.
  bool Create(std::size_t initial, std::size_t maximum, std::uint64_t memory) {
    Destroy();
    allocs = frees = 0;
    maximum_ = maximum;
    const std::uint64_t byMemory = memory / sizeof(T);
    if (maximum_ == 0 || maximum_ > byMemory) maximum_ = static_cast<std::size_t>(byMemory);
    if (maximum_ > kNoRecord - 1) maximum_ = kNoRecord - 1;
    if (initial > maximum_) return false;
    try {
      records_.reserve(initial);
    } catch (const std::bad_alloc&) {
      return false;
    }
    created_ = true;
    return true;
  }

  bool Created() const { return created_; }

  // One record, or kNoRecord when the pool is full.
  PoolIndex Alloc() {
    if (!free_.empty()) {
      const PoolIndex i = free_.back();
      free_.pop_back();
      records_[i] = T{};
      ++allocs;
      return i;
    }
    return AllocBlock(1);
  }

  // `n` consecutive records, or kNoRecord.
  PoolIndex AllocBlock(std::size_t n) {
    if (!created_ || n == 0 || records_.size() + n > maximum_) return kNoRecord;
    try {
      records_.resize(records_.size() + n);
    } catch (const std::bad_alloc&) {
      return kNoRecord;
    }
    allocs += static_cast<long>(n);
    return static_cast<PoolIndex>(records_.size() - n);
  }

  // False for a record the pool never gave.
  bool Free(PoolIndex i) {
    if (i >= records_.size()) return false;
    free_.push_back(i);
    ++frees;
    return true;
  }

  T& operator[](PoolIndex i) { return records_[i]; }
  const T& operator[](PoolIndex i) const { return records_[i]; }

  // Records handed out so far (free ones included): indices stay below it.
  std::size_t Size() const { return records_.size(); }

  // The records in use and the bytes the pool holds.
  std::size_t Live() const { return records_.size() - free_.size(); }
  std::size_t Bytes() const { return records_.capacity() * sizeof(T) + free_.capacity() * sizeof(PoolIndex); }

  // Gives back the reservation past the records handed out, for a pool
  // that is only read from now on. Indices stay valid; the pool may still
  // grow afterwards.
  void Trim() {
    try {
      records_.shrink_to_fit();
      free_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
      // the reservation is kept
    }
  }

  void Destroy() {
    records_ = {};
    free_ = {};
    created_ = false;
  }

  long allocs = 0;  // the counters: records given and taken back
  long frees = 0;

 private:
  std::vector<T> records_;
  std::vector<PoolIndex> free_;
  std::size_t maximum_ = 0;
  bool created_ = false;
};

}  // namespace tessaran
