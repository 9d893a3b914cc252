// ".ANM" animations: the RunSkipDump code both ways, the writer and reader
// against each other, FFmpeg and a real animation, and damaged files.
#include <gtest/gtest.h>

#include <random>

#include "imaging/anm.h"
#include "imaging/runskipdump.h"
#include "imaging/tests/animation_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kSlot = 20;

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& stream, std::size_t length,
                                 bool* ok = nullptr, std::uint8_t fill = 0) {
  std::vector<std::uint8_t> frame(length, fill);
  RunSkipDumpResult r = RunSkipDumpDecode(stream.data(), stream.size(), frame.data(), frame.size());
  if (ok) *ok = r.ok;
  return frame;
}

TEST(RunSkipDump, DecodesEveryCodeForm) {
  // A long run stores its word low byte first: 0x80, 0x05 0xC0, value.
  EXPECT_EQ(Decode({0x80, 0x05, 0xC0, 0x41, 0x80, 0, 0}, 5), std::vector<std::uint8_t>(5, 0x41));
  EXPECT_EQ(Decode({0x00, 0x05, 0x41, 0x80, 0, 0}, 5), std::vector<std::uint8_t>(5, 0x41));
  // Short skip, short dump, long skip, long dump, in that order.
  std::vector<std::uint8_t> stream = {0x82, 0x02, 7, 8, 0x80, 0x03, 0x00, 0x80, 0x02, 0x80, 9, 10, 0x80, 0, 0};
  EXPECT_EQ(Decode(stream, 10, nullptr, 0xEE),
            (std::vector<std::uint8_t>{0xEE, 0xEE, 7, 8, 0xEE, 0xEE, 0xEE, 9, 10, 0xEE}));
}

TEST(RunSkipDump, RefusesStreamsThatPassTheFrameOrLackTheEndCode) {
  bool ok = true;
  // Dump, run, long run and skip reaching past an 8-byte frame.
  for (std::vector<std::uint8_t> stream :
       std::vector<std::vector<std::uint8_t>>{{0x09, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x80, 0, 0},
                                              {0x00, 0x09, 0x55, 0x80, 0, 0},
                                              {0x80, 0xFF, 0xFF, 0x55, 0x80, 0, 0},
                                              {0x89, 0x80, 0, 0},
                                              {0x80, 0xFF, 0x7F, 0x80, 0, 0}}) {
    std::vector<std::uint8_t> frame(8 + 16, 0xAA);  // 16 guard bytes after the frame
    RunSkipDumpResult r = RunSkipDumpDecode(stream.data(), stream.size(), frame.data(), 8);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(std::count(frame.begin() + 8, frame.end(), 0xAA), 16);
  }
  Decode({0x02, 1, 2}, 8, &ok);
  EXPECT_FALSE(ok) << "a stream without its end code";
  Decode({0x05, 1, 2}, 8, &ok);
  EXPECT_FALSE(ok) << "a dump cut short";
}

// Frames with long runs, long unchanged stretches, noise and short
// patterns, each encoded against the one before and decoded back.
TEST(RunSkipDump, RoundTripsWithAndWithoutSkips) {
  const std::size_t width = 640, height = 480, length = width * height;
  std::mt19937 random(7);
  std::vector<std::uint8_t> previous(length, 0), frame(length);
  std::vector<std::uint8_t> out(4 * length);
  for (int round = 0; round < 6; ++round) {
    for (std::size_t i = 0; i < length; ++i) {
      std::size_t zone = (i / 20000 + round) % 5;
      if (zone == 0) frame[i] = previous[i];                        // long skip
      else if (zone == 1) frame[i] = std::uint8_t(round * 9);       // long run
      else if (zone == 2) frame[i] = std::uint8_t(random());        // noise
      else if (zone == 3) frame[i] = std::uint8_t(i % 7 < 2 ? 5 : i % 3);  // short patterns
      else frame[i] = i % 2 ? previous[i] : std::uint8_t(i);        // alternate changed bytes
    }
    bool skips = round > 0;
    std::size_t size = RunSkipDumpEncode(previous.data(), frame.data(), length, width, skips, out.data(), out.size());
    ASSERT_GT(size, 3u);
    EXPECT_TRUE(std::equal(out.begin() + size - 3, out.begin() + size, std::vector<std::uint8_t>{0x80, 0, 0}.begin()));
    std::vector<std::uint8_t> decoded = previous;
    RunSkipDumpResult r = RunSkipDumpDecode(out.data(), size, decoded.data(), length);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(decoded, frame) << "round " << round;
    previous = frame;
  }
  // An output limit too small for the stream fails the encoding.
  std::vector<std::uint8_t> zeros(length, 0);
  EXPECT_EQ(RunSkipDumpEncode(zeros.data(), frame.data(), length, width, true, out.data(), 100), 0u);
}

