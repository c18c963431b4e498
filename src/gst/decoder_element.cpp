// The decoder reads the voice file itself, through libvoicefile: in pull mode
// wherever it likes through the sink pad, in push mode from memory once the
// whole file has arrived. A task on the source pad decodes buffers of whole
// frames and pushes them; a seek moves the decoder to the frame at or before
// the target, as the player's position slider does.
#include "decoder_element.h"

#include <voicefile/voicefile.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "pull_range_reader.h"

GST_DEBUG_CATEGORY_STATIC(voicefile_dec_debug);
#define GST_CAT_DEFAULT voicefile_dec_debug

namespace {

// 100 ms a buffer: cheap to push, fine enough for seeking and positions.
constexpr int kFramesPerBuffer = 10;
constexpr GstClockTime kFrameDuration = GST_SECOND * VF_SAMPLES_PER_FRAME / VF_SAMPLE_RATE;
constexpr gsize kFrameBytes = VF_SAMPLES_PER_FRAME * sizeof(int16_t);
// Push mode holds the whole file in memory: 1 GiB is more than a day of the
// bulkiest mode, so a longer stream is refused rather than held.
constexpr size_t kMaxPushedBytes = size_t{1} << 30;
// How long the stream waits for its source pad to be linked downstream.
constexpr int kLinkWaitSteps = 200;
constexpr gulong kLinkWaitStepMicroseconds = 10000;

GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-voicefile, mode = (string) { celp56, celp64, celp80, adpcm40 }"));
GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("audio/x-raw, format = (string) S16LE, "
                                            "rate = (int) 8000, channels = (int) 1, "
                                            "layout = (string) interleaved"));

// What the element works on from one start to the next. The streaming task
// and the seek handler use it under the source pad's stream lock; the
// fields queries read (decoder, info, segment) change under the object lock.
struct DecodeSession {
  DecodeSession() { gst_segment_init(&segment, GST_FORMAT_TIME); }
  ~DecodeSession() { vf_decoder_close(decoder); }

  bool pull_mode = false;
  std::unique_ptr<PullRangeReader> reader;  // pull mode
  std::vector<uint8_t> pushed;              // push mode: the file so far
  vf_decoder* decoder = nullptr;            // once the file could be opened
  vf_info info{};
  GstSegment segment;  // position: where the next buffer starts
  bool stream_started = false;
  bool segment_pending = true;
  bool discont = true;
  bool linked = false;                  // something pushed has reached downstream
  guint32 seqnum = GST_SEQNUM_INVALID;  // of the seek that made the segment
};

GstClockTime time_of(int64_t frame) {
  return static_cast<GstClockTime>(frame) * kFrameDuration;
}

// A count of frames in a query's format: time, or samples (the default).
bool frames_in_format(GstFormat format, int64_t frames, gint64* value) {
  if (format == GST_FORMAT_TIME)
    *value = static_cast<gint64>(time_of(frames));
  else if (format == GST_FORMAT_DEFAULT)
    *value = frames * VF_SAMPLES_PER_FRAME;
  else
    return false;
  return true;
}

// The library gives native-endian samples; the caps promise little-endian.
void to_little_endian(int16_t* samples, size_t count) {
  if constexpr (std::endian::native == std::endian::big)
    for (size_t i = 0; i < count; ++i)
      samples[i] = static_cast<int16_t>(GUINT16_SWAP_LE_BE(static_cast<guint16>(samples[i])));
}

}  // namespace

struct _VoicefileDec {
  GstElement parent;
  GstPad* sinkpad;
  GstPad* srcpad;
  DecodeSession* session;
};

G_DEFINE_TYPE(VoicefileDec, voicefile_dec, GST_TYPE_ELEMENT)

