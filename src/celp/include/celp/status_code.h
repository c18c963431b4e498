// Latched decoder status: 0 is success, every failure has a bit of its own.
#pragma once

#include <cstdint>

using StatusCode = int32_t;

namespace status {
inline constexpr StatusCode kSuccess = 0;
inline constexpr StatusCode kEndOfFile = 1;
inline constexpr StatusCode kDecodingFail = 2;
inline constexpr StatusCode kFrameErased = 4;
inline constexpr StatusCode kBadFrameType = 8;
inline constexpr StatusCode kBadJumpLength = 16;
inline constexpr StatusCode kOpenFailed = 32;
inline constexpr StatusCode kBadFileFormat = 64;
inline constexpr StatusCode kBadPitchIndex = 128;
inline constexpr StatusCode kTruncation = 256;
inline constexpr StatusCode kDivisionError = 512;
inline constexpr StatusCode kDivisionByZero = 1024;
inline constexpr StatusCode kBackwardSeekFailed = 2048;
inline constexpr StatusCode kForwardSeekFailed = 4096;
inline constexpr StatusCode kCannotEndFile = 8192;
inline constexpr StatusCode kNoFrames = 0x4000;
inline constexpr StatusCode kAlreadyTerminated = 0xFFFFFF;
}  // namespace status
