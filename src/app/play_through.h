// The player's --play mode: Play is pressed as soon as the dialog is up, and
// the dialog ends by itself once the stream has ended, telling whether the
// recording played to its end. The engine reports no end of a stream, so its
// state is looked at after every message the dialog handles.
#pragma once

#include <QString>

#include "app/player_dialog.h"

class QWidget;

namespace app {

class PlayThrough {
 public:
  enum class Outcome { kUnderWay, kPlayedOut, kFailed };

  // With `printMessages` each message box is written to stderr as
  // "caption: text" instead of being shown, for a dialog no one can see.
  PlayThrough(PlayerDialog& dialog, bool printMessages);
  PlayThrough(const PlayThrough&) = delete;
  PlayThrough& operator=(const PlayThrough&) = delete;

  // Presses Play, once the dialog is shown. A message already shown (no
  // device at start-up) ends the dialog instead.
  void Start();
  Outcome outcome() const { return outcome_; }

 private:
  void ShowMessage(QWidget* owner, const QString& text, const QString& caption);
  Outcome Judge() const;
  void EndWhenDecided();

  PlayerDialog& dialog_;
  PlayerDialog::MessageBoxFunction showBox_;
  bool printMessages_;
  bool pressed_ = false;
  bool messageShown_ = false;
  Outcome outcome_ = Outcome::kUnderWay;
};

}  // namespace app
