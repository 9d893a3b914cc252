// rz --batch in the wireframe, polygon and pixel modes on the bundled demo:
// each writes its image at the project's size, whatever the antialias
// level, with what each mode puts behind the objects.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/bytes.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

struct Pixels {
  int width = 0;
  int height = 0;
  int black = 0;
  int lit = 0;
};

// An uncompressed 24-bit Targa file's size and its black and lit pixels.
Pixels ReadTarga(const fs::path& file) {
  Pixels p;
  Bytes bytes;
  if (!ReadWholeFile(file, bytes) || bytes.size() < 18) return p;
  auto byte = [&](std::size_t i) { return std::to_integer<int>(bytes[i]); };
  p.width = byte(12) | byte(13) << 8;
  p.height = byte(14) | byte(15) << 8;
  const std::size_t start = 18 + byte(0);
  for (std::size_t i = start; i + 2 < bytes.size(); i += 3) {
    (byte(i) | byte(i + 1) | byte(i + 2)) ? ++p.lit : ++p.black;
  }
  return p;
}

class RzModes : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-rzmodes-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Renders the first image of the demo; its status.
  int Rz(const std::string& mode, const std::string& out, const std::string& more = "") {
    const std::string command = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' '" + RZ_PROGRAM +
                                "' --batch --mode " + mode + " --size 40x30 --last 0 --format24 TGA --out '" +
                                (dir_ / out).string() + "' " + more + " >/dev/null 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path dir_;
};

TEST_F(RzModes, EachModeWritesTheDemoAtTheProjectSize) {
  ASSERT_EQ(Rz("wireframe", "w"), 0);
  ASSERT_EQ(Rz("polygon", "p"), 0);
  const Pixels wire = ReadTarga(dir_ / "w" / "DEMO0000.TGA");
  const Pixels poly = ReadTarga(dir_ / "p" / "DEMO0000.TGA");
  for (const Pixels& p : {wire, poly}) {
    EXPECT_EQ(p.width, 40);
    EXPECT_EQ(p.height, 30);
    EXPECT_GT(p.lit, 0);
  }
  // Lines and polygons on black: the black background shows around them.
  EXPECT_GT(wire.black, wire.lit);
  EXPECT_GT(poly.black, 40 * 30 / 4);
}

TEST_F(RzModes, PixelModeFillsTheImageAtEveryAntialiasLevel) {
  for (const char* level : {"0", "1", "2", "3"}) {
    const std::string out = std::string("x") + level;
    ASSERT_EQ(Rz("pixel", out, std::string("--aa ") + level), 0) << level;
    const Pixels p = ReadTarga(dir_ / out / "DEMO0000.TGA");
    EXPECT_EQ(p.width, 40) << level;
    EXPECT_EQ(p.height, 30) << level;
    // Sky, ground and objects: nothing left black.
    EXPECT_EQ(p.black, 0) << level;
  }
}

}  // namespace
}  // namespace tessaran
