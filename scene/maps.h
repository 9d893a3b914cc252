// Maps (images applied to objects) and their assignments to objects.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaran {

struct MapEntry {
  std::int32_t type = 0;
  std::int32_t repetition = 0;  // repetitions in X × 1000 + repetitions in Y
  std::string name;             // image file name, at most 150 characters

  int RepetitionX() const { return repetition / 1000; }
  int RepetitionY() const { return repetition % 1000; }
  bool operator==(const MapEntry&) const = default;
};

inline std::int32_t MapRepetition(int x, int y) { return x * 1000 + y; }

class MapList {
 public:
  static constexpr int kMaxMaps = 99;
  static constexpr std::size_t kMaxNameLength = 150;

  // Adds a map and returns its 1-based index; a map equal to one in the list
  // (same type, repetition value and name) returns that one's index. 0 when
  // the list is full.
  int Add(std::int32_t type, std::int32_t repetition, std::string_view name);
  // 1-based index of an equal map, 0 when there is none.
  int Find(std::int32_t type, std::int32_t repetition, std::string_view name) const;

  int Count() const { return static_cast<int>(entries_.size()); }
  const MapEntry& operator[](int index) const { return entries_[index - 1]; }  // 1-based
  void Clear() { entries_.clear(); }

 private:
  std::vector<MapEntry> entries_;
};

// One assignment: an object and its three map slots, each a 1-based index
// into the map list or 0 for none.
struct Assignment {
  std::int32_t object = 0;
  std::array<std::int32_t, 3> maps{};
  bool operator==(const Assignment&) const = default;
};

class AssignmentList {
 public:
  static constexpr int kMaxAssignments = 999;

  // Stores an assignment and returns its 0-based index. An object that has
  // one already gets its three references replaced in place. -1 when the
  // list is full.
  int Add(const Assignment& assignment);
  // 0-based index of the object's assignment, -1 when it has none.
  int Find(std::int32_t object) const;

  int Count() const { return static_cast<int>(entries_.size()); }
  const Assignment& operator[](int index) const { return entries_[index]; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<Assignment> entries_;
};

}  // namespace tessaran
