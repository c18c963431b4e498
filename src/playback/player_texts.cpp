#include "playback/player_texts.h"

#include <cstdio>

namespace playback {

namespace {

std::string ClockText(const char* label, uint32_t seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", label, static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

}  // namespace

std::string ElapsedText(uint32_t seconds) {
  return ClockText("Elapsed time: ", seconds);
}

std::string PausedAtText(uint32_t seconds) {
  return ClockText("Paused at: ", seconds);
}

std::string DurationText(uint32_t seconds) {
  return ClockText("Voice duration: ", seconds);
}

std::string FileNameText(const std::string& fileName) {
  return "Voice filename: " + fileName;
}

}  // namespace playback
