// The render project file: defaults, the chunk rules, carried fields, byte
// round trips and damaged files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/bytes.h"
#include "platform/report.h"
#include "renderer/app/render_project.h"
#include "storage/iff.h"

namespace tessaran {
namespace {

struct Collect : MessageReporter {
  std::vector<int> numbers;
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
};

// Tags of the chunks inside the form, in order.
std::vector<std::string> Tags(const Bytes& bytes) {
  std::vector<std::string> tags;
  IffScanner scanner(bytes);
  IffChunk chunk;
  while (scanner.Next(chunk)) tags.push_back(chunk.tag);
  return tags;
}

// A project that differs from the defaults everywhere it can.
RenderProject FullProject() {
  RenderProject p;
  p.SetSceneName("scenes/DEMO.MAQ");
  p.scene[100] = 'x';  // a byte after the NUL, as an old file may hold
  p.width = 640;
  p.height = 480;
  p.pixelRatio = 1000;
  p.sunV = -170;
  p.sunH = 45;
  p.skyColours = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0};
  p.carried192 = {9, 8, 7, 6};
  p.carried196 = {5, 4};
  p.carried198 = -3;
  p.carried232 = 0x12345678;
  p.mode = kRayTracing;
  p.output = 0xFF;
  p.sceneCount = 3;
  p.imageCounts = {4, 4, 7};
  p.resumeX = 12;
  p.resumeY = 34;
  p.backPlane = "BACK.LBM";
  p.frontPlane = "FRONT1.TGA";  // odd length with its NUL: padded
  p.sky.kind = 3;
  p.sky.on = 1;
  p.sky.rest[150] = 0xEE;
  p.ground.kind = 0;
  p.ground.scaleX = 250;
  SetMappingImage(p.ground, "GROUND.LBM");
  return p;
}

TEST(RenderProject, DefaultsWriteOnlyTheParameterBlock) {
  RenderProject p = FullProject();
  ResetProject(p);
  EXPECT_EQ(p, RenderProject{});
  EXPECT_EQ(p.SceneName(), "");

  const Bytes bytes = SerializeProject(p);
  ASSERT_EQ(bytes.size(), 12u + 8 + kProjectBlockSize);
  EXPECT_EQ(Tags(bytes), (std::vector<std::string>{"FORM", "RZPM"}));
  ByteReader in(bytes);
  in.Seek(20 + 152);
  EXPECT_EQ(in.I16LE(), 320);
  EXPECT_EQ(in.I16LE(), 200);
  EXPECT_EQ(in.I16LE(), 1200);
  in.Seek(20 + 200);
  EXPECT_EQ(in.I16LE(), 2);      // pixel mode
  EXPECT_EQ(in.U16LE(), 8);      // true colour
  EXPECT_EQ(in.U16LE(), 0x8C);   // 24-bit images, animation, image files
  EXPECT_EQ(in.I16LE(), 5);      // BMP
  in.Seek(20 + 226);
  EXPECT_EQ(in.I16LE(), 1);      // first image to compute
}

TEST(RenderProject, FileRoundTripsByteForByteWithCarriedFieldsKept) {
  const auto dir = std::filesystem::temp_directory_path() / ("tessaran-rpj-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const RenderProject p = FullProject();
  ASSERT_TRUE(WriteProject(p, dir / "A.RPJ"));

  RenderProject back;
  ASSERT_TRUE(ReadProject(back, dir / "A.RPJ"));
  EXPECT_EQ(back, p);
  ASSERT_TRUE(WriteProject(back, dir / "B.RPJ"));
  Bytes a, b;
  ASSERT_TRUE(ReadWholeFile(dir / "A.RPJ", a));
  ASSERT_TRUE(ReadWholeFile(dir / "B.RPJ", b));
  EXPECT_EQ(a, b);
  EXPECT_EQ(Tags(a), (std::vector<std::string>{"FORM", "RZPM", "IMPS", "FPAT", "FPAT", "EVMP", "EVMP"}));
  EXPECT_EQ(MappingImage(back.ground), "GROUND.LBM");

  // With a redirect directory the file goes there under its own name.
  std::filesystem::create_directories(dir / "r");
  ASSERT_TRUE(WriteProject(p, dir / "nowhere" / "C.RPJ", dir / "r"));
  EXPECT_TRUE(std::filesystem::exists(dir / "r" / "C.RPJ"));
  std::filesystem::remove_all(dir);
}

TEST(RenderProject, ChunksAreWrittenAndReadOnlyUnderTheirRules) {
  RenderProject p = FullProject();
  p.sceneCount = 1;
  p.imageCounts = {4};
  p.SetOutput(kOutBackPlane, false);  // its path stays in memory, not in the file
  p.frontPlane.clear();               // flag set, nothing to write
  p.sky.kind = -1;
  Bytes bytes = SerializeProject(p);
  EXPECT_EQ(Tags(bytes), (std::vector<std::string>{"FORM", "RZPM", "EVMP"}));

  RenderProject back;
  back.sky.on = 77;  // a slot the file does not hold keeps what it had
  ASSERT_TRUE(ParseProject(bytes, back));
  EXPECT_EQ(back.backPlane, "");
  EXPECT_EQ(back.imageCounts.size(), 1u);
  EXPECT_EQ(back.ground.scaleX, 250);
  EXPECT_EQ(back.sky.on, 77);

  // Without mapping records both slots read back at their defaults.
  RenderProject plain;
  plain.sceneCount = 2;
  plain.imageCounts = {10, 10};
  RenderProject fresh;
  ASSERT_TRUE(ParseProject(SerializeProject(plain), fresh));
  EXPECT_EQ(fresh.sky, DefaultSkyMapping());
  EXPECT_EQ(fresh.ground, DefaultGroundMapping());
  EXPECT_EQ(fresh.imageCounts, (std::vector<std::int32_t>{10, 10}));

  // A plane path in the file is read only when its flag is set in the block.
  RenderProject planes = FullProject();
  bytes = SerializeProject(planes);
  ByteWriter patch(bytes);
  patch.PatchU32LE(20 + 204, 0xFE);  // output word: bit 0 cleared (the next word follows)
  RenderProject noBack;
  ASSERT_TRUE(ParseProject(bytes, noBack));
  EXPECT_EQ(noBack.backPlane, "");
  EXPECT_EQ(noBack.frontPlane, "BACK.LBM");  // the next "FPAT" is taken as the front plane

  // A last image goes in a chunk of its own, at the end; a file without one
  // lets the project compute to the end, whatever it held before.
  RenderProject limited = FullProject();
  limited.lastImage = 7;
  bytes = SerializeProject(limited);
  EXPECT_EQ(Tags(bytes).back(), "LAST");
  RenderProject read;
  ASSERT_TRUE(ParseProject(bytes, read));
  EXPECT_EQ(read, limited);
  EXPECT_EQ(SerializeProject(read), bytes);
  ASSERT_TRUE(ParseProject(SerializeProject(FullProject()), read));
  EXPECT_EQ(read.lastImage, -1);

  // Full output names and a stop's resume record have chunks of their own,
  // written only when set, so every other project keeps its bytes.
  RenderProject named = limited;
  named.fullNames = true;
  named.resumeFrames = 3;
  named.madeForResume = true;
  bytes = SerializeProject(named);
  const std::vector<std::string> tags = Tags(bytes);
  EXPECT_EQ(std::vector<std::string>(tags.end() - 3, tags.end()), (std::vector<std::string>{"LAST", "NAMS", "RESM"}));
  ASSERT_TRUE(ParseProject(bytes, read));
  EXPECT_EQ(read, named);
  EXPECT_EQ(SerializeProject(read), bytes);
  ASSERT_TRUE(ParseProject(SerializeProject(limited), read));
  EXPECT_FALSE(read.fullNames || read.madeForResume);
  EXPECT_EQ(read.resumeFrames, -1);
  EXPECT_EQ(SerializeProject(read), SerializeProject(limited));
}

TEST(RenderProject, DamagedFilesAreRefusedAndChangeNothing) {
  Collect messages;
  InstallReporter(&messages);
  const RenderProject before = FullProject();

  // Another form type.
  Bytes other = SerializeProject(before);
  std::memcpy(other.data() + 8, "ILBM", 4);
  RenderProject p = before;
  EXPECT_FALSE(ParseProject(other, p));
  EXPECT_EQ(p, before);

  // A file that is not there, through the reader that reports.
  EXPECT_FALSE(ReadProject(p, "/nonexistent/NONE.RPJ"));
  ASSERT_FALSE(messages.numbers.empty());
  EXPECT_EQ(messages.numbers.front(), kMsgProjectInvalid);

  // An absurd scene count is no project.
  Bytes bytes = SerializeProject(before);
  ByteWriter(bytes).PatchU32LE(20 + 216, 0x7FFFFFFF);
  EXPECT_FALSE(ParseProject(bytes, p));
  ByteWriter(bytes).PatchU32LE(20 + 216, 0xFFFFFFFF);
  EXPECT_FALSE(ParseProject(bytes, p));
  EXPECT_EQ(p, before);

  // Every truncation either reads or is refused; never a crash.
  const Bytes whole = SerializeProject(before);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    RenderProject q = before;
    if (!ParseProject(ByteSpan(whole).first(n), q)) {
      EXPECT_EQ(q, before) << n;
    }
  }
  InstallReporter(nullptr);
}

TEST(RenderProject, MissingParameterBlockLeavesTheProjectAsItWas) {
  Bytes bytes;
  IffWriter iff(bytes);
  iff.BeginGroup("FORM", "KRPJ");
  iff.End();
  RenderProject p = FullProject();
  ASSERT_TRUE(ParseProject(bytes, p));
  EXPECT_EQ(p, FullProject());
}

}  // namespace
}  // namespace tessaran
