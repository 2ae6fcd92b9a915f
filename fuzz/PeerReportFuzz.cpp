// Another account's report file, as the reader decodes it. Whatever decodes must be written back
// to the same report, and the builder must turn its contents into a report that fits a report
// file, with names cut to their limit, and that stays valid when the decoded one was.
#include "FuzzTarget.h"
#include "core/TextCut.h"
#include "core/sharing/PeerReportJson.h"

namespace hollin {
namespace {

int fuzzPeerReport(const std::uint8_t* data, std::size_t size) {
  const auto report = decodePeerReport(fuzz::text(data, size));
  if (!report) return 0;
  const bool valid = report->isValid(report->uid, report->uptime);
  fuzz::require(decodePeerReport(encodePeerReport(*report)) == report,
                "a report read is written back unchanged");

  const PeerReport built = PeerReport::make(
      report->uid, report->uptime, report->trusted, report->workerHealthy, report->apps,
      report->memory, report->memoryCheckedAt, report->memoryComplete, report->monitorStatus);
  fuzz::require(encodePeerReport(built).size() <= reportSizeLimit,
                "a built report fits a report file");
  for (const auto& app : built.apps)
    fuzz::require(characterCount(app.name) <= maxReportedNameLength,
                  "an app's name is cut to its limit");
  for (const auto& process : built.memory)
    fuzz::require(characterCount(process.name) <= maxReportedNameLength,
                  "a process's name is cut to its limit");
  fuzz::require(!valid || built.isValid(report->uid, report->uptime),
                "building keeps a valid report valid");
  return 0;
}

const fuzz::Registration registered("peerreport", fuzzPeerReport);

}  // namespace
}  // namespace hollin
