// What the probe worker is asked and answers: one JSON array of requests on its standard
// input, one JSON array of results, in request order, on its standard output.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/memory/AppIdentity.h"
#include "core/memory/HeldReport.h"

namespace hollin {

struct ProbeRequest {
  AppIdentity identity;  // the process to ask
  std::string name;      // the application's display name, passed through
  bool operator==(const ProbeRequest&) const = default;
};

struct ProbeResult {
  AppIdentity identity;
  std::string name;  // the request's name, cut to probeNameLimit characters
  ProbeOutcome outcome = ProbeOutcome::unavailable;
  bool operator==(const ProbeResult&) const = default;
};

inline constexpr std::size_t probeInputLimit = 16384;   // bytes the worker reads at most
inline constexpr std::size_t probeRequestLimit = 9;     // requests in one pass at most
inline constexpr std::size_t probeOutputLimit = 32768;  // bytes the parent reads at most
inline constexpr std::size_t probeNameLimit = 100;      // user-perceived characters

// The result for `request`; its name is cut here, whoever builds it.
ProbeResult probeResult(const ProbeRequest& request, ProbeOutcome outcome);

std::string encodeProbeRequests(const std::vector<ProbeRequest>& requests);
// A JSON array of requests, each with an identity and a name, at most probeRequestLimit of
// them; anything else gives nothing.
std::optional<std::vector<ProbeRequest>> decodeProbeRequests(std::string_view text);

std::string encodeProbeResults(const std::vector<ProbeResult>& results);
// A JSON array of results; one unknown outcome or missing key gives nothing for all of them.
std::optional<std::vector<ProbeResult>> decodeProbeResults(std::string_view text);

}  // namespace hollin
