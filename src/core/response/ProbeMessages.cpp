#include "core/response/ProbeMessages.h"

#include <nlohmann/json.hpp>

#include "core/JsonReader.h"
#include "core/TextCut.h"

namespace hollin {
namespace {

// Names are any bytes a process or window reported; stray bytes are written as U+FFFD rather
// than refused.
std::string text(const Json& array) { return array.dump(-1, ' ', false, Json::error_handler_t::replace); }

template <class Read, class Element = typename std::invoke_result_t<Read, const Json&>::value_type>
std::optional<std::vector<Element>> decodeArray(std::string_view text, Read read) {
  const Json array = Json::parse(text, nullptr, false);
  if (!array.is_array()) return std::nullopt;
  std::vector<Element> elements;
  elements.reserve(array.size());
  for (const Json& element : array) {
    auto item = read(element);
    if (!item) return std::nullopt;
    elements.push_back(std::move(*item));
  }
  return elements;
}

std::optional<AppIdentity> identityOf(JsonReader& in, const Json& element) {
  const Json* identity = element.is_object() && element.contains("identity") ? &element["identity"] : nullptr;
  auto read = identity ? appIdentityFromJson(*identity) : std::nullopt;
  if (!read) in.fail();
  return read;
}

}  // namespace

ProbeResult probeResult(const ProbeRequest& request, ProbeOutcome outcome) {
  return {request.identity, firstCharacters(request.name, probeNameLimit), outcome};
}

std::string encodeProbeRequests(const std::vector<ProbeRequest>& requests) {
  Json array = Json::array();
  for (const auto& request : requests) array.push_back({{"identity", toJson(request.identity)}, {"name", request.name}});
  return text(array);
}

std::optional<std::vector<ProbeRequest>> decodeProbeRequests(std::string_view text) {
  auto requests = decodeArray(text, [](const Json& element) -> std::optional<ProbeRequest> {
    JsonReader in(element);
    auto identity = identityOf(in, element);
    auto name = in.required<std::string>("name");
    if (!in.ok()) return std::nullopt;
    return ProbeRequest{*identity, std::move(name)};
  });
  if (requests && requests->size() > probeRequestLimit) return std::nullopt;
  return requests;
}

std::string encodeProbeResults(const std::vector<ProbeResult>& results) {
  Json array = Json::array();
  for (const auto& result : results)
    array.push_back(
        {{"identity", toJson(result.identity)}, {"name", result.name}, {"outcome", rawValue(result.outcome)}});
  return text(array);
}

std::optional<std::vector<ProbeResult>> decodeProbeResults(std::string_view text) {
  return decodeArray(text, [](const Json& element) -> std::optional<ProbeResult> {
    JsonReader in(element);
    auto identity = identityOf(in, element);
    auto name = in.required<std::string>("name");
    auto outcome = probeOutcomeFromRawValue(in.required<std::string>("outcome"));
    if (!in.ok() || !outcome) return std::nullopt;
    return ProbeResult{*identity, std::move(name), *outcome};
  });
}

}  // namespace hollin
