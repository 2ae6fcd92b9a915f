// The notification state on the seam: refreshed at every tick, offered to the others as a fact,
// reported in the self-health record, and a word in the log whenever notices become withheld.
#pragma once

#include <optional>
#include <string>

#include "app/tick/Subsystem.h"

namespace hollin {

class NotificationsSubsystem final : public Subsystem {
 public:
  explicit NotificationsSubsystem(Services services);

  void start() override;
  void tickStarting(const Moment& moment) override;
  void evaluate(const Moment& moment) override;
  void contribute(Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;

 private:
  Services services_;
  std::optional<std::string> withheld_;  // the reason last logged
};

}  // namespace hollin
