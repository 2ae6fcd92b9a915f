// Responsiveness: whether this account may probe applications, and the response tab. The probe
// worker itself is not built yet, so this account reports no permission and no verdicts.
#pragma once

#include "app/tick/Subsystem.h"

namespace hollin {

class ResponseSubsystem final : public Subsystem {
 public:
  void contribute(Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;
};

}  // namespace hollin
