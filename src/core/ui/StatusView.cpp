#include "core/ui/StatusView.h"

#include "core/DateText.h"
#include "core/L10n.h"

namespace hollin {

StatusTexts statusTexts(const ShownStatus& status, std::string_view language) {
  StatusTexts texts{status.colour, L10n::render(status.title, language),
                    L10n::render(status.explanation, language), {}, {}};
  texts.menuRow = texts.title + " — " + texts.explanation;
  texts.toolTip = texts.title + "\n" + texts.explanation;
  return texts;
}

std::optional<std::string> resumeRow(WallTime mutedUntil, WallTime now, std::string_view language,
                                     std::string_view timeZone) {
  if (!(now < mutedUntil)) return std::nullopt;
  const std::string until = dateText(mutedUntil, DateStyle::none, DateStyle::shortStyle, language, timeZone);
  return L10n::render(msg("通知を再開（{0}まで止めています）", until), language);
}

LocalizedMessage versionLine(std::string_view version, std::string_view build) {
  return msg("バージョン {0}（ビルド {1}）", version.empty() ? "?" : version,
             build.empty() ? "?" : build);
}

const std::array<MuteChoice, 4>& muteChoices() {
  static const std::array<MuteChoice, 4> choices = {{{msg("5分"), 300},
                                                     {msg("10分"), 600},
                                                     {msg("1時間"), 3600},
                                                     {msg("2時間"), 7200}}};
  return choices;
}

ShownStatus shownStatus(MenuBarLevel level, LocalizedMessage explanation) {
  // The colours follow the levels case by case, unavailable being grey.
  static_assert(static_cast<int>(MenuBarLevel::unavailable) == static_cast<int>(StatusColour::grey));
  return {static_cast<StatusColour>(level), title(level), std::move(explanation)};
}

MenuBarLevel shownLevel(const StatusTexts& texts) { return static_cast<MenuBarLevel>(texts.colour); }

const std::array<ShownStatus, 5>& levelGuide() {
  static const std::array<ShownStatus, 5> guide = [] {
    std::array<ShownStatus, 5> levels;
    for (std::size_t i = 0; i < levels.size(); ++i)
      levels[i] = shownStatus(allMenuBarLevels[i], explanation(allMenuBarLevels[i]));
    return levels;
  }();
  return guide;
}

}  // namespace hollin
