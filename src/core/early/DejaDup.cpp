#include "core/early/DejaDup.h"

#include <algorithm>
#include <string>

#include "core/DateText.h"

namespace hollin::DejaDup {
namespace {

// A quoted GVariant string: '…' or "…" with backslash escapes. GVariant writes characters that
// do not print as \u escapes; none of the values read here has any, so those are unreadable.
std::optional<std::string> quotedString(std::string_view value) {
  if (value.size() < 2 || (value.front() != '\'' && value.front() != '"') || value.back() != value.front())
    return std::nullopt;
  const char quote = value.front();
  value = value.substr(1, value.size() - 2);
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == quote) return std::nullopt;  // the string ended before the value did
    if (value[i] != '\\') {
      text += value[i];
      continue;
    }
    if (++i == value.size()) return std::nullopt;
    switch (value[i]) {
      case '\\': case '\'': case '"': text += value[i]; break;
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      case 'r': text += '\r'; break;
      default: return std::nullopt;
    }
  }
  return text;
}

std::optional<bool> boolean(std::string_view value) {
  if (value == "true") return true;
  if (value == "false") return false;
  return std::nullopt;
}

// Reads fixed-width fields of an ISO 8601 text from left to right.
struct Cursor {
  std::string_view rest;

  std::optional<int> digits(std::size_t count) {
    if (rest.size() < count) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (rest[i] < '0' || rest[i] > '9') return std::nullopt;
      value = value * 10 + (rest[i] - '0');
    }
    rest.remove_prefix(count);
    return value;
  }
  bool take(std::string_view choices) {
    if (rest.empty() || choices.find(rest.front()) == std::string_view::npos) return false;
    rest.remove_prefix(1);
    return true;
  }
};

}  // namespace

std::optional<WallTime> parseDate(std::string_view text, std::string_view timeZone) {
  Cursor at{text};
  CivilTime civil;
  const auto field = [&at](int& into, std::size_t width, std::string_view after) {
    const auto value = at.digits(width);
    if (!value || (!after.empty() && !at.take(after))) return false;
    into = *value;
    return true;
  };
  if (!field(civil.year, 4, "-") || !field(civil.month, 2, "-") || !field(civil.day, 2, "Tt ") ||
      !field(civil.hour, 2, ":") || !field(civil.minute, 2, ":") || !field(civil.second, 2, ""))
    return std::nullopt;
  std::chrono::nanoseconds fraction{0};
  if (at.take(".,")) {
    std::int64_t scale = 100000000;
    const auto start = at.rest.size();
    while (const auto digit = at.digits(1)) {
      fraction += std::chrono::nanoseconds(*digit * scale);
      scale /= 10;
    }
    if (at.rest.size() == start) return std::nullopt;
  }
  std::optional<WallTime> moment;
  if (at.rest.empty()) {
    moment = civilMoment(civil, timeZone);
  } else if (at.take("Zz")) {
    moment = civilMoment(civil, "UTC");
  } else {
    const bool ahead = at.rest.front() == '+';
    if (!at.take("+-")) return std::nullopt;
    const auto hours = at.digits(2);
    std::optional<int> minutes = 0;
    if (at.take(":") || !at.rest.empty()) minutes = at.digits(2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
    const auto offset = std::chrono::hours(*hours) + std::chrono::minutes(*minutes);
    moment = civilMoment(civil, "UTC");
    if (moment) *moment -= ahead ? offset : -offset;
  }
  if (!moment || !at.rest.empty()) return std::nullopt;
  return *moment + std::chrono::duration_cast<WallTime::duration>(fraction);
}

std::optional<BackupStatus> parse(std::string_view text, std::string_view timeZone) {
  bool readAny = false;
  std::optional<std::string> backend, lastBackup;
  std::optional<bool> periodic;
  while (!text.empty()) {
    const auto end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    // "<schema> <key> <value>"; the schema's children print lines of their own names.
    const auto keyStart = line.find(' ');
    if (keyStart == std::string_view::npos || line.substr(0, keyStart) != schema) continue;
    line.remove_prefix(keyStart + 1);
    const auto valueStart = line.find(' ');
    if (valueStart == std::string_view::npos || valueStart == 0) continue;
    const auto key = line.substr(0, valueStart);
    const auto value = line.substr(valueStart + 1);
    readAny = true;
    if (key == "backend") backend = quotedString(value);
    else if (key == "last-backup") lastBackup = quotedString(value);
    else if (key == "periodic") periodic = boolean(value);
  }
  if (!readAny) return std::nullopt;

  BackupStatus status;
  status.autoBackup = periodic;
  const bool recorded = lastBackup && !lastBackup->empty();
  if (recorded) {
    status.latest = parseDate(*lastBackup, timeZone);
    status.latestReadable = status.latest.has_value();
  } else {
    status.latestReadable = lastBackup.has_value();  // never backed up
  }
  // 'auto' is the location before the user picks one.
  if (recorded || (backend && *backend != "auto")) status.configured = true;
  else if (backend && lastBackup) status.configured = false;
  return status;
}

}  // namespace hollin::DejaDup