namespace {

// Opens the decoder on the file: through the sink pad in pull mode, on the
// bytes received in push mode. Returns the library's status.
int open_decoder(VoicefileDec* self) {
  DecodeSession& s = *self->session;
  if (s.decoder) return VF_OK;
  int status = VF_OK;
  vf_decoder* decoder = nullptr;
  if (s.pull_mode) {
    s.reader = std::make_unique<PullRangeReader>(self->sinkpad);
    decoder = vf_decoder_open_callbacks(&PullRangeReader::kCallbacks, s.reader.get(), &status);
  } else {
    decoder = vf_decoder_open_memory(s.pushed.data(), s.pushed.size(), &status);
  }
  if (!decoder) return status;
  GST_OBJECT_LOCK(self);
  s.decoder = decoder;
  vf_decoder_info(decoder, &s.info);
  s.segment.duration = time_of(s.info.frames);
  GST_OBJECT_UNLOCK(self);
  return VF_OK;
}

void push_stream_start_and_caps(VoicefileDec* self) {
  gchar* id = gst_pad_create_stream_id(self->srcpad, GST_ELEMENT(self), nullptr);
  GstEvent* start = gst_event_new_stream_start(id);
  g_free(id);
  gst_event_set_group_id(start, gst_util_group_id_next());
  gst_pad_push_event(self->srcpad, start);
  GstCaps* caps = gst_static_pad_template_get_caps(&src_template);
  gst_pad_push_event(self->srcpad, gst_event_new_caps(caps));
  gst_caps_unref(caps);
}

// Gives `event` the seek's sequence number, so that the application can
// tell what its seek brought about.
GstEvent* after_seek(const DecodeSession& s, GstEvent* event) {
  if (s.seqnum != GST_SEQNUM_INVALID) gst_event_set_seqnum(event, s.seqnum);
  return event;
}

void push_segment(VoicefileDec* self) {
  GST_OBJECT_LOCK(self);
  GstEvent* event = gst_event_new_segment(&self->session->segment);
  GST_OBJECT_UNLOCK(self);
  gst_pad_push_event(self->srcpad, after_seek(*self->session, event));
}

// In pull mode the task starts with the activation, while decodebin links
// the source pad onwards only after this element has reached PAUSED and
// drops the element's messages until then. So before its first buffer, or
// before its end when it has none, the stream waits (up to 2 s) for the
// link, probing with a gap event of no duration.
bool wait_until_linked(VoicefileDec* self) {
  DecodeSession& s = *self->session;
  for (int step = 0; !s.linked && step < kLinkWaitSteps; ++step) {
    if (step > 0) {
      GST_DEBUG_OBJECT(self, "not linked downstream yet");
      g_usleep(kLinkWaitStepMicroseconds);
    }
    if (GST_PAD_IS_FLUSHING(self->srcpad)) return false;
    s.linked = gst_pad_push_event(self->srcpad, gst_event_new_gap(s.segment.position, 0));
  }
  return s.linked;
}

GstFlowReturn push_buffer(VoicefileDec* self, GstBuffer* buffer) {
  DecodeSession& s = *self->session;
  if (s.linked) return gst_pad_push(self->srcpad, buffer);
  GstFlowReturn flow = gst_pad_push(self->srcpad, gst_buffer_ref(buffer));
  if (flow == GST_FLOW_NOT_LINKED && wait_until_linked(self))
    flow = gst_pad_push(self->srcpad, gst_buffer_ref(buffer));
  gst_buffer_unref(buffer);
  s.linked = flow == GST_FLOW_OK || flow == GST_FLOW_EOS;
  return flow;
}

// After the last buffer of the segment: EOS, or segment-done for a seek
// that asked for it (to loop or to chain segments without a flush).
void end_segment(VoicefileDec* self) {
  const DecodeSession& s = *self->session;
  if (!(s.segment.flags & GST_SEGMENT_FLAG_SEGMENT)) {
    gst_pad_push_event(self->srcpad, after_seek(s, gst_event_new_eos()));
    return;
  }
  const auto stop = static_cast<gint64>(
      GST_CLOCK_TIME_IS_VALID(s.segment.stop) ? s.segment.stop : s.segment.duration);
  GstMessage* done = gst_message_new_segment_done(GST_OBJECT(self), GST_FORMAT_TIME, stop);
  if (s.seqnum != GST_SEQNUM_INVALID) gst_message_set_seqnum(done, s.seqnum);
  gst_element_post_message(GST_ELEMENT(self), done);
  gst_pad_push_event(self->srcpad,
                     after_seek(s, gst_event_new_segment_done(GST_FORMAT_TIME, stop)));
}

// Pauses the task after `flow` ended the streaming: at the end of the
// segment the event that says so; after an error, EOS so that downstream
// ends too (GST_FLOW_ERROR has been posted already, other failures are
// posted here); nothing while flushing, where a seek restarts the task.
void pause_streaming(VoicefileDec* self, GstFlowReturn flow) {
  GST_DEBUG_OBJECT(self, "pausing: %s", gst_flow_get_name(flow));
  gst_pad_pause_task(self->srcpad);
  if (flow == GST_FLOW_FLUSHING) return;
  if (flow == GST_FLOW_EOS) {
    end_segment(self);
    return;
  }
  if (flow != GST_FLOW_ERROR) GST_ELEMENT_FLOW_ERROR(self, flow);
  gst_pad_push_event(self->srcpad, gst_event_new_eos());
}

// How many frames the next buffer holds: a buffer's worth, fewer where the
// segment stops; 0 once it has stopped.
int frames_wanted(const DecodeSession& s) {
  if (!GST_CLOCK_TIME_IS_VALID(s.segment.stop)) return kFramesPerBuffer;
  const GstClockTime next = time_of(vf_decoder_tell(s.decoder));
  if (next >= s.segment.stop) return 0;
  const GstClockTime left = (s.segment.stop - next + kFrameDuration - 1) / kFrameDuration;
  return static_cast<int>(std::min<GstClockTime>(left, kFramesPerBuffer));
}

// Decodes up to `frames` frames into a buffer stamped with their time and
// samples; *buffer is null when none could be decoded. Returns the
// library's status.
int decode_buffer(vf_decoder* decoder, int frames, GstBuffer** buffer) {
  const int64_t first = vf_decoder_tell(decoder);
  *buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(frames) * kFrameBytes, nullptr);
  GstMapInfo map;
  gst_buffer_map(*buffer, &map, GST_MAP_WRITE);
  auto* samples = reinterpret_cast<int16_t*>(map.data);
  int decoded = 0;
  const int status = vf_decoder_read(decoder, samples, frames, &decoded);
  to_little_endian(samples, static_cast<size_t>(decoded) * VF_SAMPLES_PER_FRAME);
  gst_buffer_unmap(*buffer, &map);
  if (decoded == 0) {
    gst_clear_buffer(buffer);
    return status;
  }
  gst_buffer_set_size(*buffer, static_cast<gsize>(decoded) * kFrameBytes);
  GST_BUFFER_PTS(*buffer) = time_of(first);
  GST_BUFFER_DURATION(*buffer) = time_of(decoded);
  GST_BUFFER_OFFSET(*buffer) = static_cast<guint64>(first) * VF_SAMPLES_PER_FRAME;
  GST_BUFFER_OFFSET_END(*buffer) = static_cast<guint64>(first + decoded) * VF_SAMPLES_PER_FRAME;
  return status;
}

