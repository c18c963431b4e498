#include "tools/g729_export.h"

#include <cerrno>
#include <cstring>

#include "tools/g729_bitstream.h"
#include "voice/frame_reader.h"

namespace tools {

G729Export export_g729(voice::DecoderState& st, std::FILE* out) {
  G729Export result;
  const auto mode = static_cast<voice::VoiceMode>(st.mode);
  const size_t bytes = static_cast<size_t>(g729_frame_bytes(*g729_rate_of(mode)));
  uint8_t standard[voice::kMaxFrameBytes];
  while ((result.status = voice::read_frame(st, true)) == status::kSuccess) {
    g729_frame_from_voice(mode, st.frame, standard);
    if (std::fwrite(standard, 1, bytes, out) != bytes) {
      result.write_error = std::strerror(errno);
      return result;
    }
    ++result.frames;
  }
  return result;
}

}  // namespace tools
