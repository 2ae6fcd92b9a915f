#include "app/crash/CrashReceiver.h"

#include <unistd.h>

#include <chrono>

#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"
#include "app/platform/InstalledData.h"
#include "core/BuildProfile.h"
#include "core/crash/CrashPayload.h"
#include "native/CrashHandler.h"
#include "native/Crashes.h"
#include "native/HostRoot.h"

namespace hollin {

CrashReceiver::CrashReceiver(OwnCrashSources sources, std::optional<std::string> summaryPath, WallTime now)
    : sources_(std::move(sources)), recorder_(std::move(summaryPath), now) {}

std::vector<CrashSummary> CrashReceiver::receive(WallTime now) const {
  const CrashPayload::OwnProgram own{
      .executablePath = sources_.executablePath,
      .appVersion = sources_.appVersion,
      .build = sources_.build,
      .buildID = sources_.buildID,
      .osVersion = CrashPayload::osVersionText(native::readOSRelease(sources_.root).value_or("")),
      .bootID = CrashPayload::bootIDText(native::readBootID(sources_.root).value_or("")),
  };
  std::vector<CrashSummary> summaries;
  const auto keep = [&](const CrashPayload::Payload& payload) {
    if (auto summary = CrashPayload::summary(payload, own)) summaries.push_back(std::move(*summary));
  };
  if (!own.executablePath.empty()) {
    const WallTime since = addingSeconds(now, -CrashLog::maxAgeSeconds);
    const auto sinceMicroseconds = std::chrono::floor<std::chrono::microseconds>(since).time_since_epoch().count();
    const auto entries = native::readOwnCoreDumps(sources_.root, sources_.uid, own.executablePath,
                                                  static_cast<std::uint64_t>(std::max<std::int64_t>(sinceMicroseconds, 0)),
                                                  CrashLog::maxStored, CrashLog::maxStackBytes);
    for (const auto& entry : entries.value_or(std::vector<native::JournalOwnCoreDump>{}))
      keep(CrashPayload::fromJournal(entry, own));
  }
  if (sources_.pendingPath) {
    const StoredFile file = readStoredFile(*sources_.pendingPath, CrashPayload::pendingMaxBytes);
    if (file.state == StoredFile::State::read)
      if (auto crash = CrashPayload::parsePendingCrash(file.bytes)) keep(CrashPayload::fromPending(*crash, own));
    // Read once: whatever is there, a crash's file or something that is none, goes.
    if (file.state != StoredFile::State::missing) ::unlink(sources_.pendingPath->c_str());
  }
  return summaries;
}

OwnCrashSources CrashReceiver::liveSources(const std::optional<std::string>& dataFolder, std::uint32_t uid) {
  const auto image = native::ownExecutableImage();
  return {
      .root = native::hostRoot(),
      .pendingPath = dataFolder ? std::optional(*dataFolder + "/" + pendingFileName) : std::nullopt,
      .uid = uid,
      .executablePath = runningExecutable(),
      .appVersion = std::string(buildProfile.shortVersion),
      .build = std::string(buildProfile.buildNumber),
      .buildID = image ? image->buildID : std::string(),
  };
}

bool installOwnCrashHandler() {
#if defined(__SANITIZE_ADDRESS__)
  return false;
#else
  const std::string& root = native::hostRoot();
  if (CrashPayload::pipesToSystemdCoredump(native::readCorePattern(root).value_or(""))) return false;
  const auto folder = ensureDataFolder();
  if (!folder) return false;
  return native::installCrashHandler({
      .pendingPath = *folder + "/" + CrashReceiver::pendingFileName,
      .version = std::string(buildProfile.shortVersion),
      .build = std::string(buildProfile.buildNumber),
      .osVersion = CrashPayload::osVersionText(native::readOSRelease(root).value_or("")),
  });
#endif
}

}  // namespace hollin
