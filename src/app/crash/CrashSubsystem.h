// Own crash summaries: at start the records of earlier crashes are read on the sampling thread
// and their summaries kept; the list is a fact of every moment, for the feedback report.
#pragma once

#include <memory>
#include <vector>

#include "app/crash/CrashReceiver.h"
#include "app/tick/Subsystem.h"

namespace hollin {

class CrashSubsystem final : public Subsystem {
 public:
  CrashSubsystem(Services services, OwnCrashSources sources);

  void start() override;
  void contribute(Moment& moment) override;

 private:
  Services services_;
  OwnCrashSources sources_;
  std::shared_ptr<CrashReceiver> receiver_;
  std::shared_ptr<const std::vector<CrashSummary>> crashes_ = std::make_shared<std::vector<CrashSummary>>();
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the answer that comes late
};

}  // namespace hollin
