// Wall-clock time, for display, receipts and stored history. Policy timing uses uptime seconds.
#pragma once

#include <chrono>

namespace hollin {

using WallTime = std::chrono::system_clock::time_point;
// "Never": the check date before the first check.
inline constexpr WallTime distantPast{};

// Seconds between two wall-clock times (negative when `to` lies before `from`).
inline double secondsBetween(WallTime from, WallTime to) {
  return std::chrono::duration<double>(to - from).count();
}

// `time` moved on by `seconds` (back for a negative count).
inline WallTime addingSeconds(WallTime time, double seconds) {
  return time + std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds));
}

// Stored dates are seconds since 1 January 2001 00:00:00 UTC, the reference date of the
// history files. Values beyond ±8e9 s (some 250 years either way, within what the nanosecond
// clock holds) are not dates and are refused.
inline constexpr double referenceDateUnixSeconds = 978307200;
inline constexpr double largestReferenceSeconds = 8e9;

// Seconds since 1970, as the wall-clock policies count them.
inline double unixSeconds(WallTime time) { return std::chrono::duration<double>(time.time_since_epoch()).count(); }

inline double referenceSeconds(WallTime time) { return unixSeconds(time) - referenceDateUnixSeconds; }

// Only for seconds within ±largestReferenceSeconds.
inline WallTime fromReferenceSeconds(double seconds) {
  const std::chrono::duration<double> sinceEpoch(seconds + referenceDateUnixSeconds);
  return WallTime(std::chrono::duration_cast<WallTime::duration>(sinceEpoch));
}

}  // namespace hollin
