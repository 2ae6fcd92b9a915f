// What the SSD subsystem shows, notifies and records: its two cards, the notice due for a
// reading, the history window's text and its keys of the self-health record.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"
#include "core/metrics/MetricsText.h"
#include "core/ssd/SSDHealthArchive.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// A reading older than this is neither shown on the health card nor notified about.
inline constexpr double ssdReadingMaxAge = 120;

// The SSD temperature and SSD health cards.
void presentSSDCards(Screen& screen, const Moment& moment);

// The notice one reading calls for.
struct SSDNotice {
  std::vector<SSDHealthIssue> issues;  // the due ones, in order
  bool urgent = false;                 // some due issue is urgent
  std::string title;
  std::string body;  // the issues' messages, one per line
};

// The issues of `health` that the archive lets through at `now`: urgent ones always, the others
// only while notices are not muted. Nothing when none is due.
std::optional<SSDNotice> dueSSDNotice(const SSDHealth& health, const SSDHealthArchive& archive,
                                      WallTime now, bool muted, std::string_view language);

// The history window's title and its text, line by line. `date` formats a date for the lines.
struct SSDHistoryText {
  std::string title;
  std::string text;
};
SSDHistoryText ssdHistoryText(const SSDHealthArchive& archive, bool persistenceOK,
                              std::string_view language, std::string_view timeZone = {});

// The record's SSD keys.
void recordSSD(nlohmann::json& record, const Moment& moment);

// The SSD's health counters as metrics, from a recent reading only, and whether its history is
// kept.
void exportSSD(MetricsText& metrics, const Moment& moment);

}  // namespace hollin
