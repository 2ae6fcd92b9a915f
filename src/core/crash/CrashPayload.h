// The two records Linux leaves of a crash of Hollin itself, turned into CrashLog's fields and
// call stack so that both take the one summary path: systemd-coredump's journal entry, and the
// file Hollin's own crash handler writes where no core-dump service runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/WallTime.h"
#include "core/crash/CrashLog.h"
#include "native/Crashes.h"

namespace hollin::CrashPayload {

// One frame of a stack systemd-coredump wrote: the module as it names it (a file name or a
// path) and the offset of the frame's address from the module's start.
struct CoreDumpFrame {
  std::string module;
  std::uint64_t offset = 0;
  bool operator==(const CoreDumpFrame&) const = default;
};

struct CoreDumpStack {
  std::vector<std::pair<std::string, std::string>> buildIDs;  // module → build-id, lower-case hex
  std::vector<CoreDumpFrame> frames;  // the crashed thread's, top first, at most maxFrameSteps
  bool operator==(const CoreDumpStack&) const = default;
};

// systemd-coredump's MESSAGE: "Module <name> with build-id <hex>" lines and, per thread,
// "Stack trace of thread <tid>:" followed by "#<n>  0x<pc> <symbol|n/a> (<module> + 0x<offset>)"
// lines; the first thread listed is the crashed one. Nothing when the text is over
// CrashLog::maxStackBytes or lists no thread.
std::optional<CoreDumpStack> parseCoreDumpMessage(std::string_view message);

// The file the crash handler leaves (its lines are described in native/CrashHandler.h).
struct PendingCrash {
  std::string appVersion, build, osVersion;  // of the program that crashed
  std::string buildID;                       // its executable's, lower-case hex; empty: none
  std::int64_t signal = 0;
  WallTime date{};
  bool stackRead = false;
  std::vector<std::uint64_t> offsets;  // return addresses inside the executable, top first
  bool operator==(const PendingCrash&) const = default;
};

// Strict: every line in its place, every value within its form, nothing after the end mark
// (a file cut short by the crash has none). At most pendingMaxBytes.
inline constexpr std::size_t pendingMaxBytes = 4096;
std::optional<PendingCrash> parsePendingCrash(std::string_view text);

// What the running program knows of itself, to judge a record of a crash.
struct OwnProgram {
  std::string executablePath;  // its executable, links resolved
  std::string appVersion, build;
  std::string buildID;    // its executable's GNU build-id, lower-case hex; empty: unknown
  std::string osVersion;  // the running system's, as osVersionText gives it
  std::string bootID;     // this boot's, as bootIDText gives it; empty: unknown
  // The executable's file name: the program's identity and the frames' binary name.
  std::string executableName() const;
};

// The fields and call-stack JSON of CrashLog::summary.
struct Payload {
  CrashLog::Fields fields;
  std::optional<std::string> callStackJSON;
};

// A journal entry: our own only when it names our executable; the running program's version
// only when the entry's executable has our build-id, the running system's OS version only when
// the entry comes from this boot.
Payload fromJournal(const native::JournalOwnCoreDump& entry, const OwnProgram& own);
// The handler's file: everything as the crashed program wrote it.
Payload fromPending(const PendingCrash& crash, const OwnProgram& own);

// CrashLog::summary with our executable as the identity of the program and of its frames.
std::optional<CrashSummary> summary(const Payload& payload, const OwnProgram& own);

// os-release: VERSION_ID + " (" + VERSION_CODENAME (else BUILD_ID) + ")", e.g. "12 (bookworm)";
// "?" when that is not the form of an OS version.
std::string osVersionText(std::string_view osRelease);

// Whether kernel.core_pattern hands core dumps to systemd-coredump, which writes them into the
// journal.
bool pipesToSystemdCoredump(std::string_view corePattern);

// A boot id as the kernel ("c89b46cd-e8f4-…") or the journal ("c89b46cde8f4…") writes it: 32
// lower-case hex digits, or empty when it is not one.
std::string bootIDText(std::string_view text);

}  // namespace hollin::CrashPayload
