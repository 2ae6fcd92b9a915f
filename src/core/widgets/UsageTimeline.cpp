#include "core/widgets/UsageTimeline.h"

#include "core/PropertyList.h"
#include "core/SmallFile.h"

namespace hollin {
namespace {

// An information list is a few hundred bytes; anything this large is not one.
constexpr std::size_t infoSizeLimit = 256 * 1024;

}  // namespace

UsageEntry placeholderEntry(WallTime now) { return {now, std::nullopt}; }

UsageTimeline usageTimeline(WallTime now, std::optional<WidgetSnapshot> summary) {
  UsageTimeline timeline;
  timeline.entries.push_back({now, summary});
  if (summary) {
    // The end of the recency window: from then on the views show the figures as unknown.
    const WallTime stale = addingSeconds(summary->measuredAt, WidgetSnapshot::recentFor);
    if (stale > now) timeline.entries.push_back({stale, std::move(summary)});
  }
  timeline.reloadAfter = addingSeconds(now, timelineReloadInterval);
  return timeline;
}

namespace BundleReplacement {

std::optional<std::string> currentVersion(const std::filesystem::path& bundle) {
  const auto bytes = readSmallFile(bundle / infoFile, infoSizeLimit);
  if (!bytes) return std::nullopt;
  const auto list = parsePropertyList(*bytes, infoSizeLimit);
  if (!list) return std::nullopt;
  const PlistValue* version = list->find("CFBundleVersion");
  const std::string* text = version ? version->asString() : nullptr;
  if (!text) return std::nullopt;
  return *text;
}

bool isReplaced(const std::optional<std::string>& launchedVersion, const std::filesystem::path& bundle) {
  if (!launchedVersion) return false;
  const auto current = currentVersion(bundle);
  return current && *current != *launchedVersion;
}

}  // namespace BundleReplacement
}  // namespace hollin
