// Crash records, chosen by the first byte: '0' a diagnostic report's file name, '1'
// systemd-coredump's dump name, '2' apport's report name, '3' whole sources: every four lines
// one journal entry (command, executable, timestamp, pid), every line also a dump and a report
// name, all merged, tallied and shown as the health table's rows.
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "core/early/CrashReports.h"

namespace hollin {
namespace {

constexpr std::uint32_t user = 1000;

native::CrashSources sources(const std::vector<std::string>& names) {
  native::CrashSources sources;
  sources.journal.emplace();
  sources.coreDumps.emplace();
  sources.apport.emplace();
  for (std::size_t i = 0; i + 3 < names.size(); i += 4) {
    native::JournalCoreDump entry{names[i], names[i + 1], names[i + 2], names[i + 3]};
    entry.realtime = 1'714'550'400'000'000 + i;  // May 2024, µs
    sources.journal->push_back(entry);
  }
  for (const auto& name : names) {
    sources.coreDumps->push_back({name, 0});
    sources.apport->push_back({name, 1'714'550'400'000'000});
  }
  return sources;
}

void mergeAndShow(std::string_view text) {
  const auto records = CrashReports::fromSources(sources(fuzz::lines(text)), user);
  if (!records) return;
  const WallTime now = fromReferenceSeconds(736'300'000);  // May 2024
  CrashReports::tally(*records, now, 7);
  const auto warnings = EarlyWarnings::crashes(*records, now, "en");
  CrashReports::rows(records, warnings, now, "ja", "UTC");
}

int fuzzCrashNames(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, 4);
  if (!choice) return 0;
  switch (choice->parser) {
    case 0: CrashReports::parse(choice->rest, "UTC"); break;
    case 1: CrashReports::parseCoreDumpName(choice->rest); break;
    case 2: CrashReports::parseApportName(choice->rest); break;
    case 3: mergeAndShow(choice->rest); break;
  }
  return 0;
}

const fuzz::Registration registered("crash", fuzzCrashNames);

}  // namespace
}  // namespace hollin
