#include "core/early/TimeMachine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <regex>

#include "core/DateText.h"

namespace hollin::TimeMachine {
namespace {

constexpr std::size_t destinationsSizeLimit = 2000000;  // bytes, what the tool runner passes on
constexpr std::size_t longestMountPoint = 1024;         // bytes

std::optional<WallTime> dateOf(const PlistValue& value) {
  const auto date = value.asDate();
  // Beyond the range of stored dates it is no date, and it would not fit the clock's type.
  if (!date || !std::isfinite(date->secondsSince2001) || std::abs(date->secondsSince2001) > largestReferenceSeconds)
    return std::nullopt;
  return fromReferenceSeconds(date->secondsSince2001);
}

// "SnapshotDates" when it is an array of dates only, the newest of them (nothing when empty).
std::optional<std::optional<WallTime>> snapshotDates(const PlistDictionary& destination) {
  const PlistValue* value = findKey(destination, "SnapshotDates");
  const PlistArray* dates = value ? value->asArray() : nullptr;
  if (!dates) return std::nullopt;
  std::optional<WallTime> found;
  for (const auto& element : *dates) {
    const auto date = dateOf(element);
    if (!date) return std::nullopt;
    if (!found || *date > *found) found = date;
  }
  return found;
}

// The elements of an array of dictionaries; nothing when it is another value.
std::optional<std::vector<const PlistDictionary*>> dictionaries(const PlistValue* value) {
  const PlistArray* array = value ? value->asArray() : nullptr;
  if (!array) return std::nullopt;
  std::vector<const PlistDictionary*> elements;
  for (const auto& element : *array) {
    if (!element.asDictionary()) return std::nullopt;
    elements.push_back(element.asDictionary());
  }
  return elements;
}

// A volume the snapshot listing may be pointed at. "/../" anywhere, and a trailing "/..", would
// lead out of /Volumes to a volume that is no destination.
bool acceptableMountPoint(std::string_view path) {
  return path.starts_with("/Volumes/") && path.find('\n') == std::string_view::npos &&
         path.find("/../") == std::string_view::npos && !path.ends_with("/..") &&
         path.size() <= longestMountPoint;
}

int group(const std::csub_match& match) {
  int value = 0;
  std::from_chars(match.first, match.second, value);  // the pattern lets only digits through
  return value;
}

}  // namespace

BackupStatus parse(const PlistDictionary& preferences) {
  BackupStatus status;
  const PlistValue* automatic = findKey(preferences, "AutoBackup");
  status.autoBackup = automatic ? automatic->asBool() : std::nullopt;
  const PlistValue* destinationsValue = findKey(preferences, "Destinations");
  const auto destinations = dictionaries(destinationsValue);
  if (!destinations) {
    if (!destinationsValue && automatic) status.configured = false;
    return status;
  }
  status.configured = !destinations->empty();
  for (const PlistDictionary* destination : *destinations) {
    const auto dates = snapshotDates(*destination);
    if (!dates) continue;
    status.latestReadable = true;
    if (*dates && (!status.latest || **dates > *status.latest)) status.latest = *dates;
  }
  return status;
}

std::optional<Destinations> parseDestinations(std::string_view bytes) {
  const auto decoded = parsePropertyList(bytes, destinationsSizeLimit);
  const PlistDictionary* dictionary = decoded ? decoded.value().asDictionary() : nullptr;
  if (!dictionary) {
    // An ASCII text is found in the raw bytes exactly when it is found in their UTF-8 reading
    // with invalid sequences replaced, so there is no need to decode.
    if (bytes.find("No destinations configured") != std::string_view::npos) return Destinations{};
    return std::nullopt;
  }
  if (dictionary->empty()) return Destinations{};
  const auto destinations = dictionaries(findKey(*dictionary, "Destinations"));
  if (!destinations) return std::nullopt;
  Destinations result{!destinations->empty(), {}};
  for (const PlistDictionary* destination : *destinations) {
    const PlistValue* mountPoint = findKey(*destination, "MountPoint");
    const std::string* path = mountPoint ? mountPoint->asString() : nullptr;
    if (path && acceptableMountPoint(*path)) result.mountPoints.push_back(*path);
  }
  return result;
}

std::optional<WallTime> latestSnapshot(std::string_view text, std::string_view timeZone) {
  static const std::regex pattern(snapshotPattern);
  std::optional<WallTime> found;
  for (std::cregex_iterator match(text.data(), text.data() + text.size(), pattern), end; match != end; ++match) {
    const auto& groups = *match;
    const auto date = civilMoment({group(groups[1]), group(groups[2]), group(groups[3]), group(groups[4]),
                                   group(groups[5]), group(groups[6])},
                                  timeZone);
    if (date && (!found || *date > *found)) found = date;
  }
  return found;
}

std::optional<WallTime> newest(std::initializer_list<std::optional<WallTime>> dates, WallTime notAfter) {
  std::optional<WallTime> found;
  for (const auto& date : dates)
    if (date && *date <= notAfter && (!found || *date > *found)) found = date;
  return found;
}

std::optional<WallTime> latest(const BackupStatus& status, std::optional<WallTime> remembered, WallTime now) {
  return newest({status.latest, remembered}, now + futureAllowance);
}

bool shouldShow(std::optional<bool> configured, std::optional<WallTime> remembered) {
  return configured ? *configured : remembered.has_value();
}

}  // namespace hollin::TimeMachine
