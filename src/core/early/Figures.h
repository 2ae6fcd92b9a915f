// Small rules shared by the battery readers for the figures the system reports.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace hollin {

// The most charge cycles a battery's counter plausibly shows; more is a misread.
inline constexpr std::int64_t maximumCycles = 100000;

// The figure when it lies within low…high, else nothing.
inline std::optional<std::int64_t> within(std::optional<std::int64_t> value, std::int64_t low, std::int64_t high) {
  if (value && (*value < low || *value > high)) return std::nullopt;
  return value;
}

// A real read as a 64-bit integer: cut toward zero; nothing when it is no number or out of range.
inline std::optional<std::int64_t> integerPart(double real) {
  if (!std::isfinite(real) || std::abs(real) >= 9.2e18) return std::nullopt;
  return static_cast<std::int64_t>(real);
}

}  // namespace hollin
