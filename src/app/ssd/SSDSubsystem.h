// SSD health: the drive's own SMART log read once a minute on the sampling thread and kept in
// its history, the notice when an issue is due, the two SSD cards and the history window.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/ssd/SSDHealthRecorder.h"
#include "app/tick/Subsystem.h"
#include "core/ssd/SSDHealth.h"

namespace hollin {

// Where the readings come from; the live ones are the hl_ layer's.
struct SSDSources {
  std::function<std::optional<SSDHealth>()> health;    // nothing: the log could not be read
  std::function<std::optional<double>()> temperature;  // the drive's own sensor, °C, or nothing
};

// The reads of the take, at most once per slow-read interval, reused in between. Sampling
// thread only.
class SSDReader final : public SnapshotReader {
 public:
  // `historyPath`: where the history is kept; absent: nowhere.
  SSDReader(SSDSources sources, std::optional<std::string> historyPath, WriteOutcomeLog::Log log);
  void read(Snapshot& snapshot, const TakeMoment& moment) override;
  // A notice of these issues was accepted at `date`.
  void accepted(const std::vector<SSDHealthIssue>& issues, WallTime date);

 private:
  SSDHealthRecorder& recorder();

  SSDSources sources_;
  std::optional<std::string> historyPath_;
  WriteOutcomeLog::Log log_;
  std::unique_ptr<SSDHealthRecorder> recorder_;  // made at the first read that needs it
  std::optional<SSDHealth> health_;
  std::optional<double> celsius_;
  std::optional<WallTime> measuredAt_;
  WallTime checkedAt_ = distantPast;
};

class SSDSubsystem final : public Subsystem {
 public:
  SSDSubsystem(Services services, SSDSources sources);

  std::shared_ptr<SnapshotReader> reader() override { return reader_; }
  void evaluate(const Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;
  void metrics(MetricsText& metrics, const Moment& moment) const override;
  void cardAction(CardSlot slot, const Moment& moment) override;

  static constexpr const char* noticeID = "ssd-health";
  static constexpr const char* historyWindowID = "ssd-history";

 private:
  Services services_;
  std::shared_ptr<SSDReader> reader_;
  bool noticePending_ = false;
  WallTime lastNoticeCheck_ = distantPast;                      // the reading last handled
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for answers that come late
};

// The live sources: the hl_ layer.
SSDSources liveSSDSources();

}  // namespace hollin
