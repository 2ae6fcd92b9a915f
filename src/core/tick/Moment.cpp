#include "core/tick/Moment.h"

#include <algorithm>
#include <set>

#include "core/memory/AppProcesses.h"

namespace hollin {

const std::vector<PeerReport>& Moment::peerReports() const {
  static const std::vector<PeerReport> none;
  return reports ? *reports : none;
}

const PeerReport* Moment::report(std::uint32_t wanted) const {
  const auto& held = peerReports();
  const auto found = std::find_if(held.begin(), held.end(), [&](const PeerReport& r) { return r.uid == wanted; });
  return found == held.end() ? nullptr : &*found;
}

const std::vector<ProcessMemory>& Moment::combinedProcesses() const {
  static const std::vector<ProcessMemory> none;
  if (!snapshot) return none;
  // The usual case, no other account's report in use: the snapshot's own list, not a copy.
  const auto& held = peerReports();
  if (std::none_of(held.begin(), held.end(),
                   [&](const PeerReport& r) { return r.uid != uid && r.hasFreshMemory(now); }))
    return snapshot->processes;
  if (!combined_)
    combined_ = std::make_shared<const std::vector<ProcessMemory>>(
        hollin::combinedProcesses(*snapshot, peerReports(), uid, now));
  return *combined_;
}

std::vector<std::uint32_t> Moment::listedUIDs() const {
  std::set<std::uint32_t> uids = scope.allowedUIDs(uid);
  if (snapshot)
    for (auto listed : snapshot->userIDs()) uids.insert(listed);
  return {uids.begin(), uids.end()};
}

}  // namespace hollin
