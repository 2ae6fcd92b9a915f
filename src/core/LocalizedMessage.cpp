#include "core/LocalizedMessage.h"

#include "core/JsonReader.h"

namespace hollin {

Json toJson(const LocalizedMessage& message) {
  return Json{{"key", message.key}, {"arguments", message.arguments}};
}

std::optional<LocalizedMessage> messageFromJson(const Json& json) {
  JsonReader in(json);
  LocalizedMessage message{in.required<std::string>("key"),
                           in.list<std::string>("arguments", std::numeric_limits<std::size_t>::max())};
  if (!in.ok()) return std::nullopt;
  return message;
}

}  // namespace hollin
