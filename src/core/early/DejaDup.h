// Déjà Dup, GNOME's backup tool, as its settings tell it: the location chosen, whether backups
// run on a schedule and when the last one succeeded.
#pragma once

#include <optional>
#include <string_view>

#include "core/WallTime.h"
#include "core/early/BackupStatus.h"

namespace hollin::DejaDup {

inline constexpr const char* schema = "org.gnome.DejaDup";

// `gsettings list-recursively org.gnome.DejaDup`: "org.gnome.DejaDup last-backup '…'" lines,
// each value in GVariant text. A last backup without an offset is read in `timeZone`. Nothing
// when no line of the schema could be read. Déjà Dup's settings say nothing of whether its
// destination is reachable, so `mounted` stays false.
std::optional<BackupStatus> parse(std::string_view text, std::string_view timeZone);

// An ISO 8601 date and time ("2024-05-01T10:15:30.123456Z"): with "Z" or an offset (±hh:mm,
// ±hhmm, ±hh) that moment; without one, the wall-clock time in `timeZone`.
std::optional<WallTime> parseDate(std::string_view text, std::string_view timeZone);

}  // namespace hollin::DejaDup
