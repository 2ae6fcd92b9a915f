// The widgets' timeline provider: every call reads the summary file anew, and every call first
// checks whether the installed program has been replaced by another build. A replaced build
// ends this process (the new one takes over), so a call then delivers nothing.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/widgets/UsageTimeline.h"

namespace hollin {

struct ProviderEnvironment {
  std::optional<std::filesystem::path> summaryFile;  // absent: no shared folder, always empty
  std::filesystem::path dataFolder;                  // holds the Info.plist of the installed build
  std::optional<std::string> launchedVersion;        // the build this process was started as
  std::function<WallTime()> now;
  // Ends the process in favour of the new build; in tests it only records the call.
  std::function<void()> replaced;
};

class UsageProvider {
 public:
  explicit UsageProvider(ProviderEnvironment environment) : environment_(std::move(environment)) {}

  // Each is absent only after `replaced` was called.
  std::optional<UsageEntry> placeholder() const;
  std::optional<UsageEntry> getSnapshot() const;
  std::optional<UsageTimeline> getTimeline() const;

 private:
  bool wasReplaced() const;

  ProviderEnvironment environment_;
};

}  // namespace hollin
