// Property lists: XML and binary, as the system's tools and the string tables store them. Each
// decoded value is then read the way Hollin's readers read property lists: every accessor on
// every node, the charge-limit preferences and the backup tool's preferences.
#include <optional>
#include <string>
#include <variant>

#include "FuzzTarget.h"
#include "core/PropertyList.h"
#include "core/early/ChargeLimit.h"
#include "core/early/TimeMachine.h"

namespace hollin {
namespace {

constexpr std::size_t sizeLimit = 4 * 1024 * 1024;  // the largest limit a caller sets

// The decoder refuses lists nested beyond its own limit, so this recursion stays shallow.
void readEveryNode(const PlistValue& value) {
  (void)value.asBool();
  (void)value.asDate();
  (void)value.asNumber();
  const auto signedInteger = value.asInt64();
  const auto unsignedInteger = value.asUInt64();
  if (signedInteger && unsignedInteger)
    fuzz::require(*signedInteger >= 0 && static_cast<std::uint64_t>(*signedInteger) == *unsignedInteger,
                  "an integer read both ways is the same number");
  if (value.asStringTable()) fuzz::require(value.asDictionary() != nullptr, "a string table is a dictionary");
  if (const PlistDictionary* dictionary = value.asDictionary()) {
    for (const auto& [key, child] : *dictionary) {
      fuzz::require(value.find(key) != nullptr, "every stored key is found");
      readEveryNode(child);
    }
  }
  if (const PlistArray* array = value.asArray())
    for (const PlistValue& child : *array) readEveryNode(child);
}

int fuzzPropertyList(const std::uint8_t* data, std::size_t size) {
  const auto decoded = parsePropertyList(fuzz::text(data, size), sizeLimit);
  if (!decoded) return 0;
  readEveryNode(*decoded);
  ChargeLimit::parse(&*decoded, std::string("4C4C4544-0042-3510-8048-B4C04F4A3532"));
  ChargeLimit::parseArchive(*decoded);
  if (const PlistDictionary* preferences = decoded->asDictionary()) TimeMachine::parse(*preferences);
  return 0;
}

const fuzz::Registration registered("plist", fuzzPropertyList);

}  // namespace
}  // namespace hollin
