#include "renderer/app/windows/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <chrono>

#include "platform/report.h"
#include "platform/sysinfo.h"
#include "renderer/app/material_preview.h"
#include "renderer/app/project_summary.h"
#include "renderer/app/render_poll.h"
#include "renderer/app/windows/image_view.h"
#include "renderer/app/windows/project_dialog.h"
#include "renderer/app/windows/status_window.h"
#include "scene/maq_scene.h"
#include "storage/virtim.h"
#include "ui/dialog_texts.h"
#include "ui/dispatching_progress.h"
#include "ui/file_filter.h"
#include "ui/vim_image.h"
#include "ui/window_fit.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgNoImageToCopy = 6;
constexpr int kMsgQuit = 11;
constexpr int kMsgMemory = 15;
constexpr int kMsgStopRender = 29;
constexpr int kMsgProjectFilter = 33;
constexpr int kMsgSaveAsTitle = 34;
constexpr int kMsgOpenTitle = 35;
constexpr int kMsgNoProjectTitle = 36;
constexpr int kMsgPreviewTitle = 298;

constexpr const char* kEnglishLibrary = "RZLNGENG.DLL";
constexpr const char* kFrenchLibrary = "RZLNGFRA.DLL";

// Commands greyed while a render runs (the language too: the engine's
// messages are formatted from the library during the render).
constexpr int kBusyCommands[] = {kCmdSave, kCmdNew, kCmdCurrent, kCmdOpen, kCmdSaveAs, kCmdInformation,
                                 kCmdEnglish, kCmdFrench};

int KiloBytes(std::uint64_t kb) { return static_cast<int>(std::min<std::uint64_t>(kb, INT32_MAX)); }

int SceneCountOf(const RenderProject& project) {
  MaqSceneFile file;
  if (file.Open(NativePath(project.SceneName())) != MaqStatus::Ok) return 0;
  return file.SceneCount();
}

}  // namespace

RendererWindow::RendererWindow(RendererShell& shell, MessageLibrary& library)
    : shell_(shell), library_(library), view_(new ImageView(this)), dialogDirectory_(shell.dataDirectory) {
  setCentralWidget(view_);
  // Made now, so that the window's size for an image counts it.
  statusBar();
  setAcceptDrops(true);
  view_->SetMagnifier(shell_.settings.loupeWindow);
  BuildMenus();
  // Esc stops a render at the current pixel, as the stop command does.
  auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(stop, &QShortcut::activated, this, [this] {
    if (state_ != RenderState::Idle) RequestStop();
  });
  dialogRunner = [](ProjectDialog& dialog) { return dialog.exec(); };
  RefreshTitle();
}

void RendererWindow::BuildMenus() {
  actions_ = BuildMenuBar(*menuBar(), library_.Menu("#1"));
  for (auto& [id, action] : actions_) {
    connect(action, &QAction::triggered, this, [this, id = id] { Command(id); });
  }
  // Conventional shortcuts of the commands that have one.
  const std::pair<int, QKeySequence> shortcuts[] = {{kCmdOpen, QKeySequence::Open},
                                                    {kCmdSave, QKeySequence::Save},
                                                    {kCmdSaveAs, QKeySequence::SaveAs},
                                                    {kCmdQuit, QKeySequence::Quit},
                                                    {kCmdClipboard, QKeySequence::Copy}};
  for (const auto& [id, keys] : shortcuts) {
    if (actions_.count(id)) actions_[id]->setShortcut(keys);
  }
  for (int id : {kCmdAutoSize, kCmdMagnifier, kCmdEnglish, kCmdFrench}) {
    if (actions_.count(id)) actions_[id]->setCheckable(true);
  }
  recentActions_.clear();  // the old menu bar took them with it
  RefreshRecentProjects();
  RefreshMenus();
}

void RendererWindow::RefreshRecentProjects() {
  for (QAction* action : recentActions_) delete action;
  recentActions_.clear();
  if (!actions_.count(kCmdQuit)) return;
  QAction* quit = actions_[kCmdQuit];
  QMenu* menu = nullptr;
  for (QAction* top : menuBar()->actions()) {
    if (top->menu() && top->menu()->actions().contains(quit)) menu = top->menu();
  }
  if (!menu || shell_.settings.recentProjects.empty()) return;
  int number = 0;
  for (const std::string& path : shell_.settings.recentProjects) {
    const QString name = QString::fromStdString(fs::path(path).filename().string());
    QAction* action = new QAction(QString("&%1 %2").arg(++number % 10).arg(name), menu);
    action->setToolTip(QString::fromStdString(path));
    action->setData(QString::fromStdString(path));
    connect(action, &QAction::triggered, this, [this, path] {
      if (state_ != RenderState::Idle) return;
      SavePrompt(shell_);
      OpenProject(path);
    });
    menu->insertAction(quit, action);
    recentActions_.push_back(action);
  }
  recentActions_.push_back(menu->insertSeparator(quit));
}

