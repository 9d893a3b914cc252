// The dialog "INFO" of "About": what the scene holds beside what it can
// hold (objects, points, faces, lamps, maps) and the free memory.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "messages/message_library.h"
#include "scene/scene_model.h"

class QLabel;

namespace tessaran {

enum class InfoRow { Objects, Points, Faces, Lamps, Maps };
inline constexpr int kInfoRows = 5;

// What the scene holds of each kind and the most it can hold.
struct SceneFigure {
  long held = 0;
  long most = 0;
};
std::array<SceneFigure, kInfoRows> SceneFigures(const SceneModel& scene);

class InfoDialog final : public QDialog {
  Q_OBJECT

 public:
  InfoDialog(const MessageLibrary& library, const SceneModel& scene, std::uint64_t freeKb, QWidget* parent);

  // The number shown for the row: held (column 0) or its maximum (column 1).
  QLabel* Value(InfoRow row, int column) const {
    return values_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  }
  QLabel* FreeMemory() const { return memory_; }

 private:
  std::array<std::array<QLabel*, 2>, kInfoRows> values_{};
  QLabel* memory_;
};

}  // namespace tessaran
