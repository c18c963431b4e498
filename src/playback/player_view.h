// What the playback engine needs of the player dialog: its labels, buttons
// and sliders, message boxes, the busy cursor, and a way to post messages to
// the dialog's user-interface thread (MessageSink::Post, callable from any
// thread). Everything else is called on the user-interface thread only.
#pragma once

#include <string>

#include "playback/message.h"

namespace playback {

// The dialog's controls, with their dialog ids.
enum class Control : int {
  kPlay = 1006,  // the Play/Pause button
  kStop = 1008,
  kPosition = 1017,  // position slider, 0 to 35,999
  kFileName = 1018,
  kDuration = 1019,
  kElapsed = 1020,
  kVolume = 1021,  // volume slider, 0 (loudest) to 64
};

class PlayerView : public MessageSink {
 public:
  virtual ~PlayerView() = default;

  // A label's text or a button's caption.
  virtual void SetText(Control control, const std::string& text) = 0;
  virtual void Enable(Control control, bool enabled) = 0;
  virtual void SetSliderRange(Control slider, int min, int max) = 0;
  virtual void SetTickFrequency(Control slider, int units) = 0;
  virtual int SliderPosition(Control slider) = 0;
  // Positions outside the slider's range are clamped to it.
  virtual void SetSliderPosition(Control slider, int position) = 0;
  // A message box with only an OK button, owned by the dialog; returns when
  // the user has dismissed it.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;
  // The busy cursor shows from Begin to the matching End; the calls nest.
  virtual void BeginBusyCursor() = 0;
  virtual void EndBusyCursor() = 0;
};

class BusyCursor {
 public:
  explicit BusyCursor(PlayerView& view) : view_(view) { view_.BeginBusyCursor(); }
  ~BusyCursor() { view_.EndBusyCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  PlayerView& view_;
};

}  // namespace playback