void RendererWindow::RefreshMenus() {
  const bool idle = state_ == RenderState::Idle;
  for (int id : kBusyCommands) {
    if (actions_.count(id)) actions_[id]->setEnabled(idle);
  }
  if (actions_.count(kCmdSave)) actions_[kCmdSave]->setEnabled(idle && !shell_.saved);
  auto check = [&](int id, bool on) {
    if (actions_.count(id)) actions_[id]->setChecked(on);
  };
  check(kCmdAutoSize, shell_.settings.redimWindow);
  check(kCmdMagnifier, shell_.settings.loupeWindow);
  const bool english = library_.LanguageCode() == "ENG";
  check(kCmdEnglish, english);
  check(kCmdFrench, !english);
}

void RendererWindow::RefreshTitle() {
  if (previewShown_) {
    setWindowTitle(MessageString(library_, kMsgPreviewTitle));
    return;
  }
  if (shell_.projectPath.empty()) {
    setWindowTitle(MessageString(library_, kMsgNoProjectTitle));
    return;
  }
  setWindowTitle(QString("TESSARAN RENDERER :[%1]").arg(QString::fromStdString(shell_.projectPath.filename().string())));
}

void RendererWindow::Command(int id) {
  switch (id) {
    case kCmdCurrent:
      return OpenProjectDialog();
    case kCmdNew:
      SavePrompt(shell_);
      ResetProject(shell_.project);
      shell_.projectPath.clear();
      shell_.saved = false;
      RefreshTitle();
      return OpenProjectDialog();
    case kCmdOpen:
      return OpenProjectFile();
    case kCmdSave:
      return Save();
    case kCmdSaveAs:
      SaveAs();
      return;
    case kCmdInformation:
      return ShowInformation();
    case kCmdQuit:
      if (AskQuestion(QuestionButtons::OkCancel, kMsgQuit) == Answer::Ok) close();
      return;
    case kCmdAutoSize:
      shell_.settings.redimWindow = !shell_.settings.redimWindow;
      break;
    case kCmdMagnifier:
      shell_.settings.loupeWindow = !shell_.settings.loupeWindow;
      view_->SetMagnifier(shell_.settings.loupeWindow);
      break;
    case kCmdClipboard:
      return CopyToClipboard();
    case kCmdEnglish:
      return SwitchLanguage(kEnglishLibrary);
    case kCmdFrench:
      return SwitchLanguage(kFrenchLibrary);
    case kCmdShowResult:
      if (showResult_) showResult_(shell_);
      return;
    default:
      return;
  }
  RefreshMenus();
}

void RendererWindow::SwitchLanguage(const char* systemName) {
  // A library that cannot be loaded leaves the language and menus as they were.
  const LoadResult result = library_.Load(systemName);
  if (result == LoadResult::Loaded) BuildMenus();
  RefreshMenus();
  RefreshTitle();
}

void RendererWindow::OpenProjectFile() {
  SavePrompt(shell_);
  QFileDialog dialog(this, MessageString(library_, kMsgOpenTitle), QString::fromStdString(dialogDirectory_.string()),
                     QtFilter(library_.Format(kMsgProjectFilter)));
  dialog.setDefaultSuffix("RPJ");
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  OpenProject(dialog.selectedFiles().front().toStdString());
}

void RendererWindow::OpenProject(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    ShowMessage(MessageKind::Error, kMsgCannotOpen, path.string().c_str());
    ForgetProject(shell_.settings, path.string());
    RefreshRecentProjects();
    return;
  }
  dialogDirectory_ = path.parent_path();
  shell_.projectPath = path;
  if (LoadProjectFile(shell_, path)) RememberProject(shell_.settings, path.string());
  RefreshRecentProjects();
  RefreshTitle();
  RefreshMenus();
  OpenProjectDialog();
}

void RendererWindow::Save() {
  if (!SaveProject(shell_)) SaveAs();
  RefreshMenus();
}

