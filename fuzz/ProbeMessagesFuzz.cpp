// What passes between the application and its probe worker: the requests the worker reads
// (chosen by '0') and the results the application reads back ('1'). Whatever is accepted is
// written back to the same list; a result's name is never longer than its limit.
#include "FuzzTarget.h"
#include "core/TextCut.h"
#include "core/response/ProbeMessages.h"

namespace hollin {
namespace {

int fuzzProbeMessages(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, 2);
  if (!choice) return 0;
  if (choice->parser == 0) {
    const auto requests = decodeProbeRequests(choice->rest);
    if (!requests) return 0;
    fuzz::require(requests->size() <= probeRequestLimit, "at most nine requests are read");
    for (const auto& request : *requests) {
      const auto result = probeResult(request, ProbeOutcome::unavailable);
      fuzz::require(characterCount(result.name) <= probeNameLimit, "a result's name is cut to its limit");
      fuzz::require(request.name.starts_with(result.name), "the cut keeps the name's beginning");
    }
    // Names of stray bytes come back with U+FFFD, so only lists of valid text round-trip exactly.
    const auto again = decodeProbeRequests(encodeProbeRequests(*requests));
    fuzz::require(again.has_value() && again->size() == requests->size(), "requests read are written back");
  } else {
    const auto results = decodeProbeResults(choice->rest);
    if (!results) return 0;
    const auto again = decodeProbeResults(encodeProbeResults(*results));
    fuzz::require(again.has_value() && again->size() == results->size(), "results read are written back");
  }
  return 0;
}

const fuzz::Registration registered("probe", fuzzProbeMessages);

}  // namespace
}  // namespace hollin
