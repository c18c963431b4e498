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

G729Rate other_rate(G729Rate rate) {
  return rate == G729Rate::k8000 ? G729Rate::k6400 : G729Rate::k8000;
}

// "8000 bit/s (10 bytes)", or with `what` after the rate: "8000 bit/s frames (10 bytes)".
std::string rate_and_bytes(G729Rate rate, const std::string& what = "") {
  return std::to_string(g729_bps(rate)) + " bit/s" + what + " (" +
         std::to_string(g729_frame_bytes(rate)) + " bytes)";
}

// What to say of a stream of `length` bytes that ends in part of a frame:
// when the length fits the other rate's frames, the rate given is the likely
// mistake.
std::string partial_frame(G729Rate rate, uint64_t length) {
  const auto bytes = static_cast<size_t>(g729_frame_bytes(rate));
  const G729Rate other = other_rate(rate);
  if (length % static_cast<uint64_t>(g729_frame_bytes(other)) == 0)
    return "the length fits " + rate_and_bytes(other, " frames") + ", not " + rate_and_bytes(rate) +
           "; try --from-g729 " + std::to_string(g729_bps(other));
  const uint64_t index = length / bytes;
  return "ends in a partial frame: " + frame_name(static_cast<int64_t>(index), bytes) +
         " has only " + std::to_string(length % bytes) + " of its " + std::to_string(bytes) +
         " bytes";
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
    if (got < bytes) return at + partial_frame(rate, static_cast<uint64_t>(index) * bytes + got);
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
