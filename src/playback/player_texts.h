// The texts the player shows in its labels and on its Play button.
#pragma once

#include <cstdint>
#include <string>

namespace playback {

inline constexpr char kPlayCaption[] = "&Play";
inline constexpr char kPauseCaption[] = "&Pause";

// Times read hh:mm:ss from whole seconds.
std::string ElapsedText(uint32_t seconds);   // "Elapsed time: 00:01:23"
std::string PausedAtText(uint32_t seconds);  // "Paused at: 00:01:23"
std::string DurationText(uint32_t seconds);  // "Voice duration: 00:05:00"
// "Voice filename: name.VOC": for the embedded recording the program's own
// name stands for the voice's.
std::string FileNameText(const std::string& fileName);

}  // namespace playback
