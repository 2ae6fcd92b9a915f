#include "core/early/EarlyTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/DateText.h"
#include "core/early/Backup.h"
#include "core/early/BatteryWarnings.h"
#include "core/snapshot/Snapshot.h"
#include "core/ui/Screen.h"

namespace hollin {
namespace {

constexpr double recentWindow = 21600;        // seconds: the lowest free space shown
constexpr double temperatureWindow = 86400;   // seconds: the highest SSD temperature shown
constexpr std::uint64_t nearlyFullBytes = 9'999'999'999;
constexpr std::uint64_t lowBytes = 19'999'999'999;
constexpr const char* none = "—";

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : std::string(separator)) + part;
  return text.empty() ? none : text;
}

std::string percentText(std::optional<std::int64_t> percent, const std::string& unknown) {
  return percent ? std::to_string(*percent) + "%" : unknown;
}

std::string wholeDegrees(double celsius) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", celsius);
  return text;
}

// Builds the rows in one language.
class RowBuilder {
 public:
  RowBuilder(const EarlyWatchSnapshot& early, bool stale, WallTime now, std::string_view language,
             std::string_view timeZone)
      : early_(early), stale_(stale), now_(now), language_(language), timeZone_(timeZone),
        unknown_(text(msg("取得不可"))), separator_(earlySeparator(language)) {}

  EarlyTableRow power() const {
    EarlyTableRow row{text(msg("電源とバッテリー")), EarlyTone::plain, std::nullopt, none};
    if (stale_) {
      row.state = unknown_;
      return row;
    }
    const auto& battery = early_.battery;
    const std::string percent = percentText(battery ? battery->percent : std::nullopt, unknown_);
    std::vector<std::string> facts;
    if (battery && battery->adapterWatts) facts.push_back(text(msg("電源 {0}W", *battery->adapterWatts)));
    if (battery && battery->amperage) facts.push_back(text(msg("電流 {0}mA", *battery->amperage)));
    const auto withFacts = [&](const LocalizedMessage& first) {
      std::vector<std::string> parts{text(first)};
      parts.insert(parts.end(), facts.begin(), facts.end());
      return joined(parts, separator_);
    };
    using enum ChargerState::Case;
    switch (early_.charger.value) {
      case onBattery: row.detail = withFacts(msg("バッテリーで動作中（{0}）", percent)); break;
      case normal:
        row.detail = withFacts(battery && battery->charging == true ? msg("電源につないで充電中（{0}）", percent)
                                                                     : msg("電源につないでいます（{0}）", percent));
        break;
      case toLimit: row.detail = withFacts(msg("充電の上限まで、設定どおりバッテリーを使っています（{0}）", percent)); break;
      case checking:
        row.tone = EarlyTone::attention;
        row.state = text(msg("電源につないでいるのに減っています。もう一度確かめます（{0}）", percent));
        row.detail = joined(facts, separator_);
        break;
      case draining:
        row.tone = early_.charger.critical ? EarlyTone::urgent : EarlyTone::attention;
        row.state = text(msg("電源につないでいるのに減っています（{0}）", percent));
        row.detail = joined(facts, separator_);
        break;
      case unavailable: row.detail = joined(facts, separator_); break;
    }
    return row;
  }

