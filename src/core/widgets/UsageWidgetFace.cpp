#include "core/widgets/UsageWidgetFace.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/ByteCount.h"
#include "core/DateText.h"
#include "core/L10n.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {
namespace {

constexpr const char* unknownFigure = "—";
constexpr double lowTemperature = -20, highTemperature = 120;  // °C an SSD plausibly reports
constexpr double lowFreeFraction = 0.1;  // storage turns red below this

constexpr std::array<std::string_view, 3> familyRawValues = {"small", "medium", "large"};

// Icons of the freedesktop naming scheme; none names heat or swap, so those titles go without.
constexpr const char* memoryIcon = "utilities-system-monitor";
constexpr const char* storageIcon = "drive-harddisk";
constexpr const char* cpuIcon = "computer";
constexpr const char* ssdIcon = "drive-harddisk-solidstate";  // themes without it fall back to drive-harddisk

// Everything one face needs to say, in one language, against one entry date.
struct Context {
  const std::optional<WidgetSnapshot>& summary;
  WallTime date;
  std::string_view language;

  // The summary when it is recent at the entry's date; older figures read as unknown.
  const WidgetSnapshot* recent() const { return summary && summary->isRecent(date) ? &*summary : nullptr; }
  std::string text(const LocalizedMessage& message) const { return L10n::render(message, language); }
};

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Whole percent, halves away from zero: 0.125 is "13%".
std::string percentText(double fraction) { return std::to_string(std::llround(fraction * 100)) + "%"; }

std::string byteText(std::optional<std::uint64_t> bytes, ByteCountStyle style, std::string_view language) {
  return bytes ? formatByteCount(*bytes, style, language) : unknownFigure;
}

WidgetTint levelTint(std::string_view level) {
  switch (menuBarLevelFromRawValue(level).value_or(MenuBarLevel::unavailable)) {
    case MenuBarLevel::green: return WidgetTint::green;
    case MenuBarLevel::yellow: return WidgetTint::yellow;
    case MenuBarLevel::orange: return WidgetTint::orange;
    case MenuBarLevel::red: return WidgetTint::red;
    case MenuBarLevel::unavailable: break;
  }
  return WidgetTint::grey;
}

// The thermal state of a recent summary, 0 nominal … 3 critical.
std::optional<int> thermalState(const Context& context) {
  const WidgetSnapshot* recent = context.recent();
  if (!recent || !recent->thermalState || *recent->thermalState < 0 || *recent->thermalState > 3) return std::nullopt;
  return static_cast<int>(*recent->thermalState);
}

LocalizedMessage heatTitle(std::optional<int> state) {
  if (!state) return msg("取得不可");
  switch (*state) {
    case 0: return msg("正常");
    case 1: return msg("やや高い");
    case 2: return msg("高い");
    default: return msg("非常に高い");
  }
}

std::optional<double> cpuValue(const Context& context) {
  const WidgetSnapshot* recent = context.recent();
  if (!recent || !recent->cpuFraction) return std::nullopt;
  const double value = *recent->cpuFraction;
  if (!std::isfinite(value) || value < 0 || value > 1) return std::nullopt;
  return value;
}

// The recent summary's SSD temperature, read within the recency window and plausible.
std::optional<double> ssdTemperature(const Context& context) {
  const WidgetSnapshot* recent = context.recent();
  if (!recent || !recent->ssdMeasuredAt || !recent->ssdCelsius ||
      !WidgetSnapshot::withinRecency(*recent->ssdMeasuredAt, context.date))
    return std::nullopt;
  const double celsius = *recent->ssdCelsius;
  if (!std::isfinite(celsius) || celsius < lowTemperature || celsius > highTemperature) return std::nullopt;
  return celsius;
}

std::string ssdText(const Context& context) {
  const auto celsius = ssdTemperature(context);
  return celsius ? formatted("%.0f °C", *celsius) : context.text(msg("取得不可"));
}

// "+12 MB", "−3 MB" (a true minus sign), "0 bytes" without a sign.
std::string swapText(const Context& context) {
  const WidgetSnapshot* recent = context.recent();
  if (!recent) return context.text(msg("取得不可"));
  if (!recent->swapChange) return context.text(msg("測定中"));
  const std::int64_t change = *recent->swapChange;
  // The smallest Int64 has no positive counterpart; it is taken as the largest.
  const std::uint64_t size = change == std::numeric_limits<std::int64_t>::min()
                                 ? static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                                 : static_cast<std::uint64_t>(change < 0 ? -change : change);
  const char* sign = change > 0 ? "+" : change < 0 ? "\u2212" : "";
  return sign + formatByteCount(size, ByteCountStyle::memory, context.language);
}

WidgetTitle widgetTitle(const Context& context, const LocalizedMessage& text, const LocalizedMessage& shortText,
                  const char* icon) {
  return {context.text(text), context.text(shortText), icon};
}

RingFace memoryRing(const Context& context) {
  const WidgetSnapshot* recent = context.recent();
  RingFace face;
  face.title = widgetTitle(context, msg("メモリー使用（目安）"), msg("メモリー"), memoryIcon);
  face.fraction = recent ? recent->memoryFraction() : std::nullopt;
  // Coloured by the shown level, not by how full memory is.
  face.tint = face.fraction ? levelTint(recent->level) : WidgetTint::grey;
  face.centre = face.fraction ? percentText(*face.fraction) : unknownFigure;
  const std::string amount = byteText(recent ? recent->memoryUsed : std::nullopt, ByteCountStyle::memory, context.language);
  const std::string total = byteText(recent ? recent->memoryTotal : std::nullopt, ByteCountStyle::memory, context.language);
  face.caption = {amount + " / " + total, amount};
  const auto level = context.summary ? menuBarLevelFromRawValue(context.summary->level) : std::nullopt;
  face.toolTip = context.text(
      msg("メモリー使用量（目安）{0}／物理メモリー {1}。{2}。使用率と危険度は別です。クリックで分析を開きます。", amount, total,
          context.text(title(level.value_or(MenuBarLevel::unavailable)))));
  return face;
}

RingFace storageRing(const Context& context) {
  const WidgetSnapshot* recent = context.recent();
  RingFace face;
  face.title = widgetTitle(context, msg("ストレージ空き"), msg("ストレージ空き"), storageIcon);
  face.fraction = recent ? recent->diskFreeFraction() : std::nullopt;
  if (recent) face.tint = face.fraction && *face.fraction < lowFreeFraction ? WidgetTint::red : WidgetTint::cyan;
  face.centre = face.fraction ? percentText(*face.fraction) : unknownFigure;
  const std::string amount = byteText(recent ? recent->diskAvailable : std::nullopt, ByteCountStyle::file, context.language);
  const std::string total = byteText(recent ? recent->diskTotal : std::nullopt, ByteCountStyle::file, context.language);
  face.caption = {amount + " / " + total, amount};
  face.toolTip = context.text(
      msg("内蔵ストレージの空き容量 {0}／総容量 {1}。円は空き容量の割合です。クリックで分析を開きます。", amount, total));
  return face;
}

RingFace cpuRing(const Context& context) {
  RingFace face;
  face.title = widgetTitle(context, msg("CPU使用率"), msg("CPU使用率"), cpuIcon);
  face.fraction = cpuValue(context);
  face.tint = WidgetTint::blue;
  face.centre = face.fraction ? percentText(*face.fraction) : unknownFigure;
  face.caption = {context.text(msg("Mac全体・約5秒の平均")), context.text(msg("約5秒の平均"))};
  const std::string value = face.fraction ? formatted("%.1f%%", *face.fraction * 100) : context.text(msg("取得不可"));
  face.toolTip =
      context.text(msg("Mac全体のCPU使用率：{0}。全CPUを合わせて100%とし、測定直前の約5秒間の平均です。", value));
  return face;
}

RingFace thermalRing(const Context& context) {
  constexpr std::array<WidgetTint, 4> stateTints = {WidgetTint::green, WidgetTint::yellow, WidgetTint::orange,
                                                    WidgetTint::red};
  const auto state = thermalState(context);
  const std::string heat = context.text(heatTitle(state));
  const auto celsius = context.summary ? context.summary->recentCPUTemperature(context.date) : std::nullopt;
  RingFace face;
  face.title = widgetTitle(context, msg("CPU温度（参考）"), msg("CPU温度"), "");
  face.fullCircle = true;
  face.tint = state ? stateTints[static_cast<std::size_t>(*state)] : WidgetTint::grey;
  // Formatted once: GCC 12 takes the optional for unset on a second formatting branch.
  const std::optional<std::string> degrees = celsius ? std::optional(formatted("%.0f℃", *celsius)) : std::nullopt;
  face.centre = degrees.value_or(unknownFigure);
  face.temperatureFont = true;
  if (celsius)
    face.caption = {context.text(msg("熱の状態：{0}", heat)), context.text(msg("熱：{0}", heat)), heat};
  else
    face.caption = {context.text(msg("温度は取得不可・熱の状態：{0}", heat)), context.text(msg("熱の状態：{0}", heat)),
                    context.text(msg("熱：{0}", heat))};
  const std::string temperature = degrees ? *degrees : context.text(msg("取得不可"));
  face.toolTip = context.text(
      msg("CPU温度（参考）：{0}。取得できたM4の温度センサーの最高値です。Mac全体の熱の状態：{1}。色はmacOSの4段階判定です。",
          temperature, heat));
  return face;
}

std::vector<std::string> footer(const Context& context) {
  if (!context.summary)
    return {context.text(msg("クリックしてホリンを起動")), context.text(msg("クリックで起動"))};
  const std::string time = dateText(context.summary->measuredAt, DateStyle::none, DateStyle::shortStyle, context.language);
  if (context.recent()) return {context.text(msg("測定 {0}", time))};
  return {context.text(msg("更新待ち・最終測定 {0}", time)), context.text(msg("更新待ち {0}", time))};
}

}  // namespace

