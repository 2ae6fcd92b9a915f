// The accounts of this machine: the sharing switch, the reports held from every account, the
// users and settings tabs, the coverage and permission lines.
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
  // This account's own report first, then the others'; none are exchanged yet.
  std::shared_ptr<const std::vector<PeerReport>> reports_;
};

}  // namespace hollin
