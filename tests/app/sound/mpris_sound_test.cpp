// The player driven over MPRIS, as the desktop's media keys drive it: the
// real dialog and device playing into the test's own sound server, the
// player on the test's own session bus, and playerctl calling it. What the
// sink plays is checked after each step, as the other sound tests do.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/mpris_service.h"
#include "app/player_dialog.h"
#include "app/pulse_audio_device.h"
#include "loud_recording.h"
#include "monitor_recorder.h"
#include "pulse_server.h"
#include "qt_events.h"
#include "session_bus.h"
#include "signal_match.h"

namespace sound_testing {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 8000;

// The loudest sample of recording[from, to).
int Peak(const std::vector<int16_t>& recording, size_t from, size_t to) {
  int peak = 0;
  for (size_t i = from; i < std::min(to, recording.size()); ++i)
    peak = std::max(peak, std::abs(int{recording[i]}));
  return peak;
}

// How well reference[from, from + count) is found in recording[start, end).
double FoundAt(const std::vector<int16_t>& recording, size_t start, size_t end,
               const std::vector<int16_t>& reference, size_t from, size_t count) {
  const std::span heard =
      std::span(recording).subspan(start, std::min(end, recording.size()) - start);
  const std::span wanted = std::span(reference).subspan(from, count);
  const auto last = static_cast<ptrdiff_t>(heard.size()) - static_cast<ptrdiff_t>(count);
  return Align(heard, wanted, 0, std::max<ptrdiff_t>(last, 0)).correlation;
}

class MprisSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      server_ = &PulseServer::Shared();
      bus_ = std::make_unique<SessionBus>();
    } catch (const std::exception& e) {
      FAIL() << "This test needs a PulseAudio daemon and a session bus of its own: " << e.what();
    }
    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_->address());
  }

  // `playerctl --player=voiceplayer ARGS`, while the player serves the bus:
  // what it prints, or its failure.
  std::string Playerctl(const QString& args) {
    QProcess process;
    process.setProcessEnvironment(environment_);
    process.start(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=voiceplayer")} +
                                                   args.split(u' ', Qt::SkipEmptyParts));
    if (!RunEventsUntil([&] { return process.state() == QProcess::NotRunning; }, 10s))
      return "playerctl " + args.toStdString() + ": no answer";
    const QString output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
      return "playerctl " + args.toStdString() +
             " failed: " + process.readAllStandardError().toStdString();
    return output.toStdString();
  }

  PulseServer* server_ = nullptr;
  std::unique_ptr<SessionBus> bus_;
  QProcessEnvironment environment_;
};

