#include "app/ssd/SSDSubsystem.h"

#include <nlohmann/json.hpp>

#include "app/notify/Notifier.h"
#include "core/ssd/SSDView.h"
#include "native/SSDHealth.h"

namespace hollin {

SSDReader::SSDReader(SSDSources sources, std::optional<std::string> historyPath, WriteOutcomeLog::Log log)
    : sources_(std::move(sources)), historyPath_(std::move(historyPath)), log_(std::move(log)) {}

SSDHealthRecorder& SSDReader::recorder() {
  if (!recorder_) recorder_ = std::make_unique<SSDHealthRecorder>(historyPath_, log_);
  return *recorder_;
}

void SSDReader::read(Snapshot& snapshot, const TakeMoment& moment) {
  if (moment.slowDue) {
    checkedAt_ = moment.now;
    health_ = sources_.health();
    // The drive's own sensor stands in for the temperature only when the log could not be read;
    // a log whose temperature is implausible keeps none.
    celsius_ = health_ ? health_->celsius : sources_.temperature();
    measuredAt_ = celsius_ ? std::optional(checkedAt_) : std::nullopt;
    recorder().observe(health_, checkedAt_);
  }
  snapshot.ssdHealth = health_;
  snapshot.ssdCelsius = celsius_;
  snapshot.ssdMeasuredAt = measuredAt_;
  snapshot.ssdCheckedAt = checkedAt_;
  if (recorder_) {
    snapshot.ssdArchive = recorder_->archive();
    snapshot.ssdPersistenceOK = recorder_->persistenceOK();
  }
}

void SSDReader::accepted(const std::vector<SSDHealthIssue>& issues, WallTime date) {
  recorder().accepted(issues, date);
}

SSDSubsystem::SSDSubsystem(Services services, SSDSources sources)
    : services_(std::move(services)),
      reader_(std::make_shared<SSDReader>(
          std::move(sources), services_.dataFolder ? std::optional(*services_.dataFolder + "/" +
                                                                   SSDHealthRecorder::fileName)
                                                   : std::nullopt,
          services_.log)) {}

void SSDSubsystem::evaluate(const Moment& moment) {
  Notifier* notifier = services_.notifier;
  const Snapshot& snapshot = *moment.snapshot;
  const WallTime checkedAt = snapshot.ssdCheckedAt;
  if (noticePending_ || checkedAt == lastNoticeCheck_ ||
      secondsBetween(checkedAt, moment.wallNow) >= ssdReadingMaxAge ||
      moment.consoleUID != moment.uid || !notifier || !notifier->notificationsAllowed() ||
      !snapshot.ssdHealth)
    return;
  const WallTime now = moment.wallNow;
  auto notice = dueSSDNotice(*snapshot.ssdHealth, *snapshot.ssdArchive, now,
                             now < notifier->mutedUntil(), moment.language);
  if (!notice) {
    lastNoticeCheck_ = checkedAt;
    return;
  }
  noticePending_ = true;
  if (services_.log)
    services_.log(std::string("notice ") + noticeID + ": " + notice->title + " — " + notice->body);
  auto answered = [this, alive = std::weak_ptr<bool>(alive_), checkedAt, now,
                   issues = notice->issues](bool accepted) {
    if (alive.expired()) return;
    lastNoticeCheck_ = checkedAt;
    if (!accepted || !services_.onSamplingQueue) {
      noticePending_ = false;
      return;
    }
    // The mark stays until the receipt is in the history the next take copies; a take already
    // under way still carries the old one and must not notify again.
    services_.onSamplingQueue([reader = reader_, issues, now] { reader->accepted(issues, now); },
                              [this, alive] {
                                if (!alive.expired()) noticePending_ = false;
                              });
  };
  // Another account at the console, no permission or a mute: nothing was sent, and the reading
  // is looked at again at the next tick.
  if (!notifier->notify(noticeID, notice->title, notice->body, notice->urgent, std::move(answered)))
    noticePending_ = false;
}

void SSDSubsystem::present(Screen& screen, const Moment& moment) {
  presentSSDCards(screen, moment);
}

void SSDSubsystem::record(nlohmann::json& record, const Moment& moment) const {
  recordSSD(record, moment);
}

void SSDSubsystem::cardAction(CardSlot slot, const Moment& moment) {
  if (slot != CardSlot::ssdHealth || !services_.showDocument) return;
  const Snapshot empty;
  const Snapshot& snapshot = moment.snapshot ? *moment.snapshot : empty;
  auto history = ssdHistoryText(*snapshot.ssdArchive, snapshot.ssdPersistenceOK, moment.language);
  services_.showDocument(historyWindowID, {std::move(history.title), std::move(history.text)});
}

SSDSources liveSSDSources() {
  return {
      .health = []() -> std::optional<SSDHealth> {
        HLSSDReading reading{};
        if (hl_ssd_health(&reading) == 0) return std::nullopt;
        return SSDHealth::fromReading(reading);
      },
      .temperature = []() -> std::optional<double> {
        double celsius = 0;
        if (hl_ssd_temperature(&celsius) == 0) return std::nullopt;
        return celsius;
      },
  };
}

void SSDSubsystem::metrics(MetricsText& metrics, const Moment& moment) const {
  exportSSD(metrics, moment);
}

}  // namespace hollin
