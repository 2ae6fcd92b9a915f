#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/Result.h"

namespace hollin {

class PlistValue;

// Keys keep the order in which the list stored them.
using PlistDictionary = std::vector<std::pair<std::string, PlistValue>>;
using PlistArray = std::vector<PlistValue>;
using PlistData = std::vector<std::uint8_t>;

// A keyed archive's reference: the index of an element of its "$objects" array.
struct PlistUid {
  std::uint64_t index = 0;
  bool operator==(const PlistUid&) const = default;
};

struct PlistDate {
  double secondsSince2001 = 0;  // property lists count from 1 January 2001 UTC
  bool operator==(const PlistDate&) const = default;
};

// One property-list value. Readers ask for the type they expect and get nothing back for any
// other type, so a list of the wrong shape is an ordinary parse failure of the caller.
class PlistValue {
 public:
  using Storage = std::variant<PlistDictionary, PlistArray, std::string, std::int64_t,
                               std::uint64_t, double, bool, PlistDate, PlistData, PlistUid>;

  PlistValue() : storage_(std::string()) {}
  PlistValue(PlistDictionary v) : storage_(std::move(v)) {}
  PlistValue(PlistArray v) : storage_(std::move(v)) {}
  PlistValue(std::string v) : storage_(std::move(v)) {}
  PlistValue(const char* v) : storage_(std::string(v)) {}
  PlistValue(std::int64_t v) : storage_(v) {}
  PlistValue(std::uint64_t v) : storage_(v) {}
  PlistValue(int v) : storage_(std::int64_t{v}) {}
  PlistValue(double v) : storage_(v) {}
  PlistValue(bool v) : storage_(v) {}
  PlistValue(PlistDate v) : storage_(v) {}
  PlistValue(PlistData v) : storage_(std::move(v)) {}
  PlistValue(PlistUid v) : storage_(v) {}

  const Storage& storage() const { return storage_; }

  const PlistDictionary* asDictionary() const { return std::get_if<PlistDictionary>(&storage_); }
  const PlistArray* asArray() const { return std::get_if<PlistArray>(&storage_); }
  const std::string* asString() const { return std::get_if<std::string>(&storage_); }
  const PlistData* asData() const { return std::get_if<PlistData>(&storage_); }
  const PlistUid* asUid() const { return std::get_if<PlistUid>(&storage_); }
  std::optional<bool> asBool() const;
  std::optional<PlistDate> asDate() const;
  // Integers only; an unsigned value above the signed range gives nothing.
  std::optional<std::int64_t> asInt64() const;
  // Integers only; a negative value gives nothing.
  std::optional<std::uint64_t> asUInt64() const;
  // Integers and reals as a double; booleans are not numbers.
  std::optional<double> asNumber() const;
  bool isInteger() const;

  // The value stored under `key` when this is a dictionary, else nothing.
  const PlistValue* find(std::string_view key) const;

  // A dictionary whose every value is a string, as a map; anything else gives nothing.
  std::optional<std::map<std::string, std::string>> asStringTable() const;

  bool operator==(const PlistValue& other) const { return storage_ == other.storage_; }

 private:
  Storage storage_;
};

// The value stored under `key` in a dictionary, or null.
const PlistValue* findKey(const PlistDictionary& dictionary, std::string_view key);

enum class PlistError {
  tooLarge,         // more bytes than the caller allows
  malformed,        // neither a readable XML nor a readable binary list
  unsupportedType,  // holds a type outside this value model
  tooDeep,          // nested beyond what any source of ours produces
};

// Decodes an XML or binary property list. Input beyond `sizeLimit` bytes is refused unread.
Result<PlistValue, PlistError> parsePropertyList(std::string_view bytes, std::size_t sizeLimit);

}  // namespace hollin
