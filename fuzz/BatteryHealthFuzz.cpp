// Battery health from the system profiler's power report (JSON), and the condition text as the
// health table shows it.
#include <algorithm>
#include <string_view>

#include "FuzzTarget.h"
#include "core/early/BatteryHealth.h"

namespace hollin {
namespace {

// UTF-8 characters of a text, and whether its last one is whole.
std::size_t characters(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}
bool endsWithWholeCharacter(std::string_view text) {
  std::size_t tail = 0;  // continuation bytes at the end
  while (tail < text.size() && (static_cast<unsigned char>(text[text.size() - 1 - tail]) & 0xC0) == 0x80) ++tail;
  if (tail == text.size()) return tail == 0;
  const auto lead = static_cast<unsigned char>(text[text.size() - 1 - tail]);
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  return length == tail + 1;
}

int fuzzBatteryHealth(const std::uint8_t* data, std::size_t size) {
  const auto health = BatteryHealth::parseSystemProfiler(fuzz::text(data, size));
  if (!health) return 0;
  fuzz::require(!health->maximumCapacity || (*health->maximumCapacity >= 1 && *health->maximumCapacity <= 150),
                "the maximum capacity is 1…150 %");
  fuzz::require(!health->cycleCount || (*health->cycleCount >= 0 && *health->cycleCount <= 100000),
                "the cycle count is 0…100000");
  if (health->condition) {
    fuzz::require(characters(*health->condition) <= BatteryHealth::maximumConditionLength,
                  "the condition keeps at most 64 characters");
    fuzz::require(endsWithWholeCharacter(*health->condition), "the condition never ends in a cut character");
  }
  health->conditionIsNormal();
  health->localizedCondition("en");
  health->localizedCondition("ja");
  return 0;
}

const fuzz::Registration registered("battery", fuzzBatteryHealth);

}  // namespace
}  // namespace hollin
