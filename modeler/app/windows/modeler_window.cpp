#include "modeler/app/windows/modeler_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <memory>

#include "modeler/app/build_ops.h"
#include "modeler/app/edit_ops.h"
#include "modeler/app/lamp_ops.h"
#include "modeler/app/model_files.h"
#include "modeler/app/object_material.h"
#include "modeler/app/tool_ops.h"
#include "modeler/app/windows/attributes_dialog.h"
#include "modeler/app/windows/info_dialog.h"
#include "modeler/app/windows/edit_commands.h"
#include "modeler/app/windows/primitive_dialog.h"
#include "modeler/app/windows/scale_dialog.h"
#include "modeler/app/windows/selection_drag.h"
#include "modeler/app/windows/transform_dialog.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_link.h"
#include "modeler/geometry/camera.h"
#include "modeler/geometry/primitives.h"
#include "platform/report.h"
#include "platform/sysinfo.h"
#include "scene/keyframes.h"
#include "scene/maq_file.h"
#include "ui/dialog_texts.h"

namespace tessaran {

namespace fs = std::filesystem;

namespace {

constexpr char kFrameTitle[] = "TESSARAN DRAWING SYNTHESIS";
constexpr char kAnimationTitle[] = "ANIMATION Creation (*.MAQ)";
constexpr char kEnglishLibrary[] = "QMXAN.DLL";
constexpr char kFrenchLibrary[] = "QMXFR.DLL";

// Messages of the modeler's library.
constexpr int kMsgQuit = 3;
constexpr int kMsgEraseModel = 4;
constexpr int kMsgSaveEnvironment = 7;
constexpr int kMsgDeleteObjects = 9;
constexpr int kMsgDistance = 28;
constexpr int kMsgNoDistance = 29;
constexpr int kMsgOpenTitle = 75;
constexpr int kMsgInsertTitle = 76;
constexpr int kMsgSaveTitle = 77;
constexpr int kMsgTitleNamed = 85;
constexpr int kMsgTitleNoName = 86;
constexpr int kMsgTitleAnimation = 87;
constexpr int kMsgRenderSaveTitle = 90;
constexpr int kMsgOpenErases = 95;
constexpr int kMsgObjectSizing = 69;
constexpr int kMsgObjectMoving = 72;
constexpr int kMsgObjectRotation = 74;

// Texts of the file dialogs ("FILES").
constexpr int kTextModelFilter = 1;
constexpr int kTextModelOrDxfFilter = 2;
constexpr int kTextBlankInPath = 3;

// The commands the frame and its views carry out; the others of the menu
// stay greyed.
constexpr int kHandledCommands[] = {
    kCmdAddWindow, kCmdNew, kCmdOpen, kCmdInsert, kCmdSave, kCmdSaveAs, kCmdEnvironment, kCmdAnimation, kCmdAbout,
    kCmdDeleteWindow, kCmdScrollBars, kCmdRendering, kCmdPlaying, kCmdQuit, kCmdPlan, kCmdBox, kCmdDisc, kCmdCylinder, kCmdSphere, kCmdRing, kCmdDuplicate, kCmdDelete, kCmdUndo, kCmdRedo, kCmdSelectAll, kCmdZoom, kCmdZoomIn,
    kCmdZoomOut, kCmdRotation, kCmdMove, kCmdPerspectiveMouse, kCmdPerspectiveAverage, kCmdPerspectiveNo,
    kCmdFrontView, kCmdSideView, kCmdTopView, kCmdSaveView, kCmdSeeView, kCmdAttributes, kCmdKeyframeAdd, kCmdKeyframeModify,
    kCmdKeyframeInsert, kCmdKeyframeDelete, kCmdKeyframeFirst, kCmdKeyframeNext, kCmdKeyframePrevious,
    kCmdKeyframeLast, kCmdCamera, kCmdMonoWindow, kCmdAutoArrange, kCmdLanguage, kCmdModeller, kCmdFrameRendering,
    kCmdFrameQuit, kCmdRotateSelection, kCmdMoveSelection, kCmdSizeSelection, kCmdScrollBarsTurn,
    kCmdScrollBarsMove, kCmdScale, kCmdDistance, kCmdDrawBoxes, kCmdDrawWire, kCmdDrawSplinesSelected,
    kCmdDrawSplinesAll, kCmdDrawBoxesButSelection, kCmdDragRotate, kCmdDragMove, kCmdDragSize, kCmdProfileBase, kCmdProfileNew,
    kCmdProfileOpen, kCmdProfileSave, kCmdProfileQuit, kCmdPolygon, kCmdProfileModify, kCmdProfileDelete,
    kCmdProfileAdd, kCmdProfileZoom, kCmdStraight, kCmdPath, kCmdPivot, kCmdFont, kCmdStoreMaterial,
    kCmdRestoreMaterial, kCmdNewLamp, kCmdDeleteLamp, kCmdEditLamp};

bool Ask(int message) { return AskQuestion(QuestionButtons::OkCancel, message) == Answer::Ok; }

}  // namespace

ModelerWindow::ModelerWindow(SceneModel& scene, MessageLibrary& library, const ModelerSettings& settings,
                             ModelerLink* link)
    : scene_(scene), library_(library), settings_(settings), link_(link), area_(new QMdiArea(this)) {
  setCentralWidget(area_);
  area_->setBackground(QColor(0xC0, 0xC0, 0xC0));
  // Tiled in the order they opened: the first view, the scene's camera, first.
  area_->setActivationOrder(QMdiArea::CreationOrder);
  setAcceptDrops(true);
  scenePath_ = settings_.dataDirectory;
  chooseFile = [this](const FileRequest& request) -> std::optional<fs::path> {
    QFileDialog dialog(this, request.title, QString::fromStdString(request.directory.string()), request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return fs::path(dialog.selectedFiles().front().toStdString());
  };
  connect(area_, &QMdiArea::subWindowActivated, this, [this] { RefreshMenus(); });
  resize(1000, 720);
  BuildMenus();
  RefreshTitle();
}

ModelerWindow::~ModelerWindow() {
  // The views close their tables on the scene before the scene can go.
  for (QMdiSubWindow* window : windows_) disconnect(window, nullptr, this, nullptr);
  delete area_;
}

std::vector<ModelView*> ModelerWindow::Views() const {
  std::vector<ModelView*> views;
  for (QMdiSubWindow* window : windows_) views.push_back(static_cast<ModelView*>(window->widget()));
  return views;
}

QMdiSubWindow* ModelerWindow::ActiveWindow() const {
  QMdiSubWindow* active = area_->activeSubWindow();
  if (std::find(windows_.begin(), windows_.end(), active) != windows_.end()) return active;
  return windows_.empty() ? nullptr : windows_.back();
}

ModelView* ModelerWindow::ActiveView() const {
  QMdiSubWindow* active = ActiveWindow();
  return active ? static_cast<ModelView*>(active->widget()) : nullptr;
}

void ModelerWindow::StoreModelState() {
  if (windows_.empty()) return;
  scene_.View() = Views().front()->Camera();
  DeriveCamera(scene_.View());
}

void ModelerWindow::RedrawViews(bool sceneCamera) {
  const std::vector<ModelView*> views = Views();
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (i == 0 && sceneCamera) {
      views[i]->SetCamera(scene_.View());
    } else {
      views[i]->Redraw();
    }
  }
  RefreshTitle();
  RefreshMenus();
}

bool ModelerWindow::AddView() {
  if (windows_.size() >= static_cast<std::size_t>(kMaxViews)) return false;
  const bool first = windows_.empty();
  auto* view = new ModelView(scene_);
  // A new view looks as the scene's camera does.
  if (!first) StoreModelState();
  view->SetCamera(scene_.View());
  view->SetCameraShown(cameraShown_);
  view->SetScrollBarsShown(scrollBarsShown_);
  view->SetScrollBarRole(scrollBarRole_);
  view->selectionDragStarted = [this] { return StartSelectionDrag(); };
  view->selectionDragged = [this, view](ViewInteraction kind, QPoint from, QPoint to) {
    DragSelectionTo(*view, kind, from, to);
  };
  view->selectionDragEnded = [this] { EndSelectionDrag(); };
  view->selectionChanged = [this] {
    SelectGlued(scene_);
    RedrawViews();
  };
  view->cutPlaneMoved = [this](const Vec3& point) { ShowCutPlane(point); };
  view->SetCutPlane(cutPlane_);
  view->setContextMenuPolicy(Qt::ActionsContextMenu);
  SetViewCommands(*view);
  QMdiSubWindow* window = area_->addSubWindow(view);
  window->setAttribute(Qt::WA_DeleteOnClose);
  connect(window, &QObject::destroyed, this, [this, window] { ViewClosed(window); });
  windows_.push_back(window);
  window->show();
  area_->tileSubWindows();
  if (first) BuildMenus();
  RefreshTitle();
  return true;
}

void ModelerWindow::SetViewCommands(ModelView& view) {
  for (QAction* action : view.actions()) {
    view.removeAction(action);
    delete action;
  }
  const std::pair<int, QString> commands[] = {
      {kCmdMoveSelection, MessageString(library_, kMsgObjectMoving).trimmed()},
      {kCmdSizeSelection, MessageString(library_, kMsgObjectSizing).trimmed()},
      {kCmdRotateSelection, MessageString(library_, kMsgObjectRotation).trimmed()},
      {kCmdDragMove, DialogText(library_, "SOURIS", 1)},
      {kCmdDragSize, DialogText(library_, "SOURIS", 2)},
      {kCmdDragRotate, DialogText(library_, "SOURIS", 3)}};
  for (const auto& [command, text] : commands) {
    auto* action = new QAction(text, &view);
    // The command acts on the view whose menu it is.
    connect(action, &QAction::triggered, this, [this, &view, command = command] {
      if (auto* window = qobject_cast<QMdiSubWindow*>(view.parentWidget())) area_->setActiveSubWindow(window);
      Command(command);
    });
    view.addAction(action);
  }
}

void ModelerWindow::ViewClosed(QMdiSubWindow* window) {
  const auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return;
  windows_.erase(it);
  if (window == profileWindow_) LeaveProfilePhase();
  if (windows_.empty()) BuildMenus();
  RefreshTitle();
}

void ModelerWindow::BuildMenus() {
  actions_ = BuildMenuBar(*menuBar(), library_.Menu(windows_.empty() ? "QMX" : profileView_ ? "#2" : "#1"));
  for (auto& [id, action] : actions_) {
    connect(action, &QAction::triggered, this, [this, id = id] { Command(id); });
  }
  const std::pair<int, QKeySequence> shortcuts[] = {
      {kCmdNew, QKeySequence::New},       {kCmdOpen, QKeySequence::Open},       {kCmdSave, QKeySequence::Save},
      {kCmdSaveAs, QKeySequence::SaveAs}, {kCmdQuit, QKeySequence::Quit},       {kCmdFrameQuit, QKeySequence::Quit},
      {kCmdSelectAll, QKeySequence::SelectAll}, {kCmdUndo, QKeySequence::Undo}, {kCmdRedo, QKeySequence::Redo}, {kCmdZoomIn, QKeySequence::ZoomIn}, {kCmdZoomOut, QKeySequence::ZoomOut}};
  for (const auto& [id, keys] : shortcuts) {
    if (actions_.count(id)) actions_[id]->setShortcut(keys);
  }
  for (int id : {kCmdAnimation, kCmdCamera, kCmdScrollBars, kCmdScrollBarsTurn, kCmdScrollBarsMove, kCmdCutPlane,
                 kCmdDrawBoxes, kCmdDrawWire, kCmdDrawSplinesSelected, kCmdDrawSplinesAll, kCmdDrawBoxesButSelection}) {
    if (actions_.count(id)) actions_[id]->setCheckable(true);
  }
  RefreshMenus();
}

void ModelerWindow::RefreshMenus() {
  for (auto& [id, action] : actions_) {
    const bool keyframe = id >= kCmdKeyframeAdd && id <= kCmdKeyframeLast;
    const bool handled = std::find(std::begin(kHandledCommands), std::end(kHandledCommands), id) !=
                             std::end(kHandledCommands) ||
                         IsEditCommand(id) || id == kCmdCutPlane;
    action->setEnabled(handled && (!keyframe || animation_));
  }
  auto check = [&](int id, bool on) {
    if (actions_.count(id)) actions_[id]->setChecked(on);
  };
  check(kCmdAnimation, animation_);
  check(kCmdCamera, cameraShown_);
  check(kCmdScrollBars, scrollBarsShown_);
  check(kCmdScrollBarsTurn, scrollBarRole_ == ScrollBarRole::Rotation);
  check(kCmdScrollBarsMove, scrollBarRole_ == ScrollBarRole::Move);
  const ModelView* active = ActiveView();
  for (int id = kCmdDrawBoxes; id <= kCmdDrawBoxesButSelection; ++id) {
    check(id, active && static_cast<int>(active->Mode()) == id - kCmdDrawBoxes + 1);
  }
  check(kCmdCutPlane, cutPlane_.has_value());
  if (actions_.count(kCmdAddWindow)) actions_[kCmdAddWindow]->setEnabled(windows_.size() < kMaxViews);
  if (actions_.count(kCmdUndo)) actions_[kCmdUndo]->setEnabled(history_.CanUndo());
  if (actions_.count(kCmdRedo)) actions_[kCmdRedo]->setEnabled(history_.CanRedo());
}

void ModelerWindow::RefreshTitle() {
  if (windows_.empty()) {
    setWindowTitle(kFrameTitle);
    return;
  }
  if (profileView_) {
    setWindowTitle(ProfileTitle());
    return;
  }
  const std::string name = scenePath_.filename().string();
  const SceneHeader& h = scene_.Header();
  if (animation_) {
    setWindowTitle(MessageString(library_, kMsgTitleAnimation, h.sceneNumber, h.sceneCount, name.c_str()));
  } else if (named_) {
    setWindowTitle(MessageString(library_, kMsgTitleNamed, name.c_str()));
  } else {
    setWindowTitle(MessageString(library_, kMsgTitleNoName));
  }
}

void ModelerWindow::Command(int id) {
  StoreModelState();
  if (id >= kCmdKeyframeAdd && id <= kCmdKeyframeLast) return KeyframeCommand(id);
  if (id == kCmdProfileBase || (id >= kCmdProfileNew && id <= kCmdPivot)) return ProfileCommand(id);
  switch (id) {
    case kCmdModeller:
    case kCmdAddWindow:
      AddView();
      break;
    case kCmdFrameRendering:
      if (link_) link_->ShowRenderer();
      break;
    case kCmdFrameQuit:
    case kCmdQuit:
      close();
      return;
    case kCmdNew:
      return NewModel();
    case kCmdOpen:
      return OpenModel();
    case kCmdInsert:
      return Edit(id);
    case kCmdSave:
      Save();
      break;
    case kCmdSaveAs:
      SaveAs(MessageString(library_, kMsgSaveTitle));
      break;
    case kCmdEnvironment:
      return SaveEnvironment();
    case kCmdAnimation:
      return ToggleAnimation();
    case kCmdAbout:
      return ShowAbout();
    case kCmdDeleteWindow:
      if (QMdiSubWindow* active = ActiveWindow()) {
        // Gone from the views at once; the window itself goes once closed.
        ViewClosed(active);
        active->close();
      }
      return;
    case kCmdScrollBars:
      scrollBarsShown_ = !scrollBarsShown_;
      for (ModelView* view : Views()) view->SetScrollBarsShown(scrollBarsShown_);
      break;
    case kCmdScrollBarsTurn:
    case kCmdScrollBarsMove:
      scrollBarRole_ = id == kCmdScrollBarsTurn ? ScrollBarRole::Rotation : ScrollBarRole::Move;
      for (ModelView* view : Views()) view->SetScrollBarRole(scrollBarRole_);
      break;
    case kCmdDistance:
      return ShowDistance();
    case kCmdCamera:
      cameraShown_ = !cameraShown_;
      for (ModelView* view : Views()) view->SetCameraShown(cameraShown_);
      break;
    case kCmdRendering:
      return Render();
    case kCmdPlaying:
      if (link_) link_->ShowPlayer();
      return;
    case kCmdSelectAll:
      for (int k = 0; k < scene_.Header().objectCount; ++k) scene_.State(k).selection = 1;
      return RedrawViews();
    case kCmdMonoWindow:
      if (QMdiSubWindow* active = ActiveWindow()) {
        active->showMaximized();
      }
      return;
    case kCmdAutoArrange:
      area_->tileSubWindows();
      return;
    case kCmdLanguage:
      return SwitchLanguage();
    case kCmdCutPlane:
      return ToggleCutPlane();
    case kCmdUndo:
    case kCmdRedo:
      if (id == kCmdUndo ? history_.Undo(scene_) : history_.Redo(scene_)) {
        RedrawViews();
      } else {
        QApplication::beep();
      }
      return;
    case kCmdStoreMaterial:
      return StoreMaterial();
    case kCmdAttributes:
    case kCmdFont:
    case kCmdRestoreMaterial:
    case kCmdNewLamp:
    case kCmdEditLamp:
    case kCmdDeleteLamp:
    case kCmdPlan:
    case kCmdBox:
    case kCmdDisc:
    case kCmdCylinder:
    case kCmdSphere:
    case kCmdRing:
    case kCmdDuplicate:
    case kCmdDelete:
    case kCmdRotateSelection:
    case kCmdMoveSelection:
    case kCmdSizeSelection:
    case kCmdScale:
      return Edit(id);
    default:
      if (IsEditCommand(id)) return Edit(id);
      return ViewCommand(id);
  }
  RefreshMenus();
}

void ModelerWindow::ViewCommand(int id) {
  ModelView* view = ActiveView();
  if (!view) return;
  switch (id) {
    case kCmdZoom:
      return view->StartInteraction(ViewInteraction::Zoom);
    case kCmdRotation:
      return view->StartInteraction(ViewInteraction::Rotation);
    case kCmdMove:
      return view->StartInteraction(ViewInteraction::Move);
    case kCmdPerspectiveMouse:
      return view->StartInteraction(ViewInteraction::Perspective);
    case kCmdZoomIn:
      return view->ZoomIn();
    case kCmdZoomOut:
      return view->ZoomOut();
    case kCmdPerspectiveAverage:
      return view->SetPerspective(kAveragePERS);
    case kCmdPerspectiveNo:
      return view->SetPerspective(kParallelPERS);
    case kCmdFrontView:
      return view->FrontView();
    case kCmdSideView:
      return view->SideView();
    case kCmdTopView:
      return view->TopView();
    case kCmdSaveView:
      return view->SaveView();
    case kCmdSeeView:
      view->SeeView();
      return;
    case kCmdDragMove:
      return view->StartInteraction(ViewInteraction::MoveSelection);
    case kCmdDragSize:
      return view->StartInteraction(ViewInteraction::SizeSelection);
    case kCmdDragRotate:
      return view->StartInteraction(ViewInteraction::RotateSelection);
    case kCmdDrawBoxes:
    case kCmdDrawWire:
    case kCmdDrawSplinesSelected:
    case kCmdDrawSplinesAll:
    case kCmdDrawBoxesButSelection:
      view->SetDrawMode(static_cast<DrawMode>(id - kCmdDrawBoxes + 1));
      return RefreshMenus();
    default:
      return;
  }
}

void ModelerWindow::KeyframeCommand(int id) {
  if (!animation_) return;
  Keyframes keyframes(scene_, scenePath_);
  switch (id) {
    case kCmdKeyframeAdd:
      keyframes.Add();
      break;
    case kCmdKeyframeModify:
      keyframes.Modify();
      break;
    case kCmdKeyframeInsert:
      keyframes.Insert();
      break;
    case kCmdKeyframeDelete:
      keyframes.Delete();
      break;
    case kCmdKeyframeFirst:
      keyframes.First();
      break;
    case kCmdKeyframeNext:
      keyframes.Next();
      break;
    case kCmdKeyframePrevious:
      keyframes.Previous();
      break;
    case kCmdKeyframeLast:
      keyframes.Last();
      break;
    default:
      return;
  }
  // A scene loaded brings its camera to the first view.
  RedrawViews(true);
}

void ModelerWindow::NewModel() {
  if (!Ask(kMsgEraseModel)) return;
  history_.Clear();
  scene_.NewScene();
  scene_.View() = ViewCamera{};
  DeriveCamera(scene_.View());
  // The dialogs keep starting in the model's folder.
  if (named_) scenePath_ = scenePath_.parent_path();
  named_ = false;
  animation_ = false;
  for (ModelView* view : Views()) view->SetCamera(scene_.View());
  RedrawViews();
}

QString ModelerWindow::ModelFilter(bool withDxf) const {
  if (withDxf) return DialogText(library_, "FILES", kTextModelOrDxfFilter) + " (*.MAQ *.maq *.DXF *.dxf)";
  return DialogText(library_, "FILES", kTextModelFilter) + " (*.MAQ *.maq)";
}

std::optional<fs::path> ModelerWindow::AskFile(FileRequest request) {
  std::error_code error;
  request.directory = fs::is_directory(scenePath_, error) ? scenePath_ : scenePath_.parent_path();
  std::optional<fs::path> file = chooseFile(request);
  if (file && request.save && file->extension().empty()) {
    file->replace_extension("." + request.defaultSuffix.toStdString());
  }
  return file;
}

void ModelerWindow::OpenModel() {
  if (scene_.Header().objectCount > 0 && !Ask(kMsgOpenErases)) return;
  const auto file = AskFile({MessageString(library_, kMsgOpenTitle), ModelFilter(true), "MAQ", false, {}});
  if (file) OpenFile(*file);
}

bool ModelerWindow::OpenFile(const fs::path& file) {
  StoreModelState();
  if (IsDxfFile(file)) {
    // Imported into an empty model made aside, so that a file that cannot
    // be imported leaves the model as it was. The model takes no name from
    // it: a save must not write the scene file over the DXF file.
    auto imported = std::make_unique<SceneModel>();
    imported->View() = scene_.View();
    BuildError error;
    if (!BuildImportDxf(*imported, file, error)) return false;
    if (ReadModelBytes(scene_, MaqFileBytes(*imported), ReadMode::Open) != 0) return false;
    scenePath_ = file.parent_path();
    named_ = false;
  } else {
    if (ReadModel(scene_, file, ReadMode::Open) != 0) return false;
    scenePath_ = file;
    named_ = true;
  }
  animation_ = false;
  // The changes before belong to another model.
  history_.Clear();
  if (windows_.empty()) AddView();
  RedrawViews(true);
  return true;
}

bool ModelerWindow::InsertModel() {
  const auto file = AskFile({MessageString(library_, kMsgInsertTitle), ModelFilter(true), "MAQ", false, {}});
  if (!file) return false;
  if (IsDxfFile(*file)) {
    BuildError error;
    return BuildImportDxf(scene_, *file, error);
  }
  return ReadModel(scene_, *file, ReadMode::Insert) == 0;
}

bool ModelerWindow::Save() {
  if (!named_) return SaveAs(MessageString(library_, kMsgSaveTitle));
  // In the animation phase the file holds every keyframe scene: the model
  // replaces the present one, the others are kept.
  if (animation_) return Keyframes(scene_, scenePath_).Modify() == 1;
  return WriteMaq(scene_, scenePath_, WriteOptions()) == 1;
}

MaqWriteOptions ModelerWindow::WriteOptions() const {
  // Saved from a view that draws the selection alone as splines: the file
  // tells which objects were not selected.
  MaqWriteOptions options;
  const ModelView* active = ActiveView();
  options.markUnselected = active && active->Mode() == DrawMode::SplinesSelected;
  return options;
}

bool ModelerWindow::SaveAs(const QString& title) {
  const auto file = AskFile({title, ModelFilter(false), "MAQ", true, {}});
  if (!file || !WriteMaq(scene_, *file, WriteOptions())) return false;
  // The new file holds this one scene: the animation phase of the old file ends.
  if (animation_) Keyframes(scene_, scenePath_).AnimationOff();
  animation_ = false;
  scenePath_ = *file;
  named_ = true;
  RefreshTitle();
  RefreshMenus();
  return true;
}

void ModelerWindow::SaveEnvironment() {
  if (!Ask(kMsgSaveEnvironment)) return;
  const QRect frame = geometry();
  settings_.mainWindow = {frame.right(), frame.top(), frame.left(), frame.bottom()};
  settings_.views = static_cast<int>(windows_.size());
  SaveViewSettings(scene_.View());
  WriteModelerSettings(settings_, library_.LanguageCode());
}

void ModelerWindow::ToggleAnimation() {
  Keyframes keyframes(scene_, scenePath_);
  if (animation_) {
    keyframes.AnimationOff();
    animation_ = false;
  } else {
    if (!named_) {
      const auto file = AskFile({kAnimationTitle, ModelFilter(false), "MAQ", true, {}});
      // Cancelled: the phase stays off.
      if (!file) return RefreshMenus();
      scenePath_ = *file;
      named_ = true;
    }
    animation_ = Keyframes(scene_, scenePath_).AnimationOn() == 1;
  }
  RedrawViews();
}

void ModelerWindow::ShowAbout() {
  InfoDialog dialog(library_, scene_, AvailableMemory() / 1024, this);
  dialog.exec();
}

void ModelerWindow::ShowDistance() {
  if (const std::optional<double> distance = SelectionDistance(scene_)) {
    ShowMessage(MessageKind::Information, kMsgDistance, static_cast<int>(std::lround(*distance)));
  } else {
    ShowMessage(MessageKind::Warning, kMsgNoDistance);
  }
}

bool ModelerWindow::StartSelectionDrag() {
  if (!HasSelection()) {
    QApplication::beep();
    return false;
  }
  dragBefore_ = scene_.TakeSnapshot();
  dragMoved_ = false;
  return true;
}

void ModelerWindow::DragSelectionTo(const ModelView& view, ViewInteraction kind, QPoint from, QPoint to) {
  if (!dragBefore_) return;
  // The whole travel from the press, applied to the scene as it was then:
  // no rounding gathers over the mouse's many small steps.
  if (dragMoved_ && !scene_.RestoreSnapshot(*dragBefore_)) return;
  BuildError refused;
  dragMoved_ = DragSelection(scene_, kind, view.Camera(), view.Mapping(), from, to, refused);
  RedrawViews();
}

void ModelerWindow::EndSelectionDrag() {
  if (dragBefore_ && dragMoved_) history_.Push(std::move(*dragBefore_));
  dragBefore_.reset();
  dragMoved_ = false;
  RedrawViews();
}

void ModelerWindow::Render() {
  if (scene_.Header().objectCount > 0 && !named_) SaveAs(MessageString(library_, kMsgRenderSaveTitle));
  if (!link_) return;
  if (!named_) {
    link_->ShowRenderer();
    return;
  }
  std::error_code error;
  const std::string path = fs::absolute(scenePath_, error).string();
  // The renderer takes its argument as one blank-free word: a path with a
  // blank would reach it cut, naming another file.
  if (path.find_first_of(" \t\n") != std::string::npos) {
    QMessageBox::warning(this, Utf8(library_.Caption(MessageKind::Warning)),
                         DialogText(library_, "FILES", kTextBlankInPath).arg(QString::fromStdString(path)));
    return;
  }
  link_->Render(path);
}

void ModelerWindow::SwitchLanguage() {
  const char* other = library_.SystemName() == kEnglishLibrary ? kFrenchLibrary : kEnglishLibrary;
  // A library that cannot be loaded leaves the language and menus as they were.
  if (library_.Load(other) == LoadResult::Loaded) {
    BuildMenus();
    for (ModelView* view : Views()) SetViewCommands(*view);
  }
  RefreshTitle();
}

void ModelerWindow::ToggleCutPlane() {
  if (cutPlane_) {
    for (ModelView* view : Views()) {
      if (view->Interaction() == ViewInteraction::CutPlane) view->StartInteraction(ViewInteraction::Select);
    }
    return ShowCutPlane(std::nullopt);
  }
  const ModelView* active = ActiveView();
  ShowCutPlane(HasSelection() || !active ? SelectionCentre(scene_).value_or(Vec3{}) : active->Camera().CIBLE);
  if (ModelView* view = ActiveView()) view->StartInteraction(ViewInteraction::CutPlane);
}

void ModelerWindow::ShowCutPlane(const std::optional<Vec3>& point) {
  cutPlane_ = point;
  for (ModelView* view : Views()) view->SetCutPlane(point);
  RefreshMenus();
}

void ModelerWindow::Edit(int id) {
  SceneSnapshot before = scene_.TakeSnapshot();
  bool changed = false;
  BuildError error;
  switch (id) {
    case kCmdInsert:
      changed = InsertModel();
      break;
    case kCmdAttributes:
      changed = EditAttributes();
      break;
    case kCmdFont:
      changed = NewText();
      break;
    case kCmdRestoreMaterial:
      changed = RestoreMaterial();
      break;
    case kCmdNewLamp:
      changed = NewLamp();
      break;
    case kCmdEditLamp:
      changed = EditLamps();
      break;
    case kCmdDeleteLamp:
      changed = DeleteLamps();
      break;
    case kCmdDuplicate:
      // A scene that cannot grow has shown message 31.
      changed = BuildDuplicate(scene_, error);
      break;
    case kCmdDelete:
      changed = HasSelection() && Ask(kMsgDeleteObjects) && BuildDelete(scene_, error);
      break;
    case kCmdRotateSelection:
    case kCmdMoveSelection:
    case kCmdSizeSelection:
      changed = TransformSelection(id);
      break;
    case kCmdScale:
      changed = ScaleSelection();
      break;
    case kCmdStraight:
    case kCmdPath:
    case kCmdPivot:
      changed = SweepProfile(id);
      break;
    default:
      changed = IsEditCommand(id) ? EditSelection(id) : NewPrimitive(id);
      break;
  }
  if (changed) history_.Push(std::move(before));
  RedrawViews();
}

bool ModelerWindow::EditSelection(int id) {
  // As the active view shows the scene; the cut plane when it is shown.
  const ModelView* view = ActiveView();
  return RunEditCommand(scene_, id, view ? view->Camera() : scene_.View(), cutPlane_);
}

bool ModelerWindow::HasSelection() const {
  for (int k = 0; k < scene_.Header().objectCount; ++k) {
    if (scene_.State(k).selection == 1) return true;
  }
  return false;
}

bool ModelerWindow::NewPrimitive(int id) {
  // The batch mode's names, in the order of the commands.
  static constexpr const char* kNames[] = {"plan", "box", "disc", "cylinder", "sphere", "ring"};
  const auto kind = static_cast<Primitive>(id - kCmdPlan);
  PrimitiveDialog dialog(library_, kind, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  BuildError error;
  const int top = dialog.Top() ? dialog.Top()->value() : -1;
  // A scene that cannot grow has shown message 31.
  return BuildPrimitive(scene_, kNames[id - kCmdPlan], dialog.Horizontal()->value(), dialog.Vertical()->value(),
                        top, error);
}

bool ModelerWindow::TransformSelection(int id) {
  const Transform transform = id == kCmdRotateSelection ? Transform::Rotate
                              : id == kCmdMoveSelection ? Transform::Move
                                                        : Transform::Size;
  TransformDialog dialog(library_, transform, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  // A refusal (nothing selected, a point beyond what the scene file holds)
  // leaves every object where it was.
  BuildError error;
  if (transform == Transform::Move) {
    // The selected lamps move with the selected objects, or alone; a
    // refusal of either leaves both where they were.
    const std::vector<int> lamps = SelectedLamps(scene_);
    if (lamps.empty()) return BuildMove(scene_, dialog.X(), dialog.Y(), dialog.Z(), error);
    const Lamps before = scene_.SceneLamps();
    if (!BuildMoveLamps(scene_, lamps, dialog.X(), dialog.Y(), dialog.Z(), error)) return false;
    if (HasSelection() && !BuildMove(scene_, dialog.X(), dialog.Y(), dialog.Z(), error)) {
      scene_.SceneLamps() = before;
      return false;
    }
    return true;
  }
  if (transform == Transform::Size) return BuildSize(scene_, dialog.X(), dialog.Y(), dialog.Z(), error);
  return BuildRotate(scene_, dialog.X(), dialog.Y(), dialog.Z(), error);
}

bool ModelerWindow::ScaleSelection() {
  if (!HasSelection()) {
    QApplication::beep();
    return false;
  }
  ScaleDialog dialog(library_, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  // A scale that would carry the selection beyond what the scene file holds
  // leaves every object where it was.
  BuildError error;
  return BuildScale(scene_, dialog.Percent()->value(), error);
}

bool ModelerWindow::EditAttributes() {
  int first = 0;
  while (first < scene_.Header().objectCount && scene_.State(first).selection != 1) ++first;
  if (first == scene_.Header().objectCount) {
    QApplication::beep();
    return false;
  }
  ObjectMaterial material = MaterialOf(scene_, first);
  std::error_code error;
  const fs::path directory = fs::is_directory(scenePath_, error) ? scenePath_ : scenePath_.parent_path();
  const auto see = [this](const ObjectMaterial& shown) {
    if (link_) link_->PreviewMaterial(link::EncodeMaterialBlock(PreviewBlock(shown)));
  };
  AttributesDialog dialog(library_, material, picker_, settings_.previewBmp, directory, see, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  // A refusal leaves the objects as they were; a faceted object refused the
  // spline rendering has shown message 38.
  BuildError refused;
  return ApplyMaterial(scene_, material, refused);
}

void ModelerWindow::closeEvent(QCloseEvent* event) {
  if (!quitAsked_ && !Ask(kMsgQuit)) {
    event->ignore();
    return;
  }
  quitAsked_ = true;
  event->accept();
}

void ModelerWindow::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile() && IsModelFile(url.toLocalFile().toStdString())) return event->acceptProposedAction();
  }
}

void ModelerWindow::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    const fs::path file = url.toLocalFile().toStdString();
    if (!url.isLocalFile() || !IsModelFile(file)) continue;
    event->acceptProposedAction();
    if (scene_.Header().objectCount > 0 && !Ask(kMsgOpenErases)) return;
    OpenFile(file);
    return;
  }
}

}  // namespace tessaran
