#include "core/sharing/OwnReport.h"

#include <algorithm>

#include "core/scope/AccountsView.h"

namespace hollin {

PeerReport ownReport(const Moment& moment, const OwnSetup& setup) {
  std::vector<ReportedMemory> memory;
  double checkedAt = 0;
  bool complete = false;
  if (const Snapshot* snapshot = moment.snapshot.get()) {
    for (const ProcessMemory& process : snapshot->processes)
      if (process.uid == moment.uid)
        memory.push_back({{process.pid, process.start}, process.name, process.footprint, process.resident});
    checkedAt = snapshot->uptime;
    complete = snapshot->enumerationError == 0;
  }
  std::vector<AppResponse> apps = moment.responses ? *moment.responses : std::vector<AppResponse>{};
  std::stable_sort(apps.begin(), apps.end(),
                   [](const AppResponse& a, const AppResponse& b) { return a.identity.pid < b.identity.pid; });

  MonitorStatus status;
  status.version = setup.version.empty() ? "0" : std::string(setup.version);
  status.loginEnabled = setup.loginEnabled;
  status.sharingEnabled = moment.sharing;
  status.receivedUIDs = receivedUIDs(moment);

  return PeerReport::make(moment.uid, moment.now, moment.accessibilityTrusted, moment.workerHealthy, std::move(apps),
                          std::move(memory), checkedAt, complete, std::move(status));
}

}  // namespace hollin
