#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/byterun1.h"
#include "imaging/format_io.h"
#include "imaging/ilbm.h"
#include "imaging/picture.h"
#include "imaging/testing/picture_support.h"
#include "platform/console.h"
#include "platform/report.h"
#include "storage/iff.h"

namespace tessaran {
namespace {

using namespace testing_support;

class IlbmTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallReporter(&reporter);
    InstallProgress(&progress);
    folder = ScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override {
    for (int i = 0; i < kVirtImSlots; ++i) VimFree(i);
    InstallReporter(nullptr);
    InstallProgress(nullptr);
    ConsoleSetEnabled(false);
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path Write(const std::string& name, const Bytes& bytes) {
    std::filesystem::path path = folder / name;
    EXPECT_TRUE(WriteFileAtomically(path, bytes));
    return path;
  }
  RecordingReporter reporter;
  RecordingProgress progress;
  std::filesystem::path folder;
};

// An ILBM (or PBM) built from pixel values: `value(x, y)` gives the plane
// bits of each pixel (or the byte of a chunky picture).
struct Sample {
  std::uint16_t width = 4, height = 2;
  int planes = 1;
  int masking = 0;
  int compression = 1;
  std::string type = "ILBM";
  std::vector<std::uint32_t> cmap;
  std::optional<std::uint32_t> camg;
  std::function<std::uint32_t(std::uint32_t, std::uint32_t)> value = [](auto x, auto y) {
    return (x + y) & 1;
  };
  std::optional<Bytes> rawBody;  // a BODY given as it stands

  Bytes Build() const {
    Bytes out;
    IffWriter iff(out);
    iff.BeginGroup("FORM", type);
    iff.BeginChunk("BMHD");
    ByteWriter& w = iff.Data();
    w.U16BE(width), w.U16BE(height), w.U32BE(0), w.U8(std::uint8_t(planes));
    w.U8(std::uint8_t(masking)), w.U8(std::uint8_t(compression)), w.U8(0), w.U16BE(0);
    w.U8(10), w.U8(11), w.U16BE(width), w.U16BE(height);
    iff.End();
    if (!cmap.empty()) {
      iff.BeginChunk("CMAP");
      for (std::uint32_t c : cmap) w.U8(std::uint8_t(c >> 16)), w.U8(std::uint8_t(c >> 8)), w.U8(std::uint8_t(c));
      iff.End();
    }
    if (camg) {
      iff.BeginChunk("CAMG");
      w.U32BE(*camg);
      iff.End();
    }
    Bytes body;
    if (rawBody) {
      iff.Chunk("BODY", *rawBody);
      iff.End();
      return out;
    }
    bool chunky = type == "PBM ";
    std::size_t rowBytes = chunky ? (width + 1) / 2 * 2 : (width + 15) / 16 * 2;
    int rows = chunky ? 1 : planes + (masking == 1 ? 1 : 0);
    for (std::uint32_t y = 0; y < height; ++y)
      for (int p = 0; p < rows; ++p) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (std::uint32_t x = 0; x < width; ++x) {
          if (chunky) row[x] = std::uint8_t(value(x, y));
          else if (p == planes) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));  // mask: all set
          else if (value(x, y) >> p & 1) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
        if (compression == 1) ByteRun1Pack(row.data(), row.size(), body);
        else for (auto b : row) body.push_back(std::byte(b));
      }
    iff.Chunk("BODY", body);
    iff.End();
    return out;
  }
};

