#include "core/early/ChargeLimit.h"

#include <string_view>

#include "core/early/BatteryReading.h"

namespace hollin {
namespace {

// The policies are a few small objects; a larger archive is not one.
constexpr std::size_t maximumArchiveBytes = 65536;

constexpr std::string_view drainReasons[] = {"manualChargeLimit"};

// A policy's reason, following an archive reference into "$objects".
const std::string* reasonOf(const PlistValue& policy, const PlistArray& objects) {
  const PlistValue* reason = policy.find("reason");
  if (!reason) return nullptr;
  if (const PlistUid* reference = reason->asUid(); reference && reference->index < objects.size())
    reason = &objects[reference->index];
  return reason->asString();
}

bool drainsToLimit(const PlistValue& policy, const PlistArray& objects) {
  if (registryBool(policy.find("drain")) != true) return false;
  const std::string* reason = reasonOf(policy, objects);
  if (!reason) return false;
  for (std::string_view drainReason : drainReasons)
    if (*reason == drainReason) return true;
  return false;
}

}  // namespace

ChargeLimit ChargeLimit::parse(const PlistValue* preferences, const std::optional<std::string>& bootSession) {
  if (!preferences || !preferences->asDictionary()) return unreadable;
  const PlistValue* sessionValue = preferences->find("bootSessionUUID");
  if (const std::string* session = sessionValue ? sessionValue->asString() : nullptr) {
    if (!bootSession) return unreadable;
    if (*session != *bootSession) return none;  // settings of an earlier boot
  }
  const PlistValue* policies = preferences->find("policies");
  if (!policies) return none;
  const PlistData* data = policies->asData();
  if (!data) return unreadable;
  auto archive = parsePropertyList(
      std::string_view(reinterpret_cast<const char*>(data->data()), data->size()), maximumArchiveBytes);
  if (!archive) return unreadable;
  return parseArchive(*archive);
}

ChargeLimit ChargeLimit::parseArchive(const PlistValue& archive) {
  const PlistValue* objectsValue = archive.find("$objects");
  const PlistArray* objects = objectsValue ? objectsValue->asArray() : nullptr;
  if (!objects) return unreadable;
  if (objects->empty()) return none;

  ChargeLimit result = none;
  bool counted = false, policyClass = false;
  for (const PlistValue& object : *objects) {
    if (const PlistValue* name = object.find("$classname"); name && name->asString() &&
                                                             *name->asString() == "ChargeCtrlPolicy")
      policyClass = true;
    const PlistValue* limitValue = object.find("soclimit");
    if (!limitValue) continue;
    counted = true;
    if (registryBool(object.find("terminated")) == true) continue;
    const auto limit = registryInteger(limitValue);
    if (!limit || *limit < 1 || *limit > 100) continue;
    const bool drain = drainsToLimit(object, *objects);
    if (!result.percent || *limit < *result.percent) {
      result.percent = limit;
      result.drain = drain;
    } else if (*limit == *result.percent) {
      result.drain = result.drain || drain;
    }
  }
  if (policyClass && !counted) return unreadable;  // policies of a shape we do not know
  return result;
}

PlistValue ChargeLimit::policyArchive(const HLPower& power) {
  PlistArray objects{"$null"};
  if (power.limit_percent > 0)
    objects.emplace_back(PlistDictionary{{"soclimit", power.limit_percent},
                                         {"drain", power.force_discharge != 0},
                                         {"reason", "manualChargeLimit"}});
  else if (power.limit_unreadable)
    objects.emplace_back(PlistDictionary{{"$classname", "ChargeCtrlPolicy"}});
  return PlistDictionary{{"$objects", std::move(objects)}};
}

}  // namespace hollin
