// What each desktop widget shows, as finished texts, fractions and colours: the widget program
// only lays these out and paints them. Every figure is judged against the entry's date, so an
// entry at the end of the recency window shows the same summary as unknown.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/ui/StatusColour.h"
#include "core/widgets/UsageTimeline.h"

namespace hollin {

enum class WidgetFamily { small, medium, large };

// Logical pixels.
struct WidgetSize {
  int width = 0, height = 0;
};
WidgetSize widgetSize(WidgetFamily family);
std::string_view rawValue(WidgetFamily family);
std::optional<WidgetFamily> widgetFamilyFromRawValue(std::string_view raw);

// One of the seven widgets.
struct WidgetKind {
  std::string_view kind;  // "HollinMemory", …
  LocalizedMessage displayName;
  LocalizedMessage description;
  std::vector<WidgetFamily> families;
  int mode = 0;  // what the shared view draws, 0…6
};
const std::array<WidgetKind, 7>& widgetKinds();
const WidgetKind* widgetKind(std::string_view kind);

// The colours a widget draws with; grey and the track follow the palette's secondary text.
enum class WidgetTint { grey, green, yellow, orange, red, cyan, blue };
// sRGB; grey is the system grey.
Rgba rgba(WidgetTint tint);

struct WidgetTitle {
  std::string text;       // icon and this when it fits
  std::string shortText;  // else this
  std::string icon;       // a freedesktop icon name
  bool operator==(const WidgetTitle&) const = default;
};

// A memory, storage or CPU ring (an arc over a grey track), or the thermal ring (a full circle).
struct RingFace {
  WidgetTitle title;
  std::optional<double> fraction;  // the arc from the top, clockwise; absent: the track alone
  bool fullCircle = false;         // the thermal ring: the whole circle in the tint
  WidgetTint tint = WidgetTint::grey;
  std::string centre;              // "13%", "—", "48℃"
  bool temperatureFont = false;    // the centre in the smaller temperature font
  std::vector<std::string> caption;  // fitting options, longest first
  std::string toolTip;
  bool operator==(const RingFace&) const = default;
};

// The SSD temperature or the swap change as one big figure.
struct MetricFace {
  WidgetTitle title;
  std::string value;
  std::vector<std::string> caption;
  std::string toolTip;
  bool operator==(const MetricFace&) const = default;
};

RingFace usageRing(const std::optional<WidgetSnapshot>& summary, WallTime date, bool disk, std::string_view language);
RingFace machineRing(const std::optional<WidgetSnapshot>& summary, WallTime date, bool thermal,
                     std::string_view language);
MetricFace extraMetric(const std::optional<WidgetSnapshot>& summary, WallTime date, bool ssd, std::string_view language);

// The whole widget: rows of rings (side by side, a divider between), or one big figure, the
// large combined widget's two text lines, and the footer.
struct UsageFace {
  std::vector<std::vector<RingFace>> ringRows;
  std::optional<MetricFace> metric;
  std::vector<std::string> lines;   // "SSD 38 °C", "スワップ5分 +12 MB"
  std::vector<std::string> footer;  // fitting options, longest first
  std::string toolTip;              // the widget as a whole: its display name
  bool operator==(const UsageFace&) const = default;
};

inline constexpr std::string_view widgetURL = "hollin://analysis";

UsageFace usageFace(int mode, WidgetFamily family, const UsageEntry& entry, std::string_view language);

}  // namespace hollin
