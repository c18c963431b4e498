#include "tools/voice_report.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "tools/json_string.h"

namespace tools {

namespace {

// Steps one frame at a time, reading without decoding, so damaged files are
// measured just the same. Forward reading always advances, jumps included,
// so the walk ends at the latest at the physical end.
void walk_frames(vf_decoder* decoder, VoiceReport& report) {
  while ((report.end_status = vf_decoder_seek(decoder, vf_decoder_tell(decoder) + 1)) == VF_OK)
    ++report.readable_frames;
}

// The end of the stream is where a healthy file stops; short of the frames
// the header counts, the rest is missing. Any other status is damage where
// the reading stopped.
Verdict judge(const VoiceReport& report) {
  if (report.end_status != VF_STATUS_END_OF_STREAM) return Verdict::Damaged;
  return report.readable_frames < report.info.frames ? Verdict::Truncated : Verdict::Complete;
}

std::string mode_name(int mode) {
  const char* name = vf_mode_name(mode);
  if (!name) return "unknown (" + std::to_string(mode) + ")";
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// A frame every 10 ms: each byte of a frame is 100 bytes a second.
int64_t bitrate(const vf_info& info) {
  return int64_t{info.frame_bytes} * 8 * 100;
}

// Frames are 10 ms, so N frames last N hundredths of a second.
std::string clock_duration(int64_t frames) {
  const int64_t seconds = frames / 100;
  char text[64];
  std::snprintf(text, sizeof text,
                "%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%02" PRId64 " (%" PRId64 " s)",
                seconds / 3600, seconds / 60 % 60, seconds % 60, frames % 100, seconds);
  return text;
}

// Exactly, as a decimal with two places: no binary fraction in between.
std::string decimal_seconds(int64_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 ".%02" PRId64, frames / 100, frames % 100);
  return text;
}

const char* verdict_word(Verdict verdict) {
  switch (verdict) {
    case Verdict::Complete:
      return "complete";
    case Verdict::Truncated:
      return "truncated";
    case Verdict::Damaged:
      return "damaged";
  }
  return "";
}

}  // namespace

VoiceReport examine(vf_decoder* decoder) {
  VoiceReport report;
  vf_decoder_info(decoder, &report.info);
  walk_frames(decoder, report);
  report.end_status_text = vf_decoder_status_text(decoder, report.end_status);
  report.verdict = judge(report);
  return report;
}

std::string verdict_text(const VoiceReport& report) {
  const std::string readable = std::to_string(report.readable_frames);
  switch (report.verdict) {
    case Verdict::Complete:
      return "complete";
    case Verdict::Truncated:
      return "truncated after " + readable + " of " + std::to_string(report.info.frames) +
             " frames";
    case Verdict::Damaged:
      return "damaged at frame " + readable + ": " + report.end_status_text;
  }
  return "";
}

std::string text_report(const VoiceReport& report, const std::string& indent) {
  const vf_info& info = report.info;
  std::string text;
  const auto line = [&](const char* label, const std::string& value) {
    text += indent + label + value + "\n";
  };
  line("Mode:            ", mode_name(info.mode));
  line("Frame size:      ", std::to_string(info.frame_bytes) + " bytes");
  line("Bitrate:         ", std::to_string(bitrate(info)) + " bit/s");
  line("Frames:          ", std::to_string(info.frames));
  line("Duration:        ", clock_duration(info.frames));
  line("Readable frames: ", std::to_string(report.readable_frames));
  line("Verdict:         ",
       verdict_text(report) + " (status " + std::to_string(report.end_status) + ")");
  return text;
}

std::string json_report(const std::string& path, const VoiceReport& report) {
  const vf_info& info = report.info;
  const char* mode = vf_mode_name(info.mode);
  return "{\"path\": " + json_string(path) +
         ", \"mode\": " + (mode ? json_string(mode_name(info.mode)) : "null") +
         ", \"frame_bytes\": " + std::to_string(info.frame_bytes) +
         ", \"bitrate\": " + std::to_string(bitrate(info)) +
         ", \"frames\": " + std::to_string(info.frames) +
         ", \"duration_seconds\": " + decimal_seconds(info.frames) +
         ", \"readable_frames\": " + std::to_string(report.readable_frames) +
         ", \"end_status\": " + std::to_string(report.end_status) +
         ", \"end_status_text\": " + json_string(report.end_status_text) + ", \"verdict\": \"" +
         verdict_word(report.verdict) + "\"}";
}

std::string json_error(const std::string& path, const std::string& error) {
  return "{\"path\": " + json_string(path) + ", \"error\": " + json_string(error) + "}";
}

}  // namespace tools
