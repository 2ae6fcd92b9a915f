#include "app/early/EarlySubsystem.h"

#include "app/notify/Notifier.h"
#include "core/early/EarlyView.h"

namespace hollin {

void EarlyReader::read(Snapshot& snapshot, const TakeMoment& moment) {
  const HLSystem& system = snapshot.system;
  const auto available = system.disk_valid ? std::optional(system.disk_available) : std::nullopt;
  const auto total = system.disk_valid ? std::optional(system.disk_total) : std::nullopt;
  snapshot.early = watch_.take(available, total, moment.uptime, snapshot.ssdCelsius, moment.now);
}

EarlySubsystem::EarlySubsystem(Services services, EarlyWatch::Sources sources)
    : services_(std::move(services)),
      reader_(std::make_shared<EarlyReader>(
          std::move(sources),
          services_.dataFolder ? std::optional(*services_.dataFolder + "/" + EarlyWatchRecorder::fileName)
                               : std::nullopt,
          services_.log)) {}

void EarlySubsystem::evaluate(const Moment& moment) {
  Notifier* notifier = services_.notifier;
  const EarlyWatchSnapshot& early = moment.snapshot->early;
  if (pending_ > 0 || early.checkedAt == lastEvaluated_ ||
      secondsBetween(early.checkedAt, moment.wallNow) >= earlyPictureMaxAge)
    return;
  if (moment.consoleUID != moment.uid || !notifier || !notifier->notificationsAllowed()) return;
  const WallTime now = moment.wallNow;
  const auto due = dueEarlyWarnings(earlyWarnings(early, now, false, moment.language), *early.archive, now,
                                    now < notifier->mutedUntil());
  lastEvaluated_ = early.checkedAt;
  if (due.empty()) return;

  pending_ = static_cast<int>(due.size());
  const auto settled = [this, alive = std::weak_ptr<bool>(alive_)] {
    if (!alive.expired()) --pending_;
  };
  for (const EarlyWarning& warning : due) {
    const std::string id = noticePrefix + warning.kind;
    if (services_.log) services_.log("notice " + id + ": " + warning.title + " — " + warning.message);
    // The batch stays pending until each receipt is in the history that the next take copies,
    // so a take already under way cannot tell the same warning again.
    auto answered = [this, alive = std::weak_ptr<bool>(alive_), warning, now, settled](bool accepted) {
      if (alive.expired()) return;
      if (!accepted || !services_.onSamplingQueue) return settled();
      services_.onSamplingQueue([reader = reader_, warning, now] { reader->accepted({warning}, now); }, settled);
    };
    if (!notifier->notify(id, warning.title, warning.message, warning.urgent, std::move(answered))) settled();
  }
}

void EarlySubsystem::present(Screen& screen, const Moment& moment) { presentEarly(screen, moment); }

void EarlySubsystem::record(nlohmann::json& record, const Moment& moment) const { recordEarly(record, moment); }

void EarlySubsystem::metrics(MetricsText& metrics, const Moment& moment) const {
  exportEarly(metrics, moment);
}

}  // namespace hollin
