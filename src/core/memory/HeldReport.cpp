#include "core/memory/HeldReport.h"

#include <array>
#include <utility>

namespace hollin {
namespace {

constexpr std::array<std::pair<ProbeOutcome, std::string_view>, 3> outcomeNames{{
    {ProbeOutcome::responsive, "responsive"},
    {ProbeOutcome::failed, "failed"},
    {ProbeOutcome::unavailable, "unavailable"},
}};

}  // namespace

std::string_view rawValue(ProbeOutcome outcome) {
  for (const auto& [value, name] : outcomeNames)
    if (value == outcome) return name;
  return {};
}

std::optional<ProbeOutcome> probeOutcomeFromRawValue(std::string_view raw) {
  for (const auto& [value, name] : outcomeNames)
    if (name == raw) return value;
  return std::nullopt;
}

bool AppResponse::suspected() const {
  return outcome == ProbeOutcome::failed && failures >= suspectedFailureCount &&
         checkedAt - firstFailure.value_or(checkedAt) >= suspectedFailureSpan;
}

bool PeerReport::hasFreshMemory(double now) const {
  const double age = now - memoryCheckedAt;
  // Written so that a NaN age is not fresh.
  return memoryComplete && age >= -freshMemoryLead && age <= staleAfter;
}

}  // namespace hollin
