// The dialogs of the 2D phase, each two whole numbers with "Minimum":
// "POLYG" (points and diameter of the regular polygon), "EXTRUDE" (depth and
// meshing of the extrusions) and "PIVOT" (angle and meshing of the
// revolution).
#pragma once

#include <QDialog>

#include "messages/message_library.h"

class QPushButton;
class QSpinBox;

namespace tessaran {

// One value of a dialog: shown first, set by "Minimum", and its range.
struct ProfileValue {
  int initial;
  int minimum;
  int low;
  int high;
};

struct ProfileValuesForm {
  const char* dialog;
  ProfileValue first;
  ProfileValue second;
};

// A polygon's corners leave room for its closing point among the 250.
inline constexpr ProfileValuesForm kPolygonForm{"POLYG", {12, 3, 3, 249}, {50, 10, 2, 10000}};
inline constexpr ProfileValuesForm kExtrudeForm{"EXTRUDE", {100, 0, -10000, 10000}, {4, 1, 1, 1000}};
inline constexpr ProfileValuesForm kPivotForm{"PIVOT", {360, 10, 1, 360}, {4, 4, 1, 1000}};

class ProfileValuesDialog final : public QDialog {
  Q_OBJECT

 public:
  ProfileValuesDialog(const MessageLibrary& library, const ProfileValuesForm& form, QWidget* parent);

  QSpinBox* First() const { return first_; }
  QSpinBox* Second() const { return second_; }
  QPushButton* MinimumButton() const { return minimum_; }

 private:
  QSpinBox* first_;
  QSpinBox* second_;
  QPushButton* minimum_;
};

}  // namespace tessaran
