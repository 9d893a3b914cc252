#include "renderer/app/windows/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <chrono>

#include "platform/report.h"
#include "platform/sysinfo.h"
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
  RefreshMenus();
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
  const fs::path path = dialog.selectedFiles().front().toStdString();
  dialogDirectory_ = path.parent_path();
  shell_.projectPath = path;
  LoadProjectFile(shell_, path);
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
    code = dialogRunner(dialog);
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
    Attach(dialog.ChosenScene(), true);
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

void RendererWindow::Attach(const fs::path& scene, bool allowDefault) {
  AttachScene(shell_, fs::absolute(scene), allowDefault);
  dialogDirectory_ = fs::absolute(scene).parent_path();
  RefreshTitle();
  RefreshMenus();
}

void RendererWindow::FitToImage() {
  const QSize image(shell_.project.width, shell_.project.height);
  const QSize frame = size() - view_->viewport()->size();
  QRect wanted(QPoint(0, 0), image + frame);
  wanted.moveCenter(geometry().center());
  wanted.moveLeft(std::max(wanted.left(), 0));
  wanted.moveTop(std::max(wanted.top(), 0));
  const QRect desktop = screen() ? screen()->availableGeometry() : QRect();
  if (!desktop.isEmpty() && (wanted.width() > desktop.width() || wanted.height() > desktop.height())) {
    showMaximized();
    return;
  }
  if (!desktop.isEmpty() && !desktop.contains(wanted)) wanted.moveCenter(desktop.center());
  resize(wanted.size());
  move(wanted.topLeft());
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
    view_->ImageChanged();
  });
  ShellRenderPoll poll(shell_.settings.scrutePri, &progress);
  const auto began = std::chrono::steady_clock::now();
  const int result = RenderCommand(shell_, poll);
  shell_.project.lastSeconds =
      static_cast<std::int32_t>(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  shell_.runProgress = nullptr;
  state_ = RenderState::Idle;
  delete status_;
  status_ = nullptr;
  view_->SetRendering(false);
  view_->ImageChanged();
  RefreshMenus();
  RefreshTitle();
  return result;
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
    shell_.projectPath = path;
    LoadProjectFile(shell_, path);
  } else if (kind == kKindScene) {
    Attach(path, true);
  } else {
    return;
  }
  event->acceptProposedAction();
  RefreshTitle();
  QTimer::singleShot(0, this, [this] { OpenProjectDialog(); });
}

}  // namespace tessaran
