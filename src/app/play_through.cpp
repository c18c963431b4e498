#include "app/play_through.h"

#include <QPushButton>
#include <cstdio>

namespace app {

PlayThrough::PlayThrough(PlayerDialog& dialog, bool printMessages)
    : dialog_(dialog), showBox_(dialog.messageBoxFunction()), printMessages_(printMessages) {
  dialog_.SetMessageBoxFunction(
      [this](QWidget* owner, const QString& text, const QString& caption) {
        ShowMessage(owner, text, caption);
      });
  dialog_.SetDispatchObserver([this] { EndWhenDecided(); });
}

void PlayThrough::Start() {
  pressed_ = true;
  if (!messageShown_)
    if (auto* play = dialog_.findChild<QPushButton*>(QStringLiteral("IDC_PLAY"))) play->click();
  // Also when Play could not be pressed: the stream then never starts.
  EndWhenDecided();
}

// Every message the engine shows tells why the recording cannot play (as it
// should). It counts once the box is gone, so that the dialog ends only
// after the handler that showed it.
void PlayThrough::ShowMessage(QWidget* owner, const QString& text, const QString& caption) {
  if (printMessages_) {
    std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
    std::fflush(stderr);
  } else {
    showBox_(owner, text, caption);
  }
  messageShown_ = true;
}

// A stream has played out when its last buffer has played and the decoder
// had reached the last frame; one that stops short (the Stop button, a
// decoding error) has not. A seek under way stops the sound only for a
// while.
PlayThrough::Outcome PlayThrough::Judge() const {
  if (messageShown_) return Outcome::kFailed;
  if (!pressed_) return Outcome::kUnderWay;
  const playback::PlaybackState& state = dialog_.engine().state();
  if (state.playing || state.opening || state.seekInProgress) return Outcome::kUnderWay;
  const bool whole = state.frameCount > 0 && state.decodedFrame >= state.frameCount;
  return whole ? Outcome::kPlayedOut : Outcome::kFailed;
}

// Played out, the dialog ends as by its Exit button; failed, as by Escape.
void PlayThrough::EndWhenDecided() {
  if (outcome_ != Outcome::kUnderWay) return;
  outcome_ = Judge();
  if (outcome_ == Outcome::kPlayedOut) dialog_.OnOK();
  if (outcome_ == Outcome::kFailed) dialog_.OnCancel();
}

}  // namespace app
