// Memory samples for the policies' tests, written as a script of spans.
#pragma once

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/memory/MemoryNotice.h"

namespace hollin::test {

inline constexpr std::uint64_t MiB = 1ull << 20;

inline MemorySample at(double uptime, Pressure pressure, std::optional<std::uint64_t> swap = {},
                       std::optional<std::uint64_t> compressed = {}) { return {uptime, pressure, swap, compressed}; }

// Samples every 5 s: "W100..115" is warning from 100 s through 115 s, "N5" one normal sample at
// 5 s, C critical, U unknown, G normal with swap up 9 MiB and compression up 1 byte per 5 s
// (531 MiB over 295 s). A time may be "nan" or negative.
inline std::vector<MemorySample> samples(const std::string& script) {
  static const std::map<char, Pressure> kinds{
      {'N', Pressure::normal}, {'W', Pressure::warning}, {'C', Pressure::critical}, {'U', Pressure::unknown}};
  std::vector<MemorySample> out;
  std::istringstream spans(script);
  for (std::string span; spans >> span;) {
    const auto dots = span.find("..");
    const double from = std::stod(span.substr(1, dots - 1));
    const double to = dots == std::string::npos ? from : std::stod(span.substr(dots + 2));
    const bool growing = span[0] == 'G';
    const Pressure pressure = growing ? Pressure::normal : kinds.at(span[0]);  // a typo throws
    for (double now = from;; now += 5) {
      const auto ticks = growing ? static_cast<std::uint64_t>(now / 5) : 0;
      out.push_back(growing ? at(now, pressure, ticks * 9 * MiB, ticks) : at(now, pressure));
      if (!(now + 5 <= to)) break;
    }
  }
  return out;
}

}  // namespace hollin::test