// What ended the reading: the end of the file (with a warning when it ends
// short of the frame count its header gives), or damage, posted as an
// error with the decoder's text once everything before it has been pushed.
GstFlowReturn end_of_reading(VoicefileDec* self, int status) {
  DecodeSession& s = *self->session;
  wait_until_linked(self);
  const int64_t reached = vf_decoder_tell(s.decoder);
  if (status == VF_STATUS_END_OF_STREAM) {
    if (reached < s.info.frames)
      GST_ELEMENT_WARNING(self, STREAM, DECODE,
                          ("The voice file is cut short: it ends after %" G_GINT64_FORMAT
                           " of its %" G_GINT64_FORMAT " frames",
                           reached, s.info.frames),
                          ("%s", vf_decoder_status_text(s.decoder, status)));
    return GST_FLOW_EOS;
  }
  if (s.reader && s.reader->last_failure() == GST_FLOW_FLUSHING) return GST_FLOW_FLUSHING;
  GST_ELEMENT_ERROR(self, STREAM, DECODE, ("%s", vf_decoder_status_text(s.decoder, status)),
                    ("decoder status %d after frame %" G_GINT64_FORMAT, status, reached));
  return GST_FLOW_ERROR;
}

// One turn of the streaming task: the stream's first events when due, then
// one buffer.
void decode_loop(gpointer data) {
  auto* self = VOICEFILE_DEC(data);
  DecodeSession& s = *self->session;
  const int opened = open_decoder(self);
  if (!s.stream_started) push_stream_start_and_caps(self);
  s.stream_started = true;
  if (s.segment_pending) push_segment(self);
  s.segment_pending = false;
  if (opened != VF_OK) {
    wait_until_linked(self);
    GST_ELEMENT_ERROR(self, STREAM, DECODE, ("%s", vf_status_text(opened)),
                      ("the voice file cannot be opened (status %d)", opened));
    return pause_streaming(self, GST_FLOW_ERROR);
  }

  const int wanted = frames_wanted(s);
  if (wanted == 0) return pause_streaming(self, GST_FLOW_EOS);
  GstBuffer* buffer = nullptr;
  const int status = decode_buffer(s.decoder, wanted, &buffer);
  if (buffer) {
    if (s.discont) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    s.discont = false;
    GST_OBJECT_LOCK(self);
    s.segment.position = GST_BUFFER_PTS(buffer) + GST_BUFFER_DURATION(buffer);
    GST_OBJECT_UNLOCK(self);
    const GstFlowReturn flow = push_buffer(self, buffer);
    if (flow != GST_FLOW_OK) return pause_streaming(self, flow);
  }
  if (status != VF_OK) pause_streaming(self, end_of_reading(self, status));
}

