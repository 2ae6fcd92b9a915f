#include "widgets/UsageProvider.h"

namespace hollin {

bool UsageProvider::wasReplaced() const {
  if (!BundleReplacement::isReplaced(environment_.launchedVersion, environment_.dataFolder)) return false;
  environment_.replaced();
  return true;
}

std::optional<UsageEntry> UsageProvider::placeholder() const {
  if (wasReplaced()) return std::nullopt;
  return placeholderEntry(environment_.now());
}

std::optional<UsageEntry> UsageProvider::getSnapshot() const {
  if (wasReplaced()) return std::nullopt;
  return UsageEntry{environment_.now(), WidgetSnapshot::read(environment_.summaryFile)};
}

std::optional<UsageTimeline> UsageProvider::getTimeline() const {
  if (wasReplaced()) return std::nullopt;
  return usageTimeline(environment_.now(), WidgetSnapshot::read(environment_.summaryFile));
}

}  // namespace hollin
