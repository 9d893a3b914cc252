#include "storage/virtab.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/report.h"
#include "platform/sysinfo.h"

namespace tessaran {
namespace {

std::uint64_t memoryFigure = 0;
std::uint64_t diskFigure = 0;
std::uint64_t FakeMemory() { return memoryFigure; }
std::uint64_t FakeDisk(const std::filesystem::path&) { return diskFigure; }

struct Recorder : MessageReporter {
  std::vector<std::pair<int, std::string>> shown;
  void Report(MessageKind, int number, std::string_view text) override { shown.emplace_back(number, text); }
  int Count(int number) const {
    return static_cast<int>(std::count_if(shown.begin(), shown.end(), [&](auto& m) { return m.first == number; }));
  }
};

class VirTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TemporaryDirectory() / ("virtab-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    SetVirTabDirectory(dir_);
    memoryFigure = diskFigure = 1ull << 30;
    SetVirTabLimitsForTesting({FakeMemory, FakeDisk});
    ConsoleSetEnabled(false);
    InstallReporter(&messages_);
  }
  void TearDown() override {
    InstallReporter(nullptr);
    SetVirTabLimitsForTesting({});
    SetVirTabModelerMessages(true);
    SetVirTabDiskFullMessage(43);
    SetVirTabDirectory({});
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path FileOf(int number) const {
    char name[32];
    std::snprintf(name, sizeof name, "VirTa%03d.tmp", number);
    return dir_ / name;
  }
  std::filesystem::path dir_;
  Recorder messages_;
};

TEST_F(VirTabTest, BufferCountAndSizeFollowMemoryAndTableSize) {
  VirTab disk = InitVirTab(4, 1000, 0, 240, 4);
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->support, SUP_DISK);
  EXPECT_EQ(disk->Nbuf, 1);
  EXPECT_EQ(disk->BufSize, 1);
  VirTab memory = InitVirTab(4, 1000, 0, 240, 0);
  EXPECT_EQ(memory->support, SUP_MEMORY);
  EXPECT_EQ(memory->BufSize, 1000);

  VirTab halves = InitVirTab(4, 300, 2, 240, 4);
  EXPECT_EQ(halves->BufSize, 150);
  EXPECT_EQ(halves->VOffs[1], 150);

