// What vocinfo tells about one voice file: the header's fields, how far the
// frame run can be read, and the verdict that follows, as text or as JSON.
#pragma once

#include <voicefile/voicefile.h>

#include <cstdint>
#include <string>

namespace tools {

enum class Verdict { Complete, Truncated, Damaged };

struct VoiceReport {
  vf_info info{};
  int64_t readable_frames = 0;
  int end_status = VF_OK;  // the status that ended the reading
  std::string end_status_text;
  Verdict verdict = Verdict::Complete;
};

// Reads the frame run of an open decoder from its first frame to where the
// reading ends, without decoding, and judges it.
VoiceReport examine(vf_decoder* decoder);

// "complete", "truncated after N of M frames" or "damaged at frame N: why",
// frames counted from 0 as in vf_decoder_seek (frame N is the first one that
// could not be read).
std::string verdict_text(const VoiceReport& report);

// The report's lines, each after `indent`.
std::string text_report(const VoiceReport& report, const std::string& indent);

// One JSON object on one line; the other for a file that could not be
// opened, with the reason.
std::string json_report(const std::string& path, const VoiceReport& report);
std::string json_error(const std::string& path, const std::string& error);

}  // namespace tools
