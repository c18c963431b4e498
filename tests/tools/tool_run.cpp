#include "tools/tool_run.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/voice_file_builder.h"

namespace testing_support {

std::string shell_quoted(const std::string& s) {
  return "'" + s + "'";
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
          std::string(e.begin(), e.end())};
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

}  // namespace testing_support
