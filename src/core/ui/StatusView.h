#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateText.h"
#include "core/LocalizedMessage.h"
#include "core/memory/MenuBarStatus.h"
#include "core/snapshot/Snapshot.h"
#include "core/ui/Screen.h"

// The texts of the status menu and the tray icon.
namespace hollin {

// The shown level after the freshness, suspected-app and disk decisions: its colour, its title
// and the explanation that goes with it (the level's own, or the disk override's).
struct ShownStatus {
  StatusColour colour = StatusColour::grey;
  LocalizedMessage title = msg("確認できません");
  LocalizedMessage explanation = msg("起動直後、スリープ中、または新しい測定を取得できない状態です。");
  bool operator==(const ShownStatus&) const = default;
};

// The shown status as finished texts in `language`.
StatusTexts statusTexts(const ShownStatus& status, std::string_view language);

// The resume row's title while notices are muted ("通知を再開（{0}まで止めています）" with the end
// in the short time format of the language), nothing once the mute has ended. `timeZone` is an
// IANA zone identifier; empty means the machine's own.
std::optional<std::string> resumeRow(WallTime mutedUntil, WallTime now, std::string_view language,
                                     std::string_view timeZone = {});

// "バージョン {0}（ビルド {1}）"; a missing value reads "?".
LocalizedMessage versionLine(std::string_view version, std::string_view build);

struct MuteChoice {
  LocalizedMessage title;
  int seconds = 0;
};
// The mute submenu: 5 and 10 minutes, 1 and 2 hours.
const std::array<MuteChoice, 4>& muteChoices();

// What the tray icon, the menu and the window header show for a shown level.
ShownStatus shownStatus(MenuBarLevel level, LocalizedMessage explanation);
// The level the texts show: each level has its own colour.
MenuBarLevel shownLevel(const StatusTexts& texts);

// The "状態の見方" submenu: each level's colour, title and explanation, green to unavailable.
const std::array<ShownStatus, 5>& levelGuide();

}  // namespace hollin
