#include "core/memory/AppIdentity.h"

#include <nlohmann/json.hpp>

#include "core/JsonReader.h"

namespace hollin {

Json toJson(const AppIdentity& identity) {
  return Json{{"pid", identity.pid}, {"start", identity.start}};
}

std::optional<AppIdentity> appIdentityFromJson(const Json& json) {
  JsonReader in(json);
  AppIdentity identity{in.required<std::int32_t>("pid"), in.required<std::uint64_t>("start")};
  if (!in.ok()) return std::nullopt;
  return identity;
}

}  // namespace hollin

std::size_t std::hash<hollin::AppIdentity>::operator()(
    const hollin::AppIdentity& identity) const noexcept {
  // Pids are small and starts differ in their low bits, so mix the two rather than xor them.
  const std::size_t seed = std::hash<std::int32_t>{}(identity.pid);
  return seed ^ (std::hash<std::uint64_t>{}(identity.start) + 0x9e3779b97f4a7c15ULL + (seed << 6) +
                 (seed >> 2));
}
