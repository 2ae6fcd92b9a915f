// The self-health record ("health.json"): what the application knows and shows, in plain
// machine-readable terms. The controller writes the keys every record has; each subsystem
// writes its own; a key whose source is not built yet stays null.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "core/snapshot/Snapshot.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// Every top-level key of the record, alphabetically.
const std::array<std::string_view, 68>& healthRecordKeys();

// A record with every key present and null.
nlohmann::json blankHealthRecord();

// "version", "sampledAt", "uid", "consoleUID", the snapshot's own keys ("enumerationError",
// "sampleUptime", "sampleAgeSeconds", "isStale"). The moment must hold a
// snapshot.
void recordBase(nlohmann::json& record, const Moment& moment, std::string_view version);

// What the tray icon and its menu show, from the decided status texts. Tray hosts report no
// pointer entering the icon, so the hover card is never installed and its counters stay 0.
void recordScreen(nlohmann::json& record, const StatusTexts& status, bool trayIconShown);

// "2026-12-07T06:40:49Z": UTC, whole seconds.
std::string iso8601(WallTime time);

// The file text: pretty-printed, sorted keys, a final line feed.
std::string healthText(const nlohmann::json& record);

}  // namespace hollin