  EarlyTableRow batteryHealth() const {
    const auto& health = early_.health;
    const std::string summary =
        text(msg("最大容量 {0}・状態 {1}", percentText(health ? health->maximumCapacity : std::nullopt, unknown_),
                 health && health->condition ? health->localizedCondition(language_) : unknown_));
    std::vector<std::string> lines;
    const auto& battery = early_.battery;
    const auto cycles = battery && battery->cycleCount ? battery->cycleCount : health ? health->cycleCount : std::nullopt;
    if (cycles) {
      std::string line = text(msg("充放電 {0}回", *cycles));
      if (battery && battery->designCycleCount) line += text(msg("（目安 {0}回）", *battery->designCycleCount));
      lines.push_back(std::move(line));
    }
    const auto& points = early_.archive->batteryHealth;
    if (points.size() > 1 && points.front().at < points.back().at)
      lines.push_back(text(msg("{0}から：最大容量 {1} → {2}", shortDateTimeText(points.front().at, language_, timeZone_),
                               percentText(points.front().maximumCapacity, unknown_),
                               percentText(points.back().maximumCapacity, unknown_))));
    EarlyTableRow row{text(msg("バッテリーの健康")), EarlyTone::plain, std::nullopt, joinedLines(lines)};
    if (!EarlyWarnings::battery(health, language_).empty()) {
      row.tone = EarlyTone::attention;
      row.state = summary;
    } else if (health && health->maximumCapacity && health->condition) {
      lines.insert(lines.begin(), summary);
      row.detail = joinedLines(lines);
    } else {
      row.state = health ? summary : unknown_;
    }
    if (row.detail.empty()) row.detail = none;
    return row;
  }

  EarlyTableRow freeSpace(std::optional<std::uint64_t> diskFree) const {
    std::vector<std::string> lines{text(msg("いまの空き {0}", storage(diskFree)))};
    if (const auto lowest = early_.archive->lowestRecent(now_, recentWindow))
      lines.push_back(text(msg("直近6時間でいちばん少なかったのは {0}", storage(lowest->available))));
    EarlyTableRow row{text(msg("空き容量")), EarlyTone::plain, std::nullopt, {}};
    if (!diskFree) {
      row.state = unknown_;
    } else if (!stale_ && early_.diskDrain) {
      const auto minutes = std::max(1.0, std::ceil(early_.diskDrain->secondsLeft / 60));
      row.tone = EarlyTone::urgent;
      row.state = text(msg("急に減っています。このままだと約{0}分で空きがなくなります", static_cast<long long>(minutes)));
      lines.push_back(text(msg("この数分で{0}減りました", storage(early_.diskDrain->lostBytes))));
    } else if (*diskFree <= nearlyFullBytes) {
      row.tone = EarlyTone::urgent;
      row.state = text(msg("空きがほとんどありません（残り{0}）", storage(diskFree)));
    } else if (*diskFree <= lowBytes) {
      row.tone = EarlyTone::attention;
      row.state = text(msg("空きが少なくなっています（残り{0}）", storage(diskFree)));
    }
    row.detail = joinedLines(lines);
    return row;
  }

  EarlyTableRow ssdTemperature(bool overheat) const {
    const auto current = stale_ ? std::nullopt : early_.ssdCelsius;
    std::vector<std::string> parts;
    if (current) parts.push_back(text(msg("いま {0} °C", wholeDegrees(*current))));
    if (const auto highest = early_.archive->maxTemperature(now_, temperatureWindow))
      parts.push_back(text(msg("24時間の最高 {0} °C", wholeDegrees(*highest))));
    EarlyTableRow row{text(msg("SSD の温度")), EarlyTone::plain, std::nullopt, joined(parts, separator_)};
    if (overheat) {
      row.tone = EarlyTone::urgent;
      row.state = text(msg("SSD が温度の警告を出しています"));
    } else {
      row.state = current ? text(msg("記録しています")) : unknown_;
    }
    return row;
  }

  std::optional<EarlyTableRow> forecast() const {
    const DiskForecast& forecast = early_.diskForecast;
    EarlyTableRow row{text(msg("空き容量の予測")), EarlyTone::plain, std::nullopt,
                      text(msg("1時間ごとの記録 {0}件", static_cast<long long>(early_.archive->disk.size())))};
    using enum DiskForecast::Case;
    switch (forecast.kind) {
      case unavailable: return std::nullopt;
      case collecting:
        row.state = forecast.value < 24
                        ? text(msg("記録をためています（あと約{0}時間）", forecast.value))
                        : text(msg("記録をためています（あと約{0}日）", (forecast.value + 23) / 24));
        break;
      case sparse: row.state = text(msg("記録が少ないため、まだ予測できません")); break;
      case steady: row.detail += std::string(separator_) + text(msg("減っていません（予測なし）")); break;
      case slow: row.detail += std::string(separator_) + text(msg("満杯まで1年以上かかるペース")); break;
      case days:
        row.state = text(msg("このペースだと約{0}日で満杯", forecast.value));
        if (EarlyWarnings::disk(forecast, language_)) row.tone = EarlyTone::attention;
        break;
    }
    return row;
  }

