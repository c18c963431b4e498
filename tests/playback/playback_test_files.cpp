#include "playback_test_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "playback/decode_thread.h"
#include "playback/temp_voice_file.h"
#include "voice/vdec.h"

namespace playback_testing {

Bytes MakeRecording(voice::VoiceMode mode, int frames) {
  return testing_support::VoiceFileBuilder(mode).speech_frames(frames).end_marker().bytes();
}

Bytes DecodeWhole(const Bytes& file) {
  const testing_support::TempFile voice(file);
  voice::DecoderState st;
  int mode = 0;
  if (vdec_open(st, voice.c_str(), &mode) != 0 || vdec_restart_at(st, voice.c_str(), 0) != 0)
    throw std::runtime_error("cannot open the reference recording");
  Bytes pcm;
  uint8_t frame[voice::kPcmFrameBytes];
  int32_t position = 0;
  while (vdec_decode_frame(st, frame, &position) == status::kSuccess)
    pcm.insert(pcm.end(), frame, frame + sizeof frame);
  return pcm;
}

ScratchDirectory::ScratchDirectory() {
  std::string path = playback::SystemTempDirectory() + "/playbacktest-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) throw std::runtime_error("cannot create " + path);
  path_ = path;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  return names;
}

int LiveDecodeThreads() {
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name == playback::kDecodeThreadName) ++count;
  }
  return count;
}

}  // namespace playback_testing
