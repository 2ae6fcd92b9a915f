#include "core/early/Timeshift.h"

#include <nlohmann/json.hpp>

#include "core/DateText.h"

namespace hollin::Timeshift {
namespace {

constexpr const char* scheduleKeys[] = {"schedule_monthly", "schedule_weekly", "schedule_daily",
                                        "schedule_hourly", "schedule_boot"};

std::optional<bool> flag(const nlohmann::json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value == "true") return true;
  if (value == "false") return false;
  return std::nullopt;
}

// "2024-05-01_10-15-30": the snapshot's local date and time.
std::optional<CivilTime> civilName(std::string_view name) {
  constexpr std::string_view shape = "dddd-dd-dd_dd-dd-dd";
  if (name.size() != shape.size()) return std::nullopt;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (shape[i] == 'd' ? !digit : name[i] != shape[i]) return std::nullopt;
  }
  const auto number = [name](std::size_t start, std::size_t length) {
    int value = 0;
    for (std::size_t i = start; i < start + length; ++i) value = value * 10 + (name[i] - '0');
    return value;
  };
  return CivilTime{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
}

}  // namespace

std::optional<Configuration> parseConfiguration(std::string_view bytes) {
  const auto json = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  Configuration configuration;
  if (const auto device = json.find("backup_device_uuid"); device != json.end()) {
    if (!device->is_string()) return std::nullopt;
    configuration.deviceUuid = device->get<std::string>();
  }
  for (const char* key : scheduleKeys) {
    const auto value = json.find(key);
    const auto on = value != json.end() ? flag(*value) : std::nullopt;
    if (on) configuration.autoBackup = configuration.autoBackup.value_or(false) || *on;
  }
  return configuration;
}

std::optional<WallTime> latestSnapshot(const std::vector<std::string>& names, std::string_view timeZone) {
  std::optional<WallTime> newest;
  for (const auto& name : names) {
    const auto civil = civilName(name);
    const auto date = civil ? civilMoment(*civil, timeZone) : std::nullopt;
    if (date && (!newest || *date > *newest)) newest = date;
  }
  return newest;
}

BackupStatus status(const Configuration& configuration, const native::TimeshiftSnapshots& snapshots,
                    std::string_view timeZone) {
  BackupStatus status;
  status.configured = !configuration.deviceUuid.empty();
  status.autoBackup = configuration.autoBackup;
  if (!*status.configured) return status;  // no device, so no snapshots of it
  status.latest = latestSnapshot(snapshots.names, timeZone);
  status.latestReadable = snapshots.listed;
  status.mounted = snapshots.mounted;
  return status;
}

}  // namespace hollin::Timeshift
