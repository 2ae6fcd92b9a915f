// The backup status as the system's own backup tool reports it: its preferences, its list of
// destinations and the snapshots on a destination volume; and the two rules every backup source
// shares, which backup date counts and whether backups are shown at all.
#pragma once

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/PropertyList.h"
#include "core/WallTime.h"
#include "core/early/BackupStatus.h"

namespace hollin::TimeMachine {

// A backup dated further ahead than this is a wrong clock, not a backup.
inline constexpr std::chrono::seconds futureAllowance{300};

// One snapshot's name on a destination volume, its date in six groups.
inline constexpr const char* snapshotPattern =
    "com\\.apple\\.TimeMachine\\.([0-9]{4})-([0-9]{2})-([0-9]{2})-([0-9]{2})([0-9]{2})([0-9]{2})\\.backup";

// The preferences dictionary: its destinations, their snapshot dates and the automatic setting.
BackupStatus parse(const PlistDictionary& preferences);

struct Destinations {
  bool configured = false;
  std::vector<std::string> mountPoints;  // only mounted volumes' folders under "/Volumes/"
  bool operator==(const Destinations&) const = default;
};

// What the destination query prints: a property list, or the text saying there are none.
// Nothing when it is neither.
std::optional<Destinations> parseDestinations(std::string_view bytes);

// The newest snapshot named in a snapshot listing, its name read in `timeZone`.
std::optional<WallTime> latestSnapshot(std::string_view text, std::string_view timeZone);

// The newest of the dates present and not later than `notAfter`.
std::optional<WallTime> newest(std::initializer_list<std::optional<WallTime>> dates, WallTime notAfter);

// The newest of the status's backup and the remembered one, leaving out dates in the future.
std::optional<WallTime> latest(const BackupStatus& status, std::optional<WallTime> remembered, WallTime now);

// Whether backups are shown: when it is known whether a destination is set up, that; else
// whether a backup was ever seen.
bool shouldShow(std::optional<bool> configured, std::optional<WallTime> remembered);

}  // namespace hollin::TimeMachine
