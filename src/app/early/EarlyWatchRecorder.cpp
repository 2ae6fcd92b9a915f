#include "app/early/EarlyWatchRecorder.h"

#include <chrono>

namespace hollin {

EarlyWatchRecorder::EarlyWatchRecorder(std::optional<std::string> path, WriteOutcomeLog::Log log)
    : file_(std::move(path), std::move(log)) {
  if (auto archive = file_.load(earlyArchiveFromJson)) archive_ = std::move(*archive);
  publish();
}

EarlyWatchRecorder::~EarlyWatchRecorder() {
  if (waiting_) save(std::chrono::system_clock::now());
}

void EarlyWatchRecorder::accepted(const std::vector<EarlyWarning>& warnings, WallTime now) {
  archive_.accepted(warnings, now);
  publish();
  save(now);
}

void EarlyWatchRecorder::save(WallTime now) {
  if (!file_.save(toJson(archive_), archive_.valid())) return;
  lastSave_ = now;
  waiting_ = false;
}

}  // namespace hollin
