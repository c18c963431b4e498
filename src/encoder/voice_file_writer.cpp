#include "encoder/voice_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "encoder/frame_encoder.h"
#include "encoder/voice_header.h"

namespace encoder {
namespace {

constexpr int kEndMarkerFrames = 2;

bool all_zero(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

bool reads_as_record(voice::VoiceMode mode, std::span<const uint8_t> frame) {
  if (mode != voice::VoiceMode::Adpcm40) return all_zero(frame);
  // Read forwards the second half trails, read backwards the first.
  const size_t half = frame.size() / 2;
  return all_zero(frame.first(half)) || all_zero(frame.subspan(half));
}

std::optional<std::vector<uint8_t>> silent_leading_frames(voice::VoiceMode mode) {
  const std::unique_ptr<FrameEncoder> encoder = MakeFrameEncoder(mode);
  if (!encoder) return std::nullopt;
  const int bytes = voice::frame_bytes_of(mode);
  std::vector<uint8_t> frames(static_cast<size_t>(2 * bytes));
  const int16_t silence[voice::kSamplesPerFrame] = {};
  encoder->EncodeFrame(silence, frames.data());
  encoder->EncodeFrame(silence, frames.data() + bytes);
  return frames;
}

VoiceFileWriter::VoiceFileWriter(std::FILE* out, voice::VoiceMode mode)
    : out_(out), mode_(mode), frame_bytes_(voice::frame_bytes_of(mode)) {}

bool VoiceFileWriter::fail(std::string why) {
  error_ = std::move(why);
  return false;
}

bool VoiceFileWriter::write(std::span<const uint8_t> bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), out_) == bytes.size()) return true;
  return fail(std::strerror(errno));
}

// The duration stays zero until finish(): a file cut short by a failure
// opens as one without frames rather than as a wrong length.
bool VoiceFileWriter::begin(std::span<const uint8_t> leading_frames) {
  if (leading_frames.size() != static_cast<size_t>(2 * frame_bytes_))
    return fail("the two leading frames must be " + std::to_string(2 * frame_bytes_) + " bytes");
  HeaderFields fields;
  fields.mode_byte = static_cast<uint8_t>(mode_);
  return write(header_region(frame_bytes_, fields)) && write(leading_frames);
}

bool VoiceFileWriter::append(std::span<const uint8_t> frame) {
  if (frame.size() != static_cast<size_t>(frame_bytes_))
    return fail("a frame must be " + std::to_string(frame_bytes_) + " bytes");
  if (reads_as_record(mode_, frame))
    return fail("frame " + std::to_string(frames_) +
                " would be read as an end marker or a jump record, not as speech");
  if (frames_ + kEndMarkerFrames >= kMaxStoredFrames)
    return fail("too long: the duration fields count at most " +
                std::to_string(kMaxStoredFrames - kEndMarkerFrames) + " frames");
  if (!write(frame)) return false;
  ++frames_;
  return true;
}

bool VoiceFileWriter::finish() {
  if (frames_ == 0) return fail("no frames to write: a voice file needs at least one");
  const std::vector<uint8_t> zero_frame(static_cast<size_t>(frame_bytes_), 0);
  for (int i = 0; i < kEndMarkerFrames; ++i)
    if (!write(zero_frame)) return false;
  // The count covers every frame from the first one decoded to the end.
  const auto fields = duration_fields(frames_ + kEndMarkerFrames);
  if (!fields) return fail("too long for the duration fields");
  if (std::fseek(out_, voice::kDurationOffset, SEEK_SET) != 0) return fail(std::strerror(errno));
  if (!write(*fields)) return false;
  if (std::fseek(out_, 0, SEEK_END) != 0 || std::fflush(out_) != 0)
    return fail(std::strerror(errno));
  return true;
}

}  // namespace encoder
