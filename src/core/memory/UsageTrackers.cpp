#include "core/memory/UsageTrackers.h"

#include <cmath>
#include <limits>

#include "core/memory/MemoryNotice.h"

namespace hollin {

std::optional<double> CPUUsageTracker::observe(std::optional<std::uint64_t> busy, std::optional<std::uint64_t> idle,
                                               double uptime) {
  if (!busy || !idle || !std::isfinite(uptime)) {
    previous_.reset();
    return std::nullopt;
  }
  auto old = previous_;
  previous_ = Reading{*busy, *idle, uptime};
  if (!old || old->uptime >= uptime || uptime - old->uptime > seriesGapLimit) return std::nullopt;
  if (*busy < old->busy || *idle < old->idle) return std::nullopt;
  const double busyDelta = static_cast<double>(*busy - old->busy);
  const double total = busyDelta + static_cast<double>(*idle - old->idle);
  if (total <= 0) return std::nullopt;
  return busyDelta / total;
}

std::optional<std::int64_t> SwapChangeTracker::observe(std::optional<std::uint64_t> bytes, double uptime) {
  if (!bytes || *bytes > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ||
      !std::isfinite(uptime)) {
    samples_.clear();
    return std::nullopt;
  }
  if (!samples_.empty() && (uptime <= samples_.back().first || uptime - samples_.back().first > seriesGapLimit))
    samples_.clear();
  samples_.emplace_back(uptime, *bytes);
  while (uptime - samples_.front().first > keptAge) samples_.pop_front();
  while (samples_.size() > keptCount) samples_.pop_front();
  for (auto it = samples_.rbegin(); it != samples_.rend(); ++it) {
    if (uptime - it->first >= changeAge)
      return static_cast<std::int64_t>(*bytes) - static_cast<std::int64_t>(it->second);
  }
  return std::nullopt;
}

}  // namespace hollin
