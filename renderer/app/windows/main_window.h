// The renderer's main window: the result image, the menu "#1" of the
// message library, the project dialog, and the render command run on this
// thread as the engine's coordinator while the pixel loop runs on the
// worker threads. Every command calls the same shell functions as
// `rz --batch`.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "messages/message_library.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/renderer_shell.h"
#include "renderer/engine/mapping.h"
#include "renderer/engine/scene_loop.h"
#include "ui/image_picker.h"
#include "ui/menus.h"

namespace tessaran {

class ImageView;
class StatusWindow;

// Menu commands of the main window.
enum RendererCommand {
  kCmdCurrent = 110,
  kCmdNew = 120,
  kCmdOpen = 130,
  kCmdSave = 140,
  kCmdSaveAs = 150,
  kCmdQuit = 160,
  kCmdAutoSize = 210,
  kCmdMagnifier = 220,
  kCmdClipboard = 250,
  kCmdEnglish = 261,
  kCmdFrench = 262,
  kCmdShowResult = 310,
  kCmdInformation = 320,
};

class RendererWindow final : public QMainWindow {
  Q_OBJECT

 public:
  RendererWindow(RendererShell& shell, MessageLibrary& library);

  // The command of a menu id, as the menu runs it.
  void Command(int id);
  // The project dialog on a working copy, and what its end asks for.
  void OpenProjectDialog();
  // The render command; returns the shell's result (kRenderDone, …).
  int Render();
  // Attaches a scene to the project and refreshes the title.
  void Attach(const std::filesystem::path& scene, bool allowDefault);
  // What the player is asked to show by "show result" (310).
  void SetShowResult(std::function<void(const RendererShell&)> show) { showResult_ = std::move(show); }
  // Told at the end of every render and material preview.
  void SetRenderEnded(std::function<void()> ended) { renderEnded_ = std::move(ended); }

  // The material preview: the preview sphere with the modeler's material,
  // in a window without its menu; while one runs, a new one stops it.
  int MaterialPreview(const PreviewMaterial& material, const std::array<PreviewMap, 3>& maps);
  bool ProjectDialogOpen() const { return dialogOpen_; }
  // Ends the open project dialog so that `scene` is attached and the
  // dialog opens again on it.
  void EndProjectDialogForScene(const std::string& scene, bool mayLoadDefault);
  // The window shown normally, on top, or the open dialog on top of it.
  void ShowOnTop();

  RenderState State() const { return state_; }
  const MenuActions& Actions() const { return actions_; }
  const QString& IconText() const { return iconText_; }
  ImageView* View() const { return view_; }
  StatusWindow* Status() const { return status_; }
  // Runs the project dialog and returns its end code: exec() unless a test
  // sets another runner that fills the dialog and ends it.
  std::function<int(class ProjectDialog&)> dialogRunner;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void BuildMenus();
  void RefreshMenus();
  void RefreshTitle();
  void SwitchLanguage(const char* systemName);
  void OpenProjectFile();
  // Loads a project and opens the dialog on it, as "Ouvrir" does.
  void OpenProject(const std::filesystem::path& path);
  // The recent projects, listed above "Quitter".
  void RefreshRecentProjects();
  bool SaveAs();
  void Save();
  void ShowInformation();
  void CopyToClipboard();
  void FitToImage();
  bool TakeDialogEnd(ProjectDialog& dialog, int code);
  void WriteSettings();
  // While minimised during a render, the icon shows the share done.
  void ShowIconicPercent(double percent);

  RendererShell& shell_;
  MessageLibrary& library_;
  ImageView* view_;
  StatusWindow* status_ = nullptr;
  MenuActions actions_;
  std::vector<QAction*> recentActions_;
  ResolutionPresets presets_;
  RenderState state_ = RenderState::Idle;
  bool dialogOpen_ = false;
  class ProjectDialog* dialog_ = nullptr;  // the open project dialog
  std::string pendingScene_;              // handed to the open dialog by the link
  bool pendingMayLoadDefault_ = true;
  bool previewShown_ = false;             // the window shows material previews
  QString iconText_;                      // the percentage the icon shows
  std::filesystem::path dialogDirectory_;
  // Bound once, as the window opens: the picture choices' file dialog.
  ImagePicker picker_;
  std::function<void(const RendererShell&)> showResult_;
  std::function<void()> renderEnded_;
};

}  // namespace tessaran
