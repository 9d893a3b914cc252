#include "player/windows/open_dialog.h"

namespace tessaran::player {

std::filesystem::path ChooseFileToOpen(QWidget* parent, const ImagePicker& picker, const OpenRequest& request,
                                       bool& preview) {
  ImageFileRequest choice;
  choice.title = request.title;
  choice.directory = request.directory;
  choice.preview = &preview;
  choice.filter = request.filter;
  choice.defaultExtension = request.defaultExtension;
  return picker.PickImageFile(parent, choice).value_or(std::filesystem::path{});
}

}  // namespace tessaran::player
