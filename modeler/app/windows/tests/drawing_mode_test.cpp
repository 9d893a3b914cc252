// The drawing modes of a view: boxes only draw the objects' bounding boxes
// and nothing of the meshes inside; splines change the drawing of the
// meshes they are asked for and leave the others as wire; boxes but the
// selection keep the selected object's mesh.
#include <QImage>

#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "modeler/geometry/mesh_object.h"
#include "modeler/geometry/primitives.h"

namespace tessaran {
namespace {

class DrawingModeTest : public ModelerTest {
 protected:
  // A view 640 × 480 without scroll bars, in the front view.
  std::unique_ptr<ModelView> OpenView() {
    auto view = std::make_unique<ModelView>(*scene_);
    view->SetScrollBarsShown(false);
    view->resize(640, 480);
    view->show();
    QApplication::processEvents();
    return view;
  }
  // A sphere of radius 50 whose points are shifted by dx along X.
  int Sphere(float dx, int u = 8, int v = 6) {
    const int k = MakePrimitive(*scene_, Primitive::Sphere, u, v, 100);
    std::vector<Point3> points = GetObjectPoints(*scene_, k);
    for (Point3& p : points) p[0] += dx;
    PutObjectPoints(*scene_, k, points);
    return k;
  }
  QImage Picture(ModelView& view) { return view.viewport()->grab().toImage(); }
  static int Count(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) count += image.pixelColor(x, y) == colour;
    }
    return count;
  }
  // Where the middle of object k's points is drawn.
  QPoint Middle(ModelView& view, int k) const {
    const int first = scene_->Object(k).FirstPoint() - 1, count = scene_->ObjectPointCount(k);
    long x = 0, y = 0;
    for (int p = first; p < first + count; ++p) {
      x += view.Projected(p).x;
      y += view.Projected(p).y;
    }
    return QPoint(static_cast<int>(x / count), static_cast<int>(y / count));
  }
  static QRect Around(QPoint centre, int half) {
    return QRect(centre.x() - half, centre.y() - half, 2 * half + 1, 2 * half + 1);
  }
  // Whether the two pictures have the same pixels within `area`.
  static bool Same(const QImage& a, const QImage& b, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (a.pixel(x, y) != b.pixel(x, y)) return false;
      }
    }
    return true;
  }
};

TEST_F(DrawingModeTest, BoxesOnlyDrawTheBoundingBoxes) {
  Sphere(0);
  ClearSelection(*scene_);
  auto view = OpenView();
  // The sphere's mesh crosses the middle of the view.
  const QRect middle(300, 220, 41, 41);
  EXPECT_GT(Count(Picture(*view), middle, kWireColour), 10);

  view->SetDrawMode(DrawMode::Boxes);
  const QImage boxes = Picture(*view);
  EXPECT_EQ(Count(boxes, middle, kWireColour), 0);
  // Along the middle row: the four vertical edges of the front and back
  // faces, two on each side, at the same distances from the centre.
  std::vector<int> edges;
  for (int x = 0; x < boxes.width(); ++x) {
    const bool drawn = boxes.pixelColor(x, 240) == kWireColour;
    const bool before = x > 0 && boxes.pixelColor(x - 1, 240) == kWireColour;
    if (drawn && !before) edges.push_back(x);
  }
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_NEAR(320 - edges[0], edges[3] - 320, 2);
  EXPECT_NEAR(320 - edges[1], edges[2] - 320, 2);
  // The front face is drawn bigger than the back one.
  EXPECT_GT(edges[1] - edges[0], 3);

  view->SetDrawMode(DrawMode::Wire);
  EXPECT_GT(Count(Picture(*view), middle, kWireColour), 10);
}

TEST_F(DrawingModeTest, SplinesChangeOnlyTheMeshesTheyAreAskedFor) {
  // Coarse meshes, whose splines lie well inside their straight lines.
  const int left = Sphere(-90, 4, 4);
  Sphere(90, 4, 4);
  ClearSelection(*scene_);
  scene_->State(left).selection = 1;
  auto view = OpenView();
  const QRect leftHalf(0, 0, 320, 480), rightHalf(320, 0, 320, 480);
  const QImage wire = Picture(*view);
  view->SetDrawMode(DrawMode::SplinesSelected);
  const QImage selected = Picture(*view);
  EXPECT_FALSE(Same(wire, selected, leftHalf));
  EXPECT_TRUE(Same(wire, selected, rightHalf));
  EXPECT_GT(Count(selected, leftHalf, kSelectedColour), 50);
  view->SetDrawMode(DrawMode::SplinesAll);
  const QImage all = Picture(*view);
  EXPECT_TRUE(Same(selected, all, leftHalf));
  EXPECT_FALSE(Same(wire, all, rightHalf));
  EXPECT_GT(Count(all, rightHalf, kWireColour), 50);
}

TEST_F(DrawingModeTest, BoxesButTheSelectionKeepTheSelectedMesh) {
  const int left = Sphere(-90);
  const int right = Sphere(90);
  ClearSelection(*scene_);
  scene_->State(left).selection = 1;
  auto view = OpenView();
  view->SetDrawMode(DrawMode::BoxesButSelection);
  const QImage image = Picture(*view);
  // Round the middle of each sphere's drawing: the selected mesh is there,
  // the other's box has nothing inside.
  EXPECT_GT(Count(image, Around(Middle(*view, left), 30), kSelectedColour), 10);
  EXPECT_EQ(Count(image, Around(Middle(*view, right), 20), kWireColour), 0);
  EXPECT_GT(Count(image, Around(Middle(*view, right), 100), kWireColour), 50);
}

}  // namespace
}  // namespace tessaran
