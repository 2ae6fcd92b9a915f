#include "app/widgets/WidgetPublisher.h"

#include <nlohmann/json.hpp>

#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"

namespace hollin {

void WidgetPublisher::publish(const Snapshot& snapshot, const WidgetSummaryInputs& inputs) {
  const double now = inputs.now;
  if (now - lastWrite_ < writeInterval) return;
  lastWrite_ = now;
  if (!folder_) {
    healthy_ = false;
    return;
  }
  const WidgetSnapshot summary = widgetSummary(snapshot, inputs);
  // The folder is made once; a write that finds it gone makes it again on the next try.
  const std::string& folder = *folder_;
  int error = folderReady_ ? 0 : createDataFolder(folder);
  if (error == 0)
    error = writeFileAtomically(folder + "/" + std::string(WidgetSnapshot::fileName), encodeWidgetSnapshot(summary),
                                Durability::replaceOnly);
  folderReady_ = healthy_ = error == 0;
  if (!healthy_ || !reloadDue(now, summary.level)) return;
  const nlohmann::json request = {{"requestedAt", referenceSeconds(inputs.wallNow)}};
  if (writeFileAtomically(folder + "/" + std::string(WidgetSnapshot::reloadFileName), request.dump(),
                          Durability::replaceOnly) != 0)
    return;  // not asked: the next write asks again
  lastReload_ = now;
  lastLevel_ = summary.level;
  ++reloadsSinceLaunch_;
}

bool WidgetPublisher::reloadDue(double now, const std::string& level) const {
  return reloadsSinceLaunch_ < 2 || !lastLevel_ || *lastLevel_ != level || now - lastReload_ >= reloadInterval;
}

}  // namespace hollin
