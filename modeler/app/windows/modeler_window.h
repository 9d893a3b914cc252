// The modeler's frame "TESSARAN DRAWING SYNTHESIS": the small menu "QMX"
// while no view is open, otherwise up to six views in its working area
// with the menu "#1" of the message library; the file, window, view,
// keyframe and animation commands, the material of the selection, the
// render, play and material preview requests through the program link, the language switch and quit. Every command stores the
// first view's camera in the scene before it runs, as the scene's camera.
#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "messages/message_library.h"
#include "modeler/app/modeler_settings.h"
#include "modeler/app/object_material.h"
#include "modeler/app/undo_history.h"
#include "scene/scene_model.h"
#include "ui/image_picker.h"
#include "ui/menus.h"

class QMdiArea;
class QMdiSubWindow;

namespace tessaran {

class ModelView;
class ModelerLink;

// Menu commands of the frame and the views.
enum ModelerCommand {
  kCmdModeller = 1,
  kCmdFrameRendering = 2,
  kCmdFrameQuit = 3,
  kCmdAddWindow = 10,
  kCmdNew = 100,
  kCmdOpen = 110,
  kCmdInsert = 120,
  kCmdSave = 131,
  kCmdSaveAs = 140,
  kCmdEnvironment = 150,
  kCmdAnimation = 160,
  kCmdAbout = 170,
  kCmdDeleteWindow = 180,
  kCmdScrollBars = 181,
  kCmdRendering = 190,
  kCmdPlaying = 195,
  kCmdQuit = 199,
  kCmdUndo = 200,
  kCmdRedo = 201,
  kCmdPlan = 211,
  kCmdBox = 212,
  kCmdDisc = 213,
  kCmdCylinder = 214,
  kCmdSphere = 215,
  kCmdRing = 216,
  kCmdFont = 217,
  kCmdDuplicate = 270,
  kCmdDelete = 290,
  kCmdSelectAll = 293,
  kCmdZoom = 300,
  kCmdZoomIn = 301,
  kCmdZoomOut = 302,
  kCmdRotation = 310,
  kCmdMove = 320,
  kCmdPerspectiveMouse = 331,
  kCmdPerspectiveAverage = 332,
  kCmdPerspectiveNo = 333,
  kCmdFrontView = 341,
  kCmdSideView = 342,
  kCmdTopView = 343,
  kCmdSaveView = 380,
  kCmdSeeView = 390,
  kCmdAttributes = 400,
  kCmdStoreMaterial = 411,
  kCmdRestoreMaterial = 412,
  kCmdNewLamp = 421,
  kCmdDeleteLamp = 422,
  kCmdEditLamp = 423,
  kCmdKeyframeAdd = 500,
  kCmdKeyframeModify = 510,
  kCmdKeyframeInsert = 520,
  kCmdKeyframeDelete = 530,
  kCmdKeyframeFirst = 540,
  kCmdKeyframeNext = 550,
  kCmdKeyframePrevious = 560,
  kCmdKeyframeLast = 570,
  kCmdCamera = 640,
  kCmdMonoWindow = 673,
  kCmdAutoArrange = 674,
  kCmdLanguage = 681,
  // The views' own menu: the selection turned, moved or sized.
  kCmdRotateSelection = 2010,
  kCmdMoveSelection = 2020,
  kCmdSizeSelection = 2030,
};

// A file the user is asked for: the dialog's title, the Qt filter, the
// extension added to a name without one, and whether it is to be written.
struct FileRequest {
  QString title;
  QString filter;
  QString defaultSuffix;
  bool save = false;
  std::filesystem::path directory;
};

class ModelerWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // The scene outlives the window; `link` may be null (no renderer and
  // player then).
  ModelerWindow(SceneModel& scene, MessageLibrary& library, const ModelerSettings& settings,
                ModelerLink* link = nullptr);
  ~ModelerWindow() override;

  // The command of a menu id, as the menu runs it.
  void Command(int id);
  // Opens a scene file (".MAQ") or imports a DXF file in place of the
  // model; false when it could not be read (the model is then as it was).
  bool OpenFile(const std::filesystem::path& file);
  // Opens one more view and tiles the views; false when six are open.
  bool AddView();

  std::vector<ModelView*> Views() const;
  ModelView* ActiveView() const;
  const MenuActions& Actions() const { return actions_; }
  const std::filesystem::path& ScenePath() const { return scenePath_; }
  bool Named() const { return named_; }
  bool AnimationMode() const { return animation_; }
  const ModelerSettings& Settings() const { return settings_; }
  // The first view's camera into the scene: the scene's camera.
  void StoreModelState();

  // Asks for a file: a file dialog unless a test sets another chooser.
  std::function<std::optional<std::filesystem::path>(const FileRequest&)> chooseFile;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  // The view's own menu, on the selection, in the library's language.
  void SetViewCommands(ModelView& view);
  void RefreshMenus();
  void RefreshTitle();
  // Every view shows the scene again; the first takes the scene's camera
  // when `sceneCamera`.
  void RedrawViews(bool sceneCamera = false);
  void ViewCommand(int id);
  void KeyframeCommand(int id);
  void NewModel();
  void OpenModel();
  // The commands that change the model, each a step of "Undo" when it did.
  void Edit(int id);
  bool HasSelection() const;
  bool InsertModel();
  bool Save();
  bool SaveAs(const QString& title);
  void SaveEnvironment();
  void ToggleAnimation();
  void ShowAbout();
  void Render();
  void SwitchLanguage();
  // A primitive of the "Primitives" menu through its dialog.
  bool NewPrimitive(int id);
  // "DEPLACEMENT" or "ROTATION" for the selected objects.
  bool TransformSelection(int id);
  // "ATTRIBUTS" for the selected objects, from the first one's material.
  bool EditAttributes();
  // "Store" keeps the first selected object's material; "Restore" gives it
  // to every selected object.
  void StoreMaterial();
  bool RestoreMaterial();
  // "3D Font": the text of "FONT" as faceted objects.
  bool NewText();
  // The lamp commands: a new lamp through "LAMPE" and "COULEUR", those
  // dialogs on the selected lamps, and their removal.
  bool NewLamp();
  bool EditLamps();
  bool DeleteLamps();
  std::optional<std::filesystem::path> AskFile(FileRequest request);
  QString ModelFilter(bool withDxf) const;
  void ViewClosed(QMdiSubWindow* window);
  // The active view's window, or the one opened last when none is active.
  QMdiSubWindow* ActiveWindow() const;

  SceneModel& scene_;
  MessageLibrary& library_;
  ModelerSettings settings_;
  ModelerLink* link_;
  ImagePicker picker_;
  UndoHistory history_;
  std::optional<ObjectMaterial> storedMaterial_;  // what "Store" kept
  QMdiArea* area_;
  std::vector<QMdiSubWindow*> windows_;  // in the order they opened: the first is the scene's camera
  MenuActions actions_;
  std::filesystem::path scenePath_;  // the model's file, or the folder the dialogs start in
  bool named_ = false;
  bool animation_ = false;
  bool cameraShown_ = false;
  bool scrollBarsShown_ = true;
  bool quitAsked_ = false;
};

}  // namespace tessaran
