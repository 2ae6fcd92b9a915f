#include "app/ssd/SSDHealthRecorder.h"

namespace hollin {

SSDHealthRecorder::SSDHealthRecorder(std::optional<std::string> path, WriteOutcomeLog::Log log)
    : file_(std::move(path), std::move(log)) {
  auto archive = file_.load([](const Json& json) {
    auto archive = archiveFromJson(json);
    return archive && archive->valid() ? archive : std::nullopt;
  });
  if (archive) archive_ = std::move(*archive);
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
