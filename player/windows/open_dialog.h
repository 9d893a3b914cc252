// The player's open dialogs: the image picker's file dialog, with its
// preview of the picture under the cursor, when the library is bound; Qt's
// plain one otherwise. The file chosen, empty when cancelled.
#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <string>

#include "ui/image_picker.h"

namespace tessaran::player {

struct OpenRequest {
  QString title;
  // Pairs of description and pattern, each part ended by a NUL.
  std::string filter;
  std::string defaultExtension;
  std::filesystem::path directory;  // where the dialog starts
};

// preview: the preview box's setting ("PREVIEW_BMP"), updated from the dialog.
std::filesystem::path ChooseFileToOpen(QWidget* parent, const ImagePicker& picker, const OpenRequest& request,
                                       bool& preview);

}  // namespace tessaran::player