// Seeks in time, forwards playback only. The decoder goes to the frame at or
// before the target and the new segment starts there, so that nothing of
// the first buffer is clipped away.
gboolean handle_seek(VoicefileDec* self, GstEvent* event) {
  DecodeSession& s = *self->session;
  gdouble rate = 1;
  GstFormat format = GST_FORMAT_UNDEFINED;
  GstSeekFlags flags = GST_SEEK_FLAG_NONE;
  GstSeekType start_type = GST_SEEK_TYPE_NONE, stop_type = GST_SEEK_TYPE_NONE;
  gint64 start = 0, stop = 0;
  gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
  GST_OBJECT_LOCK(self);
  // In push mode the file is seekable once all of it has arrived.
  const bool seekable = s.decoder || s.pull_mode;
  GST_OBJECT_UNLOCK(self);
  if (format != GST_FORMAT_TIME || rate <= 0 || !seekable) return FALSE;

  const guint32 seqnum = gst_event_get_seqnum(event);
  const bool flush = flags & GST_SEEK_FLAG_FLUSH;
  if (flush) {
    GstEvent* flush_start = gst_event_new_flush_start();
    gst_event_set_seqnum(flush_start, seqnum);
    gst_pad_push_event(self->srcpad, flush_start);
  } else {
    gst_pad_pause_task(self->srcpad);
  }
  // Held while the task is between two turns.
  GST_PAD_STREAM_LOCK(self->srcpad);
  const bool opened = open_decoder(self) == VF_OK;
  if (flush) {
    GstEvent* flush_stop = gst_event_new_flush_stop(TRUE);
    gst_event_set_seqnum(flush_stop, seqnum);
    gst_pad_push_event(self->srcpad, flush_stop);
  }
  if (opened) {
    GST_OBJECT_LOCK(self);
    GstSegment seeked = s.segment;
    GST_OBJECT_UNLOCK(self);
    gst_segment_do_seek(&seeked, rate, format, flags, start_type, static_cast<guint64>(start),
                        stop_type, static_cast<guint64>(stop), nullptr);
    const int64_t frame =
        std::min(static_cast<int64_t>(seeked.position / kFrameDuration), s.info.frames);
    // A failure shows at the next read, which reports it.
    vf_decoder_seek(s.decoder, frame);
    seeked.start = seeked.time = seeked.position = time_of(frame);
    GST_DEBUG_OBJECT(self, "seek to %" GST_TIME_FORMAT ": frame %" G_GINT64_FORMAT,
                     GST_TIME_ARGS(static_cast<GstClockTime>(start)), frame);
    if (flags & GST_SEEK_FLAG_SEGMENT) {
      GstMessage* started = gst_message_new_segment_start(GST_OBJECT(self), GST_FORMAT_TIME,
                                                          static_cast<gint64>(seeked.start));
      gst_message_set_seqnum(started, seqnum);
      gst_element_post_message(GST_ELEMENT(self), started);
    }
    GST_OBJECT_LOCK(self);
    s.segment = seeked;
    GST_OBJECT_UNLOCK(self);
    s.segment_pending = true;
    s.discont = true;
    s.seqnum = seqnum;
    gst_pad_start_task(self->srcpad, decode_loop, self, nullptr);
  }
  GST_PAD_STREAM_UNLOCK(self->srcpad);
  return opened;
}