struct WrittenAnimation {
  std::filesystem::path file;
  std::vector<std::vector<std::uint8_t>> frames;  // pixels as in the virtual image
  std::vector<std::uint8_t> palette;
};

WrittenAnimation WriteAnimation(const std::string& name, int width, int height, int frames,
                                bool identical = false) {
  WrittenAnimation result;
  result.file = ScratchFolder(name) / "anim.anm";
  AnmWriter anm;
  DrawAnimationFrame(kSlot, width, height, 0);
  EXPECT_EQ(AnmOpen(anm, result.file, VimSlot(kSlot)), 1);
  for (int f = 0; f < frames; ++f) {
    DrawAnimationFrame(kSlot, width, height, identical ? 0 : f);
    result.frames.push_back(VimSlot(kSlot).pixels);
    EXPECT_EQ(AnmAddFrame(anm, VimSlot(kSlot).pixels.data()), 1);
  }
  EXPECT_EQ(AnmClose(anm), 1);
  result.palette = VimSlot(kSlot).palette;
  return result;
}

TEST(Anm, WrittenFramesPlayBackAndLoopPastTheFirst) {
  WrittenAnimation written = WriteAnimation("anm-roundtrip", 321, 47, 6);
  AnmReader reader;
  std::vector<std::uint8_t> palette(1024);
  int width = 0, height = 0, bits = 0;
  ASSERT_EQ(AnmOpenRead(reader, written.file, palette.data(), width, height, bits), 1);
  EXPECT_EQ(width, 321);
  EXPECT_EQ(height, 47);
  EXPECT_EQ(bits, 8);
  EXPECT_EQ(palette, written.palette);
  EXPECT_EQ(reader.header.records, 7u) << "six frames and the last delta";
  std::vector<std::uint8_t> frame(written.frames[0].size());
  std::size_t lineBytes = 321;  // the 3 padding bytes of each line are not the animation's
  auto same = [&](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    for (std::size_t y = 0; y < 47; ++y)
      if (!std::equal(a.begin() + y * 324, a.begin() + y * 324 + lineBytes, b.begin() + y * 324)) return false;
    return true;
  };
  for (int f = 0; f < 6; ++f) {
    ASSERT_EQ(lpfTab(reader, frame.data()), f);
    EXPECT_TRUE(same(frame, written.frames[f])) << "frame " << f;
  }
  EXPECT_EQ(lpfTab(reader, frame.data()), 6);  // the last delta: back to the first frame
  EXPECT_TRUE(same(frame, written.frames[0]));
  EXPECT_EQ(lpfTab(reader, frame.data()), 1);  // the loop goes on at record 1
  EXPECT_TRUE(same(frame, written.frames[1]));
  EXPECT_EQ(reader.loops, 1);
}

TEST(Anm, IdenticalFramesGiveEmptyDeltas) {
  WrittenAnimation written = WriteAnimation("anm-identical", 320, 200, 3, true);
  Bytes bytes = FileBytes(written.file);
  ByteReader page(ByteSpan(bytes).subspan(2816));
  EXPECT_EQ(page.U16LE(), 0);
  EXPECT_EQ(page.U16LE(), 4);  // records: three frames and the last delta
  page.Skip(4);
  page.U16LE();  // record 0: the whole first frame
  for (int r = 1; r < 4; ++r) EXPECT_EQ(page.U16LE(), 7) << "prefix and end code only, record " << r;
  ByteReader header(bytes);
  header.Seek(64);
  EXPECT_EQ(header.U32LE(), 4u);
  EXPECT_EQ(ByteAt(bytes, 29), 1);  // RunSkipDump
}

