#include "app/crash/CrashRecorder.h"

#include <sys/stat.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"

namespace hollin {

CrashRecorder::CrashRecorder(std::optional<std::string> path, WallTime now) : path_(std::move(path)) {
  if (!path_) return;
  const StoredFile file = readStoredFile(*path_, CrashLog::maxFileBytes);
  if (file.state != StoredFile::State::read) return;
  const Json json = Json::parse(file.bytes, nullptr, false);
  if (auto stored = crashSummariesFromJson(json)) crashes_ = CrashLog::merged(*stored, {}, now);
}

void CrashRecorder::add(const std::vector<CrashSummary>& added, WallTime now) {
  auto crashes = CrashLog::merged(crashes_, added, now);
  if (crashes == crashes_) return;
  crashes_ = std::move(crashes);
  struct stat status {};
  if (!path_ || (::lstat(path_->c_str(), &status) == 0 && S_ISLNK(status.st_mode))) return;
  const std::string text = toJson(crashes_).dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > CrashLog::maxFileBytes ||
      createDataFolder(std::filesystem::path(*path_).parent_path().string()) != 0)
    return;
  // The temporary file is made 0600 and renamed into place.
  writeFileAtomically(*path_, text);
}

}  // namespace hollin
