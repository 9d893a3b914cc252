#include "link/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tessaran::link {
namespace {

namespace fs = std::filesystem;

class RuntimeFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("tessaran-folder-test-" + std::to_string(getpid()));
    fs::remove_all(base_);
    fs::create_directories(base_);
    setenv("XDG_RUNTIME_DIR", base_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(base_); }
  fs::path base_;
};

TEST_F(RuntimeFolderTest, MadePrivateUnderTheRuntimeDirectory) {
  std::string problem;
  const std::string folder = RuntimeFolder(&problem);
  ASSERT_EQ(folder, (base_ / "tessaran").string()) << problem;
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A second program finds it as it is.
  EXPECT_EQ(RuntimeFolder(&problem), folder);
}

TEST_F(RuntimeFolderTest, WithoutRuntimeDirectoryTheUsersFolderInTmp) {
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(RuntimeFolderPath(), "/tmp/tessaran-" + std::to_string(getuid()));
  setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(RuntimeFolderPath(), "/tmp/tessaran-" + std::to_string(getuid()));
}

TEST_F(RuntimeFolderTest, OpenFolderLinkOrOtherOwnerIsRefusedWithTheReason) {
  const fs::path folder = base_ / "tessaran";
  fs::create_directory(folder);
  chmod(folder.c_str(), 0755);
  std::string problem;
  EXPECT_EQ(RuntimeFolder(&problem), "");
  EXPECT_NE(problem.find("mode is 0755, not 0700"), std::string::npos) << problem;

  chmod(folder.c_str(), 0700);
  EXPECT_FALSE(CheckRuntimeFolder(folder.string(), getuid() + 1, &problem));
  EXPECT_NE(problem.find("belongs to user"), std::string::npos) << problem;
  if (getuid() == 0) {
    // As root the folder can really be given to someone else.
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_EQ(RuntimeFolder(&problem), "");
    EXPECT_NE(problem.find("belongs to user 65534"), std::string::npos) << problem;
  }

  fs::remove_all(folder);
  fs::create_directory(base_ / "elsewhere");
  chmod((base_ / "elsewhere").c_str(), 0700);
  fs::create_directory_symlink(base_ / "elsewhere", folder);
  EXPECT_EQ(RuntimeFolder(&problem), "");
  EXPECT_NE(problem.find("not a folder"), std::string::npos) << problem;
}

}  // namespace
}  // namespace tessaran::link
