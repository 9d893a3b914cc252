// The player's main window: the picture or animation shown, the menu "#1"
// of the player's message library, playback with its state and delay keys,
// slide shows, and the animation operations (create, cut, flip) through the
// same functions as `tovix --batch`. It is the window the link's "QMXPlay"
// service acts on.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>

#include "messages/message_library.h"
#include "player/anim_batch.h"
#include "player/link_server.h"
#include "player/playback.h"
#include "player/player_settings.h"
#include "player/slide_show.h"
#include "ui/image_picker.h"
#include "ui/menus.h"

class QEventLoop;

namespace tessaran::player {

// The dialog table of the status bar's texts (frame, rate, delay, picture).
constexpr const char* kStatusTexts = "STATUS";

class PictureView;
class ProgressBox;

// Menu commands of the main window.
enum PlayerCommand {
  kCmdOpen = 110,
  kCmdCreate = 130,
  kCmdCut = 140,
  kCmdFlip = 145,
  kCmdExit = 150,
  kCmdZoom = 320,
  kCmdFullScreen = 340,
  kCmdEnglish = 351,
  kCmdFrench = 352,
  kCmdAbout = 410,
  kCmdSaveImage = 888,
};

// WM_PLAYANIM's modes: play until stopped, cut, flip; kPlayTimes + n plays
// n times.
constexpr int kPlayForever = 0;
constexpr int kPlayCut = 1;
constexpr int kPlayFlip = 2;
constexpr int kPlayTimes = 3;

class PlayerWindow final : public QMainWindow, public PlayerWindowActions {
  Q_OBJECT

 public:
  PlayerWindow(MessageLibrary& library, PlayerSettings& settings);
  ~PlayerWindow() override;

  // The command of a menu id, as the menu runs it.
  void Command(int id);

  // A file of the command line, the Open dialog or a drop: animations are
  // played, slide shows started, pictures shown. `unknownIsPicture`: a
  // file of another kind is tried as a picture rather than refused (176).
  void OpenFile(const std::filesystem::path& file, bool unknownIsPicture);
  // Shows a picture; false when it could not be read (after a message).
  bool ShowPicture(const std::filesystem::path& file);
  // WM_PLAYANIM: plays, cuts or flips an animation; returns once it ends.
  void PlayAnim(const std::filesystem::path& file, int mode);
  // The animation operations of the menu, after their dialogs.
  ExitStatus CreateAnim(const std::filesystem::path& out, const std::vector<std::filesystem::path>& pictures);
  ExitStatus CutAnim(const std::filesystem::path& file, const std::string& format);
  ExitStatus FlipAnim(const std::filesystem::path& file);
  // Ends the slide show (timer, file, counters).
  void StopSlideShow();
  // One second of the slide show: the slide timer's tick.
  void SlideTick();

  // PlayerWindowActions, for the link.
  void StartSlideShow(const std::string& file) override;
  void ShowImage(const std::string& file) override;
  bool Playing() const override { return playback_.Playing(); }
  void SetStopRequest() override;
  void PostPlayAnim(const std::string& file) override;
  void PostClose() override;
  void ShowNormal() override;

  PlayerState State() const { return playback_.state; }
  const Playback& Timing() const { return playback_; }
  bool SlideShowRunning() const { return slideTimer_.isActive(); }
  const MenuActions& Actions() const { return actions_; }
  PictureView* View() const { return view_; }
  // Frames put on the screen since the window opened, and the frame shown.
  long long FramesShown() const { return framesShown_; }
  int FrameIndex() const { return frameIndex_; }
  // The delays measured between the frames of the last playback, in ms.
  double AverageFrameDelayMs() const;
  // Whether the frames of the playback were decoded in advance.
  bool FramesInMemory() const { return framesInMemory_; }

  // Chooses the format of a cut among `labels`: the index, −1 when
  // cancelled. A dialog unless a test sets another chooser.
  std::function<int(const QStringList& labels)> formatChooser;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void RefreshMenus();
  void SwitchLanguage(const char* systemName);
  void SetTitle(const std::filesystem::path& file);
  bool StopFirst(const std::function<void()>& then);
  void OpenCommand();
  void SaveImageCommand();
  void CreateCommand();
  void CutCommand();
  void ChooseFormatAndCut(const std::filesystem::path& file);
  void FlipCommand();
  void About();
  void SetFullScreen(bool on);
  void DoubleClicked();
  void StartShow(const std::filesystem::path& file, bool hideMenu);
  void NextSlide();
  void Play(const std::filesystem::path& file, int times);
  void WaitForFrame(const QElapsedTimer& clock, qint64 deadlineNs);
  void Wake();
  void ShowFrame(const QImage& image, int index, int count);
  void ShowSlot();
  void FitTo(QSize content);
  void UpdateDelayLabel();
  ExitStatus RunOperation(const QString& title,
                          const std::function<ExitStatus(const FrameHook&, std::ostream& err)>& run);
  void FinishPlayback();
  void ShowError(const std::string& what);
  void WriteSettings();

  MessageLibrary& library_;
  PlayerSettings& settings_;
  // Bound once, as the window opens: the open dialogs' file dialog.
  ImagePicker picker_;
  PictureView* view_;
  QLabel* frameLabel_;
  QLabel* rateLabel_;
  QLabel* delayLabel_;
  MenuActions actions_;
  Playback playback_;
  std::function<void()> pending_;  // what state 4 runs once the playback has stopped
  std::filesystem::path queuedAnim_;  // an "ANIM" accepted while the last playback wound down
  QEventLoop* waiting_ = nullptr;  // the wait of the frame shown, woken by the keys
  std::filesystem::path shownPicture_;
  std::filesystem::path lastDirectory_;
  bool fullScreen_ = false;
  // Slide show: the file, the entry's seconds, the seconds counted, the total.
  SlideShowReader slides_;
  QTimer slideTimer_;
  int slideSeconds_ = 0;
  int slideCount_ = 0;
  int slideTotal_ = 0;
  // Frame figures.
  long long framesShown_ = 0;
  int frameIndex_ = -1;
  bool framesInMemory_ = false;
  bool pausedSinceLastFrame_ = false;
  qint64 lastRateShownNs_ = 0;
  QElapsedTimer since_;            // the clock of the frame figures
  std::deque<qint64> frameTimes_;  // when the last frames were shown, ns
  double delaySumMs_ = 0;
  long long delayCount_ = 0;
};

}  // namespace tessaran::player
