#include "encoder/voice_header.h"

#include <algorithm>

namespace encoder {
namespace {

constexpr int64_t kFramesPerField[] = {360000, 6000, 100, 1};

}  // namespace

std::optional<DurationFields> duration_fields(int64_t stored_frames) {
  if (stored_frames < 0 || stored_frames > kMaxStoredFrames) return std::nullopt;
  DurationFields fields{};
  int64_t left = stored_frames;
  for (size_t i = 0; i < fields.size(); ++i) {
    const int64_t units = std::min<int64_t>(255, left / kFramesPerField[i]);
    fields[i] = static_cast<uint8_t>(units);
    left -= units * kFramesPerField[i];
  }
  return fields;
}

std::vector<uint8_t> header_region(int frame_bytes, const HeaderFields& fields) {
  std::vector<uint8_t> region(static_cast<size_t>(voice::kFirstFrameOffset - 2 * frame_bytes), 0);
  const size_t magic = std::min(fields.magic.size(), region.size());
  std::copy_n(fields.magic.begin(), magic, region.begin());
  std::copy(fields.duration.begin(), fields.duration.end(),
            region.begin() + voice::kDurationOffset);
  region[voice::kModeOffset] = fields.mode_byte;
  return region;
}

}  // namespace encoder
