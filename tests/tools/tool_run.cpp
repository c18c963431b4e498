#include "tools/tool_run.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/voice_file_builder.h"
#include "voice/frame_reader.h"
#include "voice/vdec.h"

namespace testing_support {

std::string shell_quoted(const std::string& s) {
  return "'" + s + "'";
}

std::string standard_input_from(const std::string& path) {
  return "exec <" + shell_quoted(path) + ";";
}

Outcome run(const char* program, const std::vector<std::string>& args, const std::string& setup,
            const std::string& redirect) {
  TempFile out, err;
  std::string cmd = setup + " exec " + shell_quoted(program);
  for (const auto& a : args) cmd += " " + shell_quoted(a);
  cmd += redirect.empty() ? " >" + shell_quoted(out.path()) : " " + redirect;
  cmd += " 2>" + shell_quoted(err.path());
  const int raw = std::system(cmd.c_str());
  const Bytes o = read_file(out.path()), e = read_file(err.path());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(o.begin(), o.end()),
          std::string(e.begin(), e.end()), WIFSIGNALED(raw) ? WTERMSIG(raw) : 0};
}

Outcome run_piped(const char* program, const std::vector<std::string>& args,
                  const std::string& input_path) {
  return run(program, args, "cat " + shell_quoted(input_path) + " |");
}

ScratchDir::ScratchDir() {
  path_ = std::filesystem::temp_directory_path() / "vocenc-XXXXXX";
  if (!mkdtemp(path_.data())) throw std::runtime_error("cannot create " + path_);
}

ScratchDir::~ScratchDir() {
  std::filesystem::remove_all(path_);
}

long ScratchDir::entries() const {
  return std::distance(std::filesystem::directory_iterator(path_), {});
}

VoiceInfo read_voice(const std::string& path) {
  voice::DecoderState st;
  VoiceInfo v;
  StatusCode result = 0;
  v.frames = vdec_query(st, path.c_str(), &v.mode, &result);
  if (v.frames < 0 || vdec_restart_at(st, path.c_str(), 0) != 0) return v;
  while (voice::read_frame(st, true) == 0) v.run.emplace_back(st.frame, st.frame + st.frame_bytes);
  return v;
}

Audio read_audio(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return {};
  EXPECT_EQ(info.samplerate, 8000);
  EXPECT_EQ(info.channels, 1);
  Audio a{info.format, std::vector<int16_t>(static_cast<size_t>(info.frames))};
  sf_read_short(f, a.samples.data(), info.frames);
  sf_close(f);
  return a;
}

Outcome vocdec(const std::vector<std::string>& args) {
  return run(VOCDEC_PATH, args);
}

Outcome vocenc(const std::vector<std::string>& args) {
  return run(VOCENC_PATH, args);
}

Outcome vocinfo(const std::vector<std::string>& args) {
  return run(VOCINFO_PATH, args);
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testing_support
