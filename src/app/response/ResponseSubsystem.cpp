#include "app/response/ResponseSubsystem.h"

#include <nlohmann/json.hpp>

#include "core/response/ResponseView.h"

namespace hollin {

void ResponseSubsystem::contribute(Moment& moment) {
  moment.accessibilityTrusted = false;
  moment.workerHealthy = true;
}

void ResponseSubsystem::present(Screen& screen, const Moment& moment) { presentResponseTable(screen, moment); }

void ResponseSubsystem::record(nlohmann::json& record, const Moment& moment) const {
  record["accessibilityGranted"] = moment.accessibilityTrusted;
}

}  // namespace hollin