WidgetSize widgetSize(WidgetFamily family) {
  switch (family) {
    case WidgetFamily::small: return {170, 170};
    case WidgetFamily::medium: return {364, 170};
    case WidgetFamily::large: break;
  }
  return {364, 382};
}

std::string_view rawValue(WidgetFamily family) { return familyRawValues[static_cast<std::size_t>(family)]; }

std::optional<WidgetFamily> widgetFamilyFromRawValue(std::string_view raw) {
  for (std::size_t i = 0; i < familyRawValues.size(); ++i)
    if (familyRawValues[i] == raw) return static_cast<WidgetFamily>(i);
  return std::nullopt;
}

const std::array<WidgetKind, 7>& widgetKinds() {
  using enum WidgetFamily;
  static const std::array<WidgetKind, 7> kinds = {{
      {"HollinMemory", msg("メモリー使用状況"), msg("メモリーの使用量と総容量。クリックで詳しい分析を開きます。"), {small}, 0},
      {"HollinStorage", msg("内蔵ストレージの空き容量"), msg("円は空き容量の割合です。空き容量と総容量を表示します。"), {small}, 1},
      {"HollinCombined", msg("メモリーと空き容量"),
       msg("メモリー使用状況と内蔵ストレージの空き容量を並べて表示します。"), {medium, large}, 2},
      {"HollinCPU", msg("CPU使用率"), msg("Mac全体のCPU使用率を表示します。"), {small}, 3},
      {"HollinThermal", msg("CPU温度と熱の状態"),
       msg("M4のCPU温度の参考値と、macOSが報告する熱の状態を表示します。未対応機種は温度を取得不可と表示します。"), {small}, 4},
      {"HollinSSDTemperature", msg("内蔵SSD温度"),
       msg("SSDが報告するセンサー温度を表示します。未対応の場合は取得不可と表示します。"), {small}, 5},
      {"HollinSwapChange", msg("スワップの増減"), msg("直近約5分に増えた、または減ったスワップ使用量を表示します。"), {small}, 6},
  }};
  return kinds;
}

