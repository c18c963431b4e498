// Recordings and directories for the playback tests.
#pragma once

#include <string>
#include <vector>

#include "support/voice_file_builder.h"
#include "voice/voice_format.h"

namespace playback_testing {

using testing_support::Bytes;

// `frames` distinct speech frames and the end marker.
Bytes MakeRecording(voice::VoiceMode mode, int frames);
// What a fresh decoder makes of the whole recording, from its first frame.
Bytes DecodeWhole(const Bytes& file);

// The process's decode threads that have not ended yet, counted by name.
int LiveDecodeThreads();

// A fresh directory under the system's temporary directory, removed with
// everything in it.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::string& path() const { return path_; }
  // The entries directly in it.
  std::vector<std::string> entries() const;

 private:
  std::string path_;
};

}  // namespace playback_testing
