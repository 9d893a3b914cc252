// Resizing of the scene's per-object tables. A refused growth must leave the
// table as it was, so resizing reports failure instead of throwing.
#pragma once

#include <cstddef>
#include <functional>
#include <new>
#include <stdexcept>
#include <vector>

namespace tessaran {

// Asked before a table grows to `bytes`; answering false refuses the growth
// as an exhausted memory would. Empty: every growth is tried.
using GrowthGate = std::function<bool(std::size_t bytes)>;

// Resizes `table` to `count` elements keeping its contents; false when the
// memory cannot be had, the table then being unchanged.
template <class T>
bool TryResize(std::vector<T>& table, std::size_t count, const GrowthGate& gate) {
  if (count > table.size() && gate && !gate(count * sizeof(T))) return false;
  try {
    table.resize(count);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace tessaran
