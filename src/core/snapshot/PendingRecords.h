#pragma once

#include <optional>

// Stand-ins for the records of the SSD health reading, its history and the early-warning
// picture. The snapshot carries them from now on; each is replaced by its real record, with
// the same name, when the code that fills it lands. Until then they stay at their defaults.
namespace hollin {

struct SSDHealth {
  bool operator==(const SSDHealth&) const = default;
};

struct SSDHealthArchive {
  bool operator==(const SSDHealthArchive&) const = default;
};

struct EarlyWatchSnapshot {
  bool operator==(const EarlyWatchSnapshot&) const = default;
};

// Seconds left before the disk is full at its current drain, when the early picture has an
// estimate.
inline std::optional<double> diskDrainSecondsLeft(const EarlyWatchSnapshot&) { return std::nullopt; }

}  // namespace hollin
