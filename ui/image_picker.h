// Choosing a picture file or a colour. The program binds the image picker
// library "PICKIMG.DLL" by name at start-up; its dialog previews the
// picture under the cursor. When the library or its export is missing, the
// plain Qt file and colour dialogs stand in.
#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "ui/pickimg_interface.h"

class QWidget;

namespace tessaran {

class DynLib;

// One picture choice: what the dialog starts from, and what it leaves.
struct ImageFileRequest {
  QString title;
  std::filesystem::path current;    // the initial name; may be empty
  std::filesystem::path directory;  // used when `current` has no directory
  // The program's preview setting; updated from the dialog's check box.
  bool* preview = nullptr;
  // Pairs of description and pattern, each part ended by a NUL; empty for
  // the picker's own picture filter.
  std::string filter;
  int filterIndex = 1;                 // updated on success
  std::string defaultExtension = "lbm";
};

class ImagePicker {
 public:
  // Binds the library in `directory`, the program directory when empty.
  explicit ImagePicker(const std::filesystem::path& directory = {});
  ~ImagePicker();
  ImagePicker(const ImagePicker&) = delete;
  ImagePicker& operator=(const ImagePicker&) = delete;

  // Whether the library's file dialog is in use.
  bool Bound() const { return openFile_ != nullptr; }

  // The chosen file; nullopt when the user cancelled.
  std::optional<std::filesystem::path> PickImageFile(QWidget* parent, ImageFileRequest& request) const;
  // The chosen colour (0x00BBGGRR); nullopt when the user cancelled.
  std::optional<std::uint32_t> PickColour(QWidget* parent, std::uint32_t colour) const;

 private:
  std::optional<std::filesystem::path> PlainFileDialog(QWidget* parent, ImageFileRequest& request) const;

  std::unique_ptr<DynLib> library_;
  OpenFileBMPFunction openFile_ = nullptr;
  OpenChooseColorFunction chooseColour_ = nullptr;
};

}  // namespace tessaran
