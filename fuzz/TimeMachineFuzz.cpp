// The backup tool's outputs: its destination list (a property list, or the text saying there
// are none) and a snapshot listing, both read from the same input.
#include "FuzzTarget.h"
#include "core/early/TimeMachine.h"

namespace hollin {
namespace {

int fuzzTimeMachine(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::text(data, size);
  if (const auto destinations = TimeMachine::parseDestinations(text))
    for (const auto& folder : destinations->mountPoints)
      fuzz::require(folder.starts_with("/Volumes/"), "only volumes' folders are destinations");
  TimeMachine::latestSnapshot(text, "UTC");
  return 0;
}

const fuzz::Registration registered("timemachine", fuzzTimeMachine);

}  // namespace
}  // namespace hollin
