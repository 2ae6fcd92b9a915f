// The JSON form of an account's shared report: one compact object, keys in the order of the
// record's members, optional members left out when absent.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Json.h"
#include "core/memory/HeldReport.h"

namespace hollin {

inline constexpr std::size_t reportSizeLimit = 524288;  // bytes: the largest report file read

// Names that are not UTF-8 are written with U+FFFD for their stray bytes.
std::string encodePeerReport(const PeerReport& report);

// Any key order; every required key with its JSON type and within its type's range (a boolean
// is not a number, 1.5 is not an integer; times may be written as integers); unknown keys and
// null optional members let be. Anything else gives nothing. Validity is not checked here:
// the reader asks PeerReport::isValid.
std::optional<PeerReport> decodePeerReport(std::string_view text);

// The parts' JSON, keys in member order.
Json toJson(const AppResponse& app);
Json toJson(const ReportedMemory& process);
Json toJson(const MonitorStatus& status);

// Leaves out processes, then apps, from the end of their lists until the report's JSON is at
// most reportSizeLimit bytes; a memory list cut this way is incomplete.
void fitReportSize(PeerReport& report);

}  // namespace hollin
