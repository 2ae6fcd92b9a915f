#include "core/response/ResponsePolicy.h"

#include <algorithm>

namespace hollin {

bool ResponsePolicy::observe(const ProbeResult& result, double now) {
  const auto found = apps_.find(result.identity);
  const AppResponse* previous = found == apps_.end() ? nullptr : &found->second;
  const bool continues = previous && previous->checkedAt < now && now - previous->checkedAt <= responseRunWindow;
  const bool wasSuspected = previous && previous->suspected();

  AppResponse next{result.identity, result.name, result.outcome, now, std::nullopt, 0};
  if (result.outcome == ProbeOutcome::failed) {
    next.failures = continues ? previous->failures + 1 : 1;
    next.firstFailure = continues ? previous->firstFailure.value_or(now) : now;
  }
  const bool suspected = next.suspected();
  apps_.insert_or_assign(result.identity, std::move(next));
  return suspected && !wasSuspected;
}

void ResponsePolicy::prune(const std::unordered_set<AppIdentity>& living, double now) {
  std::erase_if(apps_, [&](const auto& entry) {
    return !living.contains(entry.first) || !(now - entry.second.checkedAt <= responseRunWindow);
  });
}

std::vector<AppResponse> ResponsePolicy::verdicts() const {
  std::vector<AppResponse> verdicts;
  verdicts.reserve(apps_.size());
  for (const auto& [identity, verdict] : apps_) verdicts.push_back(verdict);
  // The map has no order of its own; the start breaks ties between a pid's two lives.
  std::sort(verdicts.begin(), verdicts.end(), [](const AppResponse& a, const AppResponse& b) {
    return std::pair(a.identity.pid, a.identity.start) < std::pair(b.identity.pid, b.identity.start);
  });
  return verdicts;
}

}  // namespace hollin
