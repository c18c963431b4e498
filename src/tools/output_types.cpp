#include "tools/output_types.h"

#include <sndfile.h>

#include <algorithm>
#include <filesystem>

#include "tools/usage.h"

namespace tools {

namespace {

bool writable(int format) {
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = format;
  return sf_format_check(&info) != 0;
}

std::vector<int> codecs() {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof count);
  std::vector<int> all;
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof info) == 0)
      all.push_back(info.format);
  }
  return all;
}

// 16-bit PCM keeps every sample as decoded. A container without it gets its
// natural lossy codec where it has one, else the first codec the library
// lists for it.
int codec_for(int major) {
  if (writable(major | SF_FORMAT_PCM_16)) return SF_FORMAT_PCM_16;
  if (major == SF_FORMAT_OGG) return SF_FORMAT_VORBIS;
  if (major == SF_FORMAT_MPEG) return SF_FORMAT_MPEG_LAYER_III;
  for (const int codec : codecs())
    if (writable(major | codec)) return codec;
  return 0;
}

void add(std::vector<OutputType>& types, std::string name, int format) {
  const bool taken =
      std::any_of(types.begin(), types.end(), [&](const OutputType& t) { return t.name == name; });
  // The first major format of an extension wins (WAV over WAVEX and NIST).
  if (!taken && writable(format)) types.push_back({std::move(name), format});
}

std::vector<OutputType> build_types() {
  std::vector<OutputType> types;
  types.push_back({"raw", 0});  // ahead of libsndfile's own headerless RAW
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0 || !info.extension)
      continue;
    // Sound Designer II keeps data in a resource fork, which libsndfile
    // writes only by file name; vocdec writes through a descriptor.
    if (info.format == SF_FORMAT_SD2) continue;
    if (const int codec = codec_for(info.format)) add(types, info.extension, info.format | codec);
  }
  // The names people use for what the table calls oga and m1a, and Opus,
  // which is a codec in an Ogg container.
  add(types, "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS);
  add(types, "opus", SF_FORMAT_OGG | SF_FORMAT_OPUS);
  add(types, "mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
  std::sort(types.begin(), types.end(),
            [](const OutputType& a, const OutputType& b) { return a.name < b.name; });
  return types;
}

}  // namespace

bool OutputType::wav() const {
  return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
}

const std::vector<OutputType>& output_types() {
  static const std::vector<OutputType> types = build_types();
  return types;
}

std::optional<OutputType> find_output_type(std::string_view name) {
  for (const OutputType& type : output_types())
    if (same_name(name, type.name)) return type;
  return std::nullopt;
}

std::string extension_of(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  return extension.empty() ? "" : extension.substr(1);
}

std::string output_type_names() {
  std::string names;
  for (const OutputType& type : output_types()) names += (names.empty() ? "" : ", ") + type.name;
  return names;
}

}  // namespace tools
