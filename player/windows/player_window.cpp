#include "player/windows/player_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <algorithm>
#include <sstream>
#include <utility>

#include "imaging/picture.h"
#include "platform/console.h"
#include "platform/report.h"
#include "player/batch.h"
#include "player/frame_source.h"
#include "player/picture_output.h"
#include "player/windows/open_dialog.h"
#include "player/windows/picture_view.h"
#include "player/windows/progress_box.h"
#include "storage/virtim.h"
#include "ui/dialog_texts.h"
#include "ui/file_filter.h"
#include "ui/vim_image.h"
#include "ui/window_fit.h"

namespace tessaran::player {
namespace {

using namespace std::string_literals;

namespace fs = std::filesystem;

constexpr int kMsgReadError = 173;
constexpr int kMsgUnknownFile = 176;
constexpr int kMsgStopPlaying = 178;
constexpr int kMsgSlideFileError = 180;
constexpr int kMsgSaveImageTitle = 184;
constexpr int kMsgCutFormatTitle = 185;
constexpr int kMsgCutting = 186;
constexpr int kMsgFlipping = 187;
constexpr int kMsgCreating = 188;
constexpr int kMsgTitle = 199;
constexpr int kMsgNoFileTitle = 200;
constexpr int kMsgPictureFilter = 99;
constexpr int kMsgCreatePicturesTitle = 212;
constexpr int kMsgCreateSaveTitle = 213;
constexpr int kMsgSlideShowEnd = 223;
constexpr int kMsgCreateTitle = 262;
constexpr int kMsgFlipTitle = 263;
// Labels of the cut formats: the screen list, then the true-colour list.
constexpr int kMsgScreenFormats = 74;
constexpr int kMsgTrueColourFormats = 77;

constexpr const char* kEnglishLibrary = "TXLNGENG.DLL";
constexpr const char* kFrenchLibrary = "TXLNGFRA.DLL";
constexpr const char* kAboutTexts = "ABOUT";

// The cut formats in the order of their labels.
const QStringList kTrueColourCuts = {"TGA", "TGA10", "I24", "RGB", "PCX", "BMP"};
const QStringList kScreenCuts = {"LBM", "PCX", "BMP"};

// Commands greyed while an animation plays or an operation runs (they ask
// to stop it instead, or would swap the library the work reports through).
constexpr int kBusyCommands[] = {kCmdSaveImage, kCmdEnglish, kCmdFrench};

bool IsPictureKind(const std::optional<FileKind>& kind) {
  return kind && static_cast<int>(*kind) <= static_cast<int>(FileKind::Bmp);
}

QString PathText(const fs::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

PlayerWindow::PlayerWindow(MessageLibrary& library, PlayerSettings& settings)
    : library_(library),
      settings_(settings),
      view_(new PictureView(this)),
      frameLabel_(new QLabel(this)),
      rateLabel_(new QLabel(this)),
      delayLabel_(new QLabel(this)) {
  setCentralWidget(view_);
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  statusBar()->addWidget(frameLabel_);
  statusBar()->addWidget(rateLabel_);
  statusBar()->addPermanentWidget(delayLabel_);
  connect(view_, &PictureView::doubleClicked, this, &PlayerWindow::DoubleClicked);
  connect(&slideTimer_, &QTimer::timeout, this, &PlayerWindow::SlideTick);
  formatChooser = [this](const QStringList& labels) {
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(this, MessageString(library_, kMsgCutFormatTitle), QString(), labels, 0, false, &ok);
    return ok ? static_cast<int>(labels.indexOf(chosen)) : -1;
  };
  lastDirectory_ = fs::current_path();
  since_.start();
  BuildMenus();
  setWindowTitle(MessageString(library_, kMsgNoFileTitle));
}

PlayerWindow::~PlayerWindow() { slides_.Close(); }

void PlayerWindow::BuildMenus() {
  actions_ = BuildMenuBar(*menuBar(), library_.Menu("#1"));
  for (auto& [id, action] : actions_) {
    connect(action, &QAction::triggered, this, [this, id = id] { Command(id); });
  }
  const std::pair<int, QKeySequence> shortcuts[] = {{kCmdOpen, QKeySequence::Open},
                                                    {kCmdExit, QKeySequence::Quit},
                                                    {kCmdSaveImage, QKeySequence::Save},
                                                    {kCmdFullScreen, QKeySequence(Qt::Key_F11)}};
  for (const auto& [id, keys] : shortcuts) {
    if (actions_.count(id)) actions_[id]->setShortcut(keys);
  }
  for (int id : {kCmdZoom, kCmdFullScreen, kCmdEnglish, kCmdFrench}) {
    if (actions_.count(id)) actions_[id]->setCheckable(true);
  }
  RefreshMenus();
}

void PlayerWindow::RefreshMenus() {
  const bool idle = playback_.state == PlayerState::Idle;
  for (int id : kBusyCommands) {
    if (actions_.count(id)) actions_[id]->setEnabled(idle);
  }
  if (actions_.count(kCmdSaveImage)) actions_[kCmdSaveImage]->setEnabled(idle && !shownPicture_.empty());
  auto check = [&](int id, bool on) {
    if (actions_.count(id)) actions_[id]->setChecked(on);
  };
  check(kCmdZoom, view_->Zoom());
  check(kCmdFullScreen, fullScreen_);
  const bool english = library_.LanguageCode() == "ENG";
  check(kCmdEnglish, english);
  check(kCmdFrench, !english);
  UpdateDelayLabel();
}

void PlayerWindow::UpdateDelayLabel() {
  delayLabel_->setText(DialogText(library_, kStatusTexts, 3).arg(playback_.delayMs));
}

void PlayerWindow::SetTitle(const fs::path& file) {
  setWindowTitle(MessageString(library_, kMsgTitle, file.filename().string().c_str()));
}

void PlayerWindow::Command(int id) {
  switch (id) {
    case kCmdOpen:
    case kCmdCreate:
    case kCmdCut:
    case kCmdFlip:
      // While a playback runs these ask to stop it and run once it has.
      if (StopFirst([this, id] { Command(id); })) return;
      if (id == kCmdOpen) return OpenCommand();
      if (id == kCmdCreate) return CreateCommand();
      if (id == kCmdCut) return CutCommand();
      return FlipCommand();
    case kCmdSaveImage:
      return SaveImageCommand();
    case kCmdExit:
      close();
      return;
    case kCmdZoom:
      view_->SetZoom(!view_->Zoom());
      break;
    case kCmdFullScreen:
      SetFullScreen(!fullScreen_);
      break;
    case kCmdEnglish:
      return SwitchLanguage(kEnglishLibrary);
    case kCmdFrench:
      return SwitchLanguage(kFrenchLibrary);
    case kCmdAbout:
      return About();
    default:
      return;
  }
  RefreshMenus();
}

bool PlayerWindow::StopFirst(const std::function<void()>& then) {
  if (playback_.state == PlayerState::Idle) return false;
  // The window closes once the playback has stopped: nothing more to run.
  if (playback_.state == PlayerState::ClosePending) return true;
  if (AskQuestion(QuestionButtons::YesNo, kMsgStopPlaying) == Answer::Yes && playback_.state != PlayerState::Idle) {
    playback_.state = PlayerState::OpenPending;
    pending_ = then;
    Wake();
  }
  return true;
}

void PlayerWindow::SwitchLanguage(const char* systemName) {
  // A library that cannot be loaded leaves the language and menus as they were.
  if (library_.Load(systemName) == LoadResult::Loaded) BuildMenus();
  RefreshMenus();
  if (shownPicture_.empty()) setWindowTitle(MessageString(library_, kMsgNoFileTitle));
  else SetTitle(shownPicture_);
}

void PlayerWindow::OpenFile(const fs::path& file, bool unknownIsPicture) {
  if (!file.parent_path().empty()) lastDirectory_ = fs::absolute(file).parent_path();
  const auto kind = FileKindOf(file);
  if (kind == FileKind::Anm || kind == FileKind::Avi || (fs::is_regular_file(file) && IsIffAnim(file))) {
    StopSlideShow();
    PostPlayAnim(file.string());
  } else if (kind == FileKind::Shw) {
    StartShow(file, true);
  } else if (IsPictureKind(kind) || unknownIsPicture) {
    ShowImage(file.string());
  } else {
    ShowMessage(MessageKind::Warning, kMsgUnknownFile);
  }
}

void PlayerWindow::ShowImage(const std::string& file) {
  StopSlideShow();
  ShowPicture(file);
}

bool PlayerWindow::ShowPicture(const fs::path& file) {
  SetTitle(file);
  if (!fs::is_regular_file(file)) {
    ShowMessage(MessageKind::Error, kMsgOpenError, file.string().c_str());
    return false;
  }
  WorkSlots workSlots;
  PictureHeader header;
  // The readers say themselves what is wrong with a file they cannot read.
  if (LoadPicture(file, kPictureSlot, kOpaqueLoad, &header, 0) != 1 || VimSlot(kPictureSlot).Empty()) return false;
  const QImage image = VimToImage(VimSlot(kPictureSlot));
  shownPicture_ = file;
  FitTo(image.size());
  view_->Show(image);
  frameLabel_->setText(DialogText(library_, kStatusTexts, 4)
                           .arg(image.width())
                           .arg(image.height())
                           .arg(VimSlot(kPictureSlot).BitCount()));
  rateLabel_->clear();
  RefreshMenus();
  return true;
}

void PlayerWindow::FitTo(QSize content) {
  if (!settings_.redimWindow || fullScreen_ || view_->Zoom()) return;
  // Never narrower than the menu, which would fold up over a small picture.
  if (menuBar()->isVisible()) content.setWidth(std::max(content.width(), menuBar()->sizeHint().width()));
  if (content == view_->viewport()->size()) return;
  FitWindowTo(*this, *view_->viewport(), content);
}

void PlayerWindow::PostPlayAnim(const std::string& file) {
  QMetaObject::invokeMethod(
      this,
      [this, file] {
        // Accepted while the playback it stopped was still winding down:
        // it plays once that one has ended rather than being dropped.
        if (playback_.state == PlayerState::StopRequested) {
          queuedAnim_ = file;
          return;
        }
        PlayAnim(file, kPlayForever);
      },
      Qt::QueuedConnection);
}

void PlayerWindow::PostClose() {
  QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void PlayerWindow::ShowNormal() {
  if (isMinimized() || fullScreen_) SetFullScreen(false);
  show();
  raise();
  activateWindow();
}

void PlayerWindow::SetStopRequest() {
  if (playback_.state == PlayerState::Playing) playback_.state = PlayerState::StopRequested;
  Wake();
}

void PlayerWindow::Wake() {
  if (waiting_) waiting_->quit();
}

void PlayerWindow::ShowSlot() { view_->Show(VimToImage(VimSlot(kPictureSlot))); }

void PlayerWindow::FinishPlayback() {
  const PlayerState after = playback_.state;
  playback_.state = PlayerState::Idle;
  RefreshMenus();
  const fs::path queued = std::exchange(queuedAnim_, {});
  if (after == PlayerState::ClosePending) {
    PostClose();
  } else if (after == PlayerState::OpenPending && pending_) {
    QMetaObject::invokeMethod(this, std::exchange(pending_, {}), Qt::QueuedConnection);
  } else if (!queued.empty()) {
    PostPlayAnim(queued.string());
  }
  pending_ = {};
}

ExitStatus PlayerWindow::RunOperation(const QString& title,
                                      const std::function<ExitStatus(const FrameHook&, std::ostream& err)>& run) {
  if (playback_.state != PlayerState::Idle) {
    Trace("WM_PLAYANIM PLAYANIM ALREADY IN USE\n");
    return kFailure;
  }
  playback_.Start();
  shownPicture_.clear();
  RefreshMenus();
  ProgressBox box(library_, title, this);
  connect(&box, &ProgressBox::stopAsked, this, [this] { SetStopRequest(); });
  box.show();
  bool first = true;
  const FrameHook hook = [&](int done, int total) {
    const VirtIm& frame = VimSlot(kPictureSlot);
    if (first) FitTo(QSize(int(frame.width), int(frame.height)));
    first = false;
    ShowSlot();
    frameIndex_ = done - 1;
    ++framesShown_;
    frameLabel_->setText(DialogText(library_, kStatusTexts, 1).arg(done).arg(total));
    box.ShowFrame(done, total);
    QCoreApplication::processEvents();
    return playback_.Playing();
  };
  std::ostringstream err;
  const ExitStatus status = run(hook, err);
  box.hide();
  FinishPlayback();
  if (status == kFailure || status == kBadUsage) ShowError(err.str());
  return status;
}

ExitStatus PlayerWindow::CreateAnim(const fs::path& out, const std::vector<fs::path>& pictures) {
  setWindowTitle(MessageString(library_, kMsgCreateTitle));
  return RunOperation(MessageString(library_, kMsgCreating), [&](const FrameHook& hook, std::ostream& err) {
    return AnimCreate(out, pictures, err, hook);
  });
}

ExitStatus PlayerWindow::CutAnim(const fs::path& file, const std::string& format) {
  SetTitle(file);
  return RunOperation(MessageString(library_, kMsgCutting), [&](const FrameHook& hook, std::ostream& err) {
    return AnimCut(file, format, err, false, hook);
  });
}

ExitStatus PlayerWindow::FlipAnim(const fs::path& file) {
  setWindowTitle(MessageString(library_, kMsgFlipTitle));
  return RunOperation(MessageString(library_, kMsgFlipping), [&](const FrameHook& hook, std::ostream& err) {
    return AnimFlip(file, err, hook);
  });
}

void PlayerWindow::ShowError(const std::string& what) {
  if (!what.empty()) Reporter().Report(MessageKind::Error, kMsgReadError, what);
}

void PlayerWindow::OpenCommand() {
  OpenRequest request;
  request.title = actions_.count(kCmdOpen) ? actions_[kCmdOpen]->text().remove('&') : QString();
  request.filter = "ANIMATIONS\0*.anm;*.avi\0SHW\0*.shw\0"s + library_.Format(kMsgPictureFilter) + "*\0*\0"s;
  request.defaultExtension = "anm";
  request.directory = lastDirectory_;
  const fs::path file = ChooseFileToOpen(this, picker_, request, settings_.previewBmp);
  if (!file.empty()) OpenFile(file, true);
}

void PlayerWindow::SaveImageCommand() {
  if (shownPicture_.empty()) return;
  const QString chosen = QFileDialog::getSaveFileName(
      this, MessageString(library_, kMsgSaveImageTitle), PathText(lastDirectory_ / shownPicture_.filename()),
      "LBM (*.lbm);;I24 (*.i24);;TGA (*.tga);;PCX (*.pcx);;BMP (*.bmp);;RGB (*.rgb);;PPM (*.ppm)");
  if (chosen.isEmpty()) return;
  std::ostringstream err;
  if (ConvertPicture(shownPicture_, chosen.toStdString(), 0, err) != kSuccess) ShowError(err.str());
}

void PlayerWindow::CreateCommand() {
  const QStringList chosen = QFileDialog::getOpenFileNames(this, MessageString(library_, kMsgCreatePicturesTitle),
                                                           PathText(lastDirectory_),
                                                           QtFilter(library_.Format(kMsgPictureFilter)));
  if (chosen.isEmpty()) return;
  std::vector<fs::path> pictures;
  for (const QString& name : chosen) pictures.push_back(name.toStdString());
  lastDirectory_ = pictures.front().parent_path();
  const fs::path offered = fs::path(pictures.front()).replace_extension(".ANM");
  const QString out = QFileDialog::getSaveFileName(this, MessageString(library_, kMsgCreateSaveTitle),
                                                   PathText(offered), "ANIMATIONS (*.ANM)");
  if (!out.isEmpty()) CreateAnim(out.toStdString(), pictures);
}

void PlayerWindow::CutCommand() {
  OpenRequest request;
  request.title = actions_.count(kCmdCut) ? actions_[kCmdCut]->text().remove('&') : QString();
  request.filter = "ANIMATIONS\0*.anm;*.avi\0"s;
  request.defaultExtension = "anm";
  request.directory = lastDirectory_;
  const fs::path file = ChooseFileToOpen(this, picker_, request, settings_.previewBmp);
  if (!file.empty()) ChooseFormatAndCut(file);
}

void PlayerWindow::ChooseFormatAndCut(const fs::path& file) {
  // The format lists follow the depth of the frames.
  int bits = 0;
  {
    std::ostringstream err;
    WorkSlots workSlots;
    AnimFrameSource source;
    if (!source.Open(file, err)) return ShowError(err.str());
    bits = source.bits;
  }
  const QStringList& codes = bits == 24 ? kTrueColourCuts : kScreenCuts;
  QStringList labels;
  const int firstLabel = bits == 24 ? kMsgTrueColourFormats : kMsgScreenFormats;
  for (int i = 0; i < codes.size(); ++i) labels << MessageString(library_, firstLabel + i).trimmed();
  const int chosen = formatChooser(labels);
  if (chosen < 0 || chosen >= codes.size()) return;
  CutAnim(file, codes[chosen].toStdString());
}

void PlayerWindow::FlipCommand() {
  OpenRequest request;
  request.title = actions_.count(kCmdFlip) ? actions_[kCmdFlip]->text().remove('&') : QString();
  request.filter = "ANM\0*.anm\0"s;
  request.defaultExtension = "anm";
  request.directory = lastDirectory_;
  const fs::path file = ChooseFileToOpen(this, picker_, request, settings_.previewBmp);
  if (!file.empty()) FlipAnim(file);
}

void PlayerWindow::About() {
  auto text = [&](int id) { return DialogText(library_, kAboutTexts, id); };
  QMessageBox::about(this, text(0), text(10) + "\n\n" + text(11) + "\n\n" + text(12));
}

void PlayerWindow::SetFullScreen(bool on) {
  fullScreen_ = on;
  menuBar()->setVisible(!on);
  statusBar()->setVisible(!on);
  if (on) showFullScreen();
  else showNormal();
  RefreshMenus();
}

void PlayerWindow::DoubleClicked() {
  SetStopRequest();
  StopSlideShow();
  if (fullScreen_ || !menuBar()->isVisible()) {
    SetFullScreen(false);
    if (shownPicture_.empty()) setWindowTitle(MessageString(library_, kMsgNoFileTitle));
    else SetTitle(shownPicture_);
  }
}

void PlayerWindow::StartSlideShow(const std::string& file) { StartShow(file, false); }

void PlayerWindow::StartShow(const fs::path& file, bool hideMenu) {
  StopSlideShow();
  if (!slides_.Open(file)) {
    ShowMessage(MessageKind::Error, kMsgSlideFileError);
    return;
  }
  slideTimer_.start(1000);
  if (hideMenu) menuBar()->hide();
  NextSlide();
}

void PlayerWindow::NextSlide() {
  SlideEntry entry;
  switch (slides_.Next(entry)) {
    case SlideRead::EndOfFile:
      StopSlideShow();
      ShowMessage(MessageKind::Information, kMsgSlideShowEnd);
      return;
    case SlideRead::Finished:
      StopSlideShow();
      return;
    case SlideRead::Entry:
      break;
  }
  slideSeconds_ = entry.seconds;
  slideCount_ = 0;
  if (fs::is_regular_file(entry.file) && IsAnimationFile(entry.file)) {
    // Played as many times as the entry has seconds, at least once.
    const int mode = kPlayTimes + std::max(entry.seconds, 1);
    QMetaObject::invokeMethod(this, [this, file = entry.file, mode] { PlayAnim(file, mode); }, Qt::QueuedConnection);
  } else {
    ShowPicture(entry.file);
  }
}

void PlayerWindow::SlideTick() {
  if (playback_.state != PlayerState::Idle || !slides_.IsOpen()) return;
  // An entry of no seconds (or fewer) goes at the next tick.
  if (++slideCount_ < slideSeconds_) return;
  slideTotal_ += slideSeconds_;
  slideCount_ = 0;
  NextSlide();
}

void PlayerWindow::StopSlideShow() {
  if (slideTimer_.isActive()) Trace("Stop change Kill Timer\n");
  slideTimer_.stop();
  slides_.Close();
  slideSeconds_ = slideCount_ = slideTotal_ = 0;
  menuBar()->setVisible(!fullScreen_);
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
  PlayKey key;
  switch (event->key()) {
    case Qt::Key_Space: key = PlayKey::Space; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: key = PlayKey::Enter; break;
    case Qt::Key_Right: key = PlayKey::Right; break;
    case Qt::Key_Left: key = PlayKey::Left; break;
    case Qt::Key_Backspace: key = PlayKey::Backspace; break;
    case Qt::Key_Escape: key = PlayKey::Escape; break;
    case Qt::Key_Home: key = PlayKey::Home; break;
    case Qt::Key_End: key = PlayKey::End; break;
    default: return QMainWindow::keyPressEvent(event);
  }
  // Enter ends the slide's time: the next entry comes at the next tick.
  if (key == PlayKey::Enter && slideTimer_.isActive()) slideCount_ = std::max(slideSeconds_ - 1, 0);
  if (key == PlayKey::Escape) StopSlideShow();
  playback_.Key(key);
  Wake();
  UpdateDelayLabel();
}

void PlayerWindow::closeEvent(QCloseEvent* event) {
  // A playback is never closed under: the window closes once it has stopped.
  if (playback_.state != PlayerState::Idle) {
    playback_.state = PlayerState::ClosePending;
    Wake();
    event->ignore();
    return;
  }
  StopSlideShow();
  WriteSettings();
  event->accept();
}

void PlayerWindow::WriteSettings() {
  const QRect r = fullScreen_ ? normalGeometry() : geometry();
  settings_.mainWindow = {r.right() + 1, r.top(), r.left(), r.bottom() + 1};
  WritePlayerSettings(settings_, library_.LanguageCode());
}

void PlayerWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PlayerWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  const fs::path file = urls.front().toLocalFile().toStdString();
  event->acceptProposedAction();
  if (StopFirst([this, file] { OpenFile(file, true); })) return;
  OpenFile(file, true);
}

}  // namespace tessaran::player