gboolean src_event(GstPad* pad, GstObject* parent, GstEvent* event) {
  if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK) return gst_pad_event_default(pad, parent, event);
  const gboolean handled = handle_seek(VOICEFILE_DEC(parent), event);
  gst_event_unref(event);
  return handled;
}

// Duration (from the header), position and seekability, in time or in
// samples, once the file is open; other queries the default way.
gboolean src_query(GstPad* pad, GstObject* parent, GstQuery* query) {
  auto* self = VOICEFILE_DEC(parent);
  const DecodeSession& s = *self->session;
  GstFormat format = GST_FORMAT_UNDEFINED;
  gint64 value = 0;
  GST_OBJECT_LOCK(self);
  const bool open = s.decoder != nullptr;
  const int64_t frames = s.info.frames;
  const int64_t position = static_cast<int64_t>(s.segment.position / kFrameDuration);
  GST_OBJECT_UNLOCK(self);
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION:
      gst_query_parse_duration(query, &format, nullptr);
      if (!open || !frames_in_format(format, frames, &value)) break;
      gst_query_set_duration(query, format, value);
      return TRUE;
    case GST_QUERY_POSITION:
      gst_query_parse_position(query, &format, nullptr);
      if (!open || !frames_in_format(format, position, &value)) break;
      gst_query_set_position(query, format, value);
      return TRUE;
    case GST_QUERY_SEEKING:
      gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
      if (format != GST_FORMAT_TIME) break;
      gst_query_set_seeking(query, format, open, 0, static_cast<gint64>(time_of(frames)));
      return TRUE;
    default:
      break;
  }
  return gst_pad_query_default(pad, parent, query);
}

// Pull mode when upstream offers random access, as filesrc and giosrc do.
gboolean sink_activate(GstPad* pad, GstObject*) {
  GstQuery* query = gst_query_new_scheduling();
  const bool pull =
      gst_pad_peer_query(pad, query) && gst_query_has_scheduling_mode_with_flags(
                                            query, GST_PAD_MODE_PULL, GST_SCHEDULING_FLAG_SEEKABLE);
  gst_query_unref(query);
  return gst_pad_activate_mode(pad, pull ? GST_PAD_MODE_PULL : GST_PAD_MODE_PUSH, TRUE);
}

gboolean sink_activate_mode(GstPad*, GstObject* parent, GstPadMode mode, gboolean active) {
  auto* self = VOICEFILE_DEC(parent);
  if (!active) return gst_pad_stop_task(self->srcpad);
  GST_OBJECT_LOCK(self);
  self->session->pull_mode = mode == GST_PAD_MODE_PULL;
  GST_OBJECT_UNLOCK(self);
  if (mode != GST_PAD_MODE_PULL) return TRUE;
  return gst_pad_start_task(self->srcpad, decode_loop, self, nullptr);
}