// 16 s of random Celp80 frames, loud throughout: long enough that the
// recording is still playing for the last seek on a slow machine.
TEST_F(MprisSoundTest, PlayPausePositionSeekAndStopFromPlayerctl) {
  const LoudRecording recording = MakeLoudRecording(voice::VoiceMode::Celp80, 1600, 29);
  const std::vector<int16_t>& reference = recording.decoded;
  app::PulseAudioDevice device;
  RecordingInMemory embedded(recording.file);
  voice::DecoderState decoder;
  std::vector<std::string> boxes;
  auto dialog = std::make_unique<app::PlayerDialog>(device, embedded, decoder);
  dialog->SetMessageBoxFunction([&](QWidget*, const QString& text, const QString& caption) {
    boxes.push_back(caption.toStdString() + ": " + text.toStdString());
  });
  dialog->show();
  RunEventsFor(100ms);
  const QDBusConnection connection =
      QDBusConnection::connectToBus(bus_->address(), QStringLiteral("mpris-sound-test"));
  auto mpris = app::MprisService::Publish(*dialog, connection, QStringLiteral("voiceplayer"),
                                          [&] { dialog->OnOK(); });
  ASSERT_NE(mpris, nullptr);
  EXPECT_EQ(mpris->serviceName().toStdString(), "org.mpris.MediaPlayer2.voiceplayer");
  // Every status the player reports through PropertiesChanged.
  QProcess follower;
  follower.setProcessEnvironment(environment_);
  follower.start(QStringLiteral("playerctl"),
                 {QStringLiteral("--player=voiceplayer"), QStringLiteral("--follow"),
                  QStringLiteral("status")});
  MonitorRecorder recorder(*server_, kRate);
  RunEventsFor(300ms);
  const auto* elapsed = dialog->findChild<QLabel*>("IDC_ELAPSED");
  const auto& state = dialog->engine().state();

  // Play: the recording from its start.
  const size_t played = recorder.recorded();
  EXPECT_EQ(Playerctl("play"), "");
  ASSERT_TRUE(RunEventsUntil([&] { return state.playing; }, 5s));
  EXPECT_EQ(Playerctl("status"), "Playing");
  EXPECT_EQ(Playerctl("metadata --format {{xesam:title}}|{{mpris:length}}"),
            "voiceplayer.VOC|16000000");
  RunEventsFor(1500ms);

  // Pause: silence, and the position stands where the label says.
  EXPECT_EQ(Playerctl("pause"), "");
  ASSERT_TRUE(RunEventsUntil([&] { return state.paused; }, 5s));
  EXPECT_EQ(Playerctl("status"), "Paused");
  RunEventsFor(300ms);
  const size_t paused = recorder.recorded();
  RunEventsFor(700ms);
  EXPECT_LT(Peak(recorder.Samples(), paused, recorder.recorded()), 100) << "sound while paused";
  const double position = std::stod(Playerctl("position"));
  EXPECT_GT(position, 1.0);
  EXPECT_LT(position, 2.5);
  EXPECT_EQ(elapsed->text().toStdString(), "Paused at: 00:00:0" + std::to_string(int(position)));
  EXPECT_GT(FoundAt(recorder.Samples(), played, paused, reference, 0, 4000), 0.9);

  // Play again, and a seek to 5 s: heard from there, as a slider commit
  // plays it; then 5 s back.
  EXPECT_EQ(Playerctl("play"), "");
  ASSERT_TRUE(RunEventsUntil([&] { return !state.paused; }, 5s));
  RunEventsFor(500ms);
  const size_t sought = recorder.recorded();
  EXPECT_EQ(Playerctl("position 5"), "");
  ASSERT_TRUE(RunEventsUntil([&] { return state.playing && state.seekBaseBytes == 80000; }, 5s));
  // 1.5 s recorded from there, however far the recorder lags on a busy machine.
  const size_t streamed = recorder.recorded();
  ASSERT_TRUE(RunEventsUntil([&] { return recorder.recorded() >= streamed + 12000; }, 5s));
  // The decoder's memories carry over a seek: a few frames on it is the
  // reference's sound again.
  EXPECT_GT(
      FoundAt(recorder.Samples(), sought, recorder.recorded(), reference, 5 * kRate + 2400, 4000),
      0.9);
  // 5 s back lands before the 5 s mark however long the wait above took
  // (at most 5 s), so the jump shows in the seek base.
  const double before = std::stod(Playerctl("position"));
  EXPECT_EQ(Playerctl("position 5-"), "");
  ASSERT_TRUE(RunEventsUntil([&] { return state.playing && state.seekBaseBytes < 80000; }, 5s));
  EXPECT_NEAR(std::stod(Playerctl("position")), before - 5, 0.5);

  // The volume as the slider shows it.
  EXPECT_EQ(Playerctl("volume 0.5"), "");
  ASSERT_TRUE(
      RunEventsUntil([&] { return dialog->findChild<QSlider*>("IDC_VOLUME")->value() == 32; }, 5s));
  EXPECT_EQ(Playerctl("volume"), "0.500000");

  // Stop: silence, and the controls back to idle.
  EXPECT_EQ(Playerctl("stop"), "");
  ASSERT_TRUE(RunEventsUntil([&] { return !state.playing; }, 5s));
  EXPECT_EQ(Playerctl("status"), "Stopped");
  RunEventsFor(300ms);
  const size_t stopped = recorder.recorded();
  RunEventsFor(500ms);
  EXPECT_LT(Peak(recorder.Samples(), stopped, recorder.recorded()), 100) << "sound after Stop";
  EXPECT_EQ(elapsed->text().toStdString(), "Elapsed time: 00:00:00");

  follower.terminate();
  follower.waitForFinished(5000);
  QStringList told =
      QString::fromUtf8(follower.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
  told.erase(std::unique(told.begin(), told.end()), told.end());
  EXPECT_EQ(told.join(u' ').toStdString(), "Stopped Playing Paused Playing Stopped");
  EXPECT_EQ(boxes, std::vector<std::string>{});
}

}  // namespace
}  // namespace sound_testing
