// The player's image open dialog, in one place so that the image picker
// can take its part: the file chosen (empty when cancelled).
#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>

namespace tessaran::player {

struct OpenRequest {
  QString title;
  QString filter;
  QString defaultSuffix;
  std::filesystem::path directory;  // where the dialog starts
  bool preview = false;             // the picker's preview box ("PREVIEW_BMP")
};

std::filesystem::path ChooseFileToOpen(QWidget* parent, const OpenRequest& request);

}  // namespace tessaran::player
