#include "modeler/geometry/text3d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "message_recorder.h"
#include "modeler/geometry/mesh_object.h"

namespace tessaran {
namespace {

// The outline's area: outer contours count, holes take away.
double OutlineArea(const GlyphShape& shape) {
  double area = 0;
  for (int c : shape.contours) area += SignedArea(shape.outline.Points(c));
  return area;
}

double TrianglesArea(const GlyphShape& shape) {
  double area = 0;
  for (const auto& t : shape.triangles) area += SignedArea(t);
  return area;
}

class Text3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    font_ = DefaultFontFile();
    if (font_.empty()) GTEST_SKIP() << "no TrueType font installed";
  }
  std::filesystem::path font_;
};

TEST_F(Text3DTest, DefaultFontIsFoundThroughFontconfig) {
  EXPECT_EQ(font_.extension(), ".ttf");
  GlyphSource source;
  EXPECT_TRUE(source.Open(font_));
  std::string error;
  EXPECT_FALSE(source.Open("no-such-font.ttf", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(Text3DTest, EveryGlyphTriangulatesToItsOutlineArea) {
  ASSERT_NE(font_.filename().string().find("DejaVuSans"), std::string::npos) << font_;
  GlyphSource source;
  ASSERT_TRUE(source.Open(font_));
  for (char32_t ch : U"TESSARAN 0123 &@g") {
    if (ch == 0) break;
    GlyphShape shape;
    ASSERT_TRUE(source.Shape(ch, shape));
    EXPECT_GT(shape.advance, 0);
    if (ch == U' ') {
      EXPECT_TRUE(shape.contours.empty());
      continue;
    }
    const double outline = OutlineArea(shape);
    ASSERT_GT(outline, 0) << static_cast<char>(ch);
    EXPECT_NEAR(TrianglesArea(shape) / outline, 1.0, 0.001) << static_cast<char>(ch);
    for (const auto& t : shape.triangles) EXPECT_GE(SignedArea(t), -1e-9) << static_cast<char>(ch);
  }
}

TEST_F(Text3DTest, HolesAreClassifiedAgainstTheirOuterContour) {
  GlyphSource source;
  ASSERT_TRUE(source.Open(font_));
  GlyphShape o;
  ASSERT_TRUE(source.Shape(U'O', o));
  ASSERT_EQ(o.contours.size(), 2u);
  int outer = 0;
  int holes = 0;
  for (int c : o.contours) {
    (o.outline.ContourAt(c).orientation == 1 ? outer : holes) += 1;
  }
  EXPECT_EQ(outer, 1);
  EXPECT_EQ(holes, 1);
}

TEST_F(Text3DTest, TextBecomesCentredFacetedObjects) {
  SceneModel scene;
  std::string error;
  const int first = Text3D(scene, "IO", font_, &error);
  ASSERT_EQ(first, 0) << error;
  // I: one band, front, back; O: two bands, front, back.
  ASSERT_EQ(scene.Header().objectCount, 3 + 4);
  EXPECT_EQ(scene.Object(0).Col(), kTextBandCol);
  EXPECT_EQ(scene.Object(1).Col(), kFacetedObjectCol);
  EXPECT_EQ(scene.Object(2).Col(), kFacetedObjectCol);
  // The band has the contour twice, at depths -10 and +10.
  const int band = scene.ObjectPointCount(0);
  const int group = scene.State(0).faceGroup;
  EXPECT_EQ(scene.FaceGroupEntry(group).faceCount, band / 2);
  EXPECT_FLOAT_EQ(scene.Points().Get(scene.Object(0).FirstPoint())[2], -10);
  EXPECT_FLOAT_EQ(scene.Points().Get(scene.Object(0).FirstPoint() + band / 2)[2], 10);
  // Front and back faces are the same triangles, facing opposite ways.
  const FaceGroup& front = scene.FaceGroupEntry(scene.State(1).faceGroup);
  const FaceGroup& back = scene.FaceGroupEntry(scene.State(2).faceGroup);
  EXPECT_EQ(front.faceCount, back.faceCount);
  EXPECT_EQ(scene.Faces().Get(front.firstFace)[3], 0);
  // Centred: the letters' frames lie symmetric about x = 0.
  const double left = scene.Frames().AbsOrigin(0)[0];
  GlyphSource source;
  ASSERT_TRUE(source.Open(font_));
  GlyphShape i;
  GlyphShape oh;
  source.Shape(U'I', i);
  source.Shape(U'O', oh);
  EXPECT_NEAR(left, -(i.advance + oh.advance) * kTextScale / 2, 1e-9);
  EXPECT_NEAR(scene.Frames().AbsOrigin(3)[0], left + i.advance * kTextScale, 1e-9);
  // The points stand where the letters do, not each about its own frame: the
  // O lies right of the I.
  float rightOfI = -1e9f;
  float leftOfO = 1e9f;
  for (int p = 0; p < scene.ObjectPointCount(0); ++p) {
    rightOfI = std::max(rightOfI, scene.Points().Get(scene.Object(0).FirstPoint() + p)[0]);
  }
  for (int p = 0; p < scene.ObjectPointCount(3); ++p) {
    leftOfO = std::min(leftOfO, scene.Points().Get(scene.Object(3).FirstPoint() + p)[0]);
  }
  EXPECT_GT(leftOfO, rightOfI);
  for (int k = 0; k < scene.Header().objectCount; ++k) EXPECT_EQ(scene.State(k).selection, 1);
}

TEST_F(Text3DTest, NothingToBuildIsAClearRefusal) {
  SceneModel scene;
  std::string error;
  EXPECT_EQ(Text3D(scene, "   ", font_, &error), -1);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Text3D(scene, "A", "missing.ttf", &error), -1);
  EXPECT_EQ(scene.Header().objectCount, 0);
}

}  // namespace
}  // namespace tessaran
