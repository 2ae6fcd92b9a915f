#include "app/platform/HistoryFile.h"

#include <cerrno>
#include <filesystem>

#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"

namespace hollin {

HistoryFile::HistoryFile(std::optional<std::string> path, WriteOutcomeLog::Log log)
    : path_(std::move(path)), saves_(path_.value_or(""), std::move(log)) {
  if (!path_) refuse();
}

std::optional<std::string> HistoryFile::read() {
  if (!path_) return std::nullopt;
  StoredFile file = readStoredFile(*path_, maxFileSize);
  if (file.state == StoredFile::State::read) return std::move(file.bytes);
  if (file.state == StoredFile::State::untrusted) refuse();
  return std::nullopt;
}

bool HistoryFile::save(const Json& content, bool valid) {
  if (!writable_ || !path_) return false;
  const std::string text = content.dump(-1, ' ', false, Json::error_handler_t::replace);
  int error = 0;
  if (!valid || text.size() > maxFileSize) error = EINVAL;
  if (error == 0) error = createDataFolder(std::filesystem::path(*path_).parent_path());
  if (error == 0) error = writeFileAtomically(*path_, text);
  persistenceOK_ = error == 0;
  saves_.report(error);
  return persistenceOK_;
}

}  // namespace hollin
