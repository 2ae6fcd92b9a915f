// What the early watch shows, tells and records: the health tab (its label, summary and rows),
// the warnings due for notices, and its keys of the self-health record.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/early/EarlyTable.h"
#include "core/metrics/MetricsText.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

inline constexpr std::size_t maxEarlyNotices = 3;
inline constexpr double earlyPictureMaxAge = 120;  // seconds: an older picture is not notified

// Of `warnings`, those the archive lets through at `now` (urgent ones always, the others only
// while not muted), urgent first and then the most severe, at most maxEarlyNotices.
std::vector<EarlyWarning> dueEarlyWarnings(std::vector<EarlyWarning> warnings, const EarlyWatchArchive& archive,
                                           WallTime now, bool muted);

// The table's rows for the moment: the sampled free space only when fresh, the SSD's own
// temperature warning only from a fresh reading. Nothing before the first take.
std::vector<EarlyTableRow> earlyRows(const Moment& moment);

// The health tab's label and summary, and its rows while it is selected in a shown window.
void presentEarly(Screen& screen, const Moment& moment);

// The record's early keys and "diskDrainSecondsLeft".
void recordEarly(nlohmann::json& record, const Moment& moment);

// Every early warning that may be active: the "hollin_early_warning" series' kinds.
inline constexpr std::string_view earlyWarningKinds[] = {
    "charger", "batteryCondition", "batteryCapacity", "diskForecast", "diskLow", "diskDrain", "crash", "backup"};

// The early watch's metrics: the disk's drain and forecast, the battery and charger, crashes by
// application, the backup's age, which warnings are active and whether the history is kept.
void exportEarly(MetricsText& metrics, const Moment& moment);

}  // namespace hollin
