// Own crash summaries: at start the records of earlier crashes are read on the sampling thread
// and their summaries kept; the list is there for the feedback report.
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

  // The kept summaries, newest first; empty before start. Main thread only.
  const std::vector<CrashSummary>& crashes() const;

 private:
  Services services_;
  OwnCrashSources sources_;
  std::shared_ptr<CrashReceiver> receiver_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the answer that comes late
};

}  // namespace hollin
