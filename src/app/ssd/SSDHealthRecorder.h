// The one owner of the SSD history file: loads it once, records every reading and every
// accepted notice, and writes the file whole after each change. Used on the sampling thread
// only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/HistoryFile.h"
#include "core/ssd/SSDHealthArchive.h"

namespace hollin {

class SSDHealthRecorder {
 public:
  static constexpr const char* fileName = "ssd-health-history.json";

  // Loads the history at `path`. A file that is there but cannot be trusted (a symbolic link,
  // not a regular file, over 1 MiB, not an archive, or outside its limits) is left exactly as
  // it is: the run starts empty and never writes over it. Without a path nothing is stored.
  // Failed saves, and the first save that works after them, go to `log`.
  explicit SSDHealthRecorder(std::optional<std::string> path, WriteOutcomeLog::Log log = {});

  // One reading (absent: the read failed) at `date`; saved when it added an event or a point.
  void observe(const std::optional<SSDHealth>& reading, WallTime date);
  // The system accepted a notice of these issues at `date`; saved.
  void accepted(const std::vector<SSDHealthIssue>& issues, WallTime date);

  // The archive as it is now; a new copy only after each change.
  const std::shared_ptr<const SSDHealthArchive>& archive() const { return shared_; }
  // The last load or save worked.
  bool persistenceOK() const { return file_.persistenceOK(); }
  bool writable() const { return file_.writable(); }

 private:
  void save();
  void publish() { shared_ = std::make_shared<const SSDHealthArchive>(archive_); }

  HistoryFile file_;
  SSDHealthArchive archive_;
  std::shared_ptr<const SSDHealthArchive> shared_;
};

}  // namespace hollin
