// The one owner of the own-crash summary file: reads it once, adds new summaries and writes the
// list whole when it changed. Main thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/crash/CrashLog.h"

namespace hollin {

class CrashRecorder {
 public:
  static constexpr const char* fileName = "crash-summaries.json";

  // Reads the list at `path` as it stands `now`. A file that is a symbolic link, not a regular
  // file, over CrashLog::maxFileBytes or not a list of summaries gives an empty list; nothing is
  // written here. Without a path the list lives in memory only.
  CrashRecorder(std::optional<std::string> path, WallTime now);

  // Merges `added` in. When the list changed it is written whole (the folder made 0700, the
  // file 0600, replaced atomically) unless the file is a symbolic link or the list would exceed
  // the size limit. Failures are silent: the list in memory stays.
  void add(const std::vector<CrashSummary>& added, WallTime now);

  // Newest first, at most CrashLog::maxStored.
  const std::vector<CrashSummary>& crashes() const { return crashes_; }

 private:
  std::optional<std::string> path_;
  std::vector<CrashSummary> crashes_;
};

}  // namespace hollin
