#include "app/widgets/WidgetsSubsystem.h"

#include <nlohmann/json.hpp>

#include "core/ui/StatusView.h"

namespace hollin {

void WidgetsSubsystem::recordWriting(const Moment& moment, const StatusTexts& shown) {
  publisher_.publish(*moment.snapshot, {moment.now, moment.wallNow, moment.asleep, shownLevel(shown),
                                        moment.cpuFraction, moment.swapChange, moment.language});
}

void WidgetsSubsystem::record(nlohmann::json& record, const Moment&) const {
  record["widgetExportHealthy"] = publisher_.healthy();
}

}  // namespace hollin
