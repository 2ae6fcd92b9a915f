// The metrics every export starts with: which Hollin wrote it, the level on screen and the
// program's own health.
#pragma once

#include <string_view>

#include "core/metrics/MetricsText.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// The labels of every series this account's Hollin writes.
std::vector<MetricLabel> accountLabels(std::uint32_t uid);

// The name of this account's file in the collector's folder: the accounts of one machine may
// share the folder.
std::string metricsFileName(std::uint32_t uid);

// `healthRecordWritten`: whether the last self-health record could be written; absent when none
// is kept.
void exportOwnHealth(MetricsText& metrics, const Moment& moment, std::string_view version, const StatusTexts& shown,
                     std::optional<bool> healthRecordWritten);

}  // namespace hollin
