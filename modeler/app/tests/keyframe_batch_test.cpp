// qmx --add-keyframe over keyframe scenes of other objects: the renderer
// moves only the objects two keyframe scenes share, and takes the faces of
// every scene from the first.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "modeler/app/batch.h"
#include "platform/bytes.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

class AddKeyframe : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-keyframes-" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // qmx --batch OPERATIONS --add-keyframe K.MAQ: its status; stderr in err_.
  int Add(std::vector<std::string> operations) {
    operations.insert(operations.begin(), "--batch");
    operations.push_back("--add-keyframe");
    operations.push_back(File().string());
    std::ostringstream out, err;
    const int status = RunModelerBatch(operations, out, err);
    err_ = err.str();
    return status;
  }
  fs::path File() const { return dir_ / "K.MAQ"; }
  fs::path dir_;
  std::string err_;
};

const std::vector<std::string> kBox = {"--primitive", "box", "4", "3"};
const std::vector<std::string> kBoxAndBall = {"--primitive", "box", "4", "3", "--primitive", "sphere", "8", "8"};

TEST_F(AddKeyframe, OtherObjectsThanTheLastSceneAreTakenWithAWarning) {
  EXPECT_EQ(Add(kBoxAndBall), kBatchDone);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(Add(kBoxAndBall), kBatchDone);
  EXPECT_EQ(err_, "");  // the same objects
  EXPECT_EQ(Add(kBox), kBatchDone);
  EXPECT_NE(err_.find("warning"), std::string::npos) << err_;
  EXPECT_NE(err_.find("scene 3 holds other objects than scene 2"), std::string::npos) << err_;
  std::string json;
  ASSERT_TRUE(ModelerFileInfo(File(), json));
  EXPECT_NE(json.find("\"objects\":2,"), std::string::npos);
  EXPECT_NE(json.find("\"objects\":1,"), std::string::npos);
}

TEST_F(AddKeyframe, OtherFacetedObjectsThanTheFirstSceneAreRefusedAndTheFileKept) {
  std::vector<std::string> lettering = kBox;
  for (const char* a : {"--text", "AB"}) lettering.push_back(a);
  ASSERT_EQ(Add(lettering), kBatchDone) << err_;
  Bytes before, after;
  ASSERT_TRUE(ReadWholeFile(File(), before));
  EXPECT_EQ(Add(kBox), kBatchFailed);
  EXPECT_NE(err_.find("faceted objects"), std::string::npos) << err_;
  std::vector<std::string> otherText = kBox;
  for (const char* a : {"--text", "ABC"}) otherText.push_back(a);
  EXPECT_EQ(Add(otherText), kBatchFailed);
  ASSERT_TRUE(ReadWholeFile(File(), after));
  EXPECT_EQ(before, after);
  // The same lettering again is a keyframe scene like any other.
  EXPECT_EQ(Add(lettering), kBatchDone) << err_;
  EXPECT_EQ(err_, "");
}

}  // namespace
}  // namespace tessaran
