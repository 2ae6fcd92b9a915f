// Hollin's own crash records, chosen by the first byte: '0' systemd-coredump's journal text,
// taken all the way to a summary and the feedback lines; '1' the crash handler's file, the same
// way; '2' the summary file, whose readable lists must be kept and read back unchanged.
#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/crash/CrashLog.h"
#include "core/crash/CrashPayload.h"

namespace hollin {
namespace {

const CrashPayload::OwnProgram fuzzOwnProgram{"/usr/bin/hollin", "1.2", "34", "3f1c0c5a1b2d4e6f7a8b9c0d1e2f3a4b5c6d7e8f",
                                              "12 (bookworm)", "c89b46cde8f444f78b35a536de87f488"};
const WallTime fuzzCrashNow = fromReferenceSeconds(737'035'200);  // May 2024

void keepAndShow(const CrashPayload::Payload& payload) {
  const auto summary = CrashPayload::summary(payload, fuzzOwnProgram);
  if (!summary) return;
  fuzz::require(summary->checked() == summary && summary->ownFrames.size() <= CrashLog::maxFrames, "summary valid");
  const auto kept = CrashLog::merged({}, {*summary}, fuzzCrashNow);
  CrashLog::draftLines(kept, "ja", "UTC");
}

int fuzzCrashPayload(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, 3);
  if (!choice) return 0;
  switch (choice->parser) {
    case 0: {
      const native::JournalOwnCoreDump entry{"/usr/bin/hollin", "11", "c89b46cde8f444f78b35a536de87f488",
                                             std::string(choice->rest), 1'715'342'400'000'000};
      keepAndShow(CrashPayload::fromJournal(entry, fuzzOwnProgram));
      break;
    }
    case 1:
      if (auto crash = CrashPayload::parsePendingCrash(choice->rest))
        keepAndShow(CrashPayload::fromPending(*crash, fuzzOwnProgram));
      break;
    case 2: {
      const auto stored = crashSummariesFromJson(Json::parse(choice->rest, nullptr, false));
      if (!stored) break;
      const auto kept = CrashLog::merged(*stored, {}, fuzzCrashNow);
      const std::string written = toJson(kept).dump(-1, ' ', false, Json::error_handler_t::replace);
      fuzz::require(crashSummariesFromJson(Json::parse(written)) == kept, "the kept list reads back");
      CrashLog::draftLines(kept, "en", "Asia/Tokyo");
      break;
    }
  }
  return 0;
}

const fuzz::Registration registered("owncrash", fuzzCrashPayload);

}  // namespace
}  // namespace hollin
