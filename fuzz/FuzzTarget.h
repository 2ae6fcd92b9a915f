// The fuzz targets: each *Fuzz.cpp defines one function with libFuzzer's signature and
// registers it under a short name. A libFuzzer build links one target into a fuzzer of its own
// (LibFuzzerMain.cpp); the ordinary build links them all into fuzz_replay, which runs the seed
// corpus through them as tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hollin::fuzz {

using Entry = int (*)(const std::uint8_t* data, std::size_t size);

struct Target {
  std::string_view name;
  Entry entry;
};

// Every target linked into this program, in no particular order.
const std::vector<Target>& targets();
const Target* findTarget(std::string_view name);

// A namespace-scope object of this type registers its target before main runs.
struct Registration {
  Registration(std::string_view name, Entry entry);
};

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input's lines, as a folder listing or a tool's output would give them.
inline std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> all;
  while (!text.empty()) {
    const auto end = text.find('\n');
    all.emplace_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return all;
}

// Targets that cover a family of small parsers let the first byte choose one: '0' the first,
// '1' the second and so on (any byte chooses something), so seed files stay readable text.
struct Choice {
  std::size_t parser;
  std::string_view rest;  // the input after the choosing byte
};
std::optional<Choice> choose(const std::uint8_t* data, std::size_t size, std::size_t parsers);

// A property the target checks beyond "no crash, no undefined behaviour". A violation aborts,
// which the fuzzer and the replay both report as a failure of that input.
void require(bool holds, const char* what);

}  // namespace hollin::fuzz
