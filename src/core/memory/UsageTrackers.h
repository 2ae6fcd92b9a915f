// Cumulative counters turned into per-tick figures: the CPU's busy share since the previous
// tick, and the change of swap in use over about five minutes. Fed once per tick with the
// machine's uptime; a gap of more than 20 s starts over.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace hollin {

class CPUUsageTracker {
 public:
  // Busy share 0…1 since the previous call; nothing on the first call, after a gap, or when a
  // counter is unreadable or went backwards.
  std::optional<double> observe(std::optional<std::uint64_t> busy, std::optional<std::uint64_t> idle,
                                double uptime);

 private:
  struct Reading {
    std::uint64_t busy, idle;
    double uptime;
  };
  std::optional<Reading> previous_;
};

class SwapChangeTracker {
 public:
  static constexpr double changeAge = 295;   // the change is measured against a reading this old
  static constexpr double keptAge = 310;     // readings older than this are dropped
  static constexpr std::size_t keptCount = 128;

  // Swap now minus swap about five minutes ago (positive: swap grew); nothing until a reading
  // at least 295 s old exists in the current series.
  std::optional<std::int64_t> observe(std::optional<std::uint64_t> bytes, double uptime);

 private:
  std::deque<std::pair<double, std::uint64_t>> samples_;  // (uptime, bytes), oldest first
};

}  // namespace hollin
