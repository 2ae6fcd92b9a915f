// The files the Linux backup tools leave on the system, read as they are: whether a tool's
// settings schema is installed, Timeshift's configuration and the names in its snapshot
// folders. What they mean is decided above this layer. Each reader takes the root directory it
// reads under ("/" on a live machine, a fixture tree in tests) and never throws.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "native/HostRoot.h"

namespace hollin::native {

// Reads one environment variable; nullptr when it is unset.
using EnvironmentLookup = std::function<const char*(const char*)>;

// Whether the settings schema file `fileName` lies in one of the folders GLib looks in for
// schemas, under root: each folder of GSETTINGS_SCHEMA_DIR, then $XDG_DATA_HOME (by default
// $HOME/.local/share) and each folder of $XDG_DATA_DIRS (by default /usr/local/share:/usr/share),
// these two followed by "/glib-2.0/schemas". Relative folders are ignored, as GLib does.
bool settingsSchemaInstalled(const std::string& root, std::string_view fileName, const EnvironmentLookup& environment);

// A configuration file that may be missing, present but unreadable, or read.
struct ConfigurationFile {
  bool present = false;
  std::optional<std::string> bytes;  // absent when present but unreadable
  bool operator==(const ConfigurationFile&) const = default;
};

// Timeshift's configuration: "/etc/timeshift/timeshift.json", else the older "/etc/timeshift.json".
ConfigurationFile readTimeshiftConfiguration(const std::string& root);

struct TimeshiftSnapshots {
  bool mounted = false;            // the backup device has a mount point
  bool listed = false;             // at least one snapshots folder could be listed
  std::vector<std::string> names;  // every entry of the folders listed, as it stands
  bool operator==(const TimeshiftSnapshots&) const = default;
};

// The snapshot folders of the device that "/dev/disk/by-uuid/<deviceUuid>" names:
// "timeshift/snapshots" and "timeshift-btrfs/snapshots" under each of its mount points in
// /proc/self/mounts. A mount counts when its source leads to the same device node. A UUID that
// is no plain file name names no device.
TimeshiftSnapshots readTimeshiftSnapshots(const std::string& root, std::string_view deviceUuid);

}  // namespace hollin::native
