// Timeshift: its configuration file (timeshift.json) and the names of the snapshot folders on
// its backup device, both read from the same input (the names one per line).
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "core/early/Timeshift.h"

namespace hollin {
namespace {

std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> all;
  while (!text.empty()) {
    const auto end = text.find('\n');
    all.emplace_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return all;
}

int fuzzTimeshift(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::text(data, size);
  Timeshift::parseConfiguration(bytes);
  Timeshift::latestSnapshot(lines(bytes), "Europe/Berlin");
  return 0;
}

const fuzz::Registration registered("timeshift", fuzzTimeshift);

}  // namespace
}  // namespace hollin
