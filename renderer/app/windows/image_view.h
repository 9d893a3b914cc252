// The renderer's main window area: the result image (virtual image slot 0)
// drawn 1:1 at the scroll position, with each scroll bar shown only when
// the image is larger than the area that way; in magnifier mode an image
// smaller than the area both ways fills it instead. While a render runs
// with no image yet, the area is black.
#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>

namespace tessaran {

class ImageView final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit ImageView(QWidget* parent = nullptr);

  void SetMagnifier(bool on);
  void SetRendering(bool on);
  // The image changed size or content: scroll bars and painting follow.
  void ImageChanged();
  // Rows of the image were computed: painted again at most every 40 ms, so
  // that painting takes little from the render.
  void RowsComputed();
  // Whether the image is now stretched over the whole area.
  bool Magnified() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QSize ImageSize() const;
  void UpdateScrollBars();

  bool magnifier_ = false;
  bool rendering_ = false;
  QElapsedTimer sincePaint_;
};

}  // namespace tessaran
