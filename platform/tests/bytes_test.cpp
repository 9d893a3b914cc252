#include "platform/bytes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <fstream>

namespace tessaran {
namespace {

TEST(Bytes, FieldsRoundTripInBothOrders) {
  Bytes out;
  ByteWriter w(out);
  w.U16BE(0x1234);
  w.U16LE(0x1234);
  w.U32BE(0xDEADBEEF);
  w.U32LE(0xDEADBEEF);
  w.Tag("CAT");
  ASSERT_EQ(out.size(), 16u);
  EXPECT_EQ(out[0], std::byte{0x12});
  EXPECT_EQ(out[2], std::byte{0x34});
  ByteReader r(out);
  EXPECT_EQ(r.U16BE(), 0x1234);
  EXPECT_EQ(r.U16LE(), 0x1234);
  EXPECT_EQ(r.I32BE(), static_cast<std::int32_t>(0xDEADBEEF));
  EXPECT_EQ(r.U32LE(), 0xDEADBEEFu);
  EXPECT_EQ(r.Tag(), "CAT ");
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.Remaining(), 0u);
}

TEST(Bytes, ReadingPastTheEndFailsAndStaysFailed) {
  Bytes three{std::byte{1}, std::byte{2}, std::byte{3}};
  ByteReader r(three);
  EXPECT_EQ(r.U16BE(), 0x0102);
  EXPECT_EQ(r.U32BE(), 0u);
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.U8(), 0);  // sticky: even the byte that is there is refused
  EXPECT_TRUE(ByteReader(three).Take(4).empty());
  ByteReader s(three);
  s.Seek(4);
  EXPECT_FALSE(s.Ok());
}

TEST(Bytes, AtomicWriteReplacesOrLeavesTheOldFile) {
  auto dir = std::filesystem::temp_directory_path() / ("tessaran-bytes-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  auto file = dir / "A.BIN";
  std::ofstream(file) << "old";
  ASSERT_TRUE(WriteFileAtomically(file, AsBytes("new contents")));
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(file, back));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.data()), back.size()), "new contents");

  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "B.BIN", AsBytes("x"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ReadWholeFile(dir / "none", back, &error));
  // A full disk, made by a file-size limit in a child process: the write
  // fails, the old file stays whole and no temporary is left.
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteFileAtomically(file, Bytes(1000)) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  ASSERT_TRUE(ReadWholeFile(file, back));
  EXPECT_EQ(back.size(), 12u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

TEST(Bytes, ReadingAWholeFileRefusesWhatIsNoPlainFile) {
  auto dir = std::filesystem::temp_directory_path() / ("tessaran-read-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  Bytes back{std::byte{7}};
  std::string error;
  EXPECT_FALSE(ReadWholeFile(dir, back, &error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  // A named pipe with no writer would block a plain open for ever.
  const auto pipe = dir / "PIPE.MAQ";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(pipe, back, &error));
  EXPECT_TRUE(ReadFileStart(pipe, 12).empty());
  EXPECT_FALSE(CanReadFile(pipe));
  EXPECT_FALSE(CanReadFile(dir));
  EXPECT_FALSE(ReadWholeFile(dir / "none", back, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  std::ofstream(dir / "EMPTY") << "";
  EXPECT_TRUE(ReadWholeFile(dir / "EMPTY", back));
  EXPECT_TRUE(back.empty());
  std::ofstream(dir / "SHORT") << "P6 1";
  EXPECT_EQ(ReadFileStart(dir / "SHORT", 12).size(), 4u);
  EXPECT_TRUE(CanReadFile(dir / "SHORT"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tessaran
