// The health table and the warnings of one early-watch picture: every slow watcher's row, in
// the order the table shows them, and the warnings in the order their rules are consulted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/L10n.h"
#include "core/WallTime.h"
#include "core/early/EarlyTableRow.h"
#include "core/early/EarlyWarning.h"
#include "core/early/EarlyWatchSnapshot.h"

namespace hollin {

// The current warnings: charger and battery (unless the battery is known to be absent; the
// charger only when not stale), the forecast, low space and drain (not when stale), crashes,
// backup.
std::vector<EarlyWarning> earlyWarnings(const EarlyWatchSnapshot& early, WallTime now, bool stale,
                                        std::string_view language = L10n::language());

// The rows before ordering: power and battery health (unless the battery is known to be
// absent), free space, SSD temperature, forecast, crashes, backup, and the history row when the
// history could not be kept. `diskFree` is the sampled free space; `ssdOverheat` the drive's own
// temperature warning. Dates are shown in `timeZone` (empty: the machine's own).
std::vector<EarlyTableRow> earlyTableRows(const EarlyWatchSnapshot& early, std::optional<std::uint64_t> diskFree,
                                          bool stale, WallTime now, bool ssdOverheat,
                                          std::string_view language = L10n::language(),
                                          std::string_view timeZone = {});

namespace EarlyTable {

// Urgent rows first, then attention, then plain; equal tones keep their order.
std::vector<EarlyTableRow> ordered(std::vector<EarlyTableRow> rows);
// The rows that are a concern.
int concerns(const std::vector<EarlyTableRow>& rows);

}  // namespace EarlyTable

}  // namespace hollin
