// What vocdec can write, from the installed libsndfile's own table of major
// formats: each type is named by its file name extension, with a codec fit
// for 16-bit mono speech at 8000 Hz. "raw" is bare little-endian samples.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

struct OutputType {
  std::string name;  // the extension, lower case, without the dot
  int format = 0;    // SF_FORMAT_* major format | codec; 0 for raw samples
  bool raw() const { return format == 0; }
  // WAV, which vocdec turns into RF64 when the samples would pass 4 GiB.
  bool wav() const;
};

// Every type this libsndfile can write 8000 Hz mono speech in, by name.
const std::vector<OutputType>& output_types();

// The type named `name` (an extension or "raw"), in any mix of cases.
std::optional<OutputType> find_output_type(std::string_view name);

// The extension of `path`'s last component without its dot ("" when there is
// none): it chooses the type of an OUTPUT given without -t.
std::string extension_of(const std::string& path);

// The names of output_types(), comma-separated, for messages.
std::string output_type_names();

}  // namespace tools
