#include "app/early/EarlyWatch.h"

#include <unistd.h>

#include <chrono>

#include "native/Crashes.h"

namespace hollin {

std::optional<std::vector<CrashRecord>> EarlyWatch::readCrashes() {
  const auto since = std::chrono::system_clock::now() - CrashReports::sourceLookBack;
  const auto sinceMicroseconds =
      std::chrono::duration_cast<std::chrono::microseconds>(since.time_since_epoch()).count();
  const std::uint32_t uid = ::getuid();
  return CrashReports::fromSources(
      native::readCrashSources(uid, static_cast<std::uint64_t>(sinceMicroseconds)), uid);
}

}  // namespace hollin
