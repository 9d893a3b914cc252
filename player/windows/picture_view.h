// The player's display area: the picture or frame shown, drawn 1:1 from the
// top left corner with scroll bars when it is larger than the area, or
// stretched over the whole area when zoom is on. A double click is told to
// the window.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>

namespace tessaran::player {

class PictureView final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  // Shows `image` and paints it before returning, so that a frame is on
  // the screen when its delay starts.
  void Show(const QImage& image);
  const QImage& Shown() const { return image_; }
  void SetZoom(bool on);
  bool Zoom() const { return zoom_; }

 signals:
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void UpdateScrollBars();

  QImage image_;
  bool zoom_ = false;
};

}  // namespace tessaran::player
