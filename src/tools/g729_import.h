// Wraps a standard G.729 bitstream into a voice file as it is, frame for
// frame, without decoding or re-encoding anything.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "encoder/voice_file_writer.h"
#include "tools/g729_bitstream.h"

namespace tools {

// Appends every frame of `in` to `writer`, whose mode must be
// voice_mode_of(rate). Returns what went wrong, prefixed with the name of
// the file at fault, or nothing: a frame the voice file cannot hold, a
// partial last frame (named a rate mismatch when the length fits the other
// rate's frames), no frame at all, or a read or write failure.
std::optional<std::string> import_g729(std::FILE* in, G729Rate rate,
                                       encoder::VoiceFileWriter& writer,
                                       const std::string& input_name,
                                       const std::string& output_name);

}  // namespace tools