  memoryFigure = 1000;  // below 100 elements of 12 bytes: one element window, on disk
  VirTab tiny = InitVirTab(12, 500, 2, 240, 0);
  EXPECT_EQ(tiny->support, SUP_DISK);
  EXPECT_EQ(tiny->Nbuf, 1);
  EXPECT_EQ(tiny->BufSize, 1);
  memoryFigure = 2000;  // a quarter per buffer cannot hold 240 elements
  EXPECT_EQ(InitVirTab(4, 1000, 2, 240, 0)->BufSize, 10);
  EXPECT_FALSE(InitVirTab(4, 1000, 2, 240, 2));  // does not fit, memory only
  VirTab single = InitVirTab(4, 1, 2, 240, 4);   // too short for two windows
  EXPECT_EQ(single->Nbuf, 1);
  EXPECT_EQ(single->BufSize, 1);
}

TEST_F(VirTabTest, WindowPlacement) {
  VirTab one = InitVirTab(4, 1000, 1, 240, 4);
  ASSERT_NE(VGet(one.get(), 999), nullptr);
  EXPECT_EQ(one->VOffs[0], 760);
  VGet(one.get(), 400);  // backward, ending at the index
  EXPECT_EQ(one->VOffs[0], 161);
  VGet(one.get(), 100);
  EXPECT_EQ(one->VOffs[0], 0);

  VirTab two = InitVirTab(4, 1000, 2, 240, 4);
  EXPECT_EQ(VSetDBuf(two.get(), 900, 100), 1);
  EXPECT_EQ(two->VOffs[0], 100);
  EXPECT_EQ(two->VOffs[1], 760);
  EXPECT_EQ(VSetDBuf(two.get(), 700, 900), 1);  // side by side, inside the table
  EXPECT_EQ(two->VOffs[0], 520);
  EXPECT_EQ(two->VOffs[1], 760);
  EXPECT_EQ(VSetDBuf(two.get(), 0, 1000), 0);
  EXPECT_EQ(VSetDBuf(InitVirTab(4, 1000, 2, 240, 0).get(), 0, 500), 0);

  VirTab near = InitVirTab(4, 1000, 2, 100, 4);
  VSetDBuf(near.get(), 200, 400);
  VGet(near.get(), 350);  // backward would start inside [200,300): forward instead
  EXPECT_EQ(near->VOffs[1], 350);
  VSetDBuf(near.get(), 200, 600);
  VGet(near.get(), 550);
  EXPECT_EQ(near->VOffs[1], 451);
  VGet(near.get(), 999);
  EXPECT_EQ(near->VOffs[1], 900);
}

struct Point {
  float x, y, z;
};

TEST_F(VirTabTest, DiskTablesKeepEveryWriteAcrossWindowMoves) {
  for (int buffers : {1, 2}) {
    const int count = 10000;
    VirTab t = InitVirTab(sizeof(Point), count, buffers, 7, 4);
    ASSERT_TRUE(t);
    std::vector<Point> model(count, Point{0, 0, 0});
    for (int i = 0; i < count; ++i) {
      model[i] = {float(i), float(-i), 0.5f};
      ASSERT_EQ(VPut(&model[i], t.get(), i), 1);
    }
    // Random whole-element and typed writes among reads, then a reverse walk.
    // A typed write changes the first four bytes of the element only.
    std::mt19937 random(buffers);
    for (int k = 0; k < 20000; ++k) {
      const int n = static_cast<int>(random() % count);
      if (k % 3 == 0) {
        model[n].z = float(k);
        ASSERT_EQ(VPut(&model[n], t.get(), n), 1);
      } else if (k % 3 == 1) {
        model[n].x = float(k);
        ASSERT_EQ(VPutFloat(t.get(), n, float(k)), 1);
      }
      const Point* p = static_cast<const Point*>(VGet(t.get(), n));
      ASSERT_TRUE(p);
      ASSERT_EQ(p->x, model[n].x);
      ASSERT_EQ(p->z, model[n].z) << "element " << n;
    }
    for (int n = count - 1; n >= 0; --n) {
      ASSERT_EQ(VGetFloat(t.get(), n), model[n].x);
      const Point* p = static_cast<const Point*>(VGet(t.get(), n));
      ASSERT_EQ(p->y, model[n].y) << "element " << n;
      ASSERT_EQ(p->z, model[n].z) << "element " << n;
    }
  }
  // Disk access is shown once per table and kind of access.
  EXPECT_EQ(messages_.Count(48), 2);
  EXPECT_EQ(messages_.Count(49), 2);
}

TEST_F(VirTabTest, ReInitKeepsContentsAcrossSupports) {
  VirTab t = InitVirTab(4, 500, 2, 50, 0);
  VTH* holder = t.get();
  for (int i = 0; i < 500; ++i) VPutInt(t.get(), i, i + 1);

  ASSERT_EQ(ReInitVirTab(t.get(), 800, 2, 50, 4), 1);  // memory to disk
  EXPECT_EQ(t.get(), holder);
  EXPECT_EQ(t->support, SUP_DISK);
  EXPECT_EQ(messages_.Count(44), 1);
  EXPECT_EQ(messages_.Count(47), 1);
  const std::filesystem::path file = t->filePath;
  EXPECT_EQ(std::filesystem::file_size(file), 800u * 4);
  EXPECT_EQ(VGetInt(t.get(), 499), 500);
  EXPECT_EQ(VGetInt(t.get(), 500), 0);
  VPutInt(t.get(), 799, 7);

  ASSERT_EQ(ReInitVirTab(t.get(), 600, 2, 50, 4), 1);  // shrink, then grow: zeros again
  ASSERT_EQ(ReInitVirTab(t.get(), 1200, 2, 50, 4), 1);
  EXPECT_EQ(t->filePath, file);
  EXPECT_EQ(std::filesystem::file_size(file), 1200u * 4);
  EXPECT_EQ(VGetInt(t.get(), 799), 0);
  EXPECT_EQ(VGetInt(t.get(), 1), 2);
  VPutInt(t.get(), 300, -3);

  ASSERT_EQ(ReInitVirTab(t.get(), 900, 1, 0, 0), 1);  // back to memory, unflushed write kept
  EXPECT_EQ(t->support, SUP_MEMORY);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(messages_.Count(47), 2);
  EXPECT_EQ(VGetInt(t.get(), 300), -3);
  EXPECT_EQ(VGetInt(t.get(), 499), 500);
  EXPECT_EQ(VGetInt(t.get(), 899), 0);

  VirTab kept = InitVirTab(4, 10, 1, 0, 1);
  VPutInt(kept.get(), 9, 9);
  ASSERT_EQ(ReInitVirTab(kept.get(), 20, 1, 0, 3), 1);
  EXPECT_EQ(kept->support, SUP_MEMORY_KEPT);
  EXPECT_EQ(VGetInt(kept.get(), 9), 9);
  EXPECT_EQ(messages_.Count(47), 2);
}

TEST_F(VirTabTest, FullDiskRefusesAndLeavesTablesAlone) {
  diskFigure = 1000;
  const int counter = VirTabFileCounter();
  EXPECT_FALSE(InitVirTab(4, 1000, 2, 240, 4));
  EXPECT_EQ(messages_.Count(43), 1);
  EXPECT_EQ(VirTabFileCounter(), counter);
  EXPECT_TRUE(std::filesystem::is_empty(dir_));

  SetVirTabDiskFullMessage(1043);
  VirTab memory = InitVirTab(4, 1000, 2, 240, 0);
  VPutInt(memory.get(), 999, 5);
  EXPECT_EQ(ReInitVirTab(memory.get(), 1000, 2, 240, 4), 0);
  EXPECT_EQ(messages_.Count(1043), 1);
  EXPECT_EQ(VGetInt(memory.get(), 999), 5);

  VirTab disk = InitVirTab(4, 200, 2, 50, 4);
  VPutInt(disk.get(), 199, 8);
  EXPECT_EQ(ReInitVirTab(disk.get(), 1000, 2, 50, 4), 0);
  EXPECT_EQ(disk->count, 200);
  EXPECT_EQ(std::filesystem::file_size(disk->filePath), 200u * 4);
  EXPECT_EQ(VGetInt(disk.get(), 199), 8);
}

TEST_F(VirTabTest, OutOfRangeIndexWarnsAndTableStaysUsable) {
  for (int code : {0, 4}) {
    VirTab t = InitVirTab(4, 100, 2, 10, code);
    VPutInt(t.get(), 99, 3);
    messages_.shown.clear();
    EXPECT_EQ(VGet(t.get(), -1), nullptr);
    EXPECT_EQ(VGetInt(t.get(), 100), 0);
    EXPECT_EQ(messages_.Count(48), 2);
    EXPECT_EQ(VPutInt(t.get(), 100, 1), 0);
    EXPECT_EQ(VPut("abcd", t.get(), -5), 0);
    EXPECT_EQ(messages_.Count(50), 2);
    EXPECT_EQ(VGetInt(t.get(), 99), 3);
  }
}

TEST_F(VirTabTest, TemporaryFilesAndCounter) {
  VirTab first = InitVirTab(4, 100, 1, 10, 4);
  const int n = first->fileNumber;
  EXPECT_EQ(VirTabFileCounter(), n);
  EXPECT_EQ(first->filePath, FileOf(n));
  EXPECT_TRUE(std::filesystem::exists(FileOf(n)));
  VirTab second = InitVirTab(4, 100, 1, 10, 4);
  EXPECT_EQ(second->fileNumber, n + 1);
  EXPECT_EQ(CloseVirTab(second), 1);
  EXPECT_FALSE(std::filesystem::exists(FileOf(n + 1)));
  EXPECT_EQ(VirTabFileCounter(), n);
  EXPECT_EQ(InitVirTab(4, 100, 1, 10, 4)->fileNumber, n + 1);  // name reused, then closed

  // A file of another program under the next number is left alone.
  std::ofstream(FileOf(n + 1)) << "other";
  VirTab third = InitVirTab(4, 100, 1, 10, 4);
  EXPECT_EQ(third->fileNumber, n + 2);
  EXPECT_EQ(std::filesystem::file_size(FileOf(n + 1)), 5u);

  EXPECT_EQ(CloseVirTab(first), 1);  // not the last number: the counter stays
  EXPECT_EQ(VirTabFileCounter(), n + 2);
  EXPECT_FALSE(std::filesystem::exists(FileOf(n)));
  EXPECT_EQ(CloseVirTab(first), 0);
}

TEST_F(VirTabTest, OtherProgramsShowDiskAccessOnceWithoutConsole) {
  SetVirTabModelerMessages(false);
  VirTab t = InitVirTab(4, 100, 1, 10, 4);
  for (int i = 0; i < 100; ++i) VPutInt(t.get(), i, i);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(VGetInt(t.get(), i), i);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].second, "VPut >=SUP_DISK Anormal");
  EXPECT_EQ(messages_.shown[1].second, "VGet >=SUP_DISK Anormal");
}

}  // namespace
}  // namespace tessaran
