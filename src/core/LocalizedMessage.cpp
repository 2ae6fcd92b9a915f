#include "core/LocalizedMessage.h"

namespace hollin {

Json toJson(const LocalizedMessage& message) {
  return Json{{"key", message.key}, {"arguments", message.arguments}};
}

std::optional<LocalizedMessage> messageFromJson(const Json& json) {
  if (!json.is_object()) return std::nullopt;
  const auto key = json.find("key");
  const auto arguments = json.find("arguments");
  if (key == json.end() || !key->is_string()) return std::nullopt;
  if (arguments == json.end() || !arguments->is_array()) return std::nullopt;
  LocalizedMessage message{key->get<std::string>(), {}};
  message.arguments.reserve(arguments->size());
  for (const auto& argument : *arguments) {
    if (!argument.is_string()) return std::nullopt;
    message.arguments.push_back(argument.get<std::string>());
  }
  return message;
}

}  // namespace hollin
