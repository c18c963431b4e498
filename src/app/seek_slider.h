// The position slider. A press anywhere along it moves the thumb straight to
// the point under the pointer, dragging moves the thumb with the pointer,
// and the dialog hears of the press (thumb-track code) and of the release
// (thumb-position code) only, so that a seek begins on the press and is
// committed on the release. None of the mouse reaches the slider's own
// handling; the keyboard stays a trackbar's.
#pragma once

#include <optional>

#include "app/seek_position.h"
#include "app/trackbar_slider.h"

namespace app {

class SeekSlider : public TrackbarSlider {
  Q_OBJECT

 public:
  SeekSlider(playback::MessageSink& notify, QWidget* parent);

  bool dragging() const { return dragging_; }
  // Read from the style each time: the groove, the thumb and the range.
  SeekGeometry Geometry() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  std::optional<int> PositionUnder(const QMouseEvent& event) const;

  bool dragging_ = false;  // a press was accepted and its button is still down
};

}  // namespace app
