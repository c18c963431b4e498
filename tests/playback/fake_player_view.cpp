#include "fake_player_view.h"

#include <algorithm>

namespace playback_testing {

FakePlayerView::FakePlayerView(playback::MessageQueue& queue)
    : queue_(queue),
      texts_{{Control::kPlay, "&Play"},
             {Control::kStop, "&Stop"},
             {Control::kFileName, "Voice filename:"},
             {Control::kDuration, "Voice Duration:"},
             {Control::kElapsed, "Elapsed time:"}},
      enabled_{{Control::kPlay, true},
               {Control::kStop, false},
               {Control::kPosition, false},
               {Control::kVolume, false}},
      ranges_{{Control::kPosition, {0, 100}}, {Control::kVolume, {0, 100}}} {}

void FakePlayerView::SetText(Control control, const std::string& text) {
  texts_[control] = text;
  history_.emplace_back(control, text);
}

void FakePlayerView::SetSliderRange(Control slider, int min, int max) {
  ranges_[slider] = {min, max};
  positions_[slider] = std::clamp(positions_[slider], min, max);
}

void FakePlayerView::SetSliderPosition(Control slider, int position) {
  const auto [min, max] = ranges_[slider];
  positions_[slider] = std::clamp(position, min, max);
}

void FakePlayerView::ShowMessageBox(const std::string& text, const std::string& caption) {
  boxes_.push_back({text, caption, busy_ > 0});
  if (on_message_box) on_message_box(boxes_.back());
}

std::vector<std::string> FakePlayerView::history(Control control) const {
  std::vector<std::string> texts;
  for (const auto& [c, text] : history_)
    if (c == control) texts.push_back(text);
  return texts;
}

}  // namespace playback_testing
