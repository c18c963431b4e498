// voicefiledec in pipelines of the test's own, as applications build them:
// seeking in playbin, a damaged and a cut-short file, and a source that can
// only push.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <voicefile/voicefile.h>

#include <string>
#include <vector>

#include "support/voice_file_builder.h"

namespace {

using testing_support::Bytes;
using testing_support::TempFile;
using testing_support::VoiceFileBuilder;

constexpr GstClockTime kTimeout = 20 * GST_SECOND;

// What reached the sink named "out", and what the bus said until the end.
struct Outcome {
  Bytes data;
  bool eos = false;
  GError* error = nullptr;
  std::string warning;
  ~Outcome() { g_clear_error(&error); }
};

void keep_buffer(GstElement*, GstBuffer* buffer, GstPad*, gpointer outcome) {
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_READ);
  Bytes& data = static_cast<Outcome*>(outcome)->data;
  data.insert(data.end(), map.data, map.data + map.size);
  gst_buffer_unmap(buffer, &map);
}

GstElement* launch(const std::string& description) {
  static const bool initialised = gst_init_check(nullptr, nullptr, nullptr);
  EXPECT_TRUE(initialised);
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  EXPECT_EQ(error, nullptr) << error->message;
  return pipeline;
}

// Plays `pipeline` to its EOS or error, keeping warnings, then stops it.
void run_to_end(GstElement* pipeline, Outcome& outcome) {
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_signal_connect(sink, "handoff", G_CALLBACK(keep_buffer), &outcome);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  const auto ends = static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR);
  while (GstMessage* message = gst_bus_timed_pop_filtered(
             bus, kTimeout, static_cast<GstMessageType>(ends | GST_MESSAGE_WARNING))) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    outcome.eos = type == GST_MESSAGE_EOS;
    if (type == GST_MESSAGE_ERROR) gst_message_parse_error(message, &outcome.error, nullptr);
    if (type == GST_MESSAGE_WARNING) {
      GError* warning = nullptr;
      gst_message_parse_warning(message, &warning, nullptr);
      outcome.warning = warning->message;
      g_error_free(warning);
    }
    gst_message_unref(message);
    if (type & ends) break;
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(bus);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
}

Outcome decode(const std::string& path, const std::string& source_to_decodebin = "") {
  Outcome outcome;
  run_to_end(launch("filesrc location=" + path + " ! " + source_to_decodebin +
                    " decodebin ! fakesink name=out signal-handoffs=true"),
             outcome);
  return outcome;
}

// The library's samples of the whole file, little-endian as the caps say.
Bytes library_decoding(const char* path) {
  vf_decoder* decoder = vf_decoder_open(path, nullptr);
  Bytes bytes;
  int16_t pcm[VF_SAMPLES_PER_FRAME];
  int frames = 0;
  int status = VF_OK;
  do {
    status = vf_decoder_read(decoder, pcm, 1, &frames);
    for (int i = 0; i < frames * VF_SAMPLES_PER_FRAME; ++i) {
      bytes.push_back(static_cast<uint8_t>(pcm[i] & 0xff));
      bytes.push_back(static_cast<uint8_t>((pcm[i] >> 8) & 0xff));
    }
  } while (status == VF_OK);
  vf_decoder_close(decoder);
  return bytes;
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
  VoiceFileBuilder file(voice::VoiceMode::Adpcm40);
  file.speech_frames(23).zero_frame().jump_frame(5).speech_frames(2).end_marker();
  const TempFile damaged(file.bytes());
  const Outcome outcome = decode(damaged.path());
  ASSERT_NE(outcome.error, nullptr);
  EXPECT_TRUE(g_error_matches(outcome.error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE));
  EXPECT_STREQ(outcome.error->message, "Error Jump length < 0");
  EXPECT_EQ(outcome.data, library_decoding(damaged.c_str()));
  EXPECT_EQ(outcome.data.size(), 23u * VF_SAMPLES_PER_FRAME * 2);
}

TEST(GstPipeline, CutShortFileEndsWithEosAndAWarning) {
  Bytes bytes = testing_support::read_file(MESSAGE_VOICE_PATH);
  bytes.resize(bytes.size() / 2);
  const TempFile cut(bytes);
  const Outcome outcome = decode(cut.path());
  EXPECT_TRUE(outcome.eos);
  EXPECT_EQ(outcome.error, nullptr);
  EXPECT_NE(outcome.warning.find("cut short"), std::string::npos) << outcome.warning;
  EXPECT_EQ(outcome.data, library_decoding(cut.c_str()));
}

// queue offers its source pad in push mode only.
TEST(GstPipeline, PushModeDecodesTheWholeFileAsThePullMode) {
  const Outcome outcome = decode(MESSAGE_VOICE_PATH, "queue !");
  EXPECT_TRUE(outcome.eos);
  EXPECT_EQ(outcome.data, library_decoding(MESSAGE_VOICE_PATH));
}

}  // namespace
