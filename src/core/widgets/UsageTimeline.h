// The widget program's timeline: which summary each widget shows from when, when it reads the
// summary again, and whether the installed program has been replaced by another build.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/WallTime.h"
#include "core/widgets/WidgetSnapshot.h"

namespace hollin {

struct UsageEntry {
  WallTime date{};  // shown from this moment
  std::optional<WidgetSnapshot> snapshot;  // absent when none could be read
  bool operator==(const UsageEntry&) const = default;
};

struct UsageTimeline {
  std::vector<UsageEntry> entries;  // by date
  WallTime reloadAfter{};           // read the summary again then
  bool operator==(const UsageTimeline&) const = default;
};

inline constexpr double timelineReloadInterval = 900;  // seconds

// An entry dated now without a summary: the widgets' empty state.
UsageEntry placeholderEntry(WallTime now);
// (now, summary); and (measuredAt + 20 min, summary) when that still lies ahead, so the widget
// turns itself outdated then; a new reading after 15 minutes.
UsageTimeline usageTimeline(WallTime now, std::optional<WidgetSnapshot> summary);

// The build of an installed program, from the property list "Info.plist" of its data folder.
namespace BundleReplacement {
inline constexpr const char* infoFile = "Info.plist";
// That list's "CFBundleVersion" string; absent when the file is missing, unreadable or lacks it.
std::optional<std::string> currentVersion(const std::filesystem::path& bundle);
// True exactly when both versions are known and differ.
bool isReplaced(const std::optional<std::string>& launchedVersion, const std::filesystem::path& bundle);
}  // namespace BundleReplacement

}  // namespace hollin
