#include "core/metrics/OwnMetrics.h"

#include <algorithm>
#include <string>

#include "core/memory/MemoryView.h"
#include "core/ui/StatusView.h"

namespace hollin {

std::vector<MetricLabel> accountLabels(std::uint32_t uid) { return {{"uid", std::to_string(uid)}}; }

std::string metricsFileName(std::uint32_t uid) { return "hollin-" + std::to_string(uid) + ".prom"; }

void exportOwnHealth(MetricsText& metrics, const Moment& moment, std::string_view version, const StatusTexts& shown,
                     std::optional<bool> healthRecordWritten) {
  metrics.gauges("hollin_build_info", "Hollin's version, as a label of a constant 1", "version",
                 {{std::string(version), 1}});
  metrics.gauge("hollin_shown_level", "Level the status icon shows: 0 green, 1 yellow, 2 orange, 3 red (absent: unavailable)",
                levelNumber(shownLevel(shown)));
  // A snapshot from the future (a clock jump) is no age at all.
  metrics.gauge("hollin_sample_age_seconds", "Age of the sample the figures come from",
                std::max(0.0, moment.now - moment.snapshot->uptime));
  if (healthRecordWritten)
    metrics.gauge("hollin_health_record_ok", "1 while the self-health record can be written", flag(*healthRecordWritten));
  metrics.gauge("hollin_own_crash_reports", "Crash reports Hollin keeps of itself",
                moment.ownCrashes ? std::optional(static_cast<double>(moment.ownCrashes->size())) : std::nullopt);
}

}  // namespace hollin
