// The modeler's frame "TESSARAN DRAWING SYNTHESIS": the small menu "QMX"
// while no view is open, otherwise up to six views in its working area
// with the menu "#1" of the message library; the file, window, view,
// keyframe and animation commands, the material of the selection, the
// render, play and material preview requests through the program link, the language switch and quit,
// and the 2D phase of the profile (menu "#2"). Every command stores the
// first view's camera in the scene before it runs, as the scene's camera.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "messages/message_library.h"
#include "modeler/app/modeler_settings.h"
#include "modeler/app/object_material.h"
#include "modeler/app/undo_history.h"
#include "modeler/app/windows/model_view.h"
#include "scene/maq_file.h"
#include "modeler/app/windows/profile_view.h"
#include "scene/scene_model.h"
#include "ui/image_picker.h"
#include "ui/menus.h"

class QMdiArea;
class QMdiSubWindow;

namespace tessaran {

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
  kCmdScrollBarsTurn = 182,
  kCmdScrollBarsMove = 183,
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
  kCmdProfileBase = 220,
  kCmdRemesh = 230,
  kCmdSubstitutePlan = 241,
  kCmdSubstituteBox = 242,
  kCmdSubstituteDisc = 243,
  kCmdSubstituteCylinder = 244,
  kCmdSubstituteSphere = 245,
  kCmdSubstituteRing = 246,
  kCmdCutTop = 261,
  kCmdCutBottom = 262,
  kCmdCutSide = 263,
  kCmdDuplicate = 270,
  kCmdMirror = 280,
  kCmdDelete = 290,
  kCmdGlue = 291,
  kCmdMagnet = 292,
  kCmdSelectAll = 293,
  kCmdMerge = 294,
  kCmdDivide = 295,
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
  kCmdCutPlane = 610,
  kCmdScale = 620,
  kCmdDistance = 630,
  kCmdCamera = 640,
  // Drawing modes of the active view, in the order of DrawMode.
  kCmdDrawBoxes = 651,
  kCmdDrawWire = 652,
  kCmdDrawSplinesSelected = 653,
  kCmdDrawSplinesAll = 654,
  kCmdDrawBoxesButSelection = 655,
  kCmdMonoWindow = 673,
  kCmdAutoArrange = 674,
  kCmdLanguage = 681,
  // The 2D phase's menu "#2": the profile, its drawing and its sweeps.
  kCmdProfileNew = 700,
  kCmdProfileOpen = 710,
  kCmdProfileSave = 720,
  kCmdProfileQuit = 730,
  kCmdPolygon = 800,
  kCmdProfileModify = 810,
  kCmdProfileDelete = 820,
  kCmdProfileAdd = 830,
  kCmdProfileZoom = 840,
  kCmdStraight = 901,
  kCmdPath = 902,
  kCmdPivot = 910,
  // The views' own menu: the selection turned, moved or sized.
  kCmdRotateSelection = 2010,
  kCmdMoveSelection = 2020,
  kCmdSizeSelection = 2030,
  // The same with the mouse: the next drag in the view.
  kCmdDragRotate = 2011,
  kCmdDragMove = 2021,
  kCmdDragSize = 2031,
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
  // The cut plane's point while "Cut Plan" shows it.
  const std::optional<Vec3>& CutPlane() const { return cutPlane_; }
  const ModelerSettings& Settings() const { return settings_; }
  // The first view's camera into the scene: the scene's camera.
  void StoreModelState();
  // The profile of the 2D phase, kept from one phase to the next, and its
  // drawing over the active view while the phase lasts (else null).
  const Profile2D& Profile() const { return profile_; }
  ProfileView* ProfileEditor() const { return profileView_; }

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
  // An editing command of the "Edit" menu on the selection (edit_commands.h).
  bool EditSelection(int id);
  bool InsertModel();
  bool Save();
  bool SaveAs(const QString& title);
  MaqWriteOptions WriteOptions() const;
  void SaveEnvironment();
  void ToggleAnimation();
  void ShowAbout();
  void Render();
  void SwitchLanguage();
  // "Cut Plan": shows the cut plane through the selection's centre, placed by
  // the active view's next drag, or hides it.
  void ToggleCutPlane();
  void ShowCutPlane(const std::optional<Vec3>& point);
  // A primitive of the "Primitives" menu through its dialog.
  bool NewPrimitive(int id);
  // "DEPLACEMENT" or "ROTATION" for the selected objects.
  bool TransformSelection(int id);
  // "ATTRIBUTS" for the selected objects, from the first one's material.
  bool EditAttributes();
  // "ECHELLE" for the selected objects.
  bool ScaleSelection();
  void ShowDistance();
  // A drag of the selection in a view: the scene at the press, each mouse
  // position applied to it afresh, one step of "Undo" at the release when
  // the selection moved.
  bool StartSelectionDrag();
  void DragSelectionTo(const ModelView& view, ViewInteraction kind, QPoint from, QPoint to);
  void EndSelectionDrag();
  // The 2D phase ("2D->3D Base" to its "Quit"), in profile_phase.cpp.
  void ProfileCommand(int id);
  void EnterProfilePhase();
  void LeaveProfilePhase();
  QString ProfileTitle() const;
  void OpenProfile();
  void SaveProfile();
  void NewPolygon();
  // Whether the sweeps can use the profile; if not, its message is shown.
  bool ProfileSweepable() const;
  // "Straight", "Path" or "Pivot" through its dialog: a step of "Undo".
  bool SweepProfile(int id);
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
  ScrollBarRole scrollBarRole_ = ScrollBarRole::Rotation;
  std::optional<SceneSnapshot> dragBefore_;
  bool dragMoved_ = false;
  bool quitAsked_ = false;
  std::optional<Vec3> cutPlane_;
  Profile2D profile_;
  QPointer<ProfileView> profileView_;
  QMdiSubWindow* profileWindow_ = nullptr;  // the window drawn over, only compared
  int pivotAxis_ = 0;                        // the axis of the next "Pivot"
};

}  // namespace tessaran
