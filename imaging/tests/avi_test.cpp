// AVI animations: the writer's layout, our reader against FFmpeg's files
// and FFmpeg against ours, hand-made RLE8 and RLE4 files, and damaged files.
#include <gtest/gtest.h>

#include "imaging/avi.h"
#include "imaging/format_io.h"
#include "imaging/tests/animation_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kSlot = 21;

std::vector<std::uint8_t> GreyPalette(int colours) {
  std::vector<std::uint8_t> palette;
  for (int i = 0; i < colours; ++i) {
    std::uint8_t v = std::uint8_t(i * 255 / std::max(colours - 1, 1));
    palette.insert(palette.end(), {v, std::uint8_t(255 - v), std::uint8_t(i * 37), 0});
  }
  return palette;
}

// Draws frame f of a 24-bit animation into the slot.
void DrawTrueColourFrame(int width, int height, int f) {
  VimCreate(kSlot, width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      VimPutPixel(kSlot, std::uint32_t((x * 9 + f * 40) & 255) << 16 | std::uint32_t(y * 11 & 255) << 8 | std::uint32_t((x ^ y) * 5 + f),
                  std::uint32_t(y), std::uint32_t(x), 0);
}

struct Recorded {
  std::filesystem::path file;
  std::vector<std::vector<std::uint8_t>> frames;
};

Recorded Record(const std::string& name, int width, int height, int bits, int announced, int frames) {
  Recorded r;
  r.file = ScratchFolder(name) / "anim.avi";
  AviWriter avi;
  for (int f = 0; f < frames; ++f) {
    if (bits == 24) DrawTrueColourFrame(width, height, f);
    else DrawAnimationFrame(kSlot, width, height, f);
    if (f == 0) {
      EXPECT_EQ(AviCreate(avi, r.file, announced, VimSlot(kSlot)), 1);
    }
    r.frames.push_back(VimSlot(kSlot).pixels);
    r.frames.back().resize(r.frames.back().size() - 4);  // the spare bytes are no part of the frame
    EXPECT_EQ(AviAddFrame(avi, VimSlot(kSlot).pixels.data()), 1);
  }
  EXPECT_EQ(AviClose(avi), 1);
  return r;
}

RgbPicture Picture(const AviReader& avi, const std::vector<std::uint8_t>& frame) {
  int w = avi.format.width, h = std::abs(avi.format.height);
  if (avi.format.bitCount == 24) return TrueColourFrame(frame.data(), w, h, avi.stride);
  if (avi.format.bitCount == 8) return PaletteFrame(frame.data(), w, h, avi.stride, avi.palette.data());
  std::vector<std::uint8_t> expanded(std::size_t(w) * h);  // 4 bits: two pixels a byte, high first
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t b = frame[std::size_t(y) * avi.stride + x / 2];
      expanded[std::size_t(y) * w + x] = x % 2 ? b & 15 : b >> 4;
    }
  return PaletteFrame(expanded.data(), w, h, std::size_t(w), avi.palette.data());
}

std::vector<RgbPicture> ReadAll(const std::filesystem::path& file, int count) {
  std::vector<RgbPicture> pictures;
  AviReader avi;
  int w, h, bits;
  if (!AviOpen(avi, file, nullptr, w, h, bits)) return pictures;
  std::vector<std::uint8_t> frame(avi.stride * h);
  for (int f = 0; f < count; ++f) {
    if (AviNextFrame(avi, frame.data()) == 0) break;
    pictures.push_back(Picture(avi, frame));
  }
  return pictures;
}

std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
  ByteReader r(bytes);
  r.Seek(at);
  return r.U32LE();
}

std::size_t Find(const Bytes& bytes, const char* tag, std::size_t from = 0) {
  for (std::size_t i = from; i + 4 <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, tag, 4) == 0) return i;
  return std::string::npos;
}

