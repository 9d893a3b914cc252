#include "scene/maps.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaran {
namespace {

TEST(SceneMaps, EqualMapsShareOneEntry) {
  MapList maps;
  EXPECT_EQ(maps.Add(2, MapRepetition(1, 1), "WOOD.LBM"), 1);
  EXPECT_EQ(maps.Add(2, MapRepetition(3, 2), "WOOD.LBM"), 2);
  EXPECT_EQ(maps.Add(1, MapRepetition(1, 1), "WOOD.LBM"), 3);
  EXPECT_EQ(maps.Add(2, MapRepetition(3, 2), "WOOD.LBM"), 2);
  EXPECT_EQ(maps.Count(), 3);
  EXPECT_EQ(maps[2].RepetitionX(), 3);
  EXPECT_EQ(maps[2].RepetitionY(), 2);

  // Names are kept to 150 characters, and compared as kept.
  const std::string longName(200, 'A');
  const int index = maps.Add(2, 1001, longName);
  EXPECT_EQ(maps[index].name.size(), 150u);
  EXPECT_EQ(maps.Add(2, 1001, longName.substr(0, 150) + "B"), index);
  EXPECT_EQ(maps.Count(), 4);
}

TEST(SceneMaps, TheHundredthMapIsRefused) {
  MapList maps;
  for (int i = 1; i <= MapList::kMaxMaps; ++i) ASSERT_EQ(maps.Add(2, 1001, "MAP" + std::to_string(i)), i);
  EXPECT_EQ(maps.Add(2, 1001, "ONE.MORE"), 0);
  EXPECT_EQ(maps.Count(), 99);
  EXPECT_EQ(maps.Add(2, 1001, "MAP57"), 57);  // a full list still finds its maps
}

TEST(SceneMaps, AssignmentsReplaceAndStopAtTheLimit) {
  AssignmentList assignments;
  EXPECT_EQ(assignments.Add({4, {1, 0, 0}}), 0);
  EXPECT_EQ(assignments.Add({7, {2, 0, 0}}), 1);
  EXPECT_EQ(assignments.Add({4, {0, 3, 1}}), 0);
  EXPECT_EQ(assignments.Count(), 2);
  EXPECT_EQ(assignments[0], (Assignment{4, {0, 3, 1}}));

  for (int object = 100; assignments.Count() < AssignmentList::kMaxAssignments; ++object) {
    ASSERT_GE(assignments.Add({object, {1, 1, 1}}), 0);
  }
  EXPECT_EQ(assignments.Add({5000, {1, 0, 0}}), -1);
  EXPECT_EQ(assignments.Find(5000), -1);
  EXPECT_EQ(assignments.Add({7, {0, 0, 9}}), 1);  // replacing still works when full
  EXPECT_EQ(assignments[1].maps[2], 9);
}

}  // namespace
}  // namespace tessaran
