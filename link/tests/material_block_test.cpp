#include "link/material_block.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "link/execute_text.h"

namespace tessaran::link {
namespace {

TEST(MaterialBlock, TheWholeBlockKeepsItsThreeMapsAndItsCarriedBytes) {
  MaterialBlock block = MakeMaterialBlock(ColourWord(15, 4, 2), 30, 10, 5, 60, 40, "WOOD.LBM");
  block.record[0] = 0xAA;  // the modeler's own bytes travel unread
  block.maps[1] = {1, 2003, "BUMP.LBM"};
  block.maps[2] = {1, 1001, std::string(200, 'x')};  // longer than its field
  const std::vector<std::uint8_t> data = EncodeMaterialBlock(block);
  ASSERT_EQ(data.size(), kMaterialBlockSize);
  EXPECT_EQ(data[8], 0x42);
  EXPECT_EQ(data[9], 0x0F);
  EXPECT_EQ(data[24 + 4], 0xE9);  // 1001, little-endian
  MaterialBlock read;
  ASSERT_TRUE(ParseMaterialBlock(data, read));
  EXPECT_EQ(read.record[0], 0xAA);
  EXPECT_EQ(read.Col(), 0x0F42);
  EXPECT_EQ(read.Reflection(), 30);
  EXPECT_EQ(read.NSpec(), 40);
  EXPECT_TRUE(read.hasMaps);
  EXPECT_EQ(read.maps[0].name, "WOOD.LBM");
  EXPECT_EQ(read.maps[1].RepX(), 2);
  EXPECT_EQ(read.maps[1].RepY(), 3);
  EXPECT_EQ(read.maps[2].name.size(), kMapNameSize - 1);
}

TEST(MaterialBlock, TheShortFormNamesAtMostAColourMap) {
  const std::string name = "MARBLE.LBM";
  std::vector<std::uint8_t> data(24 + name.size(), 0);
  data[10] = 50;
  std::copy(name.begin(), name.end(), data.begin() + 24);  // no NUL: ends with the data
  MaterialBlock read;
  ASSERT_TRUE(ParseMaterialBlock(data, read));
  EXPECT_EQ(read.Reflection(), 50);
  EXPECT_EQ(read.maps[0].name, name);
  EXPECT_EQ(read.maps[0].inUse, 1);
  EXPECT_EQ(read.maps[0].repetition, 1001);
  EXPECT_TRUE(read.maps[1].name.empty());

  // An empty name clears all three maps; a name is read up to 50 bytes.
  std::vector<std::uint8_t> cleared(125, 'y');
  std::fill_n(cleared.begin(), 25, 0);
  ASSERT_TRUE(ParseMaterialBlock(cleared, read));
  EXPECT_FALSE(read.hasMaps);
  for (const MapDescriptor& map : read.maps) EXPECT_TRUE(map.name.empty());
  std::vector<std::uint8_t> longName(124, 'y');
  std::fill_n(longName.begin(), 24, 0);
  ASSERT_TRUE(ParseMaterialBlock(longName, read));
  EXPECT_EQ(read.maps[0].name.size(), kShortMapNameSize);

  EXPECT_FALSE(ParseMaterialBlock(std::vector<std::uint8_t>(23, 0), read));
}

TEST(ExecuteText, WordsAreCutAtBlanksAndALoneCommandReusesTheArgument) {
  ExecuteText text;
  std::string command, argument;
  text.Split(ExecuteData("RENDER", "/a/my scene.MAQ"), command, argument);
  EXPECT_EQ(command, "RENDER");
  EXPECT_EQ(argument, "/a/my");
  const std::vector<std::uint8_t> alone{'S', 'H', 'O', 'W', 0, 'X', ' ', 'Y'};
  text.Split(alone, command, argument);
  EXPECT_EQ(command, "SHOW");
  EXPECT_EQ(argument, "/a/my");
  text.Split({}, command, argument);
  EXPECT_EQ(command, "");
}

}  // namespace
}  // namespace tessaran::link