// Push mode: the file is gathered until upstream's EOS.
GstFlowReturn sink_chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  auto* self = VOICEFILE_DEC(parent);
  std::vector<uint8_t>& pushed = self->session->pushed;
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_READ);
  bool kept = pushed.size() + map.size <= kMaxPushedBytes;
  try {
    if (kept) pushed.insert(pushed.end(), map.data, map.data + map.size);
  } catch (const std::bad_alloc&) {
    kept = false;
  }
  gst_buffer_unmap(buffer, &map);
  gst_buffer_unref(buffer);
  if (kept) return GST_FLOW_OK;
  GST_ELEMENT_ERROR(self, STREAM, DECODE, ("The stream is too long to be held as a voice file"),
                    ("more than %zu bytes", pushed.size()));
  return GST_FLOW_ERROR;
}

// Push mode: the whole file has arrived; decode it from memory.
gboolean start_from_memory(VoicefileDec* self) {
  if (self->session->pushed.empty()) {
    GST_ELEMENT_ERROR(self, STREAM, DECODE, ("The stream holds no voice file"), (nullptr));
    return FALSE;
  }
  // A file the library refuses is reported by the task, as in pull mode.
  open_decoder(self);
  return gst_pad_start_task(self->srcpad, decode_loop, self, nullptr);
}

// Upstream's sticky events are replaced by the element's own (the stream
// runs in time, not bytes), and once the file is whole upstream has
// nothing more to say about it.
gboolean sink_event(GstPad* pad, GstObject* parent, GstEvent* event) {
  auto* self = VOICEFILE_DEC(parent);
  DecodeSession& s = *self->session;
  if (GST_EVENT_TYPE(event) == GST_EVENT_EOS && !s.decoder) {
    gst_event_unref(event);
    return start_from_memory(self);
  }
  if (GST_EVENT_IS_STICKY(event) || s.decoder) {
    gst_event_unref(event);
    return TRUE;
  }
  if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) s.pushed.clear();
  return gst_pad_event_default(pad, parent, event);
}

void reset_session(VoicefileDec* self) {
  GST_OBJECT_LOCK(self);
  delete self->session;
  self->session = new DecodeSession;
  GST_OBJECT_UNLOCK(self);
}

GstStateChangeReturn change_state(GstElement* element, GstStateChange transition) {
  auto* self = VOICEFILE_DEC(element);
  if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) reset_session(self);
  const GstStateChangeReturn result =
      GST_ELEMENT_CLASS(voicefile_dec_parent_class)->change_state(element, transition);
  // The pads are inactive and the task has stopped: the file can go.
  if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) reset_session(self);
  return result;
}

void finalize(GObject* object) {
  delete VOICEFILE_DEC(object)->session;
  G_OBJECT_CLASS(voicefile_dec_parent_class)->finalize(object);
}

}  // namespace

static void voicefile_dec_class_init(VoicefileDecClass* klass) {
  GST_DEBUG_CATEGORY_INIT(voicefile_dec_debug, "voicefiledec", 0, "voice file decoder");
  G_OBJECT_CLASS(klass)->finalize = finalize;
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  element_class->change_state = change_state;
  gst_element_class_add_static_pad_template(element_class, &sink_template);
  gst_element_class_add_static_pad_template(element_class, &src_template);
  gst_element_class_set_static_metadata(
      element_class, "Voice file decoder", "Codec/Decoder/Audio",
      "Decodes voice files (Celp56, Celp64, Celp80, Adpcm40) to 8000 Hz mono audio",
      "voiceplayer project");
}

static void voicefile_dec_init(VoicefileDec* self) {
  self->session = new DecodeSession;
  self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
  gst_pad_set_activate_function(self->sinkpad, sink_activate);
  gst_pad_set_activatemode_function(self->sinkpad, sink_activate_mode);
  gst_pad_set_chain_function(self->sinkpad, sink_chain);
  gst_pad_set_event_function(self->sinkpad, sink_event);
  gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);

  self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
  gst_pad_set_event_function(self->srcpad, src_event);
  gst_pad_set_query_function(self->srcpad, src_query);
  gst_pad_use_fixed_caps(self->srcpad);
  gst_element_add_pad(GST_ELEMENT(self), self->srcpad);
}

gboolean voicefile_dec_register(GstPlugin* plugin) {
  return gst_element_register(plugin, "voicefiledec", GST_RANK_PRIMARY, VOICEFILE_TYPE_DEC);
}
