// The rules of the battery and its charger.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/L10n.h"
#include "core/early/BatteryHealth.h"
#include "core/early/Charger.h"
#include "core/early/EarlyWarning.h"

namespace hollin::EarlyWarnings {

// A confirmed drain while on power; nothing for any other state.
std::optional<EarlyWarning> charger(ChargerState state, std::optional<std::int64_t> percent,
                                    std::string_view language = L10n::language());

// The condition warning first, the capacity warning second; none without a health.
std::vector<EarlyWarning> battery(const std::optional<BatteryHealth>& health,
                                  std::string_view language = L10n::language());

}  // namespace hollin::EarlyWarnings
