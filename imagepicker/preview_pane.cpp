#include "imagepicker/preview_pane.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "imaging/picture.h"
#include "platform/console.h"
#include "storage/virtim.h"
#include "ui/vim_image.h"

namespace tessaran {
namespace {

// The preview area in dialog units: a unit is a quarter of the font's
// average character width across, an eighth of its height down.
constexpr int kAreaUnitsWide = 105;
constexpr int kAreaUnitsHigh = 82;

QSize AreaSize(const QFont& font) {
  const QFontMetrics metrics(font);
  return {metrics.averageCharWidth() * kAreaUnitsWide / 4, metrics.height() * kAreaUnitsHigh / 8};
}

// Marks a preview as loading and shows the wait cursor for its duration.
class LoadingMark {
 public:
  explicit LoadingMark(bool& loading) : loading_(loading) {
    loading_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~LoadingMark() {
    QApplication::restoreOverrideCursor();
    loading_ = false;
  }
  LoadingMark(const LoadingMark&) = delete;
  LoadingMark& operator=(const LoadingMark&) = delete;

 private:
  bool& loading_;
};

}  // namespace

PreviewPane::PreviewPane(const QString& checkText, const QString& placeholderText, bool on, QWidget* parent)
    : QWidget(parent), check_(new QCheckBox(checkText, this)), area_(new QLabel), size_(AreaSize(font())) {
  setObjectName("imagePreview");
  check_->setObjectName("previewSwitch");
  check_->setChecked(on);
  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(2, 2, 2, 2);
  area_->setParent(frame);
  area_->setObjectName("previewArea");
  area_->setFixedSize(size_);
  frameLayout->addWidget(area_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(check_);
  layout->addWidget(frame);
  layout->addStretch();
  placeholder_ = Placeholder(placeholderText);
  Show(placeholder_);
  // Turned on, the preview shows the file under the cursor at once.
  connect(check_, &QCheckBox::toggled, this, [this](bool checked) {
    if (checked && !current_.isEmpty()) Preview(current_);
  });
}

bool PreviewPane::PreviewOn() const { return check_->isChecked(); }

void PreviewPane::Preview(const QString& file) {
  if (loading_) {
    Trace("AlreadyLoading\n");
    return;
  }
  current_ = file;
  if (!PreviewOn()) {
    Trace("PreviewOFF\n");
    return;
  }
  const QByteArray name = QFile::encodeName(file);
  Trace("Previewing [%s]\n", name.constData());
  LoadingMark mark(loading_);
  const QImage decoded = Decode(std::filesystem::path(name.toStdString()));
  Show(decoded.isNull() ? placeholder_ : decoded);
}

QImage PreviewPane::Decode(const std::filesystem::path& file) const {
  PictureHeader header;
  if (!LoadPicture(file, kPreviewSlot, kOpaqueLoad, &header, 1)) {
    VimFree(kPreviewSlot);
    return {};
  }
  QImage bitmap(size_, QImage::Format_RGB32);
  bitmap.fill(Qt::black);
  const VirtIm& picture = VimSlot(kPreviewSlot);
  const bool larger = picture.width > static_cast<std::uint32_t>(size_.width()) ||
                      picture.height > static_cast<std::uint32_t>(size_.height());
  const QRectF target = larger ? QRectF(QPointF(0, 0), QSizeF(size_))
                               : QRectF(0, 0, picture.width, picture.height);
  QPainter painter(&bitmap);
  DrawVim(painter, picture, target);
  painter.end();
  VimFree(kPreviewSlot);
  return bitmap;
}

void PreviewPane::Show(const QImage& image) {
  shown_ = image;
  area_->setPixmap(QPixmap::fromImage(image));
}

QImage PreviewPane::Placeholder(const QString& text) const {
  QImage image(size_, QImage::Format_RGB32);
  image.fill(QColor(128, 128, 128));
  QPainter painter(&image);
  painter.setPen(QColor(64, 64, 64));
  painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
  painter.setPen(Qt::white);
  painter.drawText(image.rect(), Qt::AlignCenter, text);
  return image;
}

}  // namespace tessaran
