#include "app/seek_slider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace app {

SeekSlider::SeekSlider(playback::MessageSink& notify, QWidget* parent)
    : TrackbarSlider(Qt::Horizontal, playback::Control::kPosition, notify, parent) {}

SeekGeometry SeekSlider::Geometry() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect thumb =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  return {minimum(), maximum(), rect().width(), groove.width(), thumb.width(), thumb.height()};
}

std::optional<int> SeekSlider::PositionUnder(const QMouseEvent& event) const {
  const QPoint point = event.position().toPoint();
  return PositionUnderPointer(Geometry(), point.x(), point.y());
}

void SeekSlider::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const auto position = PositionUnder(*event);
  if (!position) return;
  dragging_ = true;
  setValue(*position);
  // The release must come here even when the pointer has left the slider.
  grabMouse();
  Notify(scroll_code::kThumbTrack);
}

// A second press in quick succession is just another press.
void SeekSlider::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void SeekSlider::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (!dragging_) return;
  if (const auto position = PositionUnder(*event)) setValue(*position);
}

void SeekSlider::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  releaseMouse();
  dragging_ = false;
  // The release point itself does not move the thumb.
  Notify(scroll_code::kThumbPosition);
}

// A slider disabled in the middle of a drag (the stream ended under the
// user's hand) gets no release: the drag ends here, without a notification.
void SeekSlider::changeEvent(QEvent* event) {
  TrackbarSlider::changeEvent(event);
  if (event->type() != QEvent::EnabledChange || isEnabled() || !dragging_) return;
  dragging_ = false;
  releaseMouse();
}

}  // namespace app
