// The running verdict for each probed application: consecutive failures, and whether they make
// it suspected of having stopped responding.
#pragma once

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/response/ProbeMessages.h"

namespace hollin {

// Observations further apart than this (seconds) start a new run; verdicts older than it go.
inline constexpr double responseRunWindow = 30.0;

class ResponsePolicy {
 public:
  // Records one result observed at uptime `now`; true when this observation made the
  // application suspected.
  bool observe(const ProbeResult& result, double now);
  // Keeps the verdicts of processes still in `living` checked at most responseRunWindow ago.
  void prune(const std::unordered_set<AppIdentity>& living, double now);
  void reset() { apps_.clear(); }

  const std::unordered_map<AppIdentity, AppResponse>& apps() const { return apps_; }
  // Every verdict, by pid ascending.
  std::vector<AppResponse> verdicts() const;

 private:
  std::unordered_map<AppIdentity, AppResponse> apps_;
};

}  // namespace hollin
