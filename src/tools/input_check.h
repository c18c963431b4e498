// Plain words for why an input cannot be opened as a voice file, before and
// after the decoder has tried: the usual causes by name, and the decoder's
// own status text after them where it has one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tools {

// Why `path` cannot be read as a file at all ("No such file or directory",
// "Permission denied", "Is a directory", "empty file"), or nothing.
std::optional<std::string> unreadable_input(const std::string& path);

// What to say when the decoder refused to open the input whose first bytes
// are `head` (fewer when the input is shorter): the decoder's `status_text`,
// after "not a voice file: the signature is missing" when the file does not
// start as voice files do.
std::string open_failure(std::span<const uint8_t> head, const char* status_text);
// The same, reading the first bytes from `path`.
std::string open_failure(const std::string& path, const char* status_text);

}  // namespace tools
