#include "imaging/byterun1.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tessaran {
namespace {

std::vector<int> Pack(const std::vector<std::uint8_t>& row) {
  Bytes out;
  ByteRun1Pack(row.data(), row.size(), out);
  std::vector<int> packed;
  for (std::byte b : out) packed.push_back(int(b));
  return packed;
}

ByteSpan Span(const std::vector<std::uint8_t>& v) {
  return {reinterpret_cast<const std::byte*>(v.data()), v.size()};
}

TEST(ByteRun1, PacketRules) {
  // A pair inside a literal stays in it; three equal bytes start a replicate packet.
  EXPECT_EQ(Pack({1, 2, 2, 3}), (std::vector<int>{3, 1, 2, 2, 3}));
  EXPECT_EQ(Pack({1, 2, 2, 2}), (std::vector<int>{0, 1, 254, 2}));
  // A pair that ends the row is a replicate packet of its own.
  EXPECT_EQ(Pack({1, 2, 2}), (std::vector<int>{0, 1, 255, 2}));
  EXPECT_EQ(Pack({7}), (std::vector<int>{0, 7}));
  EXPECT_EQ(Pack(std::vector<std::uint8_t>(128, 9)), (std::vector<int>{0x81, 9}));
  EXPECT_EQ(Pack(std::vector<std::uint8_t>(129, 9)), (std::vector<int>{0x81, 9, 0, 9}));
  // A literal holds at most 128 bytes.
  std::vector<std::uint8_t> ramp(130);
  for (int i = 0; i < 130; ++i) ramp[i] = std::uint8_t(i);
  std::vector<int> packed = Pack(ramp);
  EXPECT_EQ(packed[0], 127);
  EXPECT_EQ(packed[129], 1);
  EXPECT_EQ(packed.size(), 132u);
}

TEST(ByteRun1, UnpackSkipsNoOpsAndDropsWhatPassesTheRow) {
  // 128 is no operation; the replicate of 5 passes a row of 3 and is cut,
  // and the next row starts with the next packet.
  std::vector<std::uint8_t> stream = {128, 0xFC, 4, 1, 7, 8};
  std::size_t position = 0;
  std::uint8_t row[3];
  ASSERT_TRUE(ByteRun1Unpack(Span(stream), position, row, 3));
  EXPECT_EQ(row[0], 4);
  EXPECT_EQ(row[2], 4);
  EXPECT_EQ(position, 3u);
  std::uint8_t next[2];
  ASSERT_TRUE(ByteRun1Unpack(Span(stream), position, next, 2));
  EXPECT_EQ(next[0], 7);
  EXPECT_EQ(next[1], 8);
  // A literal that passes the row: its excess is skipped, not read as control bytes.
  std::vector<std::uint8_t> literal = {3, 1, 2, 3, 0xFF, 0xFF, 5};
  position = 0;
  ASSERT_TRUE(ByteRun1Unpack(Span(literal), position, next, 2));
  EXPECT_EQ(position, 5u);
  ASSERT_TRUE(ByteRun1Unpack(Span(literal), position, next, 2));
  EXPECT_EQ(next[1], 5);
}

TEST(ByteRun1, UnpackOfATruncatedStreamFailsWithTheRestZero) {
  std::vector<std::uint8_t> stream = {5, 1, 2};
  std::size_t position = 0;
  std::uint8_t row[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_FALSE(ByteRun1Unpack(Span(stream), position, row, 6));
  EXPECT_EQ(row[1], 2);
  EXPECT_EQ(row[2], 0);
  EXPECT_EQ(row[5], 0);
  std::vector<std::uint8_t> cut = {0xF0};
  position = 0;
  EXPECT_FALSE(ByteRun1Unpack(Span(cut), position, row, 6));
}

TEST(ByteRun1, RoundTripOfRowsWithRunsAndNoise) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<std::uint8_t> row(1 + random() % 700);
    for (std::size_t i = 0; i < row.size();) {
      std::size_t run = 1 + random() % (random() % 2 ? 3 : 200);
      std::uint8_t value = std::uint8_t(random() % 4);
      for (std::size_t k = 0; k < run && i < row.size(); ++k) row[i++] = value;
    }
    Bytes packed;
    ByteRun1Pack(row.data(), row.size(), packed);
    std::vector<std::uint8_t> back(row.size());
    std::size_t position = 0;
    ASSERT_TRUE(ByteRun1Unpack(packed, position, back.data(), back.size()));
    EXPECT_EQ(position, packed.size());
    ASSERT_EQ(back, row) << "trial " << trial;
  }
}

}  // namespace
}  // namespace tessaran
