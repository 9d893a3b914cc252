// The preview beside the file dialog's lists: the check box "Image
// Preview :" (control 1540) that turns it on or off, and the preview area
// (1538, 105 × 82 dialog units) in its frame (1539). The area shows the
// placeholder "PREVIEWU" until a picture has been previewed; a picture
// larger than the area either way is stretched over all of it, a smaller
// one drawn at its size in the top-left corner on black.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <filesystem>

class QCheckBox;
class QLabel;

namespace tessaran {

// The virtual image the picker decodes a previewed file into.
inline constexpr int kPreviewSlot = 1;

class PreviewPane final : public QWidget {
  Q_OBJECT

 public:
  // `checkText` labels the check box, `placeholderText` is written on the
  // placeholder.
  PreviewPane(const QString& checkText, const QString& placeholderText, bool on, QWidget* parent);

  bool PreviewOn() const;
  // What the preview area shows.
  const QImage& Shown() const { return shown_; }

 public slots:
  // Decodes `file` and shows it, unless preview is off or a preview is
  // already loading. A file that cannot be decoded shows the placeholder.
  void Preview(const QString& file);

 private:
  void Show(const QImage& image);
  QImage Placeholder(const QString& text) const;
  QImage Decode(const std::filesystem::path& file) const;

  QCheckBox* check_;
  QLabel* area_;
  QSize size_;
  QImage placeholder_;
  QImage shown_;
  QString current_;
  bool loading_ = false;
};

}  // namespace tessaran
