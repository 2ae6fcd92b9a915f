// Reads one stored or shared record as a whole. Every field is checked for presence, type,
// range and length; the first bad field fails the reader, and a failed reader makes the whole
// record unreadable: the caller returns nothing rather than a record with defaults in it.
#pragma once

#include <concepts>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/Json.h"
#include "core/WallTime.h"

namespace hollin {

// What a field may hold beyond its type: a closed range of numbers, a longest text.
template <class T>
struct FieldLimits {
  T min = std::numeric_limits<T>::lowest();
  T max = std::numeric_limits<T>::max();
};
template <>
struct FieldLimits<std::string> {
  std::size_t maxLength = std::numeric_limits<std::size_t>::max();  // bytes
};
template <>
struct FieldLimits<bool> {};

class JsonReader {
 public:
  // A reader over an object; anything else fails it at once.
  explicit JsonReader(const Json& value) : object_(value.is_object() ? &value : nullptr) {}

  bool ok() const { return object_ != nullptr; }
  void fail() { object_ = nullptr; }

  // A field that must be there with the right type and within its limits.
  template <class T>
  T required(std::string_view key, FieldLimits<T> limits = {}) {
    const Json* value = member(key);
    std::optional<T> read = value ? convert(*value, limits) : std::nullopt;
    if (!read) fail();
    return read.value_or(T{});
  }

  // A field that may be missing (or null); when it is there it must be right.
  template <class T>
  std::optional<T> optional(std::string_view key, FieldLimits<T> limits = {}) {
    const Json* value = member(key);
    if (!value || value->is_null()) return std::nullopt;
    std::optional<T> read = convert(*value, limits);
    if (!read) fail();
    return read;
  }

  // An array of at most `maxCount` elements, each read by `read(const Json&)`, which returns an
  // optional element; one unreadable element fails the reader.
  template <class Read>
  auto list(std::string_view key, std::size_t maxCount, Read read)
      -> std::vector<typename std::invoke_result_t<Read, const Json&>::value_type> {
    std::vector<typename std::invoke_result_t<Read, const Json&>::value_type> elements;
    const Json* array = member(key);
    if (!array || !array->is_array() || array->size() > maxCount) return fail(), elements;
    elements.reserve(array->size());
    for (const Json& element : *array) {
      auto item = read(element);
      if (!item) return fail(), decltype(elements){};
      elements.push_back(std::move(*item));
    }
    return elements;
  }

  // An array of scalar fields, each within `limits`.
  template <class T>
  std::vector<T> list(std::string_view key, std::size_t maxCount, FieldLimits<T> limits = {}) {
    return list(key, maxCount, [&](const Json& element) { return convert(element, limits); });
  }

  template <class T>
  static std::optional<T> convert(const Json& value, const FieldLimits<T>& limits) {
    if constexpr (std::is_same_v<T, bool>) {
      if (value.is_boolean()) return value.get<bool>();
    } else if constexpr (std::is_same_v<T, std::string>) {
      if (value.is_string() && value.get_ref<const std::string&>().size() <= limits.maxLength)
        return value.get<std::string>();
    } else if constexpr (std::integral<T>) {
      // The parser keeps non-negative integers unsigned and negative ones signed.
      if (value.is_number_unsigned()) return inRange(value.get<std::uint64_t>(), limits);
      if (value.is_number_integer()) return inRange(value.get<std::int64_t>(), limits);
    } else if constexpr (std::floating_point<T>) {
      if (value.is_number()) {
        const auto number = value.get<T>();
        // NaN fails both comparisons; infinities fail the range.
        if (number >= limits.min && number <= limits.max && number > -std::numeric_limits<T>::infinity() &&
            number < std::numeric_limits<T>::infinity())
          return number;
      }
    }
    return std::nullopt;
  }

 private:
  template <class T, class Wide>
  static std::optional<T> inRange(Wide wide, const FieldLimits<T>& limits) {
    if (std::cmp_less(wide, limits.min) || std::cmp_greater(wide, limits.max)) return std::nullopt;
    return static_cast<T>(wide);
  }

  const Json* member(std::string_view key) {
    if (!object_) return nullptr;
    const auto found = object_->find(key);
    if (found == object_->end()) return nullptr;
    return &*found;
  }

  const Json* object_;
};

// Stored dates: seconds since the reference date, within the range the clock holds.
inline Json toJson(WallTime time) {
  return referenceSeconds(time);
}

inline std::optional<WallTime> dateFromJson(const Json& json) {
  const auto seconds =
      JsonReader::convert<double>(json, {-largestReferenceSeconds, largestReferenceSeconds});
  if (!seconds) return std::nullopt;
  return fromReferenceSeconds(*seconds);
}

// One record whose fields `fill(in, record)` reads from `json`; nothing when any field failed.
template <class Record, class Fill>
std::optional<Record> readRecord(const Json& json, Fill fill) {
  JsonReader in(json);
  Record record{};
  fill(in, record);
  if (!in.ok()) return std::nullopt;
  return record;
}

// A record's "at": a stored date that must be there.
inline WallTime requiredDate(JsonReader& in, const Json& json) {
  if (!in.ok()) return {};
  const auto found = json.find("at");
  const auto date = found == json.end() ? std::nullopt : dateFromJson(*found);
  if (!date) in.fail();
  return date.value_or(WallTime{});
}

// Reads one member that must be there with `read`'s type; a failure fails the reader.
template <class Read>
auto member(JsonReader& in, const Json& object, std::string_view key, Read read)
    -> std::optional<typename std::invoke_result_t<Read, const Json&>::value_type> {
  if (!in.ok()) return std::nullopt;
  const auto found = object.find(key);
  if (found == object.end()) return in.fail(), std::nullopt;
  auto value = read(*found);
  if (!value) in.fail();
  return value;
}

// Reads one member that may be missing or null.
template <class Read>
auto optionalMember(JsonReader& in, const Json& object, std::string_view key, Read read)
    -> std::optional<typename std::invoke_result_t<Read, const Json&>::value_type> {
  if (!in.ok()) return std::nullopt;
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) return std::nullopt;
  auto value = read(*found);
  if (!value) in.fail();
  return value;
}

}  // namespace hollin