TEST(Avi, WriterLaysOutHeadersFramesAndIndex) {
  Recorded r = Record("avi-layout", 320, 200, 8, 10, 10);
  Bytes bytes = FileBytes(r.file);
  std::size_t avih = Find(bytes, "avih");
  EXPECT_EQ(U32At(bytes, avih + 8), 66666u);
  EXPECT_EQ(U32At(bytes, avih + 8 + 12), 16u);  // has an index
  EXPECT_EQ(U32At(bytes, avih + 8 + 16), 10u);
  std::size_t strh = Find(bytes, "strh");
  EXPECT_EQ(U32At(bytes, strh + 8 + 20), 1u);  // 15 frames per second
  EXPECT_EQ(U32At(bytes, strh + 8 + 24), 15u);
  EXPECT_EQ(U32At(bytes, Find(bytes, "strf") + 4), 40u + 1024u);
  int chunks = 0;
  for (std::size_t at = Find(bytes, "00db"); at != std::string::npos; at = Find(bytes, "00db", at + 8)) {
    if (at > Find(bytes, "idx1")) break;
    EXPECT_EQ(U32At(bytes, at + 4), 64000u);
    ++chunks;
  }
  EXPECT_EQ(chunks, 10);
  std::size_t idx1 = Find(bytes, "idx1");
  EXPECT_EQ(U32At(bytes, idx1 + 4), 160u);
  std::size_t firstFrame = U32At(bytes, idx1 + 8 + 8);
  EXPECT_EQ(std::memcmp(bytes.data() + firstFrame, "00db", 4), 0) << "absolute offsets";
}

