// Converting many inputs into one folder on several threads: each input
// gets an output named after it, and a failing input does not stop the rest.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

struct BatchJob {
  std::string input;
  std::string output;  // in the output folder, named after the input
};

// The jobs for `inputs` into `folder` (created when missing), each output
// named as its input with `extension` in place of the input's own. Returns
// why they cannot all be done: an input of "-", two inputs that would give
// the same output, or a folder that cannot be made.
std::optional<std::string> plan_batch(const std::vector<std::string>& inputs,
                                      const std::string& folder, std::string_view extension,
                                      std::vector<BatchJob>& jobs);

// The thread count of -j N, or nothing when N is not a whole number from 1.
std::optional<int> parse_thread_count(std::string_view text);
// One thread per core.
int default_thread_count();

// Runs `convert` on every job, on up to `threads` threads; `convert` reports
// its own failures and returns false for them. Returns how many failed.
int run_batch(const std::vector<BatchJob>& jobs, int threads,
              const std::function<bool(const BatchJob&)>& convert);

}  // namespace tools
