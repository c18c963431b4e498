// The real player dialog on the offscreen platform, wired to a simulated
// device, a recording held in memory, a fresh decoder and a scratch
// temporary directory. Message boxes are recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/player_dialog.h"
#include "playback/fake_player_view.h"
#include "playback/playback_test_files.h"
#include "playback/player_harness.h"
#include "playback/simulated_audio_device.h"

namespace app_testing {

using playback_testing::MessageBoxShown;

class PlayerDialogFixture : public testing::Test {
 protected:
  // A recording of `frames` frames (100 a second).
  void Open(int frames = 1000) {
    OpenWith(playback_testing::MakeRecording(voice::VoiceMode::Adpcm40, frames));
  }
  void OpenWith(playback_testing::Bytes recording) {
    recording_.emplace(std::move(recording));
    dialog_ = std::make_unique<app::PlayerDialog>(device_, *recording_, decoder_, scratch_.path());
    dialog_->SetMessageBoxFunction([this](QWidget*, const QString& text, const QString& caption) {
      boxes_.push_back({text.toStdString(), caption.toStdString(), false});
    });
    dialog_->show();
    Pump();
  }

  // Handles the posted messages until `done` holds; false after 20 seconds.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      QCoreApplication::sendPostedEvents();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      QThread::msleep(1);
    }
  }
  void Pump() {
    PumpUntil([] { return true; });
  }

  // The stream plays with its buffers queued: both, or the last one.
  bool Streaming() {
    const auto& state = dialog_->engine().state();
    return state.playing && (device_.queued() == 2 || state.lastBufferWritten);
  }
  // The device plays `count` buffers, each refilled before the next plays.
  bool PlayBuffers(int count) {
    for (int i = 0; i < count; ++i)
      if (!device_.PlayNextBuffer() || !PumpUntil([this] { return Streaming(); })) return false;
    return true;
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    auto* widget = dialog_->findChild<Widget*>(QString::fromUtf8(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  QAbstractSlider* Slider(const char* name) { return Find<QAbstractSlider>(name); }
  std::string Text(const char* name) {
    if (auto* label = dialog_->findChild<QLabel*>(QString::fromUtf8(name)))
      return label->text().toStdString();
    return Button(name)->text().toStdString();
  }

  playback_testing::ScratchDirectory scratch_;
  voice::DecoderState decoder_;
  playback_testing::SimulatedAudioDevice device_;
  std::optional<playback_testing::InMemoryRecording> recording_;
  std::vector<MessageBoxShown> boxes_;
  std::unique_ptr<app::PlayerDialog> dialog_;
};

}  // namespace app_testing