TEST(Anm, RecordsGoToTheNextPageOrAreSplitOverPages) {
  // 159 × 412 bytes that never repeat: record 0 is four long dumps, a
  // 65523-byte stream and a 65527-byte record, more than a page takes
  // (65524) but within the largest limit, so it is split.
  const int width = 159, height = 412;
  std::filesystem::path file = ScratchFolder("anm-split") / "split.anm";
  VimCreate(kSlot, width, height, 8);
  auto draw = [&](int shift) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) VimSlot(kSlot).Line(y)[x] = std::uint8_t((x + 2 * y + shift) % 250 + 1);
  };
  AnmWriter anm;
  ASSERT_EQ(AnmOpen(anm, file, VimSlot(kSlot)), 1);
  std::vector<std::vector<std::uint8_t>> frames;
  for (int f = 0; f < 3; ++f) {
    draw(f * 3);
    frames.push_back(VimSlot(kSlot).pixels);
    ASSERT_EQ(AnmAddFrame(anm, VimSlot(kSlot).pixels.data()), 1);
  }
  ASSERT_EQ(AnmClose(anm), 1);
  Bytes bytes = FileBytes(file);
  ByteReader first(ByteSpan(bytes).subspan(2816));
  EXPECT_EQ(first.U16LE(), 0);
  EXPECT_EQ(first.U16LE(), 1);
  first.U16LE();
  EXPECT_EQ(first.U16LE(), 1) << "the first page is continued";
  ByteReader second(ByteSpan(bytes).subspan(2816 + 65536));
  EXPECT_EQ(second.U16LE(), 1);  // the rest of the first frame is record 1
  ByteReader header(bytes);
  header.Seek(6);
  EXPECT_GE(header.U16LE(), 3) << "later frames, as large, need pages of their own";

  AnmReader reader;
  int w, h, bits;
  ASSERT_EQ(AnmOpenRead(reader, file, nullptr, w, h, bits), 1);
  std::vector<std::uint8_t> frame(frames[0].size());
  for (int round = 0; round < 2; ++round)
    for (int f = round; f < 3; ++f) {
      ASSERT_GE(lpfTab(reader, frame.data()), 0);
      EXPECT_EQ(frame, frames[f]) << "frame " << f << " round " << round;
      if (f == 2) {
        ASSERT_GE(lpfTab(reader, frame.data()), 0);  // last delta
        EXPECT_EQ(frame, frames[0]);
      }
    }
}

TEST(Anm, RealAnimationMatchesItsReference) {
  AnmReader reader;
  std::vector<std::uint8_t> palette(1024);
  int width, height, bits;
  ASSERT_EQ(AnmOpenRead(reader, TestData("anm/bomb.anm"), palette.data(), width, height, bits), 1);
  ASSERT_EQ(width, 320);
  ASSERT_EQ(height, 200);
  std::vector<std::string> reference = FrameHashes(TestData("anm/bomb.anm.frames.sha256"));
  ASSERT_EQ(reference.size(), 94u);
  // The reference decoder emits no frame for some records (those that
  // change nothing, among others): its frames are ours, in order, with
  // some left out.
  std::vector<std::uint8_t> frame(320 * 200);
  std::size_t matched = 0;
  std::uint32_t lastMatchedRecord = 0;
  std::string firstHash, lastHash;
  for (std::uint32_t r = 0; r < reader.header.records; ++r) {
    ASSERT_EQ(lpfTab(reader, frame.data()), int(r));
    RgbPicture picture = PaletteFrame(frame.data(), 320, 200, 320, palette.data());
    std::string hash = PictureSha256(picture);
    if (r == 0) firstHash = hash;
    lastHash = hash;
    if (matched < reference.size() && hash == reference[matched]) {
      if (matched < 2) {
        char name[64];
        std::snprintf(name, sizeof name, "anm/bomb.anm.f%03zu.ref.ppm", matched + 1);
        EXPECT_TRUE(SamePicture(picture, ReadPpmFile(TestData(name))));
      }
      ++matched;
      lastMatchedRecord = r;
    }
  }
  EXPECT_EQ(lastHash, firstHash) << "the last record loops back to the first frame";
  // From record 174 on the references differ: that record starts with a
  // long skip of exactly 0x4000 bytes, which the reference decoder takes as
  // no skip at all and so draws the record's changes at the top of the
  // picture, where they stay; skips of 0x3FFF and 0x4001 it takes whole.
  EXPECT_GE(matched, 79u);
  EXPECT_EQ(lastMatchedRecord, 173u);
}

TEST(Anm, FfmpegDecodesOurFramesExactly) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  WrittenAnimation written = WriteAnimation("anm-ffmpeg", 321, 47, 5);
  std::vector<RgbPicture> frames = FfmpegFrames(written.file, "anm", "anm-ffmpeg-frames");
  ASSERT_GE(frames.size(), 5u);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const auto& ours = written.frames[f < 5 ? f : 0];
    EXPECT_TRUE(SamePicture(frames[f], PaletteFrame(ours.data(), 321, 47, 324, written.palette.data())))
        << "frame " << f + 1;
  }
}

