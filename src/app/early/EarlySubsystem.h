// Early warnings: the slow watchers run inside each take, their notices, the health tab and
// their keys of the self-health record.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/early/EarlyWatch.h"
#include "app/tick/Subsystem.h"

namespace hollin {

// The early watch's pass in the take, with the figures the take has read before it. Sampling
// thread only.
class EarlyReader final : public SnapshotReader {
 public:
  EarlyReader(EarlyWatch::Sources sources, std::optional<std::string> historyPath, WriteOutcomeLog::Log log)
      : watch_(std::move(sources), std::move(historyPath), std::move(log)) {}
  void read(Snapshot& snapshot, const TakeMoment& moment) override;
  void accepted(const std::vector<EarlyWarning>& warnings, WallTime now) { watch_.accepted(warnings, now); }

 private:
  EarlyWatch watch_;
};

class EarlySubsystem final : public Subsystem {
 public:
  EarlySubsystem(Services services, EarlyWatch::Sources sources);

  std::shared_ptr<SnapshotReader> reader() override { return reader_; }
  void evaluate(const Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;
  void metrics(MetricsText& metrics, const Moment& moment) const override;

  static constexpr const char* noticePrefix = "early-";

 private:
  Services services_;
  std::shared_ptr<EarlyReader> reader_;
  int pending_ = 0;                        // notices of the last batch not yet settled
  WallTime lastEvaluated_ = distantPast;   // the picture last looked at
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for answers that come late
};

}  // namespace hollin
