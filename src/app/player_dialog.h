// The player's one window: a fixed-size dialog built from the IDD_PLAYER
// template, owning the playback engine. It is the engine's view (labels,
// buttons, sliders, message boxes, busy cursor) and the window its messages
// are posted to; its message map routes each message to the engine's
// handler on the dialog's thread.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <string>

#include "playback/audio_device.h"
#include "playback/embedded_recording.h"
#include "playback/playback_engine.h"
#include "playback/player_view.h"
#include "playback/temp_voice_file.h"
#include "voice/decoder_state.h"
#include "voice/vdec.h"

class QAbstractSlider;
class QLabel;
class QPushButton;

namespace app {

class SeekSlider;
class TrackbarSlider;
struct ControlTemplate;

class PlayerDialog : public QDialog, public playback::PlayerView {
  Q_OBJECT

 public:
  // Shows a message box with only an OK button and returns when it is
  // dismissed.
  using MessageBoxFunction =
      std::function<void(QWidget* owner, const QString& text, const QString& caption)>;

  // The player uses the process's one decoder and the system's temporary
  // directory; tests give each dialog fresh ones.
  PlayerDialog(playback::AudioDevice& device, const playback::EmbeddedRecording& recording,
               voice::DecoderState& decoder = vdec_state(),
               std::string tempRoot = playback::SystemTempDirectory());
  ~PlayerDialog() override;

  // Exit, and Escape or the close box: the stream stops before the dialog
  // ends.
  void OnOK();
  void OnCancel();
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }

  // A voice file on disk in place of the current recording, as
  // PlaybackEngine::OpenVoiceFile takes it; a file dropped on the dialog
  // comes here once the drop is over.
  bool OpenVoiceFile(const QString& path);
  // The position slider pressed at `units` and let go there, as a click on
  // it seeks; nothing while the slider is disabled.
  void SeekAsSlider(int units);
  // The volume slider moved to `position` (0 the loudest, 64 silent) as a
  // drag of its thumb ends; nothing while the slider is disabled.
  void MoveVolumeSlider(int position);
  int64_t PositionMicroseconds() { return engine_.PositionMicroseconds(); }

  // playback::PlayerView
  void Post(const playback::Message& message) override;
  void SetText(playback::Control control, const std::string& text) override;
  void Enable(playback::Control control, bool enabled) override;
  void SetSliderRange(playback::Control slider, int min, int max) override;
  void SetTickFrequency(playback::Control slider, int units) override;
  int SliderPosition(playback::Control slider) override;
  void SetSliderPosition(playback::Control slider, int position) override;
  void ShowMessageBox(const std::string& text, const std::string& caption) override;
  void BeginBusyCursor() override;
  void EndBusyCursor() override;

  // Replaces the message box, for instance to answer it in a test.
  void SetMessageBoxFunction(MessageBoxFunction show) { showMessageBox_ = std::move(show); }
  const MessageBoxFunction& messageBoxFunction() const { return showMessageBox_; }
  // Runs after each message the dialog has handled, for whoever follows the
  // engine's state from outside.
  void SetDispatchObserver(std::function<void()> observer) { afterDispatch_ = std::move(observer); }
  const playback::PlaybackEngine& engine() const { return engine_; }

 signals:
  // A label or a button's caption has a new text, a control was enabled or
  // disabled, or the volume slider moved: whoever shows the player's state
  // elsewhere looks again.
  void controlsChanged();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  QWidget* CreateControl(const ControlTemplate& control);
  void DoDataExchange();
  void OnInitDialog();
  void OnDestroy();
  void Dispatch(const playback::Message& message);

  QWidget* ControlWidget(playback::Control control) const;
  TrackbarSlider* Slider(playback::Control slider) const;

  playback::PlaybackEngine engine_;
  MessageBoxFunction showMessageBox_;
  std::function<void()> afterDispatch_;
  bool initialized_ = false;  // the first showing has initialised the dialog
  std::map<int, QWidget*> controlsById_;

  // Bound to the template's controls.
  TrackbarSlider* volume_ = nullptr;
  QPushButton* stop_ = nullptr;
  QLabel* duration_ = nullptr;
  QLabel* fileName_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QPushButton* play_ = nullptr;
  SeekSlider* position_ = nullptr;
  QPushButton* exit_ = nullptr;
};

}  // namespace app
