#include "app/crash/CrashSubsystem.h"

#include "core/tick/Moment.h"

namespace hollin {

CrashSubsystem::CrashSubsystem(Services services, OwnCrashSources sources)
    : services_(std::move(services)), sources_(std::move(sources)) {}

void CrashSubsystem::start() {
  const WallTime now = services_.moment().wallNow;
  receiver_ = std::make_shared<CrashReceiver>(
      sources_,
      services_.dataFolder ? std::optional(*services_.dataFolder + "/" + CrashRecorder::fileName) : std::nullopt, now);
  crashes_ = std::make_shared<std::vector<CrashSummary>>(receiver_->crashes());
  if (!services_.onSamplingQueue) return;
  auto received = std::make_shared<std::vector<CrashSummary>>();
  services_.onSamplingQueue(
      [received, receiver = std::shared_ptr<const CrashReceiver>(receiver_), now] { *received = receiver->receive(now); },
      [this, alive = std::weak_ptr<bool>(alive_), received] {
        if (alive.expired() || received->empty()) return;
        receiver_->add(*received, services_.moment().wallNow);
        crashes_ = std::make_shared<std::vector<CrashSummary>>(receiver_->crashes());
      });
}

void CrashSubsystem::contribute(Moment& moment) { moment.ownCrashes = crashes_; }

}  // namespace hollin
