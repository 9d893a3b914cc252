#include "imagepicker/open_file_dialog.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <algorithm>
#include <cstring>
#include <string>

#include "imagepicker/picker_library.h"
#include "imagepicker/preview_pane.h"
#include "platform/console.h"
#include "ui/dialog_texts.h"
#include "ui/file_filter.h"

namespace tessaran {
namespace {

constexpr const char* kDialog = "1536";
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kFileTypeLabel = 1089;
constexpr int kFileNameLabel = 1090;
constexpr int kPreviewArea = 1538;
constexpr int kPreviewSwitch = 1540;

// The renderer's picture filter, used when the caller gives none.
constexpr int kMsgPictureFilter = 99;

constexpr char kDefaultExtension[] = "lbm";

// The offset of the extension of `path` (after its dot), or of its end
// when its name has none.
std::uint16_t ExtensionOffset(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  const qsizetype dot = path.lastIndexOf('.');
  const qsizetype offset = dot > slash ? dot + 1 : path.size();
  return static_cast<std::uint16_t>(std::min<qsizetype>(offset, 0xFFFF));
}

}  // namespace

PreviewFileDialog::PreviewFileDialog(const MessageLibrary& messages, QWidget* parent, const QString& title,
                                     const std::string& systemFilter, bool preview)
    : QFileDialog(parent, title) {
  auto text = [&](int id) { return DialogText(messages, kDialog, id); };
  setOption(QFileDialog::DontUseNativeDialog);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setNameFilter(QtFilter(systemFilter));
  // Extensions are the system's: "*.TGA" lists "sky.tga" too.
  setFilter(filter() & ~QDir::CaseSensitive);
  setLabelText(QFileDialog::FileName, text(kFileNameLabel));
  setLabelText(QFileDialog::FileType, text(kFileTypeLabel));
  setLabelText(QFileDialog::Accept, text(kOk));
  setLabelText(QFileDialog::Reject, text(kCancel));
  pane_ = new PreviewPane(text(kPreviewSwitch), text(kPreviewArea), preview, this);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(pane_, 0, grid->columnCount(), grid->rowCount(), 1);
  }
  // Only files are previewed; moving over a directory changes nothing.
  connect(this, &QFileDialog::currentChanged, pane_, [this](const QString& path) {
    if (QFileInfo(path).isFile()) pane_->Preview(path);
  });
}

int OpenFileWithPreview(QWidget* parent, const char* title, char* fileName, size_t fileNameSize,
                        const char* initialDirectory, int* preview, const char* filter, PickImgOpenFile* record) {
  if (!fileName || fileNameSize < kPickImgMinimumName || !QApplication::instance()) return 0;
  const MessageLibrary* messages = PickerLibrary::Get().Messages();
  if (!messages) {
    Trace("OpenFileBMP : pas de DLL ressource\n");
    return 0;
  }
  // The caller's buffer is written only once a file is chosen and fits.
  const std::string entry(fileName, strnlen(fileName, fileNameSize));
  const std::string systemFilter = filter ? SystemFilterText(filter) : messages->Format(kMsgPictureFilter);
  PreviewFileDialog dialog(*messages, parent, QString::fromUtf8(title ? title : ""), systemFilter,
                           preview && *preview);
  const QString entryName = QFile::decodeName(QByteArray::fromStdString(entry));
  const QFileInfo entryInfo(entryName);
  if (entryName.contains('/')) {
    dialog.setDirectory(entryInfo.path());
  } else if (initialDirectory && *initialDirectory) {
    dialog.setDirectory(QFile::decodeName(initialDirectory));
  }
  if (!entryInfo.fileName().isEmpty()) dialog.selectFile(entryInfo.fileName());
  const char* extension = record && record->defaultExtension ? record->defaultExtension : kDefaultExtension;
  dialog.setDefaultSuffix(QString::fromUtf8(extension));
  const QStringList filters = dialog.nameFilters();
  const int index = record ? std::max(record->filterIndex, 1) : 1;
  if (index <= filters.size()) dialog.selectNameFilter(filters[index - 1]);

  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (preview) *preview = dialog.Pane().PreviewOn() ? 1 : 0;
  if (!accepted) return 0;
  const QByteArray chosen = QFile::encodeName(dialog.selectedFiles().front());
  if (static_cast<size_t>(chosen.size()) >= fileNameSize) {
    Trace("DlgErr=FNERR_BUFFERTOOSMALL\n");
    return 0;
  }
  std::memcpy(fileName, chosen.constData(), static_cast<size_t>(chosen.size()) + 1);
  if (record) {
    record->filterIndex = static_cast<std::int32_t>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    record->extensionOffset = ExtensionOffset(chosen);
  }
  return 1;
}

}  // namespace tessaran
