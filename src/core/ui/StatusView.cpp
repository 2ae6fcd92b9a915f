#include "core/ui/StatusView.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <chrono>
#include <memory>

#include "core/L10n.h"

namespace hollin {

namespace {

std::string formatted(WallTime when, std::unique_ptr<icu::DateFormat> format, std::string_view timeZone) {
  if (!format) return {};
  if (!timeZone.empty())
    format->adoptTimeZone(icu::TimeZone::createTimeZone(
        icu::UnicodeString::fromUTF8(icu::StringPiece(timeZone.data(),
                                                      static_cast<std::int32_t>(timeZone.size())))));
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
  icu::UnicodeString text;
  format->format(static_cast<UDate>(millis), text);
  std::string result;
  text.toUTF8String(result);
  return result;
}

// The time of day of `when` in the language's short time style ("9:05", "9:05 PM").
std::string shortTime(WallTime when, std::string_view language, std::string_view timeZone) {
  const icu::Locale locale(std::string(language).c_str());
  return formatted(when, std::unique_ptr<icu::DateFormat>(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, locale)),
                   timeZone);
}

}  // namespace

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
  return L10n::render(
      msg("通知を再開（{0}まで止めています）", shortTime(mutedUntil, language, timeZone)), language);
}

std::string dateTimeText(WallTime when, std::string_view language, std::string_view timeZone) {
  const icu::Locale locale(std::string(language).c_str());
  return formatted(when,
                   std::unique_ptr<icu::DateFormat>(icu::DateFormat::createDateTimeInstance(
                       icu::DateFormat::kMedium, icu::DateFormat::kShort, locale)),
                   timeZone);
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
