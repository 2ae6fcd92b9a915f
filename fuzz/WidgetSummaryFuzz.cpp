// The widget summary as the widget program reads it. Whatever decodes must be written back to
// the same summary, and the faces drawn from it must come out for every mode and family.
#include "FuzzTarget.h"
#include "core/widgets/UsageWidgetFace.h"

namespace hollin {
namespace {

int fuzzWidgetSummary(const std::uint8_t* data, std::size_t size) {
  const auto summary = decodeWidgetSnapshot(fuzz::text(data, size));
  if (!summary) return 0;
  fuzz::require(decodeWidgetSnapshot(encodeWidgetSnapshot(*summary)) == summary,
                "a summary read is written back unchanged");

  // Judged at the moment it was measured and when it has just gone out of date.
  for (const UsageEntry& entry : usageTimeline(summary->measuredAt, summary).entries)
    for (const WidgetKind& kind : widgetKinds())
      for (const WidgetFamily family : kind.families)
        fuzz::require(!usageFace(kind.mode, family, entry, "en").footer.empty(), "every face has a footer");
  return 0;
}

const fuzz::Registration registered("widgetsummary", fuzzWidgetSummary);

}  // namespace
}  // namespace hollin
