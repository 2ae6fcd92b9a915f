#include "app/ssd/SSDHealthRecorder.h"

#include <nlohmann/json.hpp>

#include <filesystem>

#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"

namespace hollin {
namespace {

std::optional<SSDHealthArchive> decoded(const std::string& bytes) {
  const Json json = Json::parse(bytes, nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  auto archive = archiveFromJson(json);
  if (!archive || !archive->valid()) return std::nullopt;
  return archive;
}

}  // namespace

SSDHealthRecorder::SSDHealthRecorder(std::optional<std::string> path, WriteOutcomeLog::Log log)
    : path_(std::move(path)), saves_(path_.value_or(""), std::move(log)) {
  if (path_) {
    const StoredFile file = readStoredFile(*path_, maxFileSize);
    if (file.state != StoredFile::State::missing) {
      auto archive = file.state == StoredFile::State::read ? decoded(file.bytes) : std::nullopt;
      if (archive) {
        archive_ = std::move(*archive);
      } else {
        persistenceOK_ = false;
        writable_ = false;
      }
    }
  } else {
    persistenceOK_ = false;  // nowhere to keep it: say so rather than pretend
    writable_ = false;
  }
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

void SSDHealthRecorder::save() {
  if (!writable_ || !path_) return;
  const std::string text = toJson(archive_).dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > maxFileSize) {
    persistenceOK_ = false;
    return;
  }
  int error = createDataFolder(std::filesystem::path(*path_).parent_path());
  if (error == 0) error = writeFileAtomically(*path_, text);
  persistenceOK_ = error == 0;
  saves_.report(error);
}

}  // namespace hollin
