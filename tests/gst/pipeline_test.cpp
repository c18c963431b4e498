// voicefiledec in pipelines of the test's own, as applications build them:
// seeking in playbin, a damaged and a cut-short file, and a source that can
// only push.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/voice_file_builder.h"
#include "voicefile/voicefile_test_util.h"

namespace {

using testing_support::decode_file;
using testing_support::TempFile;

constexpr GstClockTime kTimeout = 20 * GST_SECOND;

// What reached the sink named "out" (S16LE, read on a little-endian
// machine), and what the bus said until the end.
struct Outcome {
  std::vector<int16_t> samples;
  bool eos = false;
  std::string error;  // the text of a stream decode error
  std::string warning;
};

void keep_buffer(GstElement*, GstBuffer* buffer, GstPad*, gpointer outcome) {
  std::vector<int16_t>& samples = static_cast<Outcome*>(outcome)->samples;
  const size_t had = samples.size();
  samples.resize(had + gst_buffer_get_size(buffer) / 2);
  gst_buffer_extract(buffer, 0, samples.data() + had, gst_buffer_get_size(buffer));
}

GstElement* launch(const std::string& description) {
  static const bool initialised = gst_init_check(nullptr, nullptr, nullptr);
  EXPECT_TRUE(initialised);
  return gst_parse_launch(description.c_str(), nullptr);
}

std::string text_of(GstMessage* message) {
  GError* error = nullptr;
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
    gst_message_parse_error(message, &error, nullptr);
  else
    gst_message_parse_warning(message, &error, nullptr);
  std::string text = g_error_matches(error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE)
                         ? error->message
                         : "(not a stream decode error) " + std::string(error->message);
  g_error_free(error);
  return text;
}

// Plays `description` to its EOS or error, keeping warnings, then stops it.
Outcome decode(const std::string& description) {
  Outcome outcome;
  GstElement* pipeline = launch(description + " ! fakesink name=out signal-handoffs=true");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_signal_connect(sink, "handoff", G_CALLBACK(keep_buffer), &outcome);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  const auto ends = static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR);
  while (GstMessage* message = gst_bus_timed_pop_filtered(
             bus, kTimeout, static_cast<GstMessageType>(ends | GST_MESSAGE_WARNING))) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    outcome.eos = type == GST_MESSAGE_EOS;
    if (type == GST_MESSAGE_ERROR) outcome.error = text_of(message);
    if (type == GST_MESSAGE_WARNING) outcome.warning = text_of(message);
    gst_message_unref(message);
    if (type & ends) break;
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(bus);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return outcome;
}

TEST(GstPipeline, FlushingSeekResumesAtTheFrameAtOrBeforeTheTarget) {
  gchar* uri = gst_filename_to_uri(MESSAGE_VOICE_PATH, nullptr);
  GstElement* playbin = launch(std::string("playbin audio-sink=fakesink uri=") + uri);
  g_free(uri);
  gst_element_set_state(playbin, GST_STATE_PAUSED);
  ASSERT_EQ(gst_element_get_state(playbin, nullptr, nullptr, kTimeout), GST_STATE_CHANGE_SUCCESS);
  gint64 duration = 0;
  ASSERT_TRUE(gst_element_query_duration(playbin, GST_FORMAT_TIME, &duration));
  EXPECT_EQ(duration, 7350 * GST_MSECOND);

  // The middle, 3.675 s, lies within the frame that starts at 3.67 s.
  ASSERT_TRUE(gst_element_seek_simple(playbin, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, duration / 2));
  ASSERT_EQ(gst_element_get_state(playbin, nullptr, nullptr, kTimeout), GST_STATE_CHANGE_SUCCESS);
  GstElement* sink = nullptr;
  g_object_get(playbin, "audio-sink", &sink, nullptr);
  GstSample* first = nullptr;
  g_object_get(sink, "last-sample", &first, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GST_BUFFER_PTS(gst_sample_get_buffer(first)), 3670 * GST_MSECOND);
  gst_sample_unref(first);
  gst_object_unref(sink);
  gst_element_set_state(playbin, GST_STATE_NULL);
  gst_object_unref(playbin);
}

TEST(GstPipeline, DamagedFileEndsWithTheDecodersErrorAfterEverythingBeforeIt) {
  testing_support::VoiceFileBuilder file(voice::VoiceMode::Adpcm40);
  file.speech_frames(23).zero_frame().jump_frame(5).speech_frames(2).end_marker();
  const TempFile damaged(file.bytes());
  const Outcome outcome = decode("filesrc location=" + damaged.path() + " ! decodebin");
  EXPECT_EQ(outcome.error, "Error Jump length < 0");
  EXPECT_EQ(outcome.samples.size(), 23u * VF_SAMPLES_PER_FRAME);
  EXPECT_EQ(outcome.samples, decode_file(damaged.c_str()).samples);
}

TEST(GstPipeline, CutShortFileEndsWithEosAndAWarning) {
  testing_support::Bytes bytes = testing_support::read_file(MESSAGE_VOICE_PATH);
  bytes.resize(bytes.size() / 2);
  const TempFile cut(bytes);
  const Outcome outcome = decode("filesrc location=" + cut.path() + " ! decodebin");
  EXPECT_TRUE(outcome.eos);
  EXPECT_EQ(outcome.error, "");
  EXPECT_NE(outcome.warning.find("cut short"), std::string::npos) << outcome.warning;
  EXPECT_EQ(outcome.samples, decode_file(cut.c_str()).samples);
}

// queue offers its source pad in push mode only.
TEST(GstPipeline, PushModeDecodesTheWholeFileAsThePullMode) {
  const Outcome outcome =
      decode(std::string("filesrc location=") + MESSAGE_VOICE_PATH + " ! queue ! decodebin");
  EXPECT_TRUE(outcome.eos);
  EXPECT_EQ(outcome.samples, decode_file(MESSAGE_VOICE_PATH).samples);
}

}  // namespace
