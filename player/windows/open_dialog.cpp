#include "player/windows/open_dialog.h"

#include <QFileDialog>

namespace tessaran::player {

std::filesystem::path ChooseFileToOpen(QWidget* parent, const OpenRequest& request) {
  QFileDialog dialog(parent, request.title, QString::fromStdString(request.directory.string()), request.filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace tessaran::player
