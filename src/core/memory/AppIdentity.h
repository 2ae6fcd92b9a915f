#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/Json.h"

namespace hollin {

// One process over its life. A reused pid comes with another start time, so it is another
// identity; reports, probes and the response verdicts are all keyed by it.
struct AppIdentity {
  std::int32_t pid = 0;
  std::uint64_t start = 0;  // microseconds since 1970
  bool operator==(const AppIdentity&) const = default;
};

// {"pid": ..., "start": ...}. Reading needs both members as integers in range; anything else
// gives nothing.
Json toJson(const AppIdentity& identity);
std::optional<AppIdentity> appIdentityFromJson(const Json& json);

}  // namespace hollin

template <>
struct std::hash<hollin::AppIdentity> {
  std::size_t operator()(const hollin::AppIdentity& identity) const noexcept;
};
