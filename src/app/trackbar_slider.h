// A slider that tells the dialog what the user does with it the way the
// player's transport logic expects: posted scroll notifications (WM_HSCROLL
// for a horizontal slider, WM_VSCROLL for a vertical one) with the classic
// trackbar codes, the slider's position and its control id.
//
// Keys move it as a trackbar does, whatever the orientation: Left and Up go
// towards the minimum, Right and Down towards the maximum, Page Up and Page
// Down by a page, Home and End to the ends; each key posts its code, and
// letting go of it posts the end-of-scroll code. A drag of the thumb posts
// thumb-track codes while it moves, then thumb-position and end-of-scroll
// on the release; a press on the groove posts page codes, then end-of-scroll.
#pragma once

#include <QSlider>
#include <optional>

#include "playback/message.h"
#include "playback/player_view.h"
#include "playback/scroll_codes.h"

namespace app {

namespace scroll_code = playback::scroll_code;

// The slider action a key stands for, or none for keys a slider leaves alone.
std::optional<QAbstractSlider::SliderAction> TrackbarKeyAction(int key);
// The scroll code that reports an action, or none for SliderNoAction.
std::optional<int> ScrollCodeFor(int action);

class TrackbarSlider : public QSlider {
  Q_OBJECT

 public:
  TrackbarSlider(Qt::Orientation orientation, playback::Control id, playback::MessageSink& notify,
                 QWidget* parent);

  playback::Control control_id() const { return id_; }
  // As a trackbar's, a page is a fifth of the range.
  void SetRange(int min, int max);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

  // Posts a scroll notification with the slider's current position.
  void Notify(int code);

 private:
  void OnAction(int action);

  const playback::Control id_;
  playback::MessageSink& notify_;
  bool mouseGesture_ = false;  // a press the slider took, until its release
  int wheelRemainder_ = 0;     // eighths of a degree short of a whole notch
};

}  // namespace app