bool RendererWindow::SaveAs() {
  QFileDialog dialog(this, MessageString(library_, kMsgSaveAsTitle), QString::fromStdString(dialogDirectory_.string()),
                     QtFilter(library_.Format(kMsgProjectFilter)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("RPJ");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const fs::path previous = shell_.projectPath;
  shell_.projectPath = dialog.selectedFiles().front().toStdString();
  dialogDirectory_ = shell_.projectPath.parent_path();
  if (!SaveProject(shell_)) {
    shell_.projectPath = previous;
    return false;
  }
  RememberProject(shell_.settings, shell_.projectPath.string());
  RefreshRecentProjects();
  RefreshTitle();
  RefreshMenus();
  return true;
}

void RendererWindow::ShowInformation() {
  const MemoryFigures m = ReadMemoryFigures();
  const std::uint64_t used = m.physicalTotalKb > m.physicalFreeKb ? m.physicalTotalKb - m.physicalFreeKb : 0;
  const int load = m.physicalTotalKb ? static_cast<int>(used * 100 / m.physicalTotalKb) : 0;
  ShowMessage(MessageKind::Information, kMsgMemory, load, KiloBytes(m.swapTotalKb), KiloBytes(m.swapFreeKb),
              KiloBytes(m.physicalTotalKb), KiloBytes(m.physicalFreeKb), KiloBytes(m.physicalTotalKb + m.swapTotalKb),
              KiloBytes(m.physicalFreeKb + m.swapFreeKb), KiloBytes(m.physicalFreeKb + m.swapFreeKb));
}

void RendererWindow::CopyToClipboard() {
  const VirtIm& image = VimSlot(0);
  if (image.Empty()) {
    ShowMessage(MessageKind::Warning, kMsgNoImageToCopy);
    return;
  }
  QGuiApplication::clipboard()->setImage(VimToImage(image));
}

void RendererWindow::OpenProjectDialog() {
  if (dialogOpen_ || state_ != RenderState::Idle) return;
  dialogOpen_ = true;
  int code = 0;
  bool again = true;
  while (again) {
    ProjectDialog dialog(library_, shell_.project, presets_, shell_.displayDepth, dialogDirectory_, picker_,
                         shell_.settings.previewBmp, this);
    dialog_ = &dialog;
    code = dialogRunner(dialog);
    dialog_ = nullptr;
    again = TakeDialogEnd(dialog, code);
  }
  dialogOpen_ = false;
  RefreshTitle();
  RefreshMenus();
  if (code == kDialogCompute) Render();
}

// Takes what the dialog ended with; true when it must be shown again.
bool RendererWindow::TakeDialogEnd(ProjectDialog& dialog, int code) {
  RenderProject& copy = dialog.Copy();
  if (code == QDialog::Rejected) return false;
  if (code == kDialogCompute) {
    if (!copy.Output(kOutImages) && !copy.Output(kOutAnimation) &&
        AskQuestion(QuestionButtons::YesNo, kMsgNoOutput) != Answer::Yes) {
      return true;
    }
    if (shell_.settings.recapitulatif) {
      QMessageBox summary(QMessageBox::Information, MessageString(library_, kMsgSummaryCaption),
                          Utf8(ProjectSummary(copy, SceneCountOf(copy))), QMessageBox::Ok | QMessageBox::Cancel, this);
      if (summary.exec() != QMessageBox::Ok) return true;
    }
  }
  TakeWorkingCopy(shell_, copy);
  if (code == kDialogSceneChosen) {
    // A scene the link handed over, else the one chosen in the dialog.
    const bool pending = !pendingScene_.empty();
    Attach(pending ? fs::path(pendingScene_) : dialog.ChosenScene(), !pending || pendingMayLoadDefault_);
    pendingScene_.clear();
    return true;
  }
  if (code == kDialogCompute) shell_.saved = false;
  // A project without a path takes its scene's, with ".RPJ".
  if (shell_.projectPath.empty() && !shell_.project.SceneName().empty()) {
    shell_.projectPath = fs::path(NativePath(shell_.project.SceneName())).replace_extension(".RPJ");
    shell_.saved = false;
  }
  return false;
}

void RendererWindow::EndProjectDialogForScene(const std::string& scene, bool mayLoadDefault) {
  if (!dialog_) return;
  pendingScene_ = scene;
  pendingMayLoadDefault_ = mayLoadDefault;
  dialog_->done(kDialogSceneChosen);
}

void RendererWindow::ShowOnTop() {
  if (isMinimized()) showNormal();
  QWidget* top = dialog_ ? static_cast<QWidget*>(dialog_) : this;
  top->raise();
  top->activateWindow();
}

void RendererWindow::Attach(const fs::path& scene, bool allowDefault) {
  AttachScene(shell_, fs::absolute(scene), allowDefault);
  dialogDirectory_ = fs::absolute(scene).parent_path();
  RefreshTitle();
  RefreshMenus();
}

void RendererWindow::FitToImage() {
  FitWindowTo(*this, *view_->viewport(), QSize(shell_.project.width, shell_.project.height));
}

int RendererWindow::Render() {
  if (state_ != RenderState::Idle) return kRenderFailed;
  if (shell_.settings.redimWindow) FitToImage();
  view_->SetMagnifier(shell_.settings.loupeWindow);
  status_ = new StatusWindow(library_, shell_.project, this);
  // Beside the window, so that it hides none of the image.
  status_->move(frameGeometry().topRight() + QPoint(8, 0));
  status_->show();
  state_ = RenderState::Rendering;
  RefreshMenus();
  view_->SetRendering(true);
  shell_.runProgress = status_;
  DispatchingProgress progress([this](double fraction) {
    status_->ShowFraction(fraction);
    view_->RowsComputed();
    if (isMinimized()) ShowIconicPercent(status_->Percent());
  });
  ShellRenderPoll poll(shell_.settings.scrutePri, &progress);
  const auto began = std::chrono::steady_clock::now();
  const int result = RenderCommand(shell_, poll);
  shell_.project.lastSeconds =
      static_cast<std::int32_t>(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  shell_.runProgress = nullptr;
  state_ = RenderState::Idle;
  setWindowIcon(QIcon());
  iconText_.clear();
  // The run's totals stay in the status bar.
  statusBar()->showMessage(QString::fromStdString(status_->LastNote()));
  delete status_;
  status_ = nullptr;
  view_->SetRendering(false);
  view_->ImageChanged();
  RefreshMenus();
  RefreshTitle();
  if (renderEnded_) renderEnded_();
  return result;
}

int RendererWindow::MaterialPreview(const PreviewMaterial& material, const std::array<PreviewMap, 3>& maps) {
  if (state_ == RenderState::Preview) {
    RequestStop();
    return kRenderStopped;
  }
  if (state_ != RenderState::Idle) return kRenderFailed;
  if (!previewShown_) {
    // The first preview turns the window into the preview's: no menu, the
    // preview's title and size.
    previewShown_ = true;
    menuBar()->hide();
    statusBar()->hide();
    RefreshTitle();
    showNormal();
    LoadPreviewProject(shell_);
    // The area the menu left is the image's before the window takes its size.
    layout()->activate();
    FitToImage();
  }
  state_ = RenderState::Preview;
  RefreshMenus();
  view_->SetRendering(true);
  DispatchingProgress progress([this](double) { view_->RowsComputed(); });
  ShellRenderPoll poll(shell_.settings.scrutePri, &progress);
  const int result = RenderMaterialPreview(shell_, material, maps, poll);
  state_ = RenderState::Idle;
  view_->SetRendering(false);
  view_->ImageChanged();
  RefreshMenus();
  if (renderEnded_) renderEnded_();
  return result;
}

void RendererWindow::ShowIconicPercent(double percent) {
  const QString text = QString::asprintf("%3.1f\n%%", percent);
  if (text == iconText_) return;
  iconText_ = text;
  constexpr int kIconSize = 64;
  QPixmap icon(kIconSize, kIconSize);
  icon.fill(QColor(0x80, 0xFF, 0x32));
  QPainter painter(&icon);
  QFont font = painter.font();
  font.setPixelSize(kIconSize / 4);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(icon.rect(), Qt::AlignCenter, text);
  painter.end();
  setWindowIcon(QIcon(icon));
}

void RendererWindow::WriteSettings() {
  const QRect r = geometry();
  shell_.settings.mainWindow = {r.right() + 1, r.top(), r.left(), r.bottom() + 1};
  WriteRendererSettings(shell_.settings, shell_.projectPath.string(), library_.LanguageCode());
}

void RendererWindow::closeEvent(QCloseEvent* event) {
  // A render is never closed under: the user may only stop it.
  if (state_ == RenderState::Rendering) {
    if (AskQuestion(QuestionButtons::OkCancel, kMsgStopRender) == Answer::Ok) RequestStop();
    event->ignore();
    return;
  }
  if (state_ == RenderState::Preview) {
    RequestStop();
    event->ignore();
    return;
  }
  SavePrompt(shell_);
  const bool preview = shell_.projectPath.filename() == kPreviewProject;
  if (shell_.settings.saveOptsOnQuit && !preview) WriteSettings();
  event->accept();
}

// A window without its menu (the material preview) closes on a double click.
void RendererWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (menuBar()->isHidden() && state_ == RenderState::Idle) {
    close();
    return;
  }
  QMainWindow::mouseDoubleClickEvent(event);
}

void RendererWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// A dropped project is opened, a dropped scene attached; then the dialog.
void RendererWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || state_ != RenderState::Idle) return;
  const fs::path path = urls.front().toLocalFile().toStdString();
  const int kind = ClassifyFile(path.string());
  if (kind == kKindProject) {
    SavePrompt(shell_);
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, path] { OpenProject(path); });
    return;
  }
  if (kind != kKindScene) return;
  Attach(path, true);
  event->acceptProposedAction();
  RefreshTitle();
  QTimer::singleShot(0, this, [this] { OpenProjectDialog(); });
}

}  // namespace tessaran
