#include "support/voice_file_builder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "encoder/voice_header.h"

namespace testing_support {

VoiceFileBuilder::VoiceFileBuilder(voice::VoiceMode mode)
    : frame_bytes_(voice::frame_bytes_of(mode)), mode_byte_(static_cast<uint8_t>(mode)) {
  for (int i = 0; i < 2 * frame_bytes_; ++i)
    leading_.push_back(static_cast<uint8_t>(0xA0 + i % 16));
}

VoiceFileBuilder& VoiceFileBuilder::magic(std::string_view text) {
  magic_ = std::string(text);
  return *this;
}

VoiceFileBuilder& VoiceFileBuilder::mode_byte(uint8_t value) {
  mode_byte_ = value;
  return *this;
}

VoiceFileBuilder& VoiceFileBuilder::duration(uint8_t hours, uint8_t minutes, uint8_t seconds,
                                             uint8_t hundredths) {
  duration_ = Bytes{hours, minutes, seconds, hundredths};
  return *this;
}

VoiceFileBuilder& VoiceFileBuilder::playable_frames(int32_t n) {
  const encoder::DurationFields d = encoder::duration_fields(n + 2).value();
  return duration(d[0], d[1], d[2], d[3]);
}

VoiceFileBuilder& VoiceFileBuilder::leading_frames(const Bytes& two_frames) {
  leading_ = two_frames;
  leading_.resize(2 * frame_bytes_, 0);
  return *this;
}

VoiceFileBuilder& VoiceFileBuilder::frame(const Bytes& bytes) {
  Bytes f = bytes;
  f.resize(frame_bytes_, 0);
  return raw(f);
}

Bytes VoiceFileBuilder::make_speech_frame(int index) const {
  Bytes f(frame_bytes_);
  uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(index + 1) + static_cast<uint32_t>(frame_bytes_);
  for (auto& b : f) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(1 + (x >> 24) % 255);  // never zero: no special records
  }
  return f;
}

VoiceFileBuilder& VoiceFileBuilder::speech_frames(int count) {
  for (int i = 0; i < count; ++i) raw(make_speech_frame(speech_written_++));
  return *this;
}

VoiceFileBuilder& VoiceFileBuilder::zero_frame() {
  return raw(Bytes(frame_bytes_, 0));
}

VoiceFileBuilder& VoiceFileBuilder::jump_frame(int32_t distance) {
  Bytes f(frame_bytes_, 0x55);
  const auto u = static_cast<uint32_t>(distance);
  for (int i = 0; i < 4 && i < frame_bytes_; ++i) f[i] = static_cast<uint8_t>(u >> (8 * i));
  return raw(f);
}

VoiceFileBuilder& VoiceFileBuilder::forward_jump(int32_t distance) {
  zero_frame();
  return jump_frame(distance);
}

VoiceFileBuilder& VoiceFileBuilder::skipped_region(const Bytes& bytes) {
  const auto span = static_cast<int32_t>(3 * frame_bytes_ + bytes.size());
  forward_jump(span);
  raw(bytes);
  jump_frame(span);
  return zero_frame();
}

VoiceFileBuilder& VoiceFileBuilder::half_zero_frame(bool zero_second_half) {
  Bytes f = make_speech_frame(1000 + static_cast<int>(run_.size()));
  const int half = frame_bytes_ / 2;
  std::fill(f.begin() + (zero_second_half ? half : 0),
            f.begin() + (zero_second_half ? frame_bytes_ : half), 0);
  return raw(f);
}

VoiceFileBuilder& VoiceFileBuilder::raw(const Bytes& bytes) {
  run_.insert(run_.end(), bytes.begin(), bytes.end());
  return *this;
}

VoiceFileBuilder& VoiceFileBuilder::end_marker() {
  zero_frame();
  return zero_frame();
}

Bytes VoiceFileBuilder::bytes() const {
  encoder::HeaderFields fields;
  fields.magic = magic_;
  fields.mode_byte = mode_byte_;
  if (duration_)
    std::copy(duration_->begin(), duration_->end(), fields.duration.begin());
  else
    fields.duration =
        encoder::duration_fields(static_cast<int64_t>(run_.size()) / frame_bytes_).value();
  Bytes out = encoder::header_region(frame_bytes_, fields);
  out.insert(out.end(), leading_.begin(), leading_.end());
  out.insert(out.end(), run_.begin(), run_.end());
  return out;
}

void VoiceFileBuilder::write(const std::string& path) const {
  const Bytes b = bytes();
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

TempFile::TempFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir && *dir ? dir : "/tmp") + "/voicetest-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) throw std::runtime_error("cannot create a temporary file");
  close(fd);
  path_ = name;
}

TempFile::TempFile(const Bytes& contents, std::string_view suffix) : TempFile() {
  const std::string renamed = path_ + std::string(suffix);
  if (std::rename(path_.c_str(), renamed.c_str()) != 0)
    throw std::runtime_error("cannot rename " + path_);
  path_ = renamed;
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(contents.data()),
            static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + path_);
}

TempFile::~TempFile() {
  std::remove(path_.c_str());
}

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testing_support
