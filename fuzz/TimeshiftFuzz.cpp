// Timeshift: its configuration file (timeshift.json) and the names of the snapshot folders on
// its backup device, both read from the same input (the names one per line).
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "core/early/Timeshift.h"

namespace hollin {
namespace {

int fuzzTimeshift(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::text(data, size);
  Timeshift::parseConfiguration(bytes);
  Timeshift::latestSnapshot(fuzz::lines(bytes), "Europe/Berlin");
  return 0;
}

const fuzz::Registration registered("timeshift", fuzzTimeshift);

}  // namespace
}  // namespace hollin
