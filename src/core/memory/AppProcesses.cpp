#include "core/memory/AppProcesses.h"

#include <algorithm>

namespace hollin {

std::vector<ProcessMemory> combinedProcesses(const Snapshot& snapshot,
                                             const std::vector<PeerReport>& reports,
                                             std::uint32_t currentUID, double now) {
  std::vector<ProcessMemory> processes = snapshot.processes;
  for (const PeerReport& report : reports) {
    if (report.uid == currentUID || !report.hasFreshMemory(now)) continue;
    // This account cannot read another account's footprints; that account's own figures win.
    std::erase_if(processes, [&](const ProcessMemory& p) { return p.uid == report.uid; });
    for (const ReportedMemory& entry : report.memory)
      processes.push_back({entry.identity.pid, report.uid, entry.identity.start, entry.name,
                           entry.footprint, entry.resident});
  }
  return processes;
}

}  // namespace hollin
