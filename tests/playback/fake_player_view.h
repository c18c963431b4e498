// The player dialog as the tests see it: it starts with the template's texts
// and enabled states, keeps every text, state and message box the engine
// sets, and posts messages into the test's queue.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "playback/message_queue.h"
#include "playback/player_view.h"

namespace playback_testing {

using playback::Control;

struct MessageBoxShown {
  std::string text;
  std::string caption;
  bool busy = false;  // the busy cursor was showing
};

class FakePlayerView : public playback::PlayerView {
 public:
  explicit FakePlayerView(playback::MessageQueue& queue);

  void Post(const playback::Message& message) override { queue_.Post(message); }
  void SetText(Control control, const std::string& text) override;
  void Enable(Control control, bool enabled) override { enabled_[control] = enabled; }
  void SetSliderRange(Control slider, int min, int max) override;
  void SetTickFrequency(Control slider, int units) override { ticks_[slider] = units; }
  int SliderPosition(Control slider) override { return positions_[slider]; }
  void SetSliderPosition(Control slider, int position) override;
  void ShowMessageBox(const std::string& text, const std::string& caption) override;
  void BeginBusyCursor() override { ++busy_; }
  void EndBusyCursor() override { --busy_; }

  const std::string& text(Control control) { return texts_[control]; }
  bool enabled(Control control) { return enabled_[control]; }
  int position(Control slider) { return positions_[slider]; }
  std::pair<int, int> range(Control slider) { return ranges_[slider]; }
  int ticks(Control slider) { return ticks_[slider]; }
  // Every text the control was given, in order.
  std::vector<std::string> history(Control control) const;
  const std::vector<MessageBoxShown>& message_boxes() const { return boxes_; }
  int busy_depth() const { return busy_; }
  // Runs while a message box is up, as the user would see the player then.
  std::function<void(const MessageBoxShown&)> on_message_box;

 private:
  playback::MessageQueue& queue_;
  std::map<Control, std::string> texts_;
  std::map<Control, bool> enabled_;
  std::map<Control, std::pair<int, int>> ranges_;
  std::map<Control, int> ticks_;
  std::map<Control, int> positions_;
  std::vector<std::pair<Control, std::string>> history_;
  std::vector<MessageBoxShown> boxes_;
  int busy_ = 0;
};

}  // namespace playback_testing
