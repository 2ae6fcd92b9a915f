#pragma once

#include <optional>

// A stand-in for the early-warning picture. The snapshot carries it from now on; it is replaced
// by its real record, with the same name, when the code that fills it lands. Until then it
// stays at its default.
namespace hollin {

struct EarlyWatchSnapshot {
  bool operator==(const EarlyWatchSnapshot&) const = default;
};

// Seconds left before the disk is full at its current drain, when the early picture has an
// estimate.
inline std::optional<double> diskDrainSecondsLeft(const EarlyWatchSnapshot&) { return std::nullopt; }

}  // namespace hollin
