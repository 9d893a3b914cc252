// IFF ANIM animated maps: a real double-buffered animation against its
// reference decoding, frame selection, exclusive-or and single-buffered
// deltas, and damaged deltas.
#include <gtest/gtest.h>

#include "imaging/anim.h"
#include "imaging/tests/animation_support.h"
#include "storage/iff.h"

namespace tessaran {
namespace {

using namespace testing_support;

// The frame the map holds, through its palette.
RgbPicture MapPicture(const AnimMap& map) {
  RgbPicture picture;
  picture.width = map.bmhd.width;
  picture.height = map.bmhd.height;
  picture.rgb.resize(std::size_t(picture.width) * picture.height);
  for (std::uint32_t y = 0; y < picture.height; ++y)
    for (std::uint32_t x = 0; x < picture.width; ++x) {
      int index = 0;
      for (int p = 0; p < map.bmhd.planes; ++p)
        if (map.PlaneRow(p, y)[x >> 3] & (0x80 >> (x & 7))) index |= 1 << p;
      picture.rgb[std::size_t(y) * picture.width + x] = std::size_t(index) < map.cmap.size() ? map.cmap[index] : 0;
    }
  return picture;
}

TEST(AnimMap, RealAnimationMatchesItsReference) {
  Bytes file = FileBytes(TestData("anim/color-balls.anim"));
  ASSERT_TRUE(IsAnimFile(file));
  AnimMap map;
  ASSERT_EQ(AnimLoad(map, file), 1);
  EXPECT_EQ(map.frames, 13) << "one frame per delta";
  std::vector<std::string> reference = FrameHashes(TestData("anim/color-balls.anim.frames.sha256"));
  ASSERT_EQ(reference.size(), 14u);
  for (int f = 0; f < 13; ++f) {
    ASSERT_EQ(AnimSelectFrame(map, file, f), 1);
    EXPECT_EQ(PictureSha256(MapPicture(map)), reference[f]) << "frame " << f + 1;
  }
  EXPECT_TRUE(SamePicture(MapPicture(map), MapPicture(map)));
  // Past the last delta the map starts again: frame 13 is frame 0, and the
  // reference's extra frame 14 (the loop padding) is frame 1.
  ASSERT_EQ(AnimSelectFrame(map, file, 13), 1);
  EXPECT_EQ(PictureSha256(MapPicture(map)), reference[0]);
  ASSERT_EQ(AnimSelectFrame(map, file, 14), 1);
  EXPECT_EQ(PictureSha256(MapPicture(map)), reference[13]);
}

TEST(AnimMap, FramesAreTakenModuloTheCountFromAnyPosition) {
  Bytes file = FileBytes(TestData("anim/color-balls.anim"));
  std::vector<std::string> reference = FrameHashes(TestData("anim/color-balls.anim.frames.sha256"));
  AnimMap map;
  ASSERT_EQ(AnimLoad(map, file), 1);
  for (int wanted : {7, 7, 20, 3, 2 * 13 + 5, -1}) {
    ASSERT_EQ(AnimSelectFrame(map, file, wanted), 1);
    int frame = ((wanted % 13) + 13) % 13;
    EXPECT_EQ(map.current, frame);
    EXPECT_EQ(PictureSha256(MapPicture(map)), reference[frame]) << "asked for " << wanted;
  }
}

TEST(AnimMap, LoadPictureDeliversTheFrameAsAnIlbmWould) {
  FreeAnimMaps();
  for (int f : {0, 1, 2}) {
    ASSERT_EQ(LoadAnimFrame(TestData("anim/color-balls.anim"), 24, kOpaqueLoad, nullptr, f), 1);
    char ref[64];
    std::snprintf(ref, sizeof ref, "anim/color-balls.anim.f%03d.ref.ppm", f + 1);
    EXPECT_TRUE(SamePicture(FromSlot(24), ReadPpmFile(TestData(ref)))) << ref;
  }
  FreeAnimMaps();
}

// A 16 × 6 two-plane animation with deltas made here: the first frame is
// plane 0 all set; `interleave` and `bits` go into every ANHD.
Bytes SmallAnimation(std::uint8_t interleave, std::uint32_t bits, const std::vector<Bytes>& deltas) {
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup("FORM", "ANIM");
  iff.BeginGroup("FORM", "ILBM");
  iff.BeginChunk("BMHD");
  ByteWriter& w = iff.Data();
  w.U16BE(16), w.U16BE(6), w.U16BE(0), w.U16BE(0), w.U8(2), w.U8(0), w.U8(0), w.U8(0);
  w.U16BE(0), w.U8(1), w.U8(1), w.U16BE(16), w.U16BE(6);
  iff.End();
  iff.BeginChunk("CMAP");
  for (int i = 0; i < 4; ++i) w.U8(std::uint8_t(i * 80)), w.U8(0), w.U8(0);
  iff.End();
  iff.BeginChunk("BODY");
  for (int y = 0; y < 6; ++y) w.U8(0xFF), w.U8(0xFF), w.U8(0), w.U8(0);
  iff.End();
  iff.End();
  for (const Bytes& delta : deltas) {
    iff.BeginGroup("FORM", "ILBM");
    iff.BeginChunk("ANHD");
    w.U8(5), w.U8(0), w.U16BE(16), w.U16BE(6), w.U16BE(0), w.U16BE(0), w.U32BE(0), w.U32BE(1);
    w.U8(interleave), w.U8(0), w.U32BE(bits), w.Zeros(16);
    iff.End();
    iff.Chunk("DLTA", delta);
    iff.End();
  }
  iff.End();
  return out;
}

// A DLTA changing plane `plane`: column 0 gets `ops` (already counted),
// column 1 nothing.
Bytes Delta(int plane, const std::vector<std::uint8_t>& column0) {
  Bytes out;
  ByteWriter w(out);
  for (int p = 0; p < 16; ++p) w.U32BE(p == plane ? 64 : 0);
  for (std::uint8_t b : column0) w.U8(b);
  w.U8(0);  // column 1: no operations
  return out;
}

std::uint8_t Byte(const AnimMap& map, int plane, int y) { return map.PlaneRow(plane, y)[0]; }

TEST(AnimMap, ExclusiveOrAndSingleBufferedDeltas) {
  // Single buffer, exclusive-or: skip 1 line, copy 2 bytes, run of 2.
  // The third delta changes nothing: two deltas would make two frames.
  Bytes file = SmallAnimation(1, 2, {Delta(0, {3, 1, 0x82, 0x0F, 0xF0, 0, 2, 0xFF}),
                                     Delta(1, {1, 0x81, 0x55}), Delta(1, {0})});
  AnimMap map;
  ASSERT_EQ(AnimLoad(map, file), 1);
  ASSERT_EQ(AnimSelectFrame(map, file, 1), 1);
  std::vector<std::uint8_t> plane0;
  for (int y = 0; y < 6; ++y) plane0.push_back(Byte(map, 0, y));
  EXPECT_EQ(plane0, (std::vector<std::uint8_t>{0xFF, 0xF0, 0x0F, 0x00, 0x00, 0xFF}));
  ASSERT_EQ(AnimSelectFrame(map, file, 0), 1);  // an earlier frame: from the start again
  EXPECT_EQ(Byte(map, 0, 1), 0xFF);
  // Frame 2 builds on frame 1 in the same set.
  ASSERT_EQ(AnimSelectFrame(map, file, 2), 1);
  EXPECT_EQ(Byte(map, 0, 1), 0xF0);
  EXPECT_EQ(Byte(map, 1, 0), 0x55);
}

TEST(AnimMap, DoubleBufferedDeltasBuildOnTheFrameTwoBack) {
  // Stores, not exclusive-or: delta 1 and delta 2 each change one line.
  Bytes file = SmallAnimation(0, 0, {Delta(0, {1, 0x81, 0x11}), Delta(0, {2, 2, 0x81, 0x22}), Delta(0, {0})});
  AnimMap map;
  ASSERT_EQ(AnimLoad(map, file), 1);
  ASSERT_EQ(AnimSelectFrame(map, file, 2), 1);
  // Frame 2 is frame 0 (not frame 1) with delta 2: line 0 keeps 0xFF.
  EXPECT_EQ(Byte(map, 0, 0), 0xFF);
  EXPECT_EQ(Byte(map, 0, 2), 0x22);
  ASSERT_EQ(AnimSelectFrame(map, file, 1), 1);
  EXPECT_EQ(Byte(map, 0, 0), 0x11);
}

TEST(AnimMap, DamagedDeltasChangeNothingOutsideThePlanes) {
  Bytes pastHeight = Delta(0, {3, 0, 9, 0xAA, 0x87, 1, 2, 3, 4, 5, 6, 7, 9});  // run, copy, skip too long
  Bytes farOffset = Delta(0, {1, 0x81, 0x33});
  farOffset[3] = std::byte{0xF0};  // plane 0's data said to lie far beyond the chunk
  Bytes cutShort = Delta(0, {200, 0x81});  // 200 operations announced, one byte follows
  Bytes file = SmallAnimation(1, 0, {pastHeight, farOffset, cutShort});
  AnimMap map;
  ASSERT_EQ(AnimLoad(map, file), 1);
  for (int f = 1; f <= 3; ++f) {
    ASSERT_EQ(AnimSelectFrame(map, file, f), 1);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(Byte(map, 0, y), 0xFF) << "frame " << f << " line " << y;
  }
  // A file cut anywhere loads what it holds, or is refused.
  Bytes real = FileBytes(TestData("anim/color-balls.anim"));
  for (std::size_t size : {std::size_t(11), std::size_t(40), std::size_t(3000), real.size() / 2}) {
    Bytes cut(real.begin(), real.begin() + size);
    AnimMap m;
    if (AnimLoad(m, cut)) {
      EXPECT_EQ(AnimSelectFrame(m, cut, 12), 1);
    }
  }
}

}  // namespace
}  // namespace tessaran
