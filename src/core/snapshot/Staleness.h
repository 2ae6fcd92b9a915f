#pragma once

namespace hollin {

// Data older than this counts as stale: a snapshot, another account's memory report, a hang
// verdict. The same limit everywhere, so every figure on screen ages out together.
inline constexpr double staleAfter = 20.0;  // seconds

// Whether figures measured at `measuredAt` (uptime) are stale at `now`, or the machine sleeps.
// Written so that a NaN age is stale.
constexpr bool isStale(bool asleep, double now, double measuredAt) {
  return asleep || !(now - measuredAt <= staleAfter);
}

}  // namespace hollin
