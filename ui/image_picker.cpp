#include "ui/image_picker.h"

#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "platform/console.h"
#include "platform/dynlib.h"
#include "ui/file_filter.h"
#include "ui/rgb_value.h"

namespace tessaran {
namespace {

// Room for any path the system can hand back.
constexpr std::size_t kNameBufferSize = 4096;

}  // namespace

ImagePicker::ImagePicker(const std::filesystem::path& directory) {
  std::string error;
  library_ = DynLib::Open(kPickImgLibrary, &error, directory);
  if (!library_) {
    Trace("LoadLibrary[%s] : %s\n", kPickImgLibrary, error.c_str());
    return;
  }
  openFile_ = reinterpret_cast<OpenFileBMPFunction>(library_->Symbol(kOpenFileBMPName));
  chooseColour_ = reinterpret_cast<OpenChooseColorFunction>(library_->Symbol(kOpenChooseColorName));
  if (!openFile_) Trace("GetProcAddress[%s] : pas de %s\n", kPickImgLibrary, kOpenFileBMPName);
}

ImagePicker::~ImagePicker() = default;

std::optional<std::filesystem::path> ImagePicker::PickImageFile(QWidget* parent, ImageFileRequest& request) const {
  if (!openFile_) return PlainFileDialog(parent, request);
  std::vector<char> name(kNameBufferSize, '\0');
  const QByteArray current = QFile::encodeName(QString::fromStdString(request.current.string()));
  std::copy_n(current.constData(), std::min<std::size_t>(static_cast<std::size_t>(current.size()), name.size() - 1),
              name.begin());
  int preview = request.preview && *request.preview ? 1 : 0;
  PickImgOpenFile record{request.filterIndex, request.defaultExtension.c_str(), 0};
  const std::string directory = request.directory.string();
  const int chosen = openFile_(parent, request.title.toUtf8().constData(), name.data(), name.size(),
                               directory.c_str(), &preview, request.filter.empty() ? nullptr : request.filter.c_str(),
                               &record);
  if (request.preview) *request.preview = preview != 0;
  if (!chosen) return std::nullopt;
  request.filterIndex = record.filterIndex;
  return std::filesystem::path(name.data());
}

std::optional<std::filesystem::path> ImagePicker::PlainFileDialog(QWidget* parent, ImageFileRequest& request) const {
  const std::filesystem::path start =
      request.current.has_parent_path() ? request.current : request.directory / request.current;
  QFileDialog dialog(parent, request.title, QString::fromStdString(start.string()), QtFilter(request.filter));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  const QStringList filters = dialog.nameFilters();
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  request.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

std::optional<std::uint32_t> ImagePicker::PickColour(QWidget* parent, std::uint32_t colour) const {
  if (chooseColour_) {
    std::uint32_t chosen = colour;
    if (!chooseColour_(&chosen, 0)) return std::nullopt;
    return chosen;
  }
  const QColor chosen = QColorDialog::getColor(ColourOfRgbValue(colour), parent);
  if (!chosen.isValid()) return std::nullopt;
  return RgbValueOfColour(chosen);
}

}  // namespace tessaran
