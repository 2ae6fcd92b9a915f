#include "core/PropertyList.h"

#include "core/PropertyListShape.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace hollin {

std::optional<bool> PlistValue::asBool() const {
  if (const bool* b = std::get_if<bool>(&storage_)) return *b;
  return std::nullopt;
}

std::optional<PlistDate> PlistValue::asDate() const {
  if (const PlistDate* d = std::get_if<PlistDate>(&storage_)) return *d;
  return std::nullopt;
}

std::optional<std::int64_t> PlistValue::asInt64() const {
  if (const auto* s = std::get_if<std::int64_t>(&storage_)) return *s;
  if (const auto* u = std::get_if<std::uint64_t>(&storage_);
      u && *u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return static_cast<std::int64_t>(*u);
  return std::nullopt;
}

std::optional<std::uint64_t> PlistValue::asUInt64() const {
  if (const auto* u = std::get_if<std::uint64_t>(&storage_)) return *u;
  if (const auto* s = std::get_if<std::int64_t>(&storage_); s && *s >= 0)
    return static_cast<std::uint64_t>(*s);
  return std::nullopt;
}

std::optional<double> PlistValue::asNumber() const {
  if (const auto* s = std::get_if<std::int64_t>(&storage_)) return static_cast<double>(*s);
  if (const auto* u = std::get_if<std::uint64_t>(&storage_)) return static_cast<double>(*u);
  if (const auto* r = std::get_if<double>(&storage_)) return *r;
  return std::nullopt;
}

bool PlistValue::isInteger() const {
  return std::holds_alternative<std::int64_t>(storage_) ||
         std::holds_alternative<std::uint64_t>(storage_);
}

const PlistValue* PlistValue::find(std::string_view key) const {
  const PlistDictionary* dict = asDictionary();
  return dict ? findKey(*dict, key) : nullptr;
}

const PlistValue* findKey(const PlistDictionary& dictionary, std::string_view key) {
  for (const auto& [k, v] : dictionary)
    if (k == key) return &v;
  return nullptr;
}

std::optional<std::map<std::string, std::string>> PlistValue::asStringTable() const {
  const PlistDictionary* dict = asDictionary();
  if (!dict) return std::nullopt;
  std::map<std::string, std::string> table;
  for (const auto& [k, v] : *dict) {
    const std::string* s = v.asString();
    if (!s) return std::nullopt;
    table.insert_or_assign(k, *s);
  }
  return table;
}

namespace {

// Deeper than anything we read (session lists, registry dictionaries, string tables); the cap
// keeps a hostile file from exhausting the stack in libplist and in the conversion below.
constexpr int maximumDepth = 64;

// A list may hold no more values than it has bytes, twice over: every value of a tree-shaped
// list costs at least one byte, and only a binary list that uses one container many times
// expands beyond that.
plist_shape::Limits limitsFor(std::string_view bytes) { return {maximumDepth, 2 * bytes.size() + 64}; }

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

struct MallocDeleter {
  void operator()(void* p) const { std::free(p); }
};

// libplist keeps a date as seconds in a double but hands it out only as 32-bit seconds, which
// wrap after 2069 and before 1933. Its binary encoding of the date alone holds the double.
std::optional<double> dateSeconds(plist_t node) {
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(node, &raw, &length);
  std::unique_ptr<char, MallocDeleter> encoded(raw);
  if (!encoded) return std::nullopt;
  return plist_shape::topLevelDate(std::string_view(encoded.get(), length));
}

Result<PlistValue, PlistError> convert(plist_t node, int depth) {
  if (depth > maximumDepth) return Failure{PlistError::tooDeep};
  switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
      PlistDictionary dict;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      if (!it) return Failure{PlistError::malformed};
      Result<PlistValue, PlistError> outcome = PlistValue(PlistDictionary{});
      for (;;) {
        char* rawKey = nullptr;
        plist_t child = nullptr;
        plist_dict_next_item(node, it, &rawKey, &child);
        std::unique_ptr<char, MallocDeleter> key(rawKey);
        if (!child) break;
        auto value = convert(child, depth + 1);
        if (!value) {
          outcome = Failure{value.error()};
          break;
        }
        dict.emplace_back(key ? key.get() : "", std::move(value).value());
      }
      std::free(it);
      if (!outcome) return outcome;
      return PlistValue(std::move(dict));
    }
    case PLIST_ARRAY: {
      PlistArray array;
      const std::uint32_t count = plist_array_get_size(node);
      array.reserve(count);
      for (std::uint32_t i = 0; i < count; ++i) {
        auto value = convert(plist_array_get_item(node, i), depth + 1);
        if (!value) return value;
        array.push_back(std::move(value).value());
      }
      return PlistValue(std::move(array));
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return PlistValue(text ? std::string(text, length) : std::string());
    }
    case PLIST_UINT: {
      // libplist 2.2 keeps every integer in one unsigned 64-bit field and stores a negative
      // one in two's complement; its API cannot tell such a value from an unsigned one above
      // 2^63 - 1. None of our sources writes unsigned values that large, so read them as
      // negative.
      std::uint64_t raw = 0;
      plist_get_uint_val(node, &raw);
      return PlistValue(static_cast<std::int64_t>(raw));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return PlistValue(value);
    }
    case PLIST_BOOLEAN: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return PlistValue(value != 0);
    }
    case PLIST_DATE: {
      auto seconds = dateSeconds(node);
      if (!seconds) return Failure{PlistError::malformed};
      return PlistValue(PlistDate{*seconds});
    }
    case PLIST_DATA: {
      char* raw = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &raw, &length);
      std::unique_ptr<char, MallocDeleter> bytes(raw);
      const auto* first = reinterpret_cast<const std::uint8_t*>(bytes.get());
      return PlistValue(first ? PlistData(first, first + length) : PlistData{});
    }
    case PLIST_UID: {
      std::uint64_t index = 0;
      plist_get_uid_val(node, &index);
      return PlistValue(PlistUid{index});
    }
    default:
      return Failure{PlistError::unsupportedType};
  }
}

}  // namespace

Result<PlistValue, PlistError> parsePropertyList(std::string_view bytes, std::size_t sizeLimit) {
  if (bytes.size() > sizeLimit || bytes.size() > std::numeric_limits<std::uint32_t>::max())
    return Failure{PlistError::tooLarge};
  if (bytes.empty()) return Failure{PlistError::malformed};
  if (auto refused = plist_shape::check(bytes, limitsFor(bytes))) return Failure{*refused};
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
  PlistHandle root(raw);
  if (!root) return Failure{PlistError::malformed};
  return convert(root.get(), 0);
}

}  // namespace hollin