  EarlyTableRow history() const {
    return {text(msg("記録の保存")), EarlyTone::attention,
            text(msg("記録の保存・読込に問題があります。いまの見張りは続けます。")), none};
  }

 private:
  std::string text(const LocalizedMessage& message) const { return L10n::render(message, language_); }
  std::string storage(std::optional<std::uint64_t> bytes) const { return storageText(bytes, language_); }

  const EarlyWatchSnapshot& early_;
  bool stale_;
  WallTime now_;
  std::string_view language_;
  std::string_view timeZone_;
  std::string unknown_;
  std::string_view separator_;
};

std::vector<EarlyWarning> crashWarnings(const EarlyWatchSnapshot& early, WallTime now, std::string_view language) {
  return EarlyWarnings::crashes(early.crashes.value_or(std::vector<CrashRecord>{}), now, language);
}

}  // namespace

std::vector<EarlyWarning> earlyWarnings(const EarlyWatchSnapshot& early, WallTime now, bool stale,
                                        std::string_view language) {
  std::vector<EarlyWarning> warnings;
  const auto add = [&](std::optional<EarlyWarning> warning) {
    if (warning) warnings.push_back(std::move(*warning));
  };
  if (early.batteryPresent != false) {
    if (!stale) add(EarlyWarnings::charger(early.charger, early.battery ? early.battery->percent : std::nullopt, language));
    for (auto& warning : EarlyWarnings::battery(early.health, language)) warnings.push_back(std::move(warning));
  }
  add(EarlyWarnings::disk(early.diskForecast, language));
  if (!stale) {
    add(DiskAlerts::lowSpace(early.diskAvailable, language));
    add(DiskAlerts::drain(early.diskDrain, language));
  }
  for (auto& warning : crashWarnings(early, now, language)) warnings.push_back(std::move(warning));
  add(EarlyWarnings::backup(early.backup, *early.archive, now, language));
  return warnings;
}

std::vector<EarlyTableRow> earlyTableRows(const EarlyWatchSnapshot& early, std::optional<std::uint64_t> diskFree,
                                          bool stale, WallTime now, bool ssdOverheat, std::string_view language,
                                          std::string_view timeZone) {
  const RowBuilder build(early, stale, now, language, timeZone);
  std::vector<EarlyTableRow> rows;
  if (early.batteryPresent != false) {
    rows.push_back(build.power());
    rows.push_back(build.batteryHealth());
  }
  rows.push_back(build.freeSpace(diskFree));
  rows.push_back(build.ssdTemperature(ssdOverheat));
  if (auto forecast = build.forecast()) rows.push_back(std::move(*forecast));
  for (auto& row : CrashReports::rows(early.crashes, crashWarnings(early, now, language), now, language, timeZone))
    rows.push_back(std::move(row));
  if (auto backup = backupRow(early.backup, *early.archive, now, early.backupTool, language, timeZone))
    rows.push_back(std::move(*backup));
  if (!early.persistenceOK) rows.push_back(build.history());
  return rows;
}

namespace EarlyTable {

std::vector<EarlyTableRow> ordered(std::vector<EarlyTableRow> rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const EarlyTableRow& a, const EarlyTableRow& b) { return a.tone > b.tone; });
  return rows;
}

int concerns(const std::vector<EarlyTableRow>& rows) {
  return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const EarlyTableRow& row) { return row.concern(); }));
}

}  // namespace EarlyTable

}  // namespace hollin