TEST_F(IlbmTest, EverySampleFileMatchesItsReference) {
  struct Case {
    const char* name;
    int tolerance;  // HAM and half-bright pictures: one 4-bit step
  };
  const Case cases[] = {
      {"gen_deep24_17x9_u.iff", 0},  {"gen_deep24_70x46_c.iff", 0},
      {"gen_ham6_321x30_c.iff", 17}, {"gen_ham6_nocamg_321x30_c.iff", 17},
      {"gen_p1_321x24_u.iff", 0},    {"gen_p2_17x9_c.iff", 0},
      {"gen_p4_3x7_u.iff", 0},       {"gen_p5_64x40_c.iff", 0},
      {"gen_p6_40x30_u.iff", 0},     {"gen_p8_64x40_u.iff", 0},
      {"real_amiga4ever_274x28.iff", 0}, {"real_clipper_ehb.iff", 17},
      {"real_redball_35x35.iff", 0}, {"real_room_ham6.iff", 17},
      {"real_rt32_p5_u.iff", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::path path = TestData(std::string("ilbm/") + c.name);
    PictureHeader header;
    ASSERT_EQ(LoadPicture(path, 1, kOpaqueLoad, &header, 0), 1);
    RgbPicture reference = ReadPpmFile(path.string() + ".ref.ppm");
    RgbPicture decoded = FromSlot(1);
    ASSERT_EQ(decoded.width, reference.width);
    ASSERT_EQ(decoded.height, reference.height);
    EXPECT_EQ(header.width, reference.width);
    int worst = 0, differing = 0;
    for (std::uint32_t y = 0; y < decoded.height; ++y)
      for (std::uint32_t x = 0; x < decoded.width; ++x) {
        int d = ChannelDistance(decoded.At(x, y), reference.At(x, y));
        worst = std::max(worst, d);
        differing += d > c.tolerance;
      }
    EXPECT_EQ(differing, 0) << "worst channel difference " << worst;
  }
  EXPECT_TRUE(reporter.numbers.empty());
}

TEST_F(IlbmTest, SixPlanesFollowTheDisplayModeAndThePaletteSize) {
  Sample s;
  s.width = 3, s.height = 1, s.planes = 6;
  s.value = [](auto x, auto) { return std::array<std::uint32_t, 3>{0x01, 0x2F, 0x21}[x]; };
  for (int i = 0; i < 16; ++i) s.cmap.push_back(i == 1 ? 0xF0A050 : 0);
  // No CAMG, 16 colours: HAM. 0x2F replaces red by 15, 0x21 then green... (red = 1).
  ASSERT_EQ(ReadIlbm(Write("ham.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimSlot(1).bytesPerPixel, 3);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0xFFAA55);
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0xFFAA55);  // red replaced by 15
  EXPECT_EQ(VimGetPixel(1, 0, 2), 0x11AA55);  // red replaced by 1

  // 64 colours without CAMG: a palette picture.
  s.cmap.assign(64, 0x102030);
  s.cmap[0x2F] = 0xABCDEF;
  ASSERT_EQ(ReadIlbm(Write("p64.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimSlot(1).bytesPerPixel, 1);
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0xABCDEF);

  // CAMG with the HAM bit wins over the palette size; 0x80 is half-bright.
  s.camg = 0x800;
  ASSERT_EQ(ReadIlbm(Write("ham2.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimSlot(1).bytesPerPixel, 3);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0x112233);
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0xFF2233);
  s.camg = 0x80;
  s.cmap.assign(32, 0);
  s.cmap[1] = 0xF0A050;
  ASSERT_EQ(ReadIlbm(Write("ehb.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0xFFAA55);
  EXPECT_EQ(VimGetPixel(1, 0, 2), 0x775522);  // entry 1 with each 4-bit channel halved

  // A CAMG without either bit (AGA) keeps the 64-colour palette.
  s.camg = 0x4;
  s.cmap.assign(64, 0);
  s.cmap[0x21] = 0x123456;
  ASSERT_EQ(ReadIlbm(Write("aga.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimGetPixel(1, 0, 2), 0x123456);
}

TEST_F(IlbmTest, HamEightModifiesTheTopSixBitsOfAChannel) {
  Sample s;
  s.width = 4, s.height = 1, s.planes = 8;
  s.cmap.assign(64, 0);
  s.cmap[5] = 0x102033;
  // index 5; blue ← 0x3F; red ← 0x01; green ← 0x20
  s.value = [](auto x, auto) { return std::array<std::uint32_t, 4>{5, 0x40 | 0x3F, 0x80 | 1, 0xC0 | 0x20}[x]; };
  s.camg = 0x800;
  ASSERT_EQ(ReadIlbm(Write("ham8.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0x102033);
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0x1020FF);  // 0x3F << 2 | (0x33 & 3)
  EXPECT_EQ(VimGetPixel(1, 0, 2), 0x0420FF);
  EXPECT_EQ(VimGetPixel(1, 0, 3), 0x0480FF);
  // Without the HAM bit eight planes are a palette picture.
  s.camg.reset();
  ASSERT_EQ(ReadIlbm(Write("p8.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimSlot(1).bytesPerPixel, 1);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0x102033);
}

TEST_F(IlbmTest, ChunkyPbmMaskRowsAndUncompressedBodies) {
  Sample s;
  s.type = "PBM ";
  s.width = 5, s.height = 3, s.planes = 8;
  s.value = [](auto x, auto y) { return x * 10 + y; };
  for (int i = 0; i < 256; ++i) s.cmap.push_back(std::uint32_t(i) * 0x010101);
  for (int compression : {0, 1}) {
    s.compression = compression;
    ASSERT_EQ(ReadIlbm(Write("chunky.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
    EXPECT_EQ(VimGetPixel(1, 2, 4), 42 * 0x010101);
    EXPECT_EQ(VimGetPixel(1, 0, 1), 10 * 0x010101);
  }
  Sample m;
  m.width = 3, m.height = 2, m.planes = 2, m.masking = 1, m.compression = 0;
  m.cmap = {0, 0x111111, 0x222222, 0x333333};
  m.value = [](auto x, auto y) { return (x + y) % 4; };
  ASSERT_EQ(ReadIlbm(Write("mask.lbm", m.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimGetPixel(1, 1, 2), 0x333333);
  EXPECT_EQ(VimGetPixel(1, 1, 0), 0x111111);
}

TEST_F(IlbmTest, PaletteRulesAndTheirConsoleLines) {
  ConsoleSetEnabled(true);
  Sample s;
  s.planes = 4;
  s.value = [](auto x, auto) { return x == 0 ? 3u : 15u; };
  for (int i = 0; i < 32; ++i) s.cmap.push_back(0x010101u * std::uint32_t(i));
  testing::internal::CaptureStderr();
  ASSERT_EQ(ReadIlbm(Write("p4.lbm", s.Build()), 1, kOpaqueLoad, nullptr), 1);
  std::string console = testing::internal::GetCapturedStderr();
  EXPECT_NE(console.find("Attention chunk CMAP et BMHD incompatibles\nCoupure palette\n"),
            std::string::npos);
  EXPECT_EQ(VimSlot(1).PaletteColour(16), 0u);  // cut to 16 entries
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0x0F0F0F);

  s.planes = 8;
  s.cmap.assign(300, 0x808080);
  testing::internal::CaptureStderr();
  PictureHeader header;
  ASSERT_EQ(ReadIlbm(Write("big.lbm", s.Build()), 1, kOpaqueLoad, &header), 1);
  console = testing::internal::GetCapturedStderr();
  EXPECT_NE(console.find("Attention chunk CMAP non standard ncol= 300 ???\n"), std::string::npos);
  EXPECT_EQ(header.paletteSize, 256);
}

TEST_F(IlbmTest, BadFilesAreRefusedWithAMessageAndNeverOverrun) {
  auto refused = [&](const Sample& s, const char* name) {
    reporter.numbers.clear();
    EXPECT_EQ(ReadIlbm(Write(name, s.Build()), 1, kOpaqueLoad, nullptr), 0) << name;
    ASSERT_FALSE(reporter.numbers.empty()) << name;
    EXPECT_EQ(reporter.numbers.back(), kMsgOpenError) << name;
  };
  Sample zero;
  zero.width = 0;
  refused(zero, "zero.lbm");
  Sample planes;
  planes.planes = 12;
  refused(planes, "planes.lbm");
  Sample packing;
  packing.compression = 2;
  refused(packing, "packing.lbm");
  // A picture far larger than its BODY could ever describe.
  Sample huge;
  huge.width = 65535, huge.height = 65535, huge.planes = 24;
  huge.rawBody = Bytes(4000, std::byte{0x81});
  reporter.numbers.clear();
  EXPECT_EQ(ReadIlbm(Write("huge.lbm", huge.Build()), 1, kOpaqueLoad, nullptr), 0);
  EXPECT_EQ(reporter.numbers, std::vector<int>{kMsgTruncated});
  EXPECT_TRUE(VimSlot(1).Empty());
  EXPECT_EQ(ReadIlbm(folder / "missing.lbm", 1, kOpaqueLoad, nullptr), 0);
  EXPECT_EQ(reporter.numbers.back(), kMsgOpenError);

  // Runs that overrun their row, a BODY cut short, and a whole file cut in
  // the middle of the BODY: what was decoded stays, the rest is black.
  Sample cut;
  cut.width = 40, cut.height = 20, cut.planes = 8;
  cut.value = [](auto x, auto y) { return (x * 7 + y) % 255 + 1; };
  cut.cmap.assign(256, 0xFFFFFF);
  cut.cmap[0] = 0;
  Bytes bytes = cut.Build();
  bytes.resize(bytes.size() - 300);
  reporter.numbers.clear();
  ASSERT_EQ(ReadIlbm(Write("cut.lbm", bytes), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(reporter.numbers, std::vector<int>{kMsgTruncated});
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0xFFFFFF);
  EXPECT_EQ(VimGetPixel(1, 19, 39), 0);
  // Rows of 2 bytes: a replicate of 17 and a literal of 4 pass their row.
  Sample runs;
  runs.cmap = {0, 0xFFFFFF};
  runs.rawBody = Bytes{std::byte(0xF0), std::byte(0xFF), std::byte(3), std::byte(0x40),
                    std::byte(0xF0), std::byte(0xAA), std::byte(0x55)};
  ASSERT_EQ(ReadIlbm(Write("runs.lbm", runs.Build()), 1, kOpaqueLoad, nullptr), 1);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0xFFFFFF);
  EXPECT_EQ(VimGetPixel(1, 1, 0), 0);
  EXPECT_EQ(VimGetPixel(1, 1, 1), 0xFFFFFF);
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

using namespace testing_support;

class IlbmWriterTest : public IlbmTest {};

void FillPalettePicture(int slot, std::uint32_t width, std::uint32_t height, int depth) {
  ASSERT_EQ(VimCreate(slot, int(width), int(height), depth), 1);
  int colours = depth == -4 ? 16 : 256;
  for (int i = 0; i < colours; ++i)
    VimSlot(slot).SetPaletteColour(i, std::uint32_t(i * 37 % 256) << 16 | std::uint32_t(i * 11 % 256) << 8 | std::uint32_t(255 - i));
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      VimPutPixel(slot, (x / 3 + y * 5) % std::uint32_t(colours), y, x, 0);
}

void FillTrueColourPicture(int slot, std::uint32_t width, std::uint32_t height) {
  ASSERT_EQ(VimCreate(slot, int(width), int(height), 24), 1);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      VimPutPixel(slot, (x * 3 % 256) << 16 | (y * 7 % 256) << 8 | ((x / 9 + y) % 256), y, x, 0);
}

void ExpectSamePixels(const RgbPicture& a, const RgbPicture& b) {
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  std::size_t differing = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) differing += a.rgb[i] != b.rgb[i];
  EXPECT_EQ(differing, 0u);
}

// The y aspect byte of the BMHD, which follows "FORM", size, "ILBM", "BMHD", size.
int YAspect(const std::filesystem::path& file) {
  Bytes bytes;
  ReadWholeFile(file, bytes);
  return bytes.size() > 20 + 15 ? int(bytes[20 + 15]) : -1;
}

TEST_F(IlbmWriterTest, OtherToolsDecodeWhatIsWritten) {
  if (!HaveTool("ilbmtoppm")) GTEST_SKIP() << "netpbm is not installed (scripts/deps.sh)";
  FillPalettePicture(1, 37, 11, 8);
  FillPalettePicture(2, 21, 5, -4);
  FillTrueColourPicture(3, 45, 13);
  ASSERT_EQ(WriteLbm(folder / "p8.LBM", -1, VimSlot(1)), 0);
  ASSERT_EQ(WriteLbm(folder / "p4", -2, VimSlot(2)), 0);
  ASSERT_EQ(WriteI24(folder / "deep.MAQ", 7, 45, 13, 3), 0);
  const std::pair<const char*, int> outputs[] = {{"p8.LBM", 1}, {"p4.LBM", 2}, {"deep0007.I24", 3}};
  for (auto [name, slot] : outputs) {
    SCOPED_TRACE(name);
    std::filesystem::path file = folder / name;
    std::filesystem::path ppm = folder / (std::string(name) + ".ppm");
    ASSERT_TRUE(RunTool("ilbmtoppm '" + file.string() + "' > '" + ppm.string() + "' 2>/dev/null"));
    ExpectSamePixels(ReadPpmFile(ppm), FromSlot(slot));
  }
  EXPECT_EQ(YAspect(folder / "p8.LBM"), 12);
  EXPECT_EQ(YAspect(folder / "deep0007.I24"), 11);
  EXPECT_EQ(progress.opened.front(), MessageText(235) + "|[" + (folder / "p8.LBM").string() + "]");
}

TEST_F(IlbmWriterTest, WidePicturesRoundTripThroughI24AndLbm) {
  FillTrueColourPicture(3, 4100, 3);
  ASSERT_EQ(WriteI24(folder / "wide.I24", -1, 4100, 3, 3), 0);
  ASSERT_EQ(LoadPicture(folder / "wide.I24", 4, kOpaqueLoad, nullptr, 0), 1);
  ExpectSamePixels(FromSlot(4), FromSlot(3));
  FillPalettePicture(1, 65535, 2, 8);
  ASSERT_EQ(WriteLbm(folder / "wide.LBM", -1, VimSlot(1)), 0);
  ASSERT_EQ(LoadPicture(folder / "wide.LBM", 5, kOpaqueLoad, nullptr, 0), 1);
  ExpectSamePixels(FromSlot(5), FromSlot(1));
}

TEST_F(IlbmWriterTest, FailuresLeaveNoFileAndReportMessage208) {
  FillTrueColourPicture(3, 8, 2);
  ASSERT_EQ(WriteI24(folder / "missing-folder/x.I24", -1, 8, 2, 3), 1);
  EXPECT_EQ(reporter.numbers.back(), kMsgOpenError);
  EXPECT_EQ(WriteLbm(folder / "x.LBM", -1, VimSlot(3)), 1);  // not a palette picture
  EXPECT_EQ(WriteI24(folder / "y.I24", -1, 8, 2, 9), 1);     // empty slot
  EXPECT_FALSE(std::filesystem::exists(folder / "x.LBM"));
  EXPECT_FALSE(std::filesystem::exists(folder / "y.I24"));
}

}  // namespace
}  // namespace tessaran
