// Text as a JSON string literal, for machine-readable reports. File names
// are bytes, not text: whatever they hold comes out as valid JSON.
#pragma once

#include <string>
#include <string_view>

namespace tools {

// `bytes` in double quotes, with quotes, backslashes and control characters
// escaped. Valid UTF-8 passes unchanged; each byte that is not part of a
// valid UTF-8 sequence becomes U+FFFD, the replacement character.
std::string json_string(std::string_view bytes);

}  // namespace tools
