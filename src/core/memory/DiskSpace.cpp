#include "core/memory/DiskSpace.h"

namespace hollin {

std::optional<DiskAlertLevel> diskAlertLevel(const HLSystem& system) {
  if (!system.disk_valid) return std::nullopt;
  return DiskAlerts::level(system.disk_available);
}

std::string_view rawValue(DiskAlertLevel level) {
  switch (level) {
    case DiskAlertLevel::ok: return "ok";
    case DiskAlertLevel::attention: return "attention";
    case DiskAlertLevel::danger: break;
  }
  return "danger";
}

}  // namespace hollin
