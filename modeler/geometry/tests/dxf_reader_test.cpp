#include "modeler/geometry/dxf_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "message_recorder.h"
#include "modeler/geometry/camera.h"

namespace tessaran {
namespace {

const std::string kData = TESSARAN_TESTDATA "/dxf/";

// A 3DFACE entity of the ENTITIES section.
std::string Face3D(const std::string& layer, std::initializer_list<double> corners, int flags = 0) {
  std::string text = "0\n3DFACE\n8\n" + layer + "\n";
  int i = 0;
  for (double c : corners) {
    text += std::to_string(10 * (1 + i % 3) + i / 3) + "\n" + std::to_string(c) + "\n";
    ++i;
  }
  if (flags) text += "70\n" + std::to_string(flags) + "\n";
  return text;
}

std::string Entities(const std::string& body) { return "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n"; }

// Scene position of point p (1-based within object k): the points table
// holds scene positions, which the renderer reads as they are.
Vec3 World(const SceneModel& scene, int k, int p) {
  const auto xyz = scene.Points().Get(scene.Object(k).FirstPoint() + p - 1);
  return {xyz[0], xyz[1], xyz[2]};
}

Face FaceOf(const SceneModel& scene, int k, int f) {
  return scene.Faces().Get(scene.FaceGroupEntry(scene.State(k).faceGroup).firstFace + f);
}

TEST(DxfImport, EveryTestFileWithItsLayersFacesAndPoints) {
  struct Expected {
    const char* file;
    std::vector<std::string> layers;
    int faces;
    int points;
  } files[] = {
      // 2 3DFACE + 1 LINE, one layer.
      {"assimp_lineTest.dxf", {"1"}, 3, 4 + 3 + 2},
      // No TABLES: one object per layer the entities name.
      {"r12_notables_lines.dxf", {"L0", "L1", "L2", "TOP"}, 3 + 1 + 2, 4 + 4 + 4 + 4 + 2 + 2},
      // Polyface of 5 vertices and 3 faces, and a triangle 3DFACE; layer
      // "Defpoints" of the table is unused.
      {"r12_single_layer.dxf", {"0"}, 3 + 1, 5 + 3},
      {"r2000_mixed.dxf", {"0", "SHELL", "TRI"}, 1 + 5 + 3, 2 + 5 + 9},
  };
  for (const Expected& e : files) {
    MessageRecorder messages;
    SceneModel scene;
    DxfImport import;
    const int first = ImportDxf(scene, kData + e.file, DxfTargetSize(scene.View()), &import);
    ASSERT_EQ(first, 0) << e.file;
    EXPECT_TRUE(messages.numbers.empty()) << e.file;
    EXPECT_EQ(import.layers, e.layers) << e.file;
    EXPECT_EQ(scene.Header().objectCount, static_cast<int>(e.layers.size())) << e.file;
    EXPECT_EQ(scene.Faces().Count(), e.faces) << e.file;
    EXPECT_EQ(scene.TotalPoints(), e.points) << e.file;
    for (int k = 0; k < scene.Header().objectCount; ++k) {
      EXPECT_EQ(scene.Object(k).Col(), kFacetedObjectCol);
      EXPECT_EQ(scene.Object(k).MeshU(), 0);
      EXPECT_EQ(scene.State(k).selection, 1);
      const FaceGroup& group = scene.FaceGroupEntry(scene.State(k).faceGroup);
      EXPECT_EQ(group.pointCount, scene.ObjectPointCount(k));
      for (int f = 0; f < group.faceCount; ++f) {
        for (int n : FaceOf(scene, k, f)) EXPECT_LE(std::abs(n), group.pointCount) << e.file;
      }
    }
  }
}

TEST(DxfImport, ModelFillsTheViewAroundTheOrigin) {
  SceneModel scene;
  const double target = DxfTargetSize(scene.View());
  EXPECT_NEAR(target, 387.9, 0.1);  // default view: D 40, F 1000, 36 pixels per unit
  ASSERT_EQ(ImportDxf(scene, kData + "r2000_mixed.dxf", target), 0);
  double low[3] = {1e9, 1e9, 1e9};
  double high[3] = {-1e9, -1e9, -1e9};
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    for (int p = 1; p <= scene.ObjectPointCount(k); ++p) {
      const Vec3 w = World(scene, k, p);
      for (int a = 0; a < 3; ++a) {
        low[a] = std::min(low[a], w[a]);
        high[a] = std::max(high[a], w[a]);
      }
    }
  }
  // The file spans x 0…4, y 0…6, z 0…3: y is the largest and becomes the
  // modeler's depth axis.
  EXPECT_NEAR(high[2] - low[2], target, 1e-3);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(low[a] + high[a], 0, 1e-3);
}

TEST(DxfImport, FilePointBecomesModelerPointWithZUp) {
  SceneModel scene;
  // Extents -1…1, -2…2, -3…3: no centring, and a largest extent of 6 that the
  // target size of 6 leaves unscaled.
  const std::string text = Entities(Face3D("A", {1, 2, 3, -1, -2, -3, 1, -2, 3, 1, -2, 3}));
  ASSERT_EQ(ImportDxfText(scene, text, 6.0), 0);
  const Vec3 w = World(scene, 0, 1);
  EXPECT_NEAR(w[0], 1, 1e-6);
  EXPECT_NEAR(w[1], 3, 1e-6);
  EXPECT_NEAR(w[2], -2, 1e-6);
  EXPECT_EQ(FaceOf(scene, 0, 0), (Face{1, 2, 3, 0}));  // fourth corner repeats the third
}

TEST(DxfImport, InvisibleEdgesNegateTheirCorner) {
  SceneModel scene;
  const std::string text = Entities(Face3D("A", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, 2) +
                                    Face3D("A", {0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1}, 1 | 8));
  ASSERT_EQ(ImportDxfText(scene, text, 10), 0);
  EXPECT_EQ(FaceOf(scene, 0, 0), (Face{1, -2, 3, 4}));
  EXPECT_EQ(FaceOf(scene, 0, 1), (Face{-5, 6, 7, -8}));
}

TEST(DxfImport, EntitiesOfALayerAreCollectedWhereverTheyStand) {
  SceneModel scene;
  const std::string text = Entities(Face3D("A", {0, 0, 0, 1, 0, 0, 1, 1, 0}) + Face3D("B", {0, 0, 1, 1, 0, 1, 1, 1, 1}) +
                                    Face3D("A", {0, 0, 2, 1, 0, 2, 1, 1, 2}));
  DxfImport import;
  ASSERT_EQ(ImportDxfText(scene, text, 10, &import), 0);
  EXPECT_EQ(import.layers, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(scene.FaceGroupEntry(scene.State(0).faceGroup).faceCount, 2);
  EXPECT_EQ(scene.ObjectPointCount(0), 6);
}

TEST(DxfImport, ImportAppendsAfterExistingObjectsAndFaces) {
  SceneModel scene;
  ASSERT_EQ(ImportDxf(scene, kData + "r12_single_layer.dxf", 100), 0);
  ASSERT_EQ(ImportDxf(scene, kData + "r2000_mixed.dxf", 100), 1);
  EXPECT_EQ(scene.Header().objectCount, 4);
  EXPECT_EQ(scene.State(0).selection, 0);
  EXPECT_EQ(scene.FaceGroupEntry(scene.State(1).faceGroup).firstFace, 4);
  EXPECT_EQ(scene.Faces().Count(), 13);
}

TEST(DxfImport, BadFilesAreRefusedAndLeaveTheSceneAsItWas) {
  const std::string good = Face3D("A", {0, 0, 0, 1, 0, 0, 1, 1, 0});
  const std::string polyface = "0\nPOLYLINE\n8\nP\n70\n64\n"
                               "0\nVERTEX\n70\n192\n10\n0\n20\n0\n30\n0\n"
                               "0\nVERTEX\n70\n192\n10\n1\n20\n0\n30\n0\n"
                               "0\nVERTEX\n70\n192\n10\n1\n20\n1\n30\n0\n";
  struct Case {
    const char* what;
    std::string text;
    int message;
  } cases[] = {
      {"empty", "", 37},
      {"only unknown entities", Entities("0\nCIRCLE\n8\nA\n10\n0\n20\n0\n30\n0\n40\n5\n"), 37},
      {"no ENTITIES section", "0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nEOF\n", 37},
      {"entities only in BLOCKS", "0\nSECTION\n2\nBLOCKS\n" + good + "0\nENDSEC\n0\nEOF\n", 37},
      {"bad number", Entities("0\n3DFACE\n8\nA\n10\n1.2.3\n"), 37},
      {"infinite number", Entities("0\n3DFACE\n8\nA\n10\n1e999\n"), 37},
      {"group code not a number", Entities(good + "xx\n3DFACE\n"), 37},
      {"face past its vertices", Entities(polyface + "0\nVERTEX\n70\n128\n71\n1\n72\n2\n73\n4\n0\nSEQEND\n"), 37},
      {"face without vertex", Entities(polyface + "0\nVERTEX\n70\n128\n71\n1\n72\n0\n73\n3\n0\nSEQEND\n"), 37},
      {"code without its value", "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n10", 37},
      {"binary", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "\x00\x00SECTION", 37},
  };
  for (const Case& c : cases) {
    MessageRecorder messages;
    SceneModel scene;
    ImportDxf(scene, kData + "assimp_lineTest.dxf", 100);
    messages.numbers.clear();
    EXPECT_EQ(ImportDxfText(scene, c.text, 100), -1) << c.what;
    EXPECT_EQ(messages.numbers, std::vector<int>{c.message}) << c.what;
    EXPECT_EQ(scene.Header().objectCount, 1) << c.what;
    EXPECT_EQ(scene.Faces().Count(), 3) << c.what;
    EXPECT_EQ(scene.TotalPoints(), 9) << c.what;
  }
  MessageRecorder messages;
  SceneModel scene;
  EXPECT_EQ(ImportDxf(scene, kData + "no_such_file.dxf", 100), -1);
  EXPECT_EQ(messages.numbers, std::vector<int>{37});
}

TEST(DxfImport, PolyfaceFaceRecordsNumberPointsOfTheirObject) {
  SceneModel scene;
  const std::string text = Entities(Face3D("P", {5, 5, 5, 6, 5, 5, 6, 6, 5}) +
                                    "0\nPOLYLINE\n8\nP\n70\n64\n71\n3\n72\n1\n"
                                    "0\nVERTEX\n70\n192\n10\n0\n20\n0\n30\n0\n"
                                    "0\nVERTEX\n70\n192\n10\n1\n20\n0\n30\n0\n"
                                    "0\nVERTEX\n70\n192\n10\n1\n20\n1\n30\n0\n"
                                    "0\nVERTEX\n70\n128\n71\n1\n72\n-2\n73\n3\n0\nSEQEND\n" +
                                    "0\nLINE\n8\nP\n10\n0\n20\n0\n30\n0\n11\n0\n21\n0\n31\n9\n");
  ASSERT_EQ(ImportDxfText(scene, text, 100), 0);
  EXPECT_EQ(scene.ObjectPointCount(0), 3 + 3 + 2);
  EXPECT_EQ(FaceOf(scene, 0, 1), (Face{4, -5, 6, 0}));
  EXPECT_EQ(FaceOf(scene, 0, 2), (Face{7, 8, 0, 0}));  // a LINE: a two-point face
}

TEST(DxfImport, HeaderExtentsCentreOnlyWhenCompleteAndEnclosing) {
  const std::string face = Face3D("A", {0, 0, 0, 2, 0, 0, 2, 2, 2});
  auto header = [](const std::string& zmin) {
    return "0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n-10\n20\n-10\n" + zmin +
           "9\n$EXTMAX\n10\n10\n20\n10\n30\n10\n0\nENDSEC\n";
  };
  DxfImport import;
  SceneModel scene;
  ASSERT_EQ(ImportDxfText(scene, header("30\n-10\n") + Entities(face), 20, &import), 0);
  EXPECT_EQ(import.centre, (Vec3{0, 0, 0}));
  EXPECT_DOUBLE_EQ(import.scale, 1);
  // Without the z of $EXTMIN the points' own extents rule.
  ASSERT_EQ(ImportDxfText(scene, header("") + Entities(face), 20, &import), 1);
  EXPECT_EQ(import.centre, (Vec3{-1, -1, -1}));
  EXPECT_DOUBLE_EQ(import.scale, 10);
}

TEST(DxfImport, AMillionFacesAreRefusedWithMessage31) {
  std::string text = "0\nSECTION\n2\nENTITIES\n";
  text.reserve(64u << 20);
  const std::string face = "0\n3DFACE\n8\nA\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n12\n1\n22\n1\n32\n0\n";
  for (int i = 0; i < 1000000; ++i) text += face;
  text += "0\nENDSEC\n0\nEOF\n";
  MessageRecorder messages;
  SceneModel scene;
  EXPECT_EQ(ImportDxfText(scene, text, 100), -1);
  EXPECT_EQ(messages.numbers, std::vector<int>{31});
  EXPECT_EQ(scene.Header().objectCount, 0);
}

TEST(DxfImport, ALayerBeyondTheFaceNumbersIsSplitOverObjects) {
  std::string body;
  for (int i = 0; i < 12000; ++i) body += Face3D("BIG", {0, 0, double(i), 1, 0, double(i), 1, 1, double(i)});
  SceneModel scene;
  DxfImport import;
  ASSERT_EQ(ImportDxfText(scene, Entities(body), 100, &import), 0);
  EXPECT_EQ(import.layers, (std::vector<std::string>{"BIG", "BIG"}));
  EXPECT_EQ(scene.ObjectPointCount(0), 32766);
  EXPECT_EQ(scene.TotalPoints(), 36000);
}

}  // namespace
}  // namespace tessaran