// Two recordings of one file at once: each has a temporary of its own, so
// the file is the one closed last, whole, never a mix.
TEST(Avi, RecordingsOfOneNameDoNotMix) {
  Recorded alone = Record("avi-alone", 24, 10, 8, 3, 3);
  std::filesystem::path folder = ScratchFolder("avi-two");
  AviWriter first, second;
  for (int f = 0; f < 3; ++f) {
    DrawAnimationFrame(kSlot, 24, 10, f);
    if (f == 0) {
      ASSERT_EQ(AviCreate(first, folder / "anim.avi", 3, VimSlot(kSlot)), 1);
      ASSERT_EQ(AviCreate(second, folder / "anim.avi", 3, VimSlot(kSlot)), 1);
    }
    ASSERT_EQ(AviAddFrame(first, VimSlot(kSlot).pixels.data()), 1);
    ASSERT_EQ(AviAddFrame(second, VimSlot(kSlot).pixels.data()), 1);
  }
  DrawAnimationFrame(kSlot, 24, 10, 7);
  ASSERT_EQ(AviAddFrame(first, VimSlot(kSlot).pixels.data()), 1);
  EXPECT_EQ(AviClose(first), 1);
  EXPECT_EQ(AviClose(second), 1);
  EXPECT_EQ(FileBytes(folder / "anim.avi"), FileBytes(alone.file));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST(Avi, MoreFramesThanAnnouncedAreAllKept) {
  Recorded r = Record("avi-overflow", 24, 10, 8, 5, 7);
  Bytes bytes = FileBytes(r.file);
  EXPECT_EQ(U32At(bytes, Find(bytes, "idx1") + 4), 7u * 16);
  EXPECT_EQ(U32At(bytes, Find(bytes, "avih") + 8 + 16), 7u) << "the headers tell the frames written";
  EXPECT_EQ(ReadAll(r.file, 7).size(), 7u);
}

TEST(Avi, ReaderPlaysOurFilesAndLoops) {
  for (int bits : {24, 8}) {
    Recorded r = Record("avi-roundtrip", 33, 21, bits, 4, 4);
    AviReader avi;
    std::vector<std::uint8_t> palette(1024);
    int w, h, b;
    ASSERT_EQ(AviOpen(avi, r.file, palette.data(), w, h, b), 1);
    EXPECT_EQ(w, 33);
    EXPECT_EQ(h, 21);
    EXPECT_EQ(b, bits);
    EXPECT_EQ(avi.chunkId, "00db");
    std::vector<std::uint8_t> frame(r.frames[0].size());
    for (int f = 0; f < 6; ++f) {
      EXPECT_EQ(AviNextFrame(avi, frame.data()), frame.size());
      EXPECT_EQ(frame, r.frames[f % 4]) << bits << " bits, frame " << f;
    }
  }
}

TEST(Avi, FfmpegAgreesWithOurFiles) {
  if (!HaveTool("ffmpeg") || !HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
  Recorded r = Record("avi-ffprobe", 33, 21, 24, 6, 6);
  std::string probe = ToolOutput("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                 "stream=width,height,r_frame_rate,nb_read_frames -of default=nw=1 '" +
                                 r.file.string() + "'");
  EXPECT_NE(probe.find("width=33"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=21"), std::string::npos) << probe;
  EXPECT_NE(probe.find("r_frame_rate=15/1"), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_frames=6"), std::string::npos) << probe;
  for (int bits : {24, 8}) {
    Recorded ours = Record("avi-ffmpeg", 33, 21, bits, 5, 5);
    std::vector<RgbPicture> theirs = FfmpegFrames(ours.file, "", "avi-ffmpeg-frames");
    std::vector<RgbPicture> mine = ReadAll(ours.file, 5);
    ASSERT_EQ(theirs.size(), 5u);
    ASSERT_EQ(mine.size(), 5u);
    for (int f = 0; f < 5; ++f) EXPECT_TRUE(SamePicture(theirs[f], mine[f])) << bits << " bits, frame " << f;
  }
}

TEST(Avi, ReaderDecodesFfmpegFilesToTheirReferences) {
  for (const char* name : {"avi/raw_bgr24_20x14.avi", "avi/raw_pal8_21x13.avi", "avi/audio_first_pal8_24x16.avi"}) {
    std::vector<RgbPicture> mine = ReadAll(TestData(name), 3);
    ASSERT_EQ(mine.size(), 3u) << name;
    for (int f = 0; f < 3; ++f) {
      char ref[96];
      std::snprintf(ref, sizeof ref, "%s.f%03d.ref.ppm", name, f + 1);
      EXPECT_TRUE(SamePicture(mine[f], ReadPpmFile(TestData(ref)))) << ref;
    }
  }
  AviReader avi;
  int w, h, bits;
  ASSERT_EQ(AviOpen(avi, TestData("avi/audio_first_pal8_24x16.avi"), nullptr, w, h, bits), 1);
  EXPECT_EQ(avi.chunkId.substr(0, 2), "01") << "the video is stream 1";
}

// RLE8: runs, a literal of odd length (padded), end of line, delta and end
// of bitmap; the second frame changes a few pixels of the first.
HandMadeAvi Rle8File() {
  HandMadeAvi avi;
  avi.width = 10, avi.height = 6, avi.bitCount = 8, avi.compression = 1;
  avi.palette = GreyPalette(256);
  avi.frames.push_back({4, 3, 0, 3, 7, 8, 9, 0, 3, 5, 0, 0,
                        2, 1, 8, 6, 0, 0,
                        0, 10, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0,
                        10, 2, 0, 0,
                        10, 4, 0, 0,
                        10, 11, 0, 1});
  avi.frames.push_back({0, 2, 3, 1, 0, 3, 20, 21, 22, 0, 0, 0, 2, 23, 0, 2, 5, 2, 3, 24, 0, 1});
  return avi;
}

HandMadeAvi Rle4File() {
  HandMadeAvi avi;
  avi.width = 9, avi.height = 4, avi.bitCount = 4, avi.compression = 2;
  avi.palette = GreyPalette(16);
  avi.frames.push_back({9, 0x12, 0, 0,
                        0, 5, 0x34, 0x56, 0x70, 0, 4, 0x89, 0, 0,
                        9, 0xAA, 0, 0,
                        0, 9, 0xBC, 0xDE, 0xF0, 0x12, 0x30, 0, 0, 1});
  avi.frames.push_back({0, 2, 2, 1, 3, 0xFF, 0, 1});
  return avi;
}

TEST(Avi, RleFramesDecodeAsFfmpegDecodesThem) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  std::filesystem::path folder = ScratchFolder("avi-rle");
  int n = 0;
  for (HandMadeAvi avi : {Rle8File(), Rle4File()}) {
    for (bool rec : {false, true}) {
      avi.recLists = rec;
      avi.audioFirst = rec;
      avi.index = !rec;
      std::filesystem::path file = folder / ("rle" + std::to_string(n++) + ".avi");
      WriteBytes(file, avi.Build());
      std::vector<RgbPicture> theirs = FfmpegFrames(file, "", "avi-rle-frames");
      std::vector<RgbPicture> mine = ReadAll(file, 2);
      ASSERT_EQ(theirs.size(), 2u) << file;
      ASSERT_EQ(mine.size(), 2u) << file;
      for (int f = 0; f < 2; ++f) EXPECT_TRUE(SamePicture(theirs[f], mine[f])) << file << " frame " << f;
    }
  }
}

TEST(Avi, DamagedFilesAreReportedAndNeverOverrun) {
  MessageLog log;
  std::filesystem::path folder = ScratchFolder("avi-damaged");
  auto open = [&](const Bytes& bytes, int frames) {
    WriteBytes(folder / "bad.avi", bytes);
    log.Clear();
    AviReader avi;
    int w, h, bits;
    if (!AviOpen(avi, folder / "bad.avi", nullptr, w, h, bits)) return -1;
    std::vector<std::uint8_t> frame(avi.stride * h);
    int read = 0;
    for (int f = 0; f < frames; ++f) read += AviNextFrame(avi, frame.data()) > 0;
    return read;
  };
  Recorded r = Record("avi-damaged-source", 20, 10, 8, 4, 4);
  Bytes good = FileBytes(r.file);
  // Cut in the third frame: the first two still play.
  EXPECT_EQ(open(Bytes(good.begin(), good.begin() + Find(good, "00db") + 2 * 208 + 50), 4), 4);
  EXPECT_EQ(open(Bytes(good.begin(), good.begin() + 40), 1), -1);
  EXPECT_TRUE(log.Has(kMsgTruncated));

  Bytes longList = good;  // "hdrl" said to reach past the end of the file
  longList[Find(good, "hdrl") - 4 + 3] = std::byte{0x7F};
  EXPECT_EQ(open(longList, 1), -1);
  EXPECT_TRUE(log.Has(kMsgTruncated));

  Bytes shortFormat = good;  // "strf" of 20 bytes
  shortFormat[Find(good, "strf") + 4] = std::byte{20};
  shortFormat[Find(good, "strf") + 5] = std::byte{0};
  EXPECT_EQ(open(shortFormat, 1), -1);

  Bytes compressed = good;  // compression 3: not read
  compressed[Find(good, "strf") + 8 + 16] = std::byte{3};
  EXPECT_EQ(open(compressed, 1), -1);
  EXPECT_TRUE(log.Has(kMsgAviCompression));

  Bytes hugeFrame = good;  // the first frame chunk said to be 2 GB
  hugeFrame[Find(good, "00db") + 7] = std::byte{0x7F};
  EXPECT_EQ(open(hugeFrame, 2), -1);

  HandMadeAvi lost = Rle8File();  // an index pointing nowhere is not needed
  Bytes lostIndex = lost.Build();
  for (std::size_t at = Find(lostIndex, "idx1") + 8; at + 4 <= lostIndex.size(); at += 4)
    lostIndex[at] = std::byte{0xEE};
  EXPECT_EQ(open(lostIndex, 2), 2);

  HandMadeAvi wild = Rle8File();  // runs, literals and deltas far outside the frame
  wild.frames = {{255, 7, 0, 2, 250, 250, 255, 8, 0, 255, 1, 2, 3}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 0, 1}};
  EXPECT_EQ(open(wild.Build(), 2), 2);
}

}  // namespace
}  // namespace tessaran
