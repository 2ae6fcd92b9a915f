// fuzz_replay TARGET PATH...: runs every file of each PATH (a file, or a folder read without
// descending) through the named target, the way its fuzzer would. A crash, a sanitizer report
// or a failed check ends the program abnormally; an empty or missing corpus is a failure too,
// so a test can never pass by replaying nothing.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzTarget.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputFiles(const fs::path& path) {
  std::vector<fs::path> files;
  std::error_code error;
  if (fs::is_regular_file(path, error)) return {path};
  for (const auto& entry : fs::directory_iterator(path, error))
    if (entry.is_regular_file(error)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::uint8_t> contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int usage() {
  std::fprintf(stderr, "usage: fuzz_replay TARGET PATH...\ntargets:");
  for (const auto& target : hollin::fuzz::targets()) std::fprintf(stderr, " %.*s",
      static_cast<int>(target.name.size()), target.name.data());
  std::fprintf(stderr, "\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const auto* target = hollin::fuzz::findTarget(argv[1]);
  if (!target) return usage();

  std::size_t replayed = 0;
  for (int i = 2; i < argc; ++i) {
    for (const fs::path& file : inputFiles(argv[i])) {
      // Written before the run, so the input that brought the program down is named.
      std::fprintf(stderr, "%s\n", file.c_str());
      const std::vector<std::uint8_t> bytes = contents(file);
      // An empty file still gets a valid pointer, as libFuzzer gives one.
      static const std::uint8_t nothing = 0;
      target->entry(bytes.empty() ? &nothing : bytes.data(), bytes.size());
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "%s: no inputs found\n", argv[1]);
    return 1;
  }
  std::printf("%s: %zu inputs replayed\n", argv[1], replayed);
  return 0;
}
