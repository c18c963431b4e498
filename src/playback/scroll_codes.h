// The classic trackbar scroll codes a slider's notification carries: what
// the sliders send and what the transport controls act on.
#pragma once

namespace playback::scroll_code {

inline constexpr int kLineUp = 0;
inline constexpr int kLineDown = 1;
inline constexpr int kPageUp = 2;
inline constexpr int kPageDown = 3;
inline constexpr int kThumbPosition = 4;  // the end of a drag
inline constexpr int kThumbTrack = 5;     // during a drag
inline constexpr int kTop = 6;
inline constexpr int kBottom = 7;
inline constexpr int kEndScroll = 8;

}  // namespace playback::scroll_code
