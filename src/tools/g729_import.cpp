#include "tools/g729_import.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace tools {

namespace {

std::string frame_name(int64_t index, size_t bytes) {
  const auto first = static_cast<unsigned long long>(index) * bytes;
  return "frame " + std::to_string(index + 1) + " (bytes " + std::to_string(first) + " to " +
         std::to_string(first + bytes - 1) + ")";
}

}  // namespace

std::optional<std::string> import_g729(std::FILE* in, G729Rate rate,
                                       encoder::VoiceFileWriter& writer,
                                       const std::string& input_name,
                                       const std::string& output_name) {
  const std::string at = input_name + ": ";
  const voice::VoiceMode mode = voice_mode_of(rate);
  const auto bytes = static_cast<size_t>(g729_frame_bytes(rate));
  std::vector<uint8_t> standard(bytes), frame(bytes);
  for (int64_t index = 0;; ++index) {
    const size_t got = std::fread(standard.data(), 1, bytes, in);
    if (std::ferror(in)) return at + std::strerror(errno);
    if (got == 0) {
      if (index == 0) return at + "no frames";
      return std::nullopt;
    }
    if (got < bytes)
      return at + "ends in a partial frame: " + frame_name(index, bytes) + " has only " +
             std::to_string(got) + " of its " + std::to_string(bytes) + " bytes";
    voice_frame_from_g729(rate, standard.data(), frame.data());
    // A voice file cannot carry an all-zero frame: its reader would take it
    // for the start of an end marker or a jump record.
    if (encoder::reads_as_record(mode, frame))
      return at + frame_name(index, bytes) +
             " has every bit zero, which a voice file reads as an end marker or jump record, "
             "not as speech";
    if (!writer.append(frame)) return output_name + ": " + writer.error();
  }
}

}  // namespace tools
