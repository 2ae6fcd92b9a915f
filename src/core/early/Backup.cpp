#include "core/early/Backup.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/DateText.h"
#include "core/early/TimeMachine.h"

namespace hollin {
namespace {

constexpr double secondsPerDay = 86400;
constexpr double backupRepeat = 259200;  // seconds: 3 days
// The last time a destination was seen mounted moves on at most this often, so the history file
// is not rewritten on every reading while a disk stays connected.
constexpr std::chrono::seconds mountedStep{3600};

// Whole days from `since` to `now`, truncated toward zero.
std::int64_t daysBetween(WallTime since, WallTime now) {
  return static_cast<std::int64_t>(std::trunc(secondsBetween(since, now) / secondsPerDay));
}

struct Tier {
  int days;
  int severity;
};

// The highest tier `days` reaches; nothing below the lowest. Severity 3 for the highest tier,
// one less for each below.
std::optional<Tier> tierFor(std::int64_t days) {
  int severity = 3;
  for (const int tier : EarlyWarnings::backupTiers) {
    if (days >= tier) return Tier{tier, severity};
    --severity;
  }
  return std::nullopt;
}

EarlyWarning backupWarning(Tier tier, const LocalizedMessage& title, const LocalizedMessage& message,
                           std::string_view language) {
  return {
      .kind = "backup",
      .signature = std::to_string(tier.days),
      .urgent = false,
      .title = L10n::render(title, language),
      .message = L10n::render(message, language),
      .repeatAfter = backupRepeat,
      .severity = tier.severity,
  };
}

}  // namespace

bool EarlyWatchArchive::recordBackup(std::optional<WallTime> latest, WallTime at) {
  if (!latest || *latest > at + TimeMachine::futureAllowance || (lastBackup && *latest <= *lastBackup)) return false;
  lastBackup = latest;
  return true;
}

bool EarlyWatchArchive::recordBackup(const BackupStatus& status, WallTime at) {
  bool changed = recordBackup(status.latest, at);
  if (!status.configured) return changed;
  if (!*status.configured) {
    changed = changed || backupWatchSince || lastMounted;
    backupWatchSince.reset();
    lastMounted.reset();
    return changed;
  }
  if (!backupWatchSince || *backupWatchSince > at) {
    backupWatchSince = at;
    changed = true;
  }
  if (status.mounted && (!lastMounted || *lastMounted <= at - mountedStep || *lastMounted > at)) {
    lastMounted = at;
    changed = true;
  }
  return changed;
}

namespace EarlyWarnings {

std::optional<EarlyWarning> backup(std::optional<WallTime> latest, bool show, WallTime now, std::string_view language) {
  if (!show || !latest) return std::nullopt;
  const auto days = daysBetween(*latest, now);
  const auto tier = tierFor(days);
  if (!tier) return std::nullopt;
  return backupWarning(*tier, msg("Time Machineのバックアップが止まっています"),
                       msg("最後のバックアップから{0}日たちました。バックアップ用のディスクをつないでいるか確かめてください。", days),
                       language);
}

std::optional<EarlyWarning> backup(const BackupStatus& status, const EarlyWatchArchive& archive, WallTime now,
                                   std::string_view language) {
  if (!TimeMachine::shouldShow(status.configured, archive.lastBackup)) return std::nullopt;
  if (const auto latest = TimeMachine::latest(status, archive.lastBackup, now)) return backup(latest, true, now, language);
  // No backup date to go by: count from the last sight of the destination, or from the start
  // of the watch when it was never seen.
  const auto reference = TimeMachine::newest({archive.lastMounted, archive.backupWatchSince}, now);
  if (!reference) return std::nullopt;
  const auto days = daysBetween(*reference, now);
  const auto tier = tierFor(days);
  if (!tier) return std::nullopt;
  return backupWarning(
      *tier, msg("Time Machineのバックアップを確かめられません"),
      msg("{0}日のあいだ、バックアップ用のディスクがつながっているのを確かめられていません。ディスクをつないでください。", days),
      language);
}

}  // namespace EarlyWarnings

std::optional<EarlyTableRow> backupRow(const BackupStatus& status, const EarlyWatchArchive& archive, WallTime now,
                                       std::string_view tool, std::string_view language, std::string_view timeZone) {
  if (!TimeMachine::shouldShow(status.configured, archive.lastBackup)) return std::nullopt;
  const auto text = [language](const LocalizedMessage& message) { return L10n::render(message, language); };
  const bool warned = EarlyWarnings::backup(status, archive, now, language).has_value();
  EarlyTableRow row;
  row.item = tool.empty() ? text(msg("バックアップ")) : std::string(tool);
  row.tone = warned ? EarlyTone::attention : EarlyTone::plain;
  std::optional<std::string> automatic;
  if (status.autoBackup)
    automatic = text(msg("自動バックアップ：{0}", text(*status.autoBackup ? msg("オン") : msg("オフ"))));
  const std::string separator(earlySeparator(language));

  if (const auto latest = TimeMachine::latest(status, archive.lastBackup, now)) {
    const auto days = daysBetween(*latest, now);
    std::string age = days < 1 ? text(msg("最後のバックアップは今日")) : text(msg("最後のバックアップから{0}日", days));
    std::string dates = shortDateTimeText(*latest, language, timeZone);
    if (automatic) dates += separator + *automatic;
    if (warned) {
      row.state = std::move(age);
      row.detail = std::move(dates);
    } else {
      row.detail = age + separator + dates;
    }
  } else if (status.latestReadable) {
    row.state = text(msg("まだバックアップがありません"));
    row.detail = automatic.value_or("—");
  } else {
    row.state = warned ? text(msg("最後のバックアップの日時を読めません")) : text(msg("取得不可"));
    row.detail = text(msg("バックアップ用のディスクをつないでいるときに読みます"));
  }
  return row;
}

}  // namespace hollin
