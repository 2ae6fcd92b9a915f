#include "app/metrics/MetricsExport.h"

#include <unistd.h>

#include "app/platform/AtomicFile.h"
#include "core/metrics/OwnMetrics.h"

namespace hollin {

MetricsExport::MetricsExport(const Settings& settings, std::uint32_t uid, Log log)
    : settings_(settings), fileName_(metricsFileName(uid)), log_(std::move(log)) {}

std::optional<std::string> MetricsExport::folder() {
  std::optional<std::string> folder = settings_.text(metricsTextfileFolderKey);
  if (folder && !folder->starts_with('/')) {
    if (*folder != refused_ && log_)
      log_("the metrics folder \"" + *folder + "\" is not an absolute path; no metrics are written");
    refused_ = *folder;
    folder.reset();
  }
  if (!folder) withdraw();
  return folder;
}

void MetricsExport::write(const std::string& folder, std::string_view text) {
  const std::string path = (folder.ends_with('/') ? folder : folder + "/") + fileName_;
  if (path != path_) {
    withdraw();
    path_ = path;
    outcome_.emplace(path, log_);
  }
  // The collector runs as an account of its own and must be able to read the file.
  const int error = writeFileAtomically(path, text, Durability::replaceOnly, 0644);
  outcome_->report(error);
  written_ = written_ || error == 0;
}

void MetricsExport::withdraw() {
  if (written_) ::unlink(path_.c_str());
  written_ = false;
}

}  // namespace hollin
