// How much free space on the home folder's file system is enough: one set of thresholds for the
// shown level's override, the disk card and the self-health record.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/early/DiskAlerts.h"
#include "native/NativeMetrics.h"

namespace hollin {

inline constexpr std::uint64_t diskLowBelow = DiskAlerts::attentionBytes;  // running low
inline constexpr std::uint64_t diskDangerBelow = DiskAlerts::dangerBytes;  // the level turns red
inline constexpr std::uint64_t diskDangerClearsAt = 11'000'000'000;  // bytes, while it is red

using DiskAlertLevel = DiskAlerts::Level;

// The level of the reading's free space; nothing when the disk figures were not read.
std::optional<DiskAlertLevel> diskAlertLevel(const HLSystem& system);
// "ok", "attention", "danger".
std::string_view rawValue(DiskAlertLevel level);

}  // namespace hollin
