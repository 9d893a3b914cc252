// Lines written into a picture: both ends drawn, and lines reaching far
// outside (the positions of points near the eye's plane) cut to the picture.
#include <gtest/gtest.h>

#include <QImage>

#include "modeler/app/windows/wire_raster.h"

namespace tessaran {
namespace {

int Count(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
  }
  return count;
}

TEST(WireRaster, DrawsBothEndsAndCutsLinesToThePicture) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QRgb red = qRgb(255, 0, 0);
  WireRaster raster(image);
  raster.Line(2, 3, 12, 3, red);
  EXPECT_EQ(Count(image, red), 11);
  EXPECT_EQ(image.pixel(2, 3), red);
  EXPECT_EQ(image.pixel(12, 3), red);

  // A diagonal from far outside to far outside crosses the picture corner to corner.
  image.fill(Qt::white);
  raster.Line(-1000000, -750000, 1000000, 750000, red);
  EXPECT_EQ(image.pixel(0, 0), red);
  EXPECT_EQ(image.pixel(39, 29), red);
  EXPECT_EQ(image.pixel(20, 15), red);
  EXPECT_GE(Count(image, red), 39);

  // Lines that miss the picture draw nothing.
  image.fill(Qt::white);
  raster.Line(-1000000, -5, 1000000, -5, red);
  raster.Line(50, -10, 60, 100, red);
  raster.Line(-15000, -15000, -15000, -15000, red);
  EXPECT_EQ(Count(image, red), 0);
}

}  // namespace
}  // namespace tessaran
