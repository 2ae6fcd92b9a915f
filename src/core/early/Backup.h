// The backup rules over any backup tool's status: the warning that backups stopped or cannot be
// checked, and the backup row of the health table. The archive's backup dates are kept by
// EarlyWatchArchive::recordBackup.
#pragma once

#include <optional>
#include <string_view>

#include "core/L10n.h"
#include "core/WallTime.h"
#include "core/early/BackupStatus.h"
#include "core/early/EarlyTableRow.h"
#include "core/early/EarlyWarning.h"
#include "core/early/EarlyWatchArchive.h"

namespace hollin {

namespace EarlyWarnings {

// Days without a backup that raise the warning, highest first.
inline constexpr int backupTiers[] = {30, 14, 7};

// The warning for a last backup at `latest`; nothing unless `show`, or within the first 7 days.
std::optional<EarlyWarning> backup(std::optional<WallTime> latest, bool show, WallTime now,
                                   std::string_view language = L10n::language());

// The warning for a status and what the archive remembers: that backups stopped when a backup
// date is known, else that they cannot be checked, counted from when the destination was last
// seen or first watched.
std::optional<EarlyWarning> backup(const BackupStatus& status, const EarlyWatchArchive& archive, WallTime now,
                                   std::string_view language = L10n::language());

}  // namespace EarlyWarnings

// The backup row of the health table, labelled with the tool's name (a generic label when it
// is empty); nothing when backups are not shown. Dates are written in `timeZone`.
std::optional<EarlyTableRow> backupRow(const BackupStatus& status, const EarlyWatchArchive& archive, WallTime now,
                                       std::string_view tool, std::string_view language = L10n::language(),
                                       std::string_view timeZone = {});

}  // namespace hollin
