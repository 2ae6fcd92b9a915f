// Short summaries of Hollin's own crashes: what is kept of one (versions, signal, and only the
// code offsets inside Hollin's own executable), how a record of a crash becomes a summary, the
// list kept on disk and the lines a feedback report carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Json.h"
#include "core/WallTime.h"

namespace hollin {

// One crash as it is kept. Stored as a JSON object whose keys are the field names, in this
// order; the optional members are left out when absent.
struct CrashSummary {
  WallTime date{};             // when it crashed; whole microseconds, stored as seconds since 2001
  std::string appVersion = "?";  // the crashed program's version, or "?"
  std::string build = "?";       // its build, or "?"
  std::string osVersion = "?";   // "<version> (<build or code name>)", or "?"
  std::optional<std::int64_t> signal, exceptionType, exceptionCode;
  std::vector<std::string> ownFrames;  // "0x" + lower-case hex offsets into our executable, ≤ 8
  std::optional<std::string> binaryID;  // the executable's ID, first 8 characters upper-cased
  bool stackRead = false;               // a call stack was there and was understood
  bool operator==(const CrashSummary&) const = default;

  // The summary itself when every field is within its rules, else nothing.
  std::optional<CrashSummary> checked() const;
};

Json toJson(const CrashSummary& summary);
// One stored summary: every member there with its type (optional ones may be missing or null);
// the values themselves are judged by `checked`.
std::optional<CrashSummary> crashSummaryFromJson(const Json& json);
// The summary file: an array of summaries, unreadable as a whole when one of them is.
Json toJson(const std::vector<CrashSummary>& summaries);
std::optional<std::vector<CrashSummary>> crashSummariesFromJson(const Json& json);

namespace CrashLog {

inline constexpr std::size_t maxFrames = 8;               // own frames kept per crash
inline constexpr std::size_t maxStored = 3;               // summaries kept
inline constexpr int maxAgeDays = 60;                     // older summaries are forgotten
inline constexpr std::size_t maxFileBytes = 65'536;       // the summary file, read and written
inline constexpr std::size_t maxStackBytes = 4'194'304;   // a call stack accepted for parsing
inline constexpr double maxAgeSeconds = maxAgeDays * 86'400.0;
inline constexpr std::size_t maxFrameSteps = 512;         // frames walked down one stack

// Whether text has the form of a kept OS version ("12 (bookworm)").
bool isOSVersionText(std::string_view text);

// The raw fields of one record of a crash; not stored.
struct Fields {
  WallTime date{};
  std::optional<std::string> bundleIdentifier, appVersion, build, osVersion;
  std::optional<std::int64_t> signal, exceptionType, exceptionCode;
  bool operator==(const Fields&) const = default;
};

// The summary of one record: nothing when the record is another program's
// (`fields.bundleIdentifier` is not `bundleIdentifier`). The call stack is a JSON object of at
// most maxStackBytes:
// {"callStacks":[{"threadAttributed":true,"callStackRootFrames":[{"binaryName":…,
//   "binaryUUID":…,"offsetIntoBinaryTextSegment":…,"subFrames":[{next frame}]}]}]}
std::optional<CrashSummary> summary(const Fields& fields, const std::optional<std::string>& callStackJSON,
                                    std::string_view bundleIdentifier, std::string_view executableName);

// The offsets of the crashed thread's frames inside `executableName`, top first, at most
// maxFrames, and the executable's shortened ID from the first of them that carries one.
std::pair<std::vector<std::string>, std::optional<std::string>> ownFrames(const Json& callStack,
                                                                          std::string_view executableName);

// `existing` then `adding`, without invalid summaries, those older than maxAgeDays before now
// and repeats; newest first, at most maxStored.
std::vector<CrashSummary> merged(const std::vector<CrashSummary>& existing, const std::vector<CrashSummary>& adding,
                                 WallTime now);

// The feedback report's lines: one per summary, newest first, or one saying there are none.
// Dates are shown in timeZone (an IANA identifier; empty: the machine's own).
std::vector<std::string> draftLines(const std::vector<CrashSummary>& crashes, std::string_view language,
                                    std::string_view timeZone = {});

}  // namespace CrashLog
}  // namespace hollin
