// The accounts of this machine: the sharing switch, the reports held from every account (so
// far this account's own, which the response subsystem's facts fill), the users and settings
// tabs, the coverage and permission lines.
#pragma once

#include <memory>
#include <vector>

#include "app/tick/Subsystem.h"

namespace hollin {

class AccountsSubsystem final : public Subsystem {
 public:
  explicit AccountsSubsystem(Services services);

  void contribute(Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;

 private:
  Services services_;
};

}  // namespace hollin
