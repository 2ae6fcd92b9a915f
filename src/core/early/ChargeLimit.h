// The charge limit set in the system: the lowest active limit of the charge-control policies,
// and whether the policy at it lets the battery run down to the limit while on power.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/PropertyList.h"
#include "native/Power.h"

namespace hollin {

struct ChargeLimit {
  std::optional<std::int64_t> percent;  // 1…100; absent when no limit is set or none was read
  bool drain = false;
  bool readable = true;  // false when there are settings that could not be understood

  static const ChargeLimit none;
  static const ChargeLimit unreadable;

  // The decoded preferences: {"bootSessionUUID": …, "policies": <a keyed archive of policies>}.
  // Settings of another boot session no longer apply.
  static ChargeLimit parse(const PlistValue* preferences, const std::optional<std::string>& bootSession);
  // The decoded policy archive itself: {"$objects": [...]}, policies being the dictionaries
  // that hold "soclimit".
  static ChargeLimit parseArchive(const PlistValue& archive);

  // The archive `parseArchive` reads, in the kernel's terms: the batteries' lowest end
  // threshold is a manual limit, drained to while the charge behaviour is force-discharge; a
  // threshold that reads as no percent is a policy of unknown shape.
  static PlistValue policyArchive(const HLPower& power);

  bool operator==(const ChargeLimit&) const = default;
};

inline const ChargeLimit ChargeLimit::none{std::nullopt, false, true};
inline const ChargeLimit ChargeLimit::unreadable{std::nullopt, false, false};

}  // namespace hollin
