// playbin, as every GStreamer player uses it, plays a voice file into the
// null sink of a private PulseAudio server: what the sink's monitor hears
// must be the decoded file from its first sample to its last.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "loud_recording.h"
#include "monitor_recorder.h"
#include "pulse_server.h"
#include "signal_match.h"
#include "support/voice_file_builder.h"

namespace sound_testing {
namespace {

constexpr int kRate = 8000;
constexpr int kOnsetThreshold = 300;  // well above the resamplers' ripple
constexpr ptrdiff_t kSearch = 64;     // either side of the onsets' difference

// Plays `path` through playbin into the server's default sink until EOS;
// false on an error or after 20 s.
bool play_with_playbin(const std::string& path) {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return false;
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  // A second of buffer, where 200 ms is the default: a busy machine that
  // holds up decoding for longer than the buffer lasts makes the sink skip
  // what came late.
  GstElement* sink = gst_element_factory_make("pulsesink", nullptr);
  g_object_set(sink, "buffer-time", gint64{1000000}, nullptr);
  g_object_set(playbin, "uri", uri, "audio-sink", sink, nullptr);
  g_free(uri);
  gst_element_set_state(playbin, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(playbin);
  GstMessage* end = gst_bus_timed_pop_filtered(
      bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool played = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
  if (end) gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(playbin, GST_STATE_NULL);
  gst_object_unref(playbin);
  return played;
}

TEST(GstPlaybinSound, WhatIsHeardIsTheDecodedFileFromItsFirstSampleToItsLast) {
  PulseServer* server = nullptr;
  ASSERT_NO_THROW(server = &PulseServer::Shared()) << "the private PulseAudio daemon did not start";
  // 3 s of random Celp80 frames: loud to the very end.
  const LoudRecording recording = MakeLoudRecording(voice::VoiceMode::Celp80, 300, 15);
  const testing_support::TempFile file(recording.file);
  const std::vector<int16_t>& reference = recording.decoded;
  MonitorRecorder recorder(*server, kRate);
  ASSERT_TRUE(play_with_playbin(file.path()));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::vector<int16_t> heard = recorder.Stop();

  const size_t heardOnset = FirstAbove(heard, kOnsetThreshold);
  ASSERT_LT(heardOnset, heard.size()) << "nothing was heard";
  const auto guess = static_cast<ptrdiff_t>(heardOnset) -
                     static_cast<ptrdiff_t>(FirstAbove(reference, kOnsetThreshold));
  const Alignment alignment = Align(heard, reference, guess - kSearch, guess + kSearch);
  EXPECT_GE(alignment.correlation, 0.95) << "heard " << heard.size() << " samples, sound from "
                                         << heardOnset << ", delay " << alignment.delay;
  EXPECT_GE(static_cast<double>(heard.size()),
            alignment.delay + static_cast<double>(reference.size()))
      << "the recording stopped before the sound could have ended";
  const std::vector<double> blocks = BlockCorrelations(heard, reference, alignment, 800);
  for (size_t b = 0; b < blocks.size(); ++b)
    EXPECT_GE(blocks[b], 0.9) << "block " << b << " of " << blocks.size() << " differs";
}

}  // namespace
}  // namespace sound_testing
