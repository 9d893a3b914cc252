// The dialog "FONT" of "3D Font": the text to build and its font, the
// default font at first; "Other fonts ..." picks another installed font,
// whose file fontconfig finds.
#pragma once

#include <QDialog>
#include <QFont>
#include <filesystem>
#include <functional>
#include <optional>

#include "messages/message_library.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaran {

class FontDialog final : public QDialog {
  Q_OBJECT

 public:
  FontDialog(const MessageLibrary& library, QWidget* parent);

  // The text as UTF-8, and the font file it is built with.
  std::string Text() const;
  const std::filesystem::path& FontFile() const { return fontFile_; }

  QLineEdit* TextEdit() const { return text_; }
  QLabel* FontName() const { return fontName_; }
  QPushButton* OtherFontsButton() const { return otherFonts_; }

  // Asks for a font: the font dialog unless a test sets another chooser.
  std::function<std::optional<QFont>(const QFont& current)> chooseFont;

 private:
  void ChooseFont();
  // The font's file name shown; OK only with a text and a font.
  void Refresh();

  QLineEdit* text_;
  QLabel* fontName_;
  QPushButton* otherFonts_;
  QPushButton* ok_;
  QFont font_;
  std::filesystem::path fontFile_;
};

}  // namespace tessaran
