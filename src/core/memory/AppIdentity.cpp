#include "core/memory/AppIdentity.h"

#include <limits>

namespace hollin {

Json toJson(const AppIdentity& identity) {
  return Json{{"pid", identity.pid}, {"start", identity.start}};
}

std::optional<AppIdentity> appIdentityFromJson(const Json& json) {
  if (!json.is_object()) return std::nullopt;
  const auto pid = json.find("pid");
  const auto start = json.find("start");
  if (pid == json.end() || start == json.end()) return std::nullopt;
  if (!pid->is_number_integer() || !start->is_number_integer()) return std::nullopt;
  // The parser stores every non-negative integer as unsigned, so a signed start is negative.
  if (!start->is_number_unsigned()) return std::nullopt;
  std::int64_t wide = 0;
  if (pid->is_number_unsigned()) {
    const auto value = pid->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
      return std::nullopt;
    wide = static_cast<std::int64_t>(value);
  } else {
    wide = pid->get<std::int64_t>();
    if (wide < std::numeric_limits<std::int32_t>::min()) return std::nullopt;
  }
  return AppIdentity{static_cast<std::int32_t>(wide), start->get<std::uint64_t>()};
}

}  // namespace hollin

std::size_t std::hash<hollin::AppIdentity>::operator()(
    const hollin::AppIdentity& identity) const noexcept {
  // Pids are small and starts differ in their low bits, so mix the two rather than xor them.
  const std::size_t seed = std::hash<std::int32_t>{}(identity.pid);
  return seed ^ (std::hash<std::uint64_t>{}(identity.start) + 0x9e3779b97f4a7c15ULL + (seed << 6) +
                 (seed >> 2));
}
