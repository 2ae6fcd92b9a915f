// The SSD's health over time: the latest reading, the last valid one, an hourly history of 30
// days, the last 100 changes worth telling, and the receipts of the notices already given.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"
#include "core/LocalizedMessage.h"
#include "core/WallTime.h"
#include "core/ssd/SSDHealth.h"

namespace hollin {

struct SSDHealthPoint {
  WallTime at{};
  std::optional<SSDHealth> health;  // absent: the read failed
  bool operator==(const SSDHealthPoint&) const = default;
};

struct SSDHealthEvent {
  WallTime at{};
  std::string text;  // the event in Japanese
  // Written with every event of ours; absent in events of older files.
  std::optional<std::vector<LocalizedMessage>> messages;

  // An event of these messages, its text their Japanese rendering joined with "。".
  static SSDHealthEvent make(WallTime at, std::vector<LocalizedMessage> messages);
  // The event in `language`: its messages, or else its older Japanese text translated.
  std::string localizedText(std::string_view language) const;
  // An older event's Japanese sentence list turned back into `language`, sentence by sentence,
  // as far as the sentences are known ones; the rest is given unchanged.
  static std::string translateLegacy(std::string_view text, std::string_view language);

  bool operator==(const SSDHealthEvent&) const = default;
};

struct SSDHealthReceipt {
  WallTime at{};          // when the notice was accepted
  std::string signature;  // the issue signature that was notified
  bool operator==(const SSDHealthReceipt&) const = default;
};

struct SSDHealthArchive {
  static constexpr int currentSchema = 1;
  static constexpr std::size_t maxHistory = 720;
  static constexpr std::size_t maxEvents = 100;
  static constexpr std::size_t maxReceipts = 5;
  static constexpr double historyInterval = 3600;     // seconds between history points
  static constexpr double historyWindow = 2'592'000;  // 30 days

  int schema = currentSchema;
  std::optional<SSDHealthPoint> latest;
  std::optional<SSDHealth> lastValidHealth;          // the basis of every comparison
  std::vector<SSDHealthPoint> history;               // oldest first
  std::vector<SSDHealthEvent> events;                // oldest first
  std::map<std::string, SSDHealthReceipt> receipts;  // by issue kind

  // One shared empty archive, for a snapshot taken before any SSD reading.
  static std::shared_ptr<const SSDHealthArchive> none();

  // Within every limit of the format, with only valid health records.
  bool valid() const;
  // Records one reading (absent: the read failed). True when an event or a history point was
  // added, which is when the archive is worth saving.
  bool observe(std::optional<SSDHealth> reading, WallTime date);
  // Whether `issue` may be notified at `date`, given the last notice of its kind.
  bool eligible(const SSDHealthIssue& issue, WallTime date) const;
  // The system accepted a notice of these issues at `date`.
  void accepted(const std::vector<SSDHealthIssue>& issues, WallTime date);

  bool operator==(const SSDHealthArchive&) const = default;
};

Json toJson(const SSDHealthArchive& archive);
// A decoded archive, or nothing when any field is missing, mistyped or out of range. Validity
// (SSDHealthArchive::valid) is checked separately.
std::optional<SSDHealthArchive> archiveFromJson(const Json& json);

}  // namespace hollin
