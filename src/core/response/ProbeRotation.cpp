#include "core/response/ProbeRotation.h"

#include <algorithm>
#include <unordered_map>

#include "core/TextCut.h"

namespace hollin {

std::vector<ProbeRequest> ProbeRotation::next(const Workspace& workspace, const Snapshot& snapshot,
                                              std::uint32_t uid, std::int32_t selfPid, WallTime now,
                                              const std::string& unnamed) {
  std::unordered_map<std::int32_t, std::uint64_t> own;
  for (const auto& process : snapshot.processes)
    if (process.uid == uid) own.emplace(process.pid, process.start);

  // An application starts with its process, whose start is the launch date.
  const auto launchedLongAgo = [seconds = unixSeconds(now)](std::uint64_t start) {
    return seconds - static_cast<double>(start) / 1e6 >= probeLaunchGrace;
  };
  std::vector<const RunningApplication*> candidates;
  for (const auto& application : workspace.applications) {
    const auto found = own.find(application.pid);
    if (application.pid != selfPid && found != own.end() && launchedLongAgo(found->second))
      candidates.push_back(&application);
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](auto* a, auto* b) { return a->pid < b->pid; });

  std::vector<const RunningApplication*> chosen, others;
  for (const auto* application : candidates)
    (workspace.frontmost == application->pid ? chosen : others).push_back(application);
  if (!others.empty()) {
    const int n = static_cast<int>(others.size());
    for (int i = 0; i < std::min(n, probeTurnSize); ++i) chosen.push_back(others[(rotation_ + i) % n]);
    rotation_ = (rotation_ + probeTurnSize) % n;
  }

  std::vector<ProbeRequest> requests;
  requests.reserve(chosen.size());
  // Names are cut here already, so the worker's input stays far below its limit.
  for (const auto* application : chosen)
    requests.push_back({{application->pid, own.at(application->pid)},
                        firstCharacters(application->name.empty() ? unnamed : application->name, probeNameLimit)});
  return requests;
}

}  // namespace hollin
