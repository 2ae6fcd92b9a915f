#include "core/memory/DiskSpace.h"

namespace hollin {

std::optional<DiskAlertLevel> diskAlertLevel(const HLSystem& system) {
  if (!system.disk_valid) return std::nullopt;
  if (system.disk_available >= diskLowBelow) return DiskAlertLevel::ok;
  return system.disk_available >= diskDangerBelow ? DiskAlertLevel::attention : DiskAlertLevel::danger;
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
