#include "tools/batch.h"

#include <atomic>
#include <charconv>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

namespace tools {

namespace fs = std::filesystem;

std::optional<std::string> plan_batch(const std::vector<std::string>& inputs,
                                      const std::string& folder, std::string_view extension,
                                      std::vector<BatchJob>& jobs) {
  jobs.clear();
  std::map<fs::path, std::string> taken;  // output -> the input that gives it
  for (const std::string& input : inputs) {
    if (input == "-") return "standard input cannot be one of several inputs";
    const fs::path output =
        fs::path(folder) / fs::path(input).filename().replace_extension(extension);
    if (auto [at, fresh] = taken.emplace(output, input); !fresh)
      return input + " and " + at->second + " would both become " + output.string();
    jobs.push_back({input, output.string()});
  }
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return folder + ": " + error.message();
  if (!fs::is_directory(folder)) return folder + ": Not a directory";
  return std::nullopt;
}

std::optional<int> parse_thread_count(std::string_view text) {
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n < 1) return std::nullopt;
  return n;
}

int default_thread_count() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

int run_batch(const std::vector<BatchJob>& jobs, int threads,
              const std::function<bool(const BatchJob&)>& convert) {
  std::atomic<size_t> next{0};
  std::atomic<int> failed{0};
  const auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < jobs.size();)
      if (!convert(jobs[i])) failed.fetch_add(1);
  };
  const size_t helpers = std::min<size_t>(static_cast<size_t>(threads), jobs.size());
  std::vector<std::jthread> pool;
  for (size_t t = 1; t < helpers; ++t) pool.emplace_back(work);
  work();
  pool.clear();  // joins
  return failed.load();
}

}  // namespace tools
