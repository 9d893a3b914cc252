// The pixel (500) and ray-tracing (2000) settings: the antialiasing level,
// the cast shadows of the sun and of the modeler's lamps (kept apart for
// the two modes), and for ray tracing the sky and ground switches, the
// recursion depth, the ambient intensity and whether the sky and ground
// mappings are on. OK stores them in the working copy.
#pragma once

#include <QDialog>
#include <array>

#include "messages/message_library.h"
#include "renderer/app/render_project.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace tessaran {

class ModeDialog final : public QDialog {
  Q_OBJECT

 public:
  ModeDialog(const MessageLibrary& library, RenderProject& copy, bool rayTracing, QWidget* parent);
  QRadioButton* Level(int level) const { return levels_[static_cast<std::size_t>(level)]; }

 private:
  void Store();

  RenderProject& copy_;
  bool rayTracing_;
  std::array<QRadioButton*, 4> levels_{};
  QCheckBox* sunShadows_;
  QCheckBox* lampShadows_;
  QCheckBox* sky_ = nullptr;
  QCheckBox* ground_ = nullptr;
  QCheckBox* skyMapping_ = nullptr;
  QCheckBox* groundMapping_ = nullptr;
  QSpinBox* recursion_ = nullptr;
  QSpinBox* ambient_ = nullptr;
};

}  // namespace tessaran
