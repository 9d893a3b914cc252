// The 2D phase of the modeler window: "2D->3D Base" lays the profile's
// drawing over the active view and puts up the menu "#2"; its "Quit" takes
// the drawing away and puts back "#1", keeping the profile for the next
// time. The sweeps are steps of "Undo" like every change of the model.
#include <QApplication>
#include <QSpinBox>

#include "modeler/app/build_ops.h"
#include "modeler/app/profile_ops.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/profile_values_dialog.h"
#include "modeler/app/windows/profile_view.h"
#include "modeler/geometry/profile_edit.h"
#include "platform/report.h"
#include "ui/dialog_texts.h"

namespace tessaran {

namespace {

constexpr int kMsgDeleteProfile = 23;
constexpr int kMsgReplaceProfile = 24;
constexpr int kMsgCannotOpen = 32;
constexpr int kMsgMergedPoints = 35;
constexpr int kMsgTooFewPoints = 36;
constexpr int kMsgPathTitle = 88;
constexpr int kMsgZoomTitle = 89;
constexpr int kMsgOpenProfileTitle = 91;
constexpr int kMsgSaveProfileTitle = 92;

constexpr char kProfileFilter[] = "*.TXT *.txt";
constexpr char kProfileSuffix[] = "TXT";

bool Ask(int message) { return AskQuestion(QuestionButtons::OkCancel, message) == Answer::Ok; }

}  // namespace

void ModelerWindow::ProfileCommand(int id) {
  if (id == kCmdProfileBase) return EnterProfilePhase();
  if (!profileView_) return;
  switch (id) {
    case kCmdProfileQuit:
      return LeaveProfilePhase();
    case kCmdProfileNew:
      if (!profile_.points.empty() && !Ask(kMsgDeleteProfile)) return;
      profile_ = {};
      break;
    case kCmdProfileOpen:
      return OpenProfile();
    case kCmdProfileSave:
      return SaveProfile();
    case kCmdPolygon:
      return NewPolygon();
    case kCmdProfileModify:
      return profileView_->SetTool(ProfileTool::Modify);
    case kCmdProfileDelete:
      return profileView_->SetTool(ProfileTool::Delete);
    case kCmdProfileAdd:
      return profileView_->SetTool(ProfileTool::Add);
    case kCmdProfileZoom:
      return profileView_->SetTool(ProfileTool::Zoom);
    case kCmdStraight:
      return Edit(id);
    case kCmdPath:
      // The path is drawn first, the sweep follows once it is ended.
      if (!ProfileSweepable()) return;
      profileView_->ClearPath();
      return profileView_->SetTool(ProfileTool::Path);
    case kCmdPivot:
      // The axis is placed first, the dialog follows the click.
      if (!ProfileSweepable()) return;
      return profileView_->SetTool(ProfileTool::Axis);
    default:
      return;
  }
  profileView_->update();
  RefreshTitle();
}

void ModelerWindow::EnterProfilePhase() {
  ModelView* view = ActiveView();
  if (profileView_ || !view) return;
  profileWindow_ = ActiveWindow();
  // The view's scroll bars turn its 3D camera: not shown over the profile.
  view->SetScrollBarsShown(false);
  profileView_ = new ProfileView(profile_, view);
  profileView_->changed = [this] { RefreshTitle(); };
  profileView_->pathEnded = [this] {
    const int before = scene_.Header().objectCount;
    Edit(kCmdPath);
    // Made: the path is done with; cancelled: it stays to be drawn on.
    if (scene_.Header().objectCount != before && profileView_) {
      profileView_->ClearPath();
      profileView_->SetTool(ProfileTool::Modify);
    }
  };
  profileView_->axisPlaced = [this](int x) {
    pivotAxis_ = x;
    Edit(kCmdPivot);
    if (profileView_) profileView_->SetTool(ProfileTool::Modify);
  };
  BuildMenus();
  RefreshTitle();
}

void ModelerWindow::LeaveProfilePhase() {
  if (profileView_) static_cast<ModelView*>(profileView_->parentWidget())->SetScrollBarsShown(scrollBarsShown_);
  delete profileView_.data();
  profileWindow_ = nullptr;
  BuildMenus();
  RefreshTitle();
}

QString ModelerWindow::ProfileTitle() const {
  if (profileView_->Tool() == ProfileTool::Path) return MessageString(library_, kMsgPathTitle);
  return MessageString(library_, kMsgZoomTitle, profileView_->ZoomPercent());
}

void ModelerWindow::OpenProfile() {
  const auto file = AskFile({MessageString(library_, kMsgOpenProfileTitle), kProfileFilter, kProfileSuffix, false, {}});
  if (!file) return;
  // Read aside: a file without points leaves the profile as it was (the
  // reader has shown message 35); one or two points are loaded after
  // message 36, as the file's rule has it.
  Profile2D read;
  switch (ReadProfileFile(*file, read)) {
    case ProfileRead::Ok:
    case ProfileRead::TooFew:
      profile_ = std::move(read);
      break;
    case ProfileRead::NoPoint:
      return;
    case ProfileRead::CannotOpen:
      ShowMessage(MessageKind::Warning, kMsgCannotOpen);
      return;
  }
  profileView_->update();
}

void ModelerWindow::SaveProfile() {
  // An empty profile would give a file that reads as no profile.
  if (profile_.points.empty()) return QApplication::beep();
  const auto file = AskFile({MessageString(library_, kMsgSaveProfileTitle), kProfileFilter, kProfileSuffix, true, {}});
  // The file is replaced only once written whole.
  if (file && !WriteProfileFile(*file, profile_)) ShowMessage(MessageKind::Warning, kMsgCannotOpen);
}

void ModelerWindow::NewPolygon() {
  if (!profile_.points.empty() && !Ask(kMsgReplaceProfile)) return;
  ProfileValuesDialog dialog(library_, kPolygonForm, this);
  if (dialog.exec() != QDialog::Accepted) return;
  profile_ = RegularPolygon(dialog.First()->value(), dialog.Second()->value());
  profileView_->update();
}

bool ModelerWindow::ProfileSweepable() const {
  switch (SweepUse(profile_)) {
    case ProfileUse::Usable:
      return true;
    case ProfileUse::TooFewPoints:
      ShowMessage(MessageKind::Warning, kMsgTooFewPoints);
      return false;
    case ProfileUse::MergedPoints:
      ShowMessage(MessageKind::Warning, kMsgMergedPoints);
      return false;
  }
  return false;
}

bool ModelerWindow::SweepProfile(int id) {
  if (!profileView_ || !ProfileSweepable()) return false;
  ProfileValuesDialog dialog(library_, id == kCmdPivot ? kPivotForm : kExtrudeForm, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  const int first = dialog.First()->value();
  const int second = dialog.Second()->value();
  // A refusal leaves the scene as it was; a scene that cannot grow has shown
  // message 31.
  BuildError error;
  if (id == kCmdPivot) return BuildPivot(scene_, profile_, pivotAxis_, first, second, error);
  if (id == kCmdPath) return BuildPathExtrude(scene_, profile_, profileView_->Path(), first, second, error);
  return BuildExtrude(scene_, profile_, first, second, error);
}

}  // namespace tessaran