const WidgetKind* widgetKind(std::string_view kind) {
  for (const WidgetKind& each : widgetKinds())
    if (each.kind == kind) return &each;
  return nullptr;
}

Rgba rgba(WidgetTint tint) {
  switch (tint) {
    case WidgetTint::grey: break;
    case WidgetTint::green: return rgba(StatusColour::green);
    case WidgetTint::yellow: return rgba(StatusColour::yellow);
    case WidgetTint::orange: return rgba(StatusColour::orange);
    case WidgetTint::red: return rgba(StatusColour::red);
    case WidgetTint::cyan: return {0.196, 0.678, 0.902, 1};
    case WidgetTint::blue: return {0.0, 0.478, 1.0, 1};
  }
  return rgba(StatusColour::grey);
}

RingFace usageRing(const std::optional<WidgetSnapshot>& summary, WallTime date, bool disk, std::string_view language) {
  const Context context{summary, date, language};
  return disk ? storageRing(context) : memoryRing(context);
}

RingFace machineRing(const std::optional<WidgetSnapshot>& summary, WallTime date, bool thermal,
                     std::string_view language) {
  const Context context{summary, date, language};
  return thermal ? thermalRing(context) : cpuRing(context);
}

MetricFace extraMetric(const std::optional<WidgetSnapshot>& summary, WallTime date, bool ssd, std::string_view language) {
  const Context context{summary, date, language};
  MetricFace face;
  if (ssd) {
    face.title = widgetTitle(context, msg("内蔵SSD温度"), msg("SSD温度"), ssdIcon);
    face.value = ssdText(context);
    face.caption = {context.text(msg("SSDのセンサー値"))};
  } else {
    face.title = widgetTitle(context, msg("スワップ増減"), msg("スワップ"), "");
    face.value = swapText(context);
    face.caption = {context.text(msg("直近5分・＋は増加")), context.text(msg("直近5分"))};
  }
  const LocalizedMessage explanation =
      ssd ? msg("内蔵SSDが報告する温度です。最大1分に1回読み取ります。Mac全体やCPUの温度とは異なります。")
          : msg("直近約5分のスワップ使用量の差です。起動後やスリープ復帰後は約5分待ちます。書き込み総量ではありません。");
  face.toolTip = context.text(msg("{0}：{1}。{2}", face.title.text, face.value, context.text(explanation)));
  return face;
}

UsageFace usageFace(int mode, WidgetFamily family, const UsageEntry& entry, std::string_view language) {
  const Context context{entry.snapshot, entry.date, language};
  UsageFace face;
  switch (mode) {
    case 0: face.ringRows = {{memoryRing(context)}}; break;
    case 1: face.ringRows = {{storageRing(context)}}; break;
    case 2:
      face.ringRows = {{memoryRing(context), storageRing(context)}};
      if (family == WidgetFamily::large) {
        face.ringRows.push_back({cpuRing(context), thermalRing(context)});
        face.lines = {context.text(msg("SSD {0}", ssdText(context))),
                      context.text(msg("スワップ5分 {0}", swapText(context)))};
      }
      break;
    case 3: face.ringRows = {{cpuRing(context)}}; break;
    case 4: face.ringRows = {{thermalRing(context)}}; break;
    case 5: face.metric = extraMetric(entry.snapshot, entry.date, true, language); break;
    case 6: face.metric = extraMetric(entry.snapshot, entry.date, false, language); break;
    default: break;
  }
  face.footer = footer(context);
  for (const WidgetKind& kind : widgetKinds())
    if (kind.mode == mode) face.toolTip = context.text(kind.displayName);
  return face;
}

}  // namespace hollin
