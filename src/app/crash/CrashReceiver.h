// Receives the records Linux keeps of Hollin's own crashes and keeps their summaries: the
// journal's core-dump entries of our executable, and the file our own crash handler leaves
// where no core-dump service runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/crash/CrashRecorder.h"
#include "core/crash/CrashLog.h"

namespace hollin {

// Where the records are looked for, and what the running program is.
struct OwnCrashSources {
  std::string root = "/";  // the journal, core_pattern, the boot id and os-release under it
  std::optional<std::string> pendingPath;  // the crash handler's file; absent: none is kept
  std::uint32_t uid = 0;
  std::string executablePath;        // our executable, links resolved; empty: the journal is not asked
  std::string appVersion, build;     // the running program's
  std::string buildID;               // our executable's GNU build-id, lower-case hex; empty: unknown
};

class CrashReceiver {
 public:
  static constexpr const char* pendingFileName = "crash-pending";

  // The recorder on `summaryPath` (absent: the list lives in memory only), read as of `now`.
  CrashReceiver(OwnCrashSources sources, std::optional<std::string> summaryPath, WallTime now);

  // The summaries both records give: the journal's newest CrashLog::maxStored entries of our
  // executable from the last CrashLog::maxAgeDays, and the handler's file, which is removed
  // once read (also when it gave nothing). Touches nothing but the records, so it runs on any
  // thread.
  std::vector<CrashSummary> receive(WallTime now) const;

  // Main thread only.
  void add(const std::vector<CrashSummary>& summaries, WallTime now) { recorder_.add(summaries, now); }
  const std::vector<CrashSummary>& crashes() const { return recorder_.crashes(); }

  // The running program's sources: the layer's host root, the handler's file in `dataFolder`.
  static OwnCrashSources liveSources(const std::optional<std::string>& dataFolder, std::uint32_t uid);

 private:
  OwnCrashSources sources_;
  CrashRecorder recorder_;
};

// Installs the crash handler for this run of the ordinary role, writing into the data folder,
// when no core-dump service takes the system's core dumps into the journal. Not in a sanitizer
// build, whose own handlers report a crash with far more. Returns whether it was installed.
bool installOwnCrashHandler();

}  // namespace hollin
