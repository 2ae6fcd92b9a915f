#include "core/DateText.h"

#include <cmath>

#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <chrono>
#include <memory>

namespace hollin {
namespace {

icu::TimeZone* zoneNamed(std::string_view timeZone) {
  if (timeZone.empty()) return icu::TimeZone::createDefault();
  return icu::TimeZone::createTimeZone(
      icu::UnicodeString::fromUTF8(icu::StringPiece(timeZone.data(), static_cast<std::int32_t>(timeZone.size()))));
}

icu::DateFormat::EStyle icuStyle(DateStyle style) {
  switch (style) {
    case DateStyle::none: return icu::DateFormat::kNone;
    case DateStyle::shortStyle: return icu::DateFormat::kShort;
    case DateStyle::mediumStyle: return icu::DateFormat::kMedium;
  }
  return icu::DateFormat::kNone;
}

// `when` written by `format` in `timeZone`.
std::string formatted(icu::DateFormat& format, WallTime when, std::string_view timeZone) {
  format.adoptTimeZone(zoneNamed(timeZone));
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
  icu::UnicodeString text;
  format.format(static_cast<UDate>(millis), text);
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace

std::string dateText(WallTime when, DateStyle date, DateStyle time, std::string_view language,
                     std::string_view timeZone) {
  const icu::Locale locale(std::string(language).c_str());
  std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(icuStyle(date), icuStyle(time), locale));
  if (!format) return {};
  return formatted(*format, when, timeZone);
}

std::string posixDateText(WallTime when, std::string_view pattern, std::string_view timeZone) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString icuPattern =
      icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<std::int32_t>(pattern.size())));
  icu::SimpleDateFormat format(icuPattern, icu::Locale("en_US_POSIX"), status);
  if (U_FAILURE(status)) return {};
  return formatted(format, when, timeZone);
}

std::optional<WallTime> civilMoment(const CivilTime& civil, std::string_view timeZone) {
  UErrorCode status = U_ZERO_ERROR;
  icu::GregorianCalendar calendar(zoneNamed(timeZone), status);
  if (U_FAILURE(status)) return std::nullopt;
  // Not lenient: a field out of its range is an error rather than a carry into the next one.
  calendar.setLenient(false);
  calendar.clear();
  calendar.set(civil.year, civil.month - 1, civil.day, civil.hour, civil.minute, civil.second);
  const UDate millis = calendar.getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  const double seconds = millis / 1000 - referenceDateUnixSeconds;
  if (!(std::abs(seconds) <= largestReferenceSeconds)) return std::nullopt;  // beyond what the clock holds
  return fromReferenceSeconds(seconds);
}

}  // namespace hollin