TEST(Anm, DamagedFilesAreReportedAndNeverOverrun) {
  WrittenAnimation written = WriteAnimation("anm-damaged", 64, 30, 4);
  Bytes good = FileBytes(written.file);
  std::filesystem::path bad = written.file.parent_path() / "bad.anm";
  MessageLog log;
  auto play = [&](const Bytes& bytes) {
    WriteBytes(bad, bytes);
    log.Clear();
    AnmReader reader;
    int w, h, bits;
    if (!AnmOpenRead(reader, bad, nullptr, w, h, bits)) return -2;
    std::vector<std::uint8_t> frame(64 * 30 + 4);
    int worst = 0;
    for (int i = 0; i < 10; ++i) worst = std::min(worst, lpfTab(reader, frame.data()));
    return worst;
  };
  EXPECT_EQ(play(Bytes(good.begin(), good.begin() + 100)), -2);
  EXPECT_TRUE(log.Has(kMsgAnmReadHeader));

  EXPECT_EQ(play(Bytes(good.begin(), good.begin() + 3000)), -1) << "pages cut off";
  EXPECT_FALSE(log.numbers.empty());

  Bytes farPage = good;  // the first page's descriptor moved to page 200
  std::copy(good.begin() + 1280, good.begin() + 1286, farPage.begin() + 1280 + 6 * 200);
  std::fill(farPage.begin() + 1280, farPage.begin() + 1286, std::byte{0});
  EXPECT_EQ(play(farPage), -1);
  EXPECT_TRUE(log.Has(kMsgAnmReadPageHeader));

  Bytes hugeRecord = good;  // record 0 said to be 65000 bytes
  hugeRecord[2816 + 8] = std::byte{0xE8};
  hugeRecord[2816 + 9] = std::byte{0xFD};
  EXPECT_EQ(play(hugeRecord), -1);
  EXPECT_TRUE(log.Has(kMsgAnmReadRecord));

  Bytes pastFrame = good;  // record 0 starts with a long skip past the frame
  std::size_t record0 = 2816 + 8 + 2 * 5 + 4;
  pastFrame[record0] = std::byte{0x80};
  pastFrame[record0 + 1] = std::byte{0xFF};
  pastFrame[record0 + 2] = std::byte{0x7F};
  EXPECT_EQ(play(pastFrame), -1);
  EXPECT_TRUE(log.Has(kMsgAnmReadRecord));

  Bytes badType = good;  // an unknown pixel type is read as 8 bits
  badType[28] = std::byte{77};
  EXPECT_EQ(play(badType), 0);
  EXPECT_TRUE(log.Has(kMsgAnmUnknown));
}

TEST(Anm, FailedRecordingLeavesNoFile) {
  std::filesystem::path folder = ScratchFolder("anm-failed");
  DrawAnimationFrame(kSlot, 32, 8, 0);
  {
    AnmWriter anm;
    ASSERT_EQ(AnmOpen(anm, folder / "never.anm", VimSlot(kSlot)), 1);
    AnmAddFrame(anm, VimSlot(kSlot).pixels.data());
  }  // never closed
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  AnmWriter nowhere;
  EXPECT_EQ(AnmOpen(nowhere, folder / "missing" / "x.anm", VimSlot(kSlot)), 0);
}

// Two recordings of one file at once (two renders of one scene into one
// folder): each has a temporary of its own, so the file is the one closed
// last, whole, never a mix. Closed without a frame, a recording replaces
// nothing.
TEST(Anm, RecordingsOfOneNameDoNotMixAndAnEmptyOneReplacesNothing) {
  std::filesystem::path folder = ScratchFolder("anm-two");
  std::filesystem::path alone = ScratchFolder("anm-alone") / "x.anm";
  auto frames = [&](AnmWriter& anm, const std::filesystem::path& file, int from) {
    for (int f = from; f < from + 3; ++f) {
      DrawAnimationFrame(kSlot, 32, 8, f);
      if (f == from) {
        ASSERT_EQ(AnmOpen(anm, file, VimSlot(kSlot)), 1);
      }
      ASSERT_EQ(AnmAddFrame(anm, VimSlot(kSlot).pixels.data()), 1);
    }
  };
  {
    AnmWriter solo;
    frames(solo, alone, 10);
    ASSERT_EQ(AnmClose(solo), 1);
  }
  AnmWriter first, second;
  frames(first, folder / "x.anm", 0);
  frames(second, folder / "x.anm", 10);
  EXPECT_EQ(AnmClose(first), 1);
  EXPECT_EQ(AnmClose(second), 1);
  EXPECT_EQ(FileBytes(folder / "x.anm"), FileBytes(alone));

  AnmWriter empty;
  ASSERT_EQ(AnmOpen(empty, folder / "x.anm", VimSlot(kSlot)), 1);
  EXPECT_EQ(AnmClose(empty), 0);
  EXPECT_EQ(FileBytes(folder / "x.anm"), FileBytes(alone));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
}  // namespace tessaran
