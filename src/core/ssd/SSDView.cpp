#include "core/ssd/SSDView.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "core/DateText.h"
#include "core/L10n.h"
#include "core/health/HealthRecord.h"

namespace hollin {
namespace {

using nlohmann::json;

constexpr std::size_t historyLinesShown = 24;

unsigned number(std::uint8_t value) {
  return value;
}

bool recentReading(const Moment& moment) {
  return secondsBetween(moment.snapshot->ssdCheckedAt, moment.wallNow) < ssdReadingMaxAge;
}

CardView healthCard(const Moment& moment) {
  const auto text = [&](const LocalizedMessage& message) {
    return L10n::render(message, moment.language);
  };
  const Snapshot& snapshot = *moment.snapshot;
  CardView card{text(msg("取得不可")), {}, false};
  std::vector<std::string> lines;
  if (!moment.stale() && recentReading(moment) && snapshot.ssdHealth) {
    const SSDHealth& health = *snapshot.ssdHealth;
    const auto issues = health.issues(moment.language);
    const bool critical =
        std::any_of(issues.begin(), issues.end(),
                    [](const SSDHealthIssue& issue) { return issue.kind == "critical"; });
    card.value = text(issues.empty() ? msg("警告なし")
                      : critical     ? msg("警告あり")
                                     : msg("消耗に注意"));
    card.alert = critical;
    lines.push_back(text(msg("消耗度の目安 {0}%", number(health.wear))));
    lines.push_back(text(msg("データエラー累積 {0}件", health.mediaErrors.text())));
  }
  if (!snapshot.ssdPersistenceOK) lines.push_back(text(msg("履歴の保存・読込に問題があります")));
  card.detail = joinedLines(lines);
  return card;
}

std::string pointLine(const SSDHealthPoint& point, std::string_view language,
                      std::string_view timeZone) {
  const std::string date = dateTimeText(point.at, language, timeZone);
  if (!point.health) return date + "  " + L10n::render(msg("読み取りに失敗"), language);
  const SSDHealth& health = *point.health;
  return date + "  " +
         L10n::render(
             msg("消耗度 {0}%／予備 {1}%／データエラー {2}件／重大警告 {3}", number(health.wear),
                 number(health.spare), health.mediaErrors.text(), number(health.warning)),
             language);
}

std::vector<LocalizedMessage> latestLines(const SSDHealthArchive& archive,
                                          std::string_view language, std::string_view timeZone) {
  if (!archive.latest || !archive.latest->health)
    return {msg("健康情報を取得できません。未取得を正常とは扱いません。")};
  const SSDHealth& health = *archive.latest->health;
  std::string warning = std::to_string(health.warning);
  if (health.warning != 0) {
    std::string names;
    for (const auto& name : criticalWarningNames(health.warning, language))
      names += (names.empty() ? "" : ", ") + name;
    warning += " (" + names + ")";
  }
  return {
      msg("最終確認：{0}", dateTimeText(archive.latest->at, language, timeZone)),
      msg("重大警告：{0}", warning),
      msg("予備領域：{0}%（機器の警告水準：{1}%未満）", number(health.spare),
          number(health.spareThreshold)),
      msg("消耗度の目安：{0}%", number(health.wear)),
      msg("訂正できなかったデータエラー累積：{0}", health.mediaErrors.text()),
      msg("エラーログ累積：{0}件（件数だけで故障とは判定しません）", health.errorEntries.text()),
      msg("稼働時間累積：{0}時間", health.powerHours.text()),
      msg("書き込み累積：{0}単位（1単位＝512,000バイト）", health.written.text()),
  };
}

}  // namespace

void presentSSDCards(Screen& screen, const Moment& moment) {
  if (!moment.snapshot) return;
  const Snapshot& snapshot = *moment.snapshot;
  if (!moment.stale() && snapshot.ssdCelsius)
    card(screen, CardSlot::ssdTemperature).value = celsiusText(*snapshot.ssdCelsius);
  card(screen, CardSlot::ssdHealth) = healthCard(moment);
}

std::optional<SSDNotice> dueSSDNotice(const SSDHealth& health, const SSDHealthArchive& archive,
                                      WallTime now, bool muted, std::string_view language) {
  SSDNotice notice;
  for (auto& issue : health.issues(language)) {
    if (!archive.eligible(issue, now) || (!issue.urgent && muted)) continue;
    notice.urgent = notice.urgent || issue.urgent;
    notice.body += (notice.body.empty() ? "" : "\n") + issue.message;
    notice.issues.push_back(std::move(issue));
  }
  if (notice.issues.empty()) return std::nullopt;
  notice.title = L10n::render(msg("SSDの健康状態を確認してください"), language);
  return notice;
}

SSDHistoryText ssdHistoryText(const SSDHealthArchive& archive, bool persistenceOK,
                              std::string_view language, std::string_view timeZone) {
  const auto text = [&](const LocalizedMessage& message) {
    return L10n::render(message, language);
  };
  std::vector<std::string> lines = {
      text(msg("読み取りは約1分ごと。履歴は1時間ごと・最大30日分、変化は直近100件。")),
      text(msg("消耗度は寿命の推定で、残りの使用期間ではありません。警告なしでも故障を完全に否定できません。")),
      text(persistenceOK ? msg("履歴の保存：正常")
                         : msg("履歴の保存・読込に問題があります。現在の監視は継続します。")),
      "",
  };
  for (const auto& line : latestLines(archive, language, timeZone)) lines.push_back(text(line));
  lines.push_back("");
  lines.push_back(text(msg("状態の変化（新しい順）")));
  for (auto event = archive.events.rbegin(); event != archive.events.rend(); ++event)
    lines.push_back(dateTimeText(event->at, language, timeZone) + "  " +
                    event->localizedText(language));
  lines.push_back("");
  lines.push_back(text(msg("1時間ごとの記録（直近24件）")));
  const std::size_t shown = std::min(archive.history.size(), historyLinesShown);
  for (auto point = archive.history.rbegin();
       point != archive.history.rbegin() + static_cast<std::ptrdiff_t>(shown); ++point)
    lines.push_back(pointLine(*point, language, timeZone));
  return {text(msg("SSDの健康履歴")), joinedLines(lines)};
}

void recordSSD(json& record, const Moment& moment) {
  const Snapshot& snapshot = *moment.snapshot;
  record["ssdHealthReadable"] = snapshot.ssdHealth.has_value();
  record["ssdHistoryPersistenceOK"] = snapshot.ssdPersistenceOK;
  // Never checked is null rather than a date nobody checked on.
  record["ssdHealthCheckedAt"] =
      snapshot.ssdCheckedAt == distantPast ? json(nullptr) : json(iso8601(snapshot.ssdCheckedAt));
  record["ssdTemperatureCelsius"] =
      snapshot.ssdCelsius ? json(*snapshot.ssdCelsius) : json(nullptr);
  record["ssdHistoryCount"] = snapshot.ssdArchive->history.size();
  record["ssdHealthEventCount"] = snapshot.ssdArchive->events.size();
  record["ssdCriticalWarning"] =
      snapshot.ssdHealth ? json(snapshot.ssdHealth->warning) : json(nullptr);
  record["ssdWearPercent"] = snapshot.ssdHealth ? json(snapshot.ssdHealth->wear) : json(nullptr);
}

void exportSSD(MetricsText& metrics, const Moment& moment) {
  const Snapshot& snapshot = *moment.snapshot;
  metrics.gauge("hollin_ssd_history_ok", "1 while the SSD health history can be read and written",
                flag(snapshot.ssdPersistenceOK));
  if (!snapshot.ssdHealth || !recentReading(moment)) return;
  const SSDHealth& health = *snapshot.ssdHealth;
  const auto percent = [](std::uint8_t value) { return std::optional(value / 100.0); };
  metrics.gauge("hollin_ssd_wear_ratio", "Share of the SSD's rated endurance used, from its own log (may exceed 1)",
                percent(health.wear));
  metrics.gauge("hollin_ssd_spare_ratio", "Available spare of the SSD", percent(health.spare));
  metrics.gauge("hollin_ssd_spare_threshold_ratio", "The SSD's own warning level for its available spare",
                percent(health.spareThreshold));
  metrics.gauge("hollin_ssd_critical_warning", "The SSD's critical warning bit field (0: none)",
                static_cast<double>(health.warning));
  metrics.gauge("hollin_ssd_media_errors", "Unrecovered data errors the SSD has logged over its life",
                static_cast<double>(health.mediaErrors.high) * 18446744073709551616.0 +
                    static_cast<double>(health.mediaErrors.low));
  metrics.gauge("hollin_ssd_temperature_celsius", "The SSD's temperature", health.celsius);
  std::vector<std::pair<std::string, double>> kinds{{"critical", 0}, {"spare", 0}, {"media", 0}, {"wear", 0}};
  for (const SSDHealthIssue& issue : health.issues("en"))
    for (auto& [kind, value] : kinds)
      if (kind == issue.kind) value = 1;
  metrics.gauges("hollin_ssd_issue", "1 for each kind of SSD health issue Hollin warns of", "kind", kinds);
}

}  // namespace hollin
