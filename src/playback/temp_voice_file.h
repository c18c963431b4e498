// The recording as a file the decoder can open: "temp.voc" in a directory of
// this player's own under the system's temporary directory. The directory
// is new for every player and only its owner may enter it, so two players
// running at once, or another user, can neither share, replace nor delete
// the file. Its name, voiceplayer-<pid>-XXXXXX, carries the owner's process
// id, so that a later player can tell the directory of one that died.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace playback {

class TempVoiceFile {
 public:
  // Writes `bytes` to temp.voc in a new private directory under `root`.
  // Returns none when any step fails; nothing is then left behind.
  static std::unique_ptr<TempVoiceFile> Create(std::span<const uint8_t> bytes,
                                               const std::string& root);
  // Removes the file and its directory (failures are not reported).
  ~TempVoiceFile();
  TempVoiceFile(const TempVoiceFile&) = delete;
  TempVoiceFile& operator=(const TempVoiceFile&) = delete;

  const std::string& path() const { return path_; }
  const std::string& directory() const { return directory_; }

 private:
  TempVoiceFile(std::string directory, std::string path);

  std::string directory_;
  std::string path_;
};

// Removes from `root` the directories of players that no longer run (killed
// before they could delete their copy): each one of this user's own, named
// as above for a process that does not exist, holding nothing but temp.voc.
// Links are never followed, and anything else is left as it is.
void RemoveStaleVoiceDirectories(const std::string& root);

// TMPDIR when it is set and not empty, otherwise /tmp.
std::string SystemTempDirectory();

}  // namespace playback
