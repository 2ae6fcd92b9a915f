// Dates as people read them, and dates built from the calendar fields other programs write into
// names. `timeZone` is an IANA zone identifier; empty means the machine's own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/WallTime.h"

namespace hollin {

enum class DateStyle { none, shortStyle, mediumStyle };

// `when` in the language's date and time styles; `none` leaves that half out.
std::string dateText(WallTime when, DateStyle date, DateStyle time, std::string_view language,
                     std::string_view timeZone = {});

// "2026/12/07 9:05", "Dec 7, 2026, 9:05 AM"
inline std::string dateTimeText(WallTime when, std::string_view language, std::string_view timeZone = {}) {
  return dateText(when, DateStyle::mediumStyle, DateStyle::shortStyle, language, timeZone);
}
// "2026/12/07 9:05", "12/7/26, 9:05 AM"
inline std::string shortDateTimeText(WallTime when, std::string_view language, std::string_view timeZone = {}) {
  return dateText(when, DateStyle::shortStyle, DateStyle::shortStyle, language, timeZone);
}

// `when` by a fixed ICU pattern ("yyyy-MM-dd HH:mm") in the POSIX locale, whatever the language.
std::string posixDateText(WallTime when, std::string_view pattern, std::string_view timeZone = {});

// A wall-clock reading in the Gregorian calendar.
struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The moment `civil` names in `timeZone`; nothing when the fields name no moment (a 30 February,
// a 13th month, a 25th hour).
std::optional<WallTime> civilMoment(const CivilTime& civil, std::string_view timeZone = {});

}  // namespace hollin
