#include "scene/maps.h"

#include <algorithm>

namespace tessaran {

namespace {
std::string_view Cut(std::string_view name) { return name.substr(0, MapList::kMaxNameLength); }
}  // namespace

int MapList::Find(std::int32_t type, std::int32_t repetition, std::string_view name) const {
  const std::string_view key = Cut(name);
  const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const MapEntry& map) {
    return map.type == type && map.repetition == repetition && map.name == key;
  });
  return it == entries_.end() ? 0 : static_cast<int>(it - entries_.begin()) + 1;
}

int MapList::Add(std::int32_t type, std::int32_t repetition, std::string_view name) {
  if (const int existing = Find(type, repetition, name); existing != 0) return existing;
  if (Count() >= kMaxMaps) return 0;
  entries_.push_back(MapEntry{type, repetition, std::string(Cut(name))});
  return Count();
}

int AssignmentList::Find(std::int32_t object) const {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Assignment& a) { return a.object == object; });
  return it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
}

int AssignmentList::Add(const Assignment& assignment) {
  if (const int existing = Find(assignment.object); existing >= 0) {
    entries_[existing].maps = assignment.maps;
    return existing;
  }
  if (Count() >= kMaxAssignments) return -1;
  entries_.push_back(assignment);
  return Count() - 1;
}

}  // namespace tessaran
