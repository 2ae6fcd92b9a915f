#include "app/ssd/SSDHealthRecorder.h"

namespace hollin {

SSDHealthRecorder::SSDHealthRecorder(std::optional<std::string> path, WriteOutcomeLog::Log log)
    : file_(std::move(path), std::move(log)) {
  if (auto archive = file_.load(archiveFromJson)) archive_ = std::move(*archive);
  publish();
}

void SSDHealthRecorder::observe(const std::optional<SSDHealth>& reading, WallTime date) {
  const bool changed = archive_.observe(reading, date);
  publish();
  if (changed) save();
}

void SSDHealthRecorder::accepted(const std::vector<SSDHealthIssue>& issues, WallTime date) {
  archive_.accepted(issues, date);
  publish();
  save();
}

void SSDHealthRecorder::save() { file_.save(toJson(archive_), archive_.valid()); }

}  // namespace hollin
