// The one owner of the early-watch history: loads it once, takes every change, and writes the
// file whole: at once for what must not be lost (disk points, battery health, backups,
// receipts), at most every ten minutes for the frequent points, and at the end of the run for
// what is still waiting. Used on the sampling thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/HistoryFile.h"
#include "core/early/EarlyWatchArchive.h"

namespace hollin {

class EarlyWatchRecorder {
 public:
  static constexpr const char* fileName = "watch-history.json";
  static constexpr double deferredSaveInterval = 600;  // seconds

  // Loads the history at `path`; see HistoryFile for a file that cannot be used.
  explicit EarlyWatchRecorder(std::optional<std::string> path, WriteOutcomeLog::Log log = {});
  // Writes a change that was waiting for its deferred save.
  ~EarlyWatchRecorder();
  EarlyWatchRecorder(const EarlyWatchRecorder&) = delete;
  EarlyWatchRecorder& operator=(const EarlyWatchRecorder&) = delete;

  // Runs `mutation(archive)`, which returns whether it changed the archive. A change is saved at
  // once, or, when `deferSave`, only if the last save is ten minutes old (or in the future).
  template <class Mutation>
  void update(bool deferSave, WallTime now, Mutation mutation) {
    if (!mutation(archive_)) return;
    publish();
    const double sinceSave = secondsBetween(lastSave_, now);
    if (deferSave && sinceSave >= 0 && sinceSave < deferredSaveInterval) {
      waiting_ = true;
      return;
    }
    save(now);
  }
  // These warnings were told at `now`: their receipts, saved at once.
  void accepted(const std::vector<EarlyWarning>& warnings, WallTime now);

  // The archive as it is now; a new copy only after each change.
  const std::shared_ptr<const EarlyWatchArchive>& archive() const { return shared_; }
  bool persistenceOK() const { return file_.persistenceOK(); }

 private:
  void save(WallTime now);
  void publish() { shared_ = std::make_shared<const EarlyWatchArchive>(archive_); }

  HistoryFile file_;
  EarlyWatchArchive archive_;
  std::shared_ptr<const EarlyWatchArchive> shared_;
  WallTime lastSave_ = distantPast;
  bool waiting_ = false;  // a deferred change is not saved yet
};

}  // namespace hollin
