// Standard input and output for the tools. A voice file is read with seeks,
// so one arriving on standard input is read whole into memory first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// The most a tool takes from standard input: hours of speech need a few
// megabytes, so more is a mistake (or a file that should be named).
inline constexpr size_t kStandardInputLimit = size_t{256} << 20;

// Reads standard input to its end into `bytes`; returns why it could not,
// the limit passed included, or nothing.
std::optional<std::string> read_standard_input(std::vector<uint8_t>& bytes,
                                               size_t limit = kStandardInputLimit);

// The same for any open file descriptor (a pipe named by its path), which
// the limit's message calls `what`.
std::optional<std::string> read_whole(int fd, std::string_view what, std::vector<uint8_t>& bytes,
                                      size_t limit = kStandardInputLimit);

// Whether standard output is a terminal, which binary audio would only
// garble; then `program` says so, with a hint, on stderr.
bool refuse_terminal_output(std::string_view program);

}  // namespace tools
