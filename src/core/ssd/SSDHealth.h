// The SSD's health as its own SMART log reports it: the record kept from one reading, its
// checks, and the issues the user should be told about.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"
#include "native/SSDHealth.h"

namespace hollin {

// A 128-bit unsigned counter of the log page: the first eight bytes and the next eight.
struct SSDCounter {
  std::uint64_t low = 0;
  std::uint64_t high = 0;

  // From 16 little-endian bytes.
  static SSDCounter fromBytes(const std::uint8_t (&bytes)[16]);
  // The exact decimal form of the whole 128-bit value.
  std::string text() const;

  friend std::strong_ordering operator<=>(const SSDCounter& a, const SSDCounter& b) {
    if (auto order = a.high <=> b.high; order != 0) return order;
    return a.low <=> b.low;
  }
  bool operator==(const SSDCounter&) const = default;
};

// Something about the SSD the user should hear of. The signature changes whenever a repeat
// notice becomes due (a new warning combination, a new error count, a new wear step).
struct SSDHealthIssue {
  std::string kind;  // "critical", "spare", "media" or "wear"
  std::string signature;
  bool urgent = false;
  std::string message;  // rendered in the language it was asked for
  bool operator==(const SSDHealthIssue&) const = default;
};

struct SSDHealth {
  std::uint8_t warning = 0;         // critical warning bit field
  std::uint8_t spare = 0;           // available spare, percent
  std::uint8_t spareThreshold = 0;  // the drive's warning level for the spare, percent
  std::uint8_t wear = 0;            // percentage used; may exceed 100
  SSDCounter mediaErrors;
  SSDCounter errorEntries;
  SSDCounter written;  // in units of 512,000 bytes
  SSDCounter powerHours;
  std::optional<double> celsius;

  // The record of a successful native reading: the temperature only when it is plausible.
  static SSDHealth fromReading(const HLSSDReading& reading);

  // Spare figures within 0…100 and a temperature, when there is one, within −20…120 °C.
  bool valid() const;
  // A figure that only ever grows on one drive went down: the drive was replaced, or its log
  // was reset.
  bool countersReset(const SSDHealth& previous) const;
  // At most one issue of each kind, in the order critical, spare, media, wear.
  std::vector<SSDHealthIssue> issues(std::string_view language) const;

  bool operator==(const SSDHealth&) const = default;
};

// The names of the set critical-warning bits, in bit order; the three high bits share one name.
std::vector<std::string> criticalWarningNames(std::uint8_t warning, std::string_view language);

Json toJson(const SSDCounter& counter);
Json toJson(const SSDHealth& health);
std::optional<SSDCounter> counterFromJson(const Json& json);
std::optional<SSDHealth> healthFromJson(const Json& json);

}  // namespace hollin
